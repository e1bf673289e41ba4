// Where a window goes: a dialog centred over the window it belongs to and
// kept on that window's screen, and a window brought back onto a screen.
#pragma once

#include <windows.h>

#include "platform/Layout.h"

namespace platform {

class Form;

// Where a form of `size` goes: centred over `reference` and kept within
// `monitor` (the bounds of the screen that holds the reference), or centred
// on `monitor` without a reference.
POINT CenterPosition(Size size, const RECT* reference, const RECT& monitor);

// Where a dialog goes on a screen: centred over `reference` (or on the
// screen without one) and kept within its work area, clear of the taskbar.
POINT DialogPosition(Size size, const RECT* reference, const MONITORINFO& monitor);
// Where the folder browser goes: centred across its owner, a quarter of the
// owner's height below its top, kept within the screen's work area.
POINT BrowserPosition(const RECT& owner, Size size, const MONITORINFO& monitor);

// Centres a dialog over the window it belongs to, kept on that screen.
void CenterForm(Form* form);

// A window rectangle moved, its size kept, so that it lies within `work` as
// far as it fits (from the left and top when it is larger).
RECT MoveOntoWorkArea(const RECT& window, const RECT& work);
// Brings a window that lies on no monitor onto the nearest one's work area.
void KeepOnSomeMonitor(HWND window);

}  // namespace platform
