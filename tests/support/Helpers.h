// Small helpers shared by the test suites.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <algorithm>

#include <vector>

#include "platform/Application.h"
#include "platform/Error.h"
#include "platform/Text.h"

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

// The information messages shown while it lives, kept here instead.
struct CapturedInformation {
    static std::vector<std::string>& Texts() {
        static std::vector<std::string> texts;
        return texts;
    }
    platform::Application::InformationShower saved = platform::Application::Instance().GetInformationShower();
    CapturedInformation() {
        Texts().clear();
        platform::Application::Instance().SetInformationShower([](const std::string& t) { Texts().push_back(t); });
    }
    ~CapturedInformation() { platform::Application::Instance().SetInformationShower(saved); }
    CapturedInformation(const CapturedInformation&) = delete;
    CapturedInformation& operator=(const CapturedInformation&) = delete;
};

// The longest text among a window's children: a message box's message.
inline std::string MessageIn(HWND box) {
    std::string longest;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        std::string text(static_cast<size_t>(GetWindowTextLengthA(c)) + 1, '\0');
        text.resize(static_cast<size_t>(GetWindowTextA(c, text.data(), static_cast<int>(text.size()))));
        if (text.size() > longest.size()) longest = text;
    }
    return longest;
}

// Where a row's text stands on screen in a column (0 the key, 1 the value):
// the left column and top row of its ink (the window text colour) within
// the cell.
inline POINT CellInk(HWND grid, int row, int column) {
    RECT cell{};
    cell.top = column;
    cell.left = column == 0 ? LVIR_LABEL : LVIR_BOUNDS;
    SendMessageA(grid, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
    MapWindowPoints(grid, nullptr, reinterpret_cast<POINT*>(&cell), 2);
    const int w = cell.right - cell.left, h = cell.bottom - cell.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, w, h, screen, cell.left, cell.top, SRCCOPY);
    POINT ink{w, h};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (GetPixel(memory, x, y) != GetSysColor(COLOR_WINDOWTEXT)) continue;
            ink.x = std::min<LONG>(ink.x, x);
            ink.y = std::min<LONG>(ink.y, y);
        }
    }
    SelectObject(memory, old);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ink;
}

inline POINT ValueInk(HWND grid, int row) { return CellInk(grid, row, 1); }

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
    std::ifstream f(std::filesystem::path(platform::Widened(path)), std::ios::binary);  // names are UTF-8
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

// Runs a Linux shell command, as Wine can start Linux programs, and waits
// until it has succeeded: true then, false when it failed or took over 10 s.
// For what only the Linux side can make: symbolic links, names that differ
// only in letter case. (Wine's "start /unix" does not wait for the program,
// so the command leaves a marker file when it is done.)
inline bool RunUnix(const std::string& command) {
    static int count = 0;
    const std::string marker = "/tmp/pelmark-unix-" + std::to_string(GetCurrentProcessId()) + "-" +
                               std::to_string(++count);
    std::string windowsMarker = "Z:" + marker;
    for (char& c : windowsMarker) {
        if (c == '/') c = '\\';
    }
    std::string cmd = "start.exe /wait /unix /bin/sh -c \"" + command + " && touch '" + marker + "'\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    for (int i = 0; i < 200 && GetFileAttributesA(windowsMarker.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
    return DeleteFileA(windowsMarker.c_str()) != FALSE;
}

// The leftmost and one past the rightmost column of a picture in `dc` with
// ink darker than mid-grey.
inline std::pair<int, int> InkColumns(HDC dc, int width, int height) {
    int left = width, right = 0;
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            const COLORREF c = GetPixel(dc, x, y);
            if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 128) {
                left = std::min(left, x);
                right = x + 1;
            }
        }
    }
    return {left, right};
}

// How a label shows its text: 1 when its picture is the text drawn with
// "&" taken as a mnemonic, 0 when drawn as written, -1 when neither (each
// compared by its dark pixels, in the label's font and width).
inline int LabelDrawsMnemonics(HWND label) {
    RECT c;
    GetClientRect(label, &c);
    HDC screen = GetDC(label);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bm = CreateCompatibleBitmap(screen, c.right, c.bottom);
    HGDIOBJ oldBm = SelectObject(dc, bm);
    auto picture = [&] {
        std::vector<bool> ink;
        for (int y = 0; y < c.bottom; ++y) {
            for (int x = 0; x < c.right; ++x) {
                const COLORREF p = GetPixel(dc, x, y);
                ink.push_back(GetRValue(p) + GetGValue(p) + GetBValue(p) < 3 * 128);
            }
        }
        return ink;
    };
    SendMessageA(label, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    const auto shown = picture();
    const std::string text(static_cast<size_t>(GetWindowTextLengthA(label)) + 1, '\0');
    GetWindowTextA(label, const_cast<char*>(text.data()), static_cast<int>(text.size()));
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    int answer = -1;
    for (auto [format, verdict] : {std::pair{UINT(0), 1}, std::pair{UINT(DT_NOPREFIX), 0}}) {
        FillRect(dc, &c, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        RECT r = c;
        DrawTextA(dc, text.c_str(), -1, &r, DT_EXPANDTABS | DT_WORDBREAK | format);
        if (picture() == shown) answer = verdict;
    }
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBm);
    DeleteObject(bm);
    DeleteDC(dc);
    ReleaseDC(label, screen);
    return answer;
}

// The GDI objects the process holds. Wine does not count them for
// GetGuiResources; there a handle's table index alone names the live object.
inline int GdiObjectCount() {
    const int counted = static_cast<int>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    if (counted > 0) return counted;
    int n = 0;
    for (UINT_PTR index = 1; index < 0x10000; ++index) n += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0;
    return n;
}

}  // namespace testing_support
