// noxel_demo: makes the demo film's source images, a numbered sequence of
// 8-bit grey BMPs that NoxelTool encodes ("<dir>/<stem>0000000.bmp", ...),
// and, with --wav, its music, exactly as long as the film.
//
//   noxel_demo --out DIR [--stem Veilwick] [--seconds 30] [--fps 30]
//              [--width 480] [--height 360] [--wav FILE]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "Canvas.h"
#include "Music.h"
#include "Scene.h"
#include "common/Bmp8Writer.h"

namespace {

struct DemoOptions {
    std::string out;
    std::string wav;
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
        else if (!std::strcmp(name, "--wav")) options->wav = value;
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

long FrameCount(const DemoOptions& options) { return static_cast<long>(options.seconds * options.fps + 0.5); }

// The music is written beside its final name and renamed into place, so a
// failed run leaves no cut-short WAV behind.
bool WriteMusic(const DemoOptions& options) {
    const double seconds = static_cast<double>(FrameCount(options)) / options.fps;
    const std::filesystem::path target(options.wav);
    std::filesystem::path temp = target;
    temp += ".tmp";
    auto bytes = demo::MakeWav(demo::RenderMusic(seconds), demo::kMusicChannels, demo::kMusicRate);
    std::error_code error;
    if (WriteFile(temp, bytes)) {
        std::filesystem::rename(temp, target, error);
        if (!error) return true;
    }
    std::filesystem::remove(temp, error);
    return false;
}

// Returns the number of frames written, or -1 on a write failure.
long WriteFrames(const DemoOptions& options) {
    demo::Canvas canvas(options.width, options.height);
    demo::Scene scene(canvas);
    const long frames = FrameCount(options);
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
                     "usage: noxel_demo --out DIR [--stem NAME] [--seconds S] [--fps N] [--width W] [--height H]"
                     " [--wav FILE]\n");
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
    if (!options.wav.empty()) {
        if (!WriteMusic(options)) {
            std::fprintf(stderr, "noxel_demo: cannot write the music to %s\n", options.wav.c_str());
            return 1;
        }
        std::printf("music of %.2f s in %s\n", static_cast<double>(frames) / options.fps, options.wav.c_str());
    }
    return 0;
}
