#include "platform/ColorBox.h"

#include <commdlg.h>

#include <algorithm>
#include <cmath>

#include "platform/Dpi.h"
#include "platform/Handles.h"
#include "platform/SystemLibrary.h"

namespace platform {

namespace {

const char kLastProp[] = "Pelmark.ColorBox.Last";
const char kStateProp[] = "Pelmark.ColorBox.State";  // while its list is open
constexpr UINT_PTR kListOpen = 1, kItemChosen = 2;

}  // namespace

std::string ColorBoxItemText(HWND box, int item) {
    const LRESULT n = SendMessageA(box, CB_GETLBTEXTLEN, item, 0);
    if (n <= 0) return {};
    std::string s(static_cast<size_t>(n) + 1, '\0');
    s.resize(static_cast<size_t>(std::max<LRESULT>(0, SendMessageA(box, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(s.data())))));
    return s;
}

const std::vector<NamedColor>& ListedColors() {
    static const std::vector<NamedColor> colors = {
        {0x000000, "Black"}, {0x000080, "Maroon"}, {0x008000, "Green"}, {0x008080, "Olive"},
        {0x800000, "Navy"}, {0x800080, "Purple"}, {0x808000, "Teal"}, {0x808080, "Gray"},
        {0xC0C0C0, "Silver"}, {0x0000FF, "Red"}, {0x00FF00, "Lime"}, {0x00FFFF, "Yellow"},
        {0xFF0000, "Blue"}, {0xFF00FF, "Fuchsia"}, {0xFFFF00, "Aqua"}, {0xFFFFFF, "White"},
        {0xC0DCC0, "Money Green"}, {0xF0CAA6, "Sky Blue"}, {0xF0FBFF, "Cream"}, {0xA4A0A0, "Medium Gray"},
        {0x80000000, "Scroll Bar"}, {0x80000001, "Background"}, {0x80000002, "Active Caption"},
        {0x80000003, "Inactive Caption"}, {0x80000004, "Menu"}, {0x80000005, "Window"},
        {0x80000006, "Window Frame"}, {0x80000007, "Menu Text"}, {0x80000008, "Window Text"},
        {0x80000009, "Caption Text"}, {0x8000000A, "Active Border"}, {0x8000000B, "Inactive Border"},
        {0x8000000C, "Application Workspace"}, {0x8000000D, "Highlight"}, {0x8000000E, "Highlight Text"},
        {0x8000000F, "Button Face"}, {0x80000010, "Button Shadow"}, {0x80000011, "Gray Text"},
        {0x80000012, "Button Text"}, {0x80000013, "Inactive Caption Text"}, {0x80000014, "Button Highlight"},
        {0x80000015, "3D Dark Shadow"}, {0x80000016, "3D Light"}, {0x80000017, "Info Text"},
        {0x80000018, "Info Background"}, {0x8000001A, "Hot Light"}, {0x8000001B, "Gradient Active Caption"},
        {0x8000001C, "Gradient Inactive Caption"}, {0x8000001D, "Menu Highlight"}, {0x8000001E, "Menu Bar"},
    };
    return colors;
}

COLORREF ColorToRGB(uint32_t value) {
    if ((value & 0xFF000000u) == 0x80000000u) return GetSysColor(static_cast<int>(value & 0xFF));
    return static_cast<COLORREF>(value & 0x00FFFFFFu);
}

namespace {
double Luminance(COLORREF c) {
    auto channel = [](BYTE v) {
        const double x = v / 255.0;
        return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(GetRValue(c)) + 0.7152 * channel(GetGValue(c)) + 0.0722 * channel(GetBValue(c));
}
}  // namespace

double ContrastRatio(COLORREF a, COLORREF b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

COLORREF MarkerColor(COLORREF cell, COLORREF text) {
    // 3:1 is what a graphical mark needs to be told apart from its ground.
    constexpr double kEnough = 3.0;
    if (ContrastRatio(cell, text) >= kEnough) return text;
    const COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255);
    return ContrastRatio(cell, black) >= ContrastRatio(cell, white) ? black : white;
}

void FillColorBox(HWND combo) {
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    int i = static_cast<int>(SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Custom...")));
    SendMessageA(combo, CB_SETITEMDATA, i, 0);
    for (const auto& c : ListedColors()) {
        i = static_cast<int>(SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c.name)));
        SendMessageA(combo, CB_SETITEMDATA, i, static_cast<LPARAM>(c.value));
    }
}

void SetColorBoxValue(HWND combo, uint32_t value) {
    const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    int found = 0;  // not listed: the custom entry carries it
    for (int i = 1; i < count; ++i) {
        if (static_cast<uint32_t>(SendMessageA(combo, CB_GETITEMDATA, i, 0)) == value) {
            found = i;
            break;
        }
    }
    if (found == 0) SendMessageA(combo, CB_SETITEMDATA, 0, static_cast<LPARAM>(value));
    SendMessageA(combo, CB_SETCURSEL, found, 0);
    SetPropA(combo, kLastProp, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(found)));
}

uint32_t ColorBoxValue(HWND combo) {
    int i = static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0));
    if (i < 0) i = 0;
    return static_cast<uint32_t>(SendMessageA(combo, CB_GETITEMDATA, i, 0));
}

void MeasureColorBoxItem(MEASUREITEMSTRUCT* mis, int dpi) { mis->itemHeight = ScaleForDpi(16, dpi); }

void DrawColorBoxItem(const DRAWITEMSTRUCT* dis, int dpi) {
    if (dis->itemID == static_cast<UINT>(-1)) return;
    HDC dc = dis->hDC;
    const bool selected = (dis->itemState & ODS_SELECTED) != 0;
    FillRect(dc, &dis->rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const uint32_t value = static_cast<uint32_t>(dis->itemData);
    const int edge = ScaleForDpi(2, dpi);
    RECT swatch{dis->rcItem.left + edge, dis->rcItem.top + edge, dis->rcItem.left + edge + ScaleForDpi(20, dpi),
                dis->rcItem.bottom - edge};
    UniqueBrush brush(CreateSolidBrush(ColorToRGB(value)));
    FillRect(dc, &swatch, brush.get());
    FrameRect(dc, &swatch, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    const std::string label = ColorBoxItemText(dis->hwndItem, static_cast<int>(dis->itemID));
    RECT tr = dis->rcItem;
    tr.left = swatch.right + ScaleForDpi(4, dpi);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextA(dc, label.c_str(), -1, &tr, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (dis->itemState & ODS_FOCUS) DrawFocusRect(dc, &dis->rcItem);
}

void ColorBoxSelChange(HWND owner, HWND combo) {
    const int sel = static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0));
    if (sel != 0) {
        SetPropA(combo, kLastProp, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(sel)));
        return;
    }
    static COLORREF custom[16] = {};
    CHOOSECOLORA cc{};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = owner;
    cc.rgbResult = ColorToRGB(static_cast<uint32_t>(SendMessageA(combo, CB_GETITEMDATA, 0, 0)));
    cc.lpCustColors = custom;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    static const auto chooseColor = SystemFunction<decltype(&ChooseColorA)>("comdlg32.dll", "ChooseColorA");
    if (chooseColor(&cc)) {
        SetColorBoxValue(combo, cc.rgbResult & 0x00FFFFFFu);
    } else {
        const int last = static_cast<int>(reinterpret_cast<UINT_PTR>(GetPropA(combo, kLastProp)));
        SendMessageA(combo, CB_SETCURSEL, last, 0);
    }
}

void ColorBoxCommand(HWND owner, HWND combo, WORD code) {
    // In an open list the keys only move through it: a colour is taken when
    // it is chosen (Enter, or a click), as the list closes.
    const auto state = reinterpret_cast<UINT_PTR>(GetPropA(combo, kStateProp));
    auto setState = [combo](UINT_PTR s) { SetPropA(combo, kStateProp, reinterpret_cast<HANDLE>(s)); };
    switch (code) {
        case CBN_DROPDOWN:
            setState(kListOpen);
            break;
        case CBN_SELENDOK:
            if (state & kListOpen) setState(state | kItemChosen);
            break;
        case CBN_SELCHANGE:
            if (!(state & kListOpen)) ColorBoxSelChange(owner, combo);  // a closed box takes it at once
            break;
        case CBN_CLOSEUP:
            setState(0);
            if (state & kItemChosen) {
                ColorBoxSelChange(owner, combo);
            } else {
                // Closed without a choice: the colour it had.
                SendMessageA(combo, CB_SETCURSEL, reinterpret_cast<UINT_PTR>(GetPropA(combo, kLastProp)), 0);
            }
            break;
        default:
            break;
    }
}

void SetColorBoxHeight(HWND combo, int height) {
    // An owner-drawn box is as tall as its selection field plus a frame of
    // its own (and Wine reads the field back larger than it was set): the
    // field is set once, the box measured, and the field set again by the
    // difference.
    auto tall = [combo] {
        RECT r;
        GetWindowRect(combo, &r);
        return static_cast<int>(r.bottom - r.top);
    };
    SendMessageA(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), height);
    const int got = tall();
    if (got != height) SendMessageA(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), std::max(1, 2 * height - got));
}

}  // namespace platform
