// The changed region between two frames and the plan of each tick built on
// it: what the engines redraw. Frames are made with the film encoder; every
// changed pixel must lie in a rectangle, and the rectangles stay few.
#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "common/GreyFrames.h"
#include "engines/FrameDiff.h"
#include "engines/RedrawPlan.h"
#include "format/Rle8.h"

bool operator==(const FilmRect& a, const FilmRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void PrintTo(const FilmRect& r, std::ostream* out) {
    *out << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

namespace {

using Rects = std::vector<FilmRect>;

// Pixels bottom row first, as the encoder and the films store them.
struct Picture {
    int32_t width, height;
    std::vector<uint8_t> pixels;
    Picture(int32_t w, int32_t h, uint8_t fill = 252) : width(w), height(h), pixels(size_t(w) * h, fill) {}
    // Row `top` counted from the top of the picture.
    uint8_t& At(int32_t x, int32_t top) { return pixels[size_t(height - 1 - top) * width + x]; }
    std::vector<uint8_t> Stream() const {
        Rle8Encoder encoder;
        uint32_t length = encoder.Encode(pixels.data(), uint32_t(pixels.size()), width);
        return std::vector<uint8_t>(encoder.stream(), encoder.stream() + length);
    }
};

bool Compare(FrameDiff& diff, const Picture& p, std::vector<FilmRect>* changed) {
    std::vector<uint8_t> stream = p.Stream();
    return diff.Compare(stream.data(), uint32_t(stream.size()), p.width, p.height, changed);
}

bool Inside(const std::vector<FilmRect>& rects, int32_t x, int32_t top) {
    for (const FilmRect& r : rects)
        if (x >= r.left && x < r.right && top >= r.top && top < r.bottom) return true;
    return false;
}

// Every pixel that differs between a and b (as the encoder stores them) lies in a rectangle.
void ExpectCovered(const Picture& a, const Picture& b, const std::vector<FilmRect>& rects) {
    Picture ea = a, eb = b;
    for (auto& v : ea.pixels) v &= 0xFC;
    for (auto& v : eb.pixels) v &= 0xFC;
    for (int32_t top = 0; top < a.height; ++top)
        for (int32_t x = 0; x < a.width; ++x)
            if (ea.At(x, top) != eb.At(x, top)) {
                ASSERT_TRUE(Inside(rects, x, top)) << x << "," << top;
            }
    EXPECT_LE(rects.size(), FrameDiff::kMaxRects);
    for (size_t i = 0; i < rects.size(); ++i) {
        for (size_t j = i + 1; j < rects.size(); ++j) {
            const FilmRect &r = rects[i], &o = rects[j];
            EXPECT_TRUE(r.right <= o.left || o.right <= r.left || r.bottom <= o.top || o.bottom <= r.top)
                << "rectangles " << i << " and " << j << " overlap";
        }
    }
}

TEST(FrameDiff, FirstFrameDrawsAllThenOnlyWhatChanged) {
    FrameDiff diff;
    Picture a(40, 30);
    std::vector<FilmRect> changed{{1, 1, 2, 2}};
    EXPECT_FALSE(Compare(diff, a, &changed));
    EXPECT_TRUE(changed.empty());
    diff.Accept();
    EXPECT_TRUE(Compare(diff, a, &changed));
    EXPECT_TRUE(changed.empty());
    diff.Accept();

    // A small figure near the top left: one rectangle, rows counted from the top.
    Picture b = a;
    b.At(3, 2) = 0;
    b.At(5, 4) = 0;
    ASSERT_TRUE(Compare(diff, b, &changed));
    EXPECT_EQ(Rects({{3, 2, 6, 5}}), changed);

    // Not accepted: the next comparison is still with `a`.
    Picture c = a;
    c.At(39, 29) = 0;
    ASSERT_TRUE(Compare(diff, c, &changed));
    EXPECT_EQ(Rects({{39, 29, 40, 30}}), changed);
    diff.Accept();
    diff.Accept();  // a second accept changes nothing
    ASSERT_TRUE(Compare(diff, c, &changed));
    EXPECT_TRUE(changed.empty());

    // Changes below the encoder's two low bits are no change.
    Picture d = c;
    d.At(10, 10) = 254;
    ASSERT_TRUE(Compare(diff, d, &changed));
    EXPECT_TRUE(changed.empty());
}

TEST(FrameDiff, DrawsAllAfterResetSizeChangeOrUnreadableStream) {
    FrameDiff diff;
    Picture a(16, 8);
    std::vector<FilmRect> changed;
    Compare(diff, a, &changed);
    diff.Accept();
    diff.Reset();
    EXPECT_FALSE(Compare(diff, a, &changed));
    diff.Accept();

    Picture wider(17, 8);
    EXPECT_FALSE(Compare(diff, wider, &changed));
    EXPECT_FALSE(Compare(diff, Picture(16, 9), &changed));
    EXPECT_TRUE(Compare(diff, a, &changed));

    std::vector<uint8_t> good = a.Stream();
    const std::vector<std::vector<uint8_t>> bad = {
        {},
        std::vector<uint8_t>(good.begin(), good.end() - 2),   // no end code
        std::vector<uint8_t>(good.begin() + 4, good.end()),  // the bottom row's first runs missing
        {0, 2, 16, 8, 0, 1},                                  // a move over every pixel
        {0, 2, 1, 0, 15, 252, 0, 0, 0, 1},                    // a move leaves a pixel unwritten
    };
    for (const auto& stream : bad) {
        EXPECT_FALSE(diff.Compare(stream.data(), uint32_t(stream.size()), 16, 8, &changed));
    }
    // An unreadable frame that was drawn leaves nothing to compare with.
    diff.Accept();
    EXPECT_FALSE(Compare(diff, a, &changed));
    diff.Accept();
    EXPECT_TRUE(Compare(diff, a, &changed));

    // Literal runs, odd ones padded, and pixels past a row's end are read as any film decoder does.
    std::vector<uint8_t> literal = {0, 3, 0, 252, 252, 0, 13, 252, 4, 252, 0, 0, 0, 1};
    Picture b(16, 1);
    FrameDiff one;
    Compare(one, b, &changed);
    one.Accept();
    ASSERT_TRUE(one.Compare(literal.data(), uint32_t(literal.size()), 16, 1, &changed));
    EXPECT_EQ(Rects({{0, 0, 1, 1}}), changed);

    EXPECT_FALSE(diff.Compare(good.data(), uint32_t(good.size()), 0, 8, &changed));
    EXPECT_FALSE(diff.Compare(good.data(), uint32_t(good.size()), 1 << 20, 1 << 20, &changed));
}

TEST(FrameDiff, BandsCoverEveryChangeAndStayFew) {
    FrameDiff diff;
    std::vector<FilmRect> changed;
    Picture a(64, 48);
    a.pixels = testing_support::SmoothSilhouette(64, 48, 1);
    Compare(diff, a, &changed);
    diff.Accept();

    // Two figures far apart: two bands.
    Picture b = a;
    b.At(2, 3) ^= 0x80;
    b.At(60, 40) ^= 0x80;
    ASSERT_TRUE(Compare(diff, b, &changed));
    EXPECT_EQ(changed.size(), 2u);
    ExpectCovered(a, b, changed);

    // Two figures on the same rows, far apart: two rectangles, not one wide band.
    Picture e = a;
    for (int32_t top = 10; top < 30; ++top) {
        e.At(1, top) ^= 0x80;
        e.At(62, top) ^= 0x80;
    }
    ASSERT_TRUE(Compare(diff, e, &changed));
    EXPECT_EQ(changed.size(), 2u);
    ExpectCovered(a, e, changed);

    // Every other row changed: many bands merged to a few.
    Picture c = a;
    for (int32_t top = 0; top < 48; top += 2) c.At(top % 64, top) ^= 0x80;
    ASSERT_TRUE(Compare(diff, c, &changed));
    ExpectCovered(a, c, changed);

    // Every pixel changed.
    Picture d(64, 48);
    d.pixels = testing_support::Noise(d.pixels.size(), 3);
    for (auto& v : d.pixels) v = uint8_t((v & 0xFC) != (a.pixels[&v - d.pixels.data()] & 0xFC) ? v : v ^ 0x80);
    ASSERT_TRUE(Compare(diff, d, &changed));
    EXPECT_EQ(Rects({{0, 0, 64, 48}}), changed);

    // Random sprinkles over random silhouettes, frame after frame.
    std::mt19937 random(7);
    Picture shown = a;
    for (int frame = 0; frame < 40; ++frame) {
        Picture next = shown;
        const int spots = int(random() % 30);
        for (int i = 0; i < spots; ++i) next.At(int32_t(random() % 64), int32_t(random() % 48)) = uint8_t(random());
        ASSERT_TRUE(Compare(diff, next, &changed));
        ExpectCovered(shown, next, changed);
        diff.Accept();
        shown = next;
    }
}

// A film rectangle's destination covers the stretched pixels grown by the
// margin, stays inside the destination and is not much larger.
TEST(FrameDiff, DestinationRectCoversTheStretchedPixels) {
    struct Row {
        FilmRect film;
        int32_t filmWidth, filmHeight, destWidth, destHeight, margin;
        FilmRect atLeast;
        int32_t widest;  // 0: nothing to draw
    };
    const Row rows[] = {
        // Same size: grown by the margin plus one pixel of rounding on each side.
        {{10, 20, 12, 21}, 100, 50, 100, 50, 0, {10, 20, 12, 21}, 8},
        // Four times larger: film pixel 10 covers destination pixels 40 to 43, the margin 8 more.
        {{10, 5, 11, 6}, 100, 50, 400, 200, 2, {32, 12, 52, 32}, 40},
        // Smaller than the film, odd sizes, and clipped at the edges.
        {{0, 0, 3, 3}, 481, 361, 160, 121, 1, {0, 0, 1, 1}, 8},
        {{478, 358, 481, 361}, 481, 361, 160, 121, 1, {159, 120, 160, 121}, 8},
        // Whole film: whole destination, even at sizes that overflow 32-bit products.
        {{0, 0, 100000, 100000}, 100000, 100000, 70000, 70000, 0, {0, 0, 70000, 70000}, 70000},
        {{5, 5, 5, 9}, 100, 50, 100, 50, 3, {}, 0},
        {{5, 5, 6, 6}, 0, 50, 100, 50, 3, {}, 0},
    };
    for (const Row& row : rows) {
        const FilmRect d =
            DestinationRect(row.film, row.filmWidth, row.filmHeight, row.destWidth, row.destHeight, row.margin);
        SCOPED_TRACE(::testing::PrintToString(row.film) + " -> " + ::testing::PrintToString(d));
        if (row.widest == 0) {
            EXPECT_EQ(0, d.right - d.left);
            continue;
        }
        EXPECT_TRUE(0 <= d.left && d.left <= row.atLeast.left && 0 <= d.top && d.top <= row.atLeast.top);
        EXPECT_TRUE(row.atLeast.right <= d.right && d.right <= row.destWidth && row.atLeast.bottom <= d.bottom &&
                    d.bottom <= row.destHeight);
        EXPECT_LE(d.right - d.left, row.widest);
    }
}

// Random rectangles (empty, equal, touching, nested, overlapping) on a small
// grid: the disjoint set covers each pixel of their union exactly once and
// nothing else.
TEST(FrameDiff, MakeDisjointCoversTheUnionOnce) {
    constexpr int32_t kGrid = 24;
    std::mt19937 random(7);
    std::uniform_int_distribution<int32_t> coordinate(0, kGrid);
    for (int round = 0; round < 500; ++round) {
        std::vector<FilmRect> rects(1 + round % 9);
        for (FilmRect& r : rects) {
            r.left = coordinate(random);
            r.top = coordinate(random);
            r.right = r.left + coordinate(random) / 3;
            r.bottom = r.top + coordinate(random) / 3;
        }
        if (round % 5 == 0) rects.push_back(rects.front());
        std::vector<FilmRect> disjoint = rects;
        MakeDisjoint(&disjoint);
        for (int32_t y = 0; y < kGrid * 2; ++y) {
            for (int32_t x = 0; x < kGrid * 2; ++x) {
                int covering = 0;
                for (const FilmRect& r : disjoint) covering += x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                ASSERT_EQ(Inside(rects, x, y) ? 1 : 0, covering) << "round " << round << " at " << x << "," << y;
            }
        }
    }
    std::vector<FilmRect> none;
    MakeDisjoint(&none);
    EXPECT_TRUE(none.empty());
}

// Sequences of events, as an engine meets them, and what each tick draws:
// W the whole picture, P only what changed. Letters A to C make a frame of
// that picture and draw it in a tick; D and E are 300 dots that all move.
// Before a letter: i a repaint, parameter or background; r a new size; o the
// line over the picture; x a draw straight on the window; n no background
// under a part; s the tick draws the frame made before.
struct PlanCase {
    const char* name;
    const char* events;
    const char* ticks;
};

class RedrawPlanSequence : public ::testing::TestWithParam<PlanCase> {};

Picture PlanPicture(char letter) {
    Picture p(240, 180);
    if (letter == 'B' || letter == 'C') p.At(letter == 'B' ? 30 : 200, 40) = 0;
    if (letter == 'D' || letter == 'E') {
        for (int32_t i = 0; i < 300; ++i) p.At((i * 37 + (letter == 'E')) % 238, (i * 53) % 178) = 0;
    }
    return p;
}

TEST_P(RedrawPlanSequence, EachTickDrawsWhatItMust) {
    struct Frame : EngineFrame {};
    RedrawPlan plan;
    plan.SetDestination(480, 360);
    plan.SetReach(1, 0, 4096);
    std::string ticks, pending;
    Frame frames[2];
    int next = 0;
    for (const char* e = GetParam().events; *e; ++e) {
        if (*e == 'i') plan.RedrawAll();
        if (*e == 'r') plan.SetDestination(480, 360);
        if (*e == 'x') plan.DrawnOutsideTick();
        if (!std::isupper(static_cast<unsigned char>(*e))) {
            pending += *e;
            continue;
        }
        const std::vector<uint8_t> stream = PlanPicture(*e).Stream();
        Frame* made = &frames[next];
        plan.FrameMade(made, stream.data(), uint32_t(stream.size()), 240, 180);
        plan.BeginTick(pending.find('n') == std::string::npos);
        plan.DrawsFrame(pending.find('s') == std::string::npos ? made : &frames[1 - next]);
        if (pending.find('o') != std::string::npos) plan.DrawsOverlay();
        ticks += plan.Partial() ? 'P' : 'W';
        plan.EndTick();
        if (pending.find('s') != std::string::npos) next = 1 - next;
        pending.clear();
    }
    EXPECT_EQ(GetParam().ticks, ticks);
}

INSTANTIATE_TEST_SUITE_P(
    RedrawPlan, RedrawPlanSequence,
    ::testing::Values(PlanCase{"FirstWholeThenWhatChanged", "ABCB", "WPPP"},
                      PlanCase{"RepaintParameterOrBackground", "ABiCB", "WPWP"},
                      PlanCase{"NewSize", "ABrC", "WPW"},
                      PlanCase{"LineOverThePictureAndTheTickAfter", "ABoCBC", "WPWWP"},
                      PlanCase{"DrawOutsideATick", "ABxCB", "WPWP"},
                      PlanCase{"NoBackgroundUnderAPart", "ABnCB", "WPWP"},
                      PlanCase{"AnotherFrameThanTheOneCompared", "ABsCB", "WPWW"},
                      PlanCase{"ScatteredChangesCostMoreThanAWhole", "ADEDB", "WWWWW"}),
    [](const ::testing::TestParamInfo<PlanCase>& info) { return std::string(info.param.name); });

// A changed film pixel's window rectangle reaches as far as the engine's
// filter: the film pixels around it, or the window pixels when the film shrinks.
TEST(FrameDiff, DestinationRegionReachesTheLargerOfFilmAndWindowMargins) {
    struct Row {
        int32_t filmWidth, destWidth, left, right;  // what the rectangle must cover at least
    };
    // Film column 960 of 1920 lies at window column 150 of 300, and the filter reaches two window pixels;
    // column 240 of 480 lies at 960..963 of 1920, and it reaches three film pixels.
    for (const Row& row : {Row{1920, 300, 150 - 3, 151 + 3}, Row{480, 1920, 948, 976}}) {
        std::vector<FilmRect> rects = {{row.filmWidth / 2, 10, row.filmWidth / 2 + 1, 11}};
        ToDestinationRegion(&rects, row.filmWidth, 100, row.destWidth, 100, 3, 2);
        ASSERT_EQ(1u, rects.size());
        EXPECT_LE(rects[0].left, row.left) << row.destWidth;
        EXPECT_GE(rects[0].right, row.right) << row.destWidth;
    }
}

}  // namespace
