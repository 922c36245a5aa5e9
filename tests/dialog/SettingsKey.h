// The settings key of the test run's Wine prefix: saved before a test and put
// back afterwards, and read back as a whole to see exactly what was written.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace dialog_tests {

struct RegValue {
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;

    bool operator==(const RegValue& other) const { return type == other.type && data == other.data; }
    std::wstring Text() const;
    uint32_t Number() const;
};

using RegValues = std::map<std::wstring, RegValue>;

// Every value of the settings key; empty when the key is missing.
RegValues ReadSettingsKey();
bool SettingsKeyExists();
void DeleteSettingsKey();
void WriteSettingsKey(const RegValues& values);

RegValue Text(const std::wstring& text);
RegValue Number(uint32_t value);

// Holds the key's values from construction and restores them on destruction;
// the test itself starts with the key deleted.
class SettingsKeyGuard {
public:
    SettingsKeyGuard();
    ~SettingsKeyGuard();
    SettingsKeyGuard(const SettingsKeyGuard&) = delete;
    SettingsKeyGuard& operator=(const SettingsKeyGuard&) = delete;

private:
    bool existed_;
    RegValues saved_;
};

}  // namespace dialog_tests
