// A decoder of RLE8 frame streams for the tests, written from the decoding
// rules every film decoder follows: runs, end of row, end of frame, moves and
// literal runs; pixels outside the picture are skipped and nothing past the
// stream's end is read. Portable, header only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testing_support {

struct DecodedFrame {
    std::vector<uint8_t> pixels;  // width x height, bottom row first
    bool ended = false;           // 00 01 was reached
    size_t used = 0;              // stream bytes read, 00 01 included
};

// Pixels the stream never reaches keep `untouched`.
inline DecodedFrame DecodeRle8(const uint8_t* stream, size_t size, int32_t width, int32_t height,
                               uint8_t untouched = 0xA5) {
    DecodedFrame frame;
    const int64_t w = width > 0 ? width : 0;
    const int64_t h = height > 0 ? height : 0;
    frame.pixels.assign(static_cast<size_t>(w * h), untouched);
    auto put = [&](int64_t x, int64_t y, uint8_t value) {
        if (x >= 0 && x < w && y >= 0 && y < h) frame.pixels[static_cast<size_t>(y * w + x)] = value;
    };
    int64_t x = 0, y = 0;
    size_t at = 0;
    while (at + 2 <= size) {
        uint8_t a = stream[at], b = stream[at + 1];
        at += 2;
        if (a > 0) {
            for (int i = 0; i < a; ++i) put(x + i, y, b);
            x += a;
        } else if (b == 0) {
            x = 0;
            ++y;
        } else if (b == 1) {
            frame.ended = true;
            break;
        } else if (b == 2) {
            if (at + 2 > size) break;
            x += stream[at];
            y += stream[at + 1];
            at += 2;
        } else {
            size_t padded = b + (b & 1);
            if (at + b > size) break;
            for (int i = 0; i < b; ++i) put(x + i, y, stream[at + i]);
            x += b;
            at += padded > size - at ? size - at : padded;
        }
    }
    frame.used = at;
    return frame;
}

inline DecodedFrame DecodeRle8(const std::vector<uint8_t>& stream, int32_t width, int32_t height,
                               uint8_t untouched = 0xA5) {
    return DecodeRle8(stream.data(), stream.size(), width, height, untouched);
}

}  // namespace testing_support
