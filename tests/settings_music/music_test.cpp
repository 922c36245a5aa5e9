// Real playback through Wine's wave output into the test session's ALSA file
// sink: what arrives is judged by loudness and timing, with generous
// timeouts, never by its bytes.
#include "player/bgmplayer.h"

#include "common/AudioSink.h"
#include "common/TestSupport.h"
#include "common/WavBuilder.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

constexpr DWORD kStartTimeoutMs = 5000;
constexpr DWORD kQuietWindowMs = 1000;
constexpr size_t kSoundingBytes = 4096;

class Music : public ::testing::Test {
protected:
    void SetUp() override {
        if (!sink_.configured()) GTEST_SKIP() << "NOXEL_AUDIO_FILE is unset: run through scripts/test.sh";
        ASSERT_GT(waveOutGetNumDevs(), 0u) << "the ALSA file sink should give one wave-output device";
    }

    std::wstring Wav(const wchar_t* name, WavLayout layout, double loudSeconds, double silentSeconds) {
        layout.samples = SquareWave(layout, loudSeconds, silentSeconds);
        const std::wstring path = dir_.File(name);
        EXPECT_TRUE(WriteFileBytes(path, BuildWav(layout)));
        return path;
    }

    // Sound arrives after `from` (or after now) within the start timeout.
    bool SoundArrives(uint64_t from) {
        return WaitUntil([&] { return SoundingBytes(sink_.Since(from)) >= kSoundingBytes; }, kStartTimeoutMs);
    }
    bool SoundArrives() { return SoundArrives(sink_.Mark()); }

    // Some window of 300 ms without sound begins within timeoutMs.
    bool FallsQuietWithin(DWORD timeoutMs) {
        return WaitUntil([&] {
            const uint64_t from = sink_.Mark();
            Sleep(300);
            return SoundingBytes(sink_.Since(from)) == 0;
        }, timeoutMs);
    }

    // Falls quiet (sound already mixed may still arrive), then a whole
    // window passes without sound.
    bool StaysQuiet() {
        if (!FallsQuietWithin(kStartTimeoutMs)) return false;
        const uint64_t from = sink_.Mark();
        Sleep(kQuietWindowMs);
        return SoundingBytes(sink_.Since(from)) == 0;
    }

    AudioSink sink_;
    ScratchDir dir_;
};

}  // namespace

TEST_F(Music, PlaySoundsHaltSilencesAndPlayAgainSounds) {
    bgmplayer music;
    ASSERT_TRUE(music.Load(Wav(L"long.wav", WavLayout{}, 30, 0).c_str()));
    music.Play();
    EXPECT_NE(nullptr, music.Device());
    EXPECT_TRUE(SoundArrives());
    music.Halt();
    EXPECT_NE(nullptr, music.Device()) << "Halt keeps the device open";
    EXPECT_TRUE(StaysQuiet());
    music.Play();
    EXPECT_TRUE(SoundArrives());
    music.Close();
    EXPECT_EQ(nullptr, music.Device());
    EXPECT_TRUE(StaysQuiet());
}

TEST_F(Music, PlayAfterHaltStartsFromTheBeginning) {
    // One loud second, then a long silence: only a restart from the first
    // sample sounds again.
    bgmplayer music;
    ASSERT_TRUE(music.Load(Wav(L"short.wav", WavLayout{}, 1, 29).c_str()));
    music.Play();
    ASSERT_TRUE(SoundArrives());
    ASSERT_TRUE(FallsQuietWithin(kStartTimeoutMs));
    music.Halt();
    music.Play();
    EXPECT_TRUE(SoundArrives());
}

TEST_F(Music, FileOfAnotherFormatPlaysAtItsOwnRate) {
    WavLayout slow;
    slow.samplesPerSec = 8000;
    slow.bitsPerSample = 8;
    WavLayout fast;
    fast.channels = 2;
    fast.samplesPerSec = 44100;
    bgmplayer music;
    ASSERT_TRUE(music.Load(Wav(L"slow.wav", slow, 0.5, 0).c_str()));
    music.Play();
    ASSERT_TRUE(SoundArrives());
    music.Halt();
    // Half a second of 16-bit stereo at 44.1 kHz is 88200 bytes; through a
    // device still set for 8-bit mono at 8 kHz it would last 11 seconds.
    ASSERT_TRUE(music.Load(Wav(L"fast.wav", fast, 0.5, 0).c_str()));
    const uint64_t from = sink_.Mark();
    music.Play();
    EXPECT_TRUE(SoundArrives(from));
    EXPECT_TRUE(FallsQuietWithin(4000));
}

TEST_F(Music, LoadWhilePlayingStopsTheOldSoundFirst) {
    bgmplayer music;
    const std::wstring path = Wav(L"long.wav", WavLayout{}, 30, 0);
    ASSERT_TRUE(music.Load(path.c_str()));
    music.Play();
    ASSERT_TRUE(SoundArrives());
    // No Halt: the memory under the playing block is freed and read afresh.
    ASSERT_TRUE(music.Load(path.c_str()));
    EXPECT_TRUE(StaysQuiet());
    music.Play();
    EXPECT_TRUE(SoundArrives());
}

// A failed load drops the music loaded before; a file of no samples plays
// silence on an open device.
TEST_F(Music, NothingPlaysAfterAFailedLoadOrFromEmptyData) {
    bgmplayer music;
    ASSERT_TRUE(music.Load(Wav(L"long.wav", WavLayout{}, 30, 0).c_str()));
    EXPECT_FALSE(music.Load(dir_.File(L"missing.wav").c_str()));
    music.Play();
    EXPECT_EQ(nullptr, music.Device());
    EXPECT_TRUE(StaysQuiet());

    ASSERT_TRUE(music.Load(Wav(L"empty.wav", WavLayout{}, 0, 0).c_str()));
    music.Play();
    EXPECT_NE(nullptr, music.Device());
    EXPECT_TRUE(StaysQuiet());

    bgmplayer never;
    never.Play();
    never.Halt();
    EXPECT_EQ(nullptr, never.Device());
}
