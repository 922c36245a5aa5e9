// noxel.scr /s on damaged films, music and background pictures: every run
// ends by itself with a defined exit code, or plays and closes on a key
// press; never a crash or a hang. A sample of the cases runs by default;
// NOXEL_ROBUST_FULL=1 tries every byte, every cut length and every engine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/FilmBuilder.h"
#include "common/TestImages.h"
#include "common/TestSupport.h"
#include "common/WavBuilder.h"
#include "format/AnimationFormat.h"
#include "robust/HostileRun.h"
#include "saver/SaverHarness.h"

namespace {

using namespace robust_tests;
using Bytes = std::vector<uint8_t>;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

constexpr uint32_t kEngineCount = 3;
// How long a run that must end by itself may take; one that ends sooner costs no more.
constexpr DWORD kEndsByItselfMs = 20000;

// A playable film over a picture; the tests damage one of them.
class HostileSaver : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(saver_tests::WriteCountingFilm(film_, 20));
        ASSERT_TRUE(saver_tests::WriteSolidBmp(background_, 32, 18, RGB(40, 80, 160)));
        settings_.Text(L"NoxelFilePath", film_);
        settings_.Text(L"BackGroundImageFilePath", background_);
        settings_.Number(L"BGM", 0);
        settings_.Number(L"DisplayFrameRate", 1);
        settings_.Number(L"Param1", 0);
        settings_.Number(L"Param2", 1);
    }

    // Each case runs under the next engine, so a sample meets all three.
    void NextEngine() { settings_.Number(L"Engine", cases_++ % kEngineCount); }

    ScratchDir dir_;
    saver_tests::SettingsScope settings_;
    std::wstring film_ = dir_.File(L"film.nxl");
    std::wstring background_ = dir_.File(L"back.bmp");
    uint32_t cases_ = 0;
};

// Two small frames: 36 bytes of header and matrix, then the streams.
Bytes SmallFilm() {
    testing_support::FilmBuilder film(16, 8);
    film.Add(testing_support::Silhouette(16, 8, 0)).Add(testing_support::Silhouette(16, 8, 3));
    return film.Bytes();
}

// The values a changed byte takes: the extremes and two flipped bits.
std::vector<uint8_t> ChangedValues(uint8_t original, size_t position) {
    const std::vector<uint8_t> all = {0x00, 0xFF, static_cast<uint8_t>(original ^ 0x80),
                                      static_cast<uint8_t>(original ^ 0x01)};
    if (FullSweep()) return all;
    return {all[position % all.size()]};
}

TEST_F(HostileSaver, FilmWithAnyHeaderOrMatrixByteChanged) {
    const Bytes good = SmallFilm();
    const size_t tables = kAnimationHeaderSize + 2 * kOffsetEntrySize;
    // Magic, FrameCount low and high, Width low and high, Height's sign,
    // BitCount, frame 0's Offset and Size low and high, frame 1's Size.
    Tally tally("film bytes");
    for (size_t at : Positions(tables, {0, 4, 7, 8, 11, 15, 16, 20, 23, 24, 27, 29, 32, 35})) {
        // A film of 16 million rows takes the x64 build minutes to draw,
        // where a 32-bit process cannot allocate it at all.
        if (testing_support::kSixtyFourBitProcess && at == 15) continue;
        for (uint8_t value : ChangedValues(good[at], at)) {
            if (value == good[at]) continue;
            Bytes bad = good;
            bad[at] = value;
            ASSERT_TRUE(WriteFileBytes(film_, bad));
            NextEngine();
            const RunResult r = RunSaverOnce();
            tally.Count(r.Describe());
            EXPECT_TRUE(IsDefinedFilmOutcome(r)) << "byte " << at << " = " << int{value} << ": " << r.Describe();
        }
    }
}

TEST_F(HostileSaver, FilmCutAtAnyLength) {
    const Bytes good = SmallFilm();
    Tally tally("film cuts");
    for (size_t length : Positions(good.size(), {0, 3, 19, 20, 28, 35, 36, 37, good.size() / 2 + 20,
                                                  good.size() - 1})) {
        ASSERT_TRUE(WriteFileBytes(film_, Bytes(good.begin(), good.begin() + length)));
        NextEngine();
        // Up to the matrix's end the reader refuses the film, quitting at
        // once: given as long as a busy machine needs to start and end it.
        const RunResult r = RunSaverOnce(length < 36 ? kEndsByItselfMs : 1500);
        tally.Count(r.Describe());
        EXPECT_TRUE(IsDefinedFilmOutcome(r)) << "cut at " << length << ": " << r.Describe();
        if (length < 36) {
            EXPECT_EQ(RunResult::Ended, r.kind) << "cut at " << length;
        }
    }
}

// A 30-second film cut after its first second: every engine draws a first
// frame, and its next tick, however slow the engine, fetches a frame that
// comes up short. The process ends at once with the reader's code.
TEST_F(HostileSaver, AFrameCutShortEndsTheRunUnderEveryEngine) {
    ASSERT_TRUE(saver_tests::WriteCountingFilm(film_, 900));
    Bytes bytes = testing_support::ReadFileBytes(film_);
    const size_t entry30 = kAnimationHeaderSize + 30 * kOffsetEntrySize;
    bytes.resize(testing_support::Le32(bytes, entry30));
    ASSERT_TRUE(WriteFileBytes(film_, bytes));
    for (uint32_t engine = 0; engine < kEngineCount; ++engine) {
        settings_.Number(L"Engine", engine);
        const RunResult r = RunSaverOnce(kEndsByItselfMs);
        EXPECT_EQ(RunResult::Ended, r.kind) << "engine " << engine << ": " << r.Describe();
        EXPECT_EQ(DWORD{ERROR_HANDLE_EOF}, r.code) << "engine " << engine;
    }
}

// Background music: a playable film with damaged WAV files as its music.
class HostileMusic : public HostileSaver {
protected:
    void SetUp() override {
        HostileSaver::SetUp();
        settings_.Text(L"WavFilePath", wav_);
        settings_.Number(L"BGM", 1);
    }
    std::wstring wav_ = dir_.File(L"music.wav");
};

Bytes GoodWav() {
    testing_support::WavLayout layout;
    layout.samples = testing_support::SquareWave(layout, 0.2, 0.1);
    return testing_support::BuildWav(layout);
}

TEST_F(HostileMusic, DamagedWavFilesLeaveTheFilmPlaying) {
    const Bytes good = GoodWav();
    struct Case {
        std::string what;
        Bytes bytes;
    };
    std::vector<Case> cases;
    auto field = [&](const char* what, size_t at, uint32_t value, int size) {
        Bytes bad = good;
        for (int i = 0; i < size; ++i) bad[at + i] = static_cast<uint8_t>(value >> (8 * i));
        cases.push_back({what, bad});
    };
    // Format values the checks let through, so the wave output meets them.
    field("format tag 0", 20, 0, 2);
    field("format tag extensible", 20, 0xFFFE, 2);
    field("no channels", 22, 0, 2);
    field("format tag ADPCM", 20, 2, 2);
    field("255 channels", 22, 255, 2);
    field("rate 0", 24, 0, 4);
    field("rate 4G", 24, 0xFFFFFFFF, 4);
    field("byte rate 0", 28, 0, 4);
    field("block align 0", 32, 0, 2);
    field("block align 65535", 32, 0xFFFF, 2);
    field("0 bits", 34, 0, 2);
    field("7 bits", 34, 7, 2);
    field("64 bits", 34, 64, 2);
    field("data longer than the file", 40, static_cast<uint32_t>(good.size()), 4);
    field("odd data length", 40, 3, 4);
    const std::vector<size_t> cuts = {0, 12, 43, 44, 45, good.size() / 2};
    for (size_t length : cuts) cases.push_back({"cut at " + std::to_string(length), Bytes(good.begin(), good.begin() + length)});
    if (FullSweep()) {
        for (size_t at = 0; at < 44; ++at)
            for (uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}})
                field(("byte " + std::to_string(at) + " = " + std::to_string(value)).c_str(), at, value, 1);
    }

    Tally tally("music");
    for (size_t i = 0; i < cases.size(); ++i) {
        if (!FullSweep() && i % 2 == 1) continue;  // a sample: every other case
        ASSERT_TRUE(WriteFileBytes(wav_, cases[i].bytes));
        settings_.Number(L"Engine", 0);
        const RunResult r = RunSaverOnce();
        tally.Count(r.Describe());
        EXPECT_TRUE(Played(r)) << cases[i].what << ": " << r.Describe();
    }
}

// Background pictures the decoders cannot read: the engine captures the
// screen instead and the film plays.
TEST_F(HostileSaver, UnreadablePicturesLeaveTheFilmPlaying) {
    testing_support::StartGdiplus();
    const std::wstring png = dir_.File(L"good.png");
    const std::wstring jpeg = dir_.File(L"good.jpg");
    ASSERT_TRUE(testing_support::WriteTwoColourImage(png, L"image/png", 40, 20, RGB(200, 0, 0), RGB(0, 0, 200)));
    ASSERT_TRUE(testing_support::WriteTwoColourImage(jpeg, L"image/jpeg", 40, 20, RGB(200, 0, 0), RGB(0, 0, 200)));
    const Bytes pngBytes = testing_support::ReadFileBytes(png);
    const Bytes jpegBytes = testing_support::ReadFileBytes(jpeg);
    const Bytes bmp = testing_support::ReadFileBytes(background_);

    struct Case {
        std::string what;
        Bytes bytes;
    };
    auto patched = [&](size_t at, uint32_t value) {
        Bytes bad = bmp;
        testing_support::PutLe32(bad, at, value);
        return bad;
    };
    Bytes garbage(3000);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 7919 >> 3);
    const std::vector<Case> cases = {
        {"empty file", {}},
        {"one byte", {'B'}},
        {"garbage", garbage},
        {"bmp headers only", Bytes(bmp.begin(), bmp.begin() + 54)},
        {"bmp cut in its pixels", Bytes(bmp.begin(), bmp.begin() + bmp.size() / 2)},
        {"bmp width 2^31-1", patched(18, 0x7FFFFFFF)},
        {"bmp height -2^31", patched(22, 0x80000000)},
        {"bmp 30000 x 30000", patched(18, 30000)},
        {"bmp of 0 bits", patched(28, 0)},
        {"bmp pixels past the end", patched(10, 0x7FFFFFF0)},
        {"png cut after its header", Bytes(pngBytes.begin(), pngBytes.begin() + 33)},
        {"png cut in its data", Bytes(pngBytes.begin(), pngBytes.end() - 20)},
        {"jpeg cut", Bytes(jpegBytes.begin(), jpegBytes.begin() + jpegBytes.size() / 2)},
        {"gif signature only", {'G', 'I', 'F', '8', '9', 'a'}},
    };

    Tally tally("backgrounds");
    const std::wstring picture = dir_.File(L"picture.img");
    settings_.Text(L"BackGroundImageFilePath", picture);
    for (size_t i = 0; i < cases.size(); ++i) {
        ASSERT_TRUE(WriteFileBytes(picture, cases[i].bytes));
        // A sample: every other picture, each under the next engine.
        if (!FullSweep() && i % 2 == 1) continue;
        for (uint32_t engine = 0; engine < kEngineCount; ++engine) {
            if (!FullSweep() && engine != i / 2 % kEngineCount) continue;
            settings_.Number(L"Engine", engine);
            const RunResult r = RunSaverOnce();
            tally.Count(r.Describe());
            EXPECT_TRUE(Played(r)) << cases[i].what << ", engine " << engine << ": " << r.Describe();
        }
    }
    // A folder and a path that does not exist are no pictures either.
    for (const std::wstring& path : {dir_.path(), dir_.File(L"missing.png")}) {
        settings_.Text(L"BackGroundImageFilePath", path);
        NextEngine();
        const RunResult r = RunSaverOnce();
        tally.Count(r.Describe());
        EXPECT_TRUE(Played(r)) << r.Describe();
    }
}

}  // namespace
