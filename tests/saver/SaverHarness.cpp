#include "saver/SaverHarness.h"

#include <gdiplus.h>

#include <cstring>

#include "common/FilmBuilder.h"
#include "common/TestImages.h"
#include "common/TestSupport.h"
#include "shell/settings.h"

namespace saver_tests {

using testing_support::Env;
using testing_support::WinePath;

SettingsScope::SettingsScope() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        existed_ = true;
        for (DWORD i = 0;; ++i) {
            wchar_t name[256];
            DWORD nameChars = 256;
            DWORD type = 0;
            DWORD size = 0;
            if (RegEnumValueW(key, i, name, &nameChars, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
            Value value{name, type, std::vector<uint8_t>(size)};
            nameChars = 256;
            RegEnumValueW(key, i, name, &nameChars, nullptr, &type, value.data.data(), &size);
            value.data.resize(size);
            saved_.push_back(std::move(value));
        }
        RegCloseKey(key);
    }
    RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
}

SettingsScope::~SettingsScope() {
    RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
    if (!existed_) return;
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_CURRENT_USER, kSettingsKey, &key) != ERROR_SUCCESS) return;
    for (const Value& v : saved_)
        RegSetValueExW(key, v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    RegCloseKey(key);
}

void SettingsScope::Text(const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_CURRENT_USER, kSettingsKey, &key) != ERROR_SUCCESS) return;
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void SettingsScope::Number(const wchar_t* name, uint32_t value) {
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_CURRENT_USER, kSettingsKey, &key) != ERROR_SUCCESS) return;
    DWORD data = value;
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
    RegCloseKey(key);
}

MessageWindow::MessageWindow()
    : hwnd_(CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                          nullptr)) {}

MessageWindow::~MessageWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void MessageWindow::Pump() const {
    MSG msg;
    while (PeekMessageW(&msg, hwnd_, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

SaverProcess::SaverProcess(const std::wstring& tail)
    : SaverProcess(tail, WinePath(Env("NOXEL_BIN")) + L"\\noxel.scr", L"") {}

SaverProcess::SaverProcess(const std::wstring& tail, const std::wstring& program, const std::wstring& currentFolder) {
    std::wstring line = L"\"" + program + L"\" " + tail;
    std::vector<wchar_t> mutableLine(line.begin(), line.end());
    mutableLine.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    launchTick_ = GetTickCount();
    if (CreateProcessW(program.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       currentFolder.empty() ? nullptr : currentFolder.c_str(), &startup, &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
    }
}

SaverProcess::~SaverProcess() {
    if (!process_) return;
    if (Running()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool SaverProcess::Running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool SaverProcess::WaitExit(DWORD timeoutMs) {
    return process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

DWORD SaverProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (process_) GetExitCodeProcess(process_, &code);
    return code;
}

HWND SaverProcess::WaitForFullScreenWindow(DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    do {
        HWND window = FindWindowW(L"WindowsScreenSaverClass", L"Screen Saver");
        if (window) return window;
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs && Running());
    return nullptr;
}

ScreenGrab::ScreenGrab(const RECT& area) : area_(area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    BitBlt(dc_, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    ReleaseDC(nullptr, screen);
    pixels_ = static_cast<const uint32_t*>(bits);
}

ScreenGrab::~ScreenGrab() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

COLORREF ScreenGrab::At(int x, int y) const {
    const int width = area_.right - area_.left;
    const uint32_t p = pixels_[(y - area_.top) * width + (x - area_.left)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

int ScreenGrab::Count(const RECT& part, bool (*test)(COLORREF)) const {
    int n = 0;
    for (int y = part.top; y < part.bottom; ++y)
        for (int x = part.left; x < part.right; ++x) n += test(At(x, y)) ? 1 : 0;
    return n;
}

bool ScreenGrab::SavePng(const std::wstring& path) const {
    testing_support::StartGdiplus();
    UINT count = 0;
    UINT size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<uint8_t> buffer(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, encoders);
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(encoders[i].MimeType, L"image/png") != 0) continue;
        Gdiplus::Bitmap image(area_.right - area_.left, area_.bottom - area_.top,
                              (area_.right - area_.left) * 4, PixelFormat32bppRGB,
                              reinterpret_cast<BYTE*>(const_cast<uint32_t*>(pixels_)));
        return image.Save(path.c_str(), &encoders[i].Clsid, nullptr) == Gdiplus::Ok;
    }
    return false;
}

bool IsWhite(COLORREF c) { return GetRValue(c) > 200 && GetGValue(c) > 200 && GetBValue(c) > 200; }

bool IsRed(COLORREF c) { return GetRValue(c) > 180 && GetGValue(c) < 90 && GetBValue(c) < 90; }

bool WriteCountingFilm(const std::wstring& path, uint32_t frameCount) {
    using testing_support::GreyPicture;
    constexpr int columnWidth = kFilmWidth / kColumns;
    testing_support::FilmBuilder film(kFilmWidth, kFilmHeight);
    for (uint32_t n = 0; n < frameCount; ++n) {
        GreyPicture picture(kFilmWidth, kFilmHeight);
        for (int b = 0; b < kColumns; ++b) {
            if ((n >> b) & 1u)
                picture.Fill(b * columnWidth, 0, (b + 1) * columnWidth, kFilmHeight / 2, testing_support::kFilmWhite);
            if (b % 2 == 0)
                picture.Fill(b * columnWidth, kFilmHeight / 2, (b + 1) * columnWidth, kFilmHeight,
                             testing_support::kFilmWhite);
        }
        film.Add(picture);
    }
    return film.Write(path);
}

namespace {

// The centre of column b of a film stretched over `area`, on row `y`.
int ColumnCentre(const RECT& area, int b) {
    const int width = area.right - area.left;
    return area.left + (2 * b + 1) * width / (2 * kColumns);
}

RECT Row(const RECT& area, int y) { return {area.left, y, area.right, y + 1}; }

}  // namespace

int ReadFrameNumber(const RECT& area) {
    const int height = area.bottom - area.top;
    ScreenGrab marker(Row(area, area.top + height * 3 / 4));
    for (int b = 0; b < kColumns; ++b) {
        if (IsWhite(marker.At(ColumnCentre(area, b), area.top + height * 3 / 4)) != (b % 2 == 0)) return -1;
    }
    const int numberRow = area.top + height / 4;
    ScreenGrab number(Row(area, numberRow));
    int value = 0;
    for (int b = 0; b < kColumns; ++b) {
        if (IsWhite(number.At(ColumnCentre(area, b), numberRow))) value |= 1 << b;
    }
    return value;
}

bool WriteSolidBmp(const std::wstring& path, int width, int height, COLORREF colour) {
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3u + 3u) & ~3u;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = rowBytes * static_cast<uint32_t>(height);
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::vector<uint8_t> bytes(file.bfSize, 0);
    memcpy(bytes.data(), &file, sizeof(file));
    memcpy(bytes.data() + sizeof(file), &info, sizeof(info));
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bytes.data() + file.bfOffBits + y * rowBytes;
        for (int x = 0; x < width; ++x) {
            row[x * 3] = GetBValue(colour);
            row[x * 3 + 1] = GetGValue(colour);
            row[x * 3 + 2] = GetRValue(colour);
        }
    }
    return testing_support::WriteFileBytes(path, bytes);
}

void PressKey(WORD virtualKey) {
    INPUT keys[2] = {};
    keys[0].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = virtualKey;
    keys[1] = keys[0];
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

void ClickLeft() {
    INPUT buttons[2] = {};
    buttons[0].type = INPUT_MOUSE;
    buttons[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    buttons[1] = buttons[0];
    buttons[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, buttons, sizeof(INPUT));
}

void MoveMouseBy(int dx, int dy) {
    INPUT move = {};
    move.type = INPUT_MOUSE;
    move.mi.dx = dx;
    move.mi.dy = dy;
    move.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &move, sizeof(INPUT));
}

RECT ScreenRect() { return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

}  // namespace saver_tests
