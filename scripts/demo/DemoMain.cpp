// noxel_demo: makes the demo film's source images, a numbered sequence of
// 8-bit grey BMPs that NoxelTool encodes ("<dir>/<stem>0000000.bmp", ...).
//
//   noxel_demo --out DIR [--stem Veilwick] [--seconds 30] [--fps 30]
//              [--width 480] [--height 360]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "Canvas.h"
#include "Scene.h"
#include "common/Bmp8Writer.h"

namespace {

struct DemoOptions {
    std::string out;
    std::string stem = "Veilwick";
    double seconds = 30;
    int fps = 30;
    int width = 480;
    int height = 360;
};

bool ParseOptions(int argc, char** argv, DemoOptions* options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const char* name = argv[i];
        const char* value = argv[i + 1];
        if (!std::strcmp(name, "--out")) options->out = value;
        else if (!std::strcmp(name, "--stem")) options->stem = value;
        else if (!std::strcmp(name, "--seconds")) options->seconds = std::atof(value);
        else if (!std::strcmp(name, "--fps")) options->fps = std::atoi(value);
        else if (!std::strcmp(name, "--width")) options->width = std::atoi(value);
        else if (!std::strcmp(name, "--height")) options->height = std::atoi(value);
        else return false;
    }
    return argc % 2 == 1 && !options->out.empty() && options->seconds > 0 && options->fps > 0 &&
           options->width > 0 && options->height > 0;
}

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

// Returns the number of frames written, or -1 on a write failure.
long WriteFrames(const DemoOptions& options) {
    demo::Canvas canvas(options.width, options.height);
    demo::Scene scene(canvas);
    const long frames = static_cast<long>(options.seconds * options.fps + 0.5);
    for (long i = 0; i < frames; ++i) {
        scene.Render(static_cast<double>(i) / options.fps);
        char name[32];
        std::snprintf(name, sizeof name, "%07ld.bmp", i);
        auto bytes = testing_support::MakeBmp8(options.width, options.height, canvas.Grey());
        if (!WriteFile(std::filesystem::path(options.out) / (options.stem + name), bytes)) return -1;
    }
    return frames;
}

}  // namespace

int main(int argc, char** argv) {
    DemoOptions options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: noxel_demo --out DIR [--stem NAME] [--seconds S] [--fps N] [--width W] [--height H]\n");
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(options.out, error);
    long frames = WriteFrames(options);
    if (frames < 0) {
        std::fprintf(stderr, "noxel_demo: cannot write the images into %s\n", options.out.c_str());
        return 1;
    }
    std::printf("%ld frames of %dx%d in %s/%s0000000.bmp ...\n", frames, options.width, options.height,
                options.out.c_str(), options.stem.c_str());
    return 0;
}
