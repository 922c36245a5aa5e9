// The settings key of the test run's Wine prefix: saved before a test and put
// back afterwards, written value by value, and read back as a whole to see
// exactly what was written.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace testing_support {

struct RegValue {
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;

    bool operator==(const RegValue& other) const { return type == other.type && data == other.data; }
    std::wstring Text() const;
    uint32_t Number() const;
};

// For test messages: the type, then the text or the bytes.
void PrintTo(const RegValue& value, std::ostream* out);

using RegValues = std::map<std::wstring, RegValue>;

// Every value of the settings key; empty when the key is missing.
RegValues ReadSettingsKey();
bool SettingsKeyExists();
void DeleteSettingsKey();
// Adds the values to the key, making it when missing; false if it cannot.
bool WriteSettingsKey(const RegValues& values);

// A text with its terminator, or without one when `terminated` is false.
RegValue Text(const std::wstring& text, bool terminated = true);
RegValue Number(uint32_t value);
RegValue Raw(DWORD type, const void* data, size_t bytes);

// Holds the key's values from construction and restores them on destruction;
// the test itself starts with the key deleted.
class SettingsKeyGuard {
public:
    SettingsKeyGuard();
    ~SettingsKeyGuard();
    SettingsKeyGuard(const SettingsKeyGuard&) = delete;
    SettingsKeyGuard& operator=(const SettingsKeyGuard&) = delete;

    void Text(const wchar_t* name, const std::wstring& value) {
        WriteSettingsKey({{name, testing_support::Text(value)}});
    }
    void Number(const wchar_t* name, uint32_t value) {
        WriteSettingsKey({{name, testing_support::Number(value)}});
    }

private:
    bool existed_;
    RegValues saved_;
};

}  // namespace testing_support
