// The pictures' geometry on the full-screen window.
#include "player/screenlayout.h"

#include <algorithm>

namespace {

bool IsEmpty(const ScreenRect& r) { return r.right <= r.left || r.bottom <= r.top; }

ScreenRect Intersect(const ScreenRect& a, const ScreenRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

ScreenRect Offset(const ScreenRect& r, int32_t dx, int32_t dy) {
    return {r.left - dx, r.top - dy, r.right - dx, r.bottom - dy};
}

}  // namespace

ScreenRect FitProportions(const ScreenRect& area, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || IsEmpty(area)) return area;
    // 64-bit: a 32-bit product of a desktop size and a film size can overflow.
    const int64_t areaWidth = static_cast<int64_t>(area.right) - area.left;
    const int64_t areaHeight = static_cast<int64_t>(area.bottom) - area.top;
    int64_t fitWidth = areaWidth;
    int64_t fitHeight = areaHeight;
    if (areaWidth * height > areaHeight * width) {
        fitWidth = std::max<int64_t>(1, (2 * areaHeight * width + height) / (2 * height));
    } else {
        fitHeight = std::max<int64_t>(1, (2 * areaWidth * height + width) / (2 * width));
    }
    const int64_t left = area.left + (areaWidth - fitWidth) / 2;
    const int64_t top = area.top + (areaHeight - fitHeight) / 2;
    return {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(left + fitWidth),
            static_cast<int32_t>(top + fitHeight)};
}

std::vector<ScreenRect> PictureRects(const std::vector<ScreenRect>& monitors, const ScreenRect& window,
                                     uint32_t layout, uint32_t keepAspect, int32_t filmWidth,
                                     int32_t filmHeight) {
    std::vector<ScreenRect> areas;
    if (layout == kLayoutEachScreen) {
        for (const ScreenRect& monitor : monitors) {
            const ScreenRect area = Intersect(monitor, window);
            if (IsEmpty(area) || std::find(areas.begin(), areas.end(), area) != areas.end()) continue;
            areas.push_back(area);
        }
    }
    if (areas.empty()) areas.push_back(window);

    std::vector<ScreenRect> pictures;
    for (const ScreenRect& area : areas) {
        const ScreenRect picture = keepAspect == 1 ? FitProportions(area, filmWidth, filmHeight) : area;
        pictures.push_back(Offset(picture, window.left, window.top));
    }
    return pictures;
}
