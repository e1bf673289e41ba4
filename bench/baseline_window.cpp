// The start-up baselines: a program that only creates and shows an empty
// window of the main window's size; given a profile folder, it first reads
// the same four keys of every profile's Agent.ini through the private-profile
// service, as the profile listing must (the listing's floor).
#include <windows.h>

#include <string>

static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(h, m, w, l);
}

static void ReadProfiles(const std::string& folder) {
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    char value[256];
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || fd.cFileName[0] == '.') continue;
        const std::string ini = folder + fd.cFileName + "\\Agent.ini";
        if (GetFileAttributesA(ini.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        GetPrivateProfileStringA("Profile", "LaunchMode", "", value, sizeof value, ini.c_str());
        GetPrivateProfileStringA("View", "Title", "", value, sizeof value, ini.c_str());
        GetPrivateProfileStringA("Servers", "NewsServer", "", value, sizeof value, ini.c_str());
        GetPrivateProfileStringA("Servers", "MailServer", "", value, sizeof value, ini.c_str());
    } while (FindNextFileA(find, &fd));
    FindClose(find);
}

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR commandLine, int) {
    if (commandLine && *commandLine) ReadProfiles(commandLine);
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "PelmarkBaselineWindow";
    RegisterClassA(&wc);
    HWND h = CreateWindowA(wc.lpszClassName, "Baseline", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 193, 123, 517, 388,
                           nullptr, nullptr, inst, nullptr);
    if (!h) return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
