#include "robust/ProcessProbe.h"

#include <psapi.h>

#include <vector>

#include "common/ProcessResources.h"

namespace robust_tests {

namespace {

using NtQueryInformationProcessFn = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);

constexpr ULONG kProcessBasicInformation = 0;
constexpr size_t kPebGdiTableOffset = 0x94;  // GdiSharedHandleTable in a 32-bit PEB
constexpr size_t kGdiTableEntries = 0x10000;

struct BasicInformation {
    LONG exitStatus;
    void* peb;
    ULONG_PTR affinity;
    LONG basePriority;
    ULONG_PTR processId;
    ULONG_PTR parentId;
};

// One entry of the GDI handle table as the system lays it out for 32-bit processes.
#pragma pack(push, 4)
struct GdiEntry {
    uint64_t object;
    uint16_t ownerPid;
    uint16_t count;
    uint8_t type;
    uint8_t flags;
    uint16_t unique;
    uint64_t userPointer;
};
#pragma pack(pop)
static_assert(sizeof(GdiEntry) == 24, "the table's entries are 24 bytes");

template <typename F>
F Ntdll(const char* name) {
    // Through a plain function pointer type, which any function pointer may become.
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// Live entries of the process's GDI handle table, found through its PEB.
long CountGdiTable(HANDLE process) {
    auto query = Ntdll<NtQueryInformationProcessFn>("NtQueryInformationProcess");
    BasicInformation basic = {};
    if (!query || query(process, kProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 || !basic.peb)
        return -1;
    uint32_t table = 0;
    SIZE_T got = 0;
    if (!ReadProcessMemory(process, static_cast<char*>(basic.peb) + kPebGdiTableOffset, &table, sizeof table, &got) ||
        !table)
        return -1;
    std::vector<GdiEntry> entries(kGdiTableEntries);
    if (!ReadProcessMemory(process, reinterpret_cast<void*>(static_cast<uintptr_t>(table)), entries.data(),
                           entries.size() * sizeof(GdiEntry), &got))
        return -1;
    const uint16_t pid = static_cast<uint16_t>(GetProcessId(process));
    long live = 0;
    for (const GdiEntry& e : entries) {
        // Stock objects belong to no process; count them too, they never change.
        if (e.type != 0 && (e.ownerPid == pid || e.ownerPid == 0)) ++live;
    }
    return live;
}

}  // namespace

ProcessSample SampleProcess(HANDLE process) {
    ProcessSample sample;
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        sample.workingSetBytes = memory.WorkingSetSize;
        // Wine leaves PrivateUsage at 0; the commit charge is the same figure there.
        sample.privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
    }
    const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
    sample.gdiObjects = gdi ? static_cast<long>(gdi) : CountGdiTable(process);
    DWORD handles = 0;
    sample.handles = GetProcessHandleCount(process, &handles) && handles
                         ? static_cast<long>(handles)
                         : testing_support::CountSystemHandles(GetProcessId(process));
    return sample;
}

}  // namespace robust_tests
