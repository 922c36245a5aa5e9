// The engine factory: each Engine value gives its engine, and a value
// outside the list or a Direct2D engine that cannot be built gives the GDI
// engine instead of no engine at all.
#include <gtest/gtest.h>

#include "common/GraphicsEnvironment.h"
#include "common/TestWindow.h"
#include "engines/EngineFactory.h"
#include "engines/d2dengine.h"
#include "engines/gdiengine.h"
#include "engines/gdiplusengine.h"

namespace {

using testing_support::TestWindow;

const auto* const g_graphics = ::testing::AddGlobalTestEnvironment(new testing_support::GraphicsEnvironment);

TEST(EngineFactory, EachSettingGivesItsEngine) {
    TestWindow window(64, 48);
    uint32_t made = 99;
    auto engine = CreateEngine(kEngineGdi, window.hwnd(), &made);
    EXPECT_EQ(kEngineGdi, made);
    EXPECT_NE(nullptr, dynamic_cast<gdiengine*>(engine.get()));
    engine = CreateEngine(kEngineGdiPlus, window.hwnd(), &made);
    EXPECT_EQ(kEngineGdiPlus, made);
    EXPECT_NE(nullptr, dynamic_cast<gdiplusengine*>(engine.get()));
    if (!testing_support::GraphicsEnvironment::Direct2DReady()) GTEST_SKIP() << "no Direct2D here";
    engine = CreateEngine(kEngineDirect2D, window.hwnd(), &made);
    EXPECT_EQ(kEngineDirect2D, made);
    EXPECT_NE(nullptr, dynamic_cast<d2dengine*>(engine.get()));
}

TEST(EngineFactory, ASettingOutsideTheListGivesGdi) {
    TestWindow window(64, 48);
    for (uint32_t setting : {3u, 7u, 0xFFFFFFFFu}) {
        uint32_t made = 99;
        auto engine = CreateEngine(setting, window.hwnd(), &made);
        EXPECT_EQ(kEngineGdi, made) << setting;
        EXPECT_NE(nullptr, dynamic_cast<gdiengine*>(engine.get())) << setting;
    }
    EXPECT_NE(nullptr, CreateEngine(5, window.hwnd(), nullptr)) << "the index is optional";
}

TEST(EngineFactory, ADirect2DEngineThatCannotBeBuiltGivesGdi) {
    HWND gone = TestWindow(64, 48).hwnd();  // a render target needs a live window
    uint32_t made = 99;
    std::unique_ptr<gengine> engine;
    EXPECT_NO_THROW(engine = CreateEngine(kEngineDirect2D, gone, &made));
    EXPECT_EQ(kEngineGdi, made);
    EXPECT_NE(nullptr, dynamic_cast<gdiengine*>(engine.get()));
}

}  // namespace
