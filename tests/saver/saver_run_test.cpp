// The real noxel.scr, started as the system starts a screen saver and
// watched from outside: what the screen shows, how fast the film runs,
// which input ends it, the music, the preview inside another program's
// window, and the exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/AudioSink.h"
#include "common/ChildProcess.h"
#include "common/TestSupport.h"
#include "common/TestWindow.h"
#include "common/WavBuilder.h"
#include "saver/SaverHarness.h"
#include "shell/host.h"

namespace {

using namespace saver_tests;
using testing_support::AudioSink;
using testing_support::LoudStretches;
using testing_support::ScratchDir;
using testing_support::TestWindow;
using testing_support::WaitUntil;

constexpr COLORREF kBackground = RGB(40, 80, 160);
constexpr DWORD kExitWaitMs = 10000;
constexpr DWORD kMinusOne = 0xFFFFFFFF;

struct Sample {
    DWORD tick;
    int frame;
};

// Samples the frame shown until `enough` holds for the samples, or
// `timeoutMs` have passed.
std::vector<Sample> SampleFrames(const RECT& area, const std::function<bool(const std::vector<Sample>&)>& enough,
                                 DWORD timeoutMs) {
    std::vector<Sample> samples;
    WaitUntil([&] {
        const DWORD before = GetTickCount();
        const int frame = ReadFrameNumber(area);
        const DWORD after = GetTickCount();
        if (frame >= 0) samples.push_back({before + (after - before) / 2, frame});
        return enough(samples);
    }, timeoutMs);
    return samples;
}

// Where frame 0 of a pass must have started for `s` to show: the sample's
// time less the frame's place in a 30-per-second film. The screen shows a
// frame late, never early, so the smallest value is the best estimate.
double PassStart(const Sample& s) { return s.tick - s.frame * 1000.0 / 30.0; }

double EarliestStart(std::vector<Sample>::const_iterator from, std::vector<Sample>::const_iterator to) {
    double start = 1e18;
    for (auto s = from; s != to; ++s) start = std::min(start, PassStart(*s));
    return start;
}

// How often the shown frame changes: the redraw period of a slow engine,
// about a film frame for a fast one.
double ChangePeriod(const std::vector<Sample>& samples) {
    std::vector<double> periods;
    DWORD lastChange = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        if (samples[i].frame == samples[i - 1].frame) continue;
        if (lastChange) periods.push_back(samples[i].tick - lastChange);
        lastChange = samples[i].tick;
    }
    if (periods.empty()) return 0;
    std::sort(periods.begin(), periods.end());
    return periods[periods.size() / 2];
}

// The samples between two restarts of the film.
std::vector<std::vector<Sample>> SplitPasses(const std::vector<Sample>& samples) {
    std::vector<std::vector<Sample>> passes(1);
    for (const Sample& s : samples) {
        if (!passes.back().empty() && s.frame < passes.back().back().frame) passes.emplace_back();
        passes.back().push_back(s);
    }
    return passes;
}

// What is wrong with the 30-per-second clock of a 60-frame film, as
// `samples` saw it, or "" if nothing: each pass lasts two seconds and does
// not drift.
std::string ClockFault(const std::vector<Sample>& samples) {
    const auto passes = SplitPasses(samples);
    if (samples.size() <= 20 || passes.size() < 2) return "the film did not start again within 20 s";
    // A slow engine shows each frame late by up to its redraw period, and
    // notices the end of the film up to one period late.
    const double period = ChangePeriod(samples);
    const std::string redraws = "; the picture changes every " + std::to_string(period) + " ms";
    std::vector<double> starts;
    for (const auto& pass : passes) {
        for (const Sample& s : pass)
            if (s.frame >= 60) return "frame " + std::to_string(s.frame) + " of a 60-frame film";
        starts.push_back(EarliestStart(pass.begin(), pass.end()));
        if (pass.size() < 10 || period > 200.0) continue;
        // A clock of another speed would drift across the pass; judged only
        // where the picture changes often enough to show it.
        const auto middle = pass.begin() + pass.size() / 2;
        const double drift = EarliestStart(middle, pass.end()) - EarliestStart(pass.begin(), middle);
        if (std::abs(drift) > 100.0 + period)
            return "the frames drift " + std::to_string(drift) + " ms from a 30-per-second clock" + redraws;
    }
    for (size_t i = 1; i < starts.size(); ++i) {
        if (passes[i - 1].size() < 5 || passes[i].size() < 5) continue;
        const double length = starts[i] - starts[i - 1];
        if (length < 1900.0 - period || length > 2100.0 + 2 * period)
            return "a pass lasts " + std::to_string(length) + " ms, not the film's 60 frames" + redraws;
    }
    return "";
}

// The film of every run: 60 frames (two seconds) that show their number.
class SaverRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteCountingFilm(film_, 60));
        ASSERT_TRUE(WriteSolidBmp(background_, 64, 36, kBackground));
        settings_.Text(L"NoxelFilePath", film_);
        settings_.Text(L"BackGroundImageFilePath", background_);
        settings_.Number(L"BGM", 0);
        settings_.Number(L"DisplayFrameRate", 0);
        // GDI: white parts white, black parts black.
        settings_.Number(L"Engine", 0);
        settings_.Number(L"Param1", 0);
        settings_.Number(L"Param2", 1);
    }

    // A one-second film with music on, from a file holding `wavBytes`.
    void UseMusic(const std::vector<uint8_t>& wavBytes) {
        ASSERT_TRUE(WriteCountingFilm(film_, 30));
        const std::wstring music = dir_.File(L"music.wav");
        ASSERT_TRUE(testing_support::WriteFileBytes(music, wavBytes));
        settings_.Text(L"WavFilePath", music);
        settings_.Number(L"BGM", 1);
    }

    ScratchDir dir_;
    SettingsScope settings_;
    std::wstring film_ = dir_.File(L"count.nxl");
    std::wstring background_ = dir_.File(L"back.bmp");
};

// Each engine with options under which white shows white and black lets
// the background image through.
struct EngineCase {
    uint32_t engine;
    uint32_t param1;
    uint32_t param2;
    const wchar_t* screenshot;
};

class EngineRun : public SaverRun, public ::testing::WithParamInterface<EngineCase> {};

TEST_P(EngineRun, FilmFillsTheScreenAtThirtyFramesASecondAndLoops) {
    const EngineCase& c = GetParam();
    settings_.Number(L"Engine", c.engine);
    settings_.Number(L"Param1", c.param1);
    settings_.Number(L"Param2", c.param2);
    settings_.Number(L"DisplayFrameRate", 1);
    SaverProcess saver(L"/s");
    StartFullScreen(saver);
    if (HasFatalFailure()) return;
    const RECT screen = ScreenRect();
    const int w = screen.right;
    const int h = screen.bottom;
    RECT window = {};
    GetWindowRect(FindWindowW(L"WindowsScreenSaverClass", L"Screen Saver"), &window);
    EXPECT_EQ(0, window.left);
    EXPECT_EQ(0, window.top);
    EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), window.right - window.left);
    EXPECT_EQ(GetSystemMetrics(SM_CYVIRTUALSCREEN), window.bottom - window.top);

    {
        // The frame-rate line shows with the first picture drawn in full.
        ScreenGrab all(screen);
        WaitUntil([&] { return (all = ScreenGrab(screen)).Count({0, 0, 400, 100}, IsRed) > 200; }, 10000);
        testing_support::SaveShot(all, c.screenshot);
        // Stretched, not letterboxed: the marker half reaches the bottom, the
        // halves meet at the middle. The points keep clear of the edges by
        // more than half a film pixel (the interpolation modes differ there).
        const int column = w / kColumns;
        const int below = h / 2 + h / 16;
        const int above = h / 2 - h / 16;
        EXPECT_TRUE(IsWhite(all.At(column / 2, h - h / 24)));
        EXPECT_TRUE(testing_support::Near(kBackground, all.At(column * 3 / 2, h - h / 24), 24));
        EXPECT_TRUE(IsWhite(all.At(w - column * 3 / 2, below)));
        EXPECT_TRUE(testing_support::Near(kBackground, all.At(w - column * 3 / 2, above), 24));
        EXPECT_TRUE(testing_support::Near(kBackground, all.At(w - column / 2, h / 24), 24));
        EXPECT_GT(all.Count({0, 0, 400, 100}, IsRed), 200) << "the frame-rate line at the top left";
        EXPECT_EQ(0, all.Count({w - 400, h - 100, w, h}, IsRed));
    }

    // The film's clock, judged on a stretch of at least one whole pass. A
    // busy machine can hold the saver back for a second, and then its
    // frames show late for a while: the clock is judged again on a later
    // stretch, up to three times. A clock of another speed fails every time.
    std::string fault = "no samples";
    for (int attempt = 0; attempt < 3 && !fault.empty(); ++attempt) {
        const std::vector<Sample> samples = SampleFrames(
            screen, [](const std::vector<Sample>& s) { return SplitPasses(s).size() >= 3; }, 20000);
        fault = ClockFault(samples);
        if (attempt == 0) {
            // Shown late, a frame only moves the estimate later.
            const std::vector<Sample> first = SplitPasses(samples).front();
            EXPECT_GE(EarliestStart(first.begin(), first.end()) + 100.0, saver.launchTick())
                << "the clock started before launch";
        }
    }
    EXPECT_EQ("", fault);
    EndWithKey(saver);
}

INSTANTIATE_TEST_SUITE_P(Engines, EngineRun,
                         ::testing::Values(EngineCase{0, 0, 2, L"saver-gdi"},     // white, unchanged
                                           EngineCase{1, 5, 0, L"saver-gdiplus"},  // nearest, white
                                           EngineCase{2, 1, 0, L"saver-d2d"}),     // white top
                         [](const ::testing::TestParamInfo<EngineCase>& info) {
                             return std::to_string(info.param.engine);
                         });

std::atomic<uint32_t> g_saverTimers{0};

LRESULT CALLBACK CountSaverTimers(int code, WPARAM removal, LPARAM message) {
    const MSG* msg = reinterpret_cast<const MSG*>(message);
    if (code == HC_ACTION && removal == PM_REMOVE && msg->message == WM_TIMER) ++g_saverTimers;
    return CallNextHookEx(nullptr, code, removal, message);
}

// The saver runs here on a thread of its own, so that a power-setting
// broadcast can hand its data to the window as the system's does.
TEST_F(SaverRun, DISABLED_DisplayOffInThisProcess) {
    std::atomic<bool> ended{false};
    std::thread saver([&] {
        HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, CountSaverTimers, nullptr, GetCurrentThreadId());
        RunSaver(nullptr);
        UnhookWindowsHookEx(hook);
        ended = true;
    });
    const RECT screen = ScreenRect();
    HWND window = nullptr;
    const bool shown = WaitUntil([&] { return (window = FindWindowW(L"WindowsScreenSaverClass", L"Screen Saver")) &&
                                              ReadFrameNumber(screen) >= 0; }, 10000);
    if (shown) {
        EXPECT_EQ(TRUE, testing_support::SendPowerSetting(window, 0));
        const uint32_t timers = g_saverTimers;
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);  // black
        // The saver's thread erases its window a moment later on a busy machine.
        EXPECT_TRUE(WaitUntil([&] { return ReadFrameNumber(screen) < 0; }, 5000)) << "a paint drew the film";
        EXPECT_FALSE(WaitUntil([&] { return g_saverTimers != timers || ReadFrameNumber(screen) >= 0; }, 1000))
            << "a tick or a drawing while the display is off";
        EXPECT_EQ(TRUE, testing_support::SendPowerSetting(window, 1));
        EXPECT_TRUE(WaitUntil([&] { return ReadFrameNumber(screen) >= 0; }, 3000)) << "the whole picture is drawn";
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    const bool joined = WaitUntil([&] { return ended.load(); }, kExitWaitMs);
    if (joined) saver.join();
    else saver.detach();
    ASSERT_TRUE(shown) << "the film never showed";
    ASSERT_TRUE(joined);
}

TEST_F(SaverRun, NothingIsDrawnWhileTheDisplayIsOff) {
    EXPECT_EQ(0u, testing_support::RunSelf(
                      testing_support::OnlyDisabledTest(L"SaverRun.DISABLED_DisplayOffInThisProcess")));
}

TEST_F(SaverRun, AKeyOrAClickEndsWithZero) {
    const struct {
        const wchar_t* tail;
        void (*input)();
        const char* cause;
    } rows[] = {{L"/s", [] { PressKey('A'); }, "a key press"}, {L"-S", ClickLeft, "a click"}};
    for (const auto& row : rows) {
        SaverProcess saver(row.tail);
        StartFullScreen(saver);
        if (HasFatalFailure()) return;
        EXPECT_EQ(0, ScreenGrab({0, 0, 400, 100}).Count({0, 0, 400, 100}, IsRed)) << "a frame-rate line unasked";
        row.input();
        ExpectEndsWithZero(saver, row.cause);
    }
}

TEST_F(SaverRun, MovementsUpToFourPixelsKeepItRunningTheFifthEndsIt) {
    SetCursorPos(500, 500);
    SaverProcess saver(L"/s");
    StartFullScreen(saver);
    if (HasFatalFailure()) return;
    MoveMouseBy(2, 0);
    MoveMouseBy(1, 1);
    POINT at = {};
    // Input reaches the cursor a moment after it was sent.
    WaitUntil([&] { return GetCursorPos(&at) && at.x == 503 && at.y == 501; }, 3000);
    ASSERT_EQ(503, at.x);
    ASSERT_EQ(501, at.y);
    EXPECT_FALSE(saver.WaitExit(1000)) << "3 right and 1 down is 4 pixels";
    MoveMouseBy(1, 0);
    ExpectEndsWithZero(saver, "the fifth pixel");
}

// The window's own procedure comes first: a suspend query is allowed and the
// monitor going off ends the run.
TEST_F(SaverRun, ASuspendQueryIsAllowedAndTheMonitorGoingOffEndsIt) {
    SaverProcess saver(L"/s");
    StartFullScreen(saver);
    if (HasFatalFailure()) return;
    HWND window = FindWindowW(L"WindowsScreenSaverClass", L"Screen Saver");
    EXPECT_EQ(1, SendMessageW(window, WM_POWERBROADCAST, 0, 0));
    EXPECT_FALSE(saver.WaitExit(700)) << "a suspend query ended it";
    SendMessageW(window, WM_SYSCOMMAND, SC_MONITORPOWER, 2);
    ExpectEndsWithZero(saver, "the monitor going off");
}

TEST_F(SaverRun, OnlyOneFullScreenRunAtATime) {
    SaverProcess first(L"/s");
    StartFullScreen(first);
    if (HasFatalFailure()) return;
    SaverProcess second(L"/s");
    ExpectEndsWithZero(second, "a running screen saver");
    EXPECT_TRUE(first.Running());
    EndWithKey(first);
}

TEST_F(SaverRun, AnEngineOutsideTheListPlaysWithGdi) {
    // White parts inverted: GDI's option 3; GDI+ and Direct2D have no such.
    settings_.Number(L"Engine", 7);
    settings_.Number(L"Param1", 3);
    SaverProcess saver(L"/s");
    ASSERT_NE(nullptr, saver.WaitForFullScreenWindow(10000)) << "exit code " << saver.ExitCode();
    // The first column of the marker half is white in every frame.
    const RECT screen = ScreenRect();
    const POINT p = {screen.right / (2 * kColumns), screen.bottom * 3 / 4};
    const COLORREF inverted = RGB(255 - GetRValue(kBackground), 255 - GetGValue(kBackground),
                                  255 - GetBValue(kBackground));
    EXPECT_TRUE(WaitUntil([&] {
        return testing_support::Near(inverted, ScreenGrab({p.x, p.y, p.x + 1, p.y + 1}).At(p.x, p.y), 24);
    }, 10000)) << "the film's white parts are not inverted as GDI inverts them";
    EndWithKey(saver);
}

// Modes outside the table and a preview of a handle that names no window end
// at once with -1; a missing film ends at once with 0.
TEST_F(SaverRun, RunsThatCannotPlayEndAtOnce) {
    const HWND gone = TestWindow(20, 20).hwnd();
    ASSERT_FALSE(IsWindow(gone));
    const struct {
        std::wstring tail;
        bool filmMissing;
        DWORD code;
    } rows[] = {{L"/p", false, kMinusOne},    {L"/p 0", false, kMinusOne}, {L"/x", false, kMinusOne},
                {L"/a", false, kMinusOne},    {L"/a 12", false, kMinusOne},
                {L"/p " + std::to_wstring(reinterpret_cast<uintptr_t>(gone)), false, kMinusOne},
                {L"/s", true, 0}};
    for (const auto& row : rows) {
        if (row.filmMissing) settings_.Text(L"NoxelFilePath", dir_.File(L"missing.nxl"));
        SaverProcess saver(row.tail);
        ASSERT_TRUE(saver.WaitExit(kExitWaitMs)) << testing::PrintToString(row.tail);
        EXPECT_EQ(row.code, saver.ExitCode()) << testing::PrintToString(row.tail);
    }
}

TEST_F(SaverRun, MusicStartsAgainWithTheFilm) {
    // A one-second film and three seconds of music that is loud only for
    // its first quarter second: only a restart makes it loud again. The
    // sound file fills faster than real time, so the restarts are timed by
    // when each loud stretch arrives.
    testing_support::WavLayout wav;
    wav.samples = testing_support::SquareWave(wav, 0.25, 2.75);
    UseMusic(testing_support::BuildWav(wav));
    if (HasFatalFailure()) return;
    AudioSink sink;
    if (!sink.configured()) GTEST_SKIP() << "no audio file in this run";
    const uint64_t mark = sink.Mark();

    SaverProcess saver(L"/s");
    StartFullScreen(saver);
    if (HasFatalFailure()) return;
    // Four loud stretches: the first three are then whole.
    std::vector<DWORD> arrivals;
    std::vector<std::pair<size_t, size_t>> stretches;
    WaitUntil([&] {
        stretches = LoudStretches(sink.Since(mark));
        while (arrivals.size() < stretches.size()) arrivals.push_back(GetTickCount());
        return stretches.size() >= 4;
    }, 20000);
    EndWithKey(saver);

    ASSERT_GE(arrivals.size(), 4u) << "the music did not start again at the loop point";
    stretches.resize(3);
    // Roughly one film length apart on average. Arrival times are only seen
    // through the mixer and this test's polling, which a busy machine delays
    // or bunches, so single gaps are not judged: without restarts the loud
    // start would come once, and restarting at every tick would cut it short.
    const double mean = static_cast<double>(arrivals.back() - arrivals.front()) / (arrivals.size() - 1);
    EXPECT_GT(mean, 500.0) << "restarts come one film length apart, not faster";
    // A busy machine can play a stretch late enough for the next restart
    // to cut it; a restart that did not play the beginning would leave
    // only a sliver of it.
    size_t longest = 0;
    for (const auto& stretch : stretches) longest = std::max(longest, stretch.second);
    for (const auto& stretch : stretches)
        EXPECT_GE(stretch.second * 3, longest) << "each restart plays the same beginning";
}

TEST_F(SaverRun, MusicThatCannotLoadLeavesTheFilmSilent) {
    UseMusic(std::vector<uint8_t>(4096, 0x55));
    if (HasFatalFailure()) return;
    AudioSink sink;
    if (!sink.configured()) GTEST_SKIP() << "no audio file in this run";
    const uint64_t mark = sink.Mark();

    SaverProcess saver(L"/s");
    StartFullScreen(saver);
    if (HasFatalFailure()) return;
    int last = -1;
    EXPECT_TRUE(WaitUntil([&] {
        const int frame = ReadFrameNumber(ScreenRect());
        const bool restarted = frame >= 0 && frame < last;
        last = std::max(last, frame);
        return restarted;
    }, 10000)) << "the film did not start again";
    EXPECT_TRUE(saver.Running());
    EndWithKey(saver);
    EXPECT_TRUE(LoudStretches(sink.Since(mark)).empty());
}

// A preview inside a window of this program, as the display settings show it.
class PreviewRun : public SaverRun {
protected:
    static constexpr int kX = 200, kY = 150, kW = 320, kH = 240;
    RECT Area() const { return {kX, kY, kX + kW, kY + kH}; }
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
        return WaitUntil([&] { parent_->Pump(); return done(); }, timeoutMs);
    }
    HWND Child() const { return FindWindowExW(parent_->hwnd(), nullptr, L"WindowsScreenSaverClass", L"Preview"); }
    void ExpectInputLeavesItRunning(const std::function<bool()>& running) {
        SetCursorPos(kX + kW / 2, kY + kH / 2);
        PressKey('A');
        ClickLeft();
        MoveMouseBy(40, 30);
        EXPECT_FALSE(PumpUntil([&] { return !running(); }, 1000)) << "input does not end a preview";
    }

    std::unique_ptr<TestWindow> parent_ = std::make_unique<TestWindow>(kW, kH, kX, kY);
};

TEST_F(PreviewRun, TheProgramBecomesAChildOfTheWindowAndEndsWithIt) {
    SaverProcess saver(L"/p " + std::to_wstring(reinterpret_cast<uintptr_t>(parent_->hwnd())));
    HWND child = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (child = Child()) != nullptr; }, 10000)) << "exit code " << saver.ExitCode();
    EXPECT_TRUE(GetWindowLongW(child, GWL_STYLE) & WS_CHILD);
    RECT bounds = {};
    GetWindowRect(child, &bounds);
    EXPECT_EQ(Area().left, bounds.left);
    EXPECT_EQ(Area().top, bounds.top);
    EXPECT_EQ(Area().right, bounds.right);
    EXPECT_EQ(Area().bottom, bounds.bottom);
    ExpectInputLeavesItRunning([&] { return saver.Running(); });

    parent_.reset();
    ExpectEndsWithZero(saver, "the parent's end");
}

// Wine draws nothing that one process paints into a child of another
// process's window, so the pixels of a preview are read from a run of the
// same code inside one process: the preview on a thread of its own, as it
// would run in noxel.scr, with the parent on this one.
TEST_F(PreviewRun, DISABLED_TheFilmFillsTheClientAreaInThisProcess) {
    HWND parent = parent_->hwnd();
    std::atomic<int> quitCode{-2};
    std::atomic<bool> ended{false};
    std::thread preview([&] {
        quitCode = RunSaver(parent);
        ended = true;
    });
    int first = -1;
    const bool shown = PumpUntil([&] { return (first = ReadFrameNumber(Area())) >= 0; }, 10000);
    if (shown) {
        PumpUntil([] { return false; }, 400);
        EXPECT_NE(first, ReadFrameNumber(Area())) << "the film moves";
        testing_support::SaveShot(ScreenGrab(Area()), L"saver-preview");
        ExpectInputLeavesItRunning([&] { return !ended; });
    }
    parent_.reset();
    const bool joined = WaitUntil([&] { return ended.load(); }, kExitWaitMs);
    if (joined) preview.join();
    else preview.detach();
    ASSERT_TRUE(shown) << "the film does not show in the parent's client area";
    ASSERT_TRUE(joined) << "the preview ends with its parent";
    EXPECT_EQ(0, quitCode);
}

TEST_F(PreviewRun, TheFilmFillsTheParentsClientArea) {
    parent_.reset();
    EXPECT_EQ(0u, testing_support::RunSelf(
                      testing_support::OnlyDisabledTest(L"PreviewRun.DISABLED_TheFilmFillsTheClientAreaInThisProcess")));
}

}  // namespace
