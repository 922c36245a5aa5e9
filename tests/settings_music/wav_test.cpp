// The checks a WAV file passes before it becomes background music, on byte
// images the tests lay out, and bgmplayer::Load on files.
#include "player/bgmplayer.h"
#include "player/wavparse.h"

#include "common/TestSupport.h"
#include "common/WavBuilder.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

WavLayout Stereo44k(std::vector<uint8_t> samples) {
    WavLayout l;
    l.channels = 2;
    l.samplesPerSec = 44100;
    l.samples = std::move(samples);
    return l;
}

bool Parse(const std::vector<uint8_t>& bytes, WavInfo* info) {
    // An exactly sized copy, so a read past the end lands outside the block.
    std::vector<uint8_t> copy(bytes);
    copy.shrink_to_fit();
    return ParseWav(copy.data(), static_cast<uint32_t>(copy.size()), info);
}

}  // namespace

TEST(WavChecks, AcceptedLayoutsGiveTheirFormatAndData) {
    WavInfo info;
    ASSERT_TRUE(Parse(BuildWav(Stereo44k(std::vector<uint8_t>(40, 7))), &info));
    EXPECT_EQ(1, info.formatTag);
    EXPECT_EQ(2, info.channels);
    EXPECT_EQ(44100u, info.samplesPerSec);
    EXPECT_EQ(176400u, info.avgBytesPerSec);
    EXPECT_EQ(4, info.blockAlign);
    EXPECT_EQ(16, info.bitsPerSample);
    EXPECT_EQ(0, info.extraSize);
    EXPECT_EQ(44u, info.dataOffset);
    EXPECT_EQ(40u, info.dataLength);

    WavLayout longFormat = Stereo44k(std::vector<uint8_t>(8, 1));
    longFormat.formatChunkSize = 18;
    ASSERT_TRUE(Parse(BuildWav(longFormat), &info));
    EXPECT_EQ(46u, info.dataOffset);
    EXPECT_EQ(8u, info.dataLength);

    // Only the data chunk is played; what follows it and the RIFF size are ignored.
    WavLayout tail = Stereo44k(std::vector<uint8_t>(12, 1));
    tail.trailing = Chunk("LIST", std::vector<uint8_t>(20, 'x'));
    std::vector<uint8_t> bytes = BuildWav(tail);
    PutLe32(bytes, 4, 3);
    ASSERT_TRUE(Parse(bytes, &info));
    EXPECT_EQ(12u, info.dataLength);

    ASSERT_TRUE(Parse(BuildWav(Stereo44k({})), &info));
    EXPECT_EQ(0u, info.dataLength);
}

TEST(WavChecks, RefusedLayouts) {
    WavInfo info;
    info.dataLength = 99;
    WavLayout extra = Stereo44k(std::vector<uint8_t>(8, 1));
    extra.formatChunkSize = 18;
    extra.extraSize = 2;
    EXPECT_FALSE(Parse(BuildWav(extra), &info));

    WavLayout extensible = Stereo44k(std::vector<uint8_t>(8, 1));
    extensible.formatChunkSize = 40;
    extensible.extraSize = 22;
    EXPECT_FALSE(Parse(BuildWav(extensible), &info));

    WavLayout listFirst = Stereo44k(std::vector<uint8_t>(8, 1));
    listFirst.chunksBeforeData = Chunk("LIST", std::vector<uint8_t>(4, 'x'));
    EXPECT_FALSE(Parse(BuildWav(listFirst), &info));

    // No channels, or more than 7.1 sound: drivers have crashed on both.
    for (const uint16_t channels : {0, 9, 128, 255}) {
        WavLayout wide = Stereo44k(std::vector<uint8_t>(8, 1));
        wide.channels = channels;
        EXPECT_FALSE(Parse(BuildWav(wide), &info)) << channels << " channels";
    }

    const std::vector<uint8_t> good = BuildWav(Stereo44k(std::vector<uint8_t>(8, 1)));
    for (const size_t at : {0u, 8u, 12u, 36u}) {
        std::vector<uint8_t> bad = good;
        bad[at] ^= 0x20;  // "RIFF", "WAVE", "fmt " and "data", one letter changed
        EXPECT_FALSE(Parse(bad, &info)) << "tag at " << at;
    }
    EXPECT_EQ(99u, info.dataLength) << "a refused image must leave the result alone";
}

TEST(WavChecks, DataMustLieInsideTheImage) {
    WavInfo info;
    std::vector<uint8_t> bytes = BuildWav(Stereo44k(std::vector<uint8_t>(8, 1)));
    PutLe32(bytes, 40, 9);
    EXPECT_FALSE(Parse(bytes, &info));
    // Lengths that would wrap an offset + length sum back inside the image.
    for (const uint32_t claimed : {0xFFFFFFFFu, 0xFFFFFFD4u, 0x80000000u}) {
        PutLe32(bytes, 40, claimed);
        EXPECT_FALSE(Parse(bytes, &info)) << claimed;
    }

    // Every image cut short of its header is refused, 18-byte format chunk included.
    WavLayout longFormat = Stereo44k({});
    longFormat.formatChunkSize = 18;
    for (const std::vector<uint8_t>& whole : {BuildWav(Stereo44k({})), BuildWav(longFormat)}) {
        for (size_t n = 0; n < whole.size(); ++n) {
            EXPECT_FALSE(Parse(std::vector<uint8_t>(whole.begin(), whole.begin() + n), &info)) << n;
        }
    }
    EXPECT_FALSE(ParseWav(nullptr, 44, &info));
}

TEST(WavFiles, LoadReadsCheckedFilesOnly) {
    ScratchDir dir;
    bgmplayer music;
    ASSERT_TRUE(WriteFileBytes(dir.File(L"empty.wav"), {}));
    EXPECT_FALSE(music.Load(dir.File(L"empty.wav").c_str()));
    WavLayout listFirst = Stereo44k(std::vector<uint8_t>(8, 1));
    listFirst.chunksBeforeData = Chunk("LIST", std::vector<uint8_t>(4, 'x'));
    ASSERT_TRUE(WriteFileBytes(dir.File(L"list.wav"), BuildWav(listFirst)));
    EXPECT_FALSE(music.Load(dir.File(L"list.wav").c_str()));

    const std::vector<uint8_t> big = BuildWav(Stereo44k(std::vector<uint8_t>(3 << 20, 5)));
    ASSERT_TRUE(WriteFileBytes(dir.File(L"big.wav"), big));
    EXPECT_TRUE(music.Load(dir.File(L"big.wav").c_str()));
    EXPECT_EQ(nullptr, music.Device()) << "the device opens at the first Play";
    // The file is closed again: it can be deleted while the music holds it.
    EXPECT_TRUE(DeleteFileW(dir.File(L"big.wav").c_str()));
}
