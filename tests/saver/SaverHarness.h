// Runs the real noxel.scr as the system would and watches it from outside:
// the settings it reads, its window, its exit code, what the screen shows,
// and films whose frames show their own number.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/ChildProcess.h"
#include "common/SettingsKey.h"
#include "common/TestImages.h"

namespace saver_tests {

// The screen saver's registry key, emptied for one test and put back as it
// was afterwards.
using SettingsScope = testing_support::SettingsKeyGuard;

// A message-only window: a target for timers and posted messages that is
// never shown, so making and dropping one costs nothing on the display.
class MessageWindow {
public:
    MessageWindow();
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    void Pump() const;

private:
    HWND hwnd_ = nullptr;
};

// One run of noxel.scr with a command-line tail, ended by the destructor if
// it is still running.
class SaverProcess : public testing_support::ChildProcess {
public:
    explicit SaverProcess(const std::wstring& tail);
    // `program` (a copy of noxel.scr) started in `currentFolder`, as the
    // system starts an installed screen saver in its own folder.
    SaverProcess(const std::wstring& tail, const std::wstring& program, const std::wstring& currentFolder);

    // The full-screen window, once it exists (null after timeoutMs).
    HWND WaitForFullScreenWindow(DWORD timeoutMs) const;
};

// For tests: waits for a full-screen run's window, then for a counting film
// on the screen, and fails the test when either does not come.
void StartFullScreen(const SaverProcess& saver);
// Fails the test unless the run ends with 0 in good time; `cause` names what
// should have ended it.
void ExpectEndsWithZero(SaverProcess& saver, const char* cause);
// A key press ends the run with 0.
void EndWithKey(SaverProcess& saver);

// The screen's pixels in a rectangle, read in one go from the display.
using ScreenGrab = testing_support::Pixels;

bool IsWhite(COLORREF c);
bool IsRed(COLORREF c);

// Films whose frames carry their number: the top half of a frame holds 16
// columns, column b white when bit b of the frame number is set; the bottom
// half holds the fixed marker white, black, white, black...
constexpr int kFilmWidth = 64;
constexpr int kFilmHeight = 16;
constexpr int kColumns = 16;
bool WriteCountingFilm(const std::wstring& path, uint32_t frameCount);

// The number shown by a counting film stretched over `area` of the screen,
// or -1 when the marker half does not show the film.
int ReadFrameNumber(const RECT& area);

// A solid-colour BMP file to lay the film over.
inline bool WriteSolidBmp(const std::wstring& path, int width, int height, COLORREF colour) {
    return testing_support::WriteTwoColourImage(path, L"image/bmp", width, height, colour, colour);
}

// Input as a user makes it, through the system's input queue.
void PressKey(WORD virtualKey);
void ClickLeft();
void MoveMouseBy(int dx, int dy);

// The primary screen's rectangle.
RECT ScreenRect();

}  // namespace saver_tests
