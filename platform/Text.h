// Where text meets the system. Inside, the program keeps every text in
// UTF-8; the system is named in UTF-16, through its "-W" functions, and
// these two turn one into the other. Agent is a program of the ANSI code
// page: the bytes of its Agent.ini, and the folder it is started in, are in
// that code page, which may be Windows' UTF-8 one (65001).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace platform {

std::wstring Widened(std::string_view utf8);
std::string Narrowed(std::wstring_view utf16);

// The system's ANSI code page; a test may put another in its place (0: the
// system's again), as a system set to UTF-8 or to another language has it.
UINT AnsiCodePage();
void UseAnsiCodePage(UINT codePage);
// Windows refuses, for UTF-8, both the no-best-fit flag and the question
// whether a default was used; Wine answers both. A test puts Windows' answer
// in place of the system's conversion here (nullptr: the system's again).
using WideToAnsiFunction = int(WINAPI*)(UINT, DWORD, LPCWCH, int, LPSTR, int, LPCCH, LPBOOL);
void UseWideToAnsiFunction(WideToAnsiFunction f);

// Text in the ANSI code page's bytes, as Agent reads and writes it; `whole`
// says whether that code page holds every character (nothing best-fitted).
std::string ToAnsi(std::string_view utf8, bool* whole = nullptr);
std::string FromAnsi(std::string_view ansi);
// Whether the ANSI code page holds every character of the text.
bool AnsiHolds(std::wstring_view utf16);

}  // namespace platform
