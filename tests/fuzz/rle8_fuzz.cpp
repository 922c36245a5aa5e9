// Fuzz target: EncodeRle8 on any pixels and row length, checked against the
// test decoder (the stream gives back every pixel with its two low bits
// cleared) and against the form every stream has: runs of 1 to 255 cut
// greedily within a row, 00 00 after whole rows, 00 00 00 01 at the end.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "common/Rle8Decoder.h"
#include "format/Rle8.h"
#include "fuzz/Require.h"

namespace {

// Walks the stream code by code; runs must cover each row exactly.
void RequireEncoderForm(const uint8_t* stream, uint32_t length, uint32_t byteCount, int32_t width) {
    Require(length >= 4 && length % 2 == 0);
    Require(std::memcmp(stream + length - 4, "\0\0\0\1", 4) == 0);
    const uint64_t rowLength = width > 0 ? static_cast<uint64_t>(width) : byteCount;
    uint64_t column = 0, covered = 0;
    int lastRun = -1;  // length of the previous run in this row, -1 at a row's start
    int lastValue = -1;
    for (uint32_t at = 0; at + 4 < length; at += 2) {
        const uint8_t count = stream[at], value = stream[at + 1];
        if (count == 0) {
            Require(value == 0 && width > 0 && column == rowLength);  // only whole rows end
            column = 0;
            lastRun = -1;
            continue;
        }
        Require((value & 3) == 0);
        // A run follows one of the same value only when that one was full.
        if (lastRun >= 0 && value == lastValue) Require(lastRun == 255);
        column += count;
        covered += count;
        Require(column <= rowLength);
        lastRun = count;
        lastValue = value;
    }
    Require(covered == byteCount);
    if (width > 0) Require(column < rowLength);  // a whole last row has its 00 00
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first two bytes are the row length, negative and zero included.
    const int32_t width = static_cast<int16_t>(data[0] | data[1] << 8);
    const uint32_t byteCount = static_cast<uint32_t>(size - 2);
    std::unique_ptr<uint8_t[]> pixels(new uint8_t[byteCount ? byteCount : 1]);
    if (byteCount) std::memcpy(pixels.get(), data + 2, byteCount);

    Rle8Encoder encoder;
    const uint32_t length = encoder.Encode(pixels.get(), byteCount, width);
    RequireEncoderForm(encoder.stream(), length, byteCount, width);

    // Decoded at the stream's own row length, with room for a partial last row.
    const int32_t rowLength = width > 0 ? width : static_cast<int32_t>(byteCount > 0 ? byteCount : 1);
    const int32_t rows = static_cast<int32_t>((byteCount + rowLength - 1) / rowLength);
    std::vector<uint8_t> stream(encoder.stream(), encoder.stream() + length);
    const testing_support::DecodedFrame frame = testing_support::DecodeRle8(stream, rowLength, rows);
    Require(frame.ended && frame.used == length);
    for (uint32_t i = 0; i < byteCount; ++i) Require(frame.pixels[i] == (pixels[i] & 0xFC));
    for (size_t i = byteCount; i < frame.pixels.size(); ++i) Require(frame.pixels[i] == 0xA5);

    // In place: the stream over the pixels when it is not longer, else nothing touched.
    std::unique_ptr<uint8_t[]> inPlace(new uint8_t[byteCount ? byteCount : 1]);
    if (byteCount) std::memcpy(inPlace.get(), pixels.get(), byteCount);
    Require(EncodeRle8(inPlace.get(), byteCount, width) == length);
    if (length <= byteCount) Require(std::memcmp(inPlace.get(), stream.data(), length) == 0);
    else Require(byteCount == 0 || std::memcmp(inPlace.get(), pixels.get(), byteCount) == 0);
    return 0;
}
