// The checks a WAV file must pass before it is played as background music:
// plain byte work with no Windows calls, so that it also builds on the host.
#pragma once

#include <cstdint>

// What the checks take from a file: its format, and where its samples lie.
struct WavInfo {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;
    uint32_t dataOffset = 0;  // first sample byte, from the start of the file
    uint32_t dataLength = 0;  // byte length of the samples
};

// Accepts a RIFF/WAVE image whose first chunk is a 16- or 18-byte format chunk
// (no extra format bytes, 1 to 8 channels) followed at once by a data chunk
// that lies inside the image. The other format values are left to the device. Reads nothing outside [bytes, bytes + size). On failure *info is
// left unchanged.
bool ParseWav(const uint8_t* bytes, uint32_t size, WavInfo* info);
