// Drawing only what changed must show what a whole redraw shows. Films (a
// still one, a small moving figure, one whose every pixel changes, one that
// loops, one whose two changed parts lie close together, one whose
// frame-rate line shows on one frame only) are played frame by frame in
// every engine and option; after each frame the window is read, the same
// frame is drawn whole, and the two pictures must be equal pixel for pixel.
#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "common/EngineTestKit.h"
#include "common/GraphicsEnvironment.h"
#include "common/TestImages.h"
#include "engines/EngineFactory.h"
#include "engines/gdiengine.h"

namespace {

using testing_support::DrawPicture;
using testing_support::GreyPicture;
using testing_support::ScopedFrame;
using testing_support::ScratchDir;
using testing_support::Stripes;
using testing_support::TestWindow;
using testing_support::Pixels;
using testing_support::PresentSteadily;
using testing_support::Settled;

struct Film {
    std::string name;
    std::vector<GreyPicture> frames;
    std::vector<std::wstring> lines;  // the frame-rate line of each frame, if any
    const wchar_t* Line(size_t i) const { return i < lines.size() ? lines[i].c_str() : L""; }
};

void Draw(gengine& engine, const Film& film, size_t i) {
    ScopedFrame frame(engine, film.frames[i]);
    DrawPicture(engine, frame.get(), film.Line(i), static_cast<uint32_t>(wcslen(film.Line(i))));
}

// A grey disc beside the walking figure, so the smoothing modes have grey edges to blend.
GreyPicture Walker(int32_t width, int32_t height, uint32_t step) {
    GreyPicture picture = testing_support::Silhouette(width, height, step);
    picture.FillDisc(width * 3 / 4, height / 3 + int(step), height / 10, 128);
    return picture;
}

// A bar across the top and one down the middle, two rows apart, that turn
// from black to white and back: changes far enough apart to be drawn as two
// rectangles, near enough that the pixels each one's smoothing reaches overlap.
GreyPicture Bars(int32_t width, int32_t height, uint32_t step) {
    GreyPicture picture(width, height, 160);
    const uint8_t level = step % 2 ? 255 : 0;
    picture.Fill(0, height / 5, width - 3, height / 5 + 4, level);
    picture.Fill(width / 2 - 2, height / 5 + 6, width / 2 + 2, height, level);
    return picture;
}

std::vector<Film> Films(int32_t width, int32_t height, uint32_t frames) {
    std::vector<Film> films;
    for (const char* name : {"still", "moving", "every pixel", "loop", "two near bars", "line on one frame"})
        films.push_back({name, {}, {}});
    for (uint32_t i = 0; i < frames; ++i) {
        films[0].frames.push_back(Walker(width, height, 0));
        films[1].frames.push_back(Walker(width, height, i));
        films[2].frames.push_back(Stripes(width, height, i));
        films[3].frames.push_back(Walker(width, height, i % 2 ? 9 : 0));
        films[4].frames.push_back(Bars(width, height, i));
        films[5].frames.push_back(Walker(width, height, 3 * i));
        films[5].lines.push_back(i == 1 ? L"fps=30 (1/4)" : L"");
    }
    films[3].frames.push_back(films[3].frames.front());  // back to the first frame
    return films;
}

struct Option {
    uint32_t param1, param2;
};

class PartialRedraw : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        background_ = new ScratchDir;
        ASSERT_TRUE(testing_support::WriteGradientImage(background_->File(L"back.bmp"), 97, 61));
    }
    static void TearDownTestSuite() {
        delete background_;
        background_ = nullptr;
    }

    // Plays each film in a fresh engine; every frame drawn as a tick draws it
    // must equal the same frame drawn whole right after.
    void Play(uint32_t engineIndex, Option option, int windowWidth, int windowHeight, const std::vector<Film>& films) {
        for (const Film& film : films) {
            SCOPED_TRACE(testing::Message() << "engine " << engineIndex << " option " << option.param1 << "/"
                                            << option.param2 << ", " << film.name << " film, window " << windowWidth
                                            << "x" << windowHeight);
            TestWindow window(windowWidth, windowHeight, 10, 10);
            uint32_t created = 99;
            std::unique_ptr<gengine> engine = CreateEngine(engineIndex, window.hwnd(), &created);
            ASSERT_EQ(engineIndex, created);
            engine->SetParam1(option.param1);
            engine->SetParam2(option.param2);
            ASSERT_TRUE(engine->LoadBackground(background_->File(L"back.bmp").c_str()));
            auto* gdi = engineIndex == kEngineGdi ? static_cast<gdiengine*>(engine.get()) : nullptr;
            Pixels shown = PresentSteadily(*engine, window, [&] { Draw(*engine, film, 0); });
            for (size_t i = 0; i < film.frames.size(); ++i) {
                Draw(*engine, film, i);
                // GDI draws a new or vanished line with the whole picture.
                const bool lineChanged = i > 0 && wcscmp(film.Line(i), film.Line(i - 1)) != 0;
                // A change over every pixel is cheaper drawn whole.
                if (gdi && i > 0 && !lineChanged) {
                    EXPECT_EQ(film.name != "every pixel", gdi->LastDrawWasPartial()) << "frame " << i;
                }
                const bool changed = i > 0 && (film.frames[i].pixels() != film.frames[i - 1].pixels() || lineChanged);
                const Pixels partial = Settled(window, changed && engineIndex == kEngineDirect2D ? &shown : nullptr);
                shown = PresentSteadily(*engine, window, [&] { Draw(*engine, film, i); });
                if (gdi) {
                    EXPECT_FALSE(gdi->LastDrawWasPartial()) << "frame " << i;
                }
                ASSERT_EQ("", Difference(partial, shown)) << "frame " << i;
            }
        }
    }

    static ScratchDir* background_;
};

ScratchDir* PartialRedraw::background_ = nullptr;

TEST_F(PartialRedraw, GdiEveryModePair) {
    // A film smaller than the window and one larger, at an odd window size.
    const std::vector<Film> small = Films(64, 48, 4);
    const std::vector<Film> large = Films(203, 151, 3);
    for (uint32_t white = 0; white < 4; ++white) {
        for (uint32_t black = 0; black < 4; ++black) {
            Play(kEngineGdi, {white, black}, 160, 120, small);
            Play(kEngineGdi, {white, black}, 157, 113, large);
        }
    }
}

TEST_F(PartialRedraw, GdiPlusColoursAndInterpolations) {
    const std::vector<Film> films = Films(64, 48, 3);
    // Default, bicubic (smoothing), nearest neighbour, high-quality bicubic; both colours.
    for (uint32_t mode : {0u, 4u, 5u, 7u}) {
        for (uint32_t colour = 0; colour < 2; ++colour) Play(kEngineGdiPlus, {mode, colour}, 157, 113, films);
    }
    // Nearest neighbour draws each rectangle from the film pixels under it
    // alone: a larger window, and a film larger than the window.
    constexpr uint32_t kNearestNeighbor = 5;
    Play(kEngineGdiPlus, {kNearestNeighbor, 0}, 331, 247, films);
    Play(kEngineGdiPlus, {kNearestNeighbor, 1}, 157, 113, Films(203, 151, 3));
}

TEST_F(PartialRedraw, Direct2DEveryMode) {
    if (!testing_support::GraphicsEnvironment::Direct2DReady()) GTEST_SKIP() << "no Direct2D here";
    const std::vector<Film> films = Films(64, 48, 3);
    for (uint32_t mode = 0; mode < 3; ++mode) Play(kEngineDirect2D, {mode, 0}, 157, 113, films);
}

}  // namespace
