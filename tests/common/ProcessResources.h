// What this process holds now: GDI objects, kernel handles and private
// memory, for tests that show an engine gives back what it takes. Wine
// answers 0 for the system's GDI and handle counts, so there the live GDI
// handles and the process's entries in the system handle list are counted
// instead; its private bytes are the commit charge. Link with psapi.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <vector>

namespace testing_support {

struct ResourceSample {
    long gdiObjects = 0;
    long handles = 0;
    int64_t privateBytes = 0;
};

// Wine takes a GDI handle's low word as its table index.
inline long CountLiveGdiHandles() {
    long live = 0;
    for (uintptr_t index = 1; index < 0x10000; ++index)
        live += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0 ? 1 : 0;
    return live;
}

// The entries of process `processId` in the system's handle list; -1 when
// the list cannot be read.
inline long CountSystemHandles(DWORD processId) {
    using QueryFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
    struct SystemHandle {
        ULONG ownerPid;
        BYTE objectType;
        BYTE flags;
        USHORT value;
        void* object;
        ACCESS_MASK access;
    };
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return -1;
    std::vector<uint8_t> buffer(1 << 16);
    LONG status;
    while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), nullptr)) ==
           kInfoLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status != 0) return -1;
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* handles = reinterpret_cast<const SystemHandle*>(buffer.data() + sizeof(ULONG_PTR));
    long own = 0;
    for (ULONG i = 0; i < count; ++i) own += handles[i].ownerPid == processId ? 1 : 0;
    return own;
}

inline ResourceSample SampleResources() {
    ResourceSample sample;
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    sample.gdiObjects = gdi ? static_cast<long>(gdi) : CountLiveGdiHandles();
    DWORD handles = 0;
    sample.handles = GetProcessHandleCount(GetCurrentProcess(), &handles) && handles
                         ? static_cast<long>(handles)
                         : CountSystemHandles(GetCurrentProcessId());
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        sample.privateBytes = static_cast<int64_t>(memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage);
    return sample;
}

}  // namespace testing_support
