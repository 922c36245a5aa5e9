// The display's power state as the system reports it to a window. From
// Windows Vista on a display that the power plan turns off no longer ends
// a screen saver; the windows that asked are told instead, and the saver
// then draws and plays nothing until the display comes back.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

enum class DisplayPower { Off, On, Dimmed };

// Reads a WM_POWERBROADCAST. True, with *state, only for a power-setting
// change of the display state (console display state or monitor power)
// whose data is one 32-bit value 0, 1 or 2; every other event, setting,
// data length or value gives false.
bool ReadDisplayPower(WPARAM event, LPARAM setting, DisplayPower* state);

// The start tick at which a film of `frameCount` frames, started at
// `startTick` and played on unseen, shows at `now` what it would have shown:
// every pass that would have ended by then is taken off, as if it had
// looped at each end. Unsigned 32-bit tick arithmetic, as FrameDue's.
uint32_t ResumedStartTick(uint32_t startTick, uint32_t now, uint32_t frameCount);

// The window's registration for display-state changes, dropped with it,
// and the state last reported (dimmed counts as on). Windows 8 and later
// report the console display state (on, off, dimmed), Vista and 7 the
// monitor power (on, off). Windows XP has no such call: nothing is
// registered there and its SC_MONITORPOWER closes the saver.
class DisplayPowerNotice {
public:
    explicit DisplayPowerNotice(HWND window);
    ~DisplayPowerNotice();
    DisplayPowerNotice(const DisplayPowerNotice&) = delete;
    DisplayPowerNotice& operator=(const DisplayPowerNotice&) = delete;

    // Takes a WM_POWERBROADCAST: false unless it reports the display's state
    // (ReadDisplayPower); when that state goes from on to off or back,
    // `changed` is called with whether it is off now.
    bool Follow(WPARAM event, LPARAM setting, const std::function<void(bool off)>& changed);
    bool off() const { return off_; }

private:
    using UnregisterFn = BOOL(WINAPI*)(HANDLE);
    HANDLE handle_ = nullptr;
    UnregisterFn unregister_ = nullptr;
    bool off_ = false;
};
