#include "common/EngineContract.h"

#include <algorithm>
#include <cstdio>

#include "common/ChildProcess.h"
#include "common/EngineTestKit.h"
#include "common/FilmBuilder.h"
#include "common/ProcessResources.h"
#include "common/TestImages.h"
#include "common/TestSupport.h"
#include "common/TestWindow.h"

namespace testing_support {

namespace {

constexpr int kWidth = 96, kHeight = 72;
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kTextBackground = RGB(40, 120, 200);
// Top left, top right, bottom left, bottom right: no two alike, none black
// or white, and the capture's unlike the image's.
const COLORREF kImageQuadrants[4] = {RGB(200, 60, 40), RGB(40, 160, 60), RGB(60, 80, 200), RGB(200, 180, 40)};
const COLORREF kScreenQuadrants[4] = {RGB(130, 40, 170), RGB(40, 170, 170), RGB(170, 120, 90), RGB(90, 100, 30)};
// Private bytes move by heap growth and trimming of their own (up to about
// 200 KiB seen); a frame left behind per tick (over 1 MiB in 300 ticks) or a
// screen capture (8 MiB on a full-HD display) is far more.
constexpr int64_t kPrivateSlackBytes = 512 * 1024;

// A film frame white in its top-left quarter, black in the two beside it
// and `bottomRight` in the last, so that a picture drawn upside down,
// mirrored or turned round shows white in another quarter.
GreyPicture TopLeftWhite(uint8_t bottomRight) {
    GreyPicture picture(16, 12, 0);
    picture.Fill(0, 0, 8, 6, 255);
    picture.Fill(8, 6, 16, 12, bottomRight);
    return picture;
}

POINT QuadrantCentre(int quadrant, int width, int height) {
    return POINT{(quadrant % 2 ? 3 : 1) * width / 4, (quadrant / 2 ? 3 : 1) * height / 4};
}

void ExpectQuadrants(const TestWindow& window, const std::function<COLORREF(int quadrant)>& expected) {
    const char* names[] = {"top left", "top right", "bottom left", "bottom right"};
    for (int quadrant = 0; quadrant < 4; ++quadrant) {
        const POINT p = QuadrantCentre(quadrant, kWidth, kHeight);
        const COLORREF got = window.Pixel(p.x, p.y);
        EXPECT_TRUE(Near(expected(quadrant), got, 12))
            << names[quadrant] << " is " << std::hex << got << ", expected " << expected(quadrant) << std::dec;
    }
}

// The display's scale (LogPixels) pinned in one of the keys Wine reads it
// from, for the processes started meanwhile; put back (or deleted) after.
class ScopedLogPixels {
public:
    ScopedLogPixels(HKEY root, const wchar_t* key, DWORD dpi) {
        if (RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr))
            key_ = nullptr;
        DWORD size = sizeof old_;
        had_ = key_ && !RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&old_), &size);
        if (key_) RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    }
    ~ScopedLogPixels() {
        if (!key_) return;
        if (had_) RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_), sizeof old_);
        else RegDeleteValueW(key_, L"LogPixels");
        RegCloseKey(key_);
    }
    ScopedLogPixels(const ScopedLogPixels&) = delete;
    ScopedLogPixels& operator=(const ScopedLogPixels&) = delete;

private:
    HKEY key_ = nullptr;
    DWORD old_ = 0;
    bool had_ = false;
};

int Width(const RECT& r) { return r.right > r.left ? r.right - r.left : 0; }
int Height(const RECT& r) { return r.bottom > r.top ? r.bottom - r.top : 0; }

}  // namespace

double PointsToPixels(double points) {
    HDC screen = GetDC(nullptr);
    const double pixels = points * GetDeviceCaps(screen, LOGPIXELSY) / 72.0;
    ReleaseDC(nullptr, screen);
    return pixels;
}

double DipsToPixels(double dips) { return PointsToPixels(dips * 72.0 / 96.0); }

void EngineContract::SetUpTestSuite() { StartGdiplus(); }

TEST_P(EngineContract, FramesAndBackgroundsAreUprightAndUnmirrored) {
    const EngineCase& engineCase = GetParam();
    ScratchDir dir;
    const std::wstring image = dir.File(L"quadrants.bmp");
    ASSERT_TRUE(WriteQuadrantImage(image, L"image/bmp", 32, 24, kImageQuadrants));
    TestWindow window(kWidth, kHeight, 40, 40);
    {
        std::unique_ptr<gengine> engine = engineCase.make(window.hwnd());
        ASSERT_TRUE(engine);
        ASSERT_TRUE(engine->LoadBackground(image.c_str()));
        PresentSteadily(*engine, window, [&] { DrawPicture(*engine, nullptr); });
        {
            SCOPED_TRACE("loaded background");
            ExpectQuadrants(window, [](int quadrant) { return kImageQuadrants[quadrant]; });
        }
        for (const EngineMode& mode : engineCase.modes) {
            SCOPED_TRACE(::testing::Message() << "frame in mode (" << mode.param1 << ", " << mode.param2 << ")");
            engine->SetParam1(mode.param1);
            engine->SetParam2(mode.param2);
            ScopedFrame frame(*engine, TopLeftWhite(engineCase.showsGrey ? 128 : 0));
            ASSERT_NE(nullptr, frame.get());
            PresentSteadily(*engine, window, [&] { DrawPicture(*engine, frame.get()); });
            ExpectQuadrants(window, [&](int quadrant) {
                if (quadrant == 3 && engineCase.showsGrey) return engineCase.showsGrey(mode, kImageQuadrants[3]);
                return engineCase.shows(mode, quadrant == 0, kImageQuadrants[quadrant]);
            });
        }
    }

    std::unique_ptr<gengine> engine = engineCase.make(window.hwnd());
    ASSERT_TRUE(engine);
    auto showCapture = [&] {
        {
            ScreenCover cover(kScreenQuadrants[0], kScreenQuadrants[1], kScreenQuadrants[2], kScreenQuadrants[3]);
            engine->CaptureBackground();
        }
        window.Pump();
        PresentSteadily(*engine, window, [&] { DrawPicture(*engine, nullptr); });
        ExpectQuadrants(window, [](int quadrant) { return kScreenQuadrants[quadrant]; });
    };
    {
        SCOPED_TRACE("captured background");
        showCapture();
    }
    ASSERT_TRUE(engine->LoadBackground(image.c_str()));
    PresentSteadily(*engine, window, [&] { DrawPicture(*engine, nullptr); });
    {
        SCOPED_TRACE("an image loaded after a capture");
        ExpectQuadrants(window, [](int quadrant) { return kImageQuadrants[quadrant]; });
    }
    // A background that does not load (an empty field, a file not there)
    // leaves no picture behind: the capture the player then takes shows.
    for (const std::wstring& path : {std::wstring(), dir.File(L"missing.bmp")}) {
        SCOPED_TRACE(::testing::Message() << "a capture after loading \"" << path << "\" failed");
        ASSERT_TRUE(engine->LoadBackground(image.c_str()));
        EXPECT_FALSE(engine->LoadBackground(path.c_str()));
        showCapture();
    }
    // No path, a file that is no image and a path too long are refused as well.
    const std::wstring text = dir.File(L"notes.png"), tooLong(MAX_PATH, L'a');
    ASSERT_TRUE(WriteFileBytes(text, {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}));
    for (const wchar_t* path : {static_cast<const wchar_t*>(nullptr), text.c_str(), tooLong.c_str()})
        EXPECT_FALSE(engine->LoadBackground(path)) << path;
}

TEST_P(EngineContract, FramesOfOtherDepthsAreRefusedUnread) {
    TestWindow window(32, 24, 40, 40);
    std::unique_ptr<gengine> engine = GetParam().make(window.hwnd());
    ASSERT_TRUE(engine);
    NoAccessPage page;
    for (uint32_t bitCount : {1u, 4u, 16u, 24u, 32u})
        EXPECT_EQ(nullptr, engine->CreateFrame(page.data(), page.size(), 48, 36, bitCount)) << bitCount;
    if (GetParam().refusesEmptyStream) {
        EXPECT_EQ(nullptr, engine->CreateFrame(nullptr, 0, 48, 36, 8));
    }
}

TEST_P(EngineContract, OverlayTextIsRedOfTheDesignedSizeAtTheTopLeft) {
    const EngineCase& engineCase = GetParam();
    ScratchDir dir;
    const std::wstring image = dir.File(L"plain.bmp");
    ASSERT_TRUE(WriteTwoColourImage(image, L"image/bmp", 8, 8, kTextBackground, kTextBackground));
    TestWindow window(480, 180, 40, 40);
    std::unique_ptr<gengine> engine = engineCase.make(window.hwnd());
    ASSERT_TRUE(engine);
    ASSERT_TRUE(engine->LoadBackground(image.c_str()));
    auto show = [&](uint32_t length) {
        return PresentSteadily(*engine, window, [&] { DrawPicture(*engine, nullptr, L"88888", length); });
    };
    EXPECT_EQ(0, Width(show(0).BoundsOf(kRed, 40))) << "an empty text draws nothing";
    const Pixels one = show(1);
    const Pixels five = show(5);
    SaveShot(five, L"overlay-" + std::wstring(engineCase.name.begin(), engineCase.name.end()));

    const double em = engineCase.textEmPixels();
    const RECT first = one.BoundsOf(kRed, 40), all = five.BoundsOf(kRed, 40);
    std::printf("%s: em %.1f px, red '8' %dx%d at (%ld, %ld), \"88888\" %dx%d\n", engineCase.name.c_str(), em,
                Width(first), Height(first), first.left, first.top, Width(all), Height(all));
    // The digit 8 stands about 0.7 em tall in every common face; the band
    // leaves room for the face Wine puts in place of Meiryo, not for
    // another size.
    EXPECT_GE(Height(all), 0.62 * em);
    EXPECT_LE(Height(all), 0.84 * em);
    EXPECT_LT(all.left, 0.4 * em);
    EXPECT_LT(all.top, 0.6 * em);
    // Only the first `length` characters: one digit, then five side by side.
    EXPECT_GT(Width(first), 0.2 * em);
    EXPECT_LT(Width(first), 0.8 * em);
    EXPECT_GT(Width(all), 3 * Width(first));

    const RECT cells = five.BoundsOf(kWhite, 8);
    if (engineCase.textCellHeight > 0) {
        // Opaque white cells behind the text, from the corner, one line high.
        EXPECT_EQ(0, cells.left);
        EXPECT_EQ(0, cells.top);
        EXPECT_NEAR(engineCase.textCellHeight, Height(cells), 1);
        EXPECT_GE(cells.right, all.right);
        EXPECT_TRUE(Near(kTextBackground, five.At(cells.right + 8, 10)));
        EXPECT_TRUE(Near(kTextBackground, five.At(10, cells.bottom + 8)));
    } else {
        EXPECT_EQ(0, Width(cells)) << "the text has no background box";
    }
}

// The pictures and the text keep their places and sizes on a display scaled
// to 150 %: this program runs those cases again, for this engine, with the
// scale pinned (Wine takes it at a process's start).
TEST_P(EngineContract, PicturesAndTextHoldOnADisplayScaledTo150Percent) {
    if (Env("NOXEL_CONTRACT_SCALED") == "1") {
        EXPECT_DOUBLE_EQ(144.0, PointsToPixels(72)) << "the scale reached this run";
        return;
    }
    ScopedLogPixels user(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 144);
    ScopedLogPixels machine(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts",
                            144);
    const std::wstring name(GetParam().name.begin(), GetParam().name.end());
    std::wstring filter = L"--gtest_filter=";
    for (const wchar_t* test : {L"FramesAndBackgroundsAreUprightAndUnmirrored",
                                L"OverlayTextIsRedOfTheDesignedSizeAtTheTopLeft",
                                L"PicturesAndTextHoldOnADisplayScaledTo150Percent"}) {
        filter += std::wstring(L"*/EngineContract.") + test + L"/" + name + L":";
    }
    SetEnvironmentVariableW(L"NOXEL_CONTRACT_SCALED", L"1");
    const DWORD code = RunSelf(filter, 120000);
    SetEnvironmentVariableW(L"NOXEL_CONTRACT_SCALED", nullptr);
    EXPECT_EQ(0u, code) << "the cases at 144 DPI failed: see the run's output above";
}

// Direct2D under Wine frees a deleted engine's textures on a thread of its
// own, a moment after the engine is gone: the sample is taken once the
// counts have stopped falling.
ResourceSample SettledResources() {
    ResourceSample last = SampleResources();
    int still = 0;
    WaitUntil([&] {
        const ResourceSample now = SampleResources();
        const bool fell = now.gdiObjects < last.gdiObjects || now.handles < last.handles ||
                          now.privateBytes + kPrivateSlackBytes / 8 < last.privateBytes;
        still = fell ? 0 : still + 1;
        last = now;
        return still >= 5;
    }, 5000);
    return last;
}

TEST_P(EngineContract, LongRunsGiveBackEveryObjectHandleAndByte) {
    const EngineCase& engineCase = GetParam();
    ScratchDir dir;
    const std::wstring image = dir.File(L"quadrants.bmp");
    ASSERT_TRUE(WriteQuadrantImage(image, L"image/bmp", 32, 24, kImageQuadrants));
    TestWindow window(64, 48, 40, 40);
    // Frames of the window's size: a frame left behind each tick is plain to see.
    GreyPicture pictures[2] = {Silhouette(64, 48, 3), Silhouette(64, 48, 4)};
    const wchar_t kLine[] = L"fps=30 (1/2)";
    // The most any one mode grew while the engine ran in it, from its 50th
    // tick (one-time objects of the mode made by then) to its last.
    ResourceSample growth;
    // One engine as the player uses it: a capture, then an image, and
    // `ticks` ticks in every mode.
    auto play = [&](int ticks, bool measure) {
        std::unique_ptr<gengine> engine = engineCase.make(window.hwnd());
        ASSERT_TRUE(engine);
        engine->CaptureBackground();
        ASSERT_TRUE(engine->LoadBackground(image.c_str()));
        for (const EngineMode& mode : engineCase.modes) {
            engine->SetParam1(mode.param1);
            engine->SetParam2(mode.param2);
            ResourceSample settled;
            for (int tick = 1; tick <= ticks; ++tick) {
                ScopedFrame frame(*engine, pictures[tick % 2]);
                DrawPicture(*engine, frame.get(), kLine, static_cast<uint32_t>(wcslen(kLine)));
                if (tick % 25 == 0) window.Pump();
                if (measure && tick == 50) settled = SampleResources();
            }
            if (!measure) continue;
            const ResourceSample now = SampleResources();
            growth.gdiObjects = std::max(growth.gdiObjects, now.gdiObjects - settled.gdiObjects);
            growth.handles = std::max(growth.handles, now.handles - settled.handles);
            growth.privateBytes = std::max(growth.privateBytes, now.privateBytes - settled.privateBytes);
        }
    };
    // Engines first fill the one-time caches of GDI+, Direct2D and the
    // fonts, and the heaps grow to hold a screen capture: the C runtime
    // under Wine serves the first ones from fresh pages and keeps the pages
    // of a later one when it is freed. Warm-up engines run until one of them
    // leaves the process no larger (a leak would never settle: at most six).
    for (int warmUp = 0; warmUp < 6; ++warmUp) {
        const ResourceSample start = SampleResources();
        play(5, false);
        if (warmUp >= 1 && SampleResources().privateBytes <= start.privateBytes + kPrivateSlackBytes) break;
    }
    const ResourceSample before = SettledResources();
    play(300, true);
    WaitUntil([&] {
        const ResourceSample now = SampleResources();
        return now.gdiObjects <= before.gdiObjects && now.handles <= before.handles;
    }, 10000);
    const ResourceSample after = SettledResources();
    std::printf("%s: GDI objects %ld -> %ld, handles %ld -> %ld, private KiB %lld -> %lld; "
                "most grown in one mode: %ld GDI objects, %ld handles, %lld KiB\n",
                engineCase.name.c_str(), before.gdiObjects, after.gdiObjects, before.handles, after.handles,
                static_cast<long long>(before.privateBytes / 1024), static_cast<long long>(after.privateBytes / 1024),
                growth.gdiObjects, growth.handles, static_cast<long long>(growth.privateBytes / 1024));

    // Per tick: nothing grows while the engine runs.
    EXPECT_LE(growth.gdiObjects, 0);
    EXPECT_LE(growth.handles, 0);
    EXPECT_LE(growth.privateBytes, kPrivateSlackBytes);
    // Per engine: its deletion gives everything back.
    EXPECT_LE(after.gdiObjects, before.gdiObjects);
    EXPECT_LE(after.handles, before.handles);
    if (after.privateBytes <= before.privateBytes + kPrivateSlackBytes) return;
    // Direct2D under Wine keeps a screen capture's worth of memory after some
    // of its engines, in steps that need not come at every engine; only its
    // per-tick memory is judged.
    if (engineCase.name == "Direct2D") return;
    // After other tests in the same process the heap may still take fresh
    // pages for one more screen capture. Memory an engine keeps grows the
    // process at every engine; the heap's high-water mark does not: two more
    // engines must leave it no larger.
    play(5, false);
    const int64_t second = SettledResources().privateBytes;
    play(5, false);
    const int64_t third = SettledResources().privateBytes;
    std::printf("%s: private KiB after two more engines %lld, %lld\n", engineCase.name.c_str(),
                static_cast<long long>(second / 1024), static_cast<long long>(third / 1024));
    EXPECT_LE(third, second + kPrivateSlackBytes) << "each engine keeps memory after its deletion";
}

// Pictures for people to look at, made by scripts/docs-shots.sh: a walking
// figure over a gradient in each mode.
TEST_P(EngineContract, DISABLED_ScreenshotsInEveryMode) {
    const EngineCase& engineCase = GetParam();
    if (Env("NOXEL_SCREENSHOTS").empty()) GTEST_SKIP() << "no screenshot folder";
    ScratchDir dir;
    const std::wstring gradient = dir.File(L"gradient.bmp");
    ASSERT_TRUE(WriteGradientImage(gradient, 160, 120));
    TestWindow window(400, 240, 40, 40);
    std::unique_ptr<gengine> engine = engineCase.make(window.hwnd());
    ASSERT_TRUE(engine && engine->LoadBackground(gradient.c_str()));
    for (const EngineMode& mode : engineCase.modes) {
        engine->SetParam1(mode.param1);
        engine->SetParam2(mode.param2);
        ScopedFrame frame(*engine, Silhouette(80, 60, 3));
        const Pixels shown = PresentSteadily(*engine, window, [&] { DrawPicture(*engine, frame.get()); });
        const std::wstring name(engineCase.name.begin(), engineCase.name.end());
        EXPECT_TRUE(SaveShot(shown, name + L"-" + std::to_wstring(mode.param1) + L"-" + std::to_wstring(mode.param2)));
    }
}

}  // namespace testing_support
