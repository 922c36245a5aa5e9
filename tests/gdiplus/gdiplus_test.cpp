// Tests of the GDI+ engine: its option lists, real pixels read back from a
// window it drew into (foreground colours, interpolation at scaled edges,
// the drawing rectangle), and the engine GDI+ cannot serve.
#include "engines/gdiplusengine.h"

#include <gtest/gtest.h>

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
#include "engines/EngineFactory.h"
#include "engines/gdiengine.h"

using namespace testing_support;

namespace {

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new GraphicsEnvironment);

constexpr int kWidth = 96;
constexpr int kHeight = 72;
const COLORREF kBackground = RGB(200, 120, 40);
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kWhite = RGB(255, 255, 255);

// Left half white, right half black.
GreyPicture HalfWhite(int width = 48, int height = 36) {
    GreyPicture picture(width, height, 0);
    picture.Fill(0, 0, width / 2, height, 255);
    return picture;
}

// Pixels of row y whose grey level is neither near black nor near white:
// what smoothing leaves at a white-to-black edge.
int PartialPixelsInRow(const TestWindow& window, int y, int width) {
    int partial = 0;
    for (int x = 0; x < width; ++x) {
        int level = GetGValue(window.Pixel(x, y));
        if (level > 24 && level < 231) ++partial;
    }
    return partial;
}

class GdiplusEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine_ = std::make_unique<gdiplusengine>(window_.hwnd());
    }

    std::wstring BackgroundFile(COLORREF color = kBackground) {
        std::wstring path = dir_.File(L"background.bmp");
        EXPECT_TRUE(WriteTwoColourImage(path, L"image/bmp", 32, 24, color, color));
        return path;
    }

    void Tick(EngineFrame* frame) {
        DrawPicture(*engine_, frame);
        window_.Pump();
    }

    COLORREF Left() const { return window_.Pixel(kWidth / 4, kHeight / 2); }
    COLORREF Right() const { return window_.Pixel(3 * kWidth / 4, kHeight / 2); }

    TestWindow window_{kWidth, kHeight, 40, 40};
    ScratchDir dir_;
    std::unique_ptr<gdiplusengine> engine_;
};

}  // namespace

TEST_F(GdiplusEngineTest, NamesAndOptionsAreTheListedTextsCutToTheCapacity) {
    gdiplusengine& engine = *engine_;
    wchar_t buffer[260];
    EXPECT_EQ(18, engine.GetParam1Name(buffer, 260));
    EXPECT_STREQ(L"Interpolation Mode", buffer);
    EXPECT_EQ(16, engine.GetParam2Name(buffer, 260));
    EXPECT_STREQ(L"Foreground Color", buffer);

    const std::vector<std::wstring> modes = {L"Default", L"Low", L"High", L"Biliner",
                                             L"Bicubic", L"NearestNeighbor", L"HQ Biliner", L"HQ Bicubic"};
    ASSERT_EQ(modes.size(), engine.GetParam1Count());
    for (uint32_t i = 0; i < modes.size(); ++i) {
        EXPECT_EQ(static_cast<int>(modes[i].size()), engine.GetParam1Option(i, buffer, 260));
        EXPECT_EQ(modes[i], buffer);
    }
    ASSERT_EQ(2u, engine.GetParam2Count());
    engine.GetParam2Option(0, buffer, 260);
    EXPECT_STREQ(L"White", buffer);
    engine.GetParam2Option(1, buffer, 260);
    EXPECT_STREQ(L"Black", buffer);

    for (uint32_t outside : {8u, 0xFFFFFFFFu}) {
        buffer[0] = L'x';
        EXPECT_EQ(0, engine.GetParam1Option(outside, buffer, 260));
        EXPECT_STREQ(L"", buffer);
    }
    buffer[0] = L'x';
    EXPECT_EQ(0, engine.GetParam2Option(2, buffer, 260));
    EXPECT_STREQ(L"", buffer);

    EXPECT_EQ(3, engine.GetParam1Name(buffer, 4));
    EXPECT_STREQ(L"Int", buffer);
    EXPECT_EQ(2, engine.GetParam1Option(5, buffer, 3));
    EXPECT_STREQ(L"Ne", buffer);
    EXPECT_EQ(0, engine.GetParam2Name(buffer, 1));
    EXPECT_STREQ(L"", buffer);

    // Capacities of 0 and beyond the largest signed count write nothing.
    for (uint32_t capacity : {0u, 0x80000000u, 0xFFFFFFFFu}) {
        buffer[0] = L'x';
        EXPECT_EQ(0, engine.GetParam1Name(buffer, capacity));
        EXPECT_EQ(0, engine.GetParam2Option(0, buffer, capacity));
        EXPECT_EQ(L'x', buffer[0]);
    }
}

TEST_F(GdiplusEngineTest, ForegroundValuesOutsideTheListDrawWhite) {
    ASSERT_TRUE(engine_->LoadBackground(BackgroundFile().c_str()));
    for (uint32_t value : {2u, 3u, 0xFFFFFFFFu}) {
        engine_->SetParam2(value);
        ScopedFrame frame(*engine_, HalfWhite());
        Tick(frame.get());
        EXPECT_TRUE(Near(kWhite, Left())) << value;
        EXPECT_TRUE(Near(kBackground, Right())) << value;
    }
}

TEST_F(GdiplusEngineTest, ForegroundChangesReachOnlyLaterFrames) {
    ScopedFrame before(*engine_, HalfWhite());
    engine_->SetParam2(1);
    ScopedFrame after(*engine_, HalfWhite());
    Tick(before.get());
    EXPECT_TRUE(Near(kWhite, Left()));
    Tick(after.get());
    EXPECT_TRUE(Near(kBlack, Left()));
    EXPECT_TRUE(Near(kBlack, Right()));
}

TEST_F(GdiplusEngineTest, WithoutBackgroundTheRectangleIsOpaqueBlack) {
    window_.Fill(RGB(30, 200, 90));
    Tick(nullptr);
    EXPECT_TRUE(Near(kBlack, window_.Pixel(0, 0)));
    EXPECT_TRUE(Near(kBlack, window_.Pixel(kWidth - 1, kHeight - 1)));
    EXPECT_TRUE(Near(kBlack, Left()));
}

TEST_F(GdiplusEngineTest, OnlyABegunPictureIsPutOnTheWindow) {
    Tick(nullptr);
    window_.Fill(RGB(30, 200, 90));
    engine_->EndDraw();
    EXPECT_TRUE(Near(RGB(30, 200, 90), Left()));

    // Outside back-buffer mode the operations draw on the window at once.
    ScopedFrame frame(*engine_, HalfWhite());
    engine_->DrawFrame(frame.get());
    EXPECT_TRUE(Near(kWhite, Left()));
    EXPECT_TRUE(Near(RGB(30, 200, 90), Right()));
}

TEST_F(GdiplusEngineTest, TheDrawingRectangleIsOnePixelLargerThanTheClientArea) {
    Gdiplus::Rect rect = engine_->DrawingRect();
    EXPECT_EQ(0, rect.X);
    EXPECT_EQ(0, rect.Y);
    EXPECT_EQ(kWidth + 1, rect.Width);
    EXPECT_EQ(kHeight + 1, rect.Height);

    // The picture reaches the last column and row of the client area.
    engine_->SetParam1(5);
    ScopedFrame frame(*engine_, GreyPicture(48, 36, 255));
    Tick(frame.get());
    EXPECT_TRUE(Near(kWhite, window_.Pixel(kWidth - 1, kHeight - 1))) << std::hex << window_.Pixel(kWidth - 1, kHeight - 1);
}

// Black and white halves, as a frame over no background and as a background
// without a frame: smoothing shows at the middle.
TEST_F(GdiplusEngineTest, NearestNeighborKeepsEdgesHardAndHqBicubicSmoothsThem) {
    const std::wstring halves = dir_.File(L"halves.png");
    ASSERT_TRUE(WriteTwoColourImage(halves, L"image/png", 32, 4, kBlack, kWhite));
    for (bool background : {false, true}) {
        if (background) {
            ASSERT_TRUE(engine_->LoadBackground(halves.c_str()));
        }
        for (uint32_t mode : {5u, 7u}) {
            SCOPED_TRACE(::testing::Message() << (background ? "background" : "frame") << " in mode " << mode);
            engine_->SetParam1(mode);
            ScopedFrame frame(*engine_, HalfWhite(8, 6));
            Tick(background ? nullptr : frame.get());
            const int partial = PartialPixelsInRow(window_, kHeight / 2, kWidth - 1);
            if (mode == 5) EXPECT_EQ(0, partial);
            else EXPECT_GE(partial, 2);
        }
    }
}

TEST_F(GdiplusEngineTest, ResizeFollowsTheWindowAndKeepsTheInterpolationMode) {
    const std::wstring halves = dir_.File(L"halves.png");
    ASSERT_TRUE(WriteTwoColourImage(halves, L"image/png", 32, 4, kBlack, kWhite));
    ASSERT_TRUE(engine_->LoadBackground(halves.c_str()));
    engine_->SetParam1(5);
    Tick(nullptr);  // the background scaled to the old size
    SetWindowPos(window_.hwnd(), nullptr, 0, 0, 2 * kWidth, kHeight, SWP_NOMOVE | SWP_NOZORDER);
    window_.Pump();
    engine_->Resize();
    EXPECT_EQ(2 * kWidth + 1, engine_->DrawingRect().Width);
    Tick(nullptr);
    EXPECT_TRUE(Near(kBlack, window_.Pixel(kWidth - 4, kHeight / 2)));
    EXPECT_TRUE(Near(kWhite, window_.Pixel(kWidth + 4, kHeight / 2)));
    EXPECT_TRUE(Near(kWhite, window_.Pixel(2 * kWidth - 12, kHeight / 2)));

    EXPECT_FALSE(engine_->LoadBackground(L""));
    ScopedFrame frame(*engine_, HalfWhite(8, 6));
    Tick(frame.get());
    EXPECT_TRUE(Near(kWhite, window_.Pixel(2 * kWidth / 4, kHeight / 2)));
    EXPECT_TRUE(Near(kBlack, window_.Pixel(2 * kWidth - 2, kHeight / 2)));
    EXPECT_EQ(0, PartialPixelsInRow(window_, kHeight / 2, 2 * kWidth - 1));
}

TEST_F(GdiplusEngineTest, AFrameGdiplusCannotBuildDrawsNothing) {
    Tick(nullptr);
    std::vector<uint8_t> stream = {0, 1};
    EngineFrame* frame = engine_->CreateFrame(stream.data(), 2, 0, 0, 8);
    ASSERT_NE(nullptr, frame);
    Tick(frame);
    engine_->DeleteFrame(frame);
    EXPECT_TRUE(Near(kBlack, Left()));
}

// An engine GDI+ cannot serve is not made, and the factory gives GDI instead.
TEST(GdiplusFailure, AnEngineGdiplusCannotServeIsNotMadeAndTheFactoryGivesGdi) {
    HWND gone = TestWindow(64, 48).hwnd();  // GDI+ draws on no window that is gone
    EXPECT_THROW(gdiplusengine engine(gone), std::runtime_error);

    uint32_t made = 99;
    std::unique_ptr<gengine> engine;
    EXPECT_NO_THROW(engine = CreateEngine(kEngineGdiPlus, gone, &made));
    EXPECT_EQ(kEngineGdi, made);
    EXPECT_NE(nullptr, dynamic_cast<gdiengine*>(engine.get()));
}
