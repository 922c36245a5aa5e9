// Checks of a WAV image held in memory, in the order the background music
// relies on: RIFF, WAVE, the format chunk first, then the data chunk.
#include "player/wavparse.h"

#include <cstring>

namespace {

constexpr uint32_t kMinSizeShortFormat = 44;  // header with a 16-byte format chunk
constexpr uint32_t kMinSizeLongFormat = 46;   // header with an 18-byte one
// A plain format chunk describes at most 7.1 sound; wider layouts need the
// extensible chunk, which is refused anyway. No channels, or a great many,
// crash some wave-output drivers rather than being refused by them.
constexpr uint16_t kMaxChannels = 8;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool Tag(const uint8_t* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

}  // namespace

bool ParseWav(const uint8_t* bytes, uint32_t size, WavInfo* info) {
    if (!bytes || size < kMinSizeShortFormat) return false;
    // Bytes 4 to 7, the RIFF size, are often wrong in the wild and are ignored.
    if (!Tag(bytes, "RIFF") || !Tag(bytes + 8, "WAVE") || !Tag(bytes + 12, "fmt ")) return false;
    const uint32_t formatSize = Le32(bytes + 16);
    if (formatSize != 16 && formatSize != 18) return false;
    if (formatSize == 18 && size < kMinSizeLongFormat) return false;

    WavInfo out;
    out.formatTag = Le16(bytes + 20);
    out.channels = Le16(bytes + 22);
    out.samplesPerSec = Le32(bytes + 24);
    out.avgBytesPerSec = Le32(bytes + 28);
    out.blockAlign = Le16(bytes + 32);
    out.bitsPerSample = Le16(bytes + 34);
    if (out.channels == 0 || out.channels > kMaxChannels) return false;
    uint32_t next = 36;
    if (formatSize == 18) {
        out.extraSize = Le16(bytes + 36);
        if (out.extraSize != 0) return false;
        next = 38;
    }
    if (!Tag(bytes + next, "data")) return false;
    out.dataLength = Le32(bytes + next + 4);
    out.dataOffset = next + 8;
    // Compared by subtraction: a length near 4 GiB cannot wrap past the end.
    if (out.dataLength > size - out.dataOffset) return false;
    *info = out;
    return true;
}
