// The GDI+ engine when GDI+ cannot give it what it needs: an engine without
// a back buffer is not made (the factory gives GDI instead), and a frame
// GDI+ cannot build draws nothing.
#include "engines/gdiplusengine.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "common/EngineTestKit.h"
#include "common/TestWindow.h"
#include "engines/EngineFactory.h"
#include "engines/gdiengine.h"

using namespace testing_support;

namespace {

// Its back buffer would need more than 2 GiB, which GDI+ refuses.
constexpr int kAbsurdSide = 30000;

TEST(GdiplusFailure, AnEngineWithoutABackBufferIsNotMadeAndTheFactoryGivesGdi) {
    TestWindow window(kAbsurdSide, kAbsurdSide);
    RECT client = {};
    GetClientRect(window.hwnd(), &client);
    ASSERT_EQ(kAbsurdSide, client.right) << "the window system shrank the window";
    EXPECT_THROW(gdiplusengine engine(window.hwnd()), std::runtime_error);

    uint32_t made = 99;
    std::unique_ptr<gengine> engine = CreateEngine(kEngineGdiPlus, window.hwnd(), &made);
    EXPECT_EQ(kEngineGdi, made);
    EXPECT_NE(nullptr, dynamic_cast<gdiengine*>(engine.get()));
}

}  // namespace
