// Tests of the demo film's music: a WAV the music player accepts, exactly
// as long as the film, audible all through without clipping, and silent at
// both ends so that the film's restart makes no click.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "Music.h"
#include "common/LittleEndian.h"
#include "player/wavparse.h"

namespace {

TEST(DemoMusic, WavHasTheFormThePlayerAccepts) {
    const std::vector<int16_t> samples = demo::RenderMusic(2.5);
    ASSERT_EQ(2u * 110250u, samples.size());
    const std::vector<uint8_t> wav = demo::MakeWav(samples, demo::kMusicChannels, demo::kMusicRate);

    WavInfo info;
    ASSERT_TRUE(ParseWav(wav.data(), static_cast<uint32_t>(wav.size()), &info));
    EXPECT_EQ(1, info.formatTag);
    EXPECT_EQ(2, info.channels);
    EXPECT_EQ(44100u, info.samplesPerSec);
    EXPECT_EQ(44100u * 4, info.avgBytesPerSec);
    EXPECT_EQ(4, info.blockAlign);
    EXPECT_EQ(16, info.bitsPerSample);
    EXPECT_EQ(16u, wav[16]);  // a format chunk of 16 bytes, the data chunk right after it
    EXPECT_EQ(44u, info.dataOffset);
    EXPECT_EQ(wav.size() - 44, info.dataLength);
    EXPECT_EQ(wav.size() - 8, testing_support::Le32(wav, 4));
}

TEST(DemoMusic, AudibleThroughoutUnclippedAndSilentAtTheSeam) {
    const double seconds = 8;
    const std::vector<int16_t> samples = demo::RenderMusic(seconds);
    const size_t perSecond = 2 * demo::kMusicRate;
    int peak = 0;
    for (int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_GT(peak, 20000);
    EXPECT_LT(peak, 32000);
    // Every second but the fading last one carries the tune.
    for (size_t second = 0; second + 1 < seconds; ++second) {
        double sum = 0;
        for (size_t i = second * perSecond; i < (second + 1) * perSecond; ++i) sum += double(samples[i]) * samples[i];
        EXPECT_GT(std::sqrt(sum / perSecond), 1500.0) << "second " << second;
    }
    for (size_t i : {size_t{0}, size_t{1}, samples.size() - 2, samples.size() - 1}) EXPECT_LT(std::abs(samples[i]), 100);
}

}  // namespace
