#include <gtest/gtest.h>

#include <windows.h>

#include <array>

#include "platform/Application.h"
#include "shell/KelSplash.h"
#include "support/UiDriver.h"

using platform::Application;

namespace {

int ClientWidth(HWND h) {
    RECT r;
    GetClientRect(h, &r);
    return r.right;
}

struct TitleKeeper {
    std::string title = Application::Instance().Title();
    ~TitleKeeper() {
        shell::HideSplash("");
        Application::Instance().SetTitle(title);
    }
};

}  // namespace

TEST(Splash, ShowsTheProgramsNameAndActionOnTopAndSemiTransparent) {
    TitleKeeper keep;
    shell::ShowSplash("Pelmark", "Initializaing ...", true, nullptr);
    shell::TFrmKelSplash* s = shell::CurrentSplash();
    ASSERT_NE(s, nullptr);
    HWND h = s->Handle();
    char cls[64] = {};
    GetClassNameA(h, cls, sizeof cls);
    EXPECT_STREQ(cls, "TFrmKelSplash");
    EXPECT_TRUE(IsWindowVisible(h));
    EXPECT_TRUE(GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_TOPMOST);
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(h, nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 200);
    EXPECT_EQ(s->Text("LabelAppTitle"), "Pelmark");
    EXPECT_EQ(s->Text("LabelAppAction"), "Initializaing ...");
    EXPECT_EQ(s->Caption(), "Pelmark");
    EXPECT_EQ(Application::Instance().Title(), "Pelmark");
    EXPECT_TRUE(Application::Instance().Busy());  // the hourglass while it is up
    // Centred on the screen.
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_LE(std::abs((r.left + r.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2), 1);
    shell::HideSplash("");
    EXPECT_EQ(shell::CurrentSplash(), nullptr);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_FALSE(Application::Instance().Busy());
}

// The action label's paints, counted.
int actionPaints = 0;
WNDPROC actionProc = nullptr;
LRESULT CALLBACK CountPaints(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_PAINT) ++actionPaints;
    return CallWindowProcA(actionProc, w, m, wp, lp);
}

TEST(Splash, WidensForALongActionNeverNarrowsAndShowsEachChangeAtOnce) {
    TitleKeeper keep;
    shell::ShowSplash("Pelmark", "Initializaing ...", true, nullptr);
    HWND h = shell::CurrentSplash()->Handle();
    HWND label = shell::CurrentSplash()->Control("LabelAppAction");
    actionProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountPaints)));
    const int before = ClientWidth(h);
    EXPECT_EQ(before, shell::SplashLayoutWidth() + 20);
    const std::string longText(120, 'W');
    SendMessageA(h, RegisterWindowMessageA("sc_SplashAction"), 0, reinterpret_cast<LPARAM>(longText.c_str()));
    const int wide = ClientWidth(h);
    RECT action;
    GetWindowRect(label, &action);
    EXPECT_GT(wide, before);
    EXPECT_EQ(wide, (action.right - action.left) + 20);
    // No message loop runs while the splash is up: each change is drawn at
    // once, and a layout that moves nothing draws nothing again.
    EXPECT_GT(actionPaints, 0);
    EXPECT_FALSE(GetUpdateRect(h, nullptr, FALSE) || GetUpdateRect(label, nullptr, FALSE));
    actionPaints = 0;
    SendMessageA(h, RegisterWindowMessageA("sc_SplashLogo"), 0, 0);
    EXPECT_EQ(actionPaints, 0);
    SendMessageA(h, RegisterWindowMessageA("sc_SplashAction"), 0, reinterpret_cast<LPARAM>("short"));
    EXPECT_EQ(ClientWidth(h), wide);
    EXPECT_GT(actionPaints, 0);
    EXPECT_FALSE(GetUpdateRect(h, nullptr, FALSE) || GetUpdateRect(label, nullptr, FALSE));
    // A new splash in the same run keeps the width too.
    shell::ShowSplash("Pelmark", "x", false, nullptr);
    EXPECT_EQ(ClientWidth(shell::CurrentSplash()->Handle()), wide);
}

TEST(Splash, AnEmptyTitleKeepsTheApplicationsTitle) {
    TitleKeeper keep;
    Application::Instance().SetTitle("Some title");
    shell::ShowSplash("", "", false, nullptr);
    EXPECT_EQ(shell::CurrentSplash()->Text("LabelAppTitle"), "Some title");
    SendMessageA(shell::CurrentSplash()->Handle(), RegisterWindowMessageA("sc_SplashTitle"), 0,
                 reinterpret_cast<LPARAM>("Changed"));
    EXPECT_EQ(shell::CurrentSplash()->Caption(), "Changed");
    shell::HideSplash("no main window: nothing to name");
}

TEST(SplashLayout, PiecesStackCentredAndTheWidthNeverShrinks) {
    shell::SplashMeasures m{.widest = 0, .logo = {321, 94}, .title = {120, 22}, .action = {90, 16}, .lineHeight = 2,
                            .logoTop = 8, .frame = {2, 2}, .screen = {1280, 1024}};
    shell::SplashPlaces p = shell::SplashLayout(m);
    EXPECT_EQ(p.widest, 321);
    EXPECT_EQ((std::array{p.logo.left, p.logo.top, p.title.left, p.title.top}), (std::array{10, 8, 110, 107}));
    EXPECT_EQ((std::array{p.line.left, p.line.top, p.line.width, p.action.left, p.action.top}),
              (std::array{10, 134, 321, 125, 141}));
    EXPECT_EQ((std::array{p.window.left, p.window.top, p.window.width, p.window.height}),
              (std::array{469, 428, 343, 169}));
    m.widest = 400;  // wider before: stays, and everything centres in it
    p = shell::SplashLayout(m);
    EXPECT_EQ((std::array{p.widest, p.window.width, p.logo.left, p.line.width}), (std::array{400, 422, 50, 400}));
}
