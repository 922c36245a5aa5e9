// The frame clock and the rate meter as plain functions: the film's speed
// and the shown rate come from tick-counter arithmetic alone.
#include <gtest/gtest.h>

#include "player/player.h"

TEST(FrameClock, ThirtyFramesEachSecondTruncated) {
    EXPECT_EQ(0u, FrameDue(5000, 5000));
    EXPECT_EQ(0u, FrameDue(5000, 5033));
    EXPECT_EQ(1u, FrameDue(5000, 5034));
    EXPECT_EQ(30u, FrameDue(5000, 6000));
    EXPECT_EQ(1800u, FrameDue(0, 60000));
}

TEST(FrameClock, CounterWrapBetweenStartAndNow) {
    // The counter passed 2^32 half a second after the start.
    EXPECT_EQ(15u, FrameDue(0xFFFFFF00u, 0x00000100u));
}

TEST(FrameClock, ProductWrapsAt32Bits) {
    // 143,165,577 ms x 30 = 2^32 + 14: the index starts again from 0 there,
    // about 39.8 hours into one pass of a film.
    EXPECT_EQ(0u, FrameDue(0, 143165577u));
    EXPECT_EQ(4294967u, FrameDue(0, 143165576u));
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
    meter.Count(5016);
    EXPECT_EQ(1u, meter.rate);
    meter.Count(5032);
    EXPECT_EQ(1u, meter.rate);
    meter.Count(5048);
    EXPECT_EQ(1u, meter.rate);
    EXPECT_EQ(4000u, meter.windowStart);
    meter.Count(5064);
    EXPECT_EQ(5000u, meter.windowStart);
    meter.Count(5080);  // caught up: the window opened at 5000 stays open
    EXPECT_EQ(5000u, meter.windowStart);
    EXPECT_EQ(2u, meter.counted);
}

TEST(Overlay, TextAndLength) {
    wchar_t text[kOverlayChars];
    EXPECT_EQ(16u, FormatOverlay(text, 62, 0, 30000));
    EXPECT_STREQ(L"fps=62 (0/30000)", text);
    EXPECT_EQ(15u, FormatOverlay(text, 0, 123, 450));
    EXPECT_STREQ(L"fps=0 (123/450)", text);
}
