// The form layer's size limits: the least and greatest size a form takes,
// at its DPI, and a form put back within them where the window manager
// sizes it past them.
#include "platform/Form.h"

#include <algorithm>
#include <climits>

#include "platform/Dpi.h"

namespace platform {

namespace {

// A window of the size of `r`, within the least and greatest size (0: none).
Size Within(const RECT& r, Size least, Size most) {
    return {std::clamp<int>(r.right - r.left, least.width, most.width > 0 ? most.width : INT_MAX),
            std::clamp<int>(r.bottom - r.top, least.height, most.height > 0 ? most.height : INT_MAX)};
}

}  // namespace

UINT Form::PutBackMessage() {
    static const UINT message = RegisterWindowMessageW(L"Pelmark.PutBackWithinLimits");
    return message;
}

Size Form::MinimumSize() const {
    return OuterSizeForDpi(def_.minSize, GetWindowLongA(hwnd_, GWL_STYLE), GetWindowLongA(hwnd_, GWL_EXSTYLE), dpi_);
}

Size Form::MaximumSize() const {
    return OuterSizeForDpi(def_.maxSize, GetWindowLongA(hwnd_, GWL_STYLE), GetWindowLongA(hwnd_, GWL_EXSTYLE), dpi_);
}

bool Form::PutBackWithinLimits(WPARAM how) {
    // The window manager maximises and sizes a window past the limits the
    // program gives (which only Windows' own frame obeys): a form of a
    // fixed size is restored at once, any form put back within its limits.
    if (how == SIZE_MAXIMIZED && FixedSize()) PostMessageA(hwnd_, WM_SYSCOMMAND, SC_RESTORE, 0);
    if (how != SIZE_RESTORED) return false;
    RECT r;
    GetWindowRect(hwnd_, &r);
    const Size size = Within(r, MinimumSize(), MaximumSize());
    if (size.width == r.right - r.left && size.height == r.bottom - r.top) return false;
    // Not here: while Wine answers the window manager's configure, a move
    // changes only Wine's own idea of the window, and the X window the user
    // sees stays where the manager put it. Once that is done, both move.
    if (!putBackPosted_) putBackPosted_ = PostMessageW(hwnd_, PutBackMessage(), 0, 0);
    return true;
}

void Form::PutBack() {
    putBackPosted_ = false;
    RECT r;
    if (!IsWindow(hwnd_) || IsIconic(hwnd_) || IsZoomed(hwnd_) || !GetWindowRect(hwnd_, &r)) return;
    const Size size = Within(r, MinimumSize(), MaximumSize());
    SetWindowPos(hwnd_, nullptr, 0, 0, size.width, size.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Size Form::ScaledOuterSize(int dpi) const {
    const DWORD style = GetWindowLongA(hwnd_, GWL_STYLE), ex = GetWindowLongA(hwnd_, GWL_EXSTYLE);
    RECT c{};
    GetClientRect(hwnd_, &c);
    Size outer = OuterSizeForClient({RescaleDpi(c.right, dpi_, dpi), RescaleDpi(c.bottom, dpi_, dpi)}, style, ex, dpi);
    const Size least = OuterSizeForDpi(def_.minSize, style, ex, dpi), most = OuterSizeForDpi(def_.maxSize, style, ex, dpi);
    if (least.width > 0) outer.width = std::max(outer.width, least.width);
    if (least.height > 0) outer.height = std::max(outer.height, least.height);
    if (most.width > 0) outer.width = std::min(outer.width, most.width);
    if (most.height > 0) outer.height = std::min(outer.height, most.height);
    return outer;
}

}  // namespace platform
