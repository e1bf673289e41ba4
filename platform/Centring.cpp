#include "platform/Centring.h"

#include "platform/Application.h"
#include "platform/Dpi.h"
#include "platform/Form.h"

namespace platform {

POINT CenterPosition(Size size, const RECT* reference, const RECT& monitor) {
    const int mw = monitor.right - monitor.left, mh = monitor.bottom - monitor.top;
    POINT p{monitor.left + mw / 2 - size.width / 2, monitor.top + mh / 2 - size.height / 2};
    if (!reference) return p;
    const int rw = reference->right - reference->left;
    const int rh = reference->bottom - reference->top;
    p.x = reference->left + rw / 2 - size.width / 2;
    p.y = reference->top + rh / 2 - size.height / 2;
    if (p.x < monitor.left) p.x = monitor.left;
    else if (p.x + size.width > monitor.right) p.x = monitor.right - size.width;
    if (p.y < monitor.top) p.y = monitor.top;
    else if (p.y + size.height > monitor.bottom) p.y = monitor.bottom - size.height;
    return p;
}

POINT DialogPosition(Size size, const RECT* reference, const MONITORINFO& monitor) {
    return CenterPosition(size, reference, monitor.rcWork);
}

POINT BrowserPosition(const RECT& owner, Size size, const MONITORINFO& monitor) {
    const RECT at{owner.left + ((owner.right - owner.left) - size.width) / 2, owner.top + (owner.bottom - owner.top) / 4,
                  0, 0};
    const RECT kept = MoveOntoWorkArea({at.left, at.top, at.left + size.width, at.top + size.height}, monitor.rcWork);
    return POINT{kept.left, kept.top};
}

void CenterForm(Form* form) {
    try {
        if (!form || !form->Handle()) return;
        HWND h = form->Handle();
        RECT rc;
        GetWindowRect(h, &rc);
        const Size size{rc.right - rc.left, rc.bottom - rc.top};

        HWND reference = nullptr;
        if (GetWindowLongA(h, GWL_STYLE) & WS_CHILD) reference = GetParent(h);
        if (!reference) reference = GetWindow(h, GW_OWNER);
        if (!reference) {
            HWND active = GetActiveWindow();
            if (active && active != h && Form::FromHandle(active)) reference = active;
        }
        if (!reference) {
            HWND main = Application::Instance().MainWindow();
            if (main && main != h) reference = main;
        }
        RECT ref;
        const bool haveRef = reference && GetWindowRect(reference, &ref);
        // Kept on the screen that holds the reference window (the primary
        // one without a reference), wherever that screen stands.
        const POINT p = DialogPosition(size, haveRef ? &ref : nullptr, MonitorOf(haveRef ? reference : nullptr));
        SetWindowPos(h, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    } catch (...) {
        // Placement is a courtesy; the dialog opens wherever it got to.
    }
}

RECT MoveOntoWorkArea(const RECT& window, const RECT& work) {
    const int w = window.right - window.left, h = window.bottom - window.top;
    int x = window.left, y = window.top;
    if (x + w > work.right) x = work.right - w;
    if (x < work.left) x = work.left;
    if (y + h > work.bottom) y = work.bottom - h;
    if (y < work.top) y = work.top;
    return RECT{x, y, x + w, y + h};
}

void KeepOnSomeMonitor(HWND window) {
    RECT rc;
    if (!GetWindowRect(window, &rc)) return;
    if (MonitorFromRect(&rc, MONITOR_DEFAULTTONULL)) return;  // on a screen: as stored
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (!GetMonitorInfoA(MonitorFromRect(&rc, MONITOR_DEFAULTTONEAREST), &mi)) return;
    const RECT to = MoveOntoWorkArea(rc, mi.rcWork);
    SetWindowPos(window, nullptr, to.left, to.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace platform
