// noxel_longrun <minutes> <engine> [<seconds between samples>]: plays a
// three-second film of a walking figure with music (every tick draws what
// changed; the film and its music start again every three seconds) under
// the real noxel.scr /s, samples the process from outside,
// prints a table and whether memory, GDI objects or handles grew. Exit code
// 0 when nothing grew and the saver closed with 0 at the end.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/FilmBuilder.h"
#include "common/TestSupport.h"
#include "common/WavBuilder.h"
#include "robust/ProcessProbe.h"
#include "saver/SaverHarness.h"

namespace {

using robust_tests::ProcessSample;

constexpr DWORD kStartMs = 20000;  // samples before this show the saver still starting
constexpr double kMemorySlack = 0.05;
constexpr uint64_t kMemorySlackBytes = 1 << 20;
constexpr long kCountSlack = 5;

struct Row {
    DWORD elapsedMs;
    ProcessSample sample;
};

// The lowest value of `field` among rows in [fromMs, toMs]: a leak raises the
// floor, while memory that comes and goes between samples does not.
template <typename F>
double Floor(const std::vector<Row>& rows, DWORD fromMs, DWORD toMs, F field) {
    double floor = -1;
    for (const Row& r : rows)
        if (r.elapsedMs >= fromMs && r.elapsedMs <= toMs && (floor < 0 || field(r.sample) < floor))
            floor = field(r.sample);
    return floor;
}

// Compares the floor of the last third of the run with that of the first
// third, leaving out the samples taken while the saver was still starting.
template <typename F>
bool Grew(const char* what, const std::vector<Row>& rows, DWORD totalMs, F field, double slack, double ratio) {
    if (totalMs <= kStartMs) {
        std::printf("%-16s not measured: the run was too short\n", what);
        return false;
    }
    const DWORD third = (totalMs - kStartMs) / 3;
    const double before = Floor(rows, kStartMs, kStartMs + third, field);
    const double after = Floor(rows, totalMs - third, totalMs, field);
    if (before <= 0 || after <= 0) {
        std::printf("%-16s not measured\n", what);
        return false;
    }
    const bool grew = after > before + std::max(slack, before * ratio);
    std::printf("%-16s first third %.0f, last third %.0f: %s\n", what, before, after, grew ? "GREW" : "steady");
    return grew;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "noxel_longrun <minutes> <engine> [<seconds between samples>]\n");
        return 2;
    }
    const DWORD totalMs = static_cast<DWORD>(_wtof(argv[1]) * 60000);
    const uint32_t engine = static_cast<uint32_t>(_wtoi(argv[2]));
    const DWORD periodMs = argc > 3 ? static_cast<DWORD>(_wtoi(argv[3])) * 1000 : 30000;

    testing_support::ScratchDir dir;
    const std::wstring film = dir.File(L"walk.nxl");
    const std::wstring music = dir.File(L"tone.wav");
    const std::wstring background = dir.File(L"back.bmp");
    testing_support::WavLayout wav;
    wav.samples = testing_support::SquareWave(wav, 1.5, 1.5);
    testing_support::FilmBuilder walk(160, 120);
    for (uint32_t step = 0; step < 90; ++step) walk.Add(testing_support::Silhouette(160, 120, step));
    if (!walk.Write(film) || !saver_tests::WriteSolidBmp(background, 64, 36, RGB(40, 80, 160)) ||
        !testing_support::WriteFileBytes(music, testing_support::BuildWav(wav))) {
        std::fprintf(stderr, "cannot write the film, the music or the picture\n");
        return 2;
    }
    saver_tests::SettingsScope settings;
    settings.Text(L"NoxelFilePath", film);
    settings.Text(L"WavFilePath", music);
    settings.Text(L"BackGroundImageFilePath", background);
    settings.Number(L"BGM", 1);
    settings.Number(L"DisplayFrameRate", 1);
    settings.Number(L"Engine", engine);
    settings.Number(L"Param1", 0);
    settings.Number(L"Param2", 1);

    saver_tests::SaverProcess saver(L"/s");
    if (!saver.started()) {
        std::printf("cannot start noxel.scr from NOXEL_BIN\n");
        return 1;
    }
    // A first start in a fresh prefix on a busy machine can take a while.
    HWND window = saver.WaitForFullScreenWindow(180000);
    if (!window) {
        std::printf("noxel.scr showed no window (exit code %lu)\n", saver.ExitCode());
        return 1;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) {
        std::printf("cannot open noxel.scr's process (error %lu)\n", GetLastError());
        return 1;
    }

    std::printf("engine %u, %lu minutes, a sample every %lu s\n", engine, totalMs / 60000, periodMs / 1000);
    std::printf("%6s %16s %14s %12s %8s\n", "time", "working set KB", "private KB", "GDI objects", "handles");
    std::vector<Row> rows;
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        const ProcessSample s = robust_tests::SampleProcess(process);
        rows.push_back({elapsed, s});
        std::printf("%3lu:%02lu %16llu %14llu %12ld %8ld\n", elapsed / 60000, elapsed / 1000 % 60,
                    static_cast<unsigned long long>(s.workingSetBytes / 1024),
                    static_cast<unsigned long long>(s.privateBytes / 1024), s.gdiObjects, s.handles);
        std::fflush(stdout);
        if (elapsed >= totalMs || !saver.Running()) break;
        Sleep(std::min(periodMs, totalMs - elapsed));
    }
    const bool ranThrough = saver.Running();
    PostMessageW(window, WM_KEYDOWN, VK_SPACE, 0);
    const bool closed = saver.WaitExit(10000);
    std::printf("ran to the end: %s; closed on a key press with exit code %lu\n", ranThrough ? "yes" : "NO",
                saver.ExitCode());
    CloseHandle(process);

    const DWORD span = rows.back().elapsedMs;
    bool grew = false;
    grew |= Grew("working set", rows, span, [](const ProcessSample& s) { return double(s.workingSetBytes); },
                 kMemorySlackBytes, kMemorySlack);
    grew |= Grew("private bytes", rows, span, [](const ProcessSample& s) { return double(s.privateBytes); },
                 kMemorySlackBytes, kMemorySlack);
    grew |= Grew("GDI objects", rows, span, [](const ProcessSample& s) { return double(s.gdiObjects); },
                 kCountSlack, 0);
    grew |= Grew("handles", rows, span, [](const ProcessSample& s) { return double(s.handles); }, kCountSlack, 0);
    return ranThrough && closed && saver.ExitCode() == 0 && !grew ? 0 : 1;
}
