// Finding a relative film, music or background name beside the program
// when the current folder does not hold it.
#include "shell/filelocation.h"

#include <windows.h>

#include "shell/settings.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsFile(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The folder of the running program's file with its trailing separator, or
// "" when its name does not fit in a path buffer.
std::wstring ProgramFolder() {
    wchar_t module[kPathChars] = {};
    const DWORD length = GetModuleFileNameW(nullptr, module, kPathChars);
    // A name that fills the buffer has been cut.
    if (length == 0 || length >= kPathChars) return L"";
    std::wstring folder(module, length);
    const size_t last = folder.find_last_of(L"\\/");
    if (last == std::wstring::npos) return L"";
    folder.resize(last + 1);
    return folder;
}

}  // namespace

bool IsRelativePath(const wchar_t* path) {
    if (!path[0]) return true;
    if (IsSeparator(path[0])) return false;  // rooted, or a UNC name
    return path[1] != L':';                  // "C:\..." and the drive-relative "C:name"
}

std::wstring LocateFileIn(const wchar_t* path, const std::wstring& programFolder) {
    const std::wstring asGiven(path);
    if (asGiven.empty() || !IsRelativePath(path) || IsFile(path) || programFolder.empty()) return asGiven;
    const std::wstring beside = programFolder + asGiven;
    // A path that does not fit is never cut: its cut form could name
    // another file.
    if (beside.size() >= kPathChars || !IsFile(beside.c_str())) return asGiven;
    return beside;
}

std::wstring LocateFile(const wchar_t* path) {
    return LocateFileIn(path, ProgramFolder());
}
