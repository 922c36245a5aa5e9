// The player: what the screen-saver window shows. A 16 ms window timer drives
// it; every tick works out from the tick counter which frame of the 30-per-
// second film is due, has the reader and the engine build it and draws it,
// and starts the film (and its music) again after the last frame.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engines/gengine.h"
#include "player/animreader.h"
#include "player/bgmplayer.h"
#include "player/displaypower.h"
#include "player/screenlayout.h"
#include "shell/settings.h"

constexpr uint32_t kFramesPerSecond = 30;
constexpr UINT kTickPeriodMs = 16;
constexpr uint32_t kRateWindowMs = 1000;
// The overlay line's buffer, terminator included.
constexpr uint32_t kOverlayChars = 256;

// The frame due at `now` for a film (re)started at `startTick`, both from
// the tick counter. Unsigned 32-bit throughout: the difference and the
// product wrap, the division truncates, so a counter that wrapped since the
// start still gives the right frame.
uint32_t FrameDue(uint32_t startTick, uint32_t now);

// Counts ticks per second, the overlay's "fps": every tick counts, whether
// it draws or has nothing new to show. A counting window closes when more
// than a second has passed since it opened; the next one opens exactly one
// second later, so after a stall the shown rate catches up one second per
// tick.
struct RateMeter {
    uint32_t windowStart = 0;
    uint32_t counted = 0;
    uint32_t rate = 0;

    void Restart(uint32_t now);
    void Count(uint32_t now);
};

// Writes "fps=<rate> (<frame>/<frame count>)"; returns its length without
// the terminator.
uint32_t FormatOverlay(wchar_t (&buffer)[kOverlayChars], uint32_t rate,
                       uint32_t frameIndex, uint32_t frameCount);

// The tick counter the player reads; a test hands in its own.
using TickSource = DWORD(WINAPI*)();

// The monitors' rectangles in virtual-screen pixels; a test hands in its own.
using MonitorSource = std::vector<ScreenRect> (*)();
// The system's monitors, the primary first.
std::vector<ScreenRect> DisplayMonitors();

// One picture of the film: the window it is drawn on and its own engine. The
// window is the screen-saver window itself when one picture fills it, else a
// child window made for the picture.
struct Picture {
    HWND window = nullptr;
    std::unique_ptr<gengine> engine;
};

class player {
public:
    // Creates the settings record and loads it from the registry.
    explicit player(TickSource clock = &GetTickCount, MonitorSource monitors = &DisplayMonitors);
    ~player();
    player(const player&) = delete;
    player& operator=(const player&) = delete;

    // Starts COM, GDI+ and the Direct2D set-up, opens the film, lays out the
    // pictures the settings ask for (one per monitor, or one across them,
    // kept at the film's proportions or not), each with the engine the
    // settings name, then plays as StartWithEngine does. A preview window
    // gets one picture.
    void Start(HWND window);
    // Opens the film, applies the parameters and the background to `engine`
    // drawing on all of `window`, starts the music, then the clock and the
    // timer. A film that cannot be opened posts the quit message instead.
    void StartWithEngine(HWND window, std::unique_ptr<gengine> engine);
    // Shows the frame due now, unless it is on screen already and no overlay is shown.
    void Tick(HWND window);
    // Answers WM_PAINT of the screen-saver window or of a picture's window:
    // validates it and draws its whole picture of the frame on screen.
    void Paint(HWND window);
    // Halts the music, stops the timer, drops the engine, posts the quit message.
    void Stop(HWND window);
    // Answers a WM_POWERBROADCAST that reports the display's state; false
    // for any other. Off: no timer, no drawing, the music's device closed.
    // On or dimmed: the film and its music go on from where their clock has
    // got to, and the whole picture is drawn.
    bool DisplayPowerChanged(HWND window, WPARAM event, LPARAM setting);

    settings& Settings() { return *settings_; }
    uint32_t FrameIndex() const { return frameIndex_; }
    uint32_t StartTick() const { return startTick_; }
    const RateMeter& Meter() const { return meter_; }
    const bgmplayer& Music() const { return music_; }
    const std::vector<Picture>& Pictures() const { return pictures_; }
    UINT_PTR TimerId() const { return reinterpret_cast<UINT_PTR>(this); }

private:
    bool OpenFilm();
    std::vector<ScreenRect> PictureAreas(HWND window, ScreenRect* windowArea) const;
    void AddPicture(HWND window, std::unique_ptr<gengine> engine, const ScreenRect* capture);
    void StartClock(HWND window);
    void RestartFilm();
    void DrawAll(EngineFrame* firstFrame, uint32_t frameIndex);
    void PaintBars();
    void Draw(Picture& picture, EngineFrame* frame);
    bool OverlayChanged() const;
    bool DisplayOff() const;
    void SuspendForDisplayOff(HWND window);
    void ResumeForDisplayOn(HWND window);

    HWND window_ = nullptr;
    std::vector<Picture> pictures_;
    uint32_t frameIndex_ = 0;
    uint32_t startTick_ = 0;
    uint32_t shownIndex_ = 0;
    bool shown_ = false;  // shownIndex_ is the frame the window shows
    // The overlay's line on the window, when it shows one.
    wchar_t shownText_[kOverlayChars] = {};
    uint32_t shownTextLength_ = 0;
    bool textShown_ = false;
    RateMeter meter_;
    animreader reader_;
    bgmplayer music_;
    std::unique_ptr<settings> settings_;
    TickSource clock_;
    // From a successful start to the stop.
    std::unique_ptr<DisplayPowerNotice> displayNotice_;
    MonitorSource monitors_;
};

// The window procedure of the player, reached through the host's own. It
// handles creation, the timer, painting and destruction, and hands every other
// message to DefSaverProc.
LRESULT SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The window procedure of a picture's child window: it only paints. Input
// passes through to the screen-saver window, which dismisses the saver.
LRESULT CALLBACK PictureWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
