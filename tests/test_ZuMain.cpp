// The main window: its side of the single-instance protocol, its keys and
// system menu, the grid and what acts on its rows, adding, deleting (never
// through a link), Setup's effect on it, its place and its hints.
#include <gtest/gtest.h>

#include "platform/Centring.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "platform/Application.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "inieditor/ZuEditINIFile.h"
#include "platform/Handles.h"
#include "platform/Workarounds.h"
#include "profiles/ZuEditProfile.h"
#include "profiles/ZuGlobal.h"
#include "settings/KelUtility.h"
#include "settings/RegSpecial.h"
#include "settings/ZuSetup.h"
#include "shell/KelPrevInst.h"
#include "shell/KelSplash.h"
#include "shell/ZuMain.h"
#include "support/Helpers.h"
#include "support/ProfileFixture.h"
#include "support/RegistrySandbox.h"
#include "support/UiDriver.h"

using platform::Application;
using testing_support::DriverWindow;
using testing_support::UiDriver;

namespace {

class Other {
public:
    Other() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "PelmarkTestOther";
        RegisterClassA(&wc);
        hwnd = CreateWindowA("PelmarkTestOther", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 100, 200, 200,
                             nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~Other() { DestroyWindow(hwnd); }
    HWND hwnd;
};

// A key tap through the system's input, as comes before a hot key or a
// second start: a window manager lets a program take the front only right
// after the user did something.
void UserInput() {
    testing_support::KeyboardKey(VK_SHIFT);
    testing_support::PumpFor(std::chrono::milliseconds(20));
}

// Whether `w` becomes the foreground window (a window manager hands the
// focus over in its own time).
bool Foreground(HWND w) {
    return testing_support::PumpUntil([w] { return GetForegroundWindow() == w; });
}

// The main window's dialogs, each replaced by a recorder while one is set.
struct TestDialogs : shell::MainDialogs {
    std::function<void(const profiles::ProfileEntry*)> edit;
    std::function<bool()> setup;
    std::function<void()> about;
    void EditProfile(HWND owner, const profiles::ProfileEntry* e) override {
        edit ? edit(e) : MainDialogs::EditProfile(owner, e);
    }
    bool Setup(HWND owner) override { return setup ? setup() : MainDialogs::Setup(owner); }
    void About(HWND owner) override { about ? about() : MainDialogs::About(owner); }
};

struct MainSession {
    testing_support::RegistrySandbox registry;
    TestDialogs dialogs;
    shell::TFrmZuMain main{&dialogs};
    MainSession() {
        main.Create();
        shell::HideSplash("Pelmark");
        main.Show();
        testing_support::PumpFor(std::chrono::milliseconds(50));
    }
    ~MainSession() { Application::Instance().ResetTerminated(); }
};

}  // namespace

namespace {
// The message filter's calls, as made.
std::vector<std::pair<HWND, UINT>> allowed;
BOOL WINAPI AllowForWindow(HWND w, UINT msg, DWORD action, PCHANGEFILTERSTRUCT) {
    if (action == MSGFLT_ALLOW) allowed.emplace_back(w, msg);
    return TRUE;
}
BOOL WINAPI AllowForProcess(UINT msg, DWORD action) {
    if (action == MSGFLT_ADD) allowed.emplace_back(nullptr, msg);
    return TRUE;
}
}  // namespace

TEST(ZuMain, AnswersTheProtocolAndCarriesItsCaption) {
    // An elevated copy lets a normal second start's three messages through.
    const shell::MessageFilterCalls system = shell::MessageFilter;
    shell::MessageFilter = {&AllowForWindow, &AllowForProcess};
    allowed.clear();
    MainSession s;
    HWND h = s.main.Handle();
    const UINT protocol[] = {shell::MsgAppGetID(), shell::MsgAppRestore(), shell::MsgAppPrevInstParm()};
    EXPECT_EQ(allowed, (std::vector<std::pair<HWND, UINT>>{{h, protocol[0]}, {h, protocol[1]}, {h, protocol[2]}}));
    shell::MessageFilter.perWindow = nullptr;  // Vista: for the whole process
    allowed.clear();
    shell::LetProtocolMessagesThrough(h);
    shell::MessageFilter = system;
    EXPECT_EQ(allowed, (std::vector<std::pair<HWND, UINT>>{{nullptr, protocol[0]}, {nullptr, protocol[1]},
                                                            {nullptr, protocol[2]}}));
    char cls[64] = {};
    GetClassNameA(h, cls, sizeof cls);
    EXPECT_STREQ(cls, "TFrmZuMain");
    char caption[64] = {};
    GetWindowTextA(h, caption, sizeof caption);
    EXPECT_STREQ(caption, "Pelmark");
    EXPECT_EQ(SendMessageA(h, shell::MsgAppGetID(), 0, 0), 123470);
    EXPECT_EQ(SendMessageA(h, shell::MsgAppPrevInstParm(), 0, 0), 0);  // not acted on
    EXPECT_EQ(shell::FindRunningCopy(shell::kMainClassName, shell::kAppID), h);
    EXPECT_TRUE(GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
    EXPECT_TRUE(GetWindowLongA(h, GWL_STYLE) & WS_THICKFRAME);
    EXPECT_FALSE(GetWindowLongA(h, GWL_STYLE) & WS_MAXIMIZEBOX);
    // Under Wine the window manager's minimise must reach the window.
    EXPECT_EQ((GetWindowLongA(h, GWL_STYLE) & WS_MINIMIZEBOX) != 0, platform::Needed().managerMinimisesAnyWindow);
}

TEST(ZuMain, RestoreRequestRestoresOrBringsTheLastActiveWindowForward) {
    MainSession s;
    HWND h = s.main.Handle();
    ShowWindow(h, SW_MINIMIZE);
    ASSERT_TRUE(testing_support::PumpUntil([&] { return IsIconic(h) != FALSE; }));
    PostMessageA(h, shell::MsgAppRestore(), 0, 0);
    EXPECT_TRUE(testing_support::PumpUntil([&] { return !IsIconic(h); }));

    Other other;
    SetForegroundWindow(other.hwnd);
    ASSERT_TRUE(Foreground(other.hwnd));
    UserInput();
    PostMessageA(h, shell::MsgAppRestore(), 0, 0);
    EXPECT_TRUE(Foreground(h));

    // With a modal dialog open over it, the dialog is what comes forward.
    platform::FormDef d;
    d.windowClass = "TFrmTestDialog";
    d.name = "FrmTestDialog";
    d.caption = "Dialog";
    d.place = {250, 200, 200, 120};
    platform::Form dialog(d, h);
    UiDriver driver;
    driver.Then([&](DriverWindow& w) {
        SetForegroundWindow(other.hwnd);
        EXPECT_TRUE(Foreground(other.hwnd));
        UserInput();
        PostMessageA(h, shell::MsgAppRestore(), 0, 0);
        EXPECT_TRUE(Foreground(w.Handle()));
        w.CloseFrame();
    });
    EXPECT_EQ(driver.Run([&] { return dialog.ShowModal(); }), platform::mrCancel);
}

TEST(ZuMain, EscapeWithoutModifiersEndsTheProgram) {
    MainSession s;
    Application& app = Application::Instance();
    DriverWindow w(s.main.Handle());
    w.Key(VK_ESCAPE, platform::ssShift);
    EXPECT_FALSE(app.Terminated());
    w.Key(VK_ESCAPE, platform::ssCtrl);
    EXPECT_FALSE(app.Terminated());
    w.Key(VK_ESCAPE);
    EXPECT_TRUE(app.Terminated());
}

TEST(ZuMain, ClosingTheFrameEndsTheProgram) {
    MainSession s;
    PostMessageA(s.main.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    testing_support::PumpFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(Application::Instance().Terminated());
}


namespace {

using testing_support::ProfileFixture;

std::vector<std::string> Column(const shell::TFrmZuMain& m, int c) {
    std::vector<std::string> out;
    for (int r = 1; r < m.RowCount(); ++r) out.push_back(m.Cell(c, r));
    return out;
}

COLORREF CellPixel(shell::TFrmZuMain& m, int row, bool nearRight) {
    HWND grid = m.Control("StringGridProfiles");
    RedrawWindow(grid, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT rc{};
    rc.left = LVIR_BOUNDS;
    SendMessageA(grid, LVM_GETITEMRECT, row - 1, reinterpret_cast<LPARAM>(&rc));
    const int x = nearRight ? rc.left + m.ColumnWidth(0) - 4 : rc.left + m.ColumnWidth(0) / 2;
    const int y = nearRight ? rc.bottom - 4 : (rc.top + rc.bottom) / 2;
    HDC dc = GetDC(grid);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(grid, dc);
    return c;
}

}  // namespace

TEST(MainGrid, ShowsTheProfilesInOrderWithTheirFields) {
    ProfileFixture p;
    p.Profile("gamma", "G title", "news.g", "mail.g", 0);
    p.Profile("Alpha", "", "news.a", "", 1);
    p.Profile("beta", "[Servers]\r\nNewsServer=news.b\r\n");
    p.dir.MakeFolder("Profiles\\not a profile");
    MainSession s;
    auto& m = s.main;
    EXPECT_EQ(m.RowCount(), 4);
    EXPECT_EQ(Column(m, 1), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
    EXPECT_EQ(Column(m, 0), (std::vector<std::string>{"1", "0", "0"}));
    EXPECT_EQ(Column(m, 2), (std::vector<std::string>{"", "Agent", "G title"}));
    EXPECT_EQ(Column(m, 3), (std::vector<std::string>{"news.a", "news.b", "news.g"}));
    EXPECT_EQ(Column(m, 4), (std::vector<std::string>{"", "", "mail.g"}));
    EXPECT_EQ(m.CurrentRow(), 1);
    HWND grid = m.Control("StringGridProfiles");
    char text[32] = {};
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT;
    col.pszText = text;
    col.cchTextMax = sizeof text;
    const char* headers[] = {"", "Name", "Title", "NNTP server", "SMTP server"};
    for (int c = 0; c < 5; ++c) {
        SendMessageA(grid, LVM_GETCOLUMNA, c, reinterpret_cast<LPARAM>(&col));
        EXPECT_STREQ(text, headers[c]);
    }
    EXPECT_LT(m.ColumnWidth(0), m.ColumnWidth(1));  // a digit's width and margins
    EXPECT_GT(m.ColumnWidth(3), m.ColumnWidth(1));
    EXPECT_TRUE(ListView_GetExtendedListViewStyle(grid) & LVS_EX_FULLROWSELECT);
    EXPECT_TRUE(ListView_GetExtendedListViewStyle(grid) & LVS_EX_GRIDLINES);
}

TEST(MainGrid, ColoursTheFirstColumnByLaunchMode) {
    ProfileFixture p;
    settings::Settings.ColorLaunchStay = 0x000000FF;   // red
    settings::Settings.ColorLaunchClose = 0x00FF0000;  // blue
    p.Profile("Closes", "t", "n", "m", 1);
    p.Profile("Stays", "t", "n", "m", 0);
    p.Profile("Zed", "[Profile]\r\nLaunchMode=7\r\n");
    MainSession s;
    s.main.SetCurrentRow(1);
    EXPECT_EQ(CellPixel(s.main, 2, false), RGB(255, 0, 0));
    EXPECT_EQ(CellPixel(s.main, 3, false), RGB(0, 0, 255));
    EXPECT_EQ(CellPixel(s.main, 1, true), RGB(0, 0, 255));  // beside the selection marker
    // The marker, at the middle of the cell's left part: the window-text
    // colour where it stands out, else black or white. Black on this blue
    // does not (as in high-contrast themes): white does.
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(0, 0, 0));
    EXPECT_EQ(CellPixel(s.main, 1, false), RGB(255, 255, 255));
    settings::Settings.ColorLaunchClose = 0x0000FFFF;  // yellow
    s.main.FillProfileGrid();
    EXPECT_EQ(CellPixel(s.main, 1, false), RGB(0, 0, 0));
}

TEST(MainGrid, AnEmptyGridHasOneEmptyRowInTheStayColour) {
    ProfileFixture p;
    settings::Settings.ColorLaunchStay = 0x0000FF00;
    MainSession s;
    EXPECT_EQ(s.main.RowCount(), 2);
    for (int c = 0; c < 5; ++c) EXPECT_EQ(s.main.Cell(c, 1), "");
    EXPECT_EQ(CellPixel(s.main, 1, true), RGB(0, 255, 0));
    // Below its empty row, the grid says what to do next; not beside a profile.
    auto hinted = [&] {
        HWND grid = s.main.Control("StringGridProfiles");
        RedrawWindow(grid, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        RECT row{}, client;
        row.left = LVIR_BOUNDS;
        SendMessageA(grid, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
        GetClientRect(grid, &client);
        HDC dc = GetDC(grid);
        int ink = 0;
        for (int y = row.bottom; y < std::min<LONG>(client.bottom, row.bottom + 40); ++y) {
            for (int x = 0; x < client.right; x += 2) ink += GetPixel(dc, x, y) == GetSysColor(COLOR_GRAYTEXT);
        }
        ReleaseDC(grid, dc);
        return ink > 20;
    };
    EXPECT_TRUE(hinted());
    p.Profile("One", "t", "n", "m", 0);
    s.main.FillProfileGrid();
    EXPECT_FALSE(hinted());
    settings::Settings.ProfileFolder = p.folder + "missing\\";
    s.main.FillProfileGrid();
    EXPECT_EQ(s.main.RowCount(), 2);
    EXPECT_TRUE(hinted());
}

bool gBusyWhileFilled = false;
LRESULT CALLBACK WatchBusyFill(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (msg == LVM_SETITEMCOUNT) gBusyWhileFilled = Application::Instance().Busy();
    return DefSubclassProc(w, msg, wp, lp);
}

TEST(MainGrid, RefreshKeepsTheRowNumberOrTakesTheLast) {
    ProfileFixture p;
    for (const char* n : {"a1", "a2", "a3", "a4", "a5"}) p.Profile(n, "t", "n", "m", 0);
    MainSession s;
    s.main.SetCurrentRow(5);
    for (const char* n : {"a2", "a4"}) {
        const std::string dir = p.folder + n;
        DeleteFileA((dir + "\\Agent.ini").c_str());
        RemoveDirectoryA(dir.c_str());
    }
    s.main.BitBtnRefreshClick();
    EXPECT_EQ(s.main.RowCount(), 4);
    EXPECT_EQ(s.main.CurrentRow(), 3);
    s.main.SetCurrentRow(2);
    p.Profile("a0", "t", "n", "m", 0);
    s.main.BitBtnRefreshClick();
    EXPECT_EQ(s.main.CurrentRow(), 2);  // the same row number, now another profile
    EXPECT_EQ(s.main.Cell(1, 2), "a1");
    // The disk is read under the hourglass, which goes again afterwards.
    gBusyWhileFilled = false;
    HWND grid = s.main.Control("StringGridProfiles");
    SetWindowSubclass(grid, &WatchBusyFill, 7, 0);
    s.main.BitBtnRefreshClick();
    RemoveWindowSubclass(grid, &WatchBusyFill, 7);
    EXPECT_TRUE(gBusyWhileFilled);
    EXPECT_FALSE(Application::Instance().Busy());
}

TEST(MainWindow, ButtonsTakeThePathsTheirChecksChoose) {
    ProfileFixture p;
    settings::Settings.AgentFolder = "C:\\Agent\\";
    MainSession s;
    std::vector<std::string> calls;
    s.dialogs.edit = [&](const profiles::ProfileEntry* e) { calls.push_back(e ? "edit " + e->Name : "add"); };
    s.dialogs.setup = [&] {
        calls.push_back("setup");
        return false;
    };
    DriverWindow w(s.main.Handle());
    w.Press("BitBtnEdit");  // an empty grid: Edit adds
    settings::Settings.DefaultIniPath.clear();
    // A path missing: setup first, and why, once.
    std::vector<std::string> said;
    UiDriver d;
    d.Then([&](DriverWindow& box) {
        said.push_back(box.Text("Message"));
        box.Press("OK");
    });
    d.Run([&] {
        w.Press("BitBtnAdd");
        w.Press("BitBtnAdd");
    });
    EXPECT_EQ(said, std::vector<std::string>{"Agent was not found where it is usually installed. Before the first "
                                             "profile, fill in Setup: Default ini file."});
    p.Profile("One", "t", "n", "m", 0);
    settings::Settings.DefaultIniPath = "C:\\Agent\\Agent.ini";
    w.Press("BitBtnRefresh");
    w.Press("BitBtnEdit");
    EXPECT_EQ(calls, (std::vector<std::string>{"add", "setup", "setup", "edit One"}));
    EXPECT_EQ(GetFocus(), s.main.Control("StringGridProfiles"));
}

TEST(MainWindow, CancelledSetupLeavesTheGridConfirmedSetupRefillsIt) {
    ProfileFixture p;
    p.Profile("One", "t", "n", "m", 0);
    MainSession s;
    bool confirm = false;
    s.dialogs.setup = [&] { return confirm; };
    p.Profile("Two", "t", "n", "m", 0);
    s.main.BitBtnSetupClick();
    EXPECT_EQ(s.main.RowCount(), 2);
    confirm = true;
    s.main.BitBtnSetupClick();
    EXPECT_EQ(s.main.RowCount(), 3);
}

TEST(MainWindow, HotKeyFollowsTheConfirmedSetup) {
    ProfileFixture p;
    settings::Settings.AppHotKey = 0x4000 | 0x2000 | 'K';  // Ctrl+Shift+K
    MainSession s;
    Other probe;
    auto taken = [&](UINT mods, UINT key) {
        if (RegisterHotKey(probe.hwnd, 77, mods, key)) {
            UnregisterHotKey(probe.hwnd, 77);
            return false;
        }
        return true;
    };
    EXPECT_TRUE(taken(MOD_CONTROL | MOD_SHIFT, 'K'));
    s.dialogs.setup = [] {
        settings::Settings.AppHotKey = 0x8000 | 'J';  // Alt+J
        return true;
    };
    s.main.BitBtnSetupClick();
    EXPECT_FALSE(taken(MOD_CONTROL | MOD_SHIFT, 'K'));
    EXPECT_TRUE(taken(MOD_ALT, 'J'));

    // The hot key brings the program forward, without restoring it.
    SetForegroundWindow(probe.hwnd);
    ASSERT_TRUE(Foreground(probe.hwnd));
    UserInput();
    PostMessageA(s.main.Handle(), WM_HOTKEY, s.main.HotKeyID(), 0);
    EXPECT_TRUE(Foreground(s.main.Handle()));

    UINT mods = 0, key = 0;
    shell::HotKeyParts(0xE000 | VK_F5, mods, key);
    EXPECT_EQ(mods, UINT(MOD_CONTROL | MOD_SHIFT | MOD_ALT));
    EXPECT_EQ(key, UINT(VK_F5));
    shell::HotKeyParts(0, mods, key);
    EXPECT_EQ(mods | key, 0u);
}

TEST(MainWindow, HintToggleIsStoredAtOnce) {
    ProfileFixture p;
    MainSession s;
    const bool before = settings::Settings.ShowHint;
    DriverWindow w(s.main.Handle());
    w.Key(VK_F1, platform::ssCtrl);
    EXPECT_EQ(settings::Settings.ShowHint, !before);
    EXPECT_EQ(platform::Application::Instance().ShowHint(), !before);
    EXPECT_EQ(settings::ReadRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "ShowHint", before), !before);
    SendMessageA(s.main.Handle(), WM_SYSCOMMAND, 667, 0);
    EXPECT_EQ(settings::ReadRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "ShowHint", !before), before);
    platform::Application::Instance().SetShowHint(before);
}

TEST(MainWindow, SystemMenuHasTheThreeCommands) {
    ProfileFixture p;
    MainSession s;
    HMENU sys = GetSystemMenu(s.main.Handle(), FALSE);
    const int n = GetMenuItemCount(sys);
    ASSERT_GE(n, 3);
    const char* texts[] = {"&About ...\tShift+F1", "&Toggle hints\tCtrl+F1", "C&lear registry ..."};
    for (int i = 0; i < 3; ++i) {
        char buf[64] = {};
        GetMenuStringA(sys, n - 3 + i, buf, sizeof buf, MF_BYPOSITION);
        EXPECT_STREQ(buf, texts[i]);
        EXPECT_EQ(GetMenuItemID(sys, n - 3 + i), UINT(666 + i));
    }
    int about = 0;
    s.dialogs.about = [&] { ++about; };
    SendMessageA(s.main.Handle(), WM_SYSCOMMAND, 666, 0);
    DriverWindow(s.main.Handle()).Key(VK_F1, platform::ssShift);
    EXPECT_EQ(about, 2);
    UiDriver d;
    d.Then([](DriverWindow& w) {
        EXPECT_EQ(w.Title(), "Confirm");
        w.Press("Cancel");
    });
    d.Run([&] { SendMessageA(s.main.Handle(), WM_SYSCOMMAND, 668, 0); });
}

TEST(MainWindow, HelpOnTheGridShowsThePanelsHint) {
    ProfileFixture p;
    MainSession s;
    std::string text, title;
    UiDriver d;
    d.Then([&](DriverWindow& w) {
        title = w.Title();
        text = w.Text("Message");
        w.Press("OK");
    });
    d.Run([&] { DriverWindow(s.main.Handle()).Key(VK_F1); });
    EXPECT_EQ(title, "Information");
    EXPECT_EQ(text,
              "The Agent profiles that you have, double click/enter to launch (If Ctrl is pressed it reverses the "
              "\"Close Valdrix on launch\" setting).");
}

TEST(MainWindow, TheHelpButtonsRequestShowsTheHintOfTheClickedControl) {
    ProfileFixture p;
    MainSession s;
    std::string text;
    UiDriver d;
    d.Then([&](DriverWindow& w) {
        text = w.Text("Message");
        w.Press("OK");
    });
    // What the platform sends after "?" and a click on the Refresh button.
    HELPINFO hi{};
    hi.cbSize = sizeof hi;
    hi.iContextType = HELPINFO_WINDOW;
    hi.hItemHandle = s.main.Control("BitBtnRefresh");
    hi.iCtrlId = GetDlgCtrlID(s.main.Control("BitBtnRefresh"));
    hi.dwContextId = 6;
    d.Run([&] { SendMessageA(s.main.Handle(), WM_HELP, 0, reinterpret_cast<LPARAM>(&hi)); });
    EXPECT_EQ(text, "Refresh the list of profiles");
}

TEST(MainWindow, PlacementIsRestoredAndSavedUnderItsName) {
    testing_support::RegistrySandbox registry;
    ProfileFixture p;
    settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuMain.Left", int32_t(40));
    settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuMain.Width", int32_t(600));
    settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuMain.Height", int32_t(100));
    {
        shell::TFrmZuMain m;
        m.Create();
        RECT rc;
        GetWindowRect(m.Handle(), &rc);
        EXPECT_EQ(rc.left, 40);
        EXPECT_EQ(rc.top, 123);                  // -2: as designed
        EXPECT_EQ(rc.right - rc.left, 600);
        EXPECT_EQ(rc.bottom - rc.top, 156);      // the minimum height still holds
        SetWindowPos(m.Handle(), nullptr, 70, 80, 520, 400, SWP_NOZORDER);
    }
    EXPECT_EQ(settings::ReadRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuMain.Left", int32_t(0)), 70);
    EXPECT_EQ(settings::ReadRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuMain.Height", int32_t(0)), 400);
    EXPECT_EQ(settings::ReadRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuMain.WindowState", int32_t(9)), 0);
    // Stored on a screen of 144 DPI, reopened on one of 96: two thirds in
    // both directions, and stored again at the DPI it now has.
    settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuMain.Width", int32_t(900));
    settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuMain.Height", int32_t(600));
    settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuMain.PixelsPerInch", int32_t(144));
    {
        shell::TFrmZuMain m;
        m.Create();
        ASSERT_EQ(m.Dpi(), 96);
        RECT rc;
        GetWindowRect(m.Handle(), &rc);
        EXPECT_EQ(rc.right - rc.left, 600);
        EXPECT_EQ(rc.bottom - rc.top, 400);
    }
    EXPECT_EQ(settings::ReadRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuMain.PixelsPerInch", int32_t(0)), 96);
}

namespace {

// The desktop's trash, where Wine's recycle bin puts what it is given: the
// test run's own ("$XDG_DATA_HOME/Trash/files"), as a Windows path.
std::string TrashFolder() {
    char data[MAX_PATH] = {};
    GetEnvironmentVariableA("XDG_DATA_HOME", data, MAX_PATH);
    std::string h = std::string("Z:") + data;
    for (char& c : h) {
        if (c == '/') c = '\\';
    }
    return h + "\\Trash\\files\\";
}

SHFILEOPSTRUCTW gRecorded;
std::string gRecordedFrom;
int gRecordedReturn = 0;
BOOL gRecordedAbort = FALSE;
bool gRecordedRemoves = true;  // a success takes the folder away, as the shell's own does
// Records the shell call instead of making it, while alive.
struct ShellRecorder : profiles::ShellFileOperation {
    ShellRecorder() { profiles::UseShellFileOperation(this); }
    ~ShellRecorder() override { profiles::UseShellFileOperation(nullptr); }
    int Run(SHFILEOPSTRUCTW& op) override {
        gRecorded = op;
        // The name and the empty name after it.
        gRecordedFrom = platform::Narrowed(std::wstring_view(op.pFrom, wcslen(op.pFrom) + 2));
        op.fAnyOperationsAborted = gRecordedAbort;
        if (gRecordedRemoves && gRecordedReturn == 0 && !gRecordedAbort) {
            testing_support::RemoveFolder(platform::Narrowed(op.pFrom));
        }
        return gRecordedReturn;
    }
};

}  // namespace

TEST(DeleteProfile, AsksFirstAndNoKeepsEverything) {
    ProfileFixture p;
    p.Profile("Keep me", "t", "n", "m", 0);
    MainSession s;
    p.Profile("Later", "t", "n", "m", 0);  // on disk, not yet listed
    std::string text;
    UiDriver d;
    d.Then([&](DriverWindow& w) {
        EXPECT_EQ(w.Title(), "Confirm");
        text = w.Text("Message");
        w.Press("No");
    });
    d.Run([&] { DriverWindow(s.main.Handle()).Press("BitBtnDelete"); });
    EXPECT_EQ(text,
              "Are you sure that you want to delete the profile \"Keep me\" ?\r\rNOTE:\rThe profile will not be able "
              "to be restored,\rbut it will be transfered to your recycle bin !\rBe sure to exit any program that is "
              "monitoring/using the profiles folder,\rbefore answering this question.");
    EXPECT_TRUE(platform::DirectoryExists(p.folder + "Keep me"));
    EXPECT_EQ(s.main.RowCount(), 2);  // no refresh
    // A name's "&" is shown as written.
    p.Profile("a&b", "t", "n", "m", 0);
    s.main.BitBtnRefreshClick();
    s.main.SetCurrentRow(1);
    ASSERT_EQ(s.main.Cell(1, 1), "a&b");
    int mnemonics = -2;
    UiDriver named;
    named.Then([&](DriverWindow& w) {
        text = w.Text("Message");
        mnemonics = testing_support::LabelDrawsMnemonics(w.Control("Message"));
        w.Press("No");
    });
    named.Run([&] { DriverWindow(s.main.Handle()).Press("BitBtnDelete"); });
    EXPECT_EQ(text.substr(0, 55), "Are you sure that you want to delete the profile \"a&&b\"");
    EXPECT_EQ(mnemonics, 1);
}

TEST(DeleteProfile, YesMovesTheWholeFolderToTheTrashAndRefreshes) {
    ProfileFixture p;
    const std::string name = "Trashed " + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
    p.Profile("A first", "t", "n", "m", 0);
    p.Profile(name, "t", "n", "m", 0);
    p.dir.MakeFile("Profiles\\" + name + "\\data.txt", "agent data");
    MainSession s;
    s.main.SetCurrentRow(2);  // the last row
    UiDriver d;
    d.Then([](DriverWindow& w) { w.Press("Yes"); });
    d.Run([&] { DriverWindow(s.main.Handle()).Press("BitBtnDelete"); });
    EXPECT_FALSE(platform::DirectoryExists(p.folder + name));
    EXPECT_EQ(s.main.RowCount(), 2);
    EXPECT_EQ(s.main.CurrentRow(), 1);  // the last row that is left
    const std::string trashed = TrashFolder() + name;
    EXPECT_TRUE(platform::FileExists(trashed + "\\Agent.ini")) << trashed;
    std::ifstream f(trashed + "\\data.txt");
    std::string content((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "agent data");
    f.close();
    // Leave the trash as it was.
    testing_support::RemoveFolder(trashed);
    const std::string info = TrashFolder() + "..\\info\\" + name + ".trashinfo";
    DeleteFileA(info.c_str());
}

TEST(DeleteProfile, AFolderGoneBehindTheProgramsBackIsReportedAndDropped) {
    ProfileFixture p;
    p.Profile("Gone", "t", "n", "m", 0);
    p.Profile("Stays", "t", "n", "m", 0);
    MainSession s;
    DeleteFileA((p.folder + "Gone\\Agent.ini").c_str());
    RemoveDirectoryA((p.folder + "Gone").c_str());
    std::string title, text;
    UiDriver d;
    d.Then([](DriverWindow& w) { w.Press("Yes"); })
        .Then([&](DriverWindow& w) {
            title = w.Title();
            text = w.Text("Message");
            EXPECT_NE(w.Control("OK"), nullptr);
            w.Press("OK");
        });
    d.Run([&] { DriverWindow(s.main.Handle()).Press("BitBtnDelete"); });
    EXPECT_EQ(title, "Error");
    EXPECT_EQ(text,
              "The system was unable to delete the \"Gone\" profile. !\rYou may need to manually delete the files "
              "yourself.");
    EXPECT_EQ(s.main.RowCount(), 2);
    EXPECT_EQ(s.main.Cell(1, 1), "Stays");
}

TEST(DeleteProfile, TheShellIsAskedForTheRecycleBinAndAWarningBeforeAnyPermanentDelete) {
    ProfileFixture p;
    const std::string folder = p.dir.MakeFolder("Victim");
    auto recorder = std::make_unique<ShellRecorder>();
    gRecordedReturn = 0;
    gRecordedAbort = FALSE;
    EXPECT_TRUE(profiles::DeleteFolder(folder));  // with its trailing backslash
    EXPECT_FALSE(platform::DirectoryExists(folder));
    ASSERT_EQ(p.dir.MakeFolder("Victim"), folder);
    EXPECT_EQ(gRecorded.wFunc, UINT(FO_DELETE));
    EXPECT_EQ(gRecorded.fFlags, FILEOP_FLAGS(FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_WANTNUKEWARNING));
    EXPECT_EQ(gRecorded.hwnd, nullptr);
    EXPECT_EQ(gRecorded.pTo, nullptr);
    EXPECT_EQ(gRecordedFrom, folder.substr(0, folder.size() - 1) + std::string("\0\0", 2));
    gRecordedAbort = TRUE;  // the user said No to a permanent delete
    EXPECT_FALSE(profiles::DeleteFolder(folder));
    gRecordedAbort = FALSE;
    gRecordedReturn = 0x78;
    EXPECT_FALSE(profiles::DeleteFolder(folder));
    // Success said, but a file in use was skipped and the folder is still there.
    gRecordedReturn = 0;
    gRecordedRemoves = false;
    EXPECT_FALSE(profiles::DeleteFolder(folder));
    gRecordedRemoves = true;
    recorder.reset();
    EXPECT_FALSE(profiles::DeleteFolder(p.folder + "nothing here"));
    // Asked from the main window, the shell's questions belong to it.
    p.Profile("Asked", "t", "n", "m", 0);
    MainSession s;
    recorder = std::make_unique<ShellRecorder>();
    UiDriver d;
    d.Then([](DriverWindow& w) { w.Press("Yes"); });
    d.Run([&] { DriverWindow(s.main.Handle()).Press("BitBtnDelete"); });
    recorder.reset();
    EXPECT_EQ(gRecordedFrom, p.folder + "Asked" + std::string("\0\0", 2));
    EXPECT_EQ(gRecorded.hwnd, s.main.Handle());
}

TEST(DeleteProfile, AnEmptyGridDeletesNothingAndAsksNothing) {
    ProfileFixture p;
    p.dir.MakeFolder("Profiles\\Not a profile");
    p.dir.MakeFile("Profiles\\Not a profile\\data.txt", "kept");  // lists nothing
    MainSession s;
    gRecorded = {};
    {
        ShellRecorder recorder;
        DriverWindow(s.main.Handle()).Press("BitBtnDelete");  // a question would time out the test
        testing_support::PumpFor(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(gRecorded.wFunc, 0u) << "the shell was asked to delete something";
    EXPECT_TRUE(platform::FileExists(p.folder + "Not a profile\\data.txt"));
    EXPECT_EQ(GetFocus(), s.main.Control("StringGridProfiles"));
}

TEST(MainWindow, AddingSeveralProfilesRefreshesOnceTheEditorCloses) {
    ProfileFixture p;
    settings::Settings.AgentFolder = "C:\\Agent\\";
    MainSession s;
    int rowsWhileOpen = -1;
    UiDriver d;
    d.Then([&](DriverWindow& w) {
        EXPECT_EQ(w.Title(), "Edit profile");
        for (const char* name : {"One", "Two"}) {
            SetWindowTextA(w.Control("EditName"), name);
            SetWindowTextA(w.Control("EditNNTPServer"), "news");
            w.Press("BitBtnSaveNew");
        }
        rowsWhileOpen = s.main.RowCount();
        w.Press("BitBtnCancel");
    });
    d.Run([&] { DriverWindow(s.main.Handle()).Press("BitBtnAdd"); });
    EXPECT_EQ(rowsWhileOpen, 2);  // the grid waits for the editor to close
    EXPECT_EQ(s.main.RowCount(), 3);
    EXPECT_EQ(s.main.Cell(1, 1), "One");
    EXPECT_EQ(s.main.Cell(1, 2), "Two");
}

TEST(MainWindow, ConfirmedSetupRefillsFromTheNewFolderAndRegistersTheNewHotKey) {
    ProfileFixture p;
    const std::string newFolder = p.dir.MakeFolder("Elsewhere");
    p.dir.MakeFolder("Elsewhere\\Found");
    p.dir.MakeFile("Elsewhere\\Found\\Agent.ini", "[View]\r\nTitle=t\r\n");
    MainSession s;
    Other probe;
    UiDriver d;
    d.Then([&](DriverWindow& w) {
        // Cancel first: nothing changes.
        SetWindowTextA(w.Control("EditProfileFolder"), newFolder.c_str());
        w.Press("BitBtnCancel");
    });
    d.Run([&] { DriverWindow(s.main.Handle()).Press("BitBtnSetup"); });
    EXPECT_EQ(s.main.RowCount(), 2);
    EXPECT_EQ(s.main.Cell(1, 1), "");
    UiDriver d2;
    d2.Then([&](DriverWindow& w) {
        SetWindowTextA(w.Control("EditProfileFolder"), newFolder.c_str());
        SendMessageA(w.Control("HotKeyAppHotKey"), HKM_SETHOTKEY, MAKEWORD('J', HOTKEYF_ALT), 0);
        w.Press("BitBtnOk");
    });
    d2.Run([&] { DriverWindow(s.main.Handle()).Press("BitBtnSetup"); });
    EXPECT_EQ(s.main.Cell(1, 1), "Found");
    EXPECT_EQ(settings::Settings.AppHotKey, 0x8000 | 'J');
    EXPECT_FALSE(RegisterHotKey(probe.hwnd, 78, MOD_ALT, 'J'));  // held by Pelmark now
}

TEST(Placement, TheMainWindowClosedMaximisedKeepsItsNormalBounds) {
    ProfileFixture p;
    testing_support::RegistrySandbox registry;
    const HKEY cu = HKEY_CURRENT_USER;
    settings::WriteRegValue(cu, settings::SettingsKey, "FrmZuMain.Left", int32_t(-2));
    settings::WriteRegValue(cu, settings::SettingsKey, "FrmZuMain.Top", int32_t(77));
    settings::WriteRegValue(cu, settings::SettingsKey, "FrmZuMain.Width", int32_t(-5));  // ignored
    settings::WriteRegValue(cu, settings::SettingsKey, "FrmZuMain.Height", int32_t(300));
    {
        shell::TFrmZuMain m;
        m.Create();
        RECT rc;
        GetWindowRect(m.Handle(), &rc);
        EXPECT_EQ(rc.left, 193);  // -2: as designed
        EXPECT_EQ(rc.top, 77);
        EXPECT_EQ(rc.right - rc.left, 517);
        EXPECT_EQ(rc.bottom - rc.top, 300);
        m.Show();
        ShowWindow(m.Handle(), SW_MAXIMIZE);
        testing_support::PumpFor(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(settings::ReadRegValue(cu, settings::SettingsKey, "FrmZuMain.WindowState", int32_t(0)), 2);
    EXPECT_EQ(settings::ReadRegValue(cu, settings::SettingsKey, "FrmZuMain.Top", int32_t(0)), 77);
    EXPECT_EQ(settings::ReadRegValue(cu, settings::SettingsKey, "FrmZuMain.Width", int32_t(0)), -5);
    {
        shell::TFrmZuMain m;  // and reopens maximised
        m.Create();
        m.Show();
        testing_support::PumpFor(std::chrono::milliseconds(50));
        EXPECT_TRUE(IsZoomed(m.Handle()));
    }
    Application::Instance().ResetTerminated();
}

// Every value the program stores, given the wrong type by hand: each is
// reported once, nothing stops a window from opening, and the defaults serve.
TEST(Placement, EveryStoredValueOfTheWrongTypeIsReportedOnceAndItsDefaultServes) {
    ProfileFixture p;
    p.Profile("One", "t", "n", "m", 0);
    testing_support::RegistrySandbox registry;
    const HKEY cu = HKEY_CURRENT_USER;
    settings::TSettings stored = settings::Settings, defaults;
    settings::LoadDefaultSettings(defaults);
    stored.ShowHint = false;
    stored.AppHotKey = 0x4000 | 'K';
    stored.ColorLaunchStay = 0x00112233;
    stored.ColorLaunchClose = 0x00445566;
    stored.SplashEnabledThis = stored.SplashEnabledComp = stored.SplashEnabledAll = false;
    settings::TSettings ignored;
    settings::SaveSettings(stored, ignored);

    // Each window opened; its place noted as it opens, then moved, so that a
    // place read after all would show.
    std::map<std::string, RECT> places;
    auto note = [&](HWND h, const std::string& name, bool move) {
        GetWindowRect(h, &places[name]);
        if (move) SetWindowPos(h, nullptr, 31, 37, 650, 500, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    std::vector<std::string> reported;
    auto openEach = [&](bool move, size_t reports) {
        UiDriver d;
        auto handle = [&, move](DriverWindow& w) {
            if (HWND text = GetDlgItem(w.Handle(), 0xFFFF)) {
                reported.push_back(platform::WindowText(text));
                w.Press("OK");
                return;
            }
            note(w.Handle(), w.Form()->Name(), move);
            w.Press("BitBtnCancel");
        };
        for (size_t i = 0; i < reports + 3; ++i) d.Then(handle);  // and the three dialogs
        d.Run([&] {
            settings::LoadSettings(settings::Settings);
            {
                shell::TFrmZuMain m;
                m.Create();
                note(m.Handle(), m.Name(), move);
            }
            settings::RunSetupDialog(nullptr);
            profiles::TFrmZuEditProfile edit(nullptr);
            edit.Create();
            edit.LoadProfile("0", "One", "t", "n", "m");
            edit.ShowModal();
            inieditor::TFrmZuEditINIFile ini(nullptr);
            ini.Create();
            ini.LoadINIFile(p.folder + "One\\Agent.ini");
            ini.ShowModal();
        });
    };
    openEach(true, 0);
    ASSERT_EQ(reported, std::vector<std::string>{});
    const auto first = places;
    ASSERT_EQ(first.size(), 4u);

    std::vector<std::string> expected;
    auto giveWrongTypes = [&](const std::string& key) {
        platform::UniqueKey k;
        ASSERT_EQ(RegOpenKeyExA(cu, key.substr(1).c_str(), 0, KEY_READ | KEY_WRITE, k.put()), ERROR_SUCCESS) << key;
        std::vector<std::pair<std::string, DWORD>> values;
        char name[256];
        DWORD len = sizeof name, type = 0;
        for (DWORD i = 0; RegEnumValueA(k.get(), i, name, &len, nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS;
             ++i, len = sizeof name) {
            values.emplace_back(name, type);
        }
        for (const auto& [n, t] : values) {
            if (key != settings::SettingsKey && n != "SplashEnabled") continue;  // others' values
            if (t == REG_DWORD) settings::WriteRegValue(cu, key, n, std::string("1"));
            else settings::WriteRegValue(cu, key, n, int32_t(1));
            expected.push_back("Invalid data type for '" + n + "'");
            // A setting is read at the start and again as Setup opens.
            if (n.find('.') == std::string::npos) expected.push_back(expected.back());
        }
    };
    giveWrongTypes(settings::SettingsKey);
    giveWrongTypes(settings::CompanyKey());
    giveWrongTypes(settings::SharedKey);
    ASSERT_EQ(expected.size(), 2 * 11u + 4 * 6);

    places.clear();
    openEach(false, expected.size());
    std::sort(reported.begin(), reported.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(reported, expected);
    for (const auto& [name, r] : first) {
        EXPECT_TRUE(EqualRect(&places[name], &r)) << name << " did not open where it opens by default";
    }
    const settings::TSettings& got = settings::Settings;
    EXPECT_EQ(got.AgentFolder, defaults.AgentFolder);
    EXPECT_EQ(got.ProfileFolder, defaults.ProfileFolder);
    EXPECT_EQ(got.DefaultIniPath, defaults.DefaultIniPath);
    EXPECT_EQ(got.DefaultSMTPServer, defaults.DefaultSMTPServer);
    EXPECT_EQ(got.ShowHint, defaults.ShowHint);
    EXPECT_EQ(got.AppHotKey, defaults.AppHotKey);
    EXPECT_EQ(got.ColorLaunchStay, defaults.ColorLaunchStay);
    EXPECT_EQ(got.ColorLaunchClose, defaults.ColorLaunchClose);
    EXPECT_TRUE(got.SplashEnabledThis && got.SplashEnabledComp && got.SplashEnabledAll);
    Application::Instance().ResetTerminated();
}

TEST(Placement, AMainWindowStoredOffEveryScreenComesBackOnOne) {
    RECT work{0, 0, 1280, 994};
    RECT r = platform::MoveOntoWorkArea({-3000, -2000, -2483, -1612}, work);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right - r.left, 517);
    r = platform::MoveOntoWorkArea({5000, 900, 5517, 1288}, work);
    EXPECT_EQ(r.left, 1280 - 517);
    EXPECT_EQ(r.top, 994 - 388);
    r = platform::MoveOntoWorkArea({100, 100, 617, 488}, work);
    EXPECT_EQ(r.left, 100);  // on screen: unchanged

    ProfileFixture p;
    testing_support::RegistrySandbox registry;
    settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuMain.Left", int32_t(-6000));
    settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuMain.Top", int32_t(-4000));
    settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuMain.Width", int32_t(600));
    {
        shell::TFrmZuMain m;
        m.Create();
        RECT rc;
        GetWindowRect(m.Handle(), &rc);
        EXPECT_NE(MonitorFromRect(&rc, MONITOR_DEFAULTTONULL), nullptr);
        EXPECT_EQ(rc.right - rc.left, 600);
    }
    // A stored DPI no screen has counts as 96: the window opens as stored,
    // within the screen, and nothing absurd is stored as it closes.
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    for (int32_t dpi : {0, 1, 2, 100000, -1}) {
        settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuMain.Left", int32_t(100));
        settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuMain.Top", int32_t(100));
        settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuMain.Height", int32_t(400));
        settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuMain.PixelsPerInch", dpi);
        {
            shell::TFrmZuMain m;
            m.Create();
            m.Show();
            RECT rc;
            GetWindowRect(m.Handle(), &rc);
            EXPECT_EQ(rc.right - rc.left, 600) << dpi;
            EXPECT_EQ(rc.bottom - rc.top, 400) << dpi;
            EXPECT_TRUE(rc.left >= screen.left && rc.top >= screen.top && rc.right <= screen.right &&
                        rc.bottom <= screen.bottom) << dpi;
        }
        auto stored = [](const char* v) {
            return settings::ReadRegValue(HKEY_CURRENT_USER, settings::SettingsKey, std::string("FrmZuMain.") + v, 0);
        };
        EXPECT_EQ(stored("Width"), 600) << dpi;
        EXPECT_EQ(stored("Height"), 400) << dpi;
        EXPECT_TRUE(settings::PlausibleDpi(stored("PixelsPerInch"))) << dpi;
    }
    Application::Instance().ResetTerminated();
}

// A key pressed with modifiers through the system's input queue, as the
// keyboard does, to the grid of the main window in front.
void RealKey(MainSession& s, WORD vk, std::initializer_list<WORD> modifiers) {
    SetForegroundWindow(s.main.Handle());
    SetFocus(s.main.Control("StringGridProfiles"));
    testing_support::KeyboardKey(vk, modifiers);
    testing_support::PumpFor(std::chrono::milliseconds(150));
}

TEST(MainWindow, ShiftF1AndCtrlF1DoOnlyTheirOwnJob) {
    ProfileFixture p;
    MainSession s;
    std::string title;
    UiDriver d;  // a help popup after any of these fails the test
    d.Then([&](DriverWindow& w) {
        title = w.Title();
        w.Press("BitBtnOK");
    });
    d.Run([&] { RealKey(s, VK_F1, {VK_SHIFT}); });
    EXPECT_EQ(title, "About - " + Application::Instance().Title());
    const bool hints = settings::Settings.ShowHint;
    UiDriver none;
    none.Run([&] { RealKey(s, VK_F1, {VK_CONTROL}); });
    EXPECT_NE(settings::Settings.ShowHint, hints);
    settings::Settings.ShowHint = hints;
}

TEST(MainGrid, ClicksAndKeysAlwaysActOnTheOneSelectedRow) {
    ProfileFixture p;
    for (const char* n : {"A", "B", "C"}) p.Profile(n, "t", "n", "m", 0);
    settings::Settings.AgentFolder = p.dir.Path() + "No Agent\\";  // a launch names its row in an error
    MainSession s;
    s.main.SetCurrentRow(2);
    HWND grid = s.main.Control("StringGridProfiles");
    RECT rc;
    GetClientRect(grid, &rc);
    const LPARAM below = MAKELPARAM(rc.right / 2, rc.bottom - 4);
    auto selected = [&] {
        return std::pair(SendMessageA(grid, LVM_GETSELECTEDCOUNT, 0, 0),
                         SendMessageA(grid, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    };
    UiDriver none;  // nothing here may launch (a launch shows its error)
    none.Run([&] {
        PostMessageA(grid, WM_LBUTTONDOWN, MK_LBUTTON, below);
        PostMessageA(grid, WM_LBUTTONUP, 0, below);
        PostMessageA(grid, WM_CHAR, 'a', 1);  // a letter
        testing_support::PumpFor(std::chrono::milliseconds(100));
        EXPECT_EQ(selected(), std::pair(LRESULT(1), LRESULT(1)));
        // A Ctrl+click on the selected row would deselect it.
        ListView_SetItemState(grid, 1, 0, LVIS_SELECTED);
        testing_support::PumpFor(std::chrono::milliseconds(50));
        EXPECT_EQ(selected(), std::pair(LRESULT(1), LRESULT(1)));
        RealKey(s, VK_RETURN, {VK_SHIFT});
        RealKey(s, VK_RETURN, {VK_CONTROL, VK_SHIFT});
    });
    EXPECT_EQ(s.main.CurrentRow(), 2);
    // The header's dividers size nothing, and show no sizing arrow.
    HWND header = ListView_GetHeader(grid);
    RECT first;
    Header_GetItemRect(header, 1, &first);
    const int width = s.main.ColumnWidth(1);
    SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(first.right, 5));
    SendMessageA(header, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(first.right + 60, 5));
    SendMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(first.right + 60, 5));
    EXPECT_EQ(s.main.ColumnWidth(1), width);
    POINT divider{first.right, 5};
    ClientToScreen(header, &divider);
    SetCursorPos(divider.x, divider.y);
    SendMessageA(header, WM_SETCURSOR, reinterpret_cast<WPARAM>(header), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_ARROW));
    std::vector<std::string> launched;
    UiDriver d;
    auto record = [&](DriverWindow& w) {
        launched.push_back(w.Text("Message"));
        w.Press("Cancel");
    };
    d.Then(record).Then(record).Then(record).Then(record);
    d.Run([&] {
        RealKey(s, VK_RETURN, {});
        // A double click anywhere in the grid launches, below the rows too.
        PostMessageA(grid, WM_LBUTTONDOWN, MK_LBUTTON, below);
        PostMessageA(grid, WM_LBUTTONUP, 0, below);
        PostMessageA(grid, WM_LBUTTONDBLCLK, MK_LBUTTON, below);
        PostMessageA(grid, WM_LBUTTONUP, 0, below);
        testing_support::PumpFor(std::chrono::milliseconds(200));
        testing_support::DoubleClickRow(grid, 2);
        testing_support::PumpFor(std::chrono::milliseconds(200));
        // On the header row too.
        PostMessageA(header, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(first.left + 10, 5));
        testing_support::PumpFor(std::chrono::milliseconds(200));
    });
    EXPECT_EQ(launched, (std::vector<std::string>{"Failed to execute agent with the \"B\" profile !",
                                                  "Failed to execute agent with the \"B\" profile !",
                                                  "Failed to execute agent with the \"C\" profile !",
                                                  "Failed to execute agent with the \"C\" profile !"}));
}

TEST(MainGrid, TheRowHeightImageListHasOneOwner) {
    ProfileFixture p;
    MainSession s;
    HWND grid = s.main.Control("StringGridProfiles");
    HIMAGELIST il = ListView_GetImageList(grid, LVSIL_SMALL);
    ASSERT_NE(il, nullptr);
    EXPECT_TRUE(GetWindowLongA(grid, GWL_STYLE) & LVS_SHAREIMAGELISTS);  // the grid only borrows it
    DestroyWindow(grid);  // as at the window's end, before the window frees it
    int w = 0, h = 0;
    EXPECT_TRUE(ImageList_GetIconSize(il, &w, &h));
    EXPECT_EQ(h, 18);
}

TEST(DeleteProfile, NothingIsEverDeletedThroughALinkAtAnyDepth) {
    ASSERT_NE(TrashFolder(), "Z:\\Trash\\files\\") << "the test run has no recycle bin of its own";
    ProfileFixture p;
    const std::string outside = p.dir.MakeFolder("Elsewhere");
    p.dir.MakeFile("Elsewhere\\Agent.ini", "[View]\r\nTitle=linked\r\n");
    p.dir.MakeFile("Elsewhere\\data.txt", "keep me");
    const std::string empty = p.dir.MakeFolder("Empty elsewhere");
    p.Profile("beta", "t", "n", "m", 0);
    p.dir.MakeFolder("Profiles\\beta\\deeper");
    const std::string out = testing_support::UnixPath(outside), beta = testing_support::UnixPath(p.folder + "beta");
    // The profile folder itself a link; inside a profile, links to a folder,
    // to an empty folder and to a file, one of them two levels down.
    ASSERT_TRUE(testing_support::RunUnix("ln -s '" + out + "' '" + beta + "/../Linked' && ln -s '" + out + "' '" + beta +
                                         "/deeper/ext' && ln -s '" + testing_support::UnixPath(empty) + "' '" + beta +
                                         "/empty' && ln -s '" + out + "/data.txt' '" + beta + "/file'"));
    std::vector<profiles::LinkEntry> links;
    ASSERT_TRUE(profiles::FindLinksBelow(p.folder + "beta", links));
    std::set<std::string> found;
    for (const auto& l : links) found.insert(l.path.substr(p.folder.size()) + (l.toFolder ? "\\" : ""));
    EXPECT_EQ(found, (std::set<std::string>{"beta\\deeper\\ext\\", "beta\\empty\\", "beta\\file"}));
    MainSession s;
    ASSERT_EQ(s.main.RowCount(), 3);  // beta, Linked
    std::vector<std::string> seen;
    for (int row : {1, 2}) {
        s.main.SetCurrentRow(row);
        UiDriver d;
        d.Then([](DriverWindow& w) { w.Press("Yes"); }).ThenMaybe([&](DriverWindow& w) {
            seen.push_back(w.Text("Message"));
            w.Press("OK");
        });
        d.Run([&] { DriverWindow(s.main.Handle()).Press("BitBtnDelete"); });
        s.main.BitBtnRefreshClick();
    }
    EXPECT_EQ(testing_support::Slurp(outside + "data.txt"), "keep me") << "a link's target was touched";
    EXPECT_TRUE(platform::FileExists(outside + "Agent.ini"));
    EXPECT_TRUE(platform::DirectoryExists(empty));
    EXPECT_FALSE(platform::DirectoryExists(TrashFolder() + "Elsewhere"));
    if (platform::Needed().linkCannotBeRemovedAlone) {
        // Wine cannot remove a link alone: nothing is removed, and the user is told.
        const auto failed = [](const char* n) {
            return platform::Format("The system was unable to delete the \"%s\" profile. !\rYou may need to manually "
                                    "delete the files yourself.", n);
        };
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[0].substr(0, failed("beta").size() + 2), failed("beta") + "\r\"");
        EXPECT_NE(seen[0].find("\" is a link (a symbolic link or a junction): nothing is deleted through one."),
                  std::string::npos) << seen[0];
        EXPECT_EQ(seen[1], failed("Linked") + "\r\"Linked\" is a link (a symbolic link or a junction): nothing is "
                                              "deleted through one.");
        EXPECT_TRUE(platform::FileExists(p.folder + "beta\\Agent.ini"));
        EXPECT_EQ(s.main.RowCount(), 3);
    } else {
        EXPECT_TRUE(seen.empty());
        EXPECT_FALSE(platform::DirectoryExists(p.folder + "beta"));
    }
    // The link first: once "beta" is gone, "beta/../Linked" names nothing.
    testing_support::RunUnix("rm -rf '" + beta + "/../Linked' '" + beta + "'");
}

TEST(DeleteProfile, ARefusalNamesTheFirstEntryThatStoppedItAndWhy) {
    ProfileFixture p;
    const std::string outside = p.dir.MakeFolder("Elsewhere");
    for (const char* name : {"link", "loop", "long", "name"}) p.Profile(name, "t", "n", "m", 0);
    testing_support::CapturedInformation told;
    const std::string root = testing_support::UnixPath(p.folder);
    const std::string a(90, 'a'), b(90, 'b'), c(90, 'c');
    ASSERT_TRUE(testing_support::RunUnix(
        "cd '" + root + "' && ln -s '" + testing_support::UnixPath(outside) + "' link/ext && ln -s ../loop loop/again && " +
        "mkdir -p long/" + a + "/" + b + "/" + c + " && echo kept >long/" + a + "/" + b + "/" + c + "/data.txt && " +
        "echo kept >name/$(printf '\\320\\237\\320\\265\\320\\273').txt"));
    const struct {
        const char* profile;
        profiles::DeleteRefusal::Why why;
        std::string line;
    } cases[] = {
        {"link", profiles::DeleteRefusal::Link,
         "\"ext\" is a link (a symbolic link or a junction): nothing is deleted through one."},
        {"loop", profiles::DeleteRefusal::Link,
         "\"again\" is a link (a symbolic link or a junction): nothing is deleted through one."},
        {"long", profiles::DeleteRefusal::PathTooLong,
         "\"" + a + "\\" + b + "\\" + c + "\" has a path too long for the system."},
    };
    for (const auto& k : cases) {
        profiles::DeleteRefusal refusal;
        const std::string folder = p.folder + k.profile;
        EXPECT_FALSE(profiles::DeleteFolder(folder, nullptr, &refusal)) << k.profile;
        EXPECT_EQ(refusal.why, k.why) << k.profile;
        EXPECT_EQ(profiles::DeleteRefusalText(refusal, folder), k.line) << k.profile;
        EXPECT_TRUE(platform::FileExists(folder + "\\Agent.ini")) << k.profile << ": nothing is lost";
    }
    // A name the code page cannot hold is no reason to refuse: it is read in
    // Unicode, as it is, and goes to the recycle bin with its folder.
    EXPECT_TRUE(profiles::DeleteFolder(p.folder + "name", nullptr, nullptr));
    EXPECT_FALSE(platform::DirectoryExists(p.folder + "name"));
    testing_support::RunUnix("rm -rf '" + root + "'*");
}

TEST(MainWindow, AStaleRowNeverActsOnAFolderThatDiffersOnlyInCase) {
    ProfileFixture p;
    p.Profile("Mixed", "lower", "n", "m", 0);
    const std::string upper = testing_support::UnixPath(p.folder) + "MIXED";
    auto makeUpper = [&] {
        ASSERT_TRUE(testing_support::RunUnix("mkdir '" + upper + "' && cp '" +
                                             testing_support::UnixPath(p.folder + "Mixed\\Agent.ini") + "' '" + upper +
                                             "/Agent.ini'"));
    };
    makeUpper();
    MainSession s;
    auto selectUpperThenRemoveIt = [&] {
        s.main.BitBtnRefreshClick();
        ASSERT_EQ(s.main.RowCount(), 3) << "this file system does not tell letter case apart";
        s.main.SetCurrentRow(s.main.Cell(1, 1) == "MIXED" ? 1 : 2);
        ASSERT_TRUE(testing_support::RunUnix("rm -rf '" + upper + "'"));  // behind the program's back
    };
    const std::string mixedIni = p.folder + "Mixed\\Agent.ini";
    const std::string before = testing_support::Slurp(mixedIni);
    std::vector<std::string> errors;
    auto error = [&](DriverWindow& w) {
        const std::string message = w.Text("Message");
        errors.push_back(message.empty() ? w.Text("Unable to write to " + p.folder + "MIXED\\Agent.ini") : message);
        w.Press("OK");
    };
    selectUpperThenRemoveIt();
    UiDriver del;
    del.Then([](DriverWindow& w) { w.Press("Yes"); }).Then(error);
    del.Run([&] { DriverWindow(s.main.Handle()).Press("BitBtnDelete"); });
    makeUpper();
    selectUpperThenRemoveIt();
    UiDriver edit;
    edit.Then([](DriverWindow& w) {
            SetWindowTextA(w.Control("EditTitle"), "edited");
            w.Press("BitBtnSave");
            w.Press("BitBtnCancel");
        })
        .Then(error);
    edit.Run([&] { DriverWindow(s.main.Handle()).Press("BitBtnEdit"); });
    EXPECT_EQ(errors, (std::vector<std::string>{"The system was unable to delete the \"MIXED\" profile. !\rYou may "
                                                "need to manually delete the files yourself.",
                                                "Unable to write to " + p.folder + "MIXED\\Agent.ini"}));
    EXPECT_EQ(testing_support::Slurp(mixedIni), before);
    EXPECT_FALSE(platform::DirectoryExists(TrashFolder() + "Mixed"));
}

TEST(Hints, NoneShowWhileHintsAreOffAndAHintShowsItsWholeTextInsideItsWindow) {
    ProfileFixture p;
    MainSession s;
    settings::Settings.ShowHint = false;
    Application::Instance().SetShowHint(false);
    SetForegroundWindow(s.main.Handle());
    RECT b;
    GetWindowRect(s.main.Control("BitBtnAdd"), &b);
    const POINT middle{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
    HWND tip = nullptr;
    auto showing = [&] {
        tip = FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr);
        while (tip && !(IsWindowVisible(tip) && GetWindow(tip, GW_OWNER) == s.main.Handle())) {
            tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr);
        }
        return tip != nullptr;
    };
    // The tooltip is made when the pointer first comes: it must take the
    // setting that was applied before it was there.
    SetCursorPos(middle.x, middle.y);
    EXPECT_FALSE(testing_support::PumpUntil(showing, std::chrono::milliseconds(2500))) << "a hint showed while off";
    settings::Settings.ShowHint = true;
    Application::Instance().SetShowHint(true);
    SetCursorPos(middle.x + 1, middle.y);
    ASSERT_TRUE(testing_support::PumpUntil(showing, std::chrono::seconds(8))) << "no hint showed";
    testing_support::PumpFor(std::chrono::milliseconds(100));
    RECT t, w;
    GetWindowRect(tip, &t);
    GetWindowRect(s.main.Handle(), &w);
    if (platform::Needed().hintPastItsWindowBlanksIt) {
        EXPECT_TRUE(t.left >= w.left && t.top >= w.top && t.right <= w.right && t.bottom <= w.bottom)
            << "the hint reaches past its window";
    }
    // A hint wraps within its window where a hint past the window's edge
    // would blank it, and at 600 pixels where it would not (Windows).
    for (const bool blanks : {true, false}) {
        platform::ScopedWorkarounds system;
        system->hintPastItsWindowBlanksIt = blanks;
        SendMessageA(s.main.Handle(), WM_SIZE, SIZE_RESTORED, 0);  // the width is fitted again
        EXPECT_EQ(SendMessageA(tip, TTM_GETMAXTIPWIDTH, 0, 0), blanks ? w.right - w.left - 8 : 600) << blanks;
    }
    // Every column of the text's ink is on the hint: none is cut at its edge.
    RECT c;
    GetClientRect(tip, &c);
    HDC screen = GetDC(tip);
    HDC shown = CreateCompatibleDC(screen), alone = CreateCompatibleDC(screen);
    HBITMAP a = CreateCompatibleBitmap(screen, c.right, c.bottom), z = CreateCompatibleBitmap(screen, 2 * c.right, c.bottom);
    SelectObject(shown, a);
    SendMessageA(tip, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(shown), PRF_CLIENT | PRF_ERASEBKGND);
    SelectObject(alone, z);
    RECT all{0, 0, 2 * c.right, c.bottom};
    FillRect(alone, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SelectObject(alone, reinterpret_cast<HFONT>(SendMessageA(tip, WM_GETFONT, 0, 0)));
    SetBkMode(alone, TRANSPARENT);
    DrawTextA(alone, "Add a new profile", -1, &all, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    const auto [l1, r1] = testing_support::InkColumns(shown, c.right, c.bottom);
    const auto [l2, r2] = testing_support::InkColumns(alone, 2 * c.right, c.bottom);
    EXPECT_EQ(r1 - l1, r2 - l2) << "the hint's text is cut";
    DeleteDC(shown);
    DeleteDC(alone);
    DeleteObject(a);
    DeleteObject(z);
    ReleaseDC(tip, screen);
    SetCursorPos(0, 0);
}
