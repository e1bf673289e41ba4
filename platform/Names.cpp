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

}  // namespace platform
