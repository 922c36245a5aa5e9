// The Direct2D engine against the promises every engine keeps, in its
// three modes.
#include "common/EngineContract.h"

#include "engines/d2dengine.h"

namespace testing_support {
namespace {

COLORREF D2DShows(const EngineMode& mode, bool white, COLORREF under) {
    switch (mode.param1) {
    case kD2DWhiteTop: return white ? RGB(255, 255, 255) : under;
    case kD2DBlackTop: return white ? under : RGB(0, 0, 0);
    default: return white ? RGB(255, 255, 255) : RGB(0, 0, 0);
    }
}

EngineCase D2DCase() {
    EngineCase d2d;
    d2d.name = "Direct2D";
    d2d.make = [](HWND window) { return std::unique_ptr<gengine>(new d2dengine(window)); };
    d2d.modes = {{kD2DNoTranslucent, 0}, {kD2DWhiteTop, 0}, {kD2DBlackTop, 0}};
    d2d.shows = D2DShows;
    d2d.textEmPixels = [] { return DipsToPixels(48); };
    return d2d;
}

INSTANTIATE_TEST_SUITE_P(Direct2D, EngineContract, ::testing::Values(D2DCase()), EngineCaseName());

}  // namespace
}  // namespace testing_support
