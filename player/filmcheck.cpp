// The film reader's checks of the header and the offset matrix; see filmcheck.h.
#include "player/filmcheck.h"

#include <cstring>

bool CheckFilmHeader(const uint8_t* bytes, size_t size, uint64_t fileSize, AnimationHeader* header,
                     uint32_t* matrixBytes) {
    if (!bytes || size < kAnimationHeaderSize || fileSize < kAnimationHeaderSize) return false;
    std::memcpy(header, bytes, kAnimationHeaderSize);
    if (std::memcmp(header->Magic, kAnimationMagic, sizeof header->Magic) != 0) return false;
    // In 64 bits: a huge frame count must not wrap round to a small matrix
    // that a scan of FrameCount entries would then read past.
    const uint64_t bytesNeeded = uint64_t{header->FrameCount} * kOffsetEntrySize;
    if (bytesNeeded > fileSize - kAnimationHeaderSize || bytesNeeded > UINT32_MAX) return false;
    *matrixBytes = static_cast<uint32_t>(bytesNeeded);
    return true;
}

uint32_t LargestFrameSize(const OffsetEntry* matrix, uint32_t count) {
    uint32_t largest = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (matrix[i].Size > largest) largest = matrix[i].Size;
    }
    return largest;
}
