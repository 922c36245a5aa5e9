// A real, visible top-level window for drawing tests: engines draw into it
// and the tests read the pixels back from its device context.
#pragma once

#include <windows.h>

namespace testing_support {

class TestWindow {
public:
    // A borderless pop-up whose client area is width x height at (x, y).
    TestWindow(int width, int height, int x = 0, int y = 0);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    // Dispatches the messages waiting for this thread.
    void Pump() const;
    // The colour at client point (x, y) as the window shows it now.
    COLORREF Pixel(int x, int y) const;
    // Paints the whole client area in one colour, through GDI.
    void Fill(COLORREF colour) const;
    // The colour the screen shows at client point (x, y), child windows included.
    COLORREF ScreenPixel(int x, int y) const;

private:
    HWND hwnd_ = nullptr;
};

// Channel-wise closeness of two colours.
bool Near(COLORREF a, COLORREF b, int tolerance = 8);

}  // namespace testing_support
