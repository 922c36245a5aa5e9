// The frame-rate line and the changed region, in the GDI+ and Direct2D
// engines: a tick that shows the line after ticks that drew only what
// changed, and the tick after it, show what a whole redraw shows.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/EngineTestKit.h"
#include "common/FilmBuilder.h"
#include "common/GraphicsEnvironment.h"
#include "common/TestImages.h"
#include "engines/EngineFactory.h"

using namespace testing_support;

namespace {

// The window once two reads a moment apart agree: Direct2D shows its
// picture a little after EndDraw.
WindowPixels Shown(const TestWindow& window) {
    WindowPixels last(window.hwnd());
    for (int attempt = 0; attempt < 40; ++attempt) {
        window.Pump();
        Sleep(25);
        WindowPixels now(window.hwnd());
        bool same = true;
        for (int y = 0; same && y < now.height(); ++y)
            for (int x = 0; same && x < now.width(); ++x) same = now.At(x, y) == last.At(x, y);
        if (same && attempt >= 2) return now;
        last = std::move(now);
    }
    return last;
}

int Differing(const WindowPixels& a, const WindowPixels& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) count += a.At(x, y) != b.At(x, y);
    return count;
}

void Tick(gengine& engine, const GreyPicture& picture, const wchar_t* text) {
    ScopedFrame frame(engine, picture);
    DrawPicture(engine, frame.get(), text, static_cast<uint32_t>(wcslen(text)));
}

class OverlayRedraw : public ::testing::TestWithParam<uint32_t> {};

TEST_P(OverlayRedraw, TheLineAndTheTickAfterItShowWhatAWholeRedrawShows) {
    if (GetParam() == kEngineDirect2D && !GraphicsEnvironment::Direct2DReady()) GTEST_SKIP() << "no Direct2D";
    ScratchDir dir;
    ASSERT_TRUE(WriteGradientImage(dir.File(L"back.bmp"), 97, 61));
    TestWindow window(157, 113, 10, 10);
    uint32_t made = 99;
    std::unique_ptr<gengine> engine = CreateEngine(GetParam(), window.hwnd(), &made);
    ASSERT_EQ(GetParam(), made);
    ASSERT_TRUE(engine->LoadBackground(dir.File(L"back.bmp").c_str()));

    // A figure walks; the line shows on the third frame only.
    const wchar_t* const texts[] = {L"", L"", L"fps=30 (2/4)", L""};
    Tick(*engine, Silhouette(64, 48, 0), L"");
    Shown(window);
    for (uint32_t i = 1; i < 4; ++i) {
        const GreyPicture picture = Silhouette(64, 48, 3 * i);
        Tick(*engine, picture, texts[i]);
        const WindowPixels drawn = Shown(window);
        engine->InvalidatePicture();
        Tick(*engine, picture, texts[i]);
        EXPECT_EQ(0, Differing(drawn, Shown(window))) << "frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, OverlayRedraw, ::testing::Values(kEngineGdiPlus, kEngineDirect2D),
                         [](const ::testing::TestParamInfo<uint32_t>& info) {
                             return std::string(info.param == kEngineGdiPlus ? "GdiPlus" : "Direct2D");
                         });

}  // namespace
