// Byte-level handling of the encoder's BMP images; see BmpImage.h.
#include "tool/BmpImage.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t ReadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

BmpHeadCheck CheckBmpHead(const uint8_t* bytes, size_t size, BmpHead* head) {
    *head = BmpHead();
    if (size < kBmpFileHeaderSize) return BmpHeadCheck::Broken;
    head->type = ReadU16(bytes);
    head->fileSize = ReadU32(bytes + 2);
    head->offBits = ReadU32(bytes + 10);
    if (head->type != kBmpType) return BmpHeadCheck::NotBitmap;

    if (size < kBmpFileHeaderSize + kBmpInfoHeaderSize) return BmpHeadCheck::BrokenInfo;
    const uint8_t* info = bytes + kBmpFileHeaderSize;
    head->width = static_cast<int32_t>(ReadU32(info + 4));
    head->height = static_cast<int32_t>(ReadU32(info + 8));
    head->bitCount = ReadU16(info + 14);
    head->compression = ReadU32(info + 16);
    head->clrUsed = ReadU32(info + 32);
    if (head->clrUsed != 0) return BmpHeadCheck::IndexColor;
    if (head->bitCount != 8 || head->compression != kBmpRgb) return BmpHeadCheck::NotPlain8Bit;

    if (size < kBmpHeadSize) return BmpHeadCheck::BrokenColorMap;
    return BmpHeadCheck::Ok;
}

uint32_t ArrangeRows(uint8_t* pixels, uint32_t byteCount, int32_t width, int32_t height) {
    if (width <= 0) return byteCount;  // no row shape to work with: encoded as read
    const size_t rowBytes = static_cast<size_t>(width);
    const size_t stride = (rowBytes + 3) & ~static_cast<size_t>(3);
    const size_t wholeRows = byteCount / stride;

    if (height < 0) {
        // Only rows the array really holds are turned; bytes past them stay behind.
        size_t rows = std::min<size_t>(wholeRows, static_cast<size_t>(-static_cast<int64_t>(height)));
        for (size_t top = 0, bottom = rows; top + 1 < bottom; ++top, --bottom)
            std::swap_ranges(pixels + top * stride, pixels + (top + 1) * stride, pixels + (bottom - 1) * stride);
    }
    if (stride == rowBytes) return byteCount;

    // Moving each row down to its packed place never overwrites a row not yet moved.
    for (size_t row = 1; row < wholeRows; ++row)
        std::memmove(pixels + row * rowBytes, pixels + row * stride, rowBytes);
    size_t tail = std::min<size_t>(byteCount - wholeRows * stride, rowBytes);
    std::memmove(pixels + wholeRows * rowBytes, pixels + wholeRows * stride, tail);
    return static_cast<uint32_t>(wholeRows * rowBytes + tail);
}

int32_t FilmHeight(int32_t bmpHeight) {
    if (bmpHeight >= 0) return bmpHeight;
    if (bmpHeight == std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::max();
    return -bmpHeight;
}

uint64_t FrameFingerprint(const uint8_t* pixels, uint32_t byteCount, int32_t width, int32_t height) {
    // Word-wise multiply-xorshift: not a cryptographic hash, only a guard
    // against frames that were edited or replaced while the tool ran.
    const uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    uint64_t hash = (static_cast<uint64_t>(static_cast<uint32_t>(width)) << 32 |
                     static_cast<uint32_t>(height)) ^ byteCount;
    auto mix = [&](uint64_t word) {
        hash = (hash ^ word) * kMultiplier;
        hash ^= hash >> 29;
    };
    mix(0);
    size_t i = 0;
    for (; i + 8 <= byteCount; i += 8) {
        uint64_t word;
        std::memcpy(&word, pixels + i, sizeof word);
        mix(word);
    }
    uint64_t tail = 0;
    for (size_t shift = 0; i < byteCount; ++i, shift += 8) tail |= static_cast<uint64_t>(pixels[i]) << shift;
    mix(tail);
    return hash;
}
