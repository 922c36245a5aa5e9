// What the encoder tool needs to know about its 8-bit BMP images: the checks
// of the headers, the rows of the pixel array turned into frame rows, and a
// fingerprint that tells whether an image changed between the two passes.
// Plain functions on bytes, so that tests and fuzzers can call them.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kBmpFileHeaderSize = 14;
constexpr uint32_t kBmpInfoHeaderSize = 40;
constexpr uint32_t kBmpColorTableSize = 1024;
// The tool takes the pixels to start right after a 256-entry colour table,
// whatever bfOffBits says.
constexpr uint32_t kBmpHeadSize = kBmpFileHeaderSize + kBmpInfoHeaderSize + kBmpColorTableSize;
constexpr uint16_t kBmpType = 0x4D42;  // "BM"
constexpr uint32_t kBmpRgb = 0;        // BI_RGB, uncompressed

struct BmpHead {
    uint16_t type = 0;
    uint32_t fileSize = 0;
    uint32_t offBits = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;

    // The pixel bytes the tool reads: bfSize - bfOffBits, wrapping as uint32.
    uint32_t PixelByteCount() const { return fileSize - offBits; }
};

// The checks in the order the tool makes (and reports) them.
enum class BmpHeadCheck {
    Ok,
    Broken,          // fewer than 14 bytes of file header
    NotBitmap,       // bfType is not "BM"
    BrokenInfo,      // fewer than 40 bytes of info header
    IndexColor,      // biClrUsed is not 0
    NotPlain8Bit,    // biBitCount is not 8 or biCompression is not BI_RGB
    BrokenColorMap,  // fewer than 1024 bytes of colour table
};

// Checks the first `size` bytes of an image file; only the first
// kBmpHeadSize are looked at. `head` gets the fields read so far.
BmpHeadCheck CheckBmpHead(const uint8_t* bytes, size_t size, BmpHead* head);

// Turns a pixel array as it lies in the file into frame rows, in place:
// each row keeps its `width` pixels without the fill bytes that bring BMP
// rows to a multiple of four, and a top-down image (negative height) gets
// its rows bottom row first. Returns the byte count that remains. A width
// that is a multiple of four in a bottom-up image leaves everything as read.
uint32_t ArrangeRows(uint8_t* pixels, uint32_t byteCount, int32_t width, int32_t height);

// The film's Height for an image's biHeight: rows are always stored bottom
// row first, so the height is positive.
int32_t FilmHeight(int32_t bmpHeight);

// A 64-bit digest of what makes a frame: the pixel bytes and the row shape.
uint64_t FrameFingerprint(const uint8_t* pixels, uint32_t byteCount, int32_t width, int32_t height);
