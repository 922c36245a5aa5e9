// Frames for the format tests and the encoder benchmark: silhouettes (large
// even areas with smooth, anti-aliased edges, like a real film) and noise.
// Portable, header only; rows bottom row first, no padding.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace testing_support {

// Black figures (discs and ellipses of a few sizes) on white; every edge
// ramps over about two pixels, so rows hold long runs and short grey runs.
inline std::vector<uint8_t> SmoothSilhouette(int32_t width, int32_t height, uint32_t seed) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height, 255);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double scale = std::min(width, height);
    for (int shape = 0; shape < 6; ++shape) {
        double cx = unit(random) * width, cy = unit(random) * height;
        double rx = (0.05 + 0.2 * unit(random)) * scale, ry = (0.05 + 0.2 * unit(random)) * scale;
        int x0 = std::max(0, static_cast<int>(cx - rx - 2)), x1 = std::min(width, static_cast<int>(cx + rx + 3));
        int y0 = std::max(0, static_cast<int>(cy - ry - 2)), y1 = std::min(height, static_cast<int>(cy + ry + 3));
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
                // Distance to the edge in pixels, roughly: outside > 0.
                double edge = (std::sqrt(dx * dx + dy * dy) - 1.0) * std::min(rx, ry);
                double cover = std::clamp(0.5 - edge / 2.0, 0.0, 1.0);
                uint8_t& p = pixels[static_cast<size_t>(y) * width + x];
                p = static_cast<uint8_t>(std::lround(p * (1.0 - cover)));
            }
        }
    }
    // The ground: a gently waving black band along the bottom.
    for (int x = 0; x < width; ++x) {
        double top = height * (0.12 + 0.03 * std::sin(x * 6.2832 / width * 2.0 + seed));
        for (int y = 0; y < height && y < top + 2; ++y) {
            double cover = std::clamp(top - y, 0.0, 1.0);
            uint8_t& p = pixels[static_cast<size_t>(y) * width + x];
            p = static_cast<uint8_t>(std::lround(p * (1.0 - cover)));
        }
    }
    return pixels;
}

inline std::vector<uint8_t> Noise(size_t count, uint32_t seed) {
    std::vector<uint8_t> pixels(count);
    std::mt19937 random(seed);
    for (auto& p : pixels) p = static_cast<uint8_t>(random());
    return pixels;
}

}  // namespace testing_support
