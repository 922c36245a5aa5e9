// The frame clock and the rate meter as plain functions: the film's speed
// and the shown rate come from tick-counter arithmetic alone.
#include <gtest/gtest.h>

#include "player/player.h"

TEST(FrameClock, ThirtyFramesEachSecondTruncated) {
    const struct {
        uint32_t start, now, frame;
    } rows[] = {
        {5000, 5000, 0}, {5000, 5033, 0}, {5000, 5034, 1}, {5000, 6000, 30}, {0, 60000, 1800},
        {0xFFFFFF00u, 0x00000100u, 15},  // the counter passed 2^32 half a second after the start
        // 143,165,577 ms x 30 = 2^32 + 14: the index starts again from 0 there,
        // about 39.8 hours into one pass of a film.
        {0, 143165576u, 4294967u}, {0, 143165577u, 0},
    };
    for (const auto& row : rows) EXPECT_EQ(row.frame, FrameDue(row.start, row.now)) << row.start << " " << row.now;
}

TEST(RateMeter, ClosesAWindowOnlyAfterMoreThanASecond) {
    RateMeter meter;
    meter.Restart(1000);
    for (uint32_t t = 1016; t <= 2000; t += 16) meter.Count(t);
    EXPECT_EQ(0u, meter.rate) << "exactly 1000 ms later the window is still open";
    meter.Count(2001);
    EXPECT_EQ(62u, meter.rate);
    EXPECT_EQ(2000u, meter.windowStart) << "advanced by one second, not set to now";
    EXPECT_EQ(1u, meter.counted) << "the closing tick counts in the new window";
}

TEST(RateMeter, AfterAStallTheRateCatchesUpOneSecondPerTick) {
    RateMeter meter;
    meter.Restart(0);
    for (uint32_t t = 16; t <= 992; t += 16) meter.Count(t);
    meter.Count(5000);  // the loop was blocked for four seconds
    EXPECT_EQ(62u, meter.rate);
    EXPECT_EQ(1000u, meter.windowStart);
    const struct {
        uint32_t now, rate, windowStart;
    } rows[] = {{5016, 1, 2000}, {5032, 1, 3000}, {5048, 1, 4000}, {5064, 1, 5000}, {5080, 1, 5000}};
    for (const auto& row : rows) {
        meter.Count(row.now);
        EXPECT_EQ(row.rate, meter.rate) << row.now;
        EXPECT_EQ(row.windowStart, meter.windowStart) << row.now;
    }
    EXPECT_EQ(2u, meter.counted) << "caught up: the window opened at 5000 stays open";
}

TEST(Overlay, TextAndLength) {
    wchar_t text[kOverlayChars];
    EXPECT_EQ(16u, FormatOverlay(text, 62, 0, 30000));
    EXPECT_STREQ(L"fps=62 (0/30000)", text);
    EXPECT_EQ(15u, FormatOverlay(text, 0, 123, 450));
    EXPECT_STREQ(L"fps=0 (123/450)", text);
}
