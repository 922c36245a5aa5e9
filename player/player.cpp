// The player and its frame clock. The film's speed comes from the tick
// counter alone: a tick draws whatever frame is due at its own moment, so
// late timers skip frames and early ones draw a frame twice.
#include "player/player.h"

#include <cwchar>

#include "engines/EngineFactory.h"
#include "shell/filelocation.h"
#include "shell/host.h"

namespace {

// The one player of the process, made on WM_CREATE and dropped on WM_DESTROY.
std::unique_ptr<player> g_player;

}  // namespace

uint32_t FrameDue(uint32_t startTick, uint32_t now) {
    const uint32_t elapsed = now - startTick;
    return elapsed * kFramesPerSecond / 1000u;
}

void RateMeter::Restart(uint32_t now) {
    windowStart = now;
    counted = 0;
    rate = 0;
}

void RateMeter::Count(uint32_t now) {
    if (now - windowStart > kRateWindowMs) {
        rate = counted;
        windowStart += kRateWindowMs;
        counted = 0;
    }
    ++counted;
}

uint32_t FormatOverlay(wchar_t (&buffer)[kOverlayChars], uint32_t rate,
                       uint32_t frameIndex, uint32_t frameCount) {
    const int written = std::swprintf(buffer, kOverlayChars, L"fps=%d (%d/%d)",
                                      static_cast<int>(rate), static_cast<int>(frameIndex),
                                      static_cast<int>(frameCount));
    if (written < 0) {
        buffer[0] = L'\0';
        return 0;
    }
    return static_cast<uint32_t>(written);
}

player::player(TickSource clock) : settings_(std::make_unique<settings>()), clock_(clock) {
    settings_->Load();
}

// The music closes before the reader: members go in reverse order.
player::~player() = default;

void player::Start(HWND window) {
    StartGraphics();
    StartWithEngine(window, CreateEngine(settings_->Engine, window, nullptr));
}

void player::StartWithEngine(HWND window, std::unique_ptr<gengine> engine) {
    window_ = window;
    engine_ = std::move(engine);
    engine_->SetParam1(settings_->Param1);
    engine_->SetParam2(settings_->Param2);
    if (!engine_->LoadBackground(LocateFile(settings_->BackGroundImageFilePath).c_str())) {
        engine_->CaptureBackground();
    }

    if (!reader_.Open(LocateFile(settings_->NoxelFilePath).c_str())) {
        PostQuitMessage(0);
        return;
    }
    // The music first: reading a long WAV file and opening the output device
    // take a while, and a clock started before them would have the film
    // that far ahead of its music, or past its end by the first tick.
    if (settings_->BGM && music_.Load(LocateFile(settings_->WavFilePath).c_str())) music_.Play();

    startTick_ = clock_();
    meter_.Restart(startTick_);
    SetTimer(window, TimerId(), kTickPeriodMs, nullptr);
    displayNotice_ = std::make_unique<DisplayPowerNotice>(window);
}

void player::Tick(HWND window) {
    // A timer message may still be queued when the display went off.
    if (!engine_ || DisplayOff()) return;
    const uint32_t now = clock_();
    frameIndex_ = FrameDue(startTick_, now);
    meter_.Count(now);
    // The 16 ms timer comes about twice per frame: the second tick has
    // nothing new to show unless the overlay's line has changed.
    if (shown_ && frameIndex_ == shownIndex_ && !OverlayChanged()) return;

    EngineFrame* frame = reader_.ReadFrame(frameIndex_, engine_.get());
    if (!frame) {
        frameIndex_ = 0;
        frame = reader_.ReadFrame(0, engine_.get());
        if (!frame) {
            PostQuitMessage(0);
            return;
        }
        RestartFilm();
    }
    Draw(window, frame, frameIndex_);
}

void player::Paint(HWND window) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    // Before the first tick there is nothing to repaint: that tick draws all.
    if (!engine_ || !shown_ || DisplayOff()) return;
    // Told first: when the frame cannot be read now, the next tick still
    // covers what the system erased.
    engine_->InvalidatePicture();
    EngineFrame* frame = reader_.ReadFrame(shownIndex_, engine_.get());
    if (!frame) return;
    Draw(window, frame, shownIndex_);
}

// Whether the overlay is on and its line for the frame on screen differs
// from the one the window shows.
bool player::OverlayChanged() const {
    if (!settings_->DisplayFrameRate) return false;
    if (!textShown_) return true;
    wchar_t text[kOverlayChars];
    const uint32_t length = FormatOverlay(text, meter_.rate, shownIndex_, reader_.FrameCount());
    return length != shownTextLength_ || std::wmemcmp(text, shownText_, length) != 0;
}

// Draws `frame` (frame number `frameIndex`) and hands it back to the engine.
void player::Draw(HWND window, EngineFrame* frame, uint32_t frameIndex) {
    const uint32_t length = FormatOverlay(shownText_, meter_.rate, frameIndex, reader_.FrameCount());
    shownTextLength_ = length;
    textShown_ = settings_->DisplayFrameRate != 0;

    engine_->BeginDraw();
    engine_->DrawBackground();
    engine_->DrawFrame(frame);
    if (settings_->DisplayFrameRate) engine_->DrawOverlayText(shownText_, length);
    engine_->EndDraw();
    engine_->DeleteFrame(frame);
    shownIndex_ = frameIndex;
    shown_ = true;
    // Last: a repaint it brings on reads the frame just shown into the
    // reader's buffer, which `frame` no longer borrows.
    UpdateWindow(window);
}

// Frame 0 has just been read: the clock restarts from this moment, not from
// the start of the tick, and the music from its beginning.
void player::RestartFilm() {
    startTick_ = clock_();
    // Music resumed past its end after the display was off has no device.
    if (settings_->BGM && music_.Loaded()) {
        music_.Halt();
        music_.Play();
    }
}

void player::Stop(HWND window) {
    displayNotice_.reset();
    if (music_.Device()) music_.Halt();
    KillTimer(window, TimerId());
    engine_.reset();
    PostQuitMessage(0);
}

bool player::DisplayPowerChanged(HWND window, WPARAM event, LPARAM setting) {
    return displayNotice_ && displayNotice_->Follow(event, setting, [&](bool off) {
        if (off) SuspendForDisplayOff(window);
        else ResumeForDisplayOn(window);
    });
}

bool player::DisplayOff() const { return displayNotice_ && displayNotice_->off(); }

// Nothing wakes the process while the display is off, and the music lets go
// of its output device: an open sound stream keeps the system from sleeping.
void player::SuspendForDisplayOff(HWND window) {
    KillTimer(window, TimerId());
    music_.CloseDevice();
}

// The film goes on at the frame its clock has reached, as if it had played
// unseen, and the music at the same moment of the pass (silent when it is
// shorter than that, until the film loops).
void player::ResumeForDisplayOn(HWND window) {
    const uint32_t now = clock_();
    startTick_ = ResumedStartTick(startTick_, now, reader_.FrameCount());
    meter_.Restart(now);
    if (settings_->BGM) music_.PlayFrom(now - startTick_);
    shown_ = false;
    textShown_ = false;
    engine_->InvalidatePicture();
    SetTimer(window, TimerId(), kTickPeriodMs, nullptr);
    Tick(window);
}

LRESULT SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        g_player = std::make_unique<player>();
        g_player->Start(window);
        return 0;
    case WM_TIMER:
        if (g_player) g_player->Tick(window);
        return 0;
    case WM_PAINT:
        if (!g_player) break;
        g_player->Paint(window);
        return 0;
    case WM_POWERBROADCAST:
        if (g_player && g_player->DisplayPowerChanged(window, wParam, lParam)) return TRUE;
        break;
    case WM_DESTROY:
        if (g_player) {
            g_player->Stop(window);
            g_player.reset();
        }
        return 0;
    }
    return DefSaverProc(window, message, wParam, lParam);
}
