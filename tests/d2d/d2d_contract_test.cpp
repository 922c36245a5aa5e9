// The Direct2D engine against the promises every engine keeps, in its
// three modes.
#include "common/EngineContract.h"

#include "engines/d2dengine.h"

#include <algorithm>

namespace testing_support {
namespace {

COLORREF D2DShows(const EngineMode& mode, bool white, COLORREF under) {
    switch (mode.param1) {
    case kD2DWhiteTop: return white ? RGB(255, 255, 255) : under;
    case kD2DBlackTop: return white ? under : RGB(0, 0, 0);
    default: return white ? RGB(255, 255, 255) : RGB(0, 0, 0);
    }
}

// White Top adds grey levels to the background; Black Top darkens it by
// their opacity.
COLORREF D2DShowsGrey(const EngineMode& mode, COLORREF under) {
    auto scaled = [&](int shift, int add) {
        const int level = static_cast<int>(under >> shift & 0xFF);
        return std::min(255, level * (mode.param1 == kD2DBlackTop ? 128 : 255) / 255 + add);
    };
    switch (mode.param1) {
    case kD2DWhiteTop: return RGB(scaled(0, 128), scaled(8, 128), scaled(16, 128));
    case kD2DBlackTop: return RGB(scaled(0, 0), scaled(8, 0), scaled(16, 0));
    default: return RGB(128, 128, 128);
    }
}

EngineCase D2DCase() {
    EngineCase d2d;
    d2d.name = "Direct2D";
    d2d.make = [](HWND window) { return std::unique_ptr<gengine>(new d2dengine(window)); };
    d2d.modes = {{kD2DNoTranslucent, 0}, {kD2DWhiteTop, 0}, {kD2DBlackTop, 0}};
    d2d.shows = D2DShows;
    d2d.showsGrey = D2DShowsGrey;
    d2d.refusesEmptyStream = true;
    d2d.textEmPixels = [] { return DipsToPixels(48); };
    return d2d;
}

INSTANTIATE_TEST_SUITE_P(Direct2D, EngineContract, ::testing::Values(D2DCase()), EngineCaseName());

}  // namespace
}  // namespace testing_support
