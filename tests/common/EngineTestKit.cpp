#include "common/EngineTestKit.h"

#include <gtest/gtest.h>

namespace testing_support {

namespace {

// Generous: a busy machine delays Direct2D's presents by seconds.
constexpr DWORD kPictureWaitMs = 15000;

}  // namespace

Pixels Settled(const TestWindow& window, const Pixels* before) {
    Pixels last(window.hwnd());
    if (before && !WaitUntil([&] {
            window.Pump();
            return (last = Pixels(window.hwnd())) != *before;
        }, kPictureWaitMs))
        ADD_FAILURE() << "the window never showed the new picture";
    int same = 0;
    if (!WaitUntil([&] {
            window.Pump();
            Pixels now(window.hwnd());
            same = now == last ? same + 1 : 0;
            last = std::move(now);
            return same >= 2;
        }, kPictureWaitMs))
        ADD_FAILURE() << "the window's picture never held still";
    return last;
}

Pixels PresentSteadily(gengine& engine, const TestWindow& window, const std::function<void()>& draw) {
    constexpr COLORREF kSentinel = RGB(255, 0, 255);
    RECT client = {};
    GetClientRect(window.hwnd(), &client);
    window.Fill(kSentinel);
    Pixels last;
    int steady = 0;
    if (!WaitUntil([&] {
            engine.InvalidatePicture();
            draw();
            window.Pump();
            Pixels now(window.hwnd());
            const bool presented = now.Count(client, [](COLORREF c) { return c == kSentinel; }) == 0;
            steady = presented && now == last ? steady + 1 : 0;
            last = std::move(now);
            return steady >= 1;
        }, kPictureWaitMs))
        ADD_FAILURE() << "the window never showed the whole picture and held still";
    return last;
}

}  // namespace testing_support
