// What another process holds, read from outside: its memory, its GDI
// objects and its handles. Where the system's own counters are missing
// (Wine answers 0 for the GDI and handle counts) the probe counts the
// process's GDI handle table and the system's handle list itself.
#pragma once

#include <windows.h>

#include <cstdint>

namespace robust_tests {

struct ProcessSample {
    uint64_t workingSetBytes = 0;
    uint64_t privateBytes = 0;
    long gdiObjects = -1;  // -1: could not be counted
    long handles = -1;
};

// `process` needs PROCESS_QUERY_INFORMATION and PROCESS_VM_READ.
ProcessSample SampleProcess(HANDLE process);

}  // namespace robust_tests
