// Promises every engine keeps, tested the same way for each: pictures come
// out upright and unmirrored in every mode, a screen capture is the
// background until an image is loaded, frames of other depths are refused
// unread, the frame-rate text is red, of the engine's designed size, at the
// top left, and a long run gives back every GDI object, handle and byte it
// takes. Each engine's test program lists its
// engine with INSTANTIATE_TEST_SUITE_P(..., EngineContract, ...).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "engines/gengine.h"

namespace testing_support {

struct EngineMode {
    uint32_t param1;
    uint32_t param2;
};

struct EngineCase {
    std::string name;
    std::function<std::unique_ptr<gengine>(HWND)> make;
    // The parameter pairs the engine is tested in.
    std::vector<EngineMode> modes;
    // What a frame pixel of grey level 255 (white) or 0 makes of the
    // background colour `under` in mode `mode`.
    std::function<COLORREF(const EngineMode& mode, bool white, COLORREF under)> shows;
    // What grey level 128 makes of `under`; empty for an engine of white and
    // black only.
    std::function<COLORREF(const EngineMode& mode, COLORREF under)> showsGrey;
    // An empty stream makes no frame.
    bool refusesEmptyStream = false;
    // The designed em height of the frame-rate text in pixels on this display.
    std::function<double()> textEmPixels;
    // The text is drawn on opaque white cells of this height (GDI); 0: no cells.
    int textCellHeight = 0;
};

inline void PrintTo(const EngineCase& engineCase, std::ostream* out) { *out << engineCase.name; }

class EngineContract : public ::testing::TestWithParam<EngineCase> {
protected:
    static void SetUpTestSuite();
};

// For INSTANTIATE_TEST_SUITE_P: the case's own name.
struct EngineCaseName {
    std::string operator()(const ::testing::TestParamInfo<EngineCase>& info) const { return info.param.name; }
};

// The pixel size of `points` on the screen, and of `dips` (1/96 inch).
double PointsToPixels(double points);
double DipsToPixels(double dips);

}  // namespace testing_support
