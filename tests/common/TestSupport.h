// Small helpers shared by the Windows tests: paths between Wine and the host,
// scratch folders and files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// A host path ("/tmp/x") as Wine sees it ("Z:\tmp\x"); other paths unchanged.
std::wstring WinePath(const std::string& hostPath);

// An environment variable set by the test run, or "" when unset.
std::string Env(const char* name);

// A fresh, empty folder for one test, removed with its files by the destructor.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }
    // The names of the files in it, sorted.
    std::vector<std::wstring> Files() const;
private:
    std::wstring path_;
};

// True in the x64 build of the tests, which machines without i386 support run:
// there allocations that no 32-bit process can make may succeed.
constexpr bool kSixtyFourBitProcess = sizeof(void*) == 8;

// The process's current folder, changed for one scope.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::wstring& folder) {
        GetCurrentDirectoryW(MAX_PATH, saved_);
        changed_ = SetCurrentDirectoryW(folder.c_str()) != FALSE;
    }
    ~CurrentFolder() { SetCurrentDirectoryW(saved_); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;
    bool changed() const { return changed_; }

private:
    wchar_t saved_[MAX_PATH] = {};
    bool changed_ = false;
};

// Polls every 20 ms until done() holds or timeoutMs have passed.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs);

bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFileBytes(const std::wstring& path);

// The data of a power-setting broadcast (WM_POWERBROADCAST, event 0x8013) as
// the system lays it out, for a display state: 0 off, 1 on, 2 dimmed.
struct PowerSetting {
    GUID setting;
    DWORD length;
    DWORD value;
};
constexpr WPARAM kPowerSettingChange = 0x8013;
extern const GUID kConsoleDisplayState;  // Windows 8 and later
extern const GUID kMonitorPowerOn;       // Vista and 7
// Sends it to a window of this process (the data goes by pointer) and gives the answer.
LRESULT SendPowerSetting(HWND window, DWORD value, const GUID& setting = kConsoleDisplayState, DWORD length = 4);

}  // namespace testing_support
