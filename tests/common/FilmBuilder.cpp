#include "common/FilmBuilder.h"

#include <algorithm>

#include "common/TestSupport.h"
#include "format/AnimationFormat.h"

namespace testing_support {

GreyPicture::GreyPicture(int32_t width, int32_t height, uint8_t fill)
    : width_(width), height_(height),
      pixels_(static_cast<size_t>(width) * static_cast<size_t>(height), fill) {}

void GreyPicture::Fill(int left, int top, int right, int bottom, uint8_t value) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, width_);
    bottom = std::min(bottom, height_);
    for (int y = top; y < bottom; ++y) {
        uint8_t* row = &pixels_[static_cast<size_t>(height_ - 1 - y) * width_];
        std::fill(row + left, row + std::max(left, right), value);
    }
}

void GreyPicture::FillDisc(int centreX, int centreY, int radius, uint8_t value) {
    for (int y = centreY - radius; y <= centreY + radius; ++y) {
        for (int x = centreX - radius; x <= centreX + radius; ++x) {
            int dx = x - centreX, dy = y - centreY;
            if (dx * dx + dy * dy <= radius * radius) Fill(x, y, x + 1, y + 1, value);
        }
    }
}

uint8_t GreyPicture::At(int x, int y) const {
    return pixels_[static_cast<size_t>(height_ - 1 - y) * width_ + x];
}

GreyPicture Stripes(int32_t width, int32_t height, uint32_t step) {
    GreyPicture picture(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            picture.Fill(x, y, x + 1, y + 1, static_cast<uint8_t>(((x + y + step) % 3) * 84 + (step % 2) * 40));
    return picture;
}

GreyPicture Silhouette(int32_t width, int32_t height, uint32_t step) {
    GreyPicture picture(width, height, kFilmBlack);
    const int unit = std::max(2, static_cast<int>(height) / 16);
    const int x = static_cast<int>((width / 6 + step * 4) % static_cast<uint32_t>(std::max(1, width)));
    const int ground = height - unit;
    const int phase = static_cast<int>(step % 8);
    const int swing = (phase < 4 ? phase : 8 - phase) * unit / 2;  // 0 to 2 units and back
    picture.Fill(0, ground, width, height, kFilmWhite);                                   // floor
    picture.FillDisc(x, ground - 10 * unit, unit * 3 / 2, kFilmWhite);                     // head
    picture.Fill(x - unit, ground - 8 * unit, x + unit, ground - 4 * unit, kFilmWhite);    // body
    picture.Fill(x - 3 * unit, ground - 8 * unit, x + 3 * unit, ground - 7 * unit, kFilmWhite);  // arms
    picture.Fill(x - unit - swing, ground - 4 * unit, x - swing, ground, kFilmWhite);      // legs
    picture.Fill(x + swing, ground - 4 * unit, x + unit + swing, ground, kFilmWhite);
    return picture;
}

std::vector<uint8_t> EncodeWholeRows(const GreyPicture& picture) {
    std::vector<uint8_t> stream;
    const uint8_t* row = picture.pixels().data();
    for (int32_t y = 0; y < picture.height(); ++y, row += picture.width()) {
        int32_t x = 0;
        while (x < picture.width()) {
            uint8_t value = row[x];
            int32_t run = 1;
            while (x + run < picture.width() && run < 255 && row[x + run] == value) ++run;
            stream.push_back(static_cast<uint8_t>(run));
            stream.push_back(value);
            x += run;
        }
        stream.push_back(0);
        stream.push_back(0);
    }
    stream.insert(stream.end(), {0, 0, 0, 1});
    return stream;
}

FilmBuilder& FilmBuilder::Add(const GreyPicture& picture) {
    streams_.push_back(EncodeWholeRows(picture));
    return *this;
}

FilmBuilder& FilmBuilder::AddStream(std::vector<uint8_t> stream) {
    streams_.push_back(std::move(stream));
    return *this;
}

FilmBuilder& FilmBuilder::BitCount(uint32_t bitCount) {
    bitCount_ = bitCount;
    return *this;
}

uint32_t FilmBuilder::OffsetOf(size_t index) const {
    size_t offset = kAnimationHeaderSize + kOffsetEntrySize * streams_.size();
    for (size_t i = 0; i < index; ++i) offset += streams_[i].size();
    return static_cast<uint32_t>(offset);
}

std::vector<uint8_t> FilmBuilder::Bytes() const {
    std::vector<uint8_t> bytes(kAnimationHeaderSize + kOffsetEntrySize * streams_.size());
    std::copy(kAnimationMagic, kAnimationMagic + 4, bytes.begin());
    PutLe32(bytes, 4, static_cast<uint32_t>(streams_.size()));
    PutLe32(bytes, 8, static_cast<uint32_t>(width_));
    PutLe32(bytes, 12, static_cast<uint32_t>(height_));
    PutLe32(bytes, 16, bitCount_);
    for (size_t i = 0; i < streams_.size(); ++i) {
        size_t entry = kAnimationHeaderSize + kOffsetEntrySize * i;
        PutLe32(bytes, entry, OffsetOf(i));
        PutLe32(bytes, entry + 4, static_cast<uint32_t>(streams_[i].size()));
    }
    for (const auto& stream : streams_) bytes.insert(bytes.end(), stream.begin(), stream.end());
    return bytes;
}

bool FilmBuilder::Write(const std::wstring& path) const { return WriteFileBytes(path, Bytes()); }

}  // namespace testing_support
