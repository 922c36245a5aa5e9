// The pictures on the screen-saver window, drawn by the real engines: kept at
// the film's proportions with black beside them, stretched by default, and
// the whole film on each monitor of a set handed to the player.
#include <gtest/gtest.h>

#include <cwchar>

#include "common/FilmBuilder.h"
#include "common/GraphicsEnvironment.h"
#include "common/TestImages.h"
#include "common/TestSupport.h"
#include "common/TestWindow.h"
#include "engines/EngineFactory.h"
#include "player/player.h"
#include "saver/SaverHarness.h"

namespace {

const COLORREF kOrange = RGB(230, 120, 30), kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255);
std::vector<ScreenRect> g_monitors;
std::vector<ScreenRect> TestMonitors() { return g_monitors; }
DWORD g_now = 10000;
DWORD WINAPI TestClock() { return g_now; }

struct Point {
    int x, y;
    COLORREF expected;
};

// In a 240 x 100 window with two monitors, its halves, a 4:3 film whose left
// half is white and right half black (showing the orange background).
TEST(PictureLayout, KeptProportionsAndEachMonitor) {
    testing_support::ScratchDir dir;
    saver_tests::SettingsScope settings;
    const std::wstring film = dir.File(L"halves.nxl"), background = dir.File(L"orange.bmp");
    testing_support::GreyPicture frame(40, 30);
    frame.Fill(0, 0, 20, 30, 255);
    ASSERT_TRUE(testing_support::FilmBuilder(40, 30).Add(frame).Add(frame).Write(film));
    ASSERT_TRUE(testing_support::WriteTwoColourImage(background, L"image/bmp", 64, 64, kOrange, kOrange));
    const struct {
        uint32_t layout, keepAspect;
        std::vector<Point> points;
    } rows[] = {
        // Kept: 133 x 100 from x = 53, its white half up to 120.
        {0, 1, {{20, 50, kBlack}, {60, 50, kWhite}, {175, 50, kOrange}, {220, 50, kBlack}}},
        // Stretched, as before: the film's halves meet in the middle.
        {0, 0, {{20, 50, kWhite}, {110, 50, kWhite}, {130, 50, kOrange}, {220, 50, kOrange}}},
        {1, 0, {{20, 50, kWhite}, {100, 50, kOrange}, {140, 50, kWhite}, {220, 50, kOrange}}},
        // Kept in each half: 120 x 90, five rows of black above and below.
        {1, 1, {{60, 2, kBlack}, {30, 50, kWhite}, {90, 50, kOrange}, {180, 97, kBlack}}},
    };
    for (const auto& row : rows) {
        for (uint32_t engine : {kEngineGdi, kEngineGdiPlus, kEngineDirect2D}) {
            // Wine's Direct2D shows nothing drawn on a child window (its GL
            // there needs XComposite, and with that a draw hung): only the
            // picture that is the window itself is checked with it.
            const bool children = row.layout == 1 || row.keepAspect == 1;
            if (engine == kEngineDirect2D && (children || !testing_support::GraphicsEnvironment::Direct2DReady()))
                continue;
            SCOPED_TRACE(testing::Message() << "engine " << engine << " layout " << row.layout << " keep "
                                            << row.keepAspect);
            testing_support::TestWindow window(240, 100);  // a new window for each run, as for each saver
            RECT r = {};
            GetWindowRect(window.hwnd(), &r);
            g_monitors = {{r.left, r.top, r.left + 120, r.bottom}, {r.left + 120, r.top, r.right, r.bottom}};
            player p(&TestClock, &TestMonitors);
            wcscpy(p.Settings().NoxelFilePath, film.c_str());
            wcscpy(p.Settings().BackGroundImageFilePath, background.c_str());
            p.Settings().BGM = 0;
            p.Settings().Engine = engine;
            p.Settings().Param1 = engine == kEngineDirect2D ? 1 : 0;  // White Top; white stays white
            p.Settings().Layout = row.layout;
            p.Settings().KeepAspect = row.keepAspect;
            p.Start(window.hwnd());
            window.Pump();  // the pictures' windows are shown before the first tick
            for (const Point& at : row.points) {
                COLORREF shown = CLR_INVALID;
                // Drawn whole at every poll: Wine may lose a new window's first Direct2D frame.
                EXPECT_TRUE(testing_support::WaitUntil([&] {
                    for (const Picture& picture : p.Pictures()) picture.engine->InvalidatePicture();
                    g_now += 40;
                    p.Tick(window.hwnd());
                    window.Pump();
                    shown = window.ScreenPixel(at.x, at.y);
                    return testing_support::Near(shown, at.expected, 24);
                }, 3000)) << "(" << at.x << ", " << at.y << ") shows " << std::hex << shown;
            }
            p.Stop(window.hwnd());
            MSG msg;
            while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
            }
        }
    }
}

}  // namespace
