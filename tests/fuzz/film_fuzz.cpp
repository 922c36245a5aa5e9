// Fuzz target: a whole film file as the reader meets it. The header and
// offset-matrix checks, the frame buffer sized from the matrix, and every
// frame that lies inside the file fetched into that buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/Require.h"
#include "player/filmcheck.h"

namespace {

// Frames larger than this are not worth a real buffer here: the fuzzer's
// inputs are a few kilobytes, so such a frame cannot lie inside the file.
constexpr uint32_t kLargestBuffered = 1u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AnimationHeader header;
    uint32_t matrixBytes = 0;
    const size_t headBytes = size < kAnimationHeaderSize ? size : kAnimationHeaderSize;
    if (!CheckFilmHeader(data, headBytes, size, &header, &matrixBytes)) return 0;
    Require(std::memcmp(header.Magic, "NoXl", 4) == 0);
    Require(matrixBytes == uint64_t{header.FrameCount} * kOffsetEntrySize);
    Require(kAnimationHeaderSize + uint64_t{matrixBytes} <= size);

    // The matrix as the reader holds it: FrameCount entries, read from behind the header.
    std::vector<OffsetEntry> matrix(header.FrameCount);
    if (matrixBytes > 0) std::memcpy(matrix.data(), data + kAnimationHeaderSize, matrixBytes);
    const uint32_t largest = LargestFrameSize(matrix.data(), header.FrameCount);
    for (const OffsetEntry& entry : matrix) Require(entry.Size <= largest);
    if (largest > kLargestBuffered) return 0;

    // An exactly sized buffer: a frame that did not fit would overflow it.
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[largest]);
    for (const OffsetEntry& entry : matrix) {
        // Frames past the end of the file end the player when fetched; no read here.
        if (uint64_t{entry.Offset} + entry.Size > size) continue;
        std::memcpy(buffer.get(), data + entry.Offset, entry.Size);
    }
    return 0;
}
