// Reads what a user would see of the running program, from outside it: the
// end-to-end journeys ask it for windows, controls, texts, grid rows and the
// foreground window. It gives no input: every key and click comes from the X
// server. (It only closes the stand-in Agents a journey made start.)
//
//   reader window CLASS [TITLE]   handle of a visible top-level window ("*": any)
//   reader count CLASS [TITLE]    how many such windows there are
//   reader controls HWND          every descendant: handle, class, "x y w h" on screen, visibility, text
//   reader where HWND TEXT        screen centre of the descendant whose text (without "&") or class is TEXT
//   reader text HWND [TEXT]       the text of the window, or of that descendant
//   reader rows HWND              the rows of the list view in HWND, cells tab-separated, "*" before the selected
//   reader cell HWND ROW COLUMN   screen centre of a cell of the list view HWND ("top" for ROW: the top row)
//   reader rect HWND              "x y w h" of the window on screen, and "zoomed" or "normal"
//   reader foreground             class and title of the foreground window
//   reader owner HWND             class of the window that owns HWND
//   reader close CLASS            asks every window of that class to close (the stand-in Agents a journey started)
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Asked of the window itself: the system answers GetWindowText for another
// process's window from its caption, which an edit field never changes.
std::string Text(HWND h) {
    std::string s(static_cast<size_t>(SendMessageA(h, WM_GETTEXTLENGTH, 0, 0)) + 1, '\0');
    s.resize(static_cast<size_t>(SendMessageA(h, WM_GETTEXT, s.size(), reinterpret_cast<LPARAM>(s.data()))));
    return s;
}

std::string Class(HWND h) {
    char c[256] = {};
    GetClassNameA(h, c, sizeof c);
    return c;
}

std::string Plain(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c != '&') out += c;
    }
    return out;
}

HWND Parse(const char* s) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(s, nullptr, 0))); }

struct Search {
    std::string cls, title;
    std::vector<HWND> found;
};

BOOL CALLBACK TopLevel(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    if (IsWindowVisible(w) && (s->cls == "*" || Class(w) == s->cls) && (s->title == "*" || Text(w) == s->title)) {
        s->found.push_back(w);
    }
    return TRUE;
}

BOOL CALLBACK Child(HWND w, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
    return TRUE;
}

std::vector<HWND> Descendants(HWND h) {
    std::vector<HWND> out;
    EnumChildWindows(h, &Child, reinterpret_cast<LPARAM>(&out));
    return out;
}

HWND Descendant(HWND h, const std::string& text) {
    for (HWND c : Descendants(h)) {
        if (IsWindowVisible(c) && (Plain(Text(c)) == text || Class(c) == text)) return c;
    }
    return nullptr;
}

// A cell of a list view in another process: the item record and its text
// buffer live in that process.
std::string Cell(HWND list, HANDLE process, char* remote, int item, int sub) {
    const size_t max = 4096;
    LVITEMA it{};
    it.iSubItem = sub;
    it.cchTextMax = static_cast<int>(max);
    it.pszText = remote + sizeof(LVITEMA);
    WriteProcessMemory(process, remote, &it, sizeof it, nullptr);
    const auto n = static_cast<size_t>(SendMessageA(list, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(remote)));
    std::string s(std::min(n, max), '\0');
    ReadProcessMemory(process, remote + sizeof(LVITEMA), s.data(), s.size(), nullptr);
    return s;
}

// The window itself when it is a list view, otherwise its first visible one.
HWND ListIn(HWND h) {
    if (Class(h) == "SysListView32") return h;
    for (HWND c : Descendants(h)) {
        if (Class(c) == "SysListView32" && IsWindowVisible(c)) return c;
    }
    return nullptr;
}

int Rows(HWND h) {
    HWND list = ListIn(h);
    if (!list) return 1;
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return 1;
    auto* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, 8192, MEM_COMMIT, PAGE_READWRITE));
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    for (int r = 0; r < rows; ++r) {
        const bool selected = SendMessageA(list, LVM_GETITEMSTATE, r, LVIS_SELECTED) & LVIS_SELECTED;
        std::printf("%s", selected ? "*" : "");
        for (int c = 0; c < columns; ++c) std::printf("%s%s", c ? "\t" : "", Cell(list, process, remote, r, c).c_str());
        std::printf("\n");
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string cmd = argc > 1 ? argv[1] : "";
    if ((cmd == "window" || cmd == "count") && argc >= 3) {
        Search s{argv[2], argc > 3 ? argv[3] : "*", {}};
        EnumWindows(&TopLevel, reinterpret_cast<LPARAM>(&s));
        if (cmd == "count") {
            std::printf("%zu\n", s.found.size());
            return 0;
        }
        if (s.found.empty()) return 1;
        std::printf("0x%lx\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(s.found.front())));
        return 0;
    }
    if (cmd == "controls" && argc >= 3) {
        for (HWND c : Descendants(Parse(argv[2]))) {
            RECT r;
            GetWindowRect(c, &r);
            std::printf("0x%lx\t%s\t%ld %ld %ld %ld\t%d\t%s\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(c)), Class(c).c_str(), r.left, r.top,
                        r.right - r.left, r.bottom - r.top, IsWindowVisible(c) ? 1 : 0, Text(c).c_str());
        }
        return 0;
    }
    if (cmd == "where" && argc >= 4) {
        HWND c = Descendant(Parse(argv[2]), argv[3]);
        if (!c) return 1;
        RECT r;
        GetWindowRect(c, &r);
        std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return 0;
    }
    if (cmd == "text" && argc >= 3) {
        HWND h = argc > 3 ? Descendant(Parse(argv[2]), argv[3]) : Parse(argv[2]);
        if (!h) return 1;
        std::printf("%s\n", Text(h).c_str());
        return 0;
    }
    if (cmd == "rows" && argc >= 3) return Rows(Parse(argv[2]));
    if (cmd == "rowcount" && argc >= 3) {  // cheap where reading thousands of rows across processes is not
        HWND list = ListIn(Parse(argv[2]));
        if (!list) return 1;
        std::printf("%d\n", static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)));
        return 0;
    }
    if (cmd == "cell" && argc >= 5) {
        HWND list = Parse(argv[2]);
        const int item = std::string(argv[3]) == "top" ? static_cast<int>(SendMessageA(list, LVM_GETTOPINDEX, 0, 0))
                                                        : std::atoi(argv[3]);
        DWORD pid = 0;
        GetWindowThreadProcessId(list, &pid);
        HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (!process) return 1;
        auto* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE));
        RECT r{LVIR_BOUNDS, std::atoi(argv[4]), 0, 0};
        WriteProcessMemory(process, remote, &r, sizeof r, nullptr);
        const bool ok = SendMessageA(list, LVM_GETSUBITEMRECT, item, reinterpret_cast<LPARAM>(remote)) != 0;
        ReadProcessMemory(process, remote, &r, sizeof r, nullptr);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        CloseHandle(process);
        if (!ok) return 1;
        MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&r), 2);
        std::printf("%ld %ld %d\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2, item);
        return 0;
    }
    if (cmd == "rect" && argc >= 3) {
        HWND h = Parse(argv[2]);
        RECT r;
        if (!GetWindowRect(h, &r)) return 1;
        std::printf("%ld %ld %ld %ld %s\n", r.left, r.top, r.right - r.left, r.bottom - r.top,
                    IsIconic(h) ? "iconic" : IsZoomed(h) ? "zoomed" : "normal");
        return 0;
    }
    if (cmd == "close" && argc >= 3) {
        Search s{argv[2], "*", {}};
        EnumWindows(&TopLevel, reinterpret_cast<LPARAM>(&s));
        for (HWND w : s.found) PostMessageA(w, WM_CLOSE, 0, 0);
        std::printf("%zu\n", s.found.size());
        return 0;
    }
    if (cmd == "redraw" && argc >= 3) {  // the whole window drawn again, as any uncovering would
        return RedrawWindow(Parse(argv[2]), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN)
                   ? 0
                   : 1;
    }
    if (cmd == "focus") {  // the control with the keyboard, in the foreground window's thread
        GUITHREADINFO gi{};
        gi.cbSize = sizeof gi;
        if (!GetGUIThreadInfo(0, &gi) || !gi.hwndFocus) return 1;
        std::printf("%s\t%s\n", Class(gi.hwndFocus).c_str(), Text(gi.hwndFocus).c_str());
        return 0;
    }
    if (cmd == "owner" && argc >= 3) {  // the class of the window a window belongs to
        HWND owner = GetWindow(Parse(argv[2]), GW_OWNER);
        if (!owner) return 1;
        std::printf("%s\n", Class(owner).c_str());
        return 0;
    }
    if (cmd == "foreground") {
        HWND f = GetForegroundWindow();
        std::printf("%s\t%s\n", f ? Class(f).c_str() : "", f ? Text(f).c_str() : "");
        return 0;
    }
    std::fprintf(stderr, "usage: reader window|count|controls|where|text|rows|redraw|focus|foreground ...\n");
    return 2;
}
