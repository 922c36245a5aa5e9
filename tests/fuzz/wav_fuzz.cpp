// Fuzz target: a WAV file as the background music meets it. What the
// checks accept must describe samples that lie inside the file.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz/Require.h"
#include "player/wavparse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > UINT32_MAX) return 0;
    // An exactly sized copy: the checks may not look past the file's last byte.
    std::unique_ptr<uint8_t[]> image(new uint8_t[size ? size : 1]);
    if (size) std::memcpy(image.get(), data, size);
    WavInfo info;
    info.dataOffset = 0xDEADBEEF;
    const bool accepted = ParseWav(image.get(), static_cast<uint32_t>(size), &info);
    if (!accepted) {
        Require(info.dataOffset == 0xDEADBEEF);  // a refusal leaves the result alone
        return 0;
    }
    Require(std::memcmp(image.get(), "RIFF", 4) == 0 && std::memcmp(image.get() + 8, "WAVE", 4) == 0);
    Require(info.extraSize == 0 && info.channels >= 1 && info.channels <= 8);
    Require(info.dataOffset == 44 || info.dataOffset == 46);
    Require(uint64_t{info.dataOffset} + info.dataLength <= size);
    // The device plays straight from the image: every sample byte must be readable.
    volatile unsigned sum = 0;
    for (uint32_t i = 0; i < info.dataLength; ++i) sum = sum + image[info.dataOffset + i];
    return 0;
}
