// Fuzz target: an image file as the encoder tool meets it. The header
// checks, the pixel byte count taken from the header, the rows rearranged
// into frame rows, and the frame compressed, as pass 2 does.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "format/Rle8.h"
#include "fuzz/Require.h"
#include "tool/BmpImage.h"

namespace {

// What ArrangeRows must give, written the plain way: whole rows without
// their fill bytes (turned over when top-down), then the partial row's pixels.
std::vector<uint8_t> ExpectedRows(const uint8_t* file, uint32_t byteCount, int32_t width, int32_t height) {
    const size_t rowBytes = static_cast<size_t>(width);
    const size_t stride = (rowBytes + 3) / 4 * 4;
    const size_t wholeRows = byteCount / stride;
    size_t turned = 0;
    if (height < 0) turned = std::min<size_t>(wholeRows, static_cast<size_t>(-static_cast<int64_t>(height)));
    std::vector<uint8_t> rows;
    for (size_t r = 0; r < wholeRows; ++r) {
        const size_t from = r < turned ? turned - 1 - r : r;
        rows.insert(rows.end(), file + from * stride, file + from * stride + rowBytes);
    }
    const size_t tail = std::min(byteCount - wholeRows * stride, rowBytes);
    rows.insert(rows.end(), file + wholeRows * stride, file + wholeRows * stride + tail);
    return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BmpHead head;
    const BmpHeadCheck check = CheckBmpHead(data, size < kBmpHeadSize ? size : kBmpHeadSize, &head);
    if (check != BmpHeadCheck::Ok) return 0;
    Require(size >= kBmpHeadSize && head.type == kBmpType && head.clrUsed == 0 && head.bitCount == 8 &&
            head.compression == kBmpRgb);

    // The tool reads the pixel byte count the header claims, or stops at broken data.
    const uint32_t byteCount = head.PixelByteCount();
    if (byteCount > size - kBmpHeadSize) return 0;
    std::unique_ptr<uint8_t[]> pixels(new uint8_t[byteCount ? byteCount : 1]);
    std::memcpy(pixels.get(), data + kBmpHeadSize, byteCount);
    // Reads exactly the claimed bytes: the sanitizer catches a read past them.
    FrameFingerprint(pixels.get(), byteCount, head.width, head.height);

    const uint32_t arranged = ArrangeRows(pixels.get(), byteCount, head.width, head.height);
    Require(arranged <= byteCount);
    if (head.width > 0) {
        const std::vector<uint8_t> expected = ExpectedRows(data + kBmpHeadSize, byteCount, head.width, head.height);
        Require(expected.size() == arranged);
        Require(arranged == 0 || std::memcmp(expected.data(), pixels.get(), arranged) == 0);
    } else {
        Require(arranged == byteCount);
    }
    Require(FilmHeight(head.height) >= 0);

    Rle8Encoder encoder;
    const uint32_t length = encoder.EncodeInPlace(pixels.get(), arranged, head.width);
    Require(length >= 4);
    if (length <= arranged) Require(std::memcmp(pixels.get(), encoder.stream(), length) == 0);
    return 0;
}
