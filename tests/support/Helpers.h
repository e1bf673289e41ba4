// Small helpers shared by the test suites.
#pragma once

#include <windows.h>
#include <commctrl.h>

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

// A double click on a list view's row, as the mouse sends it.
inline void DoubleClickRow(HWND list, int item) {
    RECT rc{};
    rc.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&rc));
    const LPARAM at = MAKELPARAM(rc.left + 40, (rc.top + rc.bottom) / 2);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(list, WM_LBUTTONUP, 0, at);
    PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageA(list, WM_LBUTTONUP, 0, at);
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

// The Linux path of a Windows path, as Wine maps it ("" without Wine).
inline std::string UnixPath(const std::string& path) {
    using Convert = char*(CDECL*)(const wchar_t*);
    auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    if (!convert) return {};
    std::wstring wide(path.size() + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    char* unix = convert(wide.c_str());
    if (!unix) return {};
    std::string out = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

// Runs a Linux program, as Wine can, and waits for it: its exit code, or -1.
// For what only the Linux side can make: symbolic links, names that differ
// only in letter case.
inline int RunUnix(const std::string& program, const std::string& arguments) {
    std::string cmd = "start.exe /wait /unix " + program + " " + arguments;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    WaitForSingleObject(pi.hProcess, 30000);
    DWORD code = 0;
    if (!GetExitCodeProcess(pi.hProcess, &code)) code = static_cast<DWORD>(-1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

}  // namespace testing_support
