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

// Which engine this is, told by its type; 99 for none.
uint32_t KindOf(const gengine* engine) {
    if (dynamic_cast<const gdiplusengine*>(engine)) return kEngineGdiPlus;
    if (dynamic_cast<const d2dengine*>(engine)) return kEngineDirect2D;
    return dynamic_cast<const gdiengine*>(engine) ? kEngineGdi : 99;
}

TEST(EngineFactory, EachSettingGivesItsEngineAndOthersGdi) {
    TestWindow window(64, 48);
    const struct {
        uint32_t setting, engine;
    } rows[] = {{kEngineGdi, kEngineGdi}, {kEngineGdiPlus, kEngineGdiPlus}, {kEngineDirect2D, kEngineDirect2D},
                {3, kEngineGdi}, {7, kEngineGdi}, {0xFFFFFFFFu, kEngineGdi}};
    for (const auto& row : rows) {
        if (row.engine == kEngineDirect2D && !testing_support::GraphicsEnvironment::Direct2DReady()) continue;
        uint32_t made = 99;
        const auto engine = CreateEngine(row.setting, window.hwnd(), &made);
        EXPECT_EQ(row.engine, made) << row.setting;
        EXPECT_EQ(row.engine, KindOf(engine.get())) << row.setting;
    }
    EXPECT_NE(nullptr, CreateEngine(5, window.hwnd(), nullptr)) << "the index is optional";
}

TEST(EngineFactory, ADirect2DEngineThatCannotBeBuiltGivesGdi) {
    HWND gone = TestWindow(64, 48).hwnd();  // a render target needs a live window
    uint32_t made = 99;
    std::unique_ptr<gengine> engine;
    EXPECT_NO_THROW(engine = CreateEngine(kEngineDirect2D, gone, &made));
    EXPECT_EQ(kEngineGdi, made);
    EXPECT_EQ(kEngineGdi, KindOf(engine.get()));
}

}  // namespace
