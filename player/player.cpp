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

constexpr wchar_t kPictureClass[] = L"NoxelPicture";

// A preview is a child of the window that the system names.
bool IsPreviewWindow(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0; }

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(monitor, &info)) return TRUE;
    const RECT& r = info.rcMonitor;
    auto* monitors = reinterpret_cast<std::vector<ScreenRect>*>(list);
    const ScreenRect rect = {r.left, r.top, r.right, r.bottom};
    if (info.dwFlags & MONITORINFOF_PRIMARY) {
        monitors->insert(monitors->begin(), rect);
    } else {
        monitors->push_back(rect);
    }
    return TRUE;
}

// A child window covering `area` of the screen-saver window, for one picture.
HWND CreatePictureWindow(HWND parent, const ScreenRect& area) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    WNDCLASSW pictureClass = {};
    // Its own device context, as the screen-saver window's class gives it:
    // the engines hold the window's DC for their life.
    pictureClass.style = CS_OWNDC;
    pictureClass.lpfnWndProc = PictureWindowProc;
    pictureClass.hInstance = instance;
    pictureClass.lpszClassName = kPictureClass;
    RegisterClassW(&pictureClass);  // fails harmlessly once registered
    return CreateWindowExW(0, kPictureClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, area.left, area.top,
                           area.right - area.left, area.bottom - area.top, parent, nullptr, instance, nullptr);
}

}  // namespace

std::vector<ScreenRect> DisplayMonitors() {
    std::vector<ScreenRect> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

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

player::player(TickSource clock, MonitorSource monitors)
    : settings_(std::make_unique<settings>()), clock_(clock), monitors_(monitors) {
    settings_->Load();
}

// The music closes before the reader: members go in reverse order.
player::~player() = default;

void player::Start(HWND window) {
    StartGraphics();
    window_ = window;
    // The film first: its proportions place the pictures.
    if (!OpenFilm()) return;
    const bool preview = IsPreviewWindow(window);
    ScreenRect windowArea;
    for (const ScreenRect& area : PictureAreas(window, &windowArea)) {
        const bool whole = area == ScreenRect{0, 0, windowArea.right - windowArea.left,
                                              windowArea.bottom - windowArea.top};
        HWND target = whole ? window : CreatePictureWindow(window, area);
        if (!target) continue;
        // Each picture's desktop copy is the part of the desktop it covers;
        // a preview shows the primary screen, as it always has.
        const ScreenRect capture = {windowArea.left + area.left, windowArea.top + area.top,
                                    windowArea.left + area.right, windowArea.top + area.bottom};
        AddPicture(target, CreateEngine(settings_->Engine, target, nullptr), preview ? nullptr : &capture);
    }
    if (pictures_.empty()) AddPicture(window, CreateEngine(settings_->Engine, window, nullptr), nullptr);
    StartClock(window);
}

void player::StartWithEngine(HWND window, std::unique_ptr<gengine> engine) {
    window_ = window;
    if (!OpenFilm()) return;
    AddPicture(window, std::move(engine), nullptr);
    StartClock(window);
}

// A film that cannot be opened ends the saver before anything is drawn.
bool player::OpenFilm() {
    if (reader_.Open(LocateFile(settings_->NoxelFilePath).c_str())) return true;
    PostQuitMessage(0);
    return false;
}

// The pictures' rectangles in `window`, and the window's own rectangle in
// virtual-screen pixels. A preview window is one area whatever the layout.
std::vector<ScreenRect> player::PictureAreas(HWND window, ScreenRect* windowArea) const {
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    *windowArea = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    const bool preview = IsPreviewWindow(window);
    const std::vector<ScreenRect> monitors = preview ? std::vector<ScreenRect>() : monitors_();
    return PictureRects(monitors, *windowArea, preview ? kLayoutAcrossScreens : settings_->Layout,
                        settings_->KeepAspect, reader_.Width(), reader_.Height());
}

// Gives `engine` the parameters and the background, and draws with it on
// `window`. `capture` is the desktop area its copy shows, null for the
// primary screen.
void player::AddPicture(HWND window, std::unique_ptr<gengine> engine, const ScreenRect* capture) {
    engine->SetParam1(settings_->Param1);
    engine->SetParam2(settings_->Param2);
    if (capture) {
        engine->SetCaptureArea(capture->left, capture->top, capture->right - capture->left,
                               capture->bottom - capture->top);
    }
    if (!engine->LoadBackground(LocateFile(settings_->BackGroundImageFilePath).c_str())) {
        engine->CaptureBackground();
    }
    pictures_.push_back({window, std::move(engine)});
}

void player::StartClock(HWND window) {
    // The music first: reading a long WAV file and opening the output device
    // take a while, and a clock started before them would have the film
    // that far ahead of its music, or past its end by the first tick.
    if (settings_->BGM && music_.Load(LocateFile(settings_->WavFilePath).c_str())) music_.Play();

    startTick_ = clock_();
    meter_.Restart(startTick_);
    SetTimer(window, TimerId(), kTickPeriodMs, nullptr);
    displayNotice_ = std::make_unique<DisplayPowerNotice>(window);
}

void player::Tick(HWND) {
    // A timer message may still be queued when the display went off.
    if (pictures_.empty() || DisplayOff()) return;
    const uint32_t now = clock_();
    frameIndex_ = FrameDue(startTick_, now);
    meter_.Count(now);
    // The 16 ms timer comes about twice per frame: the second tick has
    // nothing new to show unless the overlay's line has changed.
    if (shown_ && frameIndex_ == shownIndex_ && !OverlayChanged()) return;

    gengine* first = pictures_.front().engine.get();
    EngineFrame* frame = reader_.ReadFrame(frameIndex_, first);
    if (!frame) {
        frameIndex_ = 0;
        frame = reader_.ReadFrame(0, first);
        if (!frame) {
            PostQuitMessage(0);
            return;
        }
        RestartFilm();
    }
    DrawAll(frame, frameIndex_);
}

void player::Paint(HWND window) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    if (window == window_) PaintBars();
    // Before the first tick there is nothing to repaint: that tick draws all.
    if (!shown_ || DisplayOff()) return;
    for (Picture& picture : pictures_) {
        if (picture.window != window) continue;
        // Told first: when the frame cannot be read now, the next tick still
        // covers what the system erased.
        picture.engine->InvalidatePicture();
        EngineFrame* frame = reader_.ReadFrame(shownIndex_, picture.engine.get());
        if (!frame) return;
        Draw(picture, frame);
        UpdateWindow(window);
    }
}

// Paints the screen-saver window black around the pictures' windows.
void player::PaintBars() {
    if (pictures_.empty() || pictures_.front().window == window_) return;
    // A cache DC clipped to the bare parts, whatever the window's own DC holds.
    HDC dc = GetDCEx(window_, nullptr, DCX_CACHE | DCX_CLIPCHILDREN);
    if (!dc) return;
    RECT client = {};
    GetClientRect(window_, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ReleaseDC(window_, dc);
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

// Draws frame number `frameIndex` on every picture, all with the same
// overlay line; `firstFrame` is the first picture's, already read.
void player::DrawAll(EngineFrame* firstFrame, uint32_t frameIndex) {
    if (!shown_) PaintBars();
    shownTextLength_ = FormatOverlay(shownText_, meter_.rate, frameIndex, reader_.FrameCount());
    textShown_ = settings_->DisplayFrameRate != 0;
    for (Picture& picture : pictures_) {
        // Each frame is read after the one before was deleted: a frame may
        // borrow the reader's buffer.
        EngineFrame* frame = firstFrame ? firstFrame : reader_.ReadFrame(frameIndex, picture.engine.get());
        firstFrame = nullptr;
        if (frame) Draw(picture, frame);
    }
    shownIndex_ = frameIndex;
    shown_ = true;
    // Last: a repaint it brings on reads the frame just shown into the
    // reader's buffer, which no frame borrows any more.
    for (const Picture& picture : pictures_) UpdateWindow(picture.window);
}

// Draws `frame` with the overlay line on screen and hands it back to the engine.
void player::Draw(Picture& picture, EngineFrame* frame) {
    gengine& engine = *picture.engine;
    engine.BeginDraw();
    engine.DrawBackground();
    engine.DrawFrame(frame);
    if (settings_->DisplayFrameRate) engine.DrawOverlayText(shownText_, shownTextLength_);
    engine.EndDraw();
    engine.DeleteFrame(frame);
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
    for (Picture& picture : pictures_) {
        picture.engine.reset();
        if (picture.window != window) DestroyWindow(picture.window);
    }
    pictures_.clear();
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
    for (Picture& picture : pictures_) picture.engine->InvalidatePicture();
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

namespace {

LRESULT CALLBACK HandlePictureMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCHITTEST:
        return HTTRANSPARENT;  // the mouse belongs to the screen-saver window beneath
    case WM_ERASEBKGND:
        return 1;  // the engine draws every pixel
    case WM_PAINT:
        if (!g_player) break;
        g_player->Paint(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK PictureWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return GuardedMessage(HandlePictureMessage, window, message, wParam, lParam);
}
