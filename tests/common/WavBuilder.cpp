#include "common/WavBuilder.h"

#include <cstring>

namespace testing_support {

namespace {

void Append(std::vector<uint8_t>& out, const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    out.insert(out.end(), b, b + n);
}

}  // namespace

std::vector<uint8_t> Chunk(const char* id, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> out;
    Append(out, id, 4);
    AppendLe(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> BuildWav(const WavLayout& l) {
    std::vector<uint8_t> format;
    const uint16_t blockAlign = static_cast<uint16_t>(l.channels * l.bitsPerSample / 8);
    AppendLe(format, l.formatTag, 2);
    AppendLe(format, l.channels, 2);
    AppendLe(format, l.samplesPerSec);
    AppendLe(format, l.samplesPerSec * blockAlign);
    AppendLe(format, blockAlign, 2);
    AppendLe(format, l.bitsPerSample, 2);
    if (l.formatChunkSize >= 18) AppendLe(format, l.extraSize, 2);
    format.resize(l.formatChunkSize, 0);

    std::vector<uint8_t> out;
    Append(out, "RIFF", 4);
    AppendLe(out, 0);
    Append(out, "WAVE", 4);
    const std::vector<uint8_t> fmt = Chunk("fmt ", format);
    const std::vector<uint8_t> data = Chunk("data", l.samples);
    out.insert(out.end(), fmt.begin(), fmt.end());
    out.insert(out.end(), l.chunksBeforeData.begin(), l.chunksBeforeData.end());
    out.insert(out.end(), data.begin(), data.end());
    out.insert(out.end(), l.trailing.begin(), l.trailing.end());
    PutLe32(out, 4, static_cast<uint32_t>(out.size() - 8));
    return out;
}

std::vector<uint8_t> SquareWave(const WavLayout& f, double loudSeconds, double silentSeconds) {
    const uint32_t loudFrames = static_cast<uint32_t>(loudSeconds * f.samplesPerSec);
    const uint32_t allFrames = loudFrames + static_cast<uint32_t>(silentSeconds * f.samplesPerSec);
    const uint32_t halfPeriod = f.samplesPerSec / 882;  // 441 Hz
    std::vector<uint8_t> out;
    for (uint32_t i = 0; i < allFrames; ++i) {
        const bool loud = i < loudFrames;
        const bool high = (i / halfPeriod) % 2 == 0;
        for (uint16_t c = 0; c < f.channels; ++c) {
            if (f.bitsPerSample == 8) {
                out.push_back(loud ? (high ? 255 : 0) : 128);  // 8-bit silence is 128
            } else {
                AppendLe(out, loud ? (high ? 0x7FFF : 0x8001) : 0, 2);
            }
        }
    }
    return out;
}

}  // namespace testing_support
