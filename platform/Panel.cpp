#include "platform/Panel.h"

#include "platform/Application.h"
#include "platform/Form.h"
#include "platform/Text.h"

namespace platform {

const char kPanelClass[] = "TPanel";

namespace {

LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    try {
        switch (msg) {
            case WM_COMMAND: case WM_NOTIFY: case WM_DRAWITEM: case WM_MEASUREITEM:
            case WM_CTLCOLORSTATIC: case WM_CTLCOLORBTN: case WM_CTLCOLOREDIT:
            case WM_CTLCOLORLISTBOX: case WM_HSCROLL: case WM_VSCROLL: case WM_COMPAREITEM:
                // Controls report to their parent; the form is the one that listens.
                return SendMessageW(GetAncestor(hwnd, GA_ROOT), msg, wp, lp);
            case WM_PAINT: {
                PAINTSTRUCT ps;
                HDC dc = BeginPaint(hwnd, &ps);
                RECT rc;
                GetClientRect(hwnd, &rc);
                const auto bevel = static_cast<Bevel>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
                if (bevel == Bevel::Lowered) DrawEdge(dc, &rc, BDR_SUNKENOUTER, BF_RECT);
                else if (bevel == Bevel::Raised) DrawEdge(dc, &rc, BDR_RAISEDOUTER, BF_RECT);
                EndPaint(hwnd, &ps);
                return 0;
            }
            case WM_SIZE:
                InvalidateRect(hwnd, nullptr, TRUE);
                break;
            case WM_ERASEBKGND: {
                // The form chooses the background, as it does for itself.
                HDC dc = reinterpret_cast<HDC>(wp);
                auto brush = reinterpret_cast<HBRUSH>(
                    SendMessageA(GetAncestor(hwnd, GA_ROOT), WM_CTLCOLORDLG, wp, reinterpret_cast<LPARAM>(hwnd)));
                RECT rc;
                GetClientRect(hwnd, &rc);
                FillRect(dc, &rc, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
                return 1;
            }
            default:
                break;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    } catch (...) {
        Application::Instance().HandleCurrentException();
        return 0;
    }
}

}  // namespace

void RegisterPanelClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.lpfnWndProc = &PanelProc;
    wc.hInstance = instance;
    const std::wstring name = Widened(kPanelClass);
    wc.lpszClassName = name.c_str();
    RegisterClassOnce(wc);
}

}  // namespace platform
