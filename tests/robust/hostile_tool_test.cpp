// NoxelTool fed broken BMP images: any header byte changed, the file cut
// at any length. The tool either makes a sound film of the image or stops
// with one of its messages and exit code 1, leaving an earlier film as it
// was and no temporary file. A sample runs by default; NOXEL_ROBUST_FULL=1
// tries every header byte and far more cut lengths.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/Bmp8Writer.h"
#include "common/LittleEndian.h"
#include "common/Rle8Decoder.h"
#include "common/TestSupport.h"
#include "robust/HostileRun.h"
#include "tool/ToolRunner.h"

namespace {

using Bytes = std::vector<uint8_t>;
using tool_test::kEarlierFilm;
using testing_support::Le32;
using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

// What a refused image's line ends with.
const char* const kMessages[] = {"...broken\r\n",       "...Is Not Bitmap File(",  "...brokeninfo\r\n",
                                 "...Index Color Not Supported\r\n", "...Not 8bit Uncompressed Bitmap(",
                                 "...brokencolormap(",  "...brokendata(",     "RLE8 Error "};

class HostileTool : public ::testing::Test {
protected:
    // Runs the tool on one image; returns a description of what went wrong, or "".
    std::string Try(const Bytes& image, robust_tests::Tally& tally) {
        const std::wstring film = out_.File(L"a.nxl");
        if (!WriteFileBytes(film, kEarlierFilm) || !WriteFileBytes(images_.File(L"a0000000.bmp"), image))
            return "cannot write the files";
        const tool_test::ToolRun run = tool_test::RunTool({images_.path(), L"a"}, out_.path(), 10000);
        tally.Count(run.exitCode == 0 ? "films made" : "exit " + std::to_string(run.exitCode));
        if (run.exitCode == 0) return FilmProblem(ReadFileBytes(film));
        if (run.exitCode != 1) return "exit code " + std::to_string(run.exitCode) + ", output " + run.out + run.err;
        const bool known = std::any_of(std::begin(kMessages), std::end(kMessages), [&](const char* m) {
            return run.out.find(m) != std::string::npos;
        });
        if (!known || !run.err.empty()) return "unclear message: " + run.out + run.err;
        if (ReadFileBytes(film) != kEarlierFilm) return "the earlier film changed";
        if (out_.Files().size() != 1) return "a file was left beside the film";
        return "";
    }

    // A film of the one image: header, one entry right behind it, a stream
    // that fills the rest of the file and ends as every stream does.
    static std::string FilmProblem(const Bytes& film) {
        if (film.size() < 28 || Le32(film, 4) != 1 || Le32(film, 16) != 8) return "a film without one frame";
        if (Le32(film, 20) != 28 || Le32(film, 24) != film.size() - 28) return "a matrix that does not fit";
        const testing_support::DecodedFrame frame = testing_support::DecodeRle8(
            film.data() + 28, film.size() - 28, std::max<int32_t>(1, static_cast<int32_t>(Le32(film, 8))), 1);
        if (!frame.ended || frame.used != film.size() - 28) return "a stream that does not end";
        return "";
    }

    ScratchDir images_;
    ScratchDir out_;
};

// 13 x 4 pixels, two runs to a row, so the frame compresses; each row
// carries three fill bytes.
Bytes GoodImage() {
    Bytes pixels(13 * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i % 13 < 6 ? 0 : 64 * (i / 13));
    return testing_support::MakeBmp8(13, 4, pixels);
}

TEST_F(HostileTool, AnyHeaderByteChanged) {
    const Bytes good = GoodImage();
    robust_tests::Tally tally("tool header bytes");
    ASSERT_EQ("", Try(good, tally));
    ASSERT_NE(kEarlierFilm, ReadFileBytes(out_.File(L"a.nxl"))) << "the image as written makes a film";
    // bfType, bfSize, bfOffBits, biWidth, biHeight, biBitCount, biCompression, biClrUsed.
    for (size_t at : robust_tests::Positions(54, {0, 1, 2, 5, 10, 18, 21, 22, 25, 28, 30, 46})) {
        const std::vector<uint8_t> values =
            robust_tests::FullSweep() ? std::vector<uint8_t>{0x00, 0xFF, static_cast<uint8_t>(good[at] ^ 0x80)}
                                      : std::vector<uint8_t>{at % 2 ? uint8_t{0xFF} : uint8_t{0x00}};
        for (uint8_t value : values) {
            if (value == good[at]) continue;
            Bytes bad = good;
            bad[at] = value;
            EXPECT_EQ("", Try(bad, tally)) << "byte " << at << " = " << int{value};
        }
    }
}

TEST_F(HostileTool, FileCutAtAnyLength) {
    const Bytes good = GoodImage();
    robust_tests::Tally tally("tool cuts");
    std::vector<size_t> lengths = {0, 1, 13, 14, 30, 53, 54, 500, 1077, 1078, good.size() - 1};
    if (robust_tests::FullSweep()) {
        lengths.clear();
        for (size_t n = 0; n < good.size(); n += n < 60 || n > 1070 ? 1 : 16) lengths.push_back(n);
    }
    for (size_t length : lengths)
        EXPECT_EQ("", Try(Bytes(good.begin(), good.begin() + length), tally)) << "cut at " << length;
}

}  // namespace
