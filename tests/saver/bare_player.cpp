// The least a player of a film can do, as a yardstick for the screen saver's
// CPU use: a full-screen window, the film read into memory once, and on each
// 16 ms timer tick whose due frame (30 per second) is new, one StretchDIBits
// of that frame's RLE8 stream to the window. Nothing else.
//   bare_player <film> [seconds]    plays until closed, or for `seconds`
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

#include "common/LittleEndian.h"

namespace {

using testing_support::Le;

struct Film {
    std::vector<uint8_t> bytes;
    uint32_t frameCount = 0;
    int32_t width = 0, height = 0;
};

struct Bitmap {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

Film g_film;
Bitmap g_info;
DWORD g_start = 0;
uint32_t g_shown = UINT32_MAX;
DWORD g_stopAt = 0;

bool Load(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    g_film.bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    const bool ok = ReadFile(file, g_film.bytes.data(), static_cast<DWORD>(g_film.bytes.size()), &read, nullptr) &&
                    read == g_film.bytes.size();
    CloseHandle(file);
    if (!ok || g_film.bytes.size() < 20 || std::memcmp(g_film.bytes.data(), "NoXl", 4) != 0) return false;
    g_film.frameCount = Le(&g_film.bytes[4]);
    g_film.width = static_cast<int32_t>(Le(&g_film.bytes[8]));
    g_film.height = static_cast<int32_t>(Le(&g_film.bytes[12]));
    if (g_film.frameCount == 0 || (g_film.bytes.size() - 20) / 8 < g_film.frameCount) return false;
    for (uint32_t i = 0; i < g_film.frameCount; ++i) {
        const uint32_t offset = Le(&g_film.bytes[20 + 8 * i]), length = Le(&g_film.bytes[24 + 8 * i]);
        if (offset > g_film.bytes.size() || length > g_film.bytes.size() - offset) return false;
    }
    g_info.header = {};
    g_info.header.biSize = sizeof(BITMAPINFOHEADER);
    g_info.header.biWidth = g_film.width;
    g_info.header.biHeight = g_film.height;
    g_info.header.biPlanes = 1;
    g_info.header.biBitCount = 8;
    g_info.header.biCompression = BI_RLE8;
    for (int i = 0; i < 256; ++i) g_info.colors[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    return true;
}

void Tick(HWND window) {
    const DWORD now = GetTickCount();
    if (g_stopAt && now - g_start >= g_stopAt) {
        DestroyWindow(window);
        return;
    }
    const uint32_t due = static_cast<uint32_t>((uint64_t(now - g_start) * 30 / 1000) % g_film.frameCount);
    if (due == g_shown) return;
    g_shown = due;
    const uint8_t* entry = &g_film.bytes[20 + 8 * size_t(due)];
    g_info.header.biSizeImage = Le(entry + 4);
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, g_film.width, g_film.height,
                  &g_film.bytes[Le(entry)], reinterpret_cast<const BITMAPINFO*>(&g_info), DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(window, dc);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER: Tick(window); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2 || !Load(argv[1])) return 1;
    if (argc > 2) g_stopAt = static_cast<DWORD>(_wtoi(argv[2])) * 1000;

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"NoxelBarePlayer";
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName, L"Bare player", WS_POPUP | WS_VISIBLE, 0,
                                  0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                  instance, nullptr);
    if (!window) return 1;
    g_start = GetTickCount();
    SetTimer(window, 1, 16, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    LocalFree(argv);
    return 0;
}
