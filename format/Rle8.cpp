// RLE8 frame encoder. Runs are found eight pixels at a time: a silhouette
// frame is mostly long runs of one value, so the scan, not the output,
// sets the speed. The result is byte for byte that of the plain
// pixel-by-pixel encoder (see the tests).
#include "format/Rle8.h"

#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr uint8_t kValueMask = 0xFC;  // frames keep 64 grey levels
constexpr uint64_t kValueMask8 = 0xFCFCFCFCFCFCFCFCull;
constexpr uint64_t kEveryByte = 0x0101010101010101ull;
constexpr size_t kMaxRun = 255;

inline uint64_t Load8(const uint8_t* p) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// Position (0 to 7, in memory order) of the first non-zero byte of `diff`.
inline size_t FirstNonZeroByte(uint64_t diff) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return static_cast<size_t>(__builtin_ctzll(diff)) >> 3;
#else
    uint8_t bytes[8];
    std::memcpy(bytes, &diff, sizeof bytes);
    size_t i = 0;
    while (bytes[i] == 0) ++i;
    return i;
#endif
}

// Length of the run of value `run` that starts at p[0], at most `length`.
inline size_t RunLength(const uint8_t* p, size_t length, uint8_t run) {
    size_t j = 1;
    // Noise and anti-aliased edges give many runs of one pixel: settle
    // them before setting up the word scan.
    if (j < length && (p[j] & kValueMask) != run) return j;
    const uint64_t pattern = run * kEveryByte;
    while (j + 32 <= length) {
        uint64_t diff0 = (Load8(p + j) ^ pattern) & kValueMask8;
        uint64_t diff1 = (Load8(p + j + 8) ^ pattern) & kValueMask8;
        uint64_t diff2 = (Load8(p + j + 16) ^ pattern) & kValueMask8;
        uint64_t diff3 = (Load8(p + j + 24) ^ pattern) & kValueMask8;
        if ((diff0 | diff1 | diff2 | diff3) == 0) {
            j += 32;
            continue;
        }
        if (diff0) return j + FirstNonZeroByte(diff0);
        if (diff1) return j + 8 + FirstNonZeroByte(diff1);
        if (diff2) return j + 16 + FirstNonZeroByte(diff2);
        return j + 24 + FirstNonZeroByte(diff3);
    }
    while (j + 8 <= length) {
        uint64_t diff = (Load8(p + j) ^ pattern) & kValueMask8;
        if (diff) return j + FirstNonZeroByte(diff);
        j += 8;
    }
    while (j < length && (p[j] & kValueMask) == run) ++j;
    return j;
}

// Runs are cut greedily from the left: 600 pixels give 255, 255, 90.
inline uint8_t* EmitRun(uint8_t* out, size_t count, uint8_t value) {
    while (count > kMaxRun) {
        out[0] = static_cast<uint8_t>(kMaxRun);
        out[1] = value;
        out += 2;
        count -= kMaxRun;
    }
    out[0] = static_cast<uint8_t>(count);
    out[1] = value;
    return out + 2;
}

uint8_t* EncodeRow(const uint8_t* row, size_t length, uint8_t* out) {
    size_t x = 0;
    while (x < length) {
        uint8_t value = row[x] & kValueMask;
        size_t count = RunLength(row + x, length - x, value);
        out = EmitRun(out, count, value);
        x += count;
    }
    return out;
}

}  // namespace

void Rle8Encoder::Reserve(uint32_t byteCount, int32_t width) {
    // The worst case: two bytes per pixel, two per whole row, four at the end.
    uint64_t rows = width > 0 ? byteCount / static_cast<uint32_t>(width) : 0;
    uint64_t worst = 2ull * byteCount + 2 * rows + 4;
    // A stream whose length a uint32 cannot tell is as good as no memory.
    if (worst > std::numeric_limits<uint32_t>::max() || worst > std::numeric_limits<size_t>::max())
        throw std::bad_alloc();
    if (worst <= capacity_) return;
    work_.reset();
    capacity_ = 0;
    work_.reset(new uint8_t[static_cast<size_t>(worst)]);
    capacity_ = static_cast<size_t>(worst);
}

uint32_t Rle8Encoder::Encode(const uint8_t* pixels, uint32_t byteCount, int32_t width) {
    Reserve(byteCount, width);
    uint8_t* out = work_.get();
    // A width of 0 or less never completes a row: every pixel then belongs
    // to one partial row.
    const size_t rowLength = width > 0 ? static_cast<size_t>(width) : byteCount;
    size_t done = 0;
    while (done < byteCount) {
        size_t length = rowLength < byteCount - done ? rowLength : byteCount - done;
        out = EncodeRow(pixels + done, length, out);
        if (width > 0 && length == rowLength) {
            out[0] = 0;
            out[1] = 0;
            out += 2;
        }
        done += length;
    }
    const uint8_t end[4] = {0, 0, 0, 1};
    std::memcpy(out, end, sizeof end);
    out += sizeof end;
    size_ = static_cast<uint32_t>(out - work_.get());
    return size_;
}

uint32_t Rle8Encoder::EncodeInPlace(uint8_t* pixels, uint32_t byteCount, int32_t width) {
    uint32_t length = Encode(pixels, byteCount, width);
    if (length <= byteCount) std::memcpy(pixels, work_.get(), length);
    return length;
}

uint32_t EncodeRle8(uint8_t* pixels, uint32_t byteCount, int32_t width) {
    Rle8Encoder encoder;
    return encoder.EncodeInPlace(pixels, byteCount, width);
}
