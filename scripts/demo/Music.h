// The demo film's music: a short walking tune in D major (plucked-string
// chords, a soft whistled melody, a bass and a light shaker) that fills the
// film's length exactly in whole bars, so it starts again cleanly with the
// film. Written as the WAV form the screen saver plays.
#pragma once

#include <cstdint>
#include <vector>

namespace demo {

constexpr int kMusicRate = 44100;
constexpr int kMusicChannels = 2;

// Interleaved stereo 16-bit samples, round(seconds * rate) frames of them.
std::vector<int16_t> RenderMusic(double seconds, int rate = kMusicRate);

// A RIFF/WAVE file of 16-bit PCM: a 16-byte format chunk and, right after
// it, the data chunk.
std::vector<uint8_t> MakeWav(const std::vector<int16_t>& samples, int channels, int rate);

}  // namespace demo
