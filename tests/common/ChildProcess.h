// Runs this test executable again as a child process, for tests of code
// that ends the process: the child runs one chosen test and the parent
// checks how it ended.
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

// Runs this executable with `arguments` (for example a --gtest_filter) and
// the environment of this process; returns the child's exit code, or
// STILL_ACTIVE if it has not ended within `timeoutMs` (it is then killed).
DWORD RunSelf(const std::wstring& arguments, DWORD timeoutMs = 60000);

// Arguments that run exactly one test that is disabled in normal runs.
std::wstring OnlyDisabledTest(const std::wstring& fullName);

}  // namespace testing_support
