// RLE8 compression of one frame, as every Noxel film stores it: runs of
// equal grey levels (low two bits cleared) that never cross a row's end,
// 00 00 after every whole row, 00 00 00 01 at the end.
#pragma once

#include <cstdint>
#include <memory>

// Compresses byteCount pixels, `width` to a row, and writes the stream over
// the start of `pixels`. Returns the stream's length. When that length is
// greater than byteCount the buffer is left as it was: the frame does not
// compress. Throws std::bad_alloc when no work area can be had.
uint32_t EncodeRle8(uint8_t* pixels, uint32_t byteCount, int32_t width);

// The same encoder with a work area that is kept between frames, and a
// stream that stays readable after a frame fails to compress (the encoder
// tool prints it).
class Rle8Encoder {
public:
    Rle8Encoder() = default;
    Rle8Encoder(const Rle8Encoder&) = delete;
    Rle8Encoder& operator=(const Rle8Encoder&) = delete;

    // Builds the stream of `pixels` in the work area; the input is untouched.
    // Returns the stream's length. Throws std::bad_alloc.
    uint32_t Encode(const uint8_t* pixels, uint32_t byteCount, int32_t width);

    // Encode(), then the stream is copied over `pixels` when it is not longer
    // than byteCount; the contract of EncodeRle8.
    uint32_t EncodeInPlace(uint8_t* pixels, uint32_t byteCount, int32_t width);

    // The stream of the last Encode(), whether it compressed or not.
    const uint8_t* stream() const { return work_.get(); }
    uint32_t size() const { return size_; }

private:
    void Reserve(uint32_t byteCount, int32_t width);

    std::unique_ptr<uint8_t[]> work_;
    size_t capacity_ = 0;
    uint32_t size_ = 0;
};
