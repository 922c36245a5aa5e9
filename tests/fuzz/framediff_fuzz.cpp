// Fuzz target: the changed region between two frames of any bytes. The input
// is a width, a height, the length of the first stream, then the first and
// the second stream. Checked against the test decoder: a comparison is made
// exactly when both streams reach their end code and cover every pixel, and
// then every pixel that differs lies in one of a few rectangles inside the
// picture and apart from each other, and every window pixel that samples a changed film pixel lies in
// its destination rectangle.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/Rle8Decoder.h"
#include "engines/FrameDiff.h"
#include "fuzz/Require.h"

namespace {

// Whether the stream reaches 00 01 and writes every pixel: decoded with two
// different values for pixels it never reaches, both give the same picture.
bool Complete(const uint8_t* stream, size_t size, int32_t width, int32_t height,
              std::vector<uint8_t>* pixels) {
    const auto a = testing_support::DecodeRle8(stream, size, width, height, 0xA5);
    const auto b = testing_support::DecodeRle8(stream, size, width, height, 0x5A);
    *pixels = a.pixels;
    return a.ended && a.pixels == b.pixels;
}

bool Inside(const FilmRect& r, int32_t x, int32_t y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const int32_t width = data[0] % 40 + 1, height = data[1] % 24 + 1;
    const size_t rest = size - 4;
    const size_t firstSize = std::min<size_t>(data[2] | data[3] << 8, rest);
    const uint8_t* first = data + 4;
    const uint8_t* second = first + firstSize;
    const size_t secondSize = rest - firstSize;

    FrameDiff diff;
    std::vector<FilmRect> changed;
    Require(!diff.Compare(first, uint32_t(firstSize), width, height, &changed) && changed.empty());
    diff.Accept();
    const bool compared = diff.Compare(second, uint32_t(secondSize), width, height, &changed);

    std::vector<uint8_t> a, b;
    const bool firstComplete = Complete(first, firstSize, width, height, &a);
    const bool secondComplete = Complete(second, secondSize, width, height, &b);
    const bool complete = firstComplete && secondComplete;
    Require(compared == complete);
    if (!compared) return 0;

    Require(changed.size() <= FrameDiff::kMaxRects);
    for (size_t i = 0; i < changed.size(); ++i) {
        const FilmRect& r = changed[i];
        Require(0 <= r.left && r.left < r.right && r.right <= width && 0 <= r.top && r.top < r.bottom &&
                r.bottom <= height);
        // Apart, so that an engine may draw each one over what it holds.
        for (size_t j = i + 1; j < changed.size(); ++j) {
            const FilmRect& o = changed[j];
            Require(r.right <= o.left || o.right <= r.left || r.bottom <= o.top || o.bottom <= r.top);
        }
    }
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const size_t at = size_t(y) * width + x;
            if (a[at] == b[at]) continue;
            const int32_t top = height - 1 - y;  // rows counted from the top
            Require(std::any_of(changed.begin(), changed.end(), [&](const FilmRect& r) { return Inside(r, x, top); }));
        }
    }

    // Window sizes larger and smaller than the film; a window pixel samples
    // the film pixel under its centre.
    const int32_t sizes[][2] = {{97, 61}, {13, 7}, {width, height}};
    for (const auto& dest : sizes) {
        for (const FilmRect& r : changed) {
            const FilmRect d = DestinationRect(r, width, height, dest[0], dest[1], 0);
            Require(0 <= d.left && d.left < d.right && d.right <= dest[0] && 0 <= d.top && d.top < d.bottom &&
                    d.bottom <= dest[1]);
            for (int32_t dy = 0; dy < dest[1]; ++dy) {
                for (int32_t dx = 0; dx < dest[0]; ++dx) {
                    const int32_t fx = int32_t((int64_t(dx) * 2 + 1) * width / (int64_t(dest[0]) * 2));
                    const int32_t fy = int32_t((int64_t(dy) * 2 + 1) * height / (int64_t(dest[1]) * 2));
                    if (Inside(r, fx, fy)) Require(Inside(d, dx, dy));
                }
            }
        }
    }
    return 0;
}
