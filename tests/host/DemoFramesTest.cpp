// Tests of the demo film's image generator: soft-edged shapes of the right
// size and place, and frames the encoder tool takes and compresses well.
#include <gtest/gtest.h>

#include <cmath>

#include "Canvas.h"
#include "Scene.h"
#include "common/Bmp8Writer.h"
#include "format/Rle8.h"
#include "tool/BmpImage.h"

namespace {

double TotalInk(const demo::Canvas& canvas) {
    double sum = 0;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x) sum += canvas.Ink(x, y);
    return sum;
}

TEST(DemoCanvas, ShapesCoverTheirAreaWithSoftEdges) {
    demo::Canvas canvas(100, 80);
    canvas.Disc({50, 40}, 20);
    EXPECT_NEAR(3.14159265 * 20 * 20, TotalInk(canvas), 15.0);
    EXPECT_EQ(1.0, canvas.Ink(50, 40));
    EXPECT_EQ(0.0, canvas.Ink(5, 5));
    // The edge is graded, one pixel wide: about one grey pixel per pixel of
    // circumference, not a step and not a blur.
    int grey = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 100; ++x) grey += canvas.Ink(x, y) > 0.05 && canvas.Ink(x, y) < 0.95;
    const double circumference = 2 * 3.14159265 * 20;
    EXPECT_GT(grey, circumference * 0.6);
    EXPECT_LT(grey, circumference * 1.6);

    canvas.Clear();
    canvas.Polygon({{10, 10}, {30, 10}, {30, 20}, {10, 20}});
    EXPECT_NEAR(200.0, TotalInk(canvas), 2.0);
    canvas.Clear();
    canvas.Capsule({20, 40}, {80, 40}, 5);
    EXPECT_NEAR(60 * 10 + 3.14159265 * 25, TotalInk(canvas), 6.0);
}

TEST(DemoCanvas, GreyIsBottomRowFirst) {
    demo::Canvas canvas(8, 4);
    canvas.Polygon({{0, 0}, {8, 0}, {8, 1}, {0, 1}});  // the top row on screen
    std::vector<uint8_t> grey = canvas.Grey();
    EXPECT_EQ(std::vector<uint8_t>(8, 0), std::vector<uint8_t>(grey.end() - 8, grey.end()));
    EXPECT_EQ(std::vector<uint8_t>(8, 255), std::vector<uint8_t>(grey.begin(), grey.begin() + 8));
}

TEST(DemoScene, FramesMoveAndCompressWell) {
    demo::Canvas canvas(480, 360);
    demo::Scene scene(canvas);
    std::vector<uint8_t> previous;
    for (double t : {0.0, 1.0 / 30, 9.5, 29.9}) {
        scene.Render(t);
        std::vector<uint8_t> grey = canvas.Grey();
        EXPECT_NE(previous, grey) << t;
        std::vector<uint8_t> file = testing_support::MakeBmp8(480, 360, grey);
        BmpHead head;
        ASSERT_EQ(BmpHeadCheck::Ok, CheckBmpHead(file.data(), file.size(), &head));
        EXPECT_EQ(grey.size(), head.PixelByteCount());
        uint32_t length = EncodeRle8(grey.data(), static_cast<uint32_t>(grey.size()), 480);
        EXPECT_LT(length, grey.size() / 10) << t;
        previous = canvas.Grey();
    }
}

}  // namespace
