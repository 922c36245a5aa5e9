// Tests of the encoder tool's image handling on bytes: the header checks in
// their reporting order, rows turned into frame rows, and the fingerprint
// that catches images changed between the passes.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "common/Bmp8Writer.h"
#include "tool/BmpImage.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testing_support::Bmp8Options;
using testing_support::MakeBmp8;

Bytes Ramp(size_t count) {
    Bytes pixels(count);
    for (size_t i = 0; i < count; ++i) pixels[i] = static_cast<uint8_t>(i * 4);
    return pixels;
}

BmpHeadCheck Check(const Bytes& file, size_t size, BmpHead* head) {
    return CheckBmpHead(file.data(), std::min(size, file.size()), head);
}

TEST(BmpHead, GoodImagesGiveTheirFields) {
    Bytes file = MakeBmp8(6, 3, Ramp(18));
    BmpHead head;
    ASSERT_EQ(BmpHeadCheck::Ok, Check(file, file.size(), &head));
    EXPECT_EQ(6, head.width);
    EXPECT_EQ(3, head.height);
    EXPECT_EQ(8u * 3u, head.PixelByteCount());  // rows padded to 8 bytes

    // A file size below the pixels' offset: the count wraps as the file says.
    Bmp8Options lying;
    lying.sizeAdjust = -2000;
    file = MakeBmp8(4, 2, Ramp(8), lying);
    ASSERT_EQ(BmpHeadCheck::Ok, Check(file, file.size(), &head));
    EXPECT_EQ(static_cast<uint32_t>(1078 + 8 - 2000 - 1078), head.PixelByteCount());
}

TEST(BmpHead, FailuresInReportingOrder) {
    BmpHead head;
    Bytes good = MakeBmp8(4, 2, Ramp(8));
    EXPECT_EQ(BmpHeadCheck::Broken, Check(good, 13, &head));
    EXPECT_EQ(BmpHeadCheck::BrokenInfo, Check(good, 53, &head));
    EXPECT_EQ(BmpHeadCheck::BrokenColorMap, Check(good, 1077, &head));
    EXPECT_EQ(BmpHeadCheck::Ok, Check(good, 1078, &head));

    Bytes png = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    EXPECT_EQ(BmpHeadCheck::NotBitmap, Check(png, png.size(), &head));
    EXPECT_EQ(0x5089, head.type);

    Bmp8Options indexed;
    indexed.clrUsed = 256;
    EXPECT_EQ(BmpHeadCheck::IndexColor, Check(MakeBmp8(4, 2, Ramp(8), indexed), 1078, &head));
    // biClrUsed is tested before the depth: a 4-bit image with its 16 colours.
    indexed.clrUsed = 16;
    indexed.bitCount = 4;
    EXPECT_EQ(BmpHeadCheck::IndexColor, Check(MakeBmp8(4, 2, Ramp(8), indexed), 1078, &head));

    Bmp8Options deep;
    deep.bitCount = 24;
    EXPECT_EQ(BmpHeadCheck::NotPlain8Bit, Check(MakeBmp8(4, 2, Ramp(8), deep), 1078, &head));
    EXPECT_EQ(24, head.bitCount);
    Bmp8Options rle;
    rle.compression = 1;
    EXPECT_EQ(BmpHeadCheck::NotPlain8Bit, Check(MakeBmp8(4, 2, Ramp(8), rle), 1078, &head));
    // Checked on the info header, before the colour table is needed.
    EXPECT_EQ(BmpHeadCheck::NotPlain8Bit, Check(MakeBmp8(4, 2, Ramp(8), rle), 60, &head));
}

// The pixel array of a BMP file as the tool reads it.
Bytes PixelArray(int32_t width, int32_t height, const Bytes& rows, bool topDown) {
    Bmp8Options options;
    options.topDown = topDown;
    Bytes file = MakeBmp8(width, height, rows, options);
    return Bytes(file.begin() + kBmpHeadSize, file.end());
}

TEST(ArrangeRows, GivesBottomRowFirstWithoutFillBytes) {
    for (int32_t width : {1, 3, 4, 5, 7, 8}) {
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(testing::Message() << "width " << width << (topDown ? " top-down" : ""));
            const int32_t height = 5;
            Bytes rows = Ramp(static_cast<size_t>(width) * height);
            Bytes array = PixelArray(width, height, rows, topDown);
            uint32_t count = ArrangeRows(array.data(), static_cast<uint32_t>(array.size()), width,
                                         topDown ? -height : height);
            ASSERT_EQ(rows.size(), count);
            EXPECT_EQ(rows, Bytes(array.begin(), array.begin() + count));
        }
    }
}

TEST(ArrangeRows, ArraysThatDoNotMatchTheHeight) {
    // Two bytes more than the rows (some writers pad the file): a bottom-up
    // array keeps them as a partial row, as the encoder is handed it.
    Bytes rows = Ramp(12);
    Bytes array = PixelArray(4, 3, rows, false);
    array.insert(array.end(), {200, 204});
    EXPECT_EQ(14u, ArrangeRows(array.data(), 14, 4, 3));

    // Width 3 (stride 4), two whole rows and a partial one of two bytes.
    Bytes odd = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8};
    EXPECT_EQ(8u, ArrangeRows(odd.data(), static_cast<uint32_t>(odd.size()), 3, 3));
    EXPECT_EQ((Bytes{1, 2, 3, 4, 5, 6, 7, 8}), Bytes(odd.begin(), odd.begin() + 8));

    // A top-down header that claims more rows than the array holds: only
    // the rows present are turned.
    Bytes shortArray = {1, 1, 1, 1, 2, 2, 2, 2};
    EXPECT_EQ(8u, ArrangeRows(shortArray.data(), 8, 4, -10));
    EXPECT_EQ((Bytes{2, 2, 2, 2, 1, 1, 1, 1}), shortArray);

    // No usable row length: everything stays as read.
    Bytes asRead = {9, 8, 7};
    EXPECT_EQ(3u, ArrangeRows(asRead.data(), 3, 0, -1));
    EXPECT_EQ(3u, ArrangeRows(asRead.data(), 3, -5, 2));
    EXPECT_EQ((Bytes{9, 8, 7}), asRead);
}

TEST(ArrangeRows, FilmHeightIsPositive) {
    EXPECT_EQ(360, FilmHeight(360));
    EXPECT_EQ(360, FilmHeight(-360));
    EXPECT_EQ(INT_MAX, FilmHeight(INT_MIN));
}

TEST(FrameFingerprint, ChangesWithAnyPixelOrTheShape) {
    Bytes pixels = Ramp(1000);
    const uint64_t base = FrameFingerprint(pixels.data(), 1000, 40, 25);
    EXPECT_EQ(base, FrameFingerprint(pixels.data(), 1000, 40, 25));
    EXPECT_NE(base, FrameFingerprint(pixels.data(), 1000, 25, 40));
    EXPECT_NE(base, FrameFingerprint(pixels.data(), 1000, 40, -25));
    EXPECT_NE(base, FrameFingerprint(pixels.data(), 999, 40, 25));
    for (size_t at : {0, 7, 8, 500, 999}) {
        Bytes changed = pixels;
        changed[at] ^= 1;
        EXPECT_NE(base, FrameFingerprint(changed.data(), 1000, 40, 25)) << at;
    }
}

}  // namespace
