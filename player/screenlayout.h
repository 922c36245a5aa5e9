// Where the pictures lie on the full-screen window: one across the whole
// desktop or one on each monitor, each stretched over its area or kept at
// the film's proportions in the middle of it with black beside it. Plain
// integers and no window, so any monitor arrangement can be worked out here.
#pragma once

#include <cstdint>
#include <vector>

// Layout setting values.
constexpr uint32_t kLayoutAcrossScreens = 0;
constexpr uint32_t kLayoutEachScreen = 1;

// A rectangle in pixels, right and bottom exclusive.
struct ScreenRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

inline bool operator==(const ScreenRect& a, const ScreenRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The largest rectangle of `width`:`height` centred in `area`. A film without
// a size, or an empty area, gives the area itself.
ScreenRect FitProportions(const ScreenRect& area, int32_t width, int32_t height);

// The pictures' rectangles relative to `window`'s top-left corner, `window`
// and `monitors` in the same (virtual-screen) coordinates. Layout 1 gives one
// picture per monitor, cut to the window, in the monitors' order; a monitor
// outside the window, or one that repeats another's rectangle (a mirrored
// display), gives none. Any other layout, or no monitor inside the window,
// gives one picture over the whole window. KeepAspect 1 fits each picture to
// the film's proportions in its area; any other value stretches it.
std::vector<ScreenRect> PictureRects(const std::vector<ScreenRect>& monitors, const ScreenRect& window,
                                     uint32_t layout, uint32_t keepAspect, int32_t filmWidth,
                                     int32_t filmHeight);
