// The GDI+ engine against the promises every engine keeps, in both
// foreground colours.
#include "common/EngineContract.h"

#include "engines/gdiplusengine.h"

namespace testing_support {
namespace {

// White foreground: white parts opaque white, black parts clear; black
// foreground the other way round.
COLORREF GdiplusShows(const EngineMode& mode, bool white, COLORREF under) {
    if (mode.param2 == 1) return white ? under : RGB(0, 0, 0);
    return white ? RGB(255, 255, 255) : under;
}

// Grey level 128 is white or black at 128/255 opacity.
COLORREF GdiplusShowsGrey(const EngineMode& mode, COLORREF under) {
    const int top = mode.param2 == 1 ? 0 : 255;
    auto mixed = [&](int shift) { return (top * 128 + static_cast<int>(under >> shift & 0xFF) * 127) / 255; };
    return RGB(mixed(0), mixed(8), mixed(16));
}

EngineCase GdiplusCase() {
    EngineCase gdiplus;
    gdiplus.name = "Gdiplus";
    gdiplus.make = [](HWND window) { return std::unique_ptr<gengine>(new gdiplusengine(window)); };
    gdiplus.modes = {{7, 0}, {5, 1}};  // HQ Bicubic in white, NearestNeighbor in black
    gdiplus.shows = GdiplusShows;
    gdiplus.showsGrey = GdiplusShowsGrey;
    gdiplus.refusesEmptyStream = true;
    gdiplus.textEmPixels = [] { return PointsToPixels(72); };
    return gdiplus;
}

INSTANTIATE_TEST_SUITE_P(Gdiplus, EngineContract, ::testing::Values(GdiplusCase()), EngineCaseName());

}  // namespace
}  // namespace testing_support
