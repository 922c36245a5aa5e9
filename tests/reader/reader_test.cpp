// Tests of the film reader against films made on the spot: which bytes reach
// the engine, the shared frame buffer, damaged and hostile films, sharing,
// and the process ending on a frame cut short.
#include "player/animreader.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/ChildProcess.h"
#include "common/FilmBuilder.h"
#include "common/StubEngine.h"
#include "common/TestSupport.h"

using namespace testing_support;

namespace {

// An engine that keeps what CreateFrame was given and makes no picture.
class RecordingEngine : public StubEngine {
public:
    struct Call {
        const uint8_t* data;
        std::vector<uint8_t> bytes;
        int32_t width, height;
        uint32_t bitCount;
    };
    std::vector<Call> calls;

    EngineFrame* CreateFrame(const uint8_t* data, uint32_t size, int32_t width, int32_t height,
                             uint32_t bitCount) override {
        calls.push_back({data, std::vector<uint8_t>(data, data + size), width, height, bitCount});
        return reinterpret_cast<EngineFrame*>(&calls);
    }
};

// A film of `count` frames of 16 x 4 whose streams differ in length.
FilmBuilder StripedFilm(int count) {
    FilmBuilder film(16, 4);
    for (int i = 0; i < count; ++i) {
        GreyPicture picture(16, 4, kFilmBlack);
        for (int x = 0; x <= i; ++x) picture.Fill(2 * x, 0, 2 * x + 1, 4, kFilmWhite);
        film.Add(picture);
    }
    return film;
}

// A stream of exactly `size` bytes (a long run of short runs), for buffer sizes.
std::vector<uint8_t> StreamOfSize(size_t size) {
    std::vector<uint8_t> stream;
    while (stream.size() + 2 <= size) stream.insert(stream.end(), {1, static_cast<uint8_t>(stream.size())});
    return stream;
}

class Reader : public ::testing::Test {
protected:
    std::wstring Write(const std::vector<uint8_t>& bytes, const wchar_t* name = L"film.nxl") {
        std::wstring path = dir_.File(name);
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }
    ScratchDir dir_;
    RecordingEngine engine_;
    animreader reader_;
};

}  // namespace

TEST_F(Reader, HandsEachFramesBytesAndGeometryToTheEngineFromOneBuffer) {
    FilmBuilder film = StripedFilm(3);
    ASSERT_TRUE(reader_.Open(Write(film.Bytes()).c_str()));
    EXPECT_EQ(3u, reader_.FrameCount());
    EXPECT_EQ(film.Stream(2).size(), reader_.Capacity());
    for (uint32_t index : {2u, 0u, 1u, 2u}) {
        EXPECT_EQ(reinterpret_cast<EngineFrame*>(&engine_.calls), reader_.ReadFrame(index, &engine_));
        const RecordingEngine::Call& call = engine_.calls.back();
        EXPECT_EQ(film.Stream(index), call.bytes) << "frame " << index;
        EXPECT_EQ(16, call.width);
        EXPECT_EQ(4, call.height);
        EXPECT_EQ(8u, call.bitCount);
        EXPECT_EQ(engine_.calls.front().data, call.data) << "every frame lands in the same buffer";
    }
}

TEST_F(Reader, FollowsEachEntryEvenWhenFramesAreOutOfOrder) {
    FilmBuilder film = StripedFilm(2);
    std::vector<uint8_t> bytes = film.Bytes();
    std::swap_ranges(bytes.begin() + 20, bytes.begin() + 28, bytes.begin() + 28);
    bytes.push_back(0x55);  // a gap after the last stream changes nothing
    ASSERT_TRUE(reader_.Open(Write(bytes).c_str()));
    reader_.ReadFrame(0, &engine_);
    EXPECT_EQ(film.Stream(1), engine_.calls.back().bytes);
    reader_.ReadFrame(1, &engine_);
    EXPECT_EQ(film.Stream(0), engine_.calls.back().bytes);
}

TEST_F(Reader, ReturnsNoFrameWithoutFilmOrPastTheEnd) {
    EXPECT_EQ(nullptr, reader_.ReadFrame(0, &engine_));
    ASSERT_TRUE(reader_.Open(Write(StripedFilm(2).Bytes()).c_str()));
    EXPECT_EQ(nullptr, reader_.ReadFrame(2, &engine_));
    EXPECT_EQ(nullptr, reader_.ReadFrame(0xFFFFFFFFu, &engine_));
    reader_.Release();
    EXPECT_EQ(nullptr, reader_.ReadFrame(0, &engine_));
    EXPECT_TRUE(engine_.calls.empty());
}

TEST_F(Reader, OpensAFilmWithoutFramesOrWithEmptyFrames) {
    ASSERT_TRUE(reader_.Open(Write(FilmBuilder(8, 8).Bytes()).c_str()));
    EXPECT_EQ(0u, reader_.FrameCount());
    EXPECT_EQ(0u, reader_.Capacity());
    EXPECT_EQ(nullptr, reader_.ReadFrame(0, &engine_));
    reader_.Release();

    ASSERT_TRUE(reader_.Open(Write(FilmBuilder(8, 8).AddStream({}).Bytes()).c_str()));
    reader_.ReadFrame(0, &engine_);
    ASSERT_EQ(1u, engine_.calls.size());
    EXPECT_TRUE(engine_.calls[0].bytes.empty());
}

TEST_F(Reader, RefusesFilesThatAreNotFilms) {
    std::vector<uint8_t> wrongMagic = StripedFilm(2).Bytes(), shortHeader = wrongMagic;
    wrongMagic[3] = 'L';
    shortHeader.resize(19);
    for (const auto& bytes : {wrongMagic, shortHeader}) {
        EXPECT_FALSE(reader_.Open(Write(bytes).c_str()));
        reader_.Release();
    }
    EXPECT_FALSE(reader_.Open(dir_.File(L"missing.nxl").c_str()));
    EXPECT_FALSE(reader_.Open(L""));
}

TEST_F(Reader, RefusesAnOffsetMatrixThatDoesNotFitInTheFile) {
    std::vector<uint8_t> bytes = StripedFilm(3).Bytes();
    // 0x20000001 entries of 8 bytes wrap to an 8-byte matrix in 32 bits.
    for (uint32_t claimed : {0x20000001u, 0xFFFFFFFFu, 4u + static_cast<uint32_t>(bytes.size() / 8)}) {
        PutLe32(bytes, 4, claimed);
        EXPECT_FALSE(reader_.Open(Write(bytes).c_str())) << claimed;
        EXPECT_EQ(nullptr, reader_.ReadFrame(0, &engine_));
        reader_.Release();
    }
    // A matrix that exactly fills the file opens: sizes are checked on fetch.
    FilmBuilder film = StripedFilm(2);
    std::vector<uint8_t> matrixOnly = film.Bytes();
    matrixOnly.resize(film.OffsetOf(0));
    EXPECT_TRUE(reader_.Open(Write(matrixOnly).c_str()));
}

TEST_F(Reader, KeepsItsBufferAcrossFilmsAndGrowsItOnlyWhenNeeded) {
    auto filmWith = [](size_t size) { return FilmBuilder(4, 4).AddStream(StreamOfSize(size)).Bytes(); };
    ASSERT_TRUE(reader_.Open(Write(filmWith(500), L"a.nxl").c_str()));
    reader_.ReadFrame(0, &engine_);
    reader_.Release();
    ASSERT_TRUE(reader_.Open(Write(filmWith(100), L"b.nxl").c_str()));
    EXPECT_EQ(500u, reader_.Capacity());
    reader_.ReadFrame(0, &engine_);
    EXPECT_EQ(engine_.calls[0].data, engine_.calls[1].data);
    EXPECT_EQ(100u, engine_.calls[1].bytes.size());
    reader_.Release();
    ASSERT_TRUE(reader_.Open(Write(filmWith(1000), L"c.nxl").c_str()));
    EXPECT_EQ(1000u, reader_.Capacity());
    reader_.ReadFrame(0, &engine_);
    EXPECT_EQ(StreamOfSize(1000), engine_.calls[2].bytes);
}

TEST_F(Reader, AFrameTooLargeToBufferLeavesNoStaleCapacity) {
    if (testing_support::kSixtyFourBitProcess) GTEST_SKIP() << "a 64-bit process can buffer a 4 GiB frame";
    std::vector<uint8_t> small = StripedFilm(1).Bytes();
    std::vector<uint8_t> huge = small;
    PutLe32(huge, 24, 0xFFFFFFF0u);  // no 32-bit process can hold this frame
    ASSERT_TRUE(reader_.Open(Write(small, L"small.nxl").c_str()));
    reader_.Release();
    EXPECT_FALSE(reader_.Open(Write(huge, L"huge.nxl").c_str()));
    EXPECT_EQ(nullptr, reader_.ReadFrame(0, &engine_));
    reader_.Release();
    ASSERT_TRUE(reader_.Open(dir_.File(L"small.nxl").c_str()));
    ASSERT_NE(nullptr, reader_.ReadFrame(0, &engine_));
    EXPECT_EQ(StripedFilm(1).Stream(0), engine_.calls.back().bytes);
}

TEST_F(Reader, PlaysAReadOnlyFilmThatAnotherReaderHolds) {
    std::wstring path = Write(StripedFilm(2).Bytes());
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    animreader other;
    ASSERT_TRUE(other.Open(path.c_str()));
    ASSERT_TRUE(reader_.Open(path.c_str()));
    EXPECT_NE(nullptr, reader_.ReadFrame(1, &engine_));
    EXPECT_NE(nullptr, other.ReadFrame(1, &engine_));
    EXPECT_EQ(engine_.calls[0].bytes, engine_.calls[1].bytes);
}

// Runs in a child process only: fetches one frame of a damaged film, which
// must end the process before ReadFrame returns.
TEST(ReaderChild, DISABLED_FetchFrameOfDamagedFilm) {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetEnvironmentVariableW(L"NOXEL_DAMAGED_FILM", &path[0], MAX_PATH));
    RecordingEngine engine;
    animreader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    reader.ReadFrame(1, &engine);
    ADD_FAILURE() << "ReadFrame returned";
}

TEST_F(Reader, AFrameCutShortEndsTheProcessWithAFailureCode) {
    FilmBuilder film = StripedFilm(2);
    std::vector<uint8_t> cut = film.Bytes();
    cut.resize(cut.size() - 3);  // frame 1 loses its last bytes
    std::vector<uint8_t> pastEnd = film.Bytes();
    PutLe32(pastEnd, 28, static_cast<uint32_t>(pastEnd.size() + 100));
    for (const auto& bytes : {cut, pastEnd}) {
        SetEnvironmentVariableW(L"NOXEL_DAMAGED_FILM", Write(bytes).c_str());
        EXPECT_EQ(static_cast<DWORD>(ERROR_HANDLE_EOF),
                  RunSelf(OnlyDisabledTest(L"ReaderChild.DISABLED_FetchFrameOfDamagedFilm")));
    }
    SetEnvironmentVariableW(L"NOXEL_DAMAGED_FILM", nullptr);
}
