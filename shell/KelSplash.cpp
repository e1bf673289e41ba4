#include "shell/KelSplash.h"

#include <algorithm>
#include <memory>

#include "platform/Application.h"
#include "platform/Dpi.h"
#include "platform/Glyphs.h"
#include "platform/TextInk.h"

using platform::Application;
using platform::ControlDef;
using platform::ControlKind;

namespace shell {

using C = SplashControls;

namespace {

// The module's fixed look.
constexpr BYTE kAlpha = 200;
constexpr COLORREF kBackground = RGB(0, 0, 0x63);
constexpr COLORREF kTitleColor = RGB(255, 255, 0);
constexpr COLORREF kActionColor = RGB(0, 255, 255);

int gLayoutWidth = 0;
std::unique_ptr<TFrmKelSplash> gSplash;

platform::FormDef SplashFormDef() {
    using namespace platform;
    FormDef d{.windowClass = "TFrmKelSplash", .name = "FrmKelSplash", .place = {0, 0, 338, 178}, .sizeable = false,
              .helpButton = false, .toolWindow = true, .topMost = true, .popup = true};
    // Placed by the splash's own layout, which follows the texts.
    auto label = [](const char* name, Rect place, const char* caption, DWORD style) {
        return ControlDef{.name = name, .parent = C::PanelMain, .place = place, .caption = caption, .style = style,
                          .managed = true};
    };
    d.controls = {
        {.name = C::PanelMain, .kind = ControlKind::Panel, .place = {0, 0, 338, 178}, .anchors = akAll,
         .bevel = Bevel::Raised},
        label(C::ImageAppLogo, {8, 8, 321, 94}, "", SS_BITMAP | SS_CENTERIMAGE),
        label(C::LabelAppTitle, {108, 121, 120, 22}, "My application", SS_NOPREFIX),
        label(C::BevelButtom, {8, 146, 321, 2}, "", SS_ETCHEDHORZ),
        label(C::LabelAppAction, {124, 154, 90, 16}, "Initializing...", SS_NOPREFIX),
    };
    return d;
}

}  // namespace

int SplashLayoutWidth() { return gLayoutWidth; }

TFrmKelSplash* CurrentSplash() { return gSplash.get(); }

TFrmKelSplash::TFrmKelSplash() : Form(SplashFormDef(), nullptr) {}

void TFrmKelSplash::OnCreate() {
    HWND h = Handle();
    SetWindowLongA(h, GWL_EXSTYLE, GetWindowLongA(h, GWL_EXSTYLE) | WS_EX_LAYERED);
    SetLayeredWindowAttributes(h, 0, kAlpha, LWA_ALPHA);
    background_.reset(CreateSolidBrush(kBackground));
    // No size is set here: the form was made at the design size, which a
    // frameless window's client area keeps, and the layout sizes it to its
    // texts before it shows. A move that changes nothing still costs Wine
    // its messages and a trip to the X server.
    MakeFonts();
    SetLogo(platform::ScaledPicture(Application::Instance().InstanceHandle(), "SPLASHLOGO", {321, 94}, Dpi()));
    busy_.emplace();
    SetTitle(Application::Instance().Title());
    wmAction_ = RegisterWindowMessageA("sc_SplashAction");
    wmTitle_ = RegisterWindowMessageA("sc_SplashTitle");
    wmLogo_ = RegisterWindowMessageA("sc_SplashLogo");
}

void TFrmKelSplash::MakeFonts() {
    titleFont_ = platform::PointFont("Times New Roman", 14, Dpi(), FW_BOLD, true);
    actionFont_ = platform::PointFont("MS Sans Serif", 10, Dpi(), FW_BOLD);
    SendMessageA(Control(C::LabelAppTitle), WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_.get()), FALSE);
    SendMessageA(Control(C::LabelAppAction), WM_SETFONT, reinterpret_cast<WPARAM>(actionFont_.get()), FALSE);
}

void TFrmKelSplash::OnDpiChanged(int) {
    // The labels keep the old fonts until they have the new ones.
    const platform::UniqueFont title = std::move(titleFont_), action = std::move(actionFont_);
    MakeFonts();
    FitLabel(C::LabelAppTitle, titleFont_.get());
    FitLabel(C::LabelAppAction, actionFont_.get());
    UpdateSplashLayout();
}

void TFrmKelSplash::FitLabel(const char* name, HFONT font) {
    HWND label = Control(name);
    const std::string text = platform::WindowText(label);
    platform::WindowDC dc(label);
    SIZE sz{};
    {
        platform::SelectGuard selected(dc.get(), font);
        GetTextExtentPoint32A(dc.get(), text.c_str(), static_cast<int>(text.size()), &sz);
        sz.cx = std::max<LONG>(sz.cx, platform::InkRight(dc.get(), text, DT_SINGLELINE | DT_NOPREFIX, sz.cx, sz.cy));
    }
    SetWindowPos(label, nullptr, 0, 0, sz.cx, sz.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFrmKelSplash::SetTitle(const std::string& title) {
    SetText(C::LabelAppTitle, title);
    FitLabel(C::LabelAppTitle, titleFont_.get());
    SetCaption(title);
}

void TFrmKelSplash::SetAction(const std::string& action) {
    SetText(C::LabelAppAction, action);
    FitLabel(C::LabelAppAction, actionFont_.get());
}

void TFrmKelSplash::SetLogo(HBITMAP logo) {
    if (!logo) return;
    logo_.reset(logo);
    BITMAP bm{};
    GetObject(logo, sizeof bm, &bm);
    HWND image = Control(C::ImageAppLogo);
    SendMessageA(image, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo));
    SetWindowPos(image, nullptr, 0, 0, bm.bmWidth, bm.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SplashPlaces SplashLayout(const SplashMeasures& m) {
    SplashPlaces p;
    auto px = [&](int design) { return platform::ScaleForDpi(design, m.dpi); };
    p.widest = std::max({m.widest, m.logo.width, m.title.width, m.action.width});
    const int clientW = p.widest + px(20);
    auto centred = [&](platform::Size size, int top) {
        return platform::Rect{clientW / 2 - size.width / 2, top, size.width, size.height};
    };
    p.logo = centred(m.logo, m.logoTop);
    p.title = centred(m.title, p.logo.top + m.logo.height + px(5));
    p.line = centred({p.widest, m.lineHeight}, p.title.top + m.title.height + px(5));
    p.action = centred(m.action, p.line.top + m.lineHeight + px(5));
    const int ww = clientW + m.frame.width, wh = p.action.top + m.action.height + px(10) + m.frame.height;
    p.window = {m.screen.width / 2 - ww / 2, m.screen.height / 2 - wh / 2, ww, wh};
    return p;
}

void TFrmKelSplash::UpdateSplashLayout() {
    HWND h = Handle();
    HWND logo = Control(C::ImageAppLogo), title = Control(C::LabelAppTitle), line = Control(C::BevelButtom),
         action = Control(C::LabelAppAction), panel = Control(C::PanelMain);
    auto size = [](HWND c) {
        RECT r;
        GetWindowRect(c, &r);
        return platform::Size{r.right - r.left, r.bottom - r.top};
    };
    RECT wr, cr, lr;
    GetWindowRect(h, &wr);
    GetClientRect(h, &cr);
    GetWindowRect(logo, &lr);
    MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&lr), 2);
    const SplashPlaces p = SplashLayout({.widest = gLayoutWidth, .logo = size(logo), .title = size(title),
                                         .action = size(action), .lineHeight = size(line).height, .logoTop = lr.top,
                                         .frame = {(wr.right - wr.left) - cr.right, (wr.bottom - wr.top) - cr.bottom},
                                         .screen = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                                         .dpi = Dpi()});
    gLayoutWidth = p.widest;
    // Only what is out of place is moved: a move to where a window already
    // stands still costs its messages, and under Wine a trip to the X server.
    bool moved = false;
    auto place = [&](HWND w, HWND parent, const platform::Rect& r) {
        RECT now;
        GetWindowRect(w, &now);
        if (parent) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&now), 2);
        if (now.left == r.left && now.top == r.top && now.right - now.left == r.width &&
            now.bottom - now.top == r.height) {
            return;
        }
        SetWindowPos(w, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
        moved = true;
    };
    LockWindowUpdate(h);
    place(h, nullptr, p.window);
    for (auto [c, r] : {std::pair{logo, p.logo}, {title, p.title}, {line, p.line}, {action, p.action}}) {
        place(c, panel, r);
    }
    LockWindowUpdate(nullptr);
    // Drawn at once, as no message loop runs while the splash is up. A layout
    // that moved nothing leaves only what a new text or picture asked for:
    // drawing the rest again would show the same pixels, at the cost of a
    // whole paint to every start.
    RedrawWindow(h, nullptr, nullptr, (moved ? RDW_INVALIDATE | RDW_ERASE : 0) | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

bool TFrmKelSplash::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_CTLCOLORDLG) {
        result = reinterpret_cast<LRESULT>(background_.get());
        return true;
    }
    if (msg == WM_CTLCOLORSTATIC) {
        HDC dc = reinterpret_cast<HDC>(wp);
        HWND c = reinterpret_cast<HWND>(lp);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, c == Control(C::LabelAppTitle) ? kTitleColor : kActionColor);
        result = reinterpret_cast<LRESULT>(background_.get());
        return true;
    }
    if (msg == WM_SETCURSOR) {
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        result = TRUE;
        return true;
    }
    if (msg != 0 && msg == wmAction_) {
        SetAction(reinterpret_cast<const char*>(lp));
        UpdateSplashLayout();
        return true;
    }
    if (msg != 0 && msg == wmTitle_) {
        SetTitle(reinterpret_cast<const char*>(lp));
        UpdateSplashLayout();
        return true;
    }
    if (msg != 0 && msg == wmLogo_) {
        if (lp) SetLogo(reinterpret_cast<HBITMAP>(lp));
        UpdateSplashLayout();
        return true;
    }
    return false;
}

void ShowSplash(const std::string& title, const std::string& action, bool setAppTitle, HBITMAP logo) {
    if (gSplash) HideSplash("");
    if (setAppTitle) Application::Instance().SetTitle(title);
    gSplash = std::make_unique<TFrmKelSplash>();
    gSplash->Create();
    if (logo) {
        // A copy of the caller's picture; a failed copy keeps the design logo.
        HBITMAP copy = static_cast<HBITMAP>(CopyImage(logo, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        if (copy) gSplash->SetLogo(copy);
    }
    if (!title.empty()) gSplash->SetTitle(title);
    if (!action.empty()) gSplash->SetAction(action);
    gSplash->UpdateSplashLayout();
    ShowWindow(gSplash->Handle(), SW_SHOWNOACTIVATE);
    UpdateWindow(gSplash->Handle());
    gSplash->UpdateSplashLayout();
    Application::Instance().SetStartupWindow(gSplash->Handle());
}

void HideSplash(const std::string& caption) {
    HWND main = Application::Instance().MainWindow();
    if (!caption.empty() && main) SetWindowTextA(main, caption.c_str());
    if (gSplash) {
        Application::Instance().SetStartupWindow(nullptr);
        ShowWindow(gSplash->Handle(), SW_HIDE);
        gSplash.reset();
    }
}

}  // namespace shell
