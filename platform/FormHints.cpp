// The form layer's hints: one tooltip per form, made with its first hint,
// kept inside its window under Wine and as wide as its text is drawn.
#include "platform/Form.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "platform/Application.h"
#include "platform/Dpi.h"
#include "platform/FileSystem.h"
#include "platform/TextInk.h"
#include "platform/Workarounds.h"

namespace platform {

namespace {
WNDPROC tooltipProc = nullptr;  // the tooltip class's own procedure
}  // namespace

void Form::AddTool(HWND control, const std::string& hint) {
    // The tooltip is made when the pointer first comes over the form: a form
    // the pointer never visits, and the first paint, never pay for one.
    if (!tooltip_) {
        pendingTools_.push_back(control);
        return;
    }
    std::wstring text = Widened(ShortHint(hint));
    TOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    // A hint kept inside its window may come to lie under the pointer: the
    // pointer's moves then pass through it instead of taking it away.
    ti.uFlags = TTF_IDISHWND | (Needed().hintPastItsWindowBlanksIt ? TTF_TRANSPARENT : 0);
    ti.hwnd = hwnd_;
    ti.uId = reinterpret_cast<UINT_PTR>(control);
    ti.lpszText = text.data();
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void Form::MakeTooltip() {
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               Application::Instance().InstanceHandle(), nullptr);
    if (!tooltip_) return;
    // Subclassed by hand, and the pointer's moves relayed by the message
    // loops rather than by the tooltip subclassing every control: Wine
    // keeps a subclass's data in a window property, and asks its server
    // for it on every message the control gets.
    tooltipProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(tooltip_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Form::TipProc)));
    FitHintWidth();
    SendMessageA(tooltip_, TTM_ACTIVATE, hintsShown_ ? TRUE : FALSE, 0);
    for (HWND control : std::exchange(pendingTools_, {})) {
        if (const ControlDef* d = DefinitionOf(control)) AddTool(control, d->hint);
    }
}

void Form::FitHintWidth() {
    // Under Wine a hint stays inside its window (see KeepTipInside), so it
    // wraps within the window's width.
    RECT form{};
    GetWindowRect(hwnd_, &form);
    const int most = Scale(600);
    const int width = Needed().hintPastItsWindowBlanksIt ? std::min(most, static_cast<int>(form.right - form.left) - 8) : most;
    SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, width);
}

void Form::RelayToHint(const MSG& msg) {
    if (tooltip_) {
        SendMessageA(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
    } else if (!pendingTools_.empty()) {
        // A pointer resting over a window that has just opened must not hold
        // up its first paint: a timer comes only when nothing else waits,
        // and the tooltip is then made and given the message that asked.
        firstHintMessage_ = msg;
        SetTimer(hwnd_, kMakeTooltipTimer, 0, nullptr);
    }
}

void Form::MakeTooltipNow() {
    KillTimer(hwnd_, kMakeTooltipTimer);
    if (tooltip_ || pendingTools_.empty()) return;
    MakeTooltip();
    if (tooltip_) SendMessageA(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&firstHintMessage_));
}

LRESULT CALLBACK Form::TipProc(HWND tip, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_WINDOWPOSCHANGING) {
        try {
            // The tooltip's owner is its form.
            if (Form* self = FromHandle(GetWindow(tip, GW_OWNER))) {
                self->KeepTipInside(*reinterpret_cast<WINDOWPOS*>(lp));
            }
        } catch (...) {
            Application::Instance().HandleCurrentException();
        }
    }
    return CallWindowProcW(tooltipProc, tip, msg, wp, lp);
}

void Form::KeepTipInside(WINDOWPOS& pos) {
    // Under Wine a hint that reaches past the edge of a window leaves that
    // window's client area black on screen until the hint goes; elsewhere a
    // hint stands where the system puts it. The hint is caught as it takes
    // its place and size, whatever the tooltip did before.
    if (!Needed().hintPastItsWindowBlanksIt || (pos.flags & SWP_HIDEWINDOW)) return;
    if ((pos.flags & SWP_NOSIZE) && (pos.flags & SWP_NOMOVE)) return;
    RECT now;
    GetWindowRect(tooltip_, &now);
    Rect tip{pos.flags & SWP_NOMOVE ? static_cast<int>(now.left) : pos.x,
             pos.flags & SWP_NOMOVE ? static_cast<int>(now.top) : pos.y,
             pos.flags & SWP_NOSIZE ? static_cast<int>(now.right - now.left) : pos.cx,
             pos.flags & SWP_NOSIZE ? static_cast<int>(now.bottom - now.top) : pos.cy};
    // The tooltip sizes its text by advance widths; a last letter's ink
    // may reach past them, so it gets the room it is drawn in.
    if (!(pos.flags & SWP_NOSIZE)) tip.width += TipOverhang();
    RECT form;
    GetWindowRect(hwnd_, &form);
    const Rect inside = HintInside(tip, {form.left, form.top, form.right - form.left, form.bottom - form.top});
    pos.x = inside.left;
    pos.y = inside.top;
    pos.cx = inside.width;
    pos.cy = inside.height;
    pos.flags &= ~static_cast<UINT>(SWP_NOMOVE | SWP_NOSIZE);
}

int Form::TipOverhang() {
    // The current hint's text as the tooltip lays it out (wrapped at its
    // greatest width), and how far its ink reaches past that.
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    if (!SendMessageW(tooltip_, TTM_GETCURRENTTOOLW, 0, reinterpret_cast<LPARAM>(&ti))) return 0;
    const ControlDef* d = DefinitionOf(reinterpret_cast<HWND>(ti.uId));
    if (!d) return 0;
    const std::string text = ShortHint(d->hint);
    const int most = static_cast<int>(SendMessageA(tooltip_, TTM_GETMAXTIPWIDTH, 0, 0));
    const UINT format = DT_EXPANDTABS | DT_NOPREFIX | DT_EXTERNALLEADING | (most > 0 ? DT_WORDBREAK : DT_SINGLELINE);
    HDC screen = GetDC(nullptr);
    int extra = 0;
    {
        UniqueMemoryDC dc(CreateCompatibleDC(screen));
        HFONT font = reinterpret_cast<HFONT>(SendMessageA(tooltip_, WM_GETFONT, 0, 0));
        SelectGuard withFont(dc.get(), font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
        RECT r{0, 0, most > 0 ? most : 0, 0};
        DrawTextW(dc.get(), Widened(text).c_str(), -1, &r, format | DT_CALCRECT);
        extra = std::max(0, InkRight(dc.get(), text, format, r.right, r.bottom) - static_cast<int>(r.right));
    }
    ReleaseDC(nullptr, screen);
    return extra;
}

}  // namespace platform
