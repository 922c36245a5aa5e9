// Builds Noxel films in memory for the tests: grey pictures become RLE8
// streams of whole rows (the form the encoder writes), laid out behind a
// header and an offset matrix. Deliberately separate from the product's
// encoder, so tests of the reader and the engines do not rest on it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/LittleEndian.h"

namespace testing_support {

// Grey levels as the encoder stores them: its white is 252, not 255.
constexpr uint8_t kFilmWhite = 252;
constexpr uint8_t kFilmBlack = 0;

// A grey-level picture. Coordinates are as on screen (y = 0 is the top
// row); pixels() holds the rows bottom row first, as a film does.
class GreyPicture {
public:
    GreyPicture(int32_t width, int32_t height, uint8_t fill = kFilmBlack);

    // Paints columns [left, right) of rows [top, bottom), clipped.
    void Fill(int left, int top, int right, int bottom, uint8_t value);
    // Paints the disc of the given centre and radius, clipped.
    void FillDisc(int centreX, int centreY, int radius, uint8_t value);
    uint8_t At(int x, int y) const;

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    const std::vector<uint8_t>& pixels() const { return pixels_; }

private:
    int32_t width_;
    int32_t height_;
    std::vector<uint8_t> pixels_;
};

// A white figure (head and body) on black that walks to the right as
// `step` grows: something that looks like a frame of a real film.
GreyPicture Silhouette(int32_t width, int32_t height, uint32_t step);

// Frame `step` of a film whose every pixel differs from the same pixel of
// the frame before.
GreyPicture Stripes(int32_t width, int32_t height, uint32_t step);

// The RLE8 stream of a whole picture: runs of 1 to 255 pixels that never
// cross a row's end, 00 00 after every row, then 00 00 00 01.
std::vector<uint8_t> EncodeWholeRows(const GreyPicture& picture);

class FilmBuilder {
public:
    FilmBuilder(int32_t width, int32_t height) : width_(width), height_(height) {}

    // Appends a frame encoded from `picture` (of the film's size).
    FilmBuilder& Add(const GreyPicture& picture);
    // Appends a frame whose stream is taken as it is.
    FilmBuilder& AddStream(std::vector<uint8_t> stream);
    FilmBuilder& BitCount(uint32_t bitCount);

    size_t FrameCount() const { return streams_.size(); }
    const std::vector<uint8_t>& Stream(size_t index) const { return streams_[index]; }
    // File position of frame `index`'s stream in Bytes().
    uint32_t OffsetOf(size_t index) const;

    // The whole film: header, offset matrix, streams back to back.
    std::vector<uint8_t> Bytes() const;
    bool Write(const std::wstring& path) const;

private:
    int32_t width_;
    int32_t height_;
    uint32_t bitCount_ = 8;
    std::vector<std::vector<uint8_t>> streams_;
};

}  // namespace testing_support
