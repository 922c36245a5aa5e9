// RegGetValueW where the system has it, and a stand-in where it has not.
#include "shell/regvalue.h"

#include <vector>

RegGetValueFn SystemRegGetValue() {
    HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
    if (!advapi) return nullptr;
    return reinterpret_cast<RegGetValueFn>(
        reinterpret_cast<void*>(GetProcAddress(advapi, "RegGetValueW")));
}

LONG WINAPI RegGetValueFallback(HKEY key, LPCWSTR subKey, LPCWSTR name, DWORD flags, LPDWORD type,
                                PVOID data, LPDWORD bytes) {
    if ((subKey && *subKey) || !data || !bytes) return ERROR_INVALID_PARAMETER;
    DWORD stored = 0, size = 0;
    LONG rc = RegQueryValueExW(key, name, nullptr, &stored, nullptr, &size);
    if (rc != ERROR_SUCCESS) return rc;
    const bool expand = stored == REG_EXPAND_SZ && !(flags & RRF_NOEXPAND);
    const DWORD seen = expand ? REG_SZ : stored;
    if (!((flags & RRF_RT_REG_SZ) && seen == REG_SZ) && !((flags & RRF_RT_REG_DWORD) && seen == REG_DWORD))
        return ERROR_UNSUPPORTED_TYPE;

    std::vector<BYTE> raw(size + 2 * sizeof(wchar_t), 0);  // room to terminate a bare string
    rc = RegQueryValueExW(key, name, nullptr, &stored, raw.data(), &size);
    if (rc != ERROR_SUCCESS) return rc;
    DWORD need = size;
    if (expand) {
        const DWORD capacity = *bytes / sizeof(wchar_t);
        need = ExpandEnvironmentStringsW(reinterpret_cast<const wchar_t*>(raw.data()),
                                         static_cast<wchar_t*>(data), capacity) * sizeof(wchar_t);
        if (need == 0) return static_cast<LONG>(GetLastError());
        if (need > *bytes) rc = ERROR_MORE_DATA;
    } else if (need > *bytes) {
        rc = ERROR_MORE_DATA;
    } else {
        CopyMemory(data, raw.data(), need);
    }
    *bytes = need;
    if (type) *type = seen;
    return rc;
}

RegGetValueFn RegGetValueEntry() {
    static const RegGetValueFn system = SystemRegGetValue();
    return system ? system : &RegGetValueFallback;
}
