// The GDI engine against the promises every engine keeps, in all sixteen
// white/black modes.
#include "common/EngineContract.h"

#include "engines/gdiengine.h"

namespace testing_support {
namespace {

// What option 0 white, 1 black, 2 unchanged, 3 inverted makes of `under`.
COLORREF GdiShows(const EngineMode& mode, bool white, COLORREF under) {
    switch (white ? mode.param1 : mode.param2) {
    case 0: return RGB(255, 255, 255);
    case 1: return RGB(0, 0, 0);
    case 3: return RGB(255 - GetRValue(under), 255 - GetGValue(under), 255 - GetBValue(under));
    default: return under;
    }
}

// The overlay font is 72 units high, its cell; the em is that less the
// internal leading of whatever face stands in for Meiryo.
double GdiTextEm() {
    HDC screen = GetDC(nullptr);
    HFONT font = CreateFontW(72, 0, 1, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, L"Meiryo");
    HGDIOBJ old = SelectObject(screen, font);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(screen, &metrics);
    SelectObject(screen, old);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return metrics.tmHeight - metrics.tmInternalLeading;
}

EngineCase GdiCase() {
    EngineCase gdi;
    gdi.name = "Gdi";
    gdi.make = [](HWND window) { return std::unique_ptr<gengine>(new gdiengine(window)); };
    for (uint32_t white = 0; white < 4; ++white)
        for (uint32_t black = 0; black < 4; ++black) gdi.modes.push_back({white, black});
    gdi.shows = GdiShows;
    gdi.textEmPixels = GdiTextEm;
    gdi.textCellHeight = 72;
    return gdi;
}

INSTANTIATE_TEST_SUITE_P(Gdi, EngineContract, ::testing::Values(GdiCase()), EngineCaseName());

}  // namespace
}  // namespace testing_support
