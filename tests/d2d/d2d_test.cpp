// Tests of the Direct2D engine: the process set-up, the option labels and
// their capacity rules, and real pixels read back from a window it drew into
// in each of the three modes over a background that is neither black nor white.
#include "engines/d2dengine.h"

#include <gtest/gtest.h>
#include <strsafe.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/EngineTestKit.h"
#include "common/FilmBuilder.h"
#include "common/GraphicsEnvironment.h"
#include "common/TestImages.h"
#include "common/TestSupport.h"
#include "common/TestWindow.h"

using namespace testing_support;

namespace {

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new GraphicsEnvironment);

constexpr int kWidth = 96;
constexpr int kHeight = 72;
const COLORREF kBackground = RGB(200, 120, 40);
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kWhite = RGB(255, 255, 255);

// Three upright bands: grey level 255, 0 and 128 from left to right.
GreyPicture Bands() {
    GreyPicture picture(48, 36, 0);
    picture.Fill(0, 0, 16, 36, 255);
    picture.Fill(32, 0, 48, 36, 128);
    return picture;
}

class D2DEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(GraphicsEnvironment::Direct2DReady());
        engine_ = std::make_unique<d2dengine>(window_.hwnd());
    }

    std::wstring BackgroundFile() {
        std::wstring path = dir_.File(L"background.png");
        EXPECT_TRUE(WriteTwoColourImage(path, L"image/png", 32, 24, kBackground, kBackground));
        return path;
    }

    void Tick(EngineFrame* frame) {
        PresentSteadily(*engine_, window_, [&] { DrawPicture(*engine_, frame); });
    }

    // Pixels in the middle of the left, centre and right band.
    COLORREF BandPixel(int band) const { return window_.Pixel(kWidth / 6 + band * kWidth / 3, kHeight / 2); }

    TestWindow window_{kWidth, kHeight, 40, 40};
    ScratchDir dir_;
    std::unique_ptr<d2dengine> engine_;
};

}  // namespace

TEST_F(D2DEngineTest, InitDirect2DMayRunAgain) {
    EXPECT_TRUE(InitDirect2D());
    d2dengine second(window_.hwnd());
    EXPECT_EQ(0u, second.mode());
}

TEST_F(D2DEngineTest, ConstructionOnAWindowThatIsGoneThrows) {
    TestWindow doomed(16, 16, 200, 40);
    HWND gone = doomed.hwnd();
    DestroyWindow(gone);
    EXPECT_THROW(d2dengine engine(gone), std::exception);
}

TEST_F(D2DEngineTest, LabelsAndTheirCapacityRules) {
    wchar_t buffer[260];
    EXPECT_EQ(3u, engine_->GetParam1Count());
    EXPECT_EQ(S_OK, engine_->GetParam1Name(buffer, 260));
    EXPECT_STREQ(L"Mode", buffer);
    const wchar_t* labels[] = {L"No Translucent", L"White Top", L"Black Top"};
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(static_cast<int>(wcslen(labels[i])), engine_->GetParam1Option(i, buffer, 260));
        EXPECT_STREQ(labels[i], buffer);
    }
    for (uint32_t outside : {3u, 0xFFFFFFFFu}) {
        buffer[0] = L'x';
        EXPECT_EQ(0, engine_->GetParam1Option(outside, buffer, 260));
        EXPECT_STREQ(L"", buffer);
    }

    EXPECT_EQ(0u, engine_->GetParam2Count());
    EXPECT_EQ(S_OK, engine_->GetParam2Name(buffer, 260));
    EXPECT_STREQ(L"No Settings", buffer);
    // The second list is empty: asking for an option writes nothing at all.
    const wchar_t marker[] = L"untouched";
    memcpy(buffer, marker, sizeof(marker));
    EXPECT_EQ(0, engine_->GetParam2Option(0, buffer, 260));
    EXPECT_STREQ(L"untouched", buffer);

    // Names are cut short, and say so.
    EXPECT_EQ(STRSAFE_E_INSUFFICIENT_BUFFER, engine_->GetParam1Name(buffer, 3));
    EXPECT_STREQ(L"Mo", buffer);
    EXPECT_EQ(STRSAFE_E_INSUFFICIENT_BUFFER, engine_->GetParam2Name(buffer, 3));
    EXPECT_STREQ(L"No", buffer);
    buffer[0] = L'x';
    EXPECT_EQ(E_INVALIDARG, engine_->GetParam1Name(buffer, 0));
    EXPECT_EQ(L'x', buffer[0]);
    EXPECT_EQ(E_INVALIDARG, engine_->GetParam2Name(nullptr, 260));

    // Options are copied whole or not at all.
    buffer[0] = L'x';
    EXPECT_EQ(0, engine_->GetParam1Option(0, buffer, 5));
    EXPECT_STREQ(L"", buffer);
    EXPECT_EQ(0, engine_->GetParam1Option(2, buffer, 9));
    EXPECT_STREQ(L"", buffer);
    EXPECT_EQ(9, engine_->GetParam1Option(2, buffer, 10));
    EXPECT_STREQ(L"Black Top", buffer);
    buffer[0] = L'x';
    EXPECT_EQ(0, engine_->GetParam1Option(1, buffer, 0));
    EXPECT_EQ(L'x', buffer[0]);
}

TEST_F(D2DEngineTest, ModesOutsideTheListKeepTheMode) {
    EXPECT_EQ(kD2DNoTranslucent, engine_->mode());
    engine_->SetParam1(2);
    engine_->SetParam1(3);
    EXPECT_EQ(kD2DBlackTop, engine_->mode());
    engine_->SetParam1(0xFFFFFFFFu);
    EXPECT_EQ(kD2DBlackTop, engine_->mode());
    engine_->SetParam2(5);
    EXPECT_EQ(kD2DBlackTop, engine_->mode());
    engine_->SetParam1(1);
    EXPECT_EQ(kD2DWhiteTop, engine_->mode());

    // The kept mode is the one frames are drawn in.
    ASSERT_TRUE(engine_->LoadBackground(BackgroundFile().c_str()));
    engine_->SetParam1(0xFFFFFFFFu);
    ScopedFrame frame(*engine_, Bands());
    Tick(frame.get());
    EXPECT_TRUE(Near(kBackground, BandPixel(1))) << std::hex << BandPixel(1);
}

TEST(D2DBlackTop, RewriteMakesBlackOfOpacityInverseToBlue) {
    std::vector<uint8_t> pixels = {255, 255, 255, 0, 0, 0, 0, 0, 128, 128, 128, 0, 10, 20, 30, 40, 7, 7};
    RewriteBlackTop(pixels.data(), static_cast<uint32_t>(pixels.size()));
    const std::vector<uint8_t> expected = {0, 0, 0, 0, 0, 0, 0, 255, 0, 0, 0, 127, 0, 0, 0, 245, 7, 7};
    EXPECT_EQ(expected, pixels);  // a trailing partial pixel is left alone
}

// The engine leaves the background out where a No Translucent frame is
// drawn over it: every pixel, edges included, must be the frame's own. A
// tick without a frame still shows the background.
TEST_F(D2DEngineTest, NoTranslucentFrameLeavesNoPixelOfTheBackground) {
    ScopedFrame frame(*engine_, Bands());
    ASSERT_NE(nullptr, frame.get());
    Tick(frame.get());
    const Pixels overBlack(window_.hwnd());
    ASSERT_TRUE(engine_->LoadBackground(BackgroundFile().c_str()));
    Tick(frame.get());
    EXPECT_TRUE(overBlack == Pixels(window_.hwnd()));
    Tick(nullptr);
    EXPECT_TRUE(Near(kBackground, BandPixel(1))) << std::hex << BandPixel(1);
    EXPECT_TRUE(Near(kBackground, window_.Pixel(kWidth - 1, kHeight - 1)));
}

TEST_F(D2DEngineTest, WithoutBackgroundTheTargetIsClearedToBlack) {
    Tick(nullptr);
    EXPECT_TRUE(Near(kBlack, window_.Pixel(0, 0)));
    EXPECT_TRUE(Near(kBlack, window_.Pixel(kWidth - 1, kHeight - 1)));
    // White Top over black shows the frame's own grey levels.
    engine_->SetParam1(1);
    ScopedFrame frame(*engine_, Bands());
    Tick(frame.get());
    EXPECT_TRUE(Near(kWhite, BandPixel(0)));
    EXPECT_TRUE(Near(RGB(128, 128, 128), BandPixel(2)));
}

TEST_F(D2DEngineTest, LoadBackgroundFailuresDropTheEarlierImage) {
    std::wstring text = dir_.File(L"notes.txt");
    ASSERT_TRUE(WriteFileBytes(text, {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}));
    ASSERT_TRUE(engine_->LoadBackground(BackgroundFile().c_str()));
    Tick(nullptr);
    EXPECT_TRUE(Near(kBackground, BandPixel(1)));

    EXPECT_FALSE(engine_->LoadBackground(L""));
    Tick(nullptr);
    EXPECT_TRUE(Near(kBlack, BandPixel(1)));

    EXPECT_FALSE(engine_->LoadBackground(text.c_str()));
    EXPECT_FALSE(engine_->LoadBackground(dir_.File(L"missing.bmp").c_str()));
    EXPECT_FALSE(engine_->LoadBackground(nullptr));
}

// A failed load drops the image loaded after a capture: the capture shows again.
TEST_F(D2DEngineTest, AFailedLoadAfterACaptureShowsTheCapture) {
    const COLORREF screenColor = RGB(60, 170, 220);
    {
        ScreenCover cover(screenColor);
        engine_->CaptureBackground();
    }
    window_.Pump();
    ASSERT_TRUE(engine_->LoadBackground(BackgroundFile().c_str()));
    EXPECT_FALSE(engine_->LoadBackground(L""));
    Tick(nullptr);
    EXPECT_TRUE(Near(screenColor, BandPixel(0))) << std::hex << BandPixel(0);
}
