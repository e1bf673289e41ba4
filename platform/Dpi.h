// Screen density: every length in the program's tables is in pixels at 96
// DPI, and becomes pixels at the window's DPI here, in one rule.
#pragma once

#include <windows.h>

#include "platform/Handles.h"
#include "platform/Layout.h"

// Sent by systems from Windows 10 on, before a window moves to a screen of
// another DPI; the headers show it only to builds for those systems.
#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

namespace platform {

constexpr int kDesignDpi = 96;

// A function of user32 that only newer systems have; null where it is missing.
template <typename F>
F NewerUserFunction(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

// A length laid out at `fromDpi`, at `toDpi`, rounded to the nearest
// pixel; exact when the two are the same.
int RescaleDpi(int value, int fromDpi, int toDpi);
Rect RescaleDpi(const Rect& r, int fromDpi, int toDpi);
// A design length (pixels at 96 DPI) at `dpi`.
int ScaleForDpi(int value, int dpi);
Rect ScaleForDpi(const Rect& r, int dpi);
Size ScaleForDpi(Size s, int dpi);

// A font of `points` at `dpi`.
UniqueFont PointFont(const char* face, int points, int dpi, int weight = FW_NORMAL, bool italic = false);

// The screen (monitor) that holds most of a window: its bounds and its work
// area (without the taskbar and docked bars), in virtual-screen pixels; the
// primary screen's for no window.
MONITORINFO MonitorOf(HWND window);
// The system's GetMonitorInfoA (a test may answer with a taskbar of its own).
extern BOOL(WINAPI* MonitorInfoCall)(HMONITOR, LPMONITORINFO);

// The DPI of the screen a window is on (the system's where the system
// cannot tell per window).
int WindowDpi(HWND window);

// The outer size at `dpi` of a window with these styles whose outer size is
// `outer` at 96 DPI: its client area scales, its frame is the system's at
// `dpi`. A zero component stays zero ("no limit").
Size OuterSizeForDpi(Size outer, DWORD style, DWORD exStyle, int dpi);

// The frame (borders and caption) of a window with these styles at `dpi`,
// as the system draws it: the system's own answer (a test may put figures
// of its own in its place).
extern Size (*FrameForDpi)(DWORD style, DWORD exStyle, int dpi);

// A system metric (SM_...) at `dpi`, where the system can answer per DPI;
// at the system's DPI elsewhere.
int SystemMetricForDpi(int index, int dpi);

// The outer size of a window with these styles whose client area is
// `client`, its frame as the system draws it at `dpi`.
Size OuterSizeForClient(Size client, DWORD style, DWORD exStyle, int dpi);

}  // namespace platform
