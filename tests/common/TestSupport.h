// Small helpers shared by the Windows tests: paths between Wine and the host,
// scratch folders and files.
#pragma once

#include <windows.h>

#include <cstdint>
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
private:
    std::wstring path_;
};

// True in the x64 build of the tests, which machines without i386 support run:
// there allocations that no 32-bit process can make may succeed.
constexpr bool kSixtyFourBitProcess = sizeof(void*) == 8;

bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFileBytes(const std::wstring& path);

}  // namespace testing_support
