// Child processes for the tests: a program started with a command-line tail
// and ended by its owner's scope, and this test executable run again to run
// one chosen test (for tests of code that ends the process).
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

// `program` started with `arguments` after its quoted name, in `folder` (""
// for this process's). With a `startup` that names standard handles, the
// inheritable handles pass to the child. Ended by the destructor if it still
// runs.
class ChildProcess {
public:
    ChildProcess(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder = L"",
                 const STARTUPINFOW* startup = nullptr);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return process_.hProcess != nullptr; }
    HANDLE handle() const { return process_.hProcess; }
    DWORD id() const { return process_.dwProcessId; }
    // GetTickCount() just before the start.
    DWORD launchTick() const { return launchTick_; }
    bool Running() const;
    // True when the process ended within timeoutMs.
    bool WaitExit(DWORD timeoutMs);
    // The exit code once ended, STILL_ACTIVE before.
    DWORD ExitCode() const;

private:
    PROCESS_INFORMATION process_ = {};
    DWORD launchTick_ = GetTickCount();
};

// This executable's path.
std::wstring SelfPath();

// Runs this executable with `arguments` (for example a --gtest_filter) and
// the environment of this process; returns the child's exit code, or
// STILL_ACTIVE if it has not ended within `timeoutMs` (it is then killed).
DWORD RunSelf(const std::wstring& arguments, DWORD timeoutMs = 60000);

// Arguments that run exactly one test that is disabled in normal runs.
std::wstring OnlyDisabledTest(const std::wstring& fullName);

}  // namespace testing_support
