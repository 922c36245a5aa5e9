// Display power: reading the system's power-setting broadcast, the film's
// clock after a time unseen, and the window's registration.
#include "player/displaypower.h"

#include <cstring>

#include "player/player.h"

namespace {

// The setting GUIDs, spelled out: the headers of the Windows version the
// program targets do not define them.
constexpr GUID kConsoleDisplayState = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
constexpr GUID kMonitorPowerOn = {0x02731015, 0x4510, 0x4526, {0x99, 0xe6, 0xe5, 0xa1, 0x7e, 0xbd, 0x1a, 0xea}};
constexpr WPARAM kPbtPowerSettingChange = 0x8013;
constexpr DWORD kDeviceNotifyWindowHandle = 0;

// POWERBROADCAST_SETTING: the setting's GUID, the data length, the data.
constexpr size_t kLengthOffset = sizeof(GUID);
constexpr size_t kDataOffset = kLengthOffset + sizeof(DWORD);

using RegisterFn = HANDLE(WINAPI*)(HANDLE, const GUID*, DWORD);

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

bool IsWindows8OrLater() {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExW(&version)) return false;
    return version.dwMajorVersion > 6 || (version.dwMajorVersion == 6 && version.dwMinorVersion >= 2);
}

}  // namespace

bool ReadDisplayPower(WPARAM event, LPARAM setting, DisplayPower* state) {
    if (event != kPbtPowerSettingChange || !setting) return false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(setting);
    GUID guid;
    DWORD length = 0;
    std::memcpy(&guid, bytes, sizeof(guid));
    std::memcpy(&length, bytes + kLengthOffset, sizeof(length));
    if (!SameGuid(guid, kConsoleDisplayState) && !SameGuid(guid, kMonitorPowerOn)) return false;
    if (length != sizeof(DWORD)) return false;
    DWORD value = 0;
    std::memcpy(&value, bytes + kDataOffset, sizeof(value));
    switch (value) {
    case 0: *state = DisplayPower::Off; return true;
    case 1: *state = DisplayPower::On; return true;
    case 2: *state = DisplayPower::Dimmed; return true;
    }
    return false;
}

uint32_t ResumedStartTick(uint32_t startTick, uint32_t now, uint32_t frameCount) {
    // A pass ends at the first millisecond whose frame is past the last.
    const uint64_t passMs = (static_cast<uint64_t>(frameCount) * 1000u + kFramesPerSecond - 1) / kFramesPerSecond;
    const uint32_t elapsed = now - startTick;
    if (passMs == 0 || elapsed < passMs) return startTick;
    return startTick + static_cast<uint32_t>(elapsed / passMs * passMs);
}

DisplayPowerNotice::DisplayPowerNotice(HWND window) {
    HMODULE user = GetModuleHandleW(L"USER32.DLL");
    if (!user) return;
    auto registerFn = reinterpret_cast<RegisterFn>(
        reinterpret_cast<void*>(GetProcAddress(user, "RegisterPowerSettingNotification")));
    unregister_ = reinterpret_cast<UnregisterFn>(
        reinterpret_cast<void*>(GetProcAddress(user, "UnregisterPowerSettingNotification")));
    if (!registerFn || !unregister_) return;
    const GUID& setting = IsWindows8OrLater() ? kConsoleDisplayState : kMonitorPowerOn;
    handle_ = registerFn(window, &setting, kDeviceNotifyWindowHandle);
}

DisplayPowerNotice::~DisplayPowerNotice() {
    if (handle_) unregister_(handle_);
}

bool DisplayPowerNotice::Follow(WPARAM event, LPARAM setting, const std::function<void(bool off)>& changed) {
    DisplayPower state;
    if (!ReadDisplayPower(event, setting, &state)) return false;
    const bool off = state == DisplayPower::Off;
    if (off != off_) {
        off_ = off;
        changed(off);
    }
    return true;
}
