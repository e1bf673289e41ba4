#include "platform/Form.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cassert>
#include <stdexcept>
#include <set>
#include <cstring>

#include "platform/Application.h"
#include "platform/Checkpoints.h"
#include "platform/Dpi.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Glyphs.h"
#include "platform/Panel.h"
#include "platform/TextInk.h"
#include "platform/Workarounds.h"

namespace platform {

namespace {

// Where the system would rescale a dialog and its controls by itself on a
// DPI change, the form does it instead, from its tables.
void OwnDpiChanges(HWND window, bool control) {
    using DialogBehavior = BOOL(WINAPI*)(HWND, int, int);
    static const auto dialog = NewerUserFunction<DialogBehavior>("SetDialogDpiChangeBehavior");
    static const auto controlBehavior = NewerUserFunction<DialogBehavior>("SetDialogControlDpiChangeBehavior");
    if (control && controlBehavior) controlBehavior(window, 3, 3);  // no font update, no relayout
    if (!control && dialog) dialog(window, 1, 1);                   // disable all
}

bool IsDown(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

// A dialog template with no items, naming the form's own window class, so the
// dialog manager runs the window while the controls come from the table.
std::vector<WORD> EmptyTemplate(const std::string& windowClass, DWORD style, DWORD exStyle) {
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* dt = reinterpret_cast<DLGTEMPLATE*>(t.data());
    dt->style = style;
    dt->dwExtendedStyle = exStyle;
    dt->cdit = 0;
    t.push_back(0);  // no menu
    for (char ch : windowClass) t.push_back(static_cast<unsigned char>(ch));
    t.push_back(0);  // class
    t.push_back(0);  // empty title: set afterwards from the ANSI caption
    return t;
}

// The program's icon at one size, made once for the process however many
// forms are opened: the icon file holds every size the shell asks for.
HICON ProgramIcon(int size) {
    static std::map<int, HICON> icons;
    HICON& icon = icons[size];
    if (!icon) {
        icon = static_cast<HICON>(
            LoadImageA(Application::Instance().InstanceHandle(), "MAINICON", IMAGE_ICON, size, size, 0));
    }
    return icon;
}

void RegisterFormClass(const std::string& name) {
    HINSTANCE inst = Application::Instance().InstanceHandle();
    const std::wstring wide = Widened(name);
    WNDCLASSEXW wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefDlgProcW;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = inst;
    wc.hIcon = ProgramIcon(GetSystemMetrics(SM_CXICON));
    wc.hIconSm = ProgramIcon(GetSystemMetrics(SM_CXSMICON));
    wc.lpszClassName = wide.c_str();
    RegisterClassOnce(wc);
}

// Controls that never draw their window text: it is theirs to name them by.
bool ShowsNoText(ControlKind k) { return k == ControlKind::ListView || k == ControlKind::HotKey; }

std::string NoMnemonic(const std::string& caption) {
    std::string out;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        out += caption[i];
    }
    return out;
}

bool Focusable(ControlKind k) {
    return k != ControlKind::Panel && k != ControlKind::Label && k != ControlKind::Icon;
}

}  // namespace

ControlDef Button(ControlDef def) {
    def.kind = ControlKind::Button;
    def.handCursor = true;
    return def;
}

// Every window of the program is a Unicode one; its texts pass here as UTF-8.
std::string WindowText(HWND window) {
    std::wstring s(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    s.resize(static_cast<size_t>(std::max(0, GetWindowTextW(window, s.data(), static_cast<int>(s.size())))));
    return Narrowed(s);
}

void PutWindowText(HWND window, const std::string& text) { SetWindowTextW(window, Widened(text).c_str()); }

void RegisterClassOnce(WNDCLASSEXW wc) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(wc.hInstance, wc.lpszClassName, &existing)) return;
    wc.cbSize = sizeof wc;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    if (!RegisterClassExW(&wc)) RaiseLastOSError();
}

LRESULT SelectionColours(HDC dc) {
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_HIGHLIGHT));
}

unsigned CurrentShiftState() {
    unsigned s = ssNone;
    if (IsDown(VK_SHIFT)) s |= ssShift;
    if (IsDown(VK_CONTROL)) s |= ssCtrl;
    if (IsDown(VK_MENU)) s |= ssAlt;
    return s;
}

Form::Form(FormDef def, HWND owner) : def_(std::move(def)), owner_(owner) {}

Form::~Form() {
    // Only the form layer's own closing steps can run now (see Destroy).
    Destroy();
}

void Form::SetGlyph(const std::string& control, const char* bitmapResource) {
    HWND b = Control(control);
    if (!b) return;
    glyphSources_[control] = bitmapResource;
    UniqueImageList images = GlyphImages(Application::Instance().InstanceHandle(), bitmapResource, dpi_);
    if (!images) return;
    HIMAGELIST il = images.get();
    glyphs_.push_back(std::move(images));  // the button only borrows it
    const ControlDef* d = DefinitionOf(b);
    if (d && d->caption.empty()) {
        // A picture alone: an image-only button, whose window text is never
        // drawn and names it for a screen reader (the short part of its hint).
        UniqueIcon icon(ImageList_GetIcon(il, 0, ILD_NORMAL));
        SetWindowLongA(b, GWL_STYLE, GetWindowLongA(b, GWL_STYLE) | BS_ICON);
        SendMessageA(b, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon.get()));
        glyphIcons_.push_back(std::move(icon));
        PutWindowText(b, ShortHint(d->hint));
        return;
    }
    // The glyph and the caption stand together, 2 pixels apart, centred in
    // the button's label area (its client less the 2-pixel edge each side).
    const int gap = Scale(2), edge = Scale(2);
    int glyphW = 0, glyphH = 0;
    ImageList_GetIconSize(il, &glyphW, &glyphH);
    const std::string caption = WindowText(b);
    RECT text{};
    {
        WindowDC dc(b);
        SelectGuard font(dc.get(), reinterpret_cast<HFONT>(SendMessageA(b, WM_GETFONT, 0, 0)));
        if (!caption.empty()) DrawTextW(dc.get(), Widened(caption).c_str(), -1, &text, DT_CALCRECT | DT_SINGLELINE);
    }
    RECT client;
    GetClientRect(b, &client);
    SetWindowLongA(b, GWL_STYLE, (GetWindowLongA(b, GWL_STYLE) & ~(BS_CENTER | BS_RIGHT)) | BS_LEFT);
    BUTTON_IMAGELIST bil{};
    bil.himl = il;
    bil.margin = {CentredGlyphMargin(client.right - 2 * edge, glyphW, gap, text.right - text.left), 0, gap, 0};
    bil.uAlign = BUTTON_IMAGELIST_ALIGN_LEFT;
    SendMessageA(b, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&bil));
}

void Form::SetTabStop(const std::string& control, bool tabStop) {
    HWND h = Control(control);
    if (!h) return;
    LONG style = GetWindowLongA(h, GWL_STYLE);
    style = tabStop ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP);
    SetWindowLongA(h, GWL_STYLE, style);
}

Form* Form::FromHandle(HWND hwnd) {
    // A form is a dialog with the form layer's procedure, its object in the
    // dialog's user slot. Both are read in the process; a window property
    // would cost Wine two trips to its server on every message.
    if (!hwnd || GetWindowLongPtrW(hwnd, DWLP_DLGPROC) != reinterpret_cast<LONG_PTR>(&Form::DialogProc)) return nullptr;
    return reinterpret_cast<Form*>(GetWindowLongPtrA(hwnd, DWLP_USER));
}

void Form::Create() {
    if (created_) return;
    RegisterFormClass(def_.windowClass);
    RegisterPanelClass(Application::Instance().InstanceHandle());

    DWORD style = WS_CLIPCHILDREN;
    DWORD ex = WS_EX_CONTROLPARENT;
    if (def_.popup) {
        style |= WS_POPUP;
    } else {
        style |= (owner_ ? WS_POPUP : WS_OVERLAPPED) | WS_CAPTION | WS_SYSMENU;
        if (def_.sizeable) style |= WS_THICKFRAME;
        else ex |= WS_EX_DLGMODALFRAME;
        if (def_.minimizeBox) style |= WS_MINIMIZEBOX;
        if (def_.maximizeBox) style |= WS_MAXIMIZEBOX;
        if (def_.helpButton && !def_.minimizeBox && !def_.maximizeBox) ex |= WS_EX_CONTEXTHELP;
        if (def_.toolWindow) ex |= WS_EX_TOOLWINDOW;
    }
    if (def_.topMost) ex |= WS_EX_TOPMOST;

    auto tmpl = EmptyTemplate(def_.windowClass, style, ex);
    PELMARK_CHECKPOINT("form: classes");
    HWND h = CreateDialogIndirectParamW(Application::Instance().InstanceHandle(),
                                        reinterpret_cast<DLGTEMPLATE*>(tmpl.data()), owner_,
                                        &Form::DialogProc, reinterpret_cast<LPARAM>(this));
    if (!h) RaiseLastOSError();
    hwnd_ = h;
    dpi_ = WindowDpi(hwnd_);
    OwnDpiChanges(hwnd_, false);
    PutWindowText(hwnd_, def_.caption);

    MakeFont();
    SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    SetIcons();
    PELMARK_CHECKPOINT("form: window and font");

    const Size outer = def_.measuredAtDpi ? Size{def_.place.width, def_.place.height}
                                          : OuterSizeForDpi({def_.place.width, def_.place.height}, style, ex, dpi_);
    SetWindowPos(hwnd_, nullptr, def_.place.left, def_.place.top, outer.width, outer.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    for (const ControlDef& cd : def_.controls) AddControl(cd);
    PELMARK_CHECKPOINT("form: controls");
    ApplyTabOrder();
    if (!def_.defaultButton.empty()) {
        if (HWND b = Control(def_.defaultButton)) {
            SendMessageA(hwnd_, DM_SETDEFID, GetDlgCtrlID(b), 0);
        }
    }
    created_ = true;
    // Opening, in order: the place (restored, then centred), then the hints.
    if (def_.placement != Placement::Free) {
        if (PlacementKeeper* keeper = Application::Instance().Placement()) keeper->Place(*this);
    }
    ApplyShowHint(Application::Instance().ShowHint());
    OnCreate();
}

void Form::SetIcons() {
    // At the window's DPI, so that the title bar and the taskbar are sharp.
    if (def_.popup) return;
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ProgramIcon(SystemMetricForDpi(SM_CXSMICON, dpi_))));
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(ProgramIcon(SystemMetricForDpi(SM_CXICON, dpi_))));
}

void Form::MakeFont() {
    // Points follow the DPI as every length does.
    font_ = PointFont(def_.fontName.c_str(), def_.fontPoints, dpi_);
}

int Form::Scale(int value) const { return ScaleForDpi(value, dpi_); }

Rect Form::TablePlace(const Rect& r) const {
    return RescaleDpi(r, def_.measuredAtDpi ? def_.measuredAtDpi : kDesignDpi, dpi_);
}

void Form::DpiChanged(int dpi, const RECT* suggested) {
    if (dpi <= 0 || dpi == dpi_) return;
    const int old = dpi_;
    dpi_ = dpi;
    const UniqueFont previous = std::move(font_);
    MakeFont();
    SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    SetIcons();
    // Every control starts again from its table at the new DPI; the parents'
    // sizes it was laid out against follow the same ratio. A control in a
    // font of the form's own keeps it: the form makes that one again.
    for (const auto& c : controls_) {
        c->place = TablePlace(c->def.place);
        c->designParent = {RescaleDpi(c->designParent.width, old, dpi_), RescaleDpi(c->designParent.height, old, dpi_)};
        if (reinterpret_cast<HFONT>(SendMessageA(c->hwnd, WM_GETFONT, 0, 0)) == previous.get()) {
            SendMessageA(c->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        }
        if (!c->def.managed) {
            SetWindowPos(c->hwnd, nullptr, c->place.left, c->place.top, c->place.width, c->place.height,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (suggested) {
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ApplyAnchors();
    // The glyphs again at the new size; the old lists go once the buttons have the new ones.
    const auto oldGlyphs = std::move(glyphs_);
    const auto oldIcons = std::move(glyphIcons_);
    glyphs_.clear();
    glyphIcons_.clear();
    for (const auto& [control, resource] : glyphSources_) SetGlyph(control, resource);
    OnDpiChanged(old);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

Size Form::ClientSizeOf(const std::string& parent) const {
    HWND p = parent.empty() ? hwnd_ : Control(parent);
    RECT rc{};
    if (p) GetClientRect(p, &rc);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

HWND Form::CreateControl(ControlState& c) {
    const ControlDef& d = c.def;
    HWND parent = d.parent.empty() ? hwnd_ : Control(d.parent);
    if (!parent) throw Error("Unknown parent control " + d.parent);
    c.designParent = ClientSizeOf(d.parent);
    c.place = TablePlace(d.place);

    DWORD style = WS_CHILD | WS_VISIBLE | d.style;
    DWORD ex = d.exStyle;
    std::string cls;
    switch (d.kind) {
        case ControlKind::Panel:
            cls = kPanelClass;
            style |= WS_CLIPSIBLINGS;
            ex |= WS_EX_CONTROLPARENT;
            break;
        case ControlKind::Label: cls = "STATIC"; break;
        case ControlKind::Icon: cls = "STATIC"; style |= SS_ICON; break;
        case ControlKind::Button: cls = "BUTTON"; break;
        case ControlKind::CheckBox: cls = "BUTTON"; style |= BS_AUTOCHECKBOX; break;
        case ControlKind::Edit:
            cls = "EDIT";
            style |= ES_AUTOHSCROLL;
            ex |= WS_EX_CLIENTEDGE;
            break;
        case ControlKind::ListView:
            cls = "SysListView32";
            ex |= WS_EX_CLIENTEDGE;
            break;
        case ControlKind::ComboBox: cls = "COMBOBOX"; style |= WS_VSCROLL; break;
        case ControlKind::HotKey: cls = "msctls_hotkey32"; ex |= WS_EX_CLIENTEDGE; break;
        case ControlKind::Custom: cls = d.windowClass; break;
    }
    if (d.tabOrder >= 0 && Focusable(d.kind)) style |= WS_TABSTOP;

    c.hwnd = CreateWindowExW(ex, Widened(cls).c_str(), Widened(d.caption).c_str(), style, c.place.left, c.place.top,
                             c.place.width, c.place.height, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId_++)),
                             Application::Instance().InstanceHandle(), nullptr);
    if (!c.hwnd) RaiseLastOSError();
    OwnDpiChanges(c.hwnd, true);
    if (d.kind == ControlKind::Panel) {
        SetWindowLongPtrA(c.hwnd, GWLP_USERDATA, static_cast<LONG_PTR>(d.bevel));
    }
    SendMessageA(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    if (ShowsNoText(d.kind) && !d.spoken.empty()) PutWindowText(c.hwnd, d.spoken);
    // An edit holds any value whole: its default limit would cut a long one
    // without a word, and a save would then write it back shortened.
    if (d.kind == ControlKind::Edit) SendMessageA(c.hwnd, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    SetWindowContextHelpId(c.hwnd, static_cast<DWORD>(d.helpContext));
    if (!d.hint.empty()) AddTool(c.hwnd, d.hint);
    return c.hwnd;
}

HWND Form::AddControl(const ControlDef& def) {
    auto c = std::make_unique<ControlState>();
    c->def = def;
    ControlState& state = *c;
    HWND h = CreateControl(state);
    controls_.push_back(std::move(c));
    byName_[state.def.name] = &state;
    byWindow_[h] = &state;
    return h;
}

void Form::RemoveControl(const std::string& name) {
    HWND h = Control(name);
    if (!h) return;
    // The control and everything inside it, at any depth (children come
    // after their parents in creation order).
    std::vector<const ControlState*> gone;
    std::set<std::string> names{name};
    for (const auto& c : controls_) {
        if (names.count(c->def.name) || names.count(c->def.parent)) {
            names.insert(c->def.name);
            gone.push_back(c.get());
        }
    }
    for (const ControlState* c : gone) {
        std::erase(pendingTools_, c->hwnd);
        if (tooltip_ && !c->def.hint.empty()) {
            TOOLINFOW ti{};
            ti.cbSize = sizeof(ti);
            ti.hwnd = hwnd_;
            ti.uId = reinterpret_cast<UINT_PTR>(c->hwnd);
            SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        }
        clickHandlers_.erase(c->def.name);
        byName_.erase(c->def.name);
        byWindow_.erase(c->hwnd);
    }
    DestroyWindow(h);
    std::erase_if(controls_, [&](const auto& c) { return std::find(gone.begin(), gone.end(), c.get()) != gone.end(); });
}

void Form::ApplyTabOrder() {
    // Siblings are ordered in the window list by their tab order; the dialog
    // manager walks that list for Tab and for a label's mnemonic.
    std::map<std::string, std::vector<const ControlState*>> byParent;
    for (const auto& c : controls_) {
        if (c->def.tabOrder >= 0) byParent[c->def.parent].push_back(c.get());
    }
    for (auto& [parent, list] : byParent) {
        std::stable_sort(list.begin(), list.end(), [](const ControlState* a, const ControlState* b) {
            return a->def.tabOrder < b->def.tabOrder;
        });
        // Controls made in their tab order already stand in it: a move to
        // where a window already is still costs Wine a trip to its server.
        HWND after = HWND_TOP;
        for (const ControlState* c : list) {
            if (GetWindow(c->hwnd, GW_HWNDPREV) != (after == HWND_TOP ? nullptr : after)) {
                SetWindowPos(c->hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            }
            after = c->hwnd;
        }
    }
    // A label stands just before the control its mnemonic focuses.
    for (const auto& c : controls_) {
        if (c->def.focusControl.empty()) continue;
        HWND target = Control(c->def.focusControl);
        if (!target) continue;
        const ControlDef* t = DefinitionOf(target);
        if (t && ShowsNoText(t->kind) && t->spoken.empty()) PutWindowText(target, NoMnemonic(c->def.caption));
        HWND before = GetWindow(target, GW_HWNDPREV);
        if (before == c->hwnd) continue;
        SetWindowPos(c->hwnd, before ? before : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void Form::ApplyAnchors() {
    if (!created_) return;
    for (const auto& c : controls_) {
        if (c->def.managed) continue;
        const Size now = ClientSizeOf(c->def.parent);
        const Rect r = AnchorRect(c->place, c->designParent, now, c->def.anchors);
        SetWindowPos(c->hwnd, nullptr, r.left, r.top, r.width, r.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

namespace {
bool strictNames = false;
}  // namespace

void Form::SetStrictNames(bool strict) { strictNames = strict; }

HWND Form::FindControl(const std::string& name) const {
    const auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second->hwnd;
}

HWND Form::Control(const std::string& name) const {
    HWND h = FindControl(name);
    if (!h) {
        assert(!"a control name the form does not have");
        if (strictNames) throw std::logic_error(def_.name + " has no control " + name);
    }
    return h;
}

const ControlDef* Form::DefinitionOf(HWND control) const {
    const auto it = byWindow_.find(control);
    return it == byWindow_.end() ? nullptr : &it->second->def;
}

std::vector<HWND> Form::Controls() const {
    std::vector<HWND> out;
    for (const auto& c : controls_) out.push_back(c->hwnd);
    return out;
}

HWND Form::ControlByHelpContext(int context) const {
    for (const auto& c : controls_) {
        if (c->def.helpContext == context) return c->hwnd;
    }
    return nullptr;
}

std::string Form::Text(const std::string& control) const {
    HWND h = Control(control);
    return h ? WindowText(h) : std::string();
}

void Form::SetText(const std::string& control, const std::string& text) {
    if (HWND h = Control(control)) PutWindowText(h, text);
}

void Form::SetCaption(const std::string& caption) {
    def_.caption = caption;
    if (hwnd_) PutWindowText(hwnd_, caption);
}

std::string Form::Caption() const {
    return hwnd_ ? WindowText(hwnd_) : def_.caption;
}

void Form::ApplyShowHint(bool show) {
    hintsShown_ = show;
    if (tooltip_) SendMessageA(tooltip_, TTM_ACTIVATE, show ? TRUE : FALSE, 0);
}

void Form::Focus(const std::string& control) {
    if (HWND h = Control(control)) SendMessageA(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(h), TRUE);
}

void Form::OnClick(const std::string& control, std::function<void()> handler) {
    clickHandlers_[control] = std::move(handler);
}

void Form::Show() {
    if (!created_) Create();
    ShowWindow(hwnd_, showCommand_);
    PELMARK_CHECKPOINT("form: ShowWindow");
    if (showCommand_ != SW_SHOWMINIMIZED) SetForegroundWindow(hwnd_);
    PELMARK_CHECKPOINT("form: foreground");
    if (Zooms()) Application::Instance().Placement()->Zoom(*this, true);
    PELMARK_CHECKPOINT("form: zoom");
    OnShow();
}

namespace {
struct DisableState {
    HWND keep;
    std::vector<HWND> disabled;
};
BOOL CALLBACK DisableOthers(HWND w, LPARAM lp) {
    auto* st = reinterpret_cast<DisableState*>(lp);
    if (w != st->keep && IsWindowVisible(w) && IsWindowEnabled(w)) {
        EnableWindow(w, FALSE);
        st->disabled.push_back(w);
    }
    return TRUE;
}
}  // namespace

int Form::ShowModal() {
    if (!created_) Create();
    Application& app = Application::Instance();
    if (app.Terminated()) return mrCancel;

    // Like any modal window: every other window of the thread is disabled
    // while it is up and re-enabled before it hides, so activation returns
    // to the window that opened it.
    DisableState st{hwnd_, {}};
    EnumThreadWindows(GetCurrentThreadId(), &DisableOthers, reinterpret_cast<LPARAM>(&st));
    modal_ = true;
    modalResult_ = mrNone;
    closeApproved_ = false;
    HWND active = GetActiveWindow();
    struct Busy {
        int count = Application::Instance().SuspendBusy();
        ~Busy() { Application::Instance().ResumeBusy(count); }
    } waitingForTheUser;
    Show();

    MSG msg;
    for (;;) {
        if (modalResult_ != mrNone && (closeApproved_ || RunCloseCheck())) break;
        if (app.Terminated()) {
            modalResult_ = mrCancel;
            break;
        }
        const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r <= 0) {
            // The application is ending: hand the quit on to the outer loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            app.Terminate();
            modalResult_ = mrCancel;
            break;
        }
        app.ProcessMessage(msg);
    }

    for (HWND w : st.disabled) {
        if (IsWindow(w)) EnableWindow(w, TRUE);
    }
    // The window that was active before comes back once this one is hidden.
    HWND back = active && IsWindow(active) && active != hwnd_ ? active : owner_;
    ShowWindow(hwnd_, SW_HIDE);
    if (back) {
        SetActiveWindow(back);
        if (Needed().managerHandsTheKeyboardBackLate) {
            // The window manager hands the keyboard on as this window goes,
            // and Wine takes it for `back` only while `back` is still there.
            // Let that happen now, before a caller closes `back` too (as a
            // close box answered in a question does); otherwise the keys go
            // nowhere. This waits until the manager's events have been quiet
            // for a moment, at most 250 ms.
            Application::WaitForWindowManager(250, 50, [](bool quiet) { return quiet; });
        }
    }
    modal_ = false;
    return modalResult_;
}

bool Form::RunCloseCheck() {
    bool canClose = false;
    try {
        canClose = OnCloseQuery();
    } catch (...) {
        Application::Instance().HandleCurrentException();
    }
    if (!canClose) modalResult_ = mrNone;
    closeApproved_ = canClose;
    return canClose;
}

void Form::Close() {
    if (modal_) {
        // The close check runs at once, so whatever it asks comes before
        // anything else the user does.
        modalResult_ = mrCancel;
        RunCloseCheck();
        return;
    }
    bool canClose = false;
    try {
        modalResult_ = mrCancel;
        canClose = OnCloseQuery();
    } catch (...) {
        Application::Instance().HandleCurrentException();
    }
    modalResult_ = mrNone;
    if (!canClose) return;
    if (Application::Instance().MainForm() == this) Application::Instance().Terminate();
    else ShowWindow(hwnd_, SW_HIDE);
}

void Form::Destroy() {
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

bool Form::Zooms() const {
    return (def_.placement == Placement::Remembered || def_.placement == Placement::RememberedCentred) &&
           Application::Instance().Placement();
}

void Form::Closing() {
    try {
        OnDestroy();
    } catch (...) {
        Application::Instance().HandleCurrentException();
    }
    if (Zooms()) {
        PlacementKeeper* keeper = Application::Instance().Placement();
        keeper->Zoom(*this, false);
        keeper->Store(*this);
    }
}

void Form::ClickButton(const std::string& name) {
    HWND b = Control(name);
    if (!b || !IsWindowEnabled(b) || !IsWindowVisible(b)) return;
    const ControlDef* d = DefinitionOf(b);
    if (d && d->modalResult != mrNone && modal_) modalResult_ = d->modalResult;
    auto it = clickHandlers_.find(name);
    if (it != clickHandlers_.end() && it->second) it->second();
    if (modal_ && modalResult_ != mrNone && !closeApproved_) RunCloseCheck();
}

void Form::HandleCommand(WPARAM wp, LPARAM lp) {
    const WORD id = LOWORD(wp);
    const WORD code = HIWORD(wp);
    HWND from = reinterpret_cast<HWND>(lp);
    if (id == IDCANCEL && (!from || !DefinitionOf(from))) {
        // Escape from the dialog manager: press the cancel button, if any.
        if (!def_.cancelButton.empty()) ClickButton(def_.cancelButton);
        return;
    }
    if (id == IDOK && (!from || !DefinitionOf(from))) {
        if (!def_.defaultButton.empty()) ClickButton(def_.defaultButton);
        return;
    }
    const ControlDef* d = from ? DefinitionOf(from) : nullptr;
    if (!d) return;
    if (d->kind == ControlKind::ComboBox && tooltip_ && (code == CBN_DROPDOWN || code == CBN_CLOSEUP)) {
        // No hint covers an open list: the hints rest while it is open.
        SendMessageA(tooltip_, TTM_POP, 0, 0);
        ApplyShowHint(code == CBN_CLOSEUP && Application::Instance().ShowHint());
    }
    if ((d->kind == ControlKind::Button || d->kind == ControlKind::CheckBox) && code == BN_CLICKED) {
        ClickButton(d->name);
        return;
    }
    OnControlCommand(from, code);
}

void Form::HelpRequest(HWND from) {
    // The help context of the control, or of its nearest enclosing control
    // that has one.
    for (HWND h = from; h && h != hwnd_; h = GetParent(h)) {
        const ControlDef* d = DefinitionOf(h);
        if (d && d->helpContext != 0) {
            OnHelp(d->helpContext);
            return;
        }
    }
    OnHelp(0);
}

bool Form::PreviewKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    const unsigned shift = CurrentShiftState();
    if (def_.keyPreview && OnKeyDown(msg.wParam, shift)) return true;
    if (msg.wParam == VK_F1 && shift == ssNone) {
        HelpRequest(GetFocus());
        return true;
    }
    return false;
}

bool Form::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

std::string ContextHelpText(const std::string& hint) {
    const std::string s = ShortHint(hint), l = LongHint(hint);
    return s == l ? s : s + "\r" + l;
}

void Form::OnHelp(int context) {
    if (context < 0) return;
    HWND control = ControlByHelpContext(context);
    if (!control) return;
    const ControlDef* d = DefinitionOf(control);
    const std::string text = d ? ContextHelpText(d->hint) : std::string();
    if (!text.empty()) Application::Instance().ShowInformation(text);
}

LRESULT Form::Handle(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
    handled = true;
    if (msg == PutBackMessage()) {
        PutBack();
        return 0;
    }
    switch (msg) {
        case WM_GETMINMAXINFO: {
            auto* mm = reinterpret_cast<MINMAXINFO*>(lp);
            const Size least = MinimumSize(), most = MaximumSize();
            if (least.width > 0) mm->ptMinTrackSize.x = least.width;
            if (least.height > 0) mm->ptMinTrackSize.y = least.height;
            if (most.width > 0) mm->ptMaxTrackSize.x = most.width;
            if (most.height > 0) mm->ptMaxTrackSize.y = most.height;
            return 0;
        }
        case WM_GETDPISCALEDSIZE: {
            // The system then suggests the size this form lays itself out
            // at, not its own linear guess.
            const Size size = ScaledOuterSize(static_cast<int>(wp));
            auto* answer = reinterpret_cast<SIZE*>(lp);
            answer->cx = size.width;
            answer->cy = size.height;
            return TRUE;
        }
        case WM_DPICHANGED:
            DpiChanged(LOWORD(wp), reinterpret_cast<const RECT*>(lp));
            if (tooltip_) FitHintWidth();
            return 0;
        case WM_WINDOWPOSCHANGING:
            // Wine's own answer would take the window manager's size back to
            // the limits for Wine alone, the X window staying as the manager
            // made it: the size is taken as it is, and put back from WM_SIZE.
            handled = Needed().managerIgnoresSizeLimits;
            return 0;
        case WM_SIZE:
            if (Needed().managerIgnoresSizeLimits && PutBackWithinLimits(wp)) return 0;
            if (tooltip_) FitHintWidth();
            ApplyAnchors();
            if (created_) OnResize();
            return 0;
        case WM_CLOSE:
            Close();
            return 0;
        case WM_DESTROY:
            Closing();
            return 0;
        case WM_COMMAND:
            HandleCommand(wp, lp);
            return 0;
        case WM_HELP: {
            auto* hi = reinterpret_cast<HELPINFO*>(lp);
            if (hi && hi->iContextType == HELPINFO_WINDOW) {
                HelpRequest(static_cast<HWND>(hi->hItemHandle));
            }
            return TRUE;
        }
        case WM_SETCURSOR: {
            if (Application::Instance().Busy()) {
                SetCursor(LoadCursor(nullptr, IDC_WAIT));
                return TRUE;
            }
            const ControlDef* d = DefinitionOf(reinterpret_cast<HWND>(wp));
            if (d && d->handCursor && LOWORD(lp) == HTCLIENT) {
                SetCursor(LoadCursor(nullptr, IDC_HAND));
                return TRUE;
            }
            handled = false;
            return 0;
        }
        case WM_NOTIFY: {
            LRESULT r = 0;
            if (OnNotify(reinterpret_cast<NMHDR*>(lp), r)) return r;
            handled = false;
            return 0;
        }
        case WM_TIMER:
            if (wp == kMakeTooltipTimer) {
                MakeTooltipNow();
                return 0;
            }
            [[fallthrough]];
        default: {
            LRESULT r = 0;
            if (OnMessage(msg, wp, lp, r)) return r;
            handled = false;
            return 0;
        }
    }
}

INT_PTR CALLBACK Form::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    try {
        if (msg == WM_INITDIALOG) {
            auto* self = reinterpret_cast<Form*>(lp);
            self->hwnd_ = hwnd;
            SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
            return FALSE;  // the form sets its own focus
        }
        auto* self = reinterpret_cast<Form*>(GetWindowLongPtrA(hwnd, DWLP_USER));
        if (!self) return FALSE;
        if (msg == WM_NCDESTROY) {
            SetWindowLongPtrA(hwnd, DWLP_USER, 0);
            self->hwnd_ = nullptr;
            return FALSE;
        }
        bool handled = false;
        const LRESULT r = self->Handle(msg, wp, lp, handled);
        if (!handled) return FALSE;
        switch (msg) {
            case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
            case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR:
            case WM_CTLCOLORSTATIC: case WM_COMPAREITEM: case WM_VKEYTOITEM:
            case WM_CHARTOITEM: case WM_QUERYDRAGICON:
                return static_cast<INT_PTR>(r);
            default:
                SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, r);
                return TRUE;
        }
    } catch (...) {
        Application::Instance().HandleCurrentException();
        return FALSE;
    }
}

}  // namespace platform
