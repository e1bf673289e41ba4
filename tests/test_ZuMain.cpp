// The main window's side of the single-instance protocol and its Escape key.
#include <gtest/gtest.h>

#include "platform/Application.h"
#include "shell/KelPrevInst.h"
#include "shell/KelSplash.h"
#include "shell/ZuMain.h"
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

struct MainSession {
    shell::TFrmZuMain main;
    MainSession() {
        main.Create();
        shell::HideSplash("Pelmark");
        main.Show();
        testing_support::PumpFor(std::chrono::milliseconds(50));
    }
    ~MainSession() { Application::Instance().ResetTerminated(); }
};

}  // namespace

TEST(ZuMain, AnswersTheProtocolAndCarriesItsCaption) {
    MainSession s;
    HWND h = s.main.Handle();
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
    EXPECT_FALSE(GetWindowLongA(h, GWL_STYLE) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
}

TEST(ZuMain, RestoreRequestRestoresOrBringsTheLastActiveWindowForward) {
    MainSession s;
    HWND h = s.main.Handle();
    ShowWindow(h, SW_MINIMIZE);
    PostMessageA(h, shell::MsgAppRestore(), 0, 0);
    testing_support::PumpFor(std::chrono::milliseconds(100));
    EXPECT_FALSE(IsIconic(h));

    Other other;
    SetForegroundWindow(other.hwnd);
    testing_support::PumpFor(std::chrono::milliseconds(50));
    PostMessageA(h, shell::MsgAppRestore(), 0, 0);
    testing_support::PumpFor(std::chrono::milliseconds(100));
    EXPECT_EQ(GetForegroundWindow(), h);

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
        testing_support::PumpFor(std::chrono::milliseconds(50));
        PostMessageA(h, shell::MsgAppRestore(), 0, 0);
        testing_support::PumpFor(std::chrono::milliseconds(100));
        EXPECT_EQ(GetForegroundWindow(), w.Handle());
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

TEST(KelSplash, TitleFollowsTheFlagAndHideSetsTheCaption) {
    Application& app = Application::Instance();
    const std::string before = app.Title();
    shell::ShowSplash("Pelmark", "Initializaing ...", false, nullptr);
    EXPECT_EQ(app.Title(), before);
    shell::ShowSplash("Pelmark Test", "Initializaing ...", true, nullptr);
    EXPECT_EQ(app.Title(), "Pelmark Test");
    app.SetTitle(before);
    shell::HideSplash("ignored without a main window");  // no main window: nothing to set
}
