#include <gtest/gtest.h>

#include <windows.h>

#include <array>

#include "platform/Application.h"
#include "platform/Glyphs.h"
#include "platform/Handles.h"
#include "shell/KelSplash.h"
#include "support/Helpers.h"
#include "support/UiDriver.h"

using platform::Application;

namespace {

int ClientWidth(HWND h) {
    RECT r;
    GetClientRect(h, &r);
    return r.right;
}

COLORREF PixelAt(HWND h, int x, int y) {
    platform::WindowDC dc(h);
    return GetPixel(dc.get(), x, y);
}

// How many pixels of a piece show this colour on screen.
int CountColour(HWND h, const char* piece, COLORREF colour) {
    const platform::Rect p = shell::CurrentSplash()->PieceNamed(piece).place;
    platform::WindowDC dc(h);
    int n = 0;
    for (int y = p.top; y < p.top + p.height; ++y) {
        for (int x = p.left; x < p.left + p.width; ++x) n += GetPixel(dc.get(), x, y) == colour;
    }
    return n;
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
    EXPECT_EQ(s->PieceNamed("LabelAppTitle").text, "Pelmark");
    EXPECT_EQ(s->PieceNamed("LabelAppAction").text, "Initializaing ...");
    EXPECT_EQ(s->Caption(), "Pelmark");
    EXPECT_EQ(Application::Instance().Title(), "Pelmark");
    EXPECT_TRUE(Application::Instance().Busy());  // the hourglass while it is up
    // The window draws its pieces as the standard controls would: each label
    // in its colour on the window's, the logo pixel for pixel, the line.
    EXPECT_EQ(PixelAt(h, 3, 3), RGB(0, 0, 0x63));
    RECT client;
    GetClientRect(h, &client);
    const platform::Rect panel = s->PieceNamed("PanelMain").place;  // the whole client area, in its edge
    EXPECT_EQ(panel.width, client.right);
    EXPECT_EQ(panel.height, client.bottom);
    EXPECT_NE(PixelAt(h, 0, 0), RGB(0, 0, 0x63));
    EXPECT_NE(PixelAt(h, client.right - 1, client.bottom - 1), RGB(0, 0, 0x63));
    EXPECT_GT(CountColour(h, "LabelAppTitle", RGB(255, 255, 0)), 0);
    EXPECT_GT(CountColour(h, "LabelAppAction", RGB(0, 255, 255)), 0);
    {
        const platform::Rect at = s->PieceNamed("ImageAppLogo").place;
        platform::UniqueBitmap logo(
            platform::ScaledPicture(Application::Instance().InstanceHandle(), "SPLASHLOGO", {321, 94}, s->Dpi()));
        platform::UniqueMemoryDC memory(CreateCompatibleDC(nullptr));
        platform::SelectGuard picture(memory.get(), logo.get());
        platform::WindowDC dc(h);
        int differ = 0;
        for (int y = 0; y < at.height; ++y) {
            for (int x = 0; x < at.width; ++x) differ += GetPixel(memory.get(), x, y) != GetPixel(dc.get(), at.left + x, at.top + y);
        }
        EXPECT_EQ(differ, 0) << "of the logo's " << at.width * at.height << " pixels";
        const platform::Rect line = s->PieceNamed("BevelButtom").place;
        EXPECT_NE(GetPixel(dc.get(), line.left + line.width / 2, line.top), RGB(0, 0, 0x63)) << "no line";
    }
    // Centred on the screen.
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_LE(std::abs((r.left + r.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2), 1);
    shell::HideSplash("");
    EXPECT_EQ(shell::CurrentSplash(), nullptr);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_FALSE(Application::Instance().Busy());
    // Shown, drawn and removed 20 times, it leaves nothing behind.
    const int gdi = testing_support::GdiObjectCount();
    for (int i = 0; i < 20; ++i) {
        shell::ShowSplash("Pelmark", "Initializaing ...", true, nullptr);
        shell::HideSplash("");
    }
    EXPECT_LE(testing_support::GdiObjectCount(), gdi + 2);
    EXPECT_EQ(FindWindowA("TFrmKelSplash", nullptr), nullptr);
}

// The splash window's paints, counted.
int splashPaints = 0;
WNDPROC splashProc = nullptr;
LRESULT CALLBACK CountPaints(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_PAINT) ++splashPaints;
    return CallWindowProcA(splashProc, w, m, wp, lp);
}

TEST(Splash, WidensForALongActionNeverNarrowsAndShowsEachChangeAtOnce) {
    TitleKeeper keep;
    shell::ShowSplash("Pelmark", "Initializaing ...", true, nullptr);
    HWND h = shell::CurrentSplash()->Handle();
    splashProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountPaints)));
    const int before = ClientWidth(h);
    EXPECT_EQ(before, shell::SplashLayoutWidth() + 20);
    const std::string longText(120, 'W');
    SendMessageA(h, RegisterWindowMessageA("sc_SplashAction"), 0, reinterpret_cast<LPARAM>(longText.c_str()));
    const int wide = ClientWidth(h);
    EXPECT_GT(wide, before);
    EXPECT_EQ(wide, shell::CurrentSplash()->PieceNamed("LabelAppAction").place.width + 20);
    EXPECT_GT(CountColour(h, "LabelAppAction", RGB(0, 255, 255)), 0) << "the long text is not drawn";
    // No message loop runs while the splash is up: each change is drawn at
    // once, and a layout that moves nothing draws nothing again.
    EXPECT_GT(splashPaints, 0);
    EXPECT_FALSE(GetUpdateRect(h, nullptr, FALSE));
    splashPaints = 0;
    SendMessageA(h, RegisterWindowMessageA("sc_SplashLogo"), 0, 0);
    EXPECT_EQ(splashPaints, 0);
    SendMessageA(h, RegisterWindowMessageA("sc_SplashAction"), 0, reinterpret_cast<LPARAM>("short"));
    EXPECT_EQ(ClientWidth(h), wide);
    EXPECT_GT(splashPaints, 0);
    EXPECT_FALSE(GetUpdateRect(h, nullptr, FALSE));
    // Where the long text stood and the short one does not, the background shows again.
    {
        const platform::Rect action = shell::CurrentSplash()->PieceNamed("LabelAppAction").place;
        platform::WindowDC dc(h);
        int left = 0;
        for (int y = action.top; y < action.top + action.height; ++y) {
            for (int x = 2; x < action.left; ++x) left += GetPixel(dc.get(), x, y) == RGB(0, 255, 255);
        }
        EXPECT_EQ(left, 0) << "pixels of the long text are left";
    }
    // A new text of the same size is drawn as well.
    SendMessageA(h, RegisterWindowMessageA("sc_SplashAction"), 0, reinterpret_cast<LPARAM>("12"));
    splashPaints = 0;
    SendMessageA(h, RegisterWindowMessageA("sc_SplashAction"), 0, reinterpret_cast<LPARAM>("21"));
    EXPECT_GT(splashPaints, 0);
    // A new splash in the same run keeps the width too.
    shell::ShowSplash("Pelmark", "x", false, nullptr);
    EXPECT_EQ(ClientWidth(shell::CurrentSplash()->Handle()), wide);
}

TEST(Splash, AnEmptyTitleKeepsTheApplicationsTitle) {
    TitleKeeper keep;
    Application::Instance().SetTitle("Some title");
    shell::ShowSplash("", "", false, nullptr);
    EXPECT_EQ(shell::CurrentSplash()->PieceNamed("LabelAppTitle").text, "Some title");
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
