// Tests of the RLE8 frame encoder: the worked examples of the format, the
// fast encoder against a plain pixel-by-pixel one on random and structured
// input, round trips through a decoder, and the in-place contract.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "common/GreyFrames.h"
#include "common/Rle8Decoder.h"
#include "format/Rle8.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testing_support::DecodeRle8;

// The encoder written the plain way, pixel by pixel, to hold the fast one to.
Bytes ReferenceRle8(const uint8_t* pixels, uint32_t byteCount, int32_t width) {
    Bytes out;
    int64_t column = 0;
    uint8_t run = 0;
    int count = 0;
    for (uint32_t i = 0; i < byteCount; ++i) {
        uint8_t v = pixels[i] & 0xFC;
        if (column == 0) {
            run = v;
            count = 1;
        } else if (v == run) {
            if (count < 255) {
                ++count;
            } else {
                out.insert(out.end(), {0xFF, run});
                count = 1;
            }
        } else {
            out.insert(out.end(), {static_cast<uint8_t>(count), run});
            run = v;
            count = 1;
        }
        if (++column == width) {
            out.insert(out.end(), {static_cast<uint8_t>(count), run, 0, 0});
            column = 0;
            count = 0;
        }
    }
    if (count > 0) out.insert(out.end(), {static_cast<uint8_t>(count), run});
    out.insert(out.end(), {0, 0, 0, 1});
    return out;
}

Bytes ReferenceRle8(const Bytes& pixels, int32_t width) {
    return ReferenceRle8(pixels.data(), static_cast<uint32_t>(pixels.size()), width);
}

// The stream of `pixels`, whether or not it is shorter than them.
Bytes StreamOf(const Bytes& pixels, int32_t width) {
    Rle8Encoder encoder;
    uint32_t length = encoder.Encode(pixels.data(), static_cast<uint32_t>(pixels.size()), width);
    return Bytes(encoder.stream(), encoder.stream() + length);
}

Bytes Repeat(size_t count, uint8_t value) { return Bytes(count, value); }

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Checks the fast encoder against the reference, and the in-place contract:
// the stream over the start of the buffer with the rest as it was, or on
// failure the buffer untouched.
void ExpectSameAsReference(const Bytes& pixels, int32_t width) {
    SCOPED_TRACE(testing::Message() << "bytes " << pixels.size() << ", width " << width);
    const Bytes expected = ReferenceRle8(pixels, width);

    Rle8Encoder encoder;
    uint32_t length = encoder.Encode(pixels.data(), static_cast<uint32_t>(pixels.size()), width);
    ASSERT_EQ(expected, Bytes(encoder.stream(), encoder.stream() + length));

    Bytes buffer = pixels;
    ASSERT_EQ(length, EncodeRle8(buffer.data(), static_cast<uint32_t>(buffer.size()), width));
    if (length <= pixels.size()) {
        ASSERT_EQ(expected, Bytes(buffer.begin(), buffer.begin() + length));
        ASSERT_TRUE(std::equal(buffer.begin() + length, buffer.end(), pixels.begin() + length));
    } else {
        ASSERT_EQ(pixels, buffer);
    }
}

TEST(Rle8Examples, WorkedStreams) {
    // Bottom row 8 x 0, top row 4 x 255 then 4 x 0.
    EXPECT_EQ((Bytes{8, 0, 0, 0, 4, 0xFC, 4, 0, 0, 0, 0, 0, 0, 1}),
              StreamOf(Concat({Repeat(8, 0), Repeat(4, 255), Repeat(4, 0)}), 8));
    EXPECT_EQ((Bytes{0xFF, 4, 0x2D, 4, 0, 0, 0, 0, 0, 1}), StreamOf(Repeat(300, 7), 300));
    // Two and a half rows: the partial row has no end of row of its own.
    EXPECT_EQ((Bytes{8, 0, 0, 0, 8, 0, 0, 0, 4, 0, 0, 0, 0, 1}), StreamOf(Repeat(20, 0), 8));
    // Runs are cut greedily from the left.
    EXPECT_EQ((Bytes{0xFF, 8, 0xFF, 8, 0x5A, 8, 0, 0, 0, 0, 0, 1}), StreamOf(Repeat(600, 8), 600));
    EXPECT_EQ((Bytes{0xFF, 8, 0xFF, 8, 0, 0, 0, 0, 0, 1}), StreamOf(Repeat(510, 8), 510));
    // The two low bits are cleared.
    EXPECT_EQ((Bytes{4, 0, 4, 0xFC, 0, 0, 0, 0, 0, 1}), StreamOf({0, 1, 2, 3, 252, 253, 254, 255}, 8));
    // Runs never cross rows: row 0 ends with 9, row 1 begins with 9.
    EXPECT_EQ((Bytes{1, 4, 2, 36, 0, 0, 2, 36, 1, 20, 0, 0, 0, 0, 0, 1}),
              StreamOf({1 << 2, 9 << 2, 9 << 2, 9 << 2, 9 << 2, 5 << 2}, 3));
}

TEST(Rle8Examples, InPlaceOnlyWhenTheStreamIsNoLongerThanTheInput) {
    Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(16u, EncodeRle8(pixels.data(), 8, 4));
    EXPECT_EQ((Bytes{1, 2, 3, 4, 5, 6, 7, 8}), pixels);

    // The tool's report needs the stream of a frame that failed.
    Rle8Encoder encoder;
    EXPECT_EQ(16u, encoder.EncodeInPlace(pixels.data(), 8, 4));
    EXPECT_EQ((Bytes{3, 0, 1, 4, 0, 0, 3, 4, 1, 8, 0, 0, 0, 0, 0, 1}),
              Bytes(encoder.stream(), encoder.stream() + encoder.size()));
    EXPECT_EQ((Bytes{1, 2, 3, 4, 5, 6, 7, 8}), pixels);

    // An empty frame still needs its four end bytes.
    EXPECT_EQ(4u, EncodeRle8(nullptr, 0, 8));
    EXPECT_EQ(4u, encoder.Encode(nullptr, 0, 8));
    EXPECT_EQ((Bytes{0, 0, 0, 1}), Bytes(encoder.stream(), encoder.stream() + 4));

    // Four rows of five equal pixels: four runs with their ends of row and
    // the end of frame make 4 x 4 + 4 = 20 bytes, as many as the pixels.
    pixels = Repeat(20, 40);
    EXPECT_EQ(20u, EncodeRle8(pixels.data(), 20, 5));
    EXPECT_EQ((Bytes{5, 40, 0, 0, 5, 40, 0, 0, 5, 40, 0, 0, 5, 40, 0, 0, 0, 0, 0, 1}), pixels);
}

TEST(Rle8MatchesReference, RandomBytesAndWidths) {
    std::mt19937 random(1234);
    for (int round = 0; round < 400; ++round) {
        size_t size = random() % 700;
        Bytes pixels = testing_support::Noise(size, static_cast<uint32_t>(round));
        // Few distinct values make runs of every length.
        if (round % 2) for (auto& p : pixels) p = static_cast<uint8_t>((p % 3) * 4 + (p & 3));
        int32_t width = static_cast<int32_t>(random() % 40) - 3;  // 0 and negative included
        if (round % 5 == 0) width = static_cast<int32_t>(size + random() % 3);
        ExpectSameAsReference(pixels, width);
    }
}

TEST(Rle8MatchesReference, RunsAroundWordAndRunLimits) {
    // Runs whose ends fall on every position of the 8- and 16-byte scans,
    // and lengths around the 255 limit, one row or several.
    std::mt19937 random(99);
    for (size_t first : {1, 2, 7, 8, 9, 15, 16, 17, 31, 33, 254, 255, 256, 509, 510, 511, 765, 766}) {
        for (size_t second : {1, 3, 8, 16, 24, 255, 300}) {
            Bytes pixels = Concat({Repeat(first, 200), Repeat(second, 203), Repeat(5, 100)});
            pixels[random() % pixels.size()] ^= 3;  // a change in the cleared bits only
            ExpectSameAsReference(pixels, static_cast<int32_t>(pixels.size()));
            ExpectSameAsReference(pixels, 64);
            ExpectSameAsReference(pixels, 255);
            ExpectSameAsReference(pixels, 1);
        }
    }
}

TEST(Rle8MatchesReference, SilhouetteFrames) {
    for (uint32_t seed = 0; seed < 6; ++seed) {
        Bytes frame = testing_support::SmoothSilhouette(480, 360, seed);
        ExpectSameAsReference(frame, 480);
        ExpectSameAsReference(Bytes(frame.begin(), frame.begin() + 480 * 17 + 123), 480);
    }
    ExpectSameAsReference(testing_support::SmoothSilhouette(1920, 1080, 7), 1920);
}

TEST(Rle8MatchesReference, EncoderReusedAcrossSizes) {
    // A work area kept from a larger frame must not leak into a smaller one.
    Rle8Encoder encoder;
    Bytes big = testing_support::Noise(5000, 1);
    Bytes small = testing_support::SmoothSilhouette(64, 16, 2);
    for (const Bytes* pixels : {&big, &small, &big, &small}) {
        uint32_t length = encoder.Encode(pixels->data(), static_cast<uint32_t>(pixels->size()), 64);
        EXPECT_EQ(ReferenceRle8(*pixels, 64), Bytes(encoder.stream(), encoder.stream() + length));
    }
}

TEST(Rle8RoundTrip, WholeRowsDecodeToTheClearedPixels) {
    struct Case {
        int32_t width, height;
        Bytes pixels;
    };
    std::vector<Case> cases = {
        {480, 360, testing_support::SmoothSilhouette(480, 360, 11)},
        {1, 7, {0, 4, 8, 12, 252, 255, 3}},
        {300, 2, Concat({Repeat(300, 9), Repeat(299, 200), Repeat(1, 0)})},
        {37, 29, testing_support::Noise(37 * 29, 5)},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        Rle8Encoder encoder;
        uint32_t length = encoder.Encode(c.pixels.data(), static_cast<uint32_t>(c.pixels.size()), c.width);
        auto frame = DecodeRle8(encoder.stream(), length, c.width, c.height);
        EXPECT_TRUE(frame.ended);
        EXPECT_EQ(length, frame.used);  // decoding stops exactly at the end
        Bytes cleared = c.pixels;
        for (auto& p : cleared) p &= 0xFC;
        EXPECT_EQ(cleared, frame.pixels);
        // The last six bytes: end of the top row, one more row up, end of frame.
        EXPECT_EQ((Bytes{0, 0, 0, 0, 0, 1}), Bytes(encoder.stream() + length - 6, encoder.stream() + length));
    }
}

}  // namespace
