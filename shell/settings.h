// The user's choices and their home in the registry, under
// HKEY_CURRENT_USER\SOFTWARE\Cobaltwing\Noxel.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr uint32_t kPathChars = 260;

class settings {
public:
    // Fills the paths with their defaults; call Load right after.
    settings();
    ~settings();
    settings(const settings&) = delete;
    settings& operator=(const settings&) = delete;

    // Reads every value, each on its own; one that cannot be read takes its default.
    void Load();
    // Writes every value, creating the key when it is missing.
    void Save();

    wchar_t* NoxelFilePath;
    wchar_t* WavFilePath;
    wchar_t* BackGroundImageFilePath;
    uint32_t BGM = 1;
    uint32_t DisplayFrameRate = 0;
    uint32_t Engine = 0;
    uint32_t Volume = 0xFFFF;
    uint32_t Param1 = 0;
    uint32_t Param2 = 2;
    // 0 one picture across all screens, 1 a picture on each screen.
    uint32_t Layout = 0;
    // 0 the picture stretched over its area, 1 kept at the film's proportions.
    uint32_t KeepAspect = 0;
};

// Registry location of the settings.
constexpr const wchar_t* kSettingsKey = L"SOFTWARE\\Cobaltwing\\Noxel";
