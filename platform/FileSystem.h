// Path rules and existence tests. Paths are ANSI, joined by plain
// concatenation onto folders that end with "\".
#pragma once

#include <windows.h>

#include <string>

namespace platform {

bool FileExists(const std::string& path);       // an existing file, not a folder
bool DirectoryExists(const std::string& path);  // an existing folder

std::string IncludeTrailingBackslash(const std::string& path);
// Whether a path names one place wherever the program runs: a drive and
// its root ("C:\..."), or a share ("\\server\share..."). Not one relative
// to the current folder or drive ("Profiles\", "\Profiles", "C:Profiles").
bool IsFullPath(const std::string& path);
// The folder part of a path, ending with its separator ("" when there is none).
std::string ExtractFilePath(const std::string& path);
// The path with its extension (from the last "." of the file name) replaced.
std::string ChangeFileExt(const std::string& path, const std::string& ext);

// Whether this user may make things in an existing folder: found out by
// making, and removing again, a sub-folder of a name nobody else uses.
bool FolderIsWritable(const std::string& folder);

// The user's local application data folder, not synced or roamed by
// default ("" where the system cannot say).
std::string LocalAppDataFolder();

// The path of the file or folder itself, every link on the way resolved,
// as the system names it ("" when it cannot be opened).
std::string FinalPath(const std::string& path);
// The same in Unicode, as the system gives it ("\\?\C:\..."), and of an open handle.
std::wstring FinalPathW(const std::string& path);
std::wstring FinalPathOfHandle(HANDLE h);

// Whether a file starts with UTF-8's byte-order mark.
bool StartsWithByteOrderMark(const std::string& path);

// A path the system gives in Unicode, as the rest of the program (and
// Agent, an ANSI program) can use it: the path itself where the code page
// holds every character of it; else the short (8.3) name of the part that
// exists, with the rest as it is; "" where neither does. A short name given
// for a longer path is remembered, so that the long one can be stored.
std::string CodePagePath(const std::wstring& path);
// The Unicode path a short name stands for ("" when it stands for none).
std::wstring LongPathFor(const std::string& codePagePath);
std::wstring Widened(const std::string& text);
// The text in the code page, "?" for what it cannot hold: for showing.
std::string Narrowed(const std::wstring& text);
// An entry's name in a folder listing, as CodePagePath gives a path: its
// name, or its short name; "" where the code page holds neither.
std::string CodePageName(const wchar_t* name, const wchar_t* shortName);
// The system's short name of a path; a test may put another in its place
// (null: the system's again), one of a volume with short names off.
using ShortPathFunction = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
void UseShortPathFunction(ShortPathFunction f);

}  // namespace platform
