// The floor of a start-up: the plainest program that does what Pelmark's start
// must. It loads the themed common controls, reads the same four keys of
// every profile's Agent.ini through the private-profile service, and shows
// them in a report list view (one that asks for its texts, as a list of
// thousands must), with six buttons beside it, in a window of the main
// window's size.
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <string>
#include <vector>

// The rows, answered on demand as a list of thousands is best shown.
static std::vector<std::array<std::string, 5>> rows;

static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_NOTIFY && reinterpret_cast<NMHDR*>(l)->code == LVN_GETDISPINFOA) {
        auto* di = reinterpret_cast<NMLVDISPINFOA*>(l);
        if ((di->item.mask & LVIF_TEXT) && di->item.iItem < static_cast<int>(rows.size())) {
            lstrcpynA(di->item.pszText, rows[di->item.iItem][di->item.iSubItem].c_str(), di->item.cchTextMax);
        }
        return 0;
    }
    if (m == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(h, m, w, l);
}

static void Fill(HWND list, const std::string& folder) {
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || fd.cFileName[0] == '.') continue;
        const std::string ini = folder + fd.cFileName + "\\Agent.ini";
        if (GetFileAttributesA(ini.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        char values[4][256];
        GetPrivateProfileStringA("Profile", "LaunchMode", "", values[0], 256, ini.c_str());
        GetPrivateProfileStringA("View", "Title", "", values[1], 256, ini.c_str());
        GetPrivateProfileStringA("Servers", "NewsServer", "", values[2], 256, ini.c_str());
        GetPrivateProfileStringA("Servers", "MailServer", "", values[3], 256, ini.c_str());
        rows.push_back({fd.cFileName, values[0], values[1], values[2], values[3]});
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    SendMessageA(list, LVM_SETITEMCOUNT, rows.size(), 0);
}

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR commandLine, int) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "PelmarkBaselineList";
    RegisterClassA(&wc);
    HWND h = CreateWindowA(wc.lpszClassName, "Baseline", WS_OVERLAPPEDWINDOW, 193, 123, 517, 388, nullptr,
                           nullptr, inst, nullptr);
    if (!h) return 1;
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT |
                                LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0, 0, 420, 350, h, nullptr, inst, nullptr);
    SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    const char* columns[] = {"Name", "Mode", "Title", "News server", "Mail server"};
    for (int c = 0; c < 5; ++c) {
        LVCOLUMNA col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.cx = 80;
        col.pszText = const_cast<char*>(columns[c]);
        SendMessageA(list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&col));
    }
    const char* buttons[] = {"Launch", "+ Add", "* Edit", "- Delete", "Refresh", "Setup"};
    for (int b = 0; b < 6; ++b) {
        HWND button = CreateWindowA("BUTTON", buttons[b], WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 425,
                                    5 + 30 * b, 80, 25, h, nullptr, inst, nullptr);
        SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    }
    if (commandLine && *commandLine) Fill(list, commandLine);
    ShowWindow(h, SW_SHOW);
    SetFocus(list);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(h, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
