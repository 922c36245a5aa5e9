// The GDI+ engine when GDI+ cannot give it what it needs: an engine without
// a window to draw on is not made, and the factory gives GDI instead.
#include "engines/gdiplusengine.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "common/TestWindow.h"
#include "engines/EngineFactory.h"
#include "engines/gdiengine.h"

using namespace testing_support;

namespace {

TEST(GdiplusFailure, AnEngineGdiplusCannotServeIsNotMadeAndTheFactoryGivesGdi) {
    HWND gone = TestWindow(64, 48).hwnd();  // GDI+ draws on no window that is gone
    EXPECT_THROW(gdiplusengine engine(gone), std::runtime_error);

    uint32_t made = 99;
    std::unique_ptr<gengine> engine;
    EXPECT_NO_THROW(engine = CreateEngine(kEngineGdiPlus, gone, &made));
    EXPECT_EQ(kEngineGdi, made);
    EXPECT_NE(nullptr, dynamic_cast<gdiengine*>(engine.get()));
}

}  // namespace
