// One registry value read with its type restricted, as RegGetValueW does it.
// The 32-bit advapi32 of Windows XP has no RegGetValueW, so it is looked up at
// run time and a stand-in built on RegQueryValueExW serves where it is missing.
#pragma once

#include <windows.h>

using RegGetValueFn = LONG(WINAPI*)(HKEY, LPCWSTR, LPCWSTR, DWORD, LPDWORD, PVOID, LPDWORD);

// advapi32's RegGetValueW, or null where the system lacks it.
RegGetValueFn SystemRegGetValue();

// The stand-in, for what the settings ask: no sub-key, and one of the flags
// RRF_RT_REG_SZ (REG_EXPAND_SZ is expanded unless RRF_NOEXPAND) or RRF_RT_REG_DWORD.
LONG WINAPI RegGetValueFallback(HKEY key, LPCWSTR subKey, LPCWSTR name, DWORD flags, LPDWORD type,
                                PVOID data, LPDWORD bytes);

// SystemRegGetValue() where there is one, else the stand-in.
RegGetValueFn RegGetValueEntry();
