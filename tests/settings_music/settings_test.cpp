// The settings record against the real registry of the test run's Wine
// prefix. The key is emptied for every test and put back afterwards.
#include "shell/settings.h"
#include "shell/regvalue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/SettingsKey.h"

namespace {

using namespace testing_support;

void Put(const wchar_t* name, const RegValue& value) { ASSERT_TRUE(WriteSettingsKey({{name, value}})); }

class SettingsStore : public ::testing::Test {
protected:
    // A record with every number off its default, as a stale record would be.
    static void Scramble(settings& s) {
        s.Engine = s.Param1 = s.Param2 = s.BGM = s.DisplayFrameRate = s.Volume = s.Layout = s.KeepAspect = 0x5A5A;
    }
    SettingsKeyGuard key_;
};

// Engine, Param1, Param2, BGM, DisplayFrameRate, Volume, Layout, KeepAspect.
std::vector<uint32_t> NumbersOf(const settings& s) {
    return {s.Engine, s.Param1, s.Param2, s.BGM, s.DisplayFrameRate, s.Volume, s.Layout, s.KeepAspect};
}

}  // namespace

TEST_F(SettingsStore, AbsentKeyGivesDefaultsAndSaveWritesEveryValue) {
    settings s;
    Scramble(s);
    s.Load();
    EXPECT_STREQ(L"Veilwick.nxl", s.NoxelFilePath);
    EXPECT_STREQ(L"Veilwick.wav", s.WavFilePath);
    EXPECT_STREQ(L"", s.BackGroundImageFilePath);
    EXPECT_EQ(std::vector<uint32_t>({0, 0, 2, 1, 0, 0xFFFF, 0, 0}), NumbersOf(s));

    s.Save();
    // Texts with their terminator, numbers as four-byte DWORDs.
    const RegValues expected = {
        {L"NoxelFilePath", Text(L"Veilwick.nxl")}, {L"WavFilePath", Text(L"Veilwick.wav")},
        {L"BackGroundImageFilePath", Text(L"")},   {L"Engine", Number(0)},
        {L"Param1", Number(0)},                    {L"Param2", Number(2)},
        {L"BGM", Number(1)},                       {L"DisplayFrameRate", Number(0)},
        {L"Volume", Number(0xFFFF)},               {L"Layout", Number(0)},
        {L"KeepAspect", Number(0)}};
    EXPECT_EQ(expected, ReadSettingsKey());
}

TEST_F(SettingsStore, SavedValuesComeBackUnchanged) {
    const std::wstring longest = L"C:\\" + std::wstring(kPathChars - 4, L'f');  // 259 characters
    {
        settings s;
        wcscpy(s.NoxelFilePath, longest.c_str());
        wcscpy(s.WavFilePath, L"D:\\m\u00fcsic\\\u97f3.wav");
        s.BackGroundImageFilePath[0] = L'\0';
        s.Engine = 7;  // stored as it is: the consumers judge it
        s.Param1 = 0xFFFFFFFF;
        s.Param2 = 5;
        s.BGM = 0;
        s.DisplayFrameRate = 1;
        s.Volume = 0;
        s.Layout = 1;
        s.KeepAspect = 3;
        s.Save();
    }
    settings r;
    Scramble(r);
    r.Load();
    EXPECT_EQ(longest, r.NoxelFilePath);
    EXPECT_STREQ(L"D:\\m\u00fcsic\\\u97f3.wav", r.WavFilePath);
    EXPECT_STREQ(L"", r.BackGroundImageFilePath);
    // Volume 0 is a value, not a missing one.
    EXPECT_EQ(std::vector<uint32_t>({7, 0xFFFFFFFF, 5, 0, 1, 0, 1, 3}), NumbersOf(r));
}

TEST_F(SettingsStore, EachUnreadableValueTakesOnlyItsOwnDefault) {
    const DWORD four = 4;
    const ULONGLONG wide = 3;
    Put(L"NoxelFilePath", Text(std::wstring(kPathChars, L'n')));             // 261 with its terminator
    Put(L"WavFilePath", Text(std::wstring(kPathChars, L'w'), false));        // no room left to end it
    Put(L"BackGroundImageFilePath", Number(4));
    Put(L"Engine", Text(L"1"));
    Put(L"Param1", Raw(REG_BINARY, &four, sizeof(four)));
    Put(L"Param2", Raw(REG_QWORD, &wide, sizeof(wide)));
    Put(L"BGM", Raw(REG_DWORD, &four, 2));  // a DWORD of the wrong size
    Put(L"DisplayFrameRate", Number(1));
    Put(L"Volume", Number(1234));
    Put(L"Layout", Text(L"1"));
    Put(L"KeepAspect", Number(1));

    settings s;
    Scramble(s);
    s.Load();
    EXPECT_STREQ(L"Veilwick.nxl", s.NoxelFilePath);
    EXPECT_STREQ(L"Veilwick.wav", s.WavFilePath);
    EXPECT_STREQ(L"", s.BackGroundImageFilePath);
    EXPECT_EQ(std::vector<uint32_t>({0, 0, 2, 1, 1, 1234, 0, 1}), NumbersOf(s));
}

// A text stored without its terminator is ended in the buffer, up to one
// that fills it but for the terminator; a buffer filled to the brim is
// saved without reading past it.
TEST_F(SettingsStore, TextsWithoutTerminatorStayInsideTheBuffer) {
    Put(L"WavFilePath", Text(L"E:\\song.wav", false));
    Put(L"BackGroundImageFilePath", Text(std::wstring(kPathChars - 1, L'b'), false));
    settings s;
    std::fill(s.WavFilePath, s.WavFilePath + kPathChars, L'x');
    s.Load();
    EXPECT_STREQ(L"E:\\song.wav", s.WavFilePath);
    EXPECT_EQ(std::wstring(kPathChars - 1, L'b'), s.BackGroundImageFilePath);

    std::fill(s.NoxelFilePath, s.NoxelFilePath + kPathChars, L'a');  // no terminator at all
    s.Save();
    EXPECT_EQ(Text(std::wstring(kPathChars, L'a')), ReadSettingsKey()[L"NoxelFilePath"]);
    settings r;
    r.Load();
    EXPECT_STREQ(L"Veilwick.nxl", r.NoxelFilePath) << "too long to read back with its terminator";
}

// Where advapi32 lacks RegGetValueW the stand-in reads the values; both must
// agree on every kind of stored value the settings meet.
TEST_F(SettingsStore, StandInReadsLikeRegGetValue) {
    const RegGetValueFn system = SystemRegGetValue();
    ASSERT_NE(nullptr, system) << "Wine's advapi32 has RegGetValueW";
    const DWORD four = 4;
    const ULONGLONG wide = 3;
    ASSERT_TRUE(WriteSettingsKey({{L"text", Text(L"abc")},
                                  {L"bare", Text(L"abc", false)},
                                  {L"brim", Text(std::wstring(kPathChars - 1, L'q'))},
                                  {L"over", Text(std::wstring(kPathChars, L'q'))},
                                  {L"empty", Text(L"")},
                                  {L"expand", Raw(REG_EXPAND_SZ, L"%SystemRoot%\\x", 30)},
                                  {L"number", Number(77)},
                                  {L"short", Raw(REG_DWORD, &four, 2)},
                                  {L"binary", Raw(REG_BINARY, &four, 4)},
                                  {L"qword", Raw(REG_QWORD, &wide, 8)}}));

    for (const wchar_t* name : {L"text", L"bare", L"brim", L"over", L"empty", L"expand", L"number", L"short",
                                L"binary", L"qword", L"absent"}) {
        for (const DWORD flags : {DWORD(RRF_RT_REG_SZ), DWORD(RRF_RT_REG_DWORD)}) {
            HKEY key;
            ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyW(HKEY_CURRENT_USER, kSettingsKey, &key));
            std::vector<BYTE> a(kPathChars * 2, 0xCC), b(kPathChars * 2, 0xCC);
            const DWORD capacity = flags == RRF_RT_REG_SZ ? kPathChars * 2 : 4;
            DWORD na = capacity, nb = capacity;
            const LONG ra = system(key, L"", name, flags, nullptr, a.data(), &na);
            const LONG rb = RegGetValueFallback(key, L"", name, flags, nullptr, b.data(), &nb);
            RegCloseKey(key);
            EXPECT_EQ(ra == ERROR_SUCCESS, rb == ERROR_SUCCESS) << name << " flags " << flags;
            if (ra != ERROR_SUCCESS || rb != ERROR_SUCCESS) continue;
            a.resize(na);
            b.resize(nb);
            // The settings end a bare text themselves; compare up to its end.
            while (!a.empty() && a.back() == 0 && flags == RRF_RT_REG_SZ) a.pop_back();
            while (!b.empty() && b.back() == 0 && flags == RRF_RT_REG_SZ) b.pop_back();
            EXPECT_EQ(a, b) << name << " flags " << flags;
        }
    }
}
