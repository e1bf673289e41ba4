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

// Centres a dialog over the window it belongs to, kept on that screen.
void CenterForm(Form* form);

// A window rectangle moved, its size kept, so that it lies within `work` as
// far as it fits (from the left and top when it is larger).
RECT MoveOntoWorkArea(const RECT& window, const RECT& work);
// Brings a window that lies on no monitor onto the nearest one's work area.
void KeepOnSomeMonitor(HWND window);

}  // namespace platform
