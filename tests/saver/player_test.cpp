// The player driven tick by tick with a test clock and an engine that logs
// every call: the start-up order, the frame each tick asks for, the drawing
// order, the loop restart and the stop.
#include <gtest/gtest.h>

#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "common/AudioSink.h"
#include "common/FilmBuilder.h"
#include "common/StubEngine.h"
#include "common/WavBuilder.h"
#include "common/TestSupport.h"
#include "common/TestWindow.h"
#include "player/player.h"
#include "saver/SaverHarness.h"

namespace {

using testing_support::FilmBuilder;
using testing_support::GreyPicture;
using testing_support::ScratchDir;

using Log = std::vector<std::string>;

// Frame n of the test films is one grey level n, so the first run of the
// stream names the frame: (run length, n).
struct LoggedFrame : EngineFrame {
    int number;
};

class LoggingEngine : public testing_support::StubEngine {
public:
    LoggingEngine(Log& log, bool backgroundLoads) : log_(log), backgroundLoads_(backgroundLoads) {}
    ~LoggingEngine() override { log_.push_back("~engine"); }

    void Resize() override { log_.push_back("Resize"); }
    void BeginDraw() override { log_.push_back("BeginDraw"); }
    void EndDraw() override {
        log_.push_back("EndDraw");
        // As when the window is uncovered while a frame is drawn.
        if (uncoverAtEndDraw) InvalidateRect(uncoverAtEndDraw, nullptr, FALSE);
        uncoverAtEndDraw = nullptr;
    }
    void DrawBackground() override { log_.push_back("DrawBackground"); }
    void DrawFrame(EngineFrame* frame) override {
        log_.push_back("DrawFrame " + std::to_string(static_cast<LoggedFrame*>(frame)->number));
    }
    void DrawOverlayText(const wchar_t* text, uint32_t length) override {
        log_.push_back("DrawOverlayText " + std::string(text, text + length));
    }
    bool LoadBackground(const wchar_t* path) override {
        log_.push_back("LoadBackground " + std::string(path, path + wcslen(path)));
        return backgroundLoads_;
    }
    void CaptureBackground() override { log_.push_back("CaptureBackground"); }
    void InvalidatePicture() override { log_.push_back("InvalidatePicture"); }
    EngineFrame* CreateFrame(const uint8_t* data, uint32_t size, int32_t, int32_t, uint32_t) override {
        if (refuseFrames) {
            log_.push_back("CreateFrame refused");
            return nullptr;
        }
        auto* frame = new LoggedFrame;
        frame->number = size >= 2 ? data[1] : -1;
        log_.push_back("CreateFrame " + std::to_string(frame->number));
        return frame;
    }
    void DeleteFrame(EngineFrame* frame) override {
        log_.push_back("DeleteFrame " + std::to_string(static_cast<LoggedFrame*>(frame)->number));
        delete static_cast<LoggedFrame*>(frame);
    }
    void SetParam1(uint32_t index) override { log_.push_back("SetParam1 " + std::to_string(index)); }
    void SetParam2(uint32_t index) override { log_.push_back("SetParam2 " + std::to_string(index)); }

    HWND uncoverAtEndDraw = nullptr;
    bool refuseFrames = false;

private:
    Log& log_;
    bool backgroundLoads_;
};

// The calls of a tick that draws frame n, with the frame-rate line when given.
Log DrawnTick(int n, const std::string& line = "") {
    const std::string f = std::to_string(n);
    Log log = {"CreateFrame " + f, "BeginDraw", "DrawBackground", "DrawFrame " + f};
    if (!line.empty()) log.push_back("DrawOverlayText " + line);
    log.insert(log.end(), {"EndDraw", "DeleteFrame " + f});
    return log;
}

// The test clock: each read gives the next planned value, then the last one.
std::vector<DWORD> g_ticks;
size_t g_tickRead = 0;
std::function<void()> g_onClockRead;
DWORD WINAPI TestClock() {
    if (g_onClockRead) g_onClockRead();
    const DWORD now = g_ticks[g_tickRead < g_ticks.size() ? g_tickRead : g_ticks.size() - 1];
    ++g_tickRead;
    return now;
}
void PlanTicks(std::vector<DWORD> ticks) {
    g_ticks = std::move(ticks);
    g_tickRead = 0;
}

bool QuitPosted() {
    MSG msg;
    return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

bool WriteGreyFilm(const std::wstring& path, int frames) {
    FilmBuilder film(8, 4);
    for (int n = 0; n < frames; ++n) film.Add(GreyPicture(8, 4, static_cast<uint8_t>(n)));
    return film.Write(path);
}

class PlayerTick : public ::testing::Test {
protected:
    void SetUp() override {
        QuitPosted();
        ASSERT_TRUE(WriteGreyFilm(film_, 60));
        PlanTicks({10000});
        player_ = std::make_unique<player>(&TestClock);
        wcscpy(player_->Settings().NoxelFilePath, film_.c_str());
        player_->Settings().BGM = 0;
        player_->Settings().DisplayFrameRate = 0;
    }
    void TearDown() override {
        player_.reset();
        QuitPosted();
    }

    void Start(bool backgroundLoads = false, HWND window = nullptr) {
        auto engine = std::make_unique<LoggingEngine>(log_, backgroundLoads);
        engine_ = engine.get();
        player_->StartWithEngine(window ? window : window_.hwnd(), std::move(engine));
        log_.clear();
    }
    void TickAt(std::vector<DWORD> ticks, HWND window = nullptr) {
        PlanTicks(std::move(ticks));
        player_->Tick(window ? window : window_.hwnd());
    }
    // The display's state broadcast at `now`; true when the player took it.
    bool DisplayAt(DWORD now, DWORD value, const GUID& setting = testing_support::kConsoleDisplayState,
                   DWORD length = 4) {
        PlanTicks({now});
        testing_support::PowerSetting data = {setting, length, value};
        return player_->DisplayPowerChanged(window_.hwnd(), testing_support::kPowerSettingChange,
                                            reinterpret_cast<LPARAM>(&data));
    }

    // Music of these samples, played with the film.
    void UseMusic(const std::vector<uint8_t>& samples) {
        testing_support::WavLayout wav;
        wav.samples = samples;
        const std::wstring music = dir_.File(L"music.wav");
        ASSERT_TRUE(testing_support::WriteFileBytes(music, testing_support::BuildWav(wav)));
        wcscpy(player_->Settings().WavFilePath, music.c_str());
        player_->Settings().BGM = 1;
    }

    ScratchDir dir_;
    saver_tests::SettingsScope settings_;
    std::wstring film_ = dir_.File(L"grey.nxl");
    saver_tests::MessageWindow window_;
    Log log_;
    std::unique_ptr<player> player_;
    LoggingEngine* engine_ = nullptr;
};

TEST_F(PlayerTick, StartSetsParametersThenTheBackground) {
    player_->Settings().Param1 = 3;
    player_->Settings().Param2 = 1;
    player_->StartWithEngine(window_.hwnd(), std::make_unique<LoggingEngine>(log_, false));
    EXPECT_EQ((Log{"SetParam1 3", "SetParam2 1", "LoadBackground ", "CaptureBackground"}), log_);
    EXPECT_TRUE(KillTimer(window_.hwnd(), player_->TimerId())) << "the 16 ms timer runs";
    EXPECT_FALSE(QuitPosted());
}

TEST_F(PlayerTick, ALoadedBackgroundNeedsNoCapture) {
    wcscpy(player_->Settings().BackGroundImageFilePath, L"C:\\back.png");
    player_->StartWithEngine(window_.hwnd(), std::make_unique<LoggingEngine>(log_, true));
    EXPECT_EQ((Log{"SetParam1 0", "SetParam2 2", "LoadBackground C:\\back.png"}), log_);
}

TEST_F(PlayerTick, AFilmThatCannotOpenQuitsWithoutTimer) {
    wcscpy(player_->Settings().NoxelFilePath, dir_.File(L"missing.nxl").c_str());
    Start();
    EXPECT_TRUE(QuitPosted());
    EXPECT_FALSE(KillTimer(window_.hwnd(), player_->TimerId()));
}

// Ticks in a row, the frame-rate line switched on between them: a tick draws
// when the frame due or the line on screen changes, and only then.
TEST_F(PlayerTick, ATickDrawsOnlyANewFrameOrANewLine) {
    const struct {
        DWORD now;
        uint32_t displayFrameRate;
        Log drawn;
        const char* why;
    } steps[] = {
        {10016, 0, DrawnTick(0), "the first frame, no line without the setting"},
        {10032, 0, {}, "a tick faster than the film"},
        {10034, 0, DrawnTick(1), "the next frame"},
        {10040, 1, DrawnTick(1, "fps=0 (1/60)"), "the same frame, its line not on the window yet"},
        {10045, 1, {}, "the same frame and line"},
        {11000, 1, DrawnTick(30, "fps=0 (30/60)"), "a second of film"},
        {11001, 1, DrawnTick(30, "fps=6 (30/60)"), "the first second is over: undrawn ticks count too"},
        {11002, 1, {}, "the same frame and rate"},
        {11500, 1, DrawnTick(45, "fps=6 (45/60)"), "a late tick skips frames"},
    };
    Start();
    for (const auto& step : steps) {
        player_->Settings().DisplayFrameRate = step.displayFrameRate;
        log_.clear();
        TickAt({step.now});
        EXPECT_EQ(step.drawn, log_) << "at " << step.now << ": " << step.why;
    }
}

TEST_F(PlayerTick, PastTheLastFrameTheFilmRestartsFromFrameZero) {
    player_->Settings().DisplayFrameRate = 1;
    Start();
    TickAt({11500});
    log_.clear();
    // Frame 60 is due at 12000; frame 0 is read, then the clock is read again.
    TickAt({12000, 12007});
    EXPECT_EQ(DrawnTick(0, "fps=0 (0/60)"), log_);
    EXPECT_EQ(0u, player_->FrameIndex());
    EXPECT_EQ(12007u, player_->StartTick()) << "the new start is read after frame 0";
    log_.clear();
    TickAt({13007});
    EXPECT_EQ(DrawnTick(30, "fps=2 (30/60)"), log_) << "the rate meter is not reset by the restart";
    EXPECT_FALSE(QuitPosted());
}

TEST_F(PlayerTick, AFilmWithoutFramesEndsAtTheFirstTick) {
    FilmBuilder empty(8, 4);
    ASSERT_TRUE(empty.Write(film_));
    Start();
    EXPECT_FALSE(QuitPosted()) << "a film of no frames opens";
    TickAt({10016});
    EXPECT_TRUE(QuitPosted());
    EXPECT_TRUE(log_.empty()) << "nothing is drawn";
}

// The film's clock starts once its music plays, so that a slow music
// load does not put the film ahead of the music, or past its loop point
// before the first tick: the clock, read during Start, finds the output
// device open already.
TEST_F(PlayerTick, TheClockStartsWhenTheMusicPlays) {
    testing_support::WavLayout wav;
    ASSERT_NO_FATAL_FAILURE(UseMusic(testing_support::SquareWave(wav, 0.5, 0.5)));
    int reads = 0;
    bool playingAtFirstRead = false;
    g_onClockRead = [&] {
        if (reads++ == 0) playingAtFirstRead = player_->Music().Device() != nullptr;
    };
    Start();
    g_onClockRead = nullptr;
    if (!player_->Music().Device()) GTEST_SKIP() << "no wave output device here";
    EXPECT_EQ(1, reads);
    EXPECT_TRUE(playingAtFirstRead);
}

TEST_F(PlayerTick, NothingRunsWhileTheDisplayIsOffAndItGoesOnByTheClock) {
    Start();
    TickAt({10100});
    ASSERT_TRUE(DisplayAt(10200, 0));
    EXPECT_FALSE(KillTimer(window_.hwnd(), player_->TimerId())) << "no timer while the display is off";
    log_.clear();
    TickAt({10300});
    player_->Paint(window_.hwnd());
    EXPECT_TRUE(log_.empty()) << "a tick still queued or a paint draws nothing";
    // 11.5 s after the start the two-second film has looped five times.
    EXPECT_TRUE(DisplayAt(21500, 1, testing_support::kMonitorPowerOn));
    Log expected = DrawnTick(45);
    expected.insert(expected.begin(), "InvalidatePicture");
    EXPECT_EQ(expected, log_);
    EXPECT_TRUE(KillTimer(window_.hwnd(), player_->TimerId()));
}

TEST_F(PlayerTick, OnlyAWellFormedDisplayStateCounts) {
    Start();
    const GUID powerSource = {0x5d3e9a59, 0xe9d5, 0x4b00, {0xa6, 0xbd, 0xff, 0x34, 0xff, 0x51, 0x65, 0x48}};
    struct Case { GUID setting; DWORD length; DWORD value; } cases[] = {
        {powerSource, 4, 0}, {testing_support::kConsoleDisplayState, 2, 0},
        {testing_support::kConsoleDisplayState, 8, 0}, {testing_support::kConsoleDisplayState, 4, 3}};
    for (const Case& c : cases) EXPECT_FALSE(DisplayAt(10100, c.value, c.setting, c.length));
    TickAt({10150});
    EXPECT_FALSE(log_.empty()) << "still playing";
    ASSERT_TRUE(DisplayAt(10200, 0));
    log_.clear();
    EXPECT_TRUE(DisplayAt(10300, 2)) << "dimmed";
    EXPECT_FALSE(log_.empty()) << "a dimmed display shows the film";
}

// Music of 1 s of silence, a quarter second of tone, a quarter of silence
// and half a second of tone, beside a three-second film.
TEST_F(PlayerTick, TheMusicComesBackAtTheFilmsMoment) {
    testing_support::WavLayout wav;
    std::vector<uint8_t> samples(wav.samplesPerSec * 2, 0);
    for (auto part : {testing_support::SquareWave(wav, 0.25, 0.25), testing_support::SquareWave(wav, 0.5, 0)})
        samples.insert(samples.end(), part.begin(), part.end());
    ASSERT_NO_FATAL_FAILURE(UseMusic(samples));
    ASSERT_TRUE(WriteGreyFilm(film_, 90));
    Start();
    if (!player_->Music().Device()) GTEST_SKIP() << "no wave output device here";
    ASSERT_TRUE(DisplayAt(10100, 0));
    EXPECT_EQ(nullptr, player_->Music().Device()) << "the device is closed while the display is off";

    testing_support::AudioSink sink;
    const uint64_t mark = sink.Mark();
    ASSERT_TRUE(DisplayAt(11000, 1));
    std::vector<std::pair<size_t, size_t>> stretches;
    if (sink.configured()) {
        EXPECT_TRUE(testing_support::WaitUntil(
            [&] { return (stretches = testing_support::LoudStretches(sink.Since(mark))).size() >= 2; }, 5000));
        ASSERT_FALSE(stretches.empty()) << "no tone after the display came back";
        EXPECT_LT(stretches[0].first, stretches[0].second) << "from 1 s in, the tone comes at once";
    }

    ASSERT_TRUE(DisplayAt(11500, 0));
    ASSERT_TRUE(DisplayAt(12600, 1));
    EXPECT_EQ(nullptr, player_->Music().Device()) << "2.6 s in, past the music's end: silent";
    TickAt({13000, 13000});
    EXPECT_NE(nullptr, player_->Music().Device()) << "the film's loop starts the music again";
}

// A window whose WM_PAINT goes to the player under test, as the saver's does.
player* g_painted = nullptr;
WNDPROC g_windowProc = nullptr;
LRESULT CALLBACK PaintToPlayer(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT && g_painted) {
        g_painted->Paint(window);
        return 0;
    }
    return CallWindowProcW(g_windowProc, window, message, wParam, lParam);
}

TEST_F(PlayerTick, ARepaintDuringATickShowsTheNewFrame) {
    testing_support::TestWindow shown(40, 30);
    g_windowProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(shown.hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PaintToPlayer)));
    g_painted = player_.get();
    Start(false, shown.hwnd());
    TickAt({10100}, shown.hwnd());
    ValidateRect(shown.hwnd(), nullptr);
    log_.clear();
    engine_->uncoverAtEndDraw = shown.hwnd();
    TickAt({11000}, shown.hwnd());
    TickAt({11000}, shown.hwnd());
    g_painted = nullptr;
    SetWindowLongPtrW(shown.hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_windowProc));
    Log expected = DrawnTick(30);
    expected.push_back("InvalidatePicture");
    for (const std::string& call : DrawnTick(30)) expected.push_back(call);
    EXPECT_EQ(expected, log_) << "the tick's frame is handed back, then repainted; the next tick has nothing new";
    EXPECT_FALSE(GetUpdateRect(shown.hwnd(), nullptr, FALSE)) << "the repaint validates the window";
}

TEST_F(PlayerTick, ARepaintWhoseFrameCannotBeReadLeavesTheWholePictureOwed) {
    Start();
    TickAt({10100});
    log_.clear();
    engine_->refuseFrames = true;
    player_->Paint(window_.hwnd());
    EXPECT_EQ((Log{"InvalidatePicture", "CreateFrame refused"}), log_);
}

TEST_F(PlayerTick, StopKillsTheTimerDropsTheEngineAndQuits) {
    Start();
    player_->Stop(window_.hwnd());
    EXPECT_EQ((Log{"~engine"}), log_);
    EXPECT_FALSE(KillTimer(window_.hwnd(), player_->TimerId())) << "already stopped";
    EXPECT_TRUE(QuitPosted());
    log_.clear();
    TickAt({11000});
    EXPECT_TRUE(log_.empty()) << "a late timer message after the stop draws nothing";
}

}  // namespace
