// Times one playback tick of each rendering engine (read the frame, make it,
// draw background and frame through the back buffer, delete it) on a
// 1920 x 1080 window, beside a bare StretchDIBits of the same compressed
// frames, and prints milliseconds per frame and ratios, and for each engine
// the milliseconds of each call of the tick. Three films: one that changes
// little from frame to frame (the film named on the command line, else a
// walking silhouette), one whose every pixel changes every frame, and a
// full-HD one of a few hundred dots that all move every frame (rain, snow).
// Each engine is also timed drawing every tick whole, which partial redraws
// must not lose to. Last, what a Direct2D tick that draws nothing costs:
// that engine's floor.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/EngineTestKit.h"
#include "common/FilmBuilder.h"
#include "common/TestImages.h"
#include "common/TestSupport.h"
#include "common/TestWindow.h"
#include "engines/FrameBitmapInfo.h"
#include "engines/GdiGuards.h"
#include "engines/d2dengine.h"
#include "engines/gdiengine.h"
#include "engines/gdiplusengine.h"
#include "player/animreader.h"

using namespace testing_support;

namespace {

constexpr int kWindowWidth = 1920, kWindowHeight = 1080;
constexpr int kFilmWidth = 480, kFilmHeight = 360;
// The scattered film is full HD, as films made from videos are: each
// rectangle a part redraws then costs GDI+'s smoothing modes a conversion of
// two million film pixels.
constexpr int kDotsWidth = 1920, kDotsHeight = 1080;
constexpr uint32_t kFilmFrames = 60;
constexpr double kCaseBudgetMs = 8000.0;

// The calls of one tick, in the order a tick makes them.
enum Call { kCreateFrame, kBeginDraw, kDrawBackground, kDrawFrame, kEndDraw, kDeleteFrame, kCallCount };
const char* const kCallNames[kCallCount] = {"Create", "Begin", "Backgr", "Frame", "End", "Delete"};

struct EngineCase {
    const char* name;
    std::function<std::unique_ptr<gengine>(HWND)> make;
    uint32_t param1, param2;
};

std::unique_ptr<gengine> MakeGdiPlus(HWND window) {
    return std::unique_ptr<gengine>(new gdiplusengine(window));
}

// Null when Direct2D cannot serve the window.
std::unique_ptr<gengine> MakeDirect2D(HWND window) {
    try {
        return std::unique_ptr<gengine>(new d2dengine(window));
    } catch (const std::exception&) {
        return nullptr;
    }
}

// Add further engines here; each runs with the parameters given.
std::vector<EngineCase> EngineCases() {
    return {
        {"GDI", [](HWND window) { return std::unique_ptr<gengine>(new gdiengine(window)); }, 0, 2},
        {"GDI+ Default, White", MakeGdiPlus, 0, 0},
        {"GDI+ Low, White", MakeGdiPlus, 1, 0},
        {"GDI+ High, White", MakeGdiPlus, 2, 0},
        {"GDI+ Biliner, White", MakeGdiPlus, 3, 0},
        {"GDI+ Bicubic, White", MakeGdiPlus, 4, 0},
        {"GDI+ NearestNeighbor, White", MakeGdiPlus, 5, 0},
        {"GDI+ HQ Biliner, White", MakeGdiPlus, 6, 0},
        {"GDI+ HQ Bicubic, White", MakeGdiPlus, 7, 0},
        {"GDI+ HQ Bicubic, Black", MakeGdiPlus, 7, 1},
        {"Direct2D No Translucent", MakeDirect2D, 0, 0},
        {"Direct2D White Top", MakeDirect2D, 1, 0},
        {"Direct2D Black Top", MakeDirect2D, 2, 0},
    };
}

class Stopwatch {
public:
    Stopwatch() {
        QueryPerformanceFrequency(&frequency_);
        QueryPerformanceCounter(&start_);
    }
    double Ms() const {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return 1000.0 * static_cast<double>(now.QuadPart - start_.QuadPart) / static_cast<double>(frequency_.QuadPart);
    }

private:
    LARGE_INTEGER frequency_, start_;
};

struct Timing {
    double callMs[kCallCount] = {};  // per call
    double tickMs = -1.0;            // per tick; negative when the engine is unavailable
    double wholeMs = -1.0;           // per tick told to draw the whole picture
};

// Times each call of the engine's ticks through the film; every call ends
// with GdiFlush, so GDI work is counted in the call that asked for it.
// Ticks come in runs of five as played and five drawn whole, so that both
// meet the same load of a busy machine; the calls are those of the former.
Timing TimeEngine(const EngineCase& engineCase, HWND window, animreader& reader, uint32_t frames) {
    Timing timing;
    std::unique_ptr<gengine> engine = engineCase.make(window);
    if (!engine) return timing;
    engine->SetParam1(engineCase.param1);
    engine->SetParam2(engineCase.param2);
    engine->CaptureBackground();
    double sums[kCallCount] = {};
    bool whole = false;
    auto timed = [&](Call call, const std::function<void()>& work) {
        Stopwatch watch;
        work();
        GdiFlush();
        if (!whole) sums[call] += watch.Ms();
    };
    auto tick = [&](uint32_t i) {
        EngineFrame* frame = nullptr;
        timed(kCreateFrame, [&] { frame = reader.ReadFrame(i % reader.FrameCount(), engine.get()); });
        if (whole) engine->InvalidatePicture();
        timed(kBeginDraw, [&] { engine->BeginDraw(); });
        timed(kDrawBackground, [&] { engine->DrawBackground(); });
        timed(kDrawFrame, [&] { engine->DrawFrame(frame); });
        timed(kEndDraw, [&] { engine->EndDraw(); });
        timed(kDeleteFrame, [&] { engine->DeleteFrame(frame); });
    };
    // One tick first: what an engine prepares once (a stretched background)
    // is spread over a whole film in real use.
    tick(0);
    std::fill(std::begin(sums), std::end(sums), 0.0);
    Stopwatch watch;
    double ms[2] = {};
    uint32_t done[2] = {};
    // Engines that take seconds per frame under Wine stop at the time budget.
    for (uint32_t i = 0; i < 2 * frames && (i < 10 || watch.Ms() < kCaseBudgetMs); ++i) {
        whole = i / 5 % 2 == 1;
        Stopwatch one;
        tick(1 + i);
        ms[whole] += one.Ms();
        ++done[whole];
    }
    timing.tickMs = ms[0] / done[0];
    timing.wholeMs = ms[1] / done[1];
    for (int call = 0; call < kCallCount; ++call) timing.callMs[call] = sums[call] / done[0];
    return timing;
}

// The bare player the engines are measured against: each frame the reader
// hands it goes to the window with one StretchDIBits, and nothing else.
class BarePlayer : public gdiengine {
public:
    explicit BarePlayer(HWND window) : gdiengine(window), window_(window) {}
    EngineFrame* CreateFrame(const uint8_t* data, uint32_t size, int32_t width, int32_t height,
                             uint32_t) override {
        WindowDC dc(window_);
        GreyBitmapInfo info(width, height, BI_RLE8, size);
        StretchDIBits(dc.get(), 0, 0, kWindowWidth, kWindowHeight, 0, 0, width, height, data, info.get(),
                      DIB_RGB_COLORS, SRCCOPY);
        return nullptr;
    }

private:
    HWND window_;
};

// Milliseconds per frame of the bare player.
double TimeBareStretch(HWND window, animreader& reader, uint32_t frames) {
    BarePlayer bare(window);
    Stopwatch watch;
    for (uint32_t i = 0; i < frames; ++i) reader.ReadFrame(i % reader.FrameCount(), &bare);
    GdiFlush();
    return watch.Ms() / frames;
}

// A few hundred dots of 3 x 3 film pixels, each moving every frame.
GreyPicture Scattered(int32_t width, int32_t height, uint32_t step) {
    constexpr uint32_t kDots = 300;
    GreyPicture picture(width, height);
    for (uint32_t i = 0; i < kDots; ++i) {
        const uint32_t seed = i * 2654435761u;
        const int32_t x = static_cast<int32_t>((seed % 1000 * width / 1000 + step * (1 + i % 3)) % (width - 3));
        const int32_t y =
            static_cast<int32_t>((seed / 1000 % 1000 * height / 1000 + step * (2 + i % 4)) % (height - 3));
        picture.Fill(x, y, x + 3, y + 3, 255);
    }
    return picture;
}

// Milliseconds of a Direct2D tick that draws nothing: what its render
// target costs to present the picture, before anything is drawn. Negative
// when Direct2D cannot serve the window.
double TimeDirect2DPresent(HWND window) {
    std::unique_ptr<gengine> engine = MakeDirect2D(window);
    if (!engine) return -1.0;
    DrawPicture(*engine, nullptr);
    constexpr uint32_t kTicks = 60;
    Stopwatch watch;
    for (uint32_t i = 0; i < kTicks; ++i) {
        engine->BeginDraw();
        engine->EndDraw();
    }
    return watch.Ms() / kTicks;
}

void Report(const char* film, animreader& reader, HWND window, uint32_t frames, const std::string& only) {
    std::vector<EngineCase> cases = EngineCases();
    // `only`: names, or the starts of names, separated by '|'; the case's
    // whole name when it ends with a dot.
    auto chosen = [&](const std::string& name) {
        if (only.empty()) return true;
        for (size_t start = 0; start <= only.size();) {
            size_t end = std::min(only.find('|', start), only.size());
            const std::string wanted = only.substr(start, end - start);
            if (!wanted.empty() && wanted.back() == '.' ? name + "." == wanted : name.find(wanted) == 0) return true;
            start = end + 1;
        }
        return false;
    };
    cases.erase(std::remove_if(cases.begin(), cases.end(), [&](const EngineCase& c) { return !chosen(c.name); }),
                cases.end());
    TimeBareStretch(window, reader, 10);  // warm up
    const double bareMs = TimeBareStretch(window, reader, frames);
    std::printf("\n%s: %dx%d, %u frames; %u ticks (or %.0f s) per engine on a %dx%d window\n", film,
                reader.Width(), reader.Height(), reader.FrameCount(), frames, kCaseBudgetMs / 1000.0, kWindowWidth,
                kWindowHeight);
    std::printf("%-28s %8.3f ms/frame\n", "bare StretchDIBits", bareMs);
    std::printf("%-28s %8s %7s %8s |", "engine (ms per tick, per call)", "tick", "x bare", "whole");
    for (const char* name : kCallNames) std::printf(" %7s", name);
    std::printf("\n");
    for (const EngineCase& engineCase : cases) {
        const Timing timing = TimeEngine(engineCase, window, reader, frames);
        if (timing.tickMs < 0) {
            std::printf("%-28s unavailable\n", engineCase.name);
            continue;
        }
        std::printf("%-28s %8.3f %7.2f %8.3f |", engineCase.name, timing.tickMs, timing.tickMs / bareMs,
                    timing.wholeMs);
        for (double ms : timing.callMs) std::printf(" %7.3f", ms);
        std::printf("\n");
        std::fflush(stdout);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

}  // namespace

// engine_bench [ticks per engine] [film that changes little] [engines: names or their starts, split by |]
int main(int argc, char** argv) {
    const std::string only = argc > 3 ? argv[3] : "";
    const uint32_t frames = argc > 1 ? static_cast<uint32_t>(std::max(1, atoi(argv[1]))) : 300;
    CoInitialize(nullptr);
    StartGdiplus();
    InitDirect2D();
    TestWindow window(kWindowWidth, kWindowHeight);
    ScratchDir dir;

    FilmBuilder walking(kFilmWidth, kFilmHeight), everyPixel(kFilmWidth, kFilmHeight),
        scattered(kDotsWidth, kDotsHeight);
    for (uint32_t i = 0; i < kFilmFrames; ++i) {
        walking.Add(Silhouette(kFilmWidth, kFilmHeight, i));
        everyPixel.Add(Stripes(kFilmWidth, kFilmHeight, i));
        scattered.Add(Scattered(kDotsWidth, kDotsHeight, i));
    }
    std::wstring little = dir.File(L"walking.nxl");
    const std::wstring changing = dir.File(L"every-pixel.nxl");
    if (argc > 2) {
        little = WinePath(argv[2]);
    } else if (!walking.Write(little)) {
        little.clear();
    }
    animreader reader;
    if (little.empty() || !reader.Open(little.c_str())) {
        std::fprintf(stderr, "cannot open the film that changes little\n");
        return 1;
    }
    Report(argc > 2 ? "film that changes little (given)" : "film that changes little (walking figure)", reader,
           window.hwnd(), frames, only);
    reader.Close();
    if (!everyPixel.Write(changing) || !reader.Open(changing.c_str())) {
        std::fprintf(stderr, "cannot write or open the film whose every pixel changes\n");
        return 1;
    }
    Report("film whose every pixel changes", reader, window.hwnd(), frames, only);
    reader.Close();
    const std::wstring dots = dir.File(L"scattered.nxl");
    if (!scattered.Write(dots) || !reader.Open(dots.c_str())) {
        std::fprintf(stderr, "cannot write or open the scattered film\n");
        return 1;
    }
    Report("scattered film (300 dots moving every frame)", reader, window.hwnd(), frames, only);
    const double presentMs = TimeDirect2DPresent(window.hwnd());
    if (presentMs >= 0) {
        std::printf("\nDirect2D tick that draws nothing (BeginDraw, EndDraw: the present alone) %8.3f ms\n",
                    presentMs);
    }
    return 0;
}
