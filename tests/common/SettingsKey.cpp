#include "common/SettingsKey.h"

#include <cstring>

#include "shell/settings.h"

namespace testing_support {

std::wstring RegValue::Text() const {
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

uint32_t RegValue::Number() const {
    uint32_t value = 0;
    if (data.size() == sizeof(value)) memcpy(&value, data.data(), sizeof(value));
    return value;
}

void PrintTo(const RegValue& value, std::ostream* out) {
    *out << "type " << value.type << ", ";
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        for (wchar_t c : value.Text()) *out << (c < 128 ? static_cast<char>(c) : '?');
        *out << " (" << value.data.size() << " bytes)";
        return;
    }
    for (uint8_t b : value.data) *out << static_cast<int>(b) << ' ';
}

RegValues ReadSettingsKey() {
    RegValues values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameChars = 256, type = 0, bytes = 0;
        if (RegEnumValueW(key, i, name, &nameChars, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) break;
        RegValue value;
        value.type = type;
        value.data.resize(bytes);
        nameChars = 256;
        RegEnumValueW(key, i, name, &nameChars, nullptr, &type, value.data.data(), &bytes);
        values[name] = value;
    }
    RegCloseKey(key);
    return values;
}

bool SettingsKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void DeleteSettingsKey() {
    RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
}

bool WriteSettingsKey(const RegValues& values) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    for (const auto& [name, value] : values) {
        RegSetValueExW(key, name.c_str(), 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
    }
    RegCloseKey(key);
    return true;
}

RegValue Raw(DWORD type, const void* data, size_t bytes) {
    const auto* first = static_cast<const uint8_t*>(data);
    return RegValue{type, std::vector<uint8_t>(first, first + bytes)};
}

RegValue Text(const std::wstring& text, bool terminated) {
    return Raw(REG_SZ, text.c_str(), (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
}

RegValue Number(uint32_t number) { return Raw(REG_DWORD, &number, sizeof(number)); }

SettingsKeyGuard::SettingsKeyGuard() : existed_(SettingsKeyExists()), saved_(ReadSettingsKey()) {
    DeleteSettingsKey();
}

SettingsKeyGuard::~SettingsKeyGuard() {
    DeleteSettingsKey();
    if (existed_) WriteSettingsKey(saved_);
}

}  // namespace testing_support
