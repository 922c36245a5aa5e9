// The settings record and its registry storage: every value is read on its
// own and falls back to its default alone, and the record is written whole.
#include "shell/settings.h"

#include "resources/resource.h"
#include "shell/regvalue.h"

#include <cwchar>
#include <memory>
#include <string>

namespace {

constexpr uint32_t kDefaultBGM = 1;
constexpr uint32_t kDefaultDisplayFrameRate = 0;
constexpr uint32_t kDefaultEngine = 0;
constexpr uint32_t kDefaultVolume = 0xFFFF;
constexpr uint32_t kDefaultParam1 = 0;
constexpr uint32_t kDefaultParam2 = 2;
constexpr uint32_t kDefaultLayout = 0;
constexpr uint32_t kDefaultKeepAspect = 0;

// String resource `id` (bare file names used as they stand), or empty for 0.
void DefaultPath(wchar_t* path, UINT id) {
    path[0] = L'\0';
    if (id) LoadStringW(GetModuleHandleW(nullptr), id, path, kPathChars);
}

// Stored path text, or the string resource `defaultId` (0: empty) when the
// value is missing, of another type, or too long for the buffer.
void ReadPath(HKEY key, const wchar_t* name, wchar_t* path, UINT defaultId) {
    if (key) {
        DWORD bytes = kPathChars * sizeof(wchar_t);
        if (RegGetValueEntry()(key, L"", name, RRF_RT_REG_SZ, nullptr, path, &bytes) == ERROR_SUCCESS) {
            // A value stored without its terminator is accepted when one still fits.
            const DWORD chars = bytes / sizeof(wchar_t);
            if (chars > 0 && path[chars - 1] == L'\0') return;
            if (chars < kPathChars) {
                path[chars] = L'\0';
                return;
            }
        }
    }
    DefaultPath(path, defaultId);
}

uint32_t ReadNumber(HKEY key, const wchar_t* name, uint32_t fallback) {
    DWORD value = 0, bytes = sizeof(value);
    // A REG_DWORD of another size is handed over as it is; only four bytes make a value.
    if (key && RegGetValueEntry()(key, L"", name, RRF_RT_REG_DWORD, nullptr, &value, &bytes) == ERROR_SUCCESS &&
        bytes == sizeof(value))
        return value;
    return fallback;
}

void WritePath(HKEY key, const wchar_t* name, const wchar_t* path) {
    // Counted within the buffer and terminated from a copy, so a buffer
    // filled to the brim is neither over-read nor written with a stray tail.
    const std::wstring text(path, wcsnlen(path, kPathChars));
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void WriteNumber(HKEY key, const wchar_t* name, uint32_t value) {
    const DWORD v = value;
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof(v));
}

}  // namespace

settings::settings() {
    auto film = std::make_unique<wchar_t[]>(kPathChars);
    auto wav = std::make_unique<wchar_t[]>(kPathChars);
    auto background = std::make_unique<wchar_t[]>(kPathChars);
    NoxelFilePath = film.release();
    WavFilePath = wav.release();
    BackGroundImageFilePath = background.release();
    DefaultPath(NoxelFilePath, IDS_DEFAULT_FILM);
    DefaultPath(WavFilePath, IDS_DEFAULT_WAV);
    DefaultPath(BackGroundImageFilePath, 0);
}

settings::~settings() {
    delete[] NoxelFilePath;
    delete[] WavFilePath;
    delete[] BackGroundImageFilePath;
}

void settings::Load() {
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_CURRENT_USER, kSettingsKey, &key) != ERROR_SUCCESS) key = nullptr;
    ReadPath(key, L"NoxelFilePath", NoxelFilePath, IDS_DEFAULT_FILM);
    ReadPath(key, L"WavFilePath", WavFilePath, IDS_DEFAULT_WAV);
    ReadPath(key, L"BackGroundImageFilePath", BackGroundImageFilePath, 0);
    Engine = ReadNumber(key, L"Engine", kDefaultEngine);
    Param1 = ReadNumber(key, L"Param1", kDefaultParam1);
    Param2 = ReadNumber(key, L"Param2", kDefaultParam2);
    BGM = ReadNumber(key, L"BGM", kDefaultBGM);
    DisplayFrameRate = ReadNumber(key, L"DisplayFrameRate", kDefaultDisplayFrameRate);
    Volume = ReadNumber(key, L"Volume", kDefaultVolume);
    Layout = ReadNumber(key, L"Layout", kDefaultLayout);
    KeepAspect = ReadNumber(key, L"KeepAspect", kDefaultKeepAspect);
    if (key) RegCloseKey(key);
}

void settings::Save() {
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_CURRENT_USER, kSettingsKey, &key) != ERROR_SUCCESS) return;
    WritePath(key, L"NoxelFilePath", NoxelFilePath);
    WritePath(key, L"WavFilePath", WavFilePath);
    WritePath(key, L"BackGroundImageFilePath", BackGroundImageFilePath);
    WriteNumber(key, L"Engine", Engine);
    WriteNumber(key, L"Param1", Param1);
    WriteNumber(key, L"Param2", Param2);
    WriteNumber(key, L"BGM", BGM);
    WriteNumber(key, L"DisplayFrameRate", DisplayFrameRate);
    WriteNumber(key, L"Volume", Volume);
    WriteNumber(key, L"Layout", Layout);
    WriteNumber(key, L"KeepAspect", KeepAspect);
    RegCloseKey(key);
}
