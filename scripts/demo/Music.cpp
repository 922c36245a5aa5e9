// Synthesis of the demo film's music; see Music.h. Every voice is added into
// a floating-point stereo mix that is scaled to a fixed peak at the end, so
// no voice can clip another.
#include "Music.h"

#include <algorithm>
#include <cmath>

namespace demo {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBarSeconds = 4 * 60.0 / 128;  // four beats at about 128 beats a minute
constexpr double kPeak = 0.8;                     // of full scale, after mixing
constexpr double kFadeOutSeconds = 1.5;

// Eight bars, one chord each (root as a MIDI note, and whether it is minor).
struct Chord {
    int root;
    bool minor;
};
constexpr Chord kChords[8] = {{50, false}, {57, false}, {59, true}, {55, false},
                              {50, false}, {55, false}, {57, false}, {50, false}};

// The melody of those eight bars: start and length in beats, MIDI note.
struct Note {
    double beat, beats;
    int pitch;
};
const std::vector<Note> kMelody = {
    {0, 1, 69},  {1, .5, 74},  {1.5, .5, 76}, {2, 1, 78},  {3, 1, 74},                    // D
    {4, 1.5, 76}, {5.5, .5, 73}, {6, 2, 69},                                               // A
    {8, 1, 71},  {9, 1, 74},   {10, 1.5, 78}, {11.5, .5, 76},                             // Bm
    {12, 1, 74}, {13, 1, 71},  {14, 2, 67},                                                // G
    {16, 1, 78}, {17, 1, 81},  {18, .5, 78},  {18.5, .5, 76}, {19, 1, 74},               // D
    {20, 1.5, 79}, {21.5, .5, 78}, {22, 1, 76}, {23, 1, 74},                             // G
    {24, 1, 73}, {25, 1, 76},  {26, 1, 81},  {27, 1, 79},                                  // A7
    {28, 1, 78}, {29, .5, 76}, {29.5, .5, 73}, {30, 2, 74},                              // D
};

double Frequency(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// The note a third below `midi` in D major, for the second voice that sings
// under the melody the second time round. Notes from D3 upwards.
int ThirdBelow(int midi) {
    static const int kScale[] = {0, 2, 4, 6, 7, 9, 11};  // steps of D major
    const int fromD3 = midi - 50;
    int degree = 0;
    for (int i = 0; i < 7; ++i)
        if (kScale[i] <= fromD3 % 12) degree = i;
    const int target = fromD3 / 12 * 7 + degree - 2;
    return 50 + 12 * (target / 7) + kScale[target % 7];
}

class Mix {
public:
    Mix(size_t frames, int rate) : rate_(rate), left_(frames, 0.0), right_(frames, 0.0) {}
    int rate() const { return rate_; }
    size_t frames() const { return left_.size(); }
    // Adds a mono sample at `frame`, placed between left (-1) and right (+1).
    void Add(size_t frame, double value, double pan) {
        if (frame >= left_.size()) return;
        left_[frame] += value * (1 - pan) * 0.5;
        right_[frame] += value * (1 + pan) * 0.5;
    }
    std::vector<double>& left() { return left_; }
    std::vector<double>& right() { return right_; }

private:
    int rate_;
    std::vector<double> left_, right_;
};

// A repeatable noise source, so every build makes the same file.
class Noise {
public:
    double Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return (state_ >> 8) / 8388608.0 - 1.0;
    }

private:
    uint32_t state_ = 12345;
};

// A plucked string (Karplus-Strong): a burst of noise in a delay line one
// period long, averaged on every pass so the high partials die first.
void Pluck(Mix& mix, double start, double seconds, int midi, double level, double pan, Noise& noise) {
    const int period = std::max(2, static_cast<int>(std::lround(mix.rate() / Frequency(midi))));
    std::vector<double> line(static_cast<size_t>(period));
    for (double& v : line) v = noise.Next();
    // A softened burst gives a warm nylon string rather than a harpsichord.
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 1; i < period; ++i) line[i] = 0.5 * (line[i] + line[i - 1]);
    const size_t first = static_cast<size_t>(start * mix.rate());
    const size_t count = static_cast<size_t>(seconds * mix.rate());
    double previous = 0;
    for (size_t i = 0; i < count; ++i) {
        double& cell = line[i % period];
        const double out = cell;
        cell = 0.498 * (cell + previous);
        previous = out;
        const double release = i + 200 > count ? (count - i) / 200.0 : 1.0;
        mix.Add(first + i, out * level * release, pan);
    }
}

// A soft whistle: a sine with a slow vibrato and a little second partial,
// a gentle attack and a long release.
void Whistle(Mix& mix, double start, double seconds, int midi, double level, double pan) {
    const double f = Frequency(midi);
    const size_t first = static_cast<size_t>(start * mix.rate());
    const double tail = 0.25;
    const size_t count = static_cast<size_t>((seconds + tail) * mix.rate());
    double phase = 0;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / mix.rate();
        const double vibrato = 1 + 0.004 * std::sin(2 * kPi * 5.5 * t) * std::min(1.0, t * 3);
        phase += 2 * kPi * f * vibrato / mix.rate();
        double envelope = std::min(1.0, t / 0.04);
        if (t > seconds) envelope *= std::exp(-(t - seconds) / 0.07);
        envelope *= 1 - 0.25 * std::min(1.0, t / 1.5);
        mix.Add(first + i, (std::sin(phase) + 0.12 * std::sin(2 * phase)) * envelope * level, pan);
    }
}

// A round bass note: a sine that swells in and dies away.
void Bass(Mix& mix, double start, double seconds, int midi, double level) {
    const double f = Frequency(midi);
    const size_t first = static_cast<size_t>(start * mix.rate());
    const size_t count = static_cast<size_t>(seconds * mix.rate());
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / mix.rate();
        const double envelope = std::min(1.0, t / 0.01) * std::exp(-t * 2.2) * std::min(1.0, (seconds - t) / 0.03);
        const double phase = 2 * kPi * f * t;
        mix.Add(first + i, (std::sin(phase) + 0.2 * std::sin(2 * phase)) * envelope * level, 0);
    }
}

// A shaker: a short burst of noise, its lowest part taken away.
void Shake(Mix& mix, double start, double level, double pan, Noise& noise) {
    const size_t first = static_cast<size_t>(start * mix.rate());
    const size_t count = static_cast<size_t>(0.06 * mix.rate());
    double low = 0;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / mix.rate();
        const double n = noise.Next();
        low += 0.3 * (n - low);
        mix.Add(first + i, (n - low) * std::exp(-t / 0.015) * level, pan);
    }
}

// A little room: two echoes fed back, a different delay on each side.
void AddRoom(Mix& mix) {
    const size_t delayLeft = static_cast<size_t>(0.173 * mix.rate());
    const size_t delayRight = static_cast<size_t>(0.229 * mix.rate());
    std::vector<double> wetLeft(mix.frames(), 0.0), wetRight(mix.frames(), 0.0);
    for (size_t i = 0; i < mix.frames(); ++i) {
        if (i >= delayLeft) wetLeft[i] = 0.35 * (mix.right()[i - delayLeft] + wetRight[i - delayLeft]);
        if (i >= delayRight) wetRight[i] = 0.35 * (mix.left()[i - delayRight] + wetLeft[i - delayRight]);
    }
    for (size_t i = 0; i < mix.frames(); ++i) {
        mix.left()[i] += 0.5 * wetLeft[i];
        mix.right()[i] += 0.5 * wetRight[i];
    }
}

void PlayBar(Mix& mix, int bar, bool last, double beat, Noise& noise) {
    const double start = bar * 4 * beat;
    const Chord chord = last ? kChords[0] : kChords[bar % 8];
    const int third = chord.minor ? 3 : 4;
    const int tones[4] = {chord.root, chord.root + 7, chord.root + 12, chord.root + 12 + third};

    if (last) {
        // The closing chord rings out over the whole bar.
        for (int i = 0; i < 4; ++i) Pluck(mix, start + i * beat * 0.12, 4 * beat, tones[i], 0.32, -0.35, noise);
        Bass(mix, start, 4 * beat, chord.root - 12, 0.45);
        Whistle(mix, start, 3 * beat, 74, 0.2, 0.3);
        return;
    }
    static const int kPattern[8] = {0, 1, 2, 3, 2, 1, 2, 3};
    for (int i = 0; i < 8; ++i) Pluck(mix, start + i * beat / 2, 1.2 * beat, tones[kPattern[i]], 0.28, -0.35, noise);
    Bass(mix, start, 1.9 * beat, chord.root - 12, 0.45);
    Bass(mix, start + 2 * beat, 1.9 * beat, chord.root - 12 + 7, 0.38);
    for (int i = 0; i < 4; ++i) Shake(mix, start + (i + 0.5) * beat, i % 2 ? 0.06 : 0.04, 0.4, noise);

    const bool harmony = (bar / 8) % 2 == 1;
    for (const Note& note : kMelody) {
        if (static_cast<int>(note.beat / 4) != bar % 8) continue;
        const double at = start + (note.beat - (bar % 8) * 4) * beat;
        Whistle(mix, at, note.beats * beat * 0.9, note.pitch, 0.2, 0.3);
        if (harmony) Whistle(mix, at, note.beats * beat * 0.9, ThirdBelow(note.pitch), 0.11, 0.1);
    }
}

}  // namespace

std::vector<int16_t> RenderMusic(double seconds, int rate) {
    const size_t frames = static_cast<size_t>(std::lround(seconds * rate));
    Mix mix(frames, rate);
    const int bars = std::max(1, static_cast<int>(std::lround(seconds / kBarSeconds)));
    const double beat = seconds / (bars * 4);
    Noise noise;
    for (int bar = 0; bar < bars; ++bar) PlayBar(mix, bar, bars > 1 && bar == bars - 1, beat, noise);
    AddRoom(mix);

    double peak = 1e-9;
    for (size_t i = 0; i < frames; ++i) peak = std::max({peak, std::fabs(mix.left()[i]), std::fabs(mix.right()[i])});
    const double fadeFrames = std::min(kFadeOutSeconds * rate, frames / 4.0);
    std::vector<int16_t> samples(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        // Silent at both ends, so the film's restart makes no click.
        const double in = std::min(1.0, i / (0.005 * rate));
        const double out = std::min(1.0, (frames - 1 - i) / fadeFrames);
        const double gain = kPeak * 32767 / peak * in * out * out;
        samples[2 * i] = static_cast<int16_t>(std::lround(mix.left()[i] * gain));
        samples[2 * i + 1] = static_cast<int16_t>(std::lround(mix.right()[i] * gain));
    }
    return samples;
}

std::vector<uint8_t> MakeWav(const std::vector<int16_t>& samples, int channels, int rate) {
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> bytes;
    bytes.reserve(44 + dataBytes);
    auto text = [&](const char* s) { bytes.insert(bytes.end(), s, s + 4); };
    auto le = [&](uint32_t v, int size) {
        for (int i = 0; i < size; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    text("RIFF");
    le(36 + dataBytes, 4);
    text("WAVE");
    text("fmt ");
    le(16, 4);
    le(1, 2);  // PCM
    le(static_cast<uint32_t>(channels), 2);
    le(static_cast<uint32_t>(rate), 4);
    le(static_cast<uint32_t>(rate * channels * 2), 4);
    le(static_cast<uint32_t>(channels * 2), 2);
    le(16, 2);
    text("data");
    le(dataBytes, 4);
    for (int16_t s : samples) le(static_cast<uint16_t>(s), 2);
    return bytes;
}

}  // namespace demo
