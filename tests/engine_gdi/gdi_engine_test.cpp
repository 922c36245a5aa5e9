// Tests of the GDI engine beside the promises every engine keeps, reading real
// pixels back from a window: modes outside the lists, a frame stretched over
// the whole screen, background images of every common format, a failed load,
// the back buffer, a new size, and its labels.
#include "engines/gdiengine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/EngineTestKit.h"
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

::testing::AssertionResult Shows(const TestWindow& window, int x, int y, COLORREF expected, int tolerance = 8) {
    COLORREF got = window.Pixel(x, y);
    if (Near(got, expected, tolerance)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex << got
                                         << ", expected " << expected;
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

TEST_F(GdiEngine, DrawsOnlyTheBackgroundForUnlistedModesAndRecovers) {
    gdiengine engine(window_->hwnd());
    LoadPlainBackground(engine);
    std::vector<uint8_t> stream = EncodeWholeRows(HalfWhite());
    EngineFrame* frame = engine.CreateFrame(stream.data(), static_cast<uint32_t>(stream.size()), 32, 24, 8);
    DrawPicture(engine, frame);  // before any parameter is set
    EXPECT_TRUE(Shows(*window_, 40, 60, kBackground));
    engine.SetParam2(1);
    for (uint32_t value : {4u, 0xFFFFFFFFu}) {
        engine.SetParam1(value);
        DrawPicture(engine, frame);
        EXPECT_TRUE(Shows(*window_, 40, 60, kBackground)) << value;
    }
    engine.SetParam1(0);
    DrawPicture(engine, frame);
    EXPECT_TRUE(Shows(*window_, 40, 60, kWhite));
    EXPECT_TRUE(Shows(*window_, 120, 60, kBlack));
    DrawPicture(engine, nullptr);
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
    DrawPicture(engine, frame);
    EXPECT_TRUE(Shows(screen, screenWidth / 2, 0, kWhite));
    EXPECT_TRUE(Shows(screen, screenWidth - 1, screenHeight / 2, kWhite));
    EXPECT_TRUE(Shows(screen, screenWidth / 2, screenHeight / 2, kBlack));
    EXPECT_TRUE(Shows(screen, screenWidth / 2, screenHeight - 1, kBlack));
    engine.DeleteFrame(frame);
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
        DrawPicture(engine, nullptr);
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
        window_->Fill(kOtherBackground);
        engine.DrawBackground();
        EXPECT_TRUE(Shows(*window_, 80, 60, kOtherBackground));
    }
}

TEST_F(GdiEngine, ComposesInTheBackBufferAndShowsItOnlyAtEndDraw) {
    gdiengine engine(window_->hwnd());
    LoadPlainBackground(engine);
    window_->Fill(kOtherBackground);
    engine.BeginDraw();
    engine.DrawBackground();
    EXPECT_TRUE(Shows(*window_, 80, 60, kOtherBackground)) << "drawn before EndDraw";
    engine.EndDraw();
    EXPECT_TRUE(Shows(*window_, 80, 60, kBackground));
    window_->Fill(kOtherBackground);
    engine.EndDraw();
    EXPECT_TRUE(Shows(*window_, 80, 60, kOtherBackground)) << "EndDraw without BeginDraw copied";
    engine.DrawBackground();
    EXPECT_TRUE(Shows(*window_, 80, 60, kBackground)) << "outside BeginDraw the window is the target";
}

TEST_F(GdiEngine, ResizeFollowsTheWindowsNewSize) {
    gdiengine engine(window_->hwnd());
    LoadPlainBackground(engine);
    SetWindowPos(window_->hwnd(), nullptr, 0, 0, 2 * kWidth, 2 * kHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    window_->Fill(kOtherBackground);
    engine.Resize();
    EXPECT_EQ(2 * kWidth, engine.Width());
    DrawPicture(engine, nullptr);
    EXPECT_TRUE(Shows(*window_, 2 * kWidth - 2, 2 * kHeight - 2, kBackground));
    SetWindowPos(window_->hwnd(), nullptr, 0, 0, kWidth, kHeight, SWP_NOZORDER | SWP_NOACTIVATE);
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
