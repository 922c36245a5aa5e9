// Tests of the GDI engine that read real pixels back from a window: the
// sixteen white/black modes over a coloured background, background images
// and screen captures, the overlay text, the back buffer, and its labels.
#include "engines/gdiengine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/FilmBuilder.h"
#include "common/TestImages.h"
#include "common/TestSupport.h"
#include "common/TestWindow.h"

using namespace testing_support;

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);
// Neither black nor white, and far from its own inverse.
const COLORREF kBackground = RGB(40, 120, 200);
const COLORREF kOtherBackground = RGB(230, 180, 20);

COLORREF Inverse(COLORREF c) { return RGB(255 - GetRValue(c), 255 - GetGValue(c), 255 - GetBValue(c)); }

// What option 0 white, 1 black, 2 unchanged, 3 inverted makes of `under`.
COLORREF Promised(uint32_t option, COLORREF under) {
    const COLORREF results[] = {kWhite, kBlack, under, Inverse(under)};
    return results[option];
}

::testing::AssertionResult Shows(const TestWindow& window, int x, int y, COLORREF expected, int tolerance = 8) {
    COLORREF got = window.Pixel(x, y);
    if (Near(got, expected, tolerance)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex << got
                                         << ", expected " << expected;
}

void FillWindow(HWND window, COLORREF colour) {
    HDC dc = GetDC(window);
    RECT all;
    GetClientRect(window, &all);
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    ReleaseDC(window, dc);
}

// One playback tick: background, frame, optional text, shown at once.
void Tick(gdiengine& engine, EngineFrame* frame, const wchar_t* text = nullptr) {
    engine.BeginDraw();
    engine.DrawBackground();
    engine.DrawFrame(frame);
    if (text) engine.DrawOverlayText(text, static_cast<uint32_t>(wcslen(text)));
    engine.EndDraw();
}

class GdiEngine : public ::testing::Test {
protected:
    static constexpr int kWidth = 160, kHeight = 120;

    // One window for the whole suite: under Wine on a bare X server every
    // window costs a second or two to take down.
    static void SetUpTestSuite() {
        StartGdiplus();
        window_ = new TestWindow(kWidth, kHeight);
    }
    static void TearDownTestSuite() {
        delete window_;
        window_ = nullptr;
    }

    // Loads a plain kBackground picture as the background.
    void LoadPlainBackground(gdiengine& engine) {
        std::wstring path = dir_.File(L"plain.bmp");
        ASSERT_TRUE(WriteTwoColourImage(path, L"image/bmp", 8, 8, kBackground, kBackground));
        ASSERT_TRUE(engine.LoadBackground(path.c_str()));
    }

    static TestWindow* window_;
    ScratchDir dir_;
};

TestWindow* GdiEngine::window_ = nullptr;

// 32 x 24: the left half white, the right half black, as the film's encoder
// would store it; on the 160 x 120 window white covers x < 80.
GreyPicture HalfWhite() {
    GreyPicture picture(32, 24, kFilmBlack);
    picture.Fill(0, 0, 16, 24, kFilmWhite);
    return picture;
}

}  // namespace

TEST_F(GdiEngine, EveryModeDoesWhatItsWhiteAndBlackOptionsPromise) {
    gdiengine engine(window_->hwnd());
    LoadPlainBackground(engine);
    std::vector<uint8_t> stream = EncodeWholeRows(HalfWhite());
    EngineFrame* frame = engine.CreateFrame(stream.data(), static_cast<uint32_t>(stream.size()), 32, 24, 8);
    ASSERT_NE(nullptr, frame);
    for (uint32_t white = 0; white < 4; ++white) {
        for (uint32_t black = 0; black < 4; ++black) {
            SCOPED_TRACE(::testing::Message() << "mode (" << white << ", " << black << ")");
            engine.SetParam1(white);
            engine.SetParam2(black);
            Tick(engine, frame);
            EXPECT_TRUE(Shows(*window_, 40, 60, Promised(white, kBackground)));
            EXPECT_TRUE(Shows(*window_, 120, 60, Promised(black, kBackground)));
        }
    }
    engine.DeleteFrame(frame);
}

TEST_F(GdiEngine, DrawsOnlyTheBackgroundForUnlistedModesAndRecovers) {
    gdiengine engine(window_->hwnd());
    LoadPlainBackground(engine);
    std::vector<uint8_t> stream = EncodeWholeRows(HalfWhite());
    EngineFrame* frame = engine.CreateFrame(stream.data(), static_cast<uint32_t>(stream.size()), 32, 24, 8);
    Tick(engine, frame);  // before any parameter is set
    EXPECT_TRUE(Shows(*window_, 40, 60, kBackground));
    engine.SetParam2(1);
    for (uint32_t value : {4u, 0xFFFFFFFFu}) {
        engine.SetParam1(value);
        EXPECT_EQ(0u, engine.DrawMode().rasterOperation);
        Tick(engine, frame);
        EXPECT_TRUE(Shows(*window_, 40, 60, kBackground)) << value;
    }
    engine.SetParam1(0);
    Tick(engine, frame);
    EXPECT_TRUE(Shows(*window_, 40, 60, kWhite));
    EXPECT_TRUE(Shows(*window_, 120, 60, kBlack));
    Tick(engine, nullptr);
    EXPECT_TRUE(Shows(*window_, 40, 60, kBackground));
    engine.DeleteFrame(frame);
}

TEST_F(GdiEngine, StretchesAFilmFrameOverTheWholeScreenRightWayUp) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    TestWindow screen(screenWidth, screenHeight);
    gdiengine engine(screen.hwnd());
    GreyPicture picture(480, 360, kFilmBlack);
    picture.Fill(0, 0, 480, 1, kFilmWhite);      // top row
    picture.Fill(479, 0, 480, 360, kFilmWhite);  // right column
    std::vector<uint8_t> stream = EncodeWholeRows(picture);
    EngineFrame* frame = engine.CreateFrame(stream.data(), static_cast<uint32_t>(stream.size()), 480, 360, 8);
    engine.SetParam1(0);
    engine.SetParam2(1);
    Tick(engine, frame);
    EXPECT_TRUE(Shows(screen, screenWidth / 2, 0, kWhite));
    EXPECT_TRUE(Shows(screen, screenWidth - 1, screenHeight / 2, kWhite));
    EXPECT_TRUE(Shows(screen, screenWidth / 2, screenHeight / 2, kBlack));
    EXPECT_TRUE(Shows(screen, screenWidth / 2, screenHeight - 1, kBlack));
    engine.DeleteFrame(frame);
}

TEST_F(GdiEngine, RefusesFramesThatAreNotEightBitsDeep) {
    gdiengine engine(window_->hwnd());
    for (uint32_t bitCount : {1u, 4u, 16u, 24u, 32u}) {
        EXPECT_EQ(nullptr, engine.CreateFrame(nullptr, 100, 32, 24, bitCount)) << bitCount;
    }
}

TEST_F(GdiEngine, LoadsBackgroundImagesOfEveryCommonFormat) {
    gdiengine engine(window_->hwnd());
    const struct { const wchar_t* name; const wchar_t* mime; int tolerance; } kFormats[] = {
        {L"bg.bmp", L"image/bmp", 8}, {L"bg.png", L"image/png", 8},
        {L"bg.jpg", L"image/jpeg", 24}};
    for (const auto& format : kFormats) {
        SCOPED_TRACE(::testing::Message() << "file " << format.name);
        std::wstring path = dir_.File(format.name);
        ASSERT_TRUE(WriteTwoColourImage(path, format.mime, 40, 30, kBackground, kOtherBackground));
        ASSERT_TRUE(engine.LoadBackground(path.c_str()));
        Tick(engine, nullptr);
        EXPECT_TRUE(Shows(*window_, 20, 60, kBackground, format.tolerance));
        EXPECT_TRUE(Shows(*window_, 140, 60, kOtherBackground, format.tolerance));
    }
}

TEST_F(GdiEngine, AFailedLoadReportsFalseAndLeavesNoImage) {
    gdiengine engine(window_->hwnd());
    LoadPlainBackground(engine);
    std::wstring text = dir_.File(L"notes.png");
    ASSERT_TRUE(WriteFileBytes(text, {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}));
    for (const std::wstring& path : {std::wstring(), text, dir_.File(L"missing.png")}) {
        EXPECT_FALSE(engine.LoadBackground(path.c_str()));
        FillWindow(window_->hwnd(), kOtherBackground);
        engine.DrawBackground();
        EXPECT_TRUE(Shows(*window_, 80, 60, kOtherBackground));
    }
}

TEST_F(GdiEngine, CapturesWhatTheScreenShowedAsTheBackground) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    TestWindow screen(screenWidth, screenHeight);
    gdiengine engine(screen.hwnd());
    HDC dc = GetDC(screen.hwnd());
    HBRUSH left = CreateSolidBrush(kBackground), right = CreateSolidBrush(kOtherBackground);
    RECT leftHalf = {0, 0, screenWidth / 2, screenHeight}, rightHalf = {screenWidth / 2, 0, screenWidth, screenHeight};
    FillRect(dc, &leftHalf, left);
    FillRect(dc, &rightHalf, right);
    DeleteObject(left);
    DeleteObject(right);
    ReleaseDC(screen.hwnd(), dc);
    // Wine hands a window's pixels to the display a little later: wait
    // until the screen itself shows both halves.
    HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    for (int i = 0; i < 100 && !(Near(GetPixel(display, screenWidth / 4, 9), kBackground) &&
                                 Near(GetPixel(display, screenWidth * 3 / 4, 9), kOtherBackground));
         ++i) {
        screen.Pump();
        Sleep(20);
    }
    DeleteDC(display);

    engine.CaptureBackground();
    FillWindow(screen.hwnd(), kBlack);
    Tick(engine, nullptr);
    EXPECT_TRUE(Shows(screen, screenWidth / 4, screenHeight / 2, kBackground));
    EXPECT_TRUE(Shows(screen, screenWidth * 3 / 4, screenHeight / 2, kOtherBackground));
}

TEST_F(GdiEngine, ComposesInTheBackBufferAndShowsItOnlyAtEndDraw) {
    gdiengine engine(window_->hwnd());
    LoadPlainBackground(engine);
    FillWindow(window_->hwnd(), kOtherBackground);
    engine.BeginDraw();
    engine.DrawBackground();
    EXPECT_TRUE(Shows(*window_, 80, 60, kOtherBackground)) << "drawn before EndDraw";
    engine.EndDraw();
    EXPECT_TRUE(Shows(*window_, 80, 60, kBackground));
    FillWindow(window_->hwnd(), kOtherBackground);
    engine.EndDraw();
    EXPECT_TRUE(Shows(*window_, 80, 60, kOtherBackground)) << "EndDraw without BeginDraw copied";
    engine.DrawBackground();
    EXPECT_TRUE(Shows(*window_, 80, 60, kBackground)) << "outside BeginDraw the window is the target";
}

TEST_F(GdiEngine, ResizeFollowsTheWindowsNewSize) {
    gdiengine engine(window_->hwnd());
    LoadPlainBackground(engine);
    SetWindowPos(window_->hwnd(), nullptr, 0, 0, 2 * kWidth, 2 * kHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    FillWindow(window_->hwnd(), kOtherBackground);
    engine.Resize();
    EXPECT_EQ(2 * kWidth, engine.Width());
    Tick(engine, nullptr);
    EXPECT_TRUE(Shows(*window_, 2 * kWidth - 2, 2 * kHeight - 2, kBackground));
    SetWindowPos(window_->hwnd(), nullptr, 0, 0, kWidth, kHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

TEST_F(GdiEngine, WritesTheOverlayTextInRedFromTheTopLeftCorner) {
    TestWindow wide(400, 200);
    gdiengine engine(wide.hwnd());
    LoadPlainBackground(engine);
    auto countRed = [&] {
        int red = 0;
        for (int y = 0; y < 100; y += 2)
            for (int x = 0; x < 300; x += 2) red += Near(wide.Pixel(x, y), RGB(255, 0, 0), 40);
        return red;
    };
    engine.BeginDraw();
    engine.DrawBackground();
    engine.DrawOverlayText(L"fps=30 (1/2)", 0);
    engine.EndDraw();
    EXPECT_EQ(0, countRed());
    Tick(engine, nullptr, L"fps=30 (1/2)");
    EXPECT_GT(countRed(), 20);
    EXPECT_TRUE(Shows(wide, 390, 190, kBackground));
}

TEST_F(GdiEngine, LabelsItsParametersFromTheStringTable) {
    gdiengine engine(window_->hwnd());
    wchar_t text[260];
    EXPECT_EQ(4u, engine.GetParam1Count());
    EXPECT_EQ(4u, engine.GetParam2Count());
    EXPECT_EQ(4, engine.GetParam1Name(text, 260));
    EXPECT_STREQ(L"\u767d\u306e\u52d5\u4f5c", text);
    engine.GetParam2Name(text, 260);
    EXPECT_STREQ(L"\u9ed2\u306e\u52d5\u4f5c", text);
    const wchar_t* kOptions[] = {L"\u767d", L"\u9ed2", L"\u305d\u306e\u307e\u307e", L"\u53cd\u8ee2"};
    for (uint32_t i = 0; i < 4; ++i) {
        engine.GetParam1Option(i, text, 260);
        EXPECT_STREQ(kOptions[i], text);
        engine.GetParam2Option(i, text, 260);
        EXPECT_STREQ(kOptions[i], text);
    }
    EXPECT_EQ(0, engine.GetParam1Option(4, text, 260));
    EXPECT_STREQ(L"", text);
    EXPECT_EQ(2, engine.GetParam2Option(2, text, 3));  // cut to fit
    EXPECT_STREQ(L"\u305d\u306e", text);
    text[0] = L'x';
    EXPECT_EQ(0, engine.GetParam1Name(text, 0));
    EXPECT_EQ(L'x', text[0]);
}

TEST_F(GdiEngine, ScreenshotOfWhiteSilhouetteOverAnImage) {
    TestWindow shot(640, 480, 40, 40);
    gdiengine engine(shot.hwnd());
    std::wstring path = dir_.File(L"gradient.bmp");
    ASSERT_TRUE(WriteGradientImage(path, 320, 240));
    ASSERT_TRUE(engine.LoadBackground(path.c_str()));
    engine.SetParam1(0);
    engine.SetParam2(2);
    GreyPicture picture = Silhouette(480, 360, 30);
    std::vector<uint8_t> stream = EncodeWholeRows(picture);
    EngineFrame* frame = engine.CreateFrame(stream.data(), static_cast<uint32_t>(stream.size()), 480, 360, 8);
    Tick(engine, nullptr);
    COLORREF under = shot.Pixel(20, 20);
    Tick(engine, frame);
    engine.DeleteFrame(frame);
    EXPECT_TRUE(Shows(shot, 20, 20, under));      // black part: the image shows
    EXPECT_TRUE(Shows(shot, 320, 476, kWhite));   // the white floor
    std::string folder = Env("NOXEL_SCREENSHOTS");
    if (!folder.empty()) {
        EXPECT_TRUE(SaveWindowPng(shot.hwnd(), WinePath(folder + "/gdi-0-2.png")));
    }
}
