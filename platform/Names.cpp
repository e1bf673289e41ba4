#include "platform/Names.h"

#include <windows.h>

#include <algorithm>

namespace platform {

void SortNamesLocale(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(),
                              static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size())) == CSTR_LESS_THAN;
    });
}

std::string FoldedName(const std::string& name) {
    std::string folded = name;
    bool plain = true;
    for (char& c : folded) {
        if (static_cast<unsigned char>(c) >= 0x80) plain = false;
        else if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    if (!plain) CharUpperBuffA(folded.data(), static_cast<DWORD>(folded.size()));
    return folded;
}

}  // namespace platform
