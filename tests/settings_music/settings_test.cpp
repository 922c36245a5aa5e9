// The settings record against the real registry of the test run's Wine
// prefix. The key is emptied for every test and put back afterwards.
#include "shell/settings.h"
#include "shell/regvalue.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

struct Stored {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};
using Values = std::map<std::wstring, Stored>;

// All values under the settings key; `exists` tells whether the key is there.
Values ReadKey(bool* exists = nullptr) {
    Values out;
    HKEY key;
    const bool open = RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (exists) *exists = open;
    if (!open) return out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameChars = 256, type = 0, size = 4096;
        std::vector<BYTE> data(size);
        if (RegEnumValueW(key, i, name, &nameChars, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
        data.resize(size);
        out[name] = Stored{type, data};
    }
    RegCloseKey(key);
    return out;
}

void Put(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, kSettingsKey, &key));
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes);
    RegCloseKey(key);
}

void PutText(const wchar_t* name, const std::wstring& text, bool terminated = true) {
    Put(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t)));
}

void PutNumber(const wchar_t* name, DWORD value) { Put(name, REG_DWORD, &value, sizeof(value)); }

std::wstring TextOf(const Stored& s) {
    return std::wstring(reinterpret_cast<const wchar_t*>(s.bytes.data()), s.bytes.size() / sizeof(wchar_t));
}

DWORD NumberOf(const Stored& s) {
    DWORD v = 0;
    if (s.bytes.size() == sizeof(v)) memcpy(&v, s.bytes.data(), sizeof(v));
    return v;
}

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = ReadKey(&existed_);
        RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
    }
    void TearDown() override {
        RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
        if (!existed_) return;
        for (const auto& v : saved_) Put(v.first.c_str(), v.second.type, v.second.bytes.data(),
                                         static_cast<DWORD>(v.second.bytes.size()));
    }
    // A record with every number off its default, as a stale record would be.
    static void Scramble(settings& s) {
        s.Engine = s.Param1 = s.Param2 = s.BGM = s.DisplayFrameRate = s.Volume = 0x5A5A;
    }
    Values saved_;
    bool existed_ = false;
};

// Engine, Param1, Param2, BGM, DisplayFrameRate, Volume.
std::vector<uint32_t> NumbersOf(const settings& s) {
    return {s.Engine, s.Param1, s.Param2, s.BGM, s.DisplayFrameRate, s.Volume};
}
const std::vector<uint32_t> kDefaultNumbers = {0, 0, 2, 1, 0, 0xFFFF};

}  // namespace

TEST_F(SettingsStore, AbsentKeyGivesDefaultsAndSaveWritesAllNine) {
    settings s;
    Scramble(s);
    s.Load();
    EXPECT_STREQ(L"Veilwick.nxl", s.NoxelFilePath);
    EXPECT_STREQ(L"Veilwick.wav", s.WavFilePath);
    EXPECT_STREQ(L"", s.BackGroundImageFilePath);
    EXPECT_EQ(kDefaultNumbers, NumbersOf(s));

    s.Save();
    const Values v = ReadKey();
    ASSERT_EQ(9u, v.size());
    const std::pair<const wchar_t*, std::wstring> texts[] = {
        {L"NoxelFilePath", std::wstring(L"Veilwick.nxl", 13)},
        {L"WavFilePath", std::wstring(L"Veilwick.wav", 13)},
        {L"BackGroundImageFilePath", std::wstring(1, L'\0')}};  // text and its terminator
    for (const auto& t : texts) {
        ASSERT_EQ(1u, v.count(t.first)) << t.first;
        EXPECT_EQ(DWORD(REG_SZ), v.at(t.first).type) << t.first;
        EXPECT_EQ(t.second, TextOf(v.at(t.first))) << t.first;
    }
    const std::pair<const wchar_t*, DWORD> numbers[] = {{L"Engine", 0},          {L"Param1", 0}, {L"Param2", 2},
                                                        {L"BGM", 1},             {L"DisplayFrameRate", 0},
                                                        {L"Volume", 0xFFFF}};
    for (const auto& n : numbers) {
        ASSERT_EQ(1u, v.count(n.first)) << n.first;
        EXPECT_EQ(DWORD(REG_DWORD), v.at(n.first).type) << n.first;
        EXPECT_EQ(4u, v.at(n.first).bytes.size()) << n.first;
        EXPECT_EQ(n.second, NumberOf(v.at(n.first))) << n.first;
    }
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
        s.Save();
    }
    settings r;
    Scramble(r);
    r.Load();
    EXPECT_EQ(longest, r.NoxelFilePath);
    EXPECT_STREQ(L"D:\\m\u00fcsic\\\u97f3.wav", r.WavFilePath);
    EXPECT_STREQ(L"", r.BackGroundImageFilePath);
    // Volume 0 is a value, not a missing one.
    EXPECT_EQ(std::vector<uint32_t>({7, 0xFFFFFFFF, 5, 0, 1, 0}), NumbersOf(r));
}

TEST_F(SettingsStore, EachUnreadableValueTakesOnlyItsOwnDefault) {
    PutText(L"NoxelFilePath", std::wstring(kPathChars, L'n'));                  // 261 with its terminator
    PutText(L"WavFilePath", std::wstring(kPathChars, L'w'), /*terminated=*/false);  // no room left to end it
    const DWORD four = 4;
    Put(L"BackGroundImageFilePath", REG_DWORD, &four, sizeof(four));
    PutText(L"Engine", L"1");
    Put(L"Param1", REG_BINARY, &four, sizeof(four));
    const ULONGLONG wide = 3;
    Put(L"Param2", REG_QWORD, &wide, sizeof(wide));
    Put(L"BGM", REG_DWORD, &four, 2);  // a DWORD of the wrong size
    PutNumber(L"DisplayFrameRate", 1);
    PutNumber(L"Volume", 1234);

    settings s;
    Scramble(s);
    s.Load();
    EXPECT_STREQ(L"Veilwick.nxl", s.NoxelFilePath);
    EXPECT_STREQ(L"Veilwick.wav", s.WavFilePath);
    EXPECT_STREQ(L"", s.BackGroundImageFilePath);
    EXPECT_EQ(std::vector<uint32_t>({0, 0, 2, 1, 1, 1234}), NumbersOf(s));
}

TEST_F(SettingsStore, StoredTextWithoutTerminatorIsEndedInTheBuffer) {
    PutText(L"WavFilePath", L"E:\\song.wav", /*terminated=*/false);
    PutText(L"BackGroundImageFilePath", std::wstring(kPathChars - 1, L'b'), /*terminated=*/false);
    settings s;
    std::fill(s.WavFilePath, s.WavFilePath + kPathChars, L'x');
    s.Load();
    EXPECT_STREQ(L"E:\\song.wav", s.WavFilePath);
    EXPECT_EQ(std::wstring(kPathChars - 1, L'b'), s.BackGroundImageFilePath);
}

TEST_F(SettingsStore, SaveOfABufferFilledToTheBrimStaysInsideIt) {
    settings s;
    s.Load();
    std::fill(s.NoxelFilePath, s.NoxelFilePath + kPathChars, L'a');  // no terminator at all
    s.Save();
    const Values v = ReadKey();
    ASSERT_EQ(1u, v.count(L"NoxelFilePath"));
    EXPECT_EQ(std::wstring(kPathChars, L'a') + L'\0', TextOf(v.at(L"NoxelFilePath")));
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
    PutText(L"text", L"abc");
    PutText(L"bare", L"abc", false);
    PutText(L"brim", std::wstring(kPathChars - 1, L'q'));
    PutText(L"over", std::wstring(kPathChars, L'q'));
    PutText(L"empty", L"");
    Put(L"expand", REG_EXPAND_SZ, L"%SystemRoot%\\x", 30);
    PutNumber(L"number", 77);
    Put(L"short", REG_DWORD, &four, 2);
    Put(L"binary", REG_BINARY, &four, 4);
    Put(L"qword", REG_QWORD, &wide, 8);

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
