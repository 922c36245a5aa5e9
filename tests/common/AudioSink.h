// The file that the test session's ALSA configuration sends the default
// sound device into. Wine's mixer converts what is played, so tests look at
// loudness and timing of what arrives, never at the bytes themselves.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/TestSupport.h"

namespace testing_support {

class AudioSink {
public:
    AudioSink();  // the file named by NOXEL_AUDIO_FILE
    bool configured() const { return !path_.empty(); }
    // Where the file ends now: a mark for Since().
    uint64_t Mark() const;
    // What arrived after the mark (all of the file if it was started afresh).
    std::vector<uint8_t> Since(uint64_t mark) const;
private:
    std::wstring path_;
};

// Bytes of the mixer's output that are not zero: silence in its signed and
// floating-point formats is all zero bytes.
size_t SoundingBytes(const std::vector<uint8_t>& audio);

// Loud stretches in the sound that arrived: (start, length) in bytes.
std::vector<std::pair<size_t, size_t>> LoudStretches(const std::vector<uint8_t>& audio);

}  // namespace testing_support
