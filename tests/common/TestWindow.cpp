#include "common/TestWindow.h"

#include <cstdlib>

namespace testing_support {

static const wchar_t kClassName[] = L"NoxelTestWindow";

static void RegisterTestClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
    registered = true;
}

TestWindow::TestWindow(int width, int height, int x, int y) {
    RegisterTestClass();
    hwnd_ = CreateWindowExW(WS_EX_TOPMOST, kClassName, L"noxel test", WS_POPUP | WS_VISIBLE,
                            x, y, width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    Pump();
}

TestWindow::~TestWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
    Pump();
}

void TestWindow::Pump() const {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

COLORREF TestWindow::Pixel(int x, int y) const {
    HDC dc = GetDC(hwnd_);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(hwnd_, dc);
    return c;
}

void TestWindow::Fill(COLORREF colour) const {
    RECT client = {};
    GetClientRect(hwnd_, &client);
    HDC dc = GetDC(hwnd_);
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    ReleaseDC(hwnd_, dc);
}

COLORREF TestWindow::ScreenPixel(int x, int y) const {
    POINT at = {x, y};
    ClientToScreen(hwnd_, &at);
    HDC screen = GetDC(nullptr);
    COLORREF c = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    return c;
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

}  // namespace testing_support
