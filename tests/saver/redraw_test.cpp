// Drawing only what changed must show what a whole redraw shows. Films (a
// still one, a small moving figure, one whose every pixel changes, one that
// loops, one whose two changed parts lie close together, one whose
// frame-rate line shows on one frame only) are played frame by frame in
// every engine and option; after each
// frame the window is read, the same frame is drawn whole, and the two
// pictures must be equal pixel for pixel. Also: the player's ticks that have
// nothing new to show, and its repaint.
#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "common/EngineTestKit.h"
#include "common/FilmBuilder.h"
#include "common/GraphicsEnvironment.h"
#include "common/TestImages.h"
#include "engines/EngineFactory.h"
#include "engines/gdiengine.h"
#include "player/player.h"
#include "saver/SaverHarness.h"

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
    std::vector<Film> films(6);
    films[0].name = "still";
    films[1].name = "moving";
    films[2].name = "every pixel";
    films[3].name = "loop";
    films[4].name = "two near bars";
    films[5].name = "line on one frame";
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
            TestWindow window(windowWidth, windowHeight, 10, 10);
            uint32_t created = 99;
            std::unique_ptr<gengine> engine = CreateEngine(engineIndex, window.hwnd(), &created);
            ASSERT_EQ(engineIndex, created);
            engine->SetParam1(option.param1);
            engine->SetParam2(option.param2);
            ASSERT_TRUE(engine->LoadBackground(background_->File(L"back.bmp").c_str()));
            auto* gdi = engineIndex == kEngineGdi ? static_cast<gdiengine*>(engine.get()) : nullptr;
            // Every frame drawn as a tick draws it, then drawn whole: the
            // window must show the same picture both times.
            Pixels shown = PresentSteadily(*engine, window, [&] { Draw(*engine, film, 0); });
            for (size_t i = 0; i < film.frames.size(); ++i) {
                const std::string where = "engine " + std::to_string(engineIndex) + " option " +
                                          std::to_string(option.param1) + "/" + std::to_string(option.param2) +
                                          ", " + film.name + " film, frame " + std::to_string(i) + ", window " +
                                          std::to_string(windowWidth) + "x" + std::to_string(windowHeight);
                Draw(*engine, film, i);
                // GDI draws a new or vanished line with the whole picture.
                const bool lineChanged = i > 0 && wcscmp(film.Line(i), film.Line(i - 1)) != 0;
                // A change over every pixel is cheaper drawn whole.
                if (gdi && i > 0 && !lineChanged) {
                    EXPECT_EQ(film.name != "every pixel", gdi->LastDrawWasPartial()) << where;
                }
                const bool changed = i > 0 && (film.frames[i].pixels() != film.frames[i - 1].pixels() || lineChanged);
                const Pixels partial = Settled(window, changed && engineIndex == kEngineDirect2D ? &shown : nullptr);
                shown = PresentSteadily(*engine, window, [&] { Draw(*engine, film, i); });
                if (gdi) {
                    EXPECT_FALSE(gdi->LastDrawWasPartial()) << where;
                }
                ASSERT_EQ("", Difference(partial, shown)) << where;
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

// The player with a test clock and a GDI engine that counts the frames it is asked for.
class CountingGdi : public gdiengine {
public:
    explicit CountingGdi(HWND window) : gdiengine(window) {}
    EngineFrame* CreateFrame(const uint8_t* data, uint32_t size, int32_t width, int32_t height,
                             uint32_t bitCount) override {
        ++created;
        return gdiengine::CreateFrame(data, size, width, height, bitCount);
    }
    int created = 0;
};

DWORD g_now = 0;
DWORD WINAPI TestClock() { return g_now; }

class PlayerRedraw : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::FilmBuilder film(64, 48);
        for (uint32_t i = 0; i < 40; ++i) film.Add(Walker(64, 48, i));
        ASSERT_TRUE(film.Write(film_));
        g_now = 10000;
        player_ = std::make_unique<player>(&TestClock);
        wcscpy(player_->Settings().NoxelFilePath, film_.c_str());
        wcscpy(player_->Settings().BackGroundImageFilePath, L"");
        player_->Settings().BGM = 0;
        player_->Settings().DisplayFrameRate = 0;
        player_->Settings().Engine = kEngineGdi;
    }
    void TearDown() override {
        player_->Stop(window_.hwnd());
        player_.reset();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    void Start() {
        auto engine = std::make_unique<CountingGdi>(window_.hwnd());
        engine_ = engine.get();
        player_->StartWithEngine(window_.hwnd(), std::move(engine));
    }
    void TickAt(DWORD now) {
        g_now = now;
        player_->Tick(window_.hwnd());
    }

    ScratchDir dir_;
    std::wstring film_ = dir_.File(L"walk.nxl");
    saver_tests::SettingsScope settings_;
    TestWindow window_{180, 140, 20, 20};
    std::unique_ptr<player> player_;
    CountingGdi* engine_ = nullptr;
};

TEST_F(PlayerRedraw, ATickWithNothingNewDrawsNothing) {
    Start();
    TickAt(10016);  // frame 0
    TickAt(10032);  // frame 0 again: nothing to do
    EXPECT_EQ(1, engine_->created);
    EXPECT_EQ(2u, player_->Meter().counted) << "the overlay's fps counts every tick, drawn or not";
    TickAt(10034);  // frame 1
    EXPECT_EQ(2, engine_->created);
    EXPECT_EQ(1u, player_->FrameIndex());

    // With the overlay a tick draws when the frame or the line changes.
    player_->Settings().DisplayFrameRate = 1;
    TickAt(10040);  // frame 1 again, but its line is not on the window yet
    EXPECT_EQ(3, engine_->created);
    TickAt(10045);  // the same frame and line
    EXPECT_EQ(3, engine_->created);
    TickAt(11000);  // frame 30
    EXPECT_EQ(4, engine_->created);
    EXPECT_EQ(0u, player_->Meter().rate);
    TickAt(11001);  // frame 30 still; the first second is over and the rate shown changes
    EXPECT_EQ(6u, player_->Meter().rate);
    EXPECT_EQ(5, engine_->created);
    TickAt(11002);
    EXPECT_EQ(5, engine_->created);

    // Past the last frame the film starts again from frame 0 as before.
    player_->Settings().DisplayFrameRate = 0;
    TickAt(11400);  // frame 42 of 40
    EXPECT_EQ(0u, player_->FrameIndex());
    EXPECT_EQ(11400u, player_->StartTick());
    EXPECT_EQ(6, engine_->created);
    TickAt(11410);
    EXPECT_EQ(6, engine_->created);
}

TEST_F(PlayerRedraw, PaintRedrawsTheWholePicture) {
    Start();
    TickAt(10100);  // frame 3
    TickAt(10140);  // frame 4: only the changed part is drawn
    ASSERT_TRUE(engine_->LastDrawWasPartial());
    const Pixels shown = Settled(window_);

    // Something covers the window and goes: the window is invalid and its pixels lost.
    window_.Fill(RGB(0, 0, 0));
    InvalidateRect(window_.hwnd(), nullptr, FALSE);

    player_->Paint(window_.hwnd());
    EXPECT_FALSE(GetUpdateRect(window_.hwnd(), nullptr, FALSE)) << "the window is validated";
    EXPECT_EQ(3, engine_->created) << "the frame on screen is drawn again";
    EXPECT_FALSE(engine_->LastDrawWasPartial());
    EXPECT_EQ("", testing_support::Difference(shown, Settled(window_)));
    EXPECT_EQ(4u, player_->FrameIndex());
}

}  // namespace
