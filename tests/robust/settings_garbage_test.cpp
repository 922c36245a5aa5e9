// The nine settings stored with every wrong type and size: settings::Load
// gives each its default, and noxel.scr starts and plays with them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/SettingsKey.h"
#include "common/TestSupport.h"
#include "robust/HostileRun.h"
#include "saver/SaverHarness.h"
#include "shell/settings.h"

namespace {

using namespace testing_support;

const wchar_t* const kPathNames[] = {L"NoxelFilePath", L"WavFilePath", L"BackGroundImageFilePath"};
const wchar_t* const kNumberNames[] = {L"Engine", L"Param1", L"Param2", L"BGM", L"DisplayFrameRate", L"Volume"};

struct Garbage {
    const char* what;
    RegValue value;
    bool forPaths;    // wrong for a path value
    bool forNumbers;  // wrong for a number value
};

std::vector<Garbage> Kinds() {
    const uint8_t bytes[8] = {1, 0, 0, 0, 0, 0, 0, 0}, bigEndianOne[4] = {0, 0, 0, 1};
    return {
        {"nothing", Raw(REG_NONE, bytes, 0), true, true},
        {"binary", Raw(REG_BINARY, bytes, 4), true, true},
        {"big-endian dword", Raw(REG_DWORD_BIG_ENDIAN, bigEndianOne, 4), true, true},
        {"qword", Raw(REG_QWORD, bytes, 8), true, true},
        {"multi string", Raw(REG_MULTI_SZ, L"a\0b\0", sizeof(L"a\0b\0")), true, true},
        // A path may be stored expandable: the system expands it on reading.
        {"expandable string", Raw(REG_EXPAND_SZ, L"%TEMP%\\x", sizeof(L"%TEMP%\\x")), false, true},
        {"dword", Number(1), true, false},
        {"empty dword", Raw(REG_DWORD, bytes, 0), true, true},
        {"two-byte dword", Raw(REG_DWORD, bytes, 2), true, true},
        {"three-byte dword", Raw(REG_DWORD, bytes, 3), true, true},
        {"eight-byte dword", Raw(REG_DWORD, bytes, 8), true, true},
        {"text", Text(L"1"), false, true},
        {"text too long for a path", Text(std::wstring(kPathChars + 40, L'x')), true, true},
    };
}

// Stores `g` alone under every name it is wrong for; false if it stored nothing.
bool StoreEverywhere(const Garbage& g) {
    DeleteSettingsKey();
    RegValues values;
    if (g.forPaths)
        for (const wchar_t* name : kPathNames) values[name] = g.value;
    if (g.forNumbers)
        for (const wchar_t* name : kNumberNames) values[name] = g.value;
    return WriteSettingsKey(values);
}

std::vector<uint32_t> NumbersOf(const settings& s) {
    return {s.Engine, s.Param1, s.Param2, s.BGM, s.DisplayFrameRate, s.Volume};
}

class SettingsGarbage : public ::testing::Test {
protected:
    SettingsKeyGuard key_;  // emptied now, put back afterwards
};

TEST_F(SettingsGarbage, EveryWrongTypeAndSizeGivesTheDefaults) {
    for (const Garbage& g : Kinds()) {
        SCOPED_TRACE(g.what);
        ASSERT_TRUE(StoreEverywhere(g));
        settings s;
        for (wchar_t* path : {s.NoxelFilePath, s.WavFilePath, s.BackGroundImageFilePath}) wcscpy(path, L"stale");
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
    ScratchDir dir;
    ASSERT_TRUE(saver_tests::WriteCountingFilm(dir.File(L"Veilwick.nxl"), 20));
    CurrentFolder inDir(dir.path());
    ASSERT_TRUE(inDir.changed());
    for (const Garbage& g : Kinds()) {
        const std::string what = g.what;
        if (what != "binary" && what != "two-byte dword" && what != "text too long for a path") continue;
        ASSERT_TRUE(StoreEverywhere(g));
        const robust_tests::RunResult r = robust_tests::RunSaverOnce();
        EXPECT_TRUE(robust_tests::Played(r)) << what << ": " << r.Describe();
    }
}

}  // namespace
