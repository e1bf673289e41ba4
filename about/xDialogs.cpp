#include "about/xDialogs.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "platform/Application.h"
#include "platform/Dpi.h"
#include "platform/Form.h"
#include "platform/Handles.h"
#include "platform/Text.h"
#include "platform/TextInk.h"

using platform::ControlDef;
using platform::ControlKind;
using platform::Form;
using platform::FormDef;
using platform::Rect;

namespace about {

namespace {

struct ButtonInfo {
    const char* name;
    int result;
    const char* caption;
    const char* glyph;
};

const ButtonInfo kButtons[kButtonCount] = {
    {"Yes", IDYES, "&Yes", "BBYES"},
    {"No", IDNO, "&No", "BBNO"},
    {"OK", IDOK, "OK", "BBOK"},
    {"Cancel", IDCANCEL, "Cancel", "BBCANCEL"},
    {"Abort", IDABORT, "&Abort", "BBABORT"},
    {"Retry", IDRETRY, "&Retry", "BBRETRY"},
    {"Ignore", IDIGNORE, "&Ignore", "BBIGNORE"},
    {"All", 8, "&All", "BBALL"},
    {"NoToAll", 9, "N&o to All", "BBALL"},
    {"YesToAll", 10, "Yes to &All", "BBALL"},
    {"Help", 0, "&Help", "BBHELP"},
};

const char* const kTitles[kKindCount] = {"Warning", "Error", "Information", "Confirm", ""};

const LPCSTR kIcons[kKindCount] = {IDI_EXCLAMATION, IDI_HAND, IDI_ASTERISK, IDI_QUESTION, nullptr};

// The two controls besides the buttons, named as other programs see them.
const char kImage[] = "Image";
const char kMessage[] = "Message";

enum Bit { bYes, bNo, bOK, bCancel, bAbort, bRetry, bIgnore, bAll, bNoToAll, bYesToAll, bHelp };

bool Has(MsgButtons set, int bit) { return (set & (1u << bit)) != 0; }

// Measured caption widths, per variant, measured once on first use.
std::array<int, kButtonCount> gWidths[2];
int gWidthsDpi[2] = {0, 0};  // the DPI the widths were measured at; 0: not yet

std::string StripAmpersands(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c != '&') out += c;
    }
    return out;
}

class MessageForm : public Form {
public:
    MessageForm(FormDef def, std::string title, std::string message,
                std::vector<std::string> captions)
        : Form(std::move(def), platform::Application::Instance().MessageOwner()),
          title_(std::move(title)),
          message_(std::move(message)),
          captions_(std::move(captions)) {}

protected:
    bool OnKeyDown(WPARAM key, unsigned shift) override {
        if (key != 'C' || shift != platform::ssCtrl) return false;
        Beeper(0);
        CopyToClipboard(MessageCopyText(title_, message_, captions_));
        return true;
    }

private:
    void CopyToClipboard(const std::string& text) {
        if (!OpenClipboard(Handle())) return;
        EmptyClipboard();
        HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
        if (mem) {
            if (void* p = GlobalLock(mem)) {
                memcpy(p, text.c_str(), text.size() + 1);
                GlobalUnlock(mem);
                if (!SetClipboardData(CF_TEXT, mem)) GlobalFree(mem);
            } else {
                GlobalFree(mem);
            }
        }
        CloseClipboard();
    }

    std::string title_;
    std::string message_;
    std::vector<std::string> captions_;
};

platform::UniqueFont MakeFont(bool glyph, int dpi) {
    if (glyph) {
        // The form's own font: 8 points at the dialog's DPI (11 pixels at 96).
        return platform::PointFont("MS Sans Serif", 8, dpi);
    }
    // The system's message font at the dialog's DPI, where the system can say.
    using ForDpi = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
    static const auto forDpi = platform::NewerUserFunction<ForDpi>("SystemParametersInfoForDpi");
    if (forDpi && dpi != platform::kDesignDpi) {
        NONCLIENTMETRICSW ncm{};
        ncm.cbSize = sizeof(ncm);
        if (forDpi(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0, static_cast<UINT>(dpi))) {
            return platform::UniqueFont(CreateFontIndirectW(&ncm.lfMessageFont));
        }
    }
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof(ncm);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) return {};
    return platform::UniqueFont(CreateFontIndirectW(&ncm.lfMessageFont));
}

int Show(const std::string& text, MsgKind kind, MsgButtons buttons, bool glyph) {
    const int v = glyph ? 1 : 0;
    const CaptionTable plain = EnglishCaptions();
    const CaptionTable& table = glyph ? DialogCaptions() : plain;
    const int k = static_cast<int>(kind);

    // Laid out at the DPI of the screen the user is working on, and shown
    // in the middle of that screen.
    HWND owner = platform::Application::Instance().MessageOwner();
    const int dpi = platform::WindowDpi(owner);
    // Its work area: clear of the taskbar.
    const RECT screen = platform::MonitorOf(owner).rcWork;
    const int screenW = screen.right - screen.left, screenH = screen.bottom - screen.top;
    platform::UniqueFont font = MakeFont(glyph, dpi);
    platform::UniqueMemoryDC memory(CreateCompatibleDC(nullptr));
    HDC dc = memory.get();
    platform::SelectGuard selected(dc, font ? font.get() : GetStockObject(DEFAULT_GUI_FONT));

    MessageMetrics m;
    m.glyph = glyph;
    m.dpi = dpi;
    {
        const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        SIZE sz{};
        GetTextExtentPoint32A(dc, letters, 52, &sz);
        m.avgW = sz.cx / 52;
        m.avgH = sz.cy;
    }
    if (gWidthsDpi[v] != dpi) {
        for (int i = 0; i < kButtonCount; ++i) {
            RECT r{0, 0, 0, 0};
            DrawTextW(dc, platform::Widened(table.buttons[i]).c_str(), -1, &r, DT_CALCRECT | DT_LEFT | DT_SINGLELINE);
            gWidths[v][i] = r.right - r.left + platform::ScaleForDpi(8, dpi);
        }
        gWidthsDpi[v] = dpi;
    }
    {
        // The text wraps at half the screen's width, measured as it is
        // drawn: a last letter's ink may reach past the advance widths.
        const int half = screenW / 2;
        constexpr UINT kFormat = DT_EXPANDTABS | DT_WORDBREAK;
        auto measure = [&](int limit) {
            RECT r{0, 0, limit, 0};
            DrawTextW(dc, platform::Widened(text).c_str(), -1, &r, kFormat | DT_CALCRECT);
            m.textW = r.right - r.left;
            m.textH = r.bottom - r.top;
            return std::max(m.textW, platform::InkRight(dc, text, kFormat, m.textW, m.textH));
        };
        int drawn = measure(half);
        if (drawn > half) drawn = measure(half - (drawn - m.textW));
        m.textW = drawn;
    }

    m.hasIcon = kIcons[k] != nullptr;
    std::vector<int> asked;
    for (int i = 0; i < kButtonCount; ++i) {
        if (Has(buttons, i)) {
            asked.push_back(i);
            m.widestCaption = std::max(m.widestCaption, gWidths[v][i]);
        }
    }
    m.buttonCount = static_cast<int>(asked.size());
    const MessageLayout lay = LayoutMessageDialog(m);

    const std::string title =
        kind == MsgKind::Custom ? platform::Application::Instance().Title() : table.titles[k];

    // The frame as the system draws it on that screen, at its DPI.
    const platform::Size outer = platform::OuterSizeForClient(
        lay.client, WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, dpi);
    const int ow = outer.width, oh = outer.height;
    FormDef def{.windowClass = glyph ? "TxMessageForm" : "TMessageForm", .name = "MessageForm", .caption = title,
                .place = {screen.left + std::max(0, (screenW - ow) / 2), screen.top + std::max(0, (screenH - oh) / 2),
                          ow, oh},
                .sizeable = false, .helpButton = false, .keyPreview = true, .measuredAtDpi = dpi};
    if (m.hasIcon) def.controls.push_back({.name = kImage, .kind = ControlKind::Icon, .place = lay.icon});
    // An "&" marks the letter after it (a caption quoted in the text); the
    // callers double the "&" of every name or path they put in.
    def.controls.push_back({.name = kMessage, .place = lay.text, .caption = text});
    const int defIdx = DefaultButtonIndex(buttons);
    const int cancelIdx = CancelButtonIndex(buttons);
    std::vector<std::string> captions;
    for (size_t i = 0; i < asked.size(); ++i) {
        const int b = asked[i];
        def.controls.push_back({.name = kButtons[b].name, .kind = ControlKind::Button, .place = lay.buttons[i],
                                .caption = table.buttons[b], .tabOrder = static_cast<int>(i),
                                .modalResult = kButtons[b].result, .handCursor = glyph,
                                .style = DWORD(b == defIdx ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON)});
        captions.push_back(StripAmpersands(table.buttons[b]));
    }
    if (defIdx >= 0) def.defaultButton = kButtons[defIdx].name;
    if (cancelIdx >= 0) def.cancelButton = kButtons[cancelIdx].name;
    if (glyph) {
        def.fontName = "MS Sans Serif";
        def.fontPoints = 8;
    }

    MessageForm form(def, title, text, captions);
    form.Create();
    if (!glyph && font) {
        // The plain variant speaks in the system's message font.
        for (HWND c : form.Controls()) {
            SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        }
    }
    if (HWND icon = form.FindControl(kImage)) {
        HICON picture = static_cast<HICON>(
            LoadImageA(nullptr, kIcons[k], IMAGE_ICON, lay.icon.width, lay.icon.height, LR_SHARED));
        if (!picture) picture = LoadIconA(nullptr, kIcons[k]);
        SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(picture), 0);
        SetWindowPos(icon, nullptr, lay.icon.left, lay.icon.top, lay.icon.width, lay.icon.height, SWP_NOZORDER);
    }
    if (glyph) {
        for (int b : asked) form.SetGlyph(kButtons[b].name, kButtons[b].glyph);
    }
    if (defIdx >= 0) form.Focus(kButtons[defIdx].name);
    else if (!asked.empty()) form.Focus(kButtons[asked.front()].name);

    if (Has(buttons, bHelp)) {
        // Help leaves the dialog open; no help file is ever opened.
        form.OnClick(kButtons[bHelp].name, [] {});
    }
    const int result = form.ShowModal();
    form.Destroy();
    return result;
}

}  // namespace

int ButtonResult(int index) { return kButtons[index].result; }

CaptionTable& DialogCaptions() {
    static CaptionTable table;
    return table;
}

CaptionTable EnglishCaptions() {
    CaptionTable t;
    for (int i = 0; i < kButtonCount; ++i) t.buttons[i] = kButtons[i].caption;
    for (int i = 0; i < kKindCount; ++i) t.titles[i] = kTitles[i];
    return t;
}

MessageLayout LayoutMessageDialog(const MessageMetrics& m) {
    MessageLayout l;
    l.hMargin = 8 * m.avgW / 4;
    l.vMargin = 8 * m.avgH / 8;
    l.hSpacing = 10 * m.avgW / 4;
    l.vSpacing = 10 * m.avgH / 8;
    l.buttonWidth = std::max(50 * m.avgW / 4, m.widestCaption);
    l.buttonHeight = (m.glyph ? 16 : 14) * m.avgH / 8;
    l.buttonSpacing = 4 * m.avgW / 4;

    const int iconSize = platform::ScaleForDpi(32, m.dpi);
    int blockW = m.textW, blockH = m.textH;
    if (m.hasIcon) {
        blockW = m.textW + iconSize + l.hSpacing;
        blockH = std::max(m.textH, iconSize);
    }
    const int rowW =
        m.buttonCount > 0 ? m.buttonCount * l.buttonWidth + (m.buttonCount - 1) * l.buttonSpacing : 0;
    l.client.width = std::max(blockW, rowW) + 2 * l.hMargin;
    l.client.height = blockH + l.buttonHeight + l.vSpacing + 2 * l.vMargin;
    if (m.hasIcon) l.icon = {l.hMargin, l.vMargin, iconSize, iconSize};
    l.text = {l.hMargin + (blockW - m.textW), l.vMargin, m.textW, m.textH};
    const int top = blockH + l.vMargin + l.vSpacing;
    int left = (l.client.width - rowW) / 2;
    for (int i = 0; i < m.buttonCount; ++i) {
        l.buttons.push_back({left, top, l.buttonWidth, l.buttonHeight});
        left += l.buttonWidth + l.buttonSpacing;
    }
    return l;
}

int DefaultButtonIndex(MsgButtons buttons) {
    for (int b : {bOK, bYes, bRetry}) {
        if (Has(buttons, b)) return b;
    }
    return -1;
}

int CancelButtonIndex(MsgButtons buttons) {
    for (int b : {bCancel, bNo, bOK}) {
        if (Has(buttons, b)) return b;
    }
    return -1;
}

std::string Literal(const std::string& value) {
    std::string out;
    for (char c : value) {
        out += c;
        if (c == '&') out += '&';
    }
    return out;
}

std::string MessageCopyText(const std::string& title, const std::string& message,
                            const std::vector<std::string>& captions) {
    const std::string dashes(27, '-');
    const std::string nl = "\r\n";
    // Every line of the copy ends with CR LF, also those that the message
    // breaks with a lone CR or LF.
    std::string text;
    for (size_t i = 0; i < message.size(); ++i) {
        const char c = message[i];
        if (c == '\r' || c == '\n') {
            text += nl;
            if (c == '\r' && i + 1 < message.size() && message[i + 1] == '\n') ++i;
        } else if (c == '&' && i + 1 < message.size() && message[i + 1] == '&') {
            text += c;  // a value's "&", doubled to be shown as written
            ++i;
        } else {
            text += c;
        }
    }
    std::string row;
    for (const auto& c : captions) row += StripAmpersands(c) + "   ";
    return dashes + nl + title + nl + dashes + nl + text + nl + dashes + nl + row + nl + dashes +
           nl;
}

BOOL(WINAPI* Beeper)(UINT type) = &MessageBeep;

void ShowError(const std::string& text) { ShowMessageDialog(text, MsgKind::Error, mbCancel, 0); }

int ShowMessageDialog(const std::string& text, MsgKind kind, MsgButtons buttons, int) {
    return Show(text, kind, buttons, false);
}

int ShowGlyphMessageDialog(const std::string& text, MsgKind kind, MsgButtons buttons, int) {
    return Show(text, kind, buttons, true);
}

}  // namespace about
