// Path rules and existence tests. Paths are UTF-8, as the user named them
// (long names, never short ones), joined by plain concatenation onto
// folders that end with "\"; the system is asked in UTF-16.
#pragma once

#include <windows.h>

#include <string>

#include "platform/Text.h"

namespace platform {

bool FileExists(const std::string& path);       // an existing file, not a folder
bool DirectoryExists(const std::string& path);  // an existing folder
// Why a folder cannot be reached where its drive or share cannot (offline,
// not ready, refused), in the system's words; "" where it can be, or is
// only not made yet.
std::string UnreachableReason(const std::string& folder);

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

// The path as Agent, a program of the ANSI code page, can name it: the
// path itself where that code page holds it; else its short (8.3) form,
// where the volume has short names and the code page holds them; "" where
// neither.
std::string PathAgentCanName(const std::string& path);
// The system's short name of a path; a test may put another in its place
// (null: the system's again), one of a volume with short names off.
using ShortPathFunction = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
void UseShortPathFunction(ShortPathFunction f);

}  // namespace platform
