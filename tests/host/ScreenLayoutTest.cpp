// Where the pictures go on monitor arrangements this machine cannot show:
// side by side, stacked, of different sizes, left of the origin, turned
// upright. The window is the monitors' bounding box, as the saver makes it.
#include <gtest/gtest.h>

#include <vector>

#include "player/screenlayout.h"

void PrintTo(const ScreenRect& r, std::ostream* out) {
    *out << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

namespace {

using Rects = std::vector<ScreenRect>;

ScreenRect Bounds(const Rects& monitors) {
    ScreenRect box = monitors.front();
    for (const ScreenRect& m : monitors) {
        box = {std::min(box.left, m.left), std::min(box.top, m.top), std::max(box.right, m.right),
               std::max(box.bottom, m.bottom)};
    }
    return box;
}

const Rects kSideBySide = {{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}};
const Rects kStacked = {{0, 0, 1920, 1080}, {0, 1080, 1920, 2160}};
// A 150 % screen beside a 100 % one: sizes in pixels differ, tops align.
const Rects kMixedScales = {{0, 0, 2560, 1440}, {2560, 0, 3926, 768}};
// The primary (at the origin) on the right of its neighbour.
const Rects kPrimaryRight = {{0, 0, 1920, 1080}, {-1920, 0, 0, 1080}};
// A laptop beside an upright monitor that reaches above it: an L-shaped desktop.
const Rects kPortrait = {{0, 0, 1920, 1080}, {1920, -420, 3000, 1500}};

struct Case {
    const char* name;
    Rects monitors;
    uint32_t layout, keepAspect;
    Rects expected;
};

TEST(ScreenLayout, PicturesOnMonitorSets) {
    // Films are 480x360 (4:3).
    const Case cases[] = {
        {"one screen, stretched (the default)", {{0, 0, 1366, 768}}, 0, 0, {{0, 0, 1366, 768}}},
        {"one screen, kept", {{0, 0, 1366, 768}}, 0, 1, {{171, 0, 1195, 768}}},
        {"side by side, across, stretched", kSideBySide, 0, 0, {{0, 0, 3840, 1080}}},
        {"side by side, across, kept", kSideBySide, 0, 1, {{1200, 0, 2640, 1080}}},
        {"side by side, each", kSideBySide, 1, 0, {{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}}},
        {"side by side, each, kept", kSideBySide, 1, 1, {{240, 0, 1680, 1080}, {2160, 0, 3600, 1080}}},
        {"stacked, each, kept", kStacked, 1, 1, {{240, 0, 1680, 1080}, {240, 1080, 1680, 2160}}},
        {"mixed scales, each, kept", kMixedScales, 1, 1, {{320, 0, 2240, 1440}, {2731, 0, 3755, 768}}},
        {"primary right, each, kept", kPrimaryRight, 1, 1, {{2160, 0, 3600, 1080}, {240, 0, 1680, 1080}}},
        {"portrait, each, kept", kPortrait, 1, 1, {{240, 420, 1680, 1500}, {1920, 555, 3000, 1365}}},
        // Across an L-shaped desktop, part of the picture lies where no screen is.
        {"portrait, across, kept", kPortrait, 0, 1, {{220, 0, 2780, 1920}}},
        {"mirrored screens give one picture", {{0, 0, 800, 600}, {0, 0, 800, 600}}, 1, 0, {{0, 0, 800, 600}}},
        {"unknown values act as the defaults", kSideBySide, 7, 2, {{0, 0, 3840, 1080}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PictureRects(c.monitors, Bounds(c.monitors), c.layout, c.keepAspect, 480, 360), c.expected)
            << c.name;
    }
}

TEST(ScreenLayout, MonitorsOutsideTheWindow) {
    const ScreenRect window = {-100, -50, 700, 550};
    EXPECT_EQ(PictureRects({{900, 0, 1700, 600}}, window, 1, 0, 480, 360), Rects({{0, 0, 800, 600}}));
    EXPECT_EQ(PictureRects({{-100, -50, 300, 550}, {300, -50, 1000, 900}}, window, 1, 0, 480, 360),
              Rects({{0, 0, 400, 600}, {400, 0, 800, 600}}));  // cut to the window
}

TEST(ScreenLayout, FitKeepsProportionsAtTheExtremes) {
    const struct {
        ScreenRect area;
        int32_t width, height;
        ScreenRect expected;
    } cases[] = {
        {{0, 0, 1000, 1000}, 3, 2, {0, 166, 1000, 833}},            // rounds to the nearest pixel
        {{0, 0, 1920, 1080}, 1, 60000, {959, 0, 960, 1080}},        // never thinner than a pixel
        {{0, 0, 1920, 1080}, 0, 360, {0, 0, 1920, 1080}},           // a film without a size fills the area
        {{-32000, 0, 32000, 20000}, 65535, 1, {-32000, 9999, 32000, 10000}},  // no overflow
    };
    for (const auto& c : cases) EXPECT_EQ(FitProportions(c.area, c.width, c.height), c.expected);
}

}  // namespace
