// Where a stored file name leads. A relative name that the current folder
// does not hold is looked for beside the running screen saver: Windows
// starts a screen saver in its system folder, while its film and music lie
// in the folder the user unpacked it into.
#pragma once

#include <string>

// True for a path that names no drive and no root: not "C:...", "\..." or
// "/...", and not a UNC name "\\server\...".
bool IsRelativePath(const wchar_t* path);

// The file to open for a stored `path`: the path itself when it is empty,
// not relative, or names a file relative to the current folder; else the
// same relative path inside `programFolder` (which ends in a separator)
// when a file lies there and the joined path fits in a path buffer; else
// the path unchanged. The stored value itself is never touched.
std::wstring LocateFileIn(const wchar_t* path, const std::wstring& programFolder);

// The same, beside the running program's own file.
std::wstring LocateFile(const wchar_t* path);
