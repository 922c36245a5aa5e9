// Speed of the RLE8 frame encoder in bytes of pixels per second, beside
// memcpy of the same buffer in the same run. Silhouette frames (even areas,
// smooth edges) are what films hold; noise is the worst case.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "common/GreyFrames.h"
#include "format/Rle8.h"

namespace {

struct Frame {
    int32_t width;
    int32_t height;
    bool noise;
};

std::vector<uint8_t> MakeFrame(const Frame& frame) {
    size_t count = static_cast<size_t>(frame.width) * frame.height;
    return frame.noise ? testing_support::Noise(count, 42) : testing_support::SmoothSilhouette(frame.width, frame.height, 42);
}

const Frame kFrames[] = {{480, 360, false}, {1920, 1080, false}, {480, 360, true}, {1920, 1080, true}};

void Label(benchmark::State& state, const Frame& frame, size_t bytes) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.SetLabel(std::to_string(frame.width) + "x" + std::to_string(frame.height) +
                   (frame.noise ? " noise" : " silhouette"));
}

// The encoder as the tool uses it: a work area kept from frame to frame,
// the input left as it is, so every round encodes the same frame.
void BM_Encoder(benchmark::State& state) {
    const Frame& frame = kFrames[state.range(0)];
    std::vector<uint8_t> pixels = MakeFrame(frame);
    Rle8Encoder encoder;
    for (auto _ : state) {
        uint32_t length = encoder.Encode(pixels.data(), static_cast<uint32_t>(pixels.size()), frame.width);
        benchmark::DoNotOptimize(length);
        benchmark::ClobberMemory();
    }
    state.counters["ratio"] = static_cast<double>(encoder.size()) / pixels.size();
    Label(state, frame, pixels.size());
}

// EncodeRle8 itself, in place: every round first restores the frame with
// one memcpy, which the figure includes.
void BM_EncodeRle8WithRestore(benchmark::State& state) {
    const Frame& frame = kFrames[state.range(0)];
    const std::vector<uint8_t> source = MakeFrame(frame);
    std::vector<uint8_t> pixels(source.size());
    for (auto _ : state) {
        std::memcpy(pixels.data(), source.data(), source.size());
        uint32_t length = EncodeRle8(pixels.data(), static_cast<uint32_t>(pixels.size()), frame.width);
        benchmark::DoNotOptimize(length);
        benchmark::ClobberMemory();
    }
    Label(state, frame, source.size());
}

void BM_Memcpy(benchmark::State& state) {
    const Frame& frame = kFrames[state.range(0)];
    const std::vector<uint8_t> source = MakeFrame(frame);
    std::vector<uint8_t> copy(source.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), source.data(), source.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    Label(state, frame, source.size());
}

BENCHMARK(BM_Encoder)->DenseRange(0, 3);
BENCHMARK(BM_EncodeRle8WithRestore)->DenseRange(0, 3);
BENCHMARK(BM_Memcpy)->DenseRange(0, 3);

}  // namespace

BENCHMARK_MAIN();
