#include "saver/SaverHarness.h"

#include <gtest/gtest.h>

#include "common/FilmBuilder.h"
#include "common/TestImages.h"
#include "common/TestSupport.h"

namespace saver_tests {

using testing_support::Env;
using testing_support::WinePath;

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

SaverProcess::SaverProcess(const std::wstring& tail, const std::wstring& program, const std::wstring& currentFolder)
    : ChildProcess(program, tail, currentFolder) {}

HWND SaverProcess::WaitForFullScreenWindow(DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    do {
        HWND window = FindWindowW(L"WindowsScreenSaverClass", L"Screen Saver");
        if (window) return window;
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs && Running());
    return nullptr;
}

void StartFullScreen(const SaverProcess& saver) {
    ASSERT_TRUE(saver.started());
    ASSERT_NE(nullptr, saver.WaitForFullScreenWindow(10000)) << "exit code " << saver.ExitCode();
    ASSERT_TRUE(testing_support::WaitUntil([] { return ReadFrameNumber(ScreenRect()) >= 0; }, 10000))
        << "the film never showed";
}

void ExpectEndsWithZero(SaverProcess& saver, const char* cause) {
    ASSERT_TRUE(saver.WaitExit(10000)) << cause << " does not end it";
    EXPECT_EQ(0u, saver.ExitCode()) << cause;
}

void EndWithKey(SaverProcess& saver) {
    PressKey(VK_SPACE);
    ExpectEndsWithZero(saver, "a key press");
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

void PressKey(WORD virtualKey) {
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = virtualKey;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

void ClickLeft() {
    INPUT buttons[2] = {};
    buttons[0].type = buttons[1].type = INPUT_MOUSE;
    buttons[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    buttons[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, buttons, sizeof(INPUT));
}

void MoveMouseBy(int dx, int dy) {
    INPUT move = {};
    move.type = INPUT_MOUSE;
    move.mi = {dx, dy, 0, MOUSEEVENTF_MOVE, 0, 0};
    SendInput(1, &move, sizeof(INPUT));
}

RECT ScreenRect() { return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

}  // namespace saver_tests
