// film_report FILM [WAV]: reads a film with the film reader's own header
// checks and the tests' RLE8 decoder, and a WAV with the music player's own
// checks, for the tests of the scripts that make them. Prints what it found
// on one line each; exits 1 when the screen saver would refuse either file
// or a frame does not decode to a whole picture.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include "common/Rle8Decoder.h"
#include "player/filmcheck.h"
#include "player/wavparse.h"

namespace {

std::vector<uint8_t> ReadAll(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool InspectFilm(const char* path) {
    const std::vector<uint8_t> film = ReadAll(path);
    AnimationHeader header;
    uint32_t matrixBytes = 0;
    if (!CheckFilmHeader(film.data(), film.size(), film.size(), &header, &matrixBytes) || header.BitCount != 8) {
        std::printf("film: refused\n");
        return false;
    }
    std::set<uint8_t> levels;
    for (uint32_t i = 0; i < header.FrameCount; ++i) {
        OffsetEntry entry;
        std::memcpy(&entry, film.data() + kAnimationHeaderSize + i * kOffsetEntrySize, sizeof entry);
        if (entry.Offset > film.size() || entry.Size > film.size() - entry.Offset) {
            std::printf("film: frame %u lies outside the file\n", i);
            return false;
        }
        const auto frame = testing_support::DecodeRle8(film.data() + entry.Offset, entry.Size, header.Width,
                                                       header.Height, 0xA5);
        if (!frame.ended) {
            std::printf("film: frame %u does not end\n", i);
            return false;
        }
        levels.insert(frame.pixels.begin(), frame.pixels.end());
    }
    std::printf("film: frames=%u width=%d height=%d levels=%zu\n", header.FrameCount, header.Width, header.Height,
                levels.size());
    return true;
}

bool InspectWav(const char* path) {
    const std::vector<uint8_t> wav = ReadAll(path);
    WavInfo info;
    if (!ParseWav(wav.data(), static_cast<uint32_t>(wav.size()), &info)) {
        std::printf("wav: refused\n");
        return false;
    }
    std::printf("wav: format=%u channels=%u rate=%u bits=%u offset=%u bytes=%u\n", info.formatTag, info.channels,
                info.samplesPerSec, info.bitsPerSample, info.dataOffset, info.dataLength);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: film_report FILM [WAV]\n");
        return 2;
    }
    bool ok = InspectFilm(argv[1]);
    if (argc == 3) ok = InspectWav(argv[2]) && ok;
    return ok ? 0 : 1;
}
