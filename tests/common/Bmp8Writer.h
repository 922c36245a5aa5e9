// Writes 8-bit BMP images as the encoder tool reads them: 14-byte file
// header, 40-byte info header, 256 grey colour-table entries, then rows
// padded to four bytes. Options make the variants the tool must refuse or
// handle. Portable, header only; the demo frame generator uses it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/LittleEndian.h"

namespace testing_support {

struct Bmp8Options {
    bool topDown = false;        // rows top row first, negative biHeight
    uint16_t bitCount = 8;       // written as is; the pixels stay one byte each
    uint32_t compression = 0;    // BI_RGB
    uint32_t clrUsed = 0;
    int32_t sizeAdjust = 0;      // added to bfSize, for headers that lie
};

// `rows` holds width x height pixels, bottom row first, without padding.
inline std::vector<uint8_t> MakeBmp8(int32_t width, int32_t height, const std::vector<uint8_t>& rows,
                                     const Bmp8Options& options = Bmp8Options()) {
    const size_t stride = (static_cast<size_t>(width) + 3) & ~static_cast<size_t>(3);
    const size_t headSize = 14 + 40 + 1024;
    std::vector<uint8_t> bytes(headSize + stride * static_cast<size_t>(height), 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    PutLe(bytes, 2, static_cast<uint32_t>(bytes.size() + options.sizeAdjust), 4);
    PutLe(bytes, 10, static_cast<uint32_t>(headSize), 4);
    PutLe(bytes, 14, 40, 4);
    PutLe(bytes, 18, static_cast<uint32_t>(width), 4);
    PutLe(bytes, 22, static_cast<uint32_t>(options.topDown ? -height : height), 4);
    PutLe(bytes, 26, 1, 2);
    PutLe(bytes, 28, options.bitCount, 2);
    PutLe(bytes, 30, options.compression, 4);
    PutLe(bytes, 34, static_cast<uint32_t>(stride * static_cast<size_t>(height)), 4);
    PutLe(bytes, 46, options.clrUsed, 4);
    for (uint32_t v = 0; v < 256; ++v) PutLe(bytes, 54 + 4 * v, v << 16 | v << 8 | v, 4);
    for (int32_t y = 0; y < height; ++y) {
        int32_t fileRow = options.topDown ? height - 1 - y : y;
        for (int32_t x = 0; x < width; ++x)
            bytes[headSize + stride * fileRow + x] = rows[static_cast<size_t>(y) * width + x];
    }
    return bytes;
}

}  // namespace testing_support
