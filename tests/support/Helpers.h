// Small helpers shared by the test suites.
#pragma once

#include <windows.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "platform/Error.h"

namespace testing_support {

// The message of the error the call raises, or "(no error)".
inline std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const platform::Error& e) {
        return e.what();
    }
    return "(no error)";
}

// A control's rectangle in the client coordinates of `parent`.
inline RECT RectIn(HWND control, HWND parent) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// A file's bytes.
inline std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// Whether a key exists under HKEY_CURRENT_USER (path with its leading "\").
inline bool KeyExists(const std::string& path) {
    HKEY k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.substr(1).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

}  // namespace testing_support
