#include "shell/KelSplash.h"

#include <algorithm>
#include <memory>

#include "platform/Application.h"
#include "platform/Dpi.h"
#include "platform/Error.h"
#include "platform/Glyphs.h"
#include "platform/Handles.h"
#include "platform/Text.h"
#include "platform/TextInk.h"

using platform::Application;

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
    return platform::FormDef{.windowClass = "TFrmKelSplash", .name = "FrmKelSplash", .place = {0, 0, 338, 178},
                             .sizeable = false, .helpButton = false, .toolWindow = true, .topMost = true,
                             .popup = true};
}

RECT ToRECT(const platform::Rect& r) { return {r.left, r.top, r.left + r.width, r.top + r.height}; }

}  // namespace

int SplashLayoutWidth() { return gLayoutWidth; }

TFrmKelSplash* CurrentSplash() { return gSplash.get(); }

TFrmKelSplash::TFrmKelSplash() : Form(SplashFormDef(), nullptr) {}

const TFrmKelSplash::Piece& TFrmKelSplash::PieceNamed(const std::string& name) const {
    if (name == C::PanelMain) return panel_;
    if (name == C::ImageAppLogo) return logoPiece_;
    if (name == C::LabelAppTitle) return title_;
    if (name == C::BevelButtom) return line_;
    if (name == C::LabelAppAction) return action_;
    throw platform::Error("Unknown splash piece " + name);
}

void TFrmKelSplash::OnCreate() {
    HWND h = Handle();
    SetWindowLongA(h, GWL_EXSTYLE, GetWindowLongA(h, GWL_EXSTYLE) | WS_EX_LAYERED);
    SetLayeredWindowAttributes(h, 0, kAlpha, LWA_ALPHA);
    background_.reset(CreateSolidBrush(kBackground));
    // No size is set here: the form was made at the design size, which a
    // frameless window's client area keeps, and the layout sizes it to its
    // texts before it shows. A move that changes nothing still costs Wine
    // its messages and a trip to the X server.
    // The design places; the layout moves every piece to its own.
    logoPiece_.place = {Scale(8), Scale(8), Scale(321), Scale(94)};
    title_ = {"My application", {Scale(108), Scale(121), 0, 0}};
    line_.place = {Scale(8), Scale(146), Scale(321), Scale(2)};
    action_ = {"Initializing...", {Scale(124), Scale(154), 0, 0}};
    MakeFonts();
    FitLabel(action_);
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
    title_.font = titleFont_.get();
    action_.font = actionFont_.get();
}

void TFrmKelSplash::OnDpiChanged(int) {
    MakeFonts();
    FitLabel(title_);
    FitLabel(action_);
    UpdateSplashLayout();
}

void TFrmKelSplash::FitLabel(Piece& label) {
    platform::WindowDC dc(Handle());
    SIZE sz{};
    {
        platform::SelectGuard selected(dc.get(), label.font);
        const std::wstring text = platform::Widened(label.text);
        GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &sz);
        sz.cx = std::max<LONG>(sz.cx,
                               platform::InkRight(dc.get(), label.text, DT_SINGLELINE | DT_NOPREFIX, sz.cx, sz.cy));
    }
    MovePiece(label, {label.place.left, label.place.top, sz.cx, sz.cy});
}

void TFrmKelSplash::Redraw(const platform::Rect& box) {
    const RECT r = ToRECT(box);
    InvalidateRect(Handle(), &r, TRUE);
}

void TFrmKelSplash::SetLabel(Piece& label, const std::string& text) {
    label.text = text;
    Redraw(label.place);
    FitLabel(label);
}

void TFrmKelSplash::MovePiece(Piece& piece, const platform::Rect& place) {
    if (piece.place == place) return;
    // What it covered shows the background again; where it goes is drawn.
    Redraw(piece.place);
    Redraw(place);
    piece.place = place;
}

void TFrmKelSplash::SetTitle(const std::string& title) {
    SetLabel(title_, title);
    SetCaption(title);
}

void TFrmKelSplash::SetAction(const std::string& action) { SetLabel(action_, action); }

void TFrmKelSplash::SetLogo(HBITMAP logo) {
    if (!logo) return;
    logo_.reset(logo);
    BITMAP bm{};
    GetObject(logo, sizeof bm, &bm);
    Redraw(logoPiece_.place);
    MovePiece(logoPiece_, {logoPiece_.place.left, logoPiece_.place.top, bm.bmWidth, bm.bmHeight});
}

void TFrmKelSplash::Paint(HDC dc) {
    // As the standard controls draw them: the panel's raised edge, the
    // picture at its place, each label on the window's colour, the line
    // as an etched edge above and below.
    RECT panel{panel_.place.left, panel_.place.top, panel_.place.left + panel_.place.width,
               panel_.place.top + panel_.place.height};
    DrawEdge(dc, &panel, BDR_RAISEDOUTER, BF_RECT);
    if (logo_) {
        platform::UniqueMemoryDC memory(CreateCompatibleDC(dc));
        platform::SelectGuard picture(memory.get(), logo_.get());
        BITMAP bm{};
        GetObject(logo_.get(), sizeof bm, &bm);
        BitBlt(dc, logoPiece_.place.left, logoPiece_.place.top, bm.bmWidth, bm.bmHeight, memory.get(), 0, 0, SRCCOPY);
    }
    SetBkMode(dc, TRANSPARENT);
    for (const auto& [label, color] : {std::pair<const Piece*, COLORREF>{&title_, kTitleColor}, {&action_, kActionColor}}) {
        RECT r = ToRECT(label->place);
        FillRect(dc, &r, background_.get());
        platform::SelectGuard font(dc, label->font);
        SetTextColor(dc, color);
        DrawTextW(dc, platform::Widened(label->text).c_str(), -1, &r, DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK | DT_NOPREFIX);
    }
    RECT line = ToRECT(line_.place);
    DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP | BF_BOTTOM);
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
    RECT wr, cr;
    GetWindowRect(h, &wr);
    GetClientRect(h, &cr);
    auto size = [](const Piece& p) { return platform::Size{p.place.width, p.place.height}; };
    const SplashPlaces p = SplashLayout({.widest = gLayoutWidth, .logo = size(logoPiece_), .title = size(title_),
                                         .action = size(action_), .lineHeight = line_.place.height,
                                         .logoTop = logoPiece_.place.top,
                                         .frame = {(wr.right - wr.left) - cr.right, (wr.bottom - wr.top) - cr.bottom},
                                         .screen = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                                         .dpi = Dpi()});
    gLayoutWidth = p.widest;
    // The window is moved only when it is out of place: a move to where it
    // already stands still costs its messages, and under Wine a trip to the
    // X server. A new size draws it all again, its edge included.
    const bool moved = wr.left != p.window.left || wr.top != p.window.top || wr.right - wr.left != p.window.width ||
                       wr.bottom - wr.top != p.window.height;
    if (moved) {
        SetWindowPos(h, nullptr, p.window.left, p.window.top, p.window.width, p.window.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    MovePiece(logoPiece_, p.logo);
    MovePiece(title_, p.title);
    MovePiece(line_, p.line);
    MovePiece(action_, p.action);
    GetClientRect(h, &cr);
    panel_.place = {0, 0, static_cast<int>(cr.right), static_cast<int>(cr.bottom)};
    // Drawn at once, as no message loop runs while the splash is up; what
    // did not change is not drawn again.
    RedrawWindow(h, nullptr, nullptr, (moved ? RDW_INVALIDATE | RDW_ERASE : 0) | RDW_UPDATENOW);
}

bool TFrmKelSplash::OnMessage(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
    if (msg == WM_CTLCOLORDLG) {
        result = reinterpret_cast<LRESULT>(background_.get());
        return true;
    }
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        Paint(dc);
        EndPaint(Handle(), &ps);
        result = 0;
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
    if (!caption.empty() && main) platform::PutWindowText(main, caption);
    if (gSplash) {
        Application::Instance().SetStartupWindow(nullptr);
        ShowWindow(gSplash->Handle(), SW_HIDE);
        gSplash.reset();
    }
}

}  // namespace shell
