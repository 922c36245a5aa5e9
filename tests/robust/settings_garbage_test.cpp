// The nine settings stored with every wrong type and size: settings::Load
// gives each its default, and noxel.scr starts and plays with them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "robust/HostileRun.h"
#include "saver/SaverHarness.h"
#include "shell/settings.h"

namespace {

using Bytes = std::vector<uint8_t>;

const wchar_t* const kPathNames[] = {L"NoxelFilePath", L"WavFilePath", L"BackGroundImageFilePath"};
const wchar_t* const kNumberNames[] = {L"Engine", L"Param1", L"Param2", L"BGM", L"DisplayFrameRate", L"Volume"};

struct Garbage {
    const char* what;
    DWORD type;
    Bytes data;
    bool forPaths;    // wrong for a path value
    bool forNumbers;  // wrong for a number value
};

Bytes Text(const std::wstring& text) {
    const auto* p = reinterpret_cast<const uint8_t*>(text.c_str());
    return Bytes(p, p + (text.size() + 1) * sizeof(wchar_t));
}

std::vector<Garbage> Kinds() {
    const Bytes one = {1, 0, 0, 0};
    return {
        {"nothing", REG_NONE, {}, true, true},
        {"binary", REG_BINARY, one, true, true},
        {"big-endian dword", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}, true, true},
        {"qword", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, true, true},
        {"multi string", REG_MULTI_SZ, Text(std::wstring(L"a\0b\0", 4)), true, true},
        // A path may be stored expandable: the system expands it on reading.
        {"expandable string", REG_EXPAND_SZ, Text(L"%TEMP%\\x"), false, true},
        {"dword", REG_DWORD, one, true, false},
        {"empty dword", REG_DWORD, {}, true, true},
        {"two-byte dword", REG_DWORD, {1, 0}, true, true},
        {"three-byte dword", REG_DWORD, {1, 0, 0}, true, true},
        {"eight-byte dword", REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0}, true, true},
        {"text", REG_SZ, Text(L"1"), false, true},
        {"text too long for a path", REG_SZ, Text(std::wstring(kPathChars + 40, L'x')), true, true},
    };
}

// Stores `g` under every name it is wrong for; returns false if it stored nothing.
bool StoreEverywhere(const Garbage& g) {
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_CURRENT_USER, kSettingsKey, &key) != ERROR_SUCCESS) return false;
    auto put = [&](const wchar_t* name) {
        RegSetValueExW(key, name, 0, g.type, g.data.empty() ? nullptr : g.data.data(),
                       static_cast<DWORD>(g.data.size()));
    };
    if (g.forPaths)
        for (const wchar_t* name : kPathNames) put(name);
    if (g.forNumbers)
        for (const wchar_t* name : kNumberNames) put(name);
    RegCloseKey(key);
    return true;
}

std::vector<uint32_t> NumbersOf(const settings& s) {
    return {s.Engine, s.Param1, s.Param2, s.BGM, s.DisplayFrameRate, s.Volume};
}

class SettingsGarbage : public ::testing::Test {
protected:
    saver_tests::SettingsScope scope_;  // emptied now, put back afterwards
};

TEST_F(SettingsGarbage, EveryWrongTypeAndSizeGivesTheDefaults) {
    for (const Garbage& g : Kinds()) {
        SCOPED_TRACE(g.what);
        RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
        ASSERT_TRUE(StoreEverywhere(g));
        settings s;
        wcscpy(s.NoxelFilePath, L"stale");
        wcscpy(s.WavFilePath, L"stale");
        wcscpy(s.BackGroundImageFilePath, L"stale");
        s.Engine = s.Param1 = s.Param2 = s.BGM = s.DisplayFrameRate = s.Volume = 0x5A5A;
        s.Load();
        if (g.forPaths) {
            EXPECT_STREQ(L"Veilwick.nxl", s.NoxelFilePath);
            EXPECT_STREQ(L"Veilwick.wav", s.WavFilePath);
            EXPECT_STREQ(L"", s.BackGroundImageFilePath);
        }
        if (g.forNumbers) {
            EXPECT_EQ(std::vector<uint32_t>({0, 0, 2, 1, 0, 0xFFFF}), NumbersOf(s));
        }
    }
}

// With nothing readable the saver falls back on the film named in its
// string table, relative to the folder it starts in, and plays it.
TEST_F(SettingsGarbage, TheSaverStartsWithTheDefaults) {
    robust_tests::NoCrashDialog noCrash;
    testing_support::ScratchDir dir;
    ASSERT_TRUE(saver_tests::WriteCountingFilm(dir.File(L"Veilwick.nxl"), 20));
    wchar_t before[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, before);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.path().c_str()));
    const std::vector<Garbage> kinds = Kinds();
    for (const char* what : {"binary", "two-byte dword", "text too long for a path"}) {
        for (const Garbage& g : kinds) {
            if (std::string(g.what) != what) continue;
            RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
            ASSERT_TRUE(StoreEverywhere(g));
            const robust_tests::RunResult r = robust_tests::RunSaverOnce();
            EXPECT_TRUE(robust_tests::Played(r)) << what << ": " << r.Describe();
        }
    }
    SetCurrentDirectoryW(before);
}

}  // namespace
