#include "platform/Names.h"

#include <windows.h>

#include <algorithm>

#include "platform/Text.h"

namespace platform {

void SortNamesLocale(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::wstring wa = Widened(a), wb = Widened(b);
        return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wa.c_str(), static_cast<int>(wa.size()),
                              wb.c_str(), static_cast<int>(wb.size())) == CSTR_LESS_THAN;
    });
}

namespace {
// ASCII letters folded in place; whether anything else is there.
bool FoldPlain(std::string& text) {
    bool plain = true;
    for (char& c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) plain = false;
        else if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return plain;
}
}  // namespace

std::string FoldedName(const std::string& name) {
    std::string folded = name;
    if (FoldPlain(folded)) return folded;
    std::wstring wide = Widened(name);
    CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return Narrowed(wide);
}

std::string FoldedAnsiName(const std::string& name) {
    std::string folded = name;
    if (!FoldPlain(folded)) CharUpperBuffA(folded.data(), static_cast<DWORD>(folded.size()));
    return folded;
}

}  // namespace platform
