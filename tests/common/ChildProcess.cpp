#include "common/ChildProcess.h"

#include <vector>

namespace testing_support {

ChildProcess::ChildProcess(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder,
                           const STARTUPINFOW* startup) {
    const std::wstring line = L"\"" + program + L"\" " + arguments;
    std::vector<wchar_t> mutableLine(line.begin(), line.end());
    mutableLine.push_back(L'\0');
    STARTUPINFOW plain = {};
    plain.cb = sizeof plain;
    STARTUPINFOW info = startup ? *startup : plain;
    const BOOL inherit = (info.dwFlags & STARTF_USESTDHANDLES) != 0;
    if (!CreateProcessW(program.c_str(), mutableLine.data(), nullptr, nullptr, inherit, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &info, &process_))
        process_ = {};
}

ChildProcess::~ChildProcess() {
    if (!started()) return;
    if (Running()) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool ChildProcess::Running() const {
    return started() && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

bool ChildProcess::WaitExit(DWORD timeoutMs) {
    return started() && WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD ChildProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (started()) GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

std::wstring SelfPath() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return self;
}

DWORD RunSelf(const std::wstring& arguments, DWORD timeoutMs) {
    ChildProcess child(SelfPath(), arguments);
    return child.WaitExit(timeoutMs) ? child.ExitCode() : STILL_ACTIVE;
}

std::wstring OnlyDisabledTest(const std::wstring& fullName) {
    return L"--gtest_also_run_disabled_tests --gtest_filter=" + fullName;
}

}  // namespace testing_support
