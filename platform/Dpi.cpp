#include "platform/Dpi.h"

namespace platform {

namespace {

// Newer systems answer per DPI; older ones have one DPI.
Size FrameAt(DWORD style, DWORD exStyle, int dpi) {
    using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjust = NewerUserFunction<AdjustForDpi>("AdjustWindowRectExForDpi");
    RECT r{0, 0, 0, 0};
    if (adjust) adjust(&r, style, FALSE, exStyle, static_cast<UINT>(dpi));
    else AdjustWindowRectEx(&r, style, FALSE, exStyle);
    return {r.right - r.left, r.bottom - r.top};
}

}  // namespace

Size (*FrameForDpi)(DWORD style, DWORD exStyle, int dpi) = &FrameAt;

int RescaleDpi(int value, int fromDpi, int toDpi) {
    return fromDpi == toDpi ? value : MulDiv(value, toDpi, fromDpi);
}

Rect RescaleDpi(const Rect& r, int fromDpi, int toDpi) {
    return {RescaleDpi(r.left, fromDpi, toDpi), RescaleDpi(r.top, fromDpi, toDpi), RescaleDpi(r.width, fromDpi, toDpi),
            RescaleDpi(r.height, fromDpi, toDpi)};
}

int ScaleForDpi(int value, int dpi) { return RescaleDpi(value, kDesignDpi, dpi); }

Rect ScaleForDpi(const Rect& r, int dpi) { return RescaleDpi(r, kDesignDpi, dpi); }

Size ScaleForDpi(Size s, int dpi) { return {ScaleForDpi(s.width, dpi), ScaleForDpi(s.height, dpi)}; }

UniqueFont PointFont(const char* face, int points, int dpi, int weight, bool italic) {
    return UniqueFont(CreateFontA(-MulDiv(points, dpi, 72), 0, 0, 0, weight, italic, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                  face));
}

BOOL(WINAPI* MonitorInfoCall)(HMONITOR, LPMONITORINFO) = &GetMonitorInfoA;

MONITORINFO MonitorOf(HWND window) {
    HMONITOR monitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)
                              : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitor && MonitorInfoCall(monitor, &info)) return info;
    info.rcMonitor = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &info.rcWork, 0)) info.rcWork = info.rcMonitor;
    return info;
}

int WindowDpi(HWND window) {
    using ForWindow = UINT(WINAPI*)(HWND);
    static const auto forWindow = NewerUserFunction<ForWindow>("GetDpiForWindow");
    if (forWindow && window) {
        if (const UINT dpi = forWindow(window)) return static_cast<int>(dpi);
    }
    HDC dc = GetDC(nullptr);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : kDesignDpi;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : kDesignDpi;
}

Size OuterSizeForDpi(Size outer, DWORD style, DWORD exStyle, int dpi) {
    if (dpi == kDesignDpi) return outer;
    const Size frame96 = FrameForDpi(style, exStyle, kDesignDpi);
    const Size frame = FrameForDpi(style, exStyle, dpi);
    auto one = [dpi](int o, int f96, int f) { return o > 0 ? ScaleForDpi(o - f96, dpi) + f : o; };
    return {one(outer.width, frame96.width, frame.width), one(outer.height, frame96.height, frame.height)};
}

int SystemMetricForDpi(int index, int dpi) {
    using ForDpi = int(WINAPI*)(int, UINT);
    static const auto forDpi = NewerUserFunction<ForDpi>("GetSystemMetricsForDpi");
    return forDpi ? forDpi(index, static_cast<UINT>(dpi)) : GetSystemMetrics(index);
}

Size OuterSizeForClient(Size client, DWORD style, DWORD exStyle, int dpi) {
    const Size frame = FrameForDpi(style, exStyle, dpi);
    return {client.width + frame.width, client.height + frame.height};
}

}  // namespace platform
