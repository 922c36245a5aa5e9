// The screen saver's contract with the system: the mode on the command line,
// the screen-saver window (full screen or as a preview child), its message
// pre-handling and the default dismissal rules, and on the Windows 9x family
// the screen-saver password.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

// What the command line asks for.
enum class SaverMode {
    Configure,       // empty command line: the dialog without owner
    ConfigureOwned,  // C: the dialog, owned by the named or the foreground window
    FullScreen,      // S
    Preview,         // P or L with a window handle
    ChangePassword,  // A, Windows 9x family only
    Unknown,         // any other letter
};

struct ModeRequest {
    SaverMode mode = SaverMode::Unknown;
    uint32_t handle = 0;  // the decimal handle after P, L, A or C:, 0 when none
};

// Movement, in pixels summed over both axes, that the mouse may make before
// the screen saver closes.
constexpr uint32_t kMouseThreshold = 4;

// The part of a process command line after the program's own name.
const wchar_t* CommandLineTail(const wchar_t* commandLine);
// The value of the decimal digits at `text`, wrapping at 32 bits.
uint32_t ParseHandle(const wchar_t* text);
// The mode the command-line tail names.
ModeRequest ParseMode(const wchar_t* tail);
// True when the movement from `last` to `now` ends the screen saver.
bool MovedPastThreshold(POINT last, POINT now);

// What a WM_POWERBROADCAST does to a running screen saver.
enum class PowerAnswer {
    AllowSuspend,  // answer 1: the system may suspend, the screen saver stays
    Close,         // the screen saver closes
    Ignore,        // nothing happens
};
PowerAnswer AnswerPowerBroadcast(WPARAM event, LPARAM flags);

// Runs `mode`; an exception that escapes it gives -1.
int RunGuarded(const std::function<int()>& mode);

// The last-chance handlers: an exception that nothing catches (the
// terminate handler) or a crash that escapes every frame (the unhandled-
// exception filter) turns the system's screen-saver state off and ends the
// process with -1.
void InstallLastChanceHandlers();

// Runs `procedure` for one message. An exception must not leave a window
// procedure: 32-bit unwinding cannot pass the system's frames, and 64-bit
// systems may swallow it there and go on with the saver half torn down.
// One that escapes `procedure` goes to the last-chance handlers.
LRESULT GuardedMessage(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

// The program's entry: runs the mode of `tail` and gives the exit code.
int SaverEntry(HINSTANCE instance, const wchar_t* tail);
// Makes the screen-saver window (a preview child of `parent`, or full screen
// when it is null) and runs the message loop; gives the quit code.
int RunSaver(HWND parent);
// Runs the configuration dialog; 1 after OK, 2 after Cancel, 0 without dialog.
INT_PTR ShowConfigDialog(HWND owner);
// Windows 9x family: the system's password change for screen savers.
void ChangePassword(HWND owner);
// Windows 9x family: whether the screen saver may close now.
bool CheckPassword(HWND window);

// The screen-saver window class's procedure: it pre-handles a few messages
// and passes the rest to the player's SaverWindowProc.
LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// What the player leaves unhandled: dismissal on input, activation loss and
// power events, the hidden cursor.
LRESULT DefSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
