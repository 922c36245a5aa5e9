// The on-disk layout of a Noxel film (".nxl"): a 20-byte header, an offset
// matrix with one entry per frame, then one RLE8 stream per frame.
// All fields are little-endian; the structures match the file byte for byte.
#pragma once

#include <cstdint>

#pragma pack(push, 1)
struct AnimationHeader {
    char Magic[4];         // "NoXl"
    uint32_t FrameCount;   // entries in the offset matrix
    int32_t Width;         // pixels per row
    int32_t Height;        // rows per frame, stored bottom row first
    uint32_t BitCount;     // bits per decoded pixel; always 8
};

struct OffsetEntry {
    uint32_t Offset;       // start of the frame's RLE8 stream, from the start of the file
    uint32_t Size;         // length of the stream in bytes
};
#pragma pack(pop)

static_assert(sizeof(AnimationHeader) == 20, "the header is 20 bytes on disk");
static_assert(sizeof(OffsetEntry) == 8, "an offset entry is 8 bytes on disk");

constexpr char kAnimationMagic[4] = {'N', 'o', 'X', 'l'};
constexpr uint32_t kAnimationHeaderSize = sizeof(AnimationHeader);
constexpr uint32_t kOffsetEntrySize = sizeof(OffsetEntry);
