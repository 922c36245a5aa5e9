// Small tools for tests that drive a rendering engine: frames that are
// handed back to their engine at the end of a scope, memory that may not be
// read at all (to show that an operation left its input alone), screen
// covers, and pictures read back from a window.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/FilmBuilder.h"
#include "common/TestImages.h"
#include "common/TestSupport.h"
#include "common/TestWindow.h"
#include "engines/gengine.h"

namespace testing_support {

// One engine frame made from a grey picture, deleted with its engine's
// DeleteFrame. The stream stays alive as long as the frame, as the reader's
// buffer does during a tick.
class ScopedFrame {
public:
    ScopedFrame(gengine& engine, const GreyPicture& picture)
        : engine_(engine), stream_(EncodeWholeRows(picture)) {
        frame_ = engine_.CreateFrame(stream_.data(), static_cast<uint32_t>(stream_.size()),
                                     picture.width(), picture.height(), 8);
    }
    ~ScopedFrame() {
        if (frame_) engine_.DeleteFrame(frame_);
    }
    ScopedFrame(const ScopedFrame&) = delete;
    ScopedFrame& operator=(const ScopedFrame&) = delete;

    EngineFrame* get() const { return frame_; }

private:
    gengine& engine_;
    std::vector<uint8_t> stream_;
    EngineFrame* frame_ = nullptr;
};

// A page of memory that faults on any access.
class NoAccessPage {
public:
    NoAccessPage() : page_(VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS)) {}
    ~NoAccessPage() {
        if (page_) VirtualFree(page_, 0, MEM_RELEASE);
    }
    NoAccessPage(const NoAccessPage&) = delete;
    NoAccessPage& operator=(const NoAccessPage&) = delete;

    const uint8_t* data() const { return static_cast<const uint8_t*>(page_); }
    static constexpr uint32_t size() { return 4096; }

private:
    void* page_;
};

// One picture as a playback tick draws it: background, frame (may be null),
// the first `length` characters of `text`, then onto the window.
inline void DrawPicture(gengine& engine, EngineFrame* frame, const wchar_t* text = L"", uint32_t length = 0) {
    engine.BeginDraw();
    engine.DrawBackground();
    engine.DrawFrame(frame);
    engine.DrawOverlayText(text, length);
    engine.EndDraw();
}

// A topmost window over the whole primary display in one colour, or in four
// quadrants of their own colours, for tests of screen captures. The
// constructor returns once the screen shows it: Wine puts a window's GDI
// drawing on the screen a moment later.
class ScreenCover {
public:
    explicit ScreenCover(COLORREF color) : ScreenCover(color, color, color, color) {}
    ScreenCover(COLORREF topLeft, COLORREF topRight, COLORREF bottomLeft, COLORREF bottomRight)
        : window_(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 0, 0),
          colors_{topLeft, topRight, bottomLeft, bottomRight} {
        const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        HDC dc = GetDC(window_.hwnd());
        for (int quadrant = 0; quadrant < 4; ++quadrant) {
            HBRUSH brush = CreateSolidBrush(colors_[quadrant]);
            RECT part = QuadrantOf(quadrant, width, height);
            FillRect(dc, &part, brush);
            DeleteObject(brush);
        }
        ReleaseDC(window_.hwnd(), dc);
        for (int attempt = 0; attempt < 250 && !Shown(); ++attempt) {
            window_.Pump();
            Sleep(20);
        }
    }

private:
    static RECT QuadrantOf(int quadrant, int width, int height) {
        const int left = quadrant % 2 ? width / 2 : 0, top = quadrant / 2 ? height / 2 : 0;
        return RECT{left, top, quadrant % 2 ? width : width / 2, quadrant / 2 ? height : height / 2};
    }

    // Read the way the engines capture: from the display device.
    bool Shown() const {
        HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
        const int width = GetDeviceCaps(display, HORZRES);
        const int height = GetDeviceCaps(display, VERTRES);
        bool shown = true;
        for (int quadrant = 0; quadrant < 4; ++quadrant) {
            const RECT part = QuadrantOf(quadrant, width, height);
            shown = shown && GetPixel(display, part.left + 1, part.top + 1) == colors_[quadrant] &&
                    GetPixel(display, (part.left + part.right) / 2, (part.top + part.bottom) / 2) == colors_[quadrant] &&
                    GetPixel(display, part.right - 2, part.bottom - 2) == colors_[quadrant];
        }
        DeleteDC(display);
        return shown;
    }

    TestWindow window_;
    COLORREF colors_[4];
};

// The window's picture once two reads a moment apart agree. With `before`,
// what the window showed until then, the picture must first change: Direct2D
// shows its picture a moment after EndDraw, on a busy machine much later.
// Fails the test when the window does not change or hold still in time.
Pixels Settled(const TestWindow& window, const Pixels* before = nullptr);

// Puts one picture on the window, drawn whole, and returns it once the
// window shows it and holds still; fails the test when it never does.
// Direct2D shows its picture through the GL swap chain a moment after
// EndDraw, and a picture presented before the window is mapped is lost; so
// the window is first painted in a colour no test expects, and `draw` runs
// again (the engine told to redraw everything) until no pixel shows that
// colour any more and the picture holds still.
Pixels PresentSteadily(gengine& engine, const TestWindow& window, const std::function<void()>& draw);

}  // namespace testing_support
