// A stand-in for the Agent newsreader, for demos and tests. Like Agent, it
// takes its settings from the Agent.ini in its working folder: the window
// caption is "View"/"Title" (default "Agent") and the window shows the
// working folder, the two servers and the command-line arguments.
//
// When the environment variable PELMARK_AGENT_LOG names a file, one line
// "<working folder>|<arguments>" is appended to it at start, so tests can see
// where and how it was started.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string g_body;

std::string Read(const std::string& ini, const char* section, const char* key, const char* def) {
    char buf[4096] = {};
    GetPrivateProfileStringA(section, key, def, buf, sizeof buf, ini.c_str());
    return buf;
}

// The arguments: the command line without the program path.
std::string Arguments() {
    const char* p = GetCommandLineA();
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    switch (m) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            RECT rc;
            GetClientRect(h, &rc);
            InflateRect(&rc, -10, -10);
            SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
            SetBkMode(dc, TRANSPARENT);
            DrawTextA(dc, g_body.c_str(), -1, &rc, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
            EndPaint(h, &ps);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(h, m, w, l);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int show) {
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    std::string folder = cwd;
    const std::string ini = folder + (folder.empty() || folder.back() != '\\' ? "\\" : "") + "Agent.ini";
    const std::string title = Read(ini, "View", "Title", "Agent");
    const std::string args = Arguments();

    char log[MAX_PATH] = {};
    if (GetEnvironmentVariableA("PELMARK_AGENT_LOG", log, MAX_PATH) > 0) {
        if (FILE* f = std::fopen(log, "ab")) {
            std::fprintf(f, "%s|%s\r\n", folder.c_str(), args.c_str());
            std::fclose(f);
        }
    }

    g_body = "Agent stand-in\r\n\r\nWorking folder: " + folder +
             "\r\nNews server: " + Read(ini, "Servers", "NewsServer", "") +
             "\r\nMail server: " + Read(ini, "Servers", "MailServer", "") +
             "\r\nArguments: " + (args.empty() ? "(none)" : args);

    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "AgentStandIn";
    RegisterClassA(&wc);
    HWND h = CreateWindowA("AgentStandIn", title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                           480, 220, nullptr, nullptr, inst, nullptr);
    if (!h) return 1;
    ShowWindow(h, show);
    UpdateWindow(h);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
