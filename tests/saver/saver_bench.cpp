// Figures for the screen saver on this machine, printed, judged by nobody:
//   saver_bench ticks <engine>    redraws per second and CPU time per second
//                                 of film, full screen, the player and host
//                                 code running in this process
//   saver_bench process <engine> [film]
//                                 noxel.scr /s, with ten seconds marked on
//                                 stdout for a CPU reading from outside; film
//                                 "walk" (default), "changing" (every pixel
//                                 changes each frame), "dot" (a small square
//                                 moves, nothing else) or a film file's path
//   saver_bench bare [film]       the same for bare_player, the yardstick
//   saver_bench display <engine> [film]
//                                 the player and host code in this process,
//                                 full screen, overlay off: ten seconds marked
//                                 with the display on, then ten with it off
//                                 (the system's broadcast sent to the window)
//   saver_bench memory            peak memory of noxel.scr /s with a 30-frame
//                                 and a 30,000-frame film of one picture size
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/FilmBuilder.h"
#include "common/TestSupport.h"
#include "saver/SaverHarness.h"
#include "shell/host.h"

using namespace saver_tests;
using testing_support::FilmBuilder;
using testing_support::ScratchDir;

namespace {

constexpr int kPictureWidth = 480, kPictureHeight = 360;
constexpr DWORD kWarmUpMs = 2000;
constexpr DWORD kMeasureMs = 10000;
const char* const kEngineNames[] = {"GDI", "GDI+", "Direct2D"};

// A film of `frames` frames cycling through 30 walking silhouettes.
bool WriteSilhouetteFilm(const std::wstring& path, uint32_t frames) {
    FilmBuilder pictures(kPictureWidth, kPictureHeight);
    for (uint32_t i = 0; i < 30; ++i) pictures.Add(testing_support::Silhouette(kPictureWidth, kPictureHeight, i));
    FilmBuilder film(kPictureWidth, kPictureHeight);
    for (uint32_t i = 0; i < frames; ++i) film.AddStream(pictures.Stream(i % 30));
    return film.Write(path);
}

// A film whose every pixel changes at every frame: level stripes whose grey
// levels move on by one of three steps and toggle a second offset.
bool WriteChangingFilm(const std::wstring& path, uint32_t frames) {
    FilmBuilder film(kPictureWidth, kPictureHeight);
    for (uint32_t i = 0; i < frames; ++i) {
        testing_support::GreyPicture picture(kPictureWidth, kPictureHeight);
        for (int y = 0; y < kPictureHeight; ++y)
            picture.Fill(0, y, kPictureWidth, y + 1, static_cast<uint8_t>(((y + i) % 3) * 84 + (i % 2) * 40));
        film.Add(picture);
    }
    return film.Write(path);
}

// A film in which only a small square moves, one step a frame, over a
// picture that stands still: what an engine costs per frame when almost
// nothing is to be drawn.
bool WriteDotFilm(const std::wstring& path, uint32_t frames) {
    constexpr int kDot = 6;
    FilmBuilder film(kPictureWidth, kPictureHeight);
    for (uint32_t i = 0; i < frames; ++i) {
        testing_support::GreyPicture picture = testing_support::Silhouette(kPictureWidth, kPictureHeight, 0);
        const int x = static_cast<int>(i * 3 % (kPictureWidth - kDot));
        picture.Fill(x, kPictureHeight / 8, x + kDot, kPictureHeight / 8 + kDot, 128);
        film.Add(picture);
    }
    return film.Write(path);
}

// A scratch film of `frames` frames named in the settings, with the engine;
// the settings key is put back as it was afterwards. `kind` "walk",
// "changing" and "dot" are made here; anything else is the path of a film.
class BenchFilm {
public:
    BenchFilm(uint32_t frames, uint32_t engine, const std::string& kind = "walk", uint32_t overlay = 1) {
        std::wstring film = dir_.File(L"bench.nxl");
        if (kind == "walk") {
            ready_ = WriteSilhouetteFilm(film, frames);
        } else if (kind == "changing") {
            ready_ = WriteChangingFilm(film, 60);
        } else if (kind == "dot") {
            ready_ = WriteDotFilm(film, 150);
        } else {
            film = testing_support::WinePath(kind);
            ready_ = GetFileAttributesW(film.c_str()) != INVALID_FILE_ATTRIBUTES;
        }
        path_ = film;
        settings_.Text(L"NoxelFilePath", film);
        settings_.Number(L"Engine", engine);
        // The options measured: GDI as installed, GDI+ NearestNeighbor with
        // white, Direct2D No Translucent.
        settings_.Number(L"Param1", engine == 1 ? 5 : 0);
        settings_.Number(L"Param2", engine == 0 ? 2 : 0);
        settings_.Number(L"BGM", 0);
        settings_.Number(L"DisplayFrameRate", overlay);
    }
    bool ready() const { return ready_; }
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
    ScratchDir dir_;
    SettingsScope settings_;
    bool ready_ = false;
};

uint64_t CpuMs(HANDLE process) {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(process, &created, &ended, &kernel, &user)) return 0;
    auto value = [](const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return (value(kernel) + value(user)) / 10000;
}

// A slow engine may still be closing the previous run, and a second
// full-screen start would only bring that one to the front.
void WaitForNoSaver() {
    for (int i = 0; i < 300 && FindWindowW(L"WindowsScreenSaverClass", L"Screen Saver"); ++i) Sleep(100);
}

std::atomic<uint32_t> g_timerMessages{0};

LRESULT CALLBACK CountTimerMessages(int code, WPARAM removal, LPARAM message) {
    const MSG* msg = reinterpret_cast<const MSG*>(message);
    if (code == HC_ACTION && removal == PM_REMOVE && msg->message == WM_TIMER) ++g_timerMessages;
    return CallNextHookEx(nullptr, code, removal, message);
}

int Ticks(uint32_t engine) {
    BenchFilm film(300, engine);
    if (!film.ready()) return 1;

    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, CountTimerMessages, nullptr, GetCurrentThreadId());
    std::thread watcher([engine] {
        Sleep(kWarmUpMs);
        const uint32_t ticks0 = g_timerMessages;
        const uint64_t cpu0 = CpuMs(GetCurrentProcess());
        const DWORD t0 = GetTickCount();
        Sleep(kMeasureMs);
        const uint32_t ticks1 = g_timerMessages;
        const uint64_t cpu1 = CpuMs(GetCurrentProcess());
        const double seconds = (GetTickCount() - t0) / 1000.0;
        std::printf("%-9s %6.1f ticks/s   %5.0f ms CPU per s of film   (player in the bench process, %.1f s)\n",
                    kEngineNames[engine], (ticks1 - ticks0) / seconds, (cpu1 - cpu0) / seconds, seconds);
        std::fflush(stdout);
        PostMessageW(FindWindowW(L"WindowsScreenSaverClass", L"Screen Saver"), WM_CLOSE, 0, 0);
    });
    RunSaver(nullptr);
    watcher.join();
    UnhookWindowsHookEx(hook);
    return 0;
}

// Runs noxel.scr /s and marks on stdout the ten seconds over which the
// calling script reads the process's CPU time from the host's side (Wine
// does not report another process's times).
// The overlay is off, as a screen saver mostly runs.
int Process(uint32_t engine, const std::string& kind) {
    BenchFilm film(300, engine, kind, 0);
    if (!film.ready()) return 1;

    WaitForNoSaver();
    SaverProcess saver(L"/s");
    HWND window = saver.WaitForFullScreenWindow(10000);
    if (!window) return 1;
    Sleep(kWarmUpMs);
    std::printf("measure %s\n", kEngineNames[engine]);
    std::fflush(stdout);
    Sleep(kMeasureMs);
    std::printf("end\n");
    std::fflush(stdout);
    PostMessageW(window, WM_CLOSE, 0, 0);
    saver.WaitExit(30000);
    return 0;
}

// The broadcast carries its data by pointer, so the saver runs in this
// process for it, on this thread; the marks come from another.
int Display(uint32_t engine, const std::string& kind) {
    BenchFilm film(300, engine, kind, 0);
    if (!film.ready()) return 1;
    WaitForNoSaver();
    std::thread watcher([] {
        HWND window = nullptr;
        for (int i = 0; i < 300 && !window; ++i) {
            Sleep(100);
            window = FindWindowW(L"WindowsScreenSaverClass", L"Screen Saver");
        }
        Sleep(kWarmUpMs);
        for (DWORD state : {1u, 0u}) {
            testing_support::SendPowerSetting(window, state);
            Sleep(1000);  // the last frame drawn, the device closed
            std::printf("measure display %s\n", state ? "on" : "off");
            std::fflush(stdout);
            Sleep(kMeasureMs);
            std::printf("end\n");
            std::fflush(stdout);
        }
        Sleep(1000);  // the calling script reads this process's CPU at the mark
        testing_support::SendPowerSetting(window, 1);
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    RunSaver(nullptr);
    watcher.join();
    return 0;
}

// bare_player beside this program, on the same film, marked as Process does.
int Bare(const std::string& kind) {
    BenchFilm film(300, 0, kind, 0);
    if (!film.ready()) return 1;
    std::wstring program = testing_support::SelfPath();
    program = program.substr(0, program.find_last_of(L'\\') + 1) + L"bare_player.exe";
    SaverProcess bare(L"\"" + film.path() + L"\" " + std::to_wstring((kWarmUpMs + kMeasureMs) / 1000 + 2), program,
                      L"");
    if (!bare.started()) return 1;
    Sleep(kWarmUpMs);
    std::printf("measure bare\n");
    std::fflush(stdout);
    Sleep(kMeasureMs);
    std::printf("end\n");
    std::fflush(stdout);
    bare.WaitExit(30000);
    return 0;
}

// Peak working set and peak private bytes of noxel.scr after a few seconds
// of a film of `frames` frames.
bool PeakMemory(uint32_t frames, PROCESS_MEMORY_COUNTERS& counters) {
    BenchFilm film(frames, 0);
    if (!film.ready()) return false;
    WaitForNoSaver();
    SaverProcess saver(L"/s");
    if (!saver.WaitForFullScreenWindow(10000)) return false;
    Sleep(4000);
    counters.cb = sizeof(counters);
    return GetProcessMemoryInfo(saver.handle(), &counters, sizeof(counters));
}

int Memory() {
    PROCESS_MEMORY_COUNTERS shortFilm = {}, longFilm = {};
    if (!PeakMemory(30, shortFilm) || !PeakMemory(30000, longFilm)) return 1;
    const double kib = 1024.0;
    std::printf("noxel.scr /s, GDI, %dx%d film    peak working set   peak private bytes\n", kPictureWidth,
                kPictureHeight);
    std::printf("     30 frames              %12.0f KiB   %12.0f KiB\n", shortFilm.PeakWorkingSetSize / kib,
                shortFilm.PeakPagefileUsage / kib);
    std::printf(" 30,000 frames              %12.0f KiB   %12.0f KiB\n", longFilm.PeakWorkingSetSize / kib,
                longFilm.PeakPagefileUsage / kib);
    std::printf(" difference                 %12.0f KiB   %12.0f KiB   (offset matrix grows by %.0f KiB)\n",
                (static_cast<double>(longFilm.PeakWorkingSetSize) - shortFilm.PeakWorkingSetSize) / kib,
                (static_cast<double>(longFilm.PeakPagefileUsage) - shortFilm.PeakPagefileUsage) / kib,
                (30000 - 30) * 8 / kib);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const uint32_t engine = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 0;
    if (mode == "ticks" && engine < 3) return Ticks(engine);
    if (mode == "process" && engine < 3) return Process(engine, argc > 3 ? argv[3] : "walk");
    if (mode == "display" && engine < 3) return Display(engine, argc > 3 ? argv[3] : "walk");
    if (mode == "bare") return Bare(argc > 2 ? argv[2] : "walk");
    if (mode == "memory") return Memory();
    std::fprintf(stderr,
                 "usage: saver_bench ticks <engine 0-2> | process <engine 0-2> [film] | bare [film]\n"
                 "                   | display <engine 0-2> [film] | memory\n");
    return 2;
}
