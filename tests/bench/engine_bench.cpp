// Times one playback tick of each rendering engine (read the frame, make it,
// draw background and frame through the back buffer, delete it) on a
// 1920 x 1080 window with a 480 x 360 film, beside a bare StretchDIBits of
// the same compressed frame, and prints milliseconds per frame and ratios.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "common/FilmBuilder.h"
#include "common/TestImages.h"
#include "common/TestSupport.h"
#include "common/TestWindow.h"
#include "engines/FrameBitmapInfo.h"
#include "engines/d2dengine.h"
#include "engines/gdiengine.h"
#include "engines/gdiplusengine.h"
#include "player/animreader.h"

using namespace testing_support;

namespace {

constexpr int kWindowWidth = 1920, kWindowHeight = 1080;
constexpr int kFilmWidth = 480, kFilmHeight = 360;
constexpr uint32_t kFilmFrames = 60;
constexpr int kRounds = 3;
constexpr double kCaseBudgetMs = 20000.0;

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

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Milliseconds per frame of the engine's whole tick.
double TimeEngine(const EngineCase& engineCase, HWND window, animreader& reader, uint32_t frames) {
    std::unique_ptr<gengine> engine = engineCase.make(window);
    if (!engine) return -1.0;
    engine->SetParam1(engineCase.param1);
    engine->SetParam2(engineCase.param2);
    engine->CaptureBackground();
    auto tick = [&](uint32_t i) {
        EngineFrame* frame = reader.ReadFrame(i % reader.FrameCount(), engine.get());
        engine->BeginDraw();
        engine->DrawBackground();
        engine->DrawFrame(frame);
        engine->EndDraw();
        engine->DeleteFrame(frame);
    };
    // One tick first: what an engine prepares once (a stretched background)
    // is spread over a whole film in real use.
    tick(0);
    GdiFlush();
    Stopwatch watch;
    uint32_t done = 0;
    // Engines that take seconds per frame under Wine stop at the time budget.
    while (done < frames && (done == 0 || watch.Ms() < kCaseBudgetMs)) tick(done++);
    GdiFlush();
    return watch.Ms() / done;
}

// Milliseconds per frame of GDI decoding and stretching the same streams
// straight onto the window, with nothing else.
double TimeBareStretch(HWND window, const FilmBuilder& film, uint32_t frames) {
    HDC dc = GetDC(window);
    Stopwatch watch;
    for (uint32_t i = 0; i < frames; ++i) {
        const std::vector<uint8_t>& stream = film.Stream(i % film.FrameCount());
        GreyBitmapInfo info(kFilmWidth, kFilmHeight, BI_RLE8, static_cast<DWORD>(stream.size()));
        StretchDIBits(dc, 0, 0, kWindowWidth, kWindowHeight, 0, 0, kFilmWidth, kFilmHeight, stream.data(),
                      info.get(), DIB_RGB_COLORS, SRCCOPY);
    }
    GdiFlush();
    double ms = watch.Ms() / frames;
    ReleaseDC(window, dc);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const uint32_t frames = argc > 1 ? static_cast<uint32_t>(std::max(1, atoi(argv[1]))) : 300;
    CoInitialize(nullptr);
    StartGdiplus();
    InitDirect2D();

    FilmBuilder film(kFilmWidth, kFilmHeight);
    for (uint32_t i = 0; i < kFilmFrames; ++i) film.Add(Silhouette(kFilmWidth, kFilmHeight, i));
    ScratchDir dir;
    std::wstring path = dir.File(L"bench.nxl");
    animreader reader;
    if (!film.Write(path) || !reader.Open(path.c_str())) {
        std::fprintf(stderr, "cannot write or open the film\n");
        return 1;
    }
    TestWindow window(kWindowWidth, kWindowHeight);

    std::vector<EngineCase> cases = EngineCases();
    std::vector<double> bare;
    std::vector<std::vector<double>> engines(cases.size());
    TimeBareStretch(window.hwnd(), film, 10);  // warm up
    for (int round = 0; round < kRounds; ++round) {
        bare.push_back(TimeBareStretch(window.hwnd(), film, frames));
        for (size_t i = 0; i < cases.size(); ++i)
            engines[i].push_back(TimeEngine(cases[i], window.hwnd(), reader, frames));
        window.Pump();
    }

    const double bareMs = Median(bare);
    std::printf("%u frames (or %.0f s per engine) of %dx%d on a %dx%d window, median of %d rounds\n", frames,
                kCaseBudgetMs / 1000.0, kFilmWidth, kFilmHeight, kWindowWidth, kWindowHeight, kRounds);
    std::printf("%-28s %8.3f ms/frame\n", "bare StretchDIBits", bareMs);
    for (size_t i = 0; i < cases.size(); ++i) {
        const double ms = Median(engines[i]);
        if (ms < 0) {
            std::printf("%-28s unavailable\n", cases[i].name);
            continue;
        }
        std::printf("%-28s %8.3f ms/frame  %5.2f x bare  (params %u, %u)\n", cases[i].name, ms, ms / bareMs,
                    cases[i].param1, cases[i].param2);
    }
    return 0;
}
