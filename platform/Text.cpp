#include "platform/Text.h"

#include <algorithm>

namespace platform {

namespace {
UINT codePage = 0;
WideToAnsiFunction wideToAnsi = nullptr;
}  // namespace

std::wstring Widened(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Narrowed(std::wstring_view utf16) {
    if (utf16.empty()) return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), n, nullptr, nullptr);
    return out;
}

UINT AnsiCodePage() { return codePage ? codePage : GetACP(); }

void UseAnsiCodePage(UINT cp) { codePage = cp; }

void UseWideToAnsiFunction(WideToAnsiFunction f) { wideToAnsi = f; }

namespace {

// The code page's bytes of the text, and whether they hold all of it. For
// UTF-8 (65001) the system refuses both the no-best-fit flag and the
// question whether a default was used: it holds everything.
std::string Ansi(std::wstring_view wide, bool& whole) {
    whole = true;
    if (wide.empty()) return {};
    const UINT cp = AnsiCodePage();
    const bool utf8 = cp == CP_UTF8;
    BOOL lossy = FALSE;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL* used = utf8 ? nullptr : &lossy;
    const WideToAnsiFunction convert = wideToAnsi ? wideToAnsi : &WideCharToMultiByte;
    const int n = convert(cp, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, used);
    std::string out(static_cast<size_t>(std::max(n, 0)), '\0');
    convert(cp, flags, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, used);
    whole = n > 0 && !lossy;
    return out;
}

}  // namespace

std::string ToAnsi(std::string_view utf8, bool* whole) {
    bool all = true;
    std::string out = Ansi(Widened(utf8), all);
    if (whole) *whole = all;
    return out;
}

std::string FromAnsi(std::string_view ansi) {
    if (ansi.empty()) return {};
    const UINT cp = AnsiCodePage();
    const int n = MultiByteToWideChar(cp, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(cp, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
    return Narrowed(wide);
}

bool AnsiHolds(std::wstring_view utf16) {
    bool whole = true;
    Ansi(utf16, whole);
    return whole;
}

}  // namespace platform
