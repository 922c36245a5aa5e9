// Builds WAV files in memory for the tests: a header laid out byte by byte
// (so tests can bend any field), and square-wave or silent sample data.
#pragma once

#include <cstdint>
#include <vector>

#include "common/LittleEndian.h"

namespace testing_support {

struct WavLayout {
    uint16_t formatTag = 1;  // PCM
    uint16_t channels = 1;
    uint32_t samplesPerSec = 22050;
    uint16_t bitsPerSample = 16;
    uint32_t formatChunkSize = 16;  // 16, or 18 and more with an extra-size field
    uint16_t extraSize = 0;
    std::vector<uint8_t> chunksBeforeData;  // whole chunks placed between format and data
    std::vector<uint8_t> samples;
    std::vector<uint8_t> trailing;  // bytes after the data chunk
};

std::vector<uint8_t> BuildWav(const WavLayout& layout);

// Full-scale square wave at 441 Hz for loudSeconds, then silence for
// silentSeconds, in the layout's format (8 or 16 bits per sample).
std::vector<uint8_t> SquareWave(const WavLayout& format, double loudSeconds, double silentSeconds);

// A chunk with a four-letter id and the given body.
std::vector<uint8_t> Chunk(const char* id, const std::vector<uint8_t>& body);

}  // namespace testing_support
