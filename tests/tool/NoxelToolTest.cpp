// NoxelTool run as a child process on BMP sequences written by the tests:
// its console lines, exit codes and film bytes, and that a failed run leaves
// an earlier film untouched and no work file behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/Bmp8Writer.h"
#include "common/LittleEndian.h"
#include "common/GreyFrames.h"
#include "common/Rle8Decoder.h"
#include "common/TestSupport.h"
#include "ToolRunner.h"

namespace {

using tool_test::kEarlierFilm;
using Bytes = std::vector<uint8_t>;
using testing_support::Bmp8Options;
using testing_support::Le32;
using testing_support::MakeBmp8;
using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

// Console text as the tool writes it: the runtime turns "\n" into CR LF.
std::string Lines(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class NoxelToolTest : public testing::Test {
protected:
    std::wstring ImageName(int index, const std::wstring& stem = L"a") const {
        wchar_t number[16];
        swprintf(number, 16, L"%07d", index);
        return images_.File(stem + number + L".bmp");
    }
    void WriteImage(int index, const Bytes& bytes) { ASSERT_TRUE(WriteFileBytes(ImageName(index), bytes)); }
    std::string Shown(int index) const { return Narrow(ImageName(index)); }

    tool_test::ToolRun Run(const std::vector<std::wstring>& arguments) {
        return tool_test::RunTool(arguments, out_.path());
    }
    tool_test::ToolRun Encode(const std::wstring& stem = L"a") { return Run({images_.path(), stem}); }

    Bytes Film(const std::wstring& stem = L"a") const { return ReadFileBytes(out_.File(stem + L".nxl")); }

    // A failed run: the earlier film as it was, no temporary file.
    void ExpectEarlierFilmKept() {
        EXPECT_EQ(kEarlierFilm, Film());
        EXPECT_EQ(std::vector<std::wstring>{L"a.nxl"}, out_.Files());
    }

    ScratchDir images_;
    ScratchDir out_;
};

TEST_F(NoxelToolTest, EncodesEachImageIntoOneFrame) {
    ASSERT_TRUE(WriteFileBytes(out_.File(L"a.nxl"), kEarlierFilm));  // replaced on success
    // Frame 0: bottom row eight 0, top row four 255 and four 0.
    Bytes first = {0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0};
    Bytes second = testing_support::SmoothSilhouette(64, 48, 3);
    WriteImage(0, MakeBmp8(8, 2, first));
    WriteImage(1, MakeBmp8(64, 48, second));

    auto run = Encode();
    ASSERT_EQ(0u, run.exitCode) << run.out;
    EXPECT_EQ("", run.err);
    Bytes film = Film();
    ASSERT_GE(film.size(), 36u + 14u);
    uint32_t secondSize = Le32(film, 32);
    EXPECT_EQ(Lines(Shown(0) + "...Ok\n" + Shown(1) + "...Ok\nTotal 2 files\n" + Shown(0) +
                    "...RLE8(14)......done(36:14)\n" + Shown(1) + "...RLE8(" + std::to_string(secondSize) +
                    ")......done(50:" + std::to_string(secondSize) + ")\n"),
              run.out);

    EXPECT_EQ((Bytes{'N', 'o', 'X', 'l', 2, 0, 0, 0, 64, 0, 0, 0, 48, 0, 0, 0, 8, 0, 0, 0}), Bytes(film.begin(), film.begin() + 20));
    EXPECT_EQ(36u, Le32(film, 20));
    EXPECT_EQ(14u, Le32(film, 24));
    EXPECT_EQ(50u, Le32(film, 28));
    EXPECT_EQ(36u + 14u + secondSize, film.size());
    EXPECT_EQ((Bytes{8, 0, 0, 0, 4, 0xFC, 4, 0, 0, 0, 0, 0, 0, 1}), Bytes(film.begin() + 36, film.begin() + 50));
    auto decoded = testing_support::DecodeRle8(film.data() + 50, secondSize, 64, 48);
    EXPECT_TRUE(decoded.ended);
    for (auto& p : second) p &= 0xFC;  // the film keeps six bits of grey
    EXPECT_EQ(second, decoded.pixels);
    EXPECT_EQ(std::vector<std::wstring>{L"a.nxl"}, out_.Files());
}

TEST_F(NoxelToolTest, NoImagesGiveAnEmptyFilm) {
    auto run = Encode();
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(Lines("Total 0 files\n"), run.out);
    EXPECT_EQ((Bytes{'N', 'o', 'X', 'l', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0}), Film());
}

TEST_F(NoxelToolTest, StopsAtTheFirstMissingNumber) {
    for (int i = 0; i < 5; ++i) WriteImage(i, MakeBmp8(16, 4, Bytes(64, static_cast<uint8_t>(40 * i))));
    WriteImage(6, {'n', 'o', 't', ' ', 'r', 'e', 'a', 'd'});  // would fail the run if it were read
    auto run = Encode();
    EXPECT_EQ(0u, run.exitCode) << run.out;
    EXPECT_NE(std::string::npos, run.out.find(Lines("Total 5 files\n")));
    Bytes film = Film();
    ASSERT_GE(film.size(), 20u);
    EXPECT_EQ(5u, Le32(film, 4));
    EXPECT_EQ(20u + 5 * 8 + 5 * 20, film.size());  // each frame: four rows of one run, then 00 00 00 01
}

TEST_F(NoxelToolTest, WrongArgumentCountPrintsUsageAndFails) {
    ASSERT_TRUE(WriteFileBytes(out_.File(L"a.nxl"), kEarlierFilm));
    for (const auto& arguments : {std::vector<std::wstring>{images_.path()},
                                  std::vector<std::wstring>{images_.path(), L"a", L"b"}}) {
        auto run = Run(arguments);
        EXPECT_EQ(1u, run.exitCode);
        EXPECT_EQ("", run.out);
        EXPECT_EQ(Lines("NoxelTol <dir> <header>\n"), run.err);
        ExpectEarlierFilmKept();
    }
}

// A film that cannot be made (its folder is missing) or replaced (another
// program, a running saver or the settings preview, holds it open): the run
// ends before reading any image.
TEST_F(NoxelToolTest, FilmThatCannotBeWrittenFailsBeforeThePasses) {
    auto run = Encode(L"missing\\a");
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ(Lines("Cannot create nxl file(3)\n"), run.out);
    EXPECT_TRUE(out_.Files().empty());

    ASSERT_TRUE(WriteFileBytes(out_.File(L"a.nxl"), kEarlierFilm));
    WriteImage(0, MakeBmp8(8, 2, Bytes(16, 100)));
    // Shared for reading only, as the saver's reader opens it.
    HANDLE reader = CreateFileW(out_.File(L"a.nxl").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    run = Encode();
    CloseHandle(reader);
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ(Lines("Cannot create nxl file(32)\n"), run.out);
    ExpectEarlierFilmKept();
}

// Files of the user's that bear the work file's names are never opened:
// they survive byte for byte a run that succeeds and one that fails late,
// on a frame that does not compress, which is dumped.
TEST_F(NoxelToolTest, FilesNamedLikeTheWorkFileAreLeftAlone) {
    const Bytes mine = {'m', 'i', 'n', 'e', 0, 1, 2};
    const Bytes alsoMine = {'a', 'l', 's', 'o'};
    ASSERT_TRUE(WriteFileBytes(out_.File(L"a.nxl.tmp"), mine));
    ASSERT_TRUE(WriteFileBytes(out_.File(L"a.nxl.1.tmp"), alsoMine));
    const std::vector<std::wstring> withFilm = {L"a.nxl", L"a.nxl.1.tmp", L"a.nxl.tmp"};

    WriteImage(0, MakeBmp8(8, 2, Bytes(16, 100)));
    auto run = Encode();
    EXPECT_EQ(0u, run.exitCode) << run.out;
    EXPECT_EQ(20u + 8 + 12, Film().size());
    EXPECT_EQ(mine, ReadFileBytes(out_.File(L"a.nxl.tmp")));
    EXPECT_EQ(alsoMine, ReadFileBytes(out_.File(L"a.nxl.1.tmp")));
    EXPECT_EQ(withFilm, out_.Files());

    // Fails in pass 2, after the work file was made.
    ASSERT_TRUE(WriteFileBytes(out_.File(L"a.nxl"), kEarlierFilm));
    WriteImage(1, MakeBmp8(4, 2, {0, 4, 8, 12, 16, 20, 24, 28}));
    run = Encode();
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ(Lines(Shown(0) + "...Ok\n" + Shown(1) + "...Ok\nTotal 2 files\n" + Shown(0) +
                    "...RLE8(12)......done(36:12)\n" + Shown(1) +
                    "RLE8 Error 24, 8\n"
                    "00000000 : 01 00 01 04 01 08 01 0c 00 00 01 10 01 14 01 18\n"
                    "00000010 : 01 1c 00 00 00 00 00 01"),
              run.out);
    EXPECT_EQ(kEarlierFilm, Film());
    EXPECT_EQ(mine, ReadFileBytes(out_.File(L"a.nxl.tmp")));
    EXPECT_EQ(alsoMine, ReadFileBytes(out_.File(L"a.nxl.1.tmp")));
    EXPECT_EQ(withFilm, out_.Files());
}

TEST_F(NoxelToolTest, BadImagesStopTheRunAndKeepTheEarlierFilm) {
    Bytes good = MakeBmp8(4, 2, Bytes(8, 128));
    Bmp8Options indexed;
    indexed.clrUsed = 256;
    Bmp8Options deep;
    deep.bitCount = 24;
    Bmp8Options rle;
    rle.compression = 1;
    Bmp8Options huge;  // bfSize - bfOffBits is 0xFFFFFFF0
    huge.sizeAdjust = static_cast<int32_t>(0xFFFFFFF0u + 1078u - good.size());
    struct Case {
        const char* what;
        Bytes image;
        std::string message;
    } cases[] = {
        {"short file header", Bytes(good.begin(), good.begin() + 10), "...broken\n"},
        {"png", {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'},
         "...Is Not Bitmap File(5089)\n"},
        {"short info header", Bytes(good.begin(), good.begin() + 30), "...brokeninfo\n"},
        {"index colours", MakeBmp8(4, 2, Bytes(8, 128), indexed), "...Index Color Not Supported\n"},
        {"24 bits", MakeBmp8(4, 2, Bytes(8, 128), deep), "...Not 8bit Uncompressed Bitmap(24,0)\n"},
        {"compressed", MakeBmp8(4, 2, Bytes(8, 128), rle), "...Not 8bit Uncompressed Bitmap(8,1)\n"},
        {"short colour table", Bytes(good.begin(), good.begin() + 154), "...brokencolormap(1024,100)\n"},
        {"short pixels", Bytes(good.begin(), good.end() - 3), "...brokendata(8,5)\n"},
        // Far more pixels asked for than the file holds: broken data, not a 4 GiB buffer.
        {"lying size", MakeBmp8(4, 2, Bytes(8, 128), huge), "...brokendata(-16,8)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFileBytes(out_.File(L"a.nxl"), kEarlierFilm));
        WriteImage(0, good);
        WriteImage(1, c.image);
        auto run = Encode();
        EXPECT_EQ(1u, run.exitCode);
        EXPECT_EQ(Lines(Shown(0) + "...Ok\n" + Shown(1) + c.message), run.out);
        EXPECT_EQ("", run.err);
        ExpectEarlierFilmKept();
    }
}

TEST_F(NoxelToolTest, OddWidthsAndTopDownImagesGiveUprightFrames) {
    // Width 13 pads each row with three bytes; width 10 top-down with two.
    // Every row differs, so a row out of place shows.
    auto steps = [](int32_t width, int32_t height) {
        Bytes pixels;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) pixels.push_back(x <= y + 1 ? 0 : 200);
        return pixels;
    };
    Bytes odd = steps(13, 3);
    Bytes upsideDown = steps(10, 4);
    WriteImage(0, MakeBmp8(13, 3, odd));
    Bmp8Options topDown;
    topDown.topDown = true;
    WriteImage(1, MakeBmp8(10, 4, upsideDown, topDown));

    auto run = Encode();
    ASSERT_EQ(0u, run.exitCode) << run.out;
    Bytes film = Film();
    ASSERT_GE(film.size(), 36u);
    EXPECT_EQ(10u, Le32(film, 8));
    EXPECT_EQ(4u, Le32(film, 12));  // positive: rows are stored bottom row first
    auto frame0 = testing_support::DecodeRle8(film.data() + Le32(film, 20), Le32(film, 24), 13, 3);
    auto frame1 = testing_support::DecodeRle8(film.data() + Le32(film, 28), Le32(film, 32), 10, 4);
    EXPECT_EQ(odd, frame0.pixels);
    EXPECT_EQ(upsideDown, frame1.pixels);
}

// Images that change or vanish between the passes, served through named
// pipes so that each open sees what the test chose.
class NoxelToolPipeTest : public NoxelToolTest {
protected:
    // A stem of image names that no other test run uses.
    static std::wstring UniqueStem() {
        static int counter = 0;
        return L"noxeltool" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter) + L"_";
    }
    static std::wstring PipeImage(const std::wstring& stem, int index) {
        wchar_t number[16];
        swprintf(number, 16, L"%07d.bmp", index);
        return stem + number;
    }
    static std::string ShownPipe(const std::wstring& stem, int index) {
        return Narrow(tool_test::PipeImages::Folder() + L"\\" + PipeImage(stem, index));
    }
    tool_test::ToolRun EncodePipes(const std::wstring& stem) { return Run({tool_test::PipeImages::Folder(), stem}); }

    tool_test::PipeImages pipes_;
};

// Two sequences served at once: in one an image changes, in the other an
// image is gone when the second pass opens it again.
TEST_F(NoxelToolPipeTest, ImageChangedOrGoneInTheSecondPassFails) {
    Bytes pixels(16, 100);
    const Bytes before = MakeBmp8(8, 2, pixels);
    pixels.back() = 0;
    const Bytes after = MakeBmp8(8, 2, pixels);
    const std::wstring changed = UniqueStem(), gone = UniqueStem();
    ASSERT_TRUE(pipes_.Add(PipeImage(changed, 0), {before, before}));
    ASSERT_TRUE(pipes_.Add(PipeImage(changed, 1), {before, after}));
    ASSERT_TRUE(pipes_.Add(PipeImage(gone, 0), {before, before}));
    ASSERT_TRUE(pipes_.Add(PipeImage(gone, 1), {before}));  // opened once only
    pipes_.Start();
    ASSERT_TRUE(WriteFileBytes(out_.File(changed + L".nxl"), kEarlierFilm));
    const std::pair<std::wstring, const char*> kRuns[] = {{changed, "...Changed Since First Pass\n"},
                                                          {gone, "...Cannot Open In Second Pass(2)\n"}};
    for (const auto& [stem, message] : kRuns) {
        auto run = EncodePipes(stem);
        EXPECT_EQ(1u, run.exitCode);
        EXPECT_EQ(Lines(ShownPipe(stem, 0) + "...Ok\n" + ShownPipe(stem, 1) + "...Ok\nTotal 2 files\n" +
                        ShownPipe(stem, 0) + "...RLE8(12)......done(36:12)\n" + ShownPipe(stem, 1) + message),
                  run.out);
        EXPECT_EQ(kEarlierFilm, Film(changed));
        EXPECT_EQ(std::vector<std::wstring>{changed + L".nxl"}, out_.Files()) << "no film and no work file made";
    }
}

TEST_F(NoxelToolPipeTest, ExhaustedMemoryExitsWithEight) {
    if (testing_support::kSixtyFourBitProcess) GTEST_SKIP() << "a 64-bit process can allocate 4 GiB";
    // A source without a size cannot be checked first: the 4 GiB buffer is tried.
    Bmp8Options huge;
    Bytes image = MakeBmp8(4, 2, Bytes(8, 100));
    huge.sizeAdjust = static_cast<int32_t>(0xFFFFFFF0u + 1078u - image.size());
    image = MakeBmp8(4, 2, Bytes(8, 100), huge);
    const std::wstring stem = UniqueStem();
    ASSERT_TRUE(pipes_.Add(PipeImage(stem, 0), {Bytes(image.begin(), image.begin() + 1078)}));
    pipes_.Start();
    auto run = EncodePipes(stem);
    EXPECT_EQ(8u, run.exitCode);
    EXPECT_EQ(ShownPipe(stem, 0), run.out);
    EXPECT_EQ(Lines("Not Enough Memory\n"), run.err);
    EXPECT_TRUE(out_.Files().empty());
}

}  // namespace
