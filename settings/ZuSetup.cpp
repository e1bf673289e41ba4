#include "settings/ZuSetup.h"

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include "about/xDialogs.h"
#include "inieditor/ZuEditINIFile.h"
#include "platform/Application.h"
#include "platform/Centring.h"
#include "platform/ColorBox.h"
#include "platform/Dpi.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Names.h"
#include "platform/SystemLibrary.h"

using platform::ControlDef;
using platform::ControlKind;
using platform::Button;

namespace settings {

using C = SetupControls;

namespace {

// The folder chosen, by its long name, as the user named it ("" for none).
std::string PathOf(LPCITEMIDLIST item) {
    static const auto pathOf = platform::SystemFunction<decltype(&SHGetPathFromIDListW)>("shell32.dll", "SHGetPathFromIDListW");
    wchar_t path[MAX_PATH] = {};
    return pathOf(item, path) ? platform::Narrowed(path) : std::string();
}

constexpr int kResultRestore = 4;
constexpr int kResultDefaults = 5;
const char kRootHint[] = "Root folder of all Agent data files";

using about::ShowError;

ControlDef Label(const char* name, int y, const char* caption, const char* target, const char* hint, int help) {
    return {.name = name, .parent = C::PanelSettings, .place = {4, y + 4, 104, 13}, .caption = caption, .hint = hint,
            .helpContext = help, .focusControl = target ? target : ""};
}

ControlDef FolderEdit(const char* name, int y, const char* hint, int help) {
    using namespace platform;
    return {.name = name, .kind = ControlKind::Edit, .parent = C::PanelSettings, .place = {112, y, 281, 21},
            .anchors = akLeft | akTop | akRight, .hint = hint, .helpContext = help, .style = ES_READONLY};
}

ControlDef FolderButton(const char* name, int y, const char* hint, int help, int tab) {
    using namespace platform;
    return Button({.name = name, .parent = C::PanelSettings, .place = {396, y, 21, 21}, .anchors = akTop | akRight,
                   .hint = hint, .helpContext = help, .tabOrder = tab});
}

constexpr int kColorBoxHeight = 22;  // closed; the table's height is its open list's

ControlDef ColorBox(const char* name, int y, const char* hint, int help, int tab) {
    using namespace platform;
    return {.name = name, .kind = ControlKind::ComboBox, .parent = C::PanelSettings, .place = {112, y, 305, 220},
            .anchors = akLeft | akTop | akRight, .hint = hint, .helpContext = help, .tabOrder = tab,
            .style = CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS};
}

ControlDef Check(const char* name, int y, int width, const char* caption, const char* hint, int help, int tab) {
    using namespace platform;
    return {.name = name, .kind = ControlKind::CheckBox, .parent = C::PanelSettings, .place = {112, y, width, 17},
            .anchors = akLeft | akTop | akRight, .caption = caption, .hint = hint, .helpContext = help,
            .tabOrder = tab, .handCursor = true};
}

ControlDef BarButton(const char* name, int left, const char* caption, const char* hint, int help, int tab,
                     int result) {
    using namespace platform;
    return Button({.name = name, .parent = C::PanelButtons, .place = {left, 4, 75, 25}, .anchors = akTop | akRight,
                   .caption = caption, .hint = hint, .helpContext = help, .tabOrder = tab, .modalResult = result,
                   .style = result == mrOk ? DWORD(BS_DEFPUSHBUTTON) : 0});
}

platform::FormDef SetupFormDef() {
    using namespace platform;
    FormDef d{.windowClass = "TFrmZuSetup", .name = "FrmZuSetup", .caption = "Pelmark - Setup", .place = {0, 0, 437, 296},
              .minSize = {329, 296}, .maxSize = {0, 296}, .keyPreview = true, .defaultButton = C::BitBtnOk,
              .cancelButton = C::BitBtnCancel, .placement = Placement::RememberedCentred};
    const char* stayHint = "Color for profiles that does not close the Valdrix after profile is launched.";
    const char* closeHint = "Color for profiles that closes the Valdrix after profile is launched.";
    const char* hotHint = "The hotkey for activating Pelmark when not active (minimized, hidden etc.)";
    d.controls = {
        {.name = C::PanelSettings, .kind = ControlKind::Panel, .place = {4, 4, 421, 225}, .anchors = akAll,
         .tabOrder = 0, .bevel = Bevel::Lowered},
        {.name = C::PanelButtons, .kind = ControlKind::Panel, .place = {4, 232, 421, 33},
         .anchors = akLeft | akRight | akBottom, .tabOrder = 1, .bevel = Bevel::Lowered},
        Label(C::LabelAgentFolder, 4, "&Agent folder", C::BitBtnAgentFolder, kRootHint, 1),
        FolderEdit(C::EditAgentFolder, 4, "Folder where the Agent.exe program is located.", 1),
        FolderButton(C::BitBtnAgentFolder, 4, "Select the folder where the Agent.exe program is located.", 1, 0),
        Label(C::LabelDefaultIniPath, 28, "Default &ini file", C::BitBtnDefaultIniPath, kRootHint, 2),
        FolderEdit(C::EditDefaultIniPath, 28,
                   "Folder that contains a \"naked\" ini file (normally located together with Agent.exe)", 2),
        FolderButton(C::BitBtnDefaultIniPath, 28,
                     "Select the folder that contains a \"naked\" ini file (normally located together with Agent.exe)",
                     2, 1),
        Label(C::LabelProfileFolder, 52, "&Profile folder", C::BitBtnProfileFolder, kRootHint, 3),
        FolderEdit(C::EditProfileFolder, 52, "Root folder for all your profiles.", 3),
        FolderButton(C::BitBtnProfileFolder, 52, "Select a root folder for all your profiles.", 3, 2),
        // It stands just before its field, which it names for screen
        // readers; its key, Alt+S, focuses nothing (see OnKeyDown).
        Label(C::LabelDefaultSMTPServer, 76, "Default &SMTP server", C::EditDefaultSMTPServer, "", 4),
        {.name = C::EditDefaultSMTPServer, .kind = ControlKind::Edit, .parent = C::PanelSettings,
         .place = {112, 76, 305, 21}, .anchors = akLeft | akTop | akRight, .hint = "Default e-mail server",
         .helpContext = 4, .tabOrder = 3},
        Label(C::LabelColorLaunchStay, 100, "&Launch - close color", C::ColorBoxLaunchStay, stayHint, 5),
        ColorBox(C::ColorBoxLaunchStay, 100, stayHint, 5, 4),
        Label(C::LabelColorLaunchClose, 124, "Launch + cl&ose color", C::ColorBoxLaunchClose, closeHint, 6),
        ColorBox(C::ColorBoxLaunchClose, 124, closeHint, 6, 5),
        Label(C::LabelAppHotKey, 148, "Application &hotkey", C::HotKeyAppHotKey, hotHint, 7),
        {.name = C::HotKeyAppHotKey, .kind = ControlKind::HotKey, .parent = C::PanelSettings,
         .place = {112, 148, 121, 19}, .anchors = akLeft | akTop | akRight, .hint = hotHint, .helpContext = 7,
         .tabOrder = 6},
        Check(C::CheckBoxSplashEnabledThis, 172, 201, "Enable SplashScreen for this program",
              "Turns on or off the startup SplashScreen for this program.", 8, 7),
        Check(C::CheckBoxSplashEnabledComp, 188, 257, "Enable SplashScreen for all Brennvik programs",
              "Turns on or off the startup SplashScreen for all programs made by Brennvik.\r\nThis overrides the "
              "SplashScreen settings for all Brennvik programs.",
              9, 8),
        Check(C::CheckBoxSplashEnabledAll, 204, 225, "Enable SplashScreen for all other programs",
              "Turns on or off the startup SplashScreen for all programs (NOTE ! This is an experimental thing, it "
              "might not work on other programs, no harm done though).\r\nThis overrides all other SplashScreen "
              "settings",
              10, 9),
        Button({.name = C::BitBtnEditINIFile, .parent = C::PanelButtons, .place = {4, 4, 75, 25},
                .caption = ".INI &file",
                .hint = "Edit default .INI file|Opens a dialog where you can edit all the values defined in the "
                        "default .INI file.",
                .helpContext = 15, .tabOrder = 4}),
        BarButton(C::BitBtnDefaults, 112, "&Defaults", "Set all settings to default values.", 11, 0, kResultDefaults),
        BarButton(C::BitBtnRestore, 188, "&Restore", "Restore all settings from the registry.", 12, 1, kResultRestore),
        BarButton(C::BitBtnOk, 264, "OK", "Commit all settings changes and exit dialog.", 13, 2, mrOk),
        BarButton(C::BitBtnCancel, 340, "&Cancel", "Cancel all settings and exit dialog.", 14, 3, mrAbort),
    };
    return d;
}

}  // namespace

bool IsValidAgentIni(const std::string& path) {
    if (!platform::FileExists(path)) return false;
    platform::IniFile ini(path);
    std::vector<std::string> keys;
    ini.ReadSection("URL", keys);
    for (const auto& k : keys) {
        if (platform::FoldedName(k) == "FORCEAGENTCLIENT") return true;
    }
    return false;
}

bool AgentFolderAcceptable(const std::string& folder) {
    return platform::FileExists(platform::IncludeTrailingBackslash(folder) + "Agent.exe");
}

bool IniFolderAcceptable(const std::string& folder) {
    const std::string ini = platform::IncludeTrailingBackslash(folder) + "Agent.ini";
    return platform::FileExists(ini) && IsValidAgentIni(ini);
}

uint16_t ShortcutFromHotKey(WORD hotKey) {
    const BYTE key = LOBYTE(hotKey), mods = HIBYTE(hotKey);
    uint16_t s = key & 0x1FFF;
    if (mods & HOTKEYF_SHIFT) s |= 0x2000;
    if (mods & HOTKEYF_CONTROL) s |= 0x4000;
    if (mods & HOTKEYF_ALT) s |= 0x8000;
    return s;
}

WORD HotKeyFromShortcut(uint16_t shortcut) {
    BYTE mods = 0;
    if (shortcut & 0x2000) mods |= HOTKEYF_SHIFT;
    if (shortcut & 0x4000) mods |= HOTKEYF_CONTROL;
    if (shortcut & 0x8000) mods |= HOTKEYF_ALT;
    return MAKEWORD(static_cast<BYTE>(shortcut & 0xFF), mods);
}

// --- the folder browser ---

int CALLBACK TFolderDialog::Callback(HWND hwnd, UINT msg, LPARAM lp, LPARAM data) {
    auto* self = reinterpret_cast<TFolderDialog*>(data);
    try {
        if (msg == BFFM_INITIALIZED) {
            self->window_ = hwnd;
            SetWindowTextW(hwnd, platform::Widened(self->Title).c_str());
            // It opens at the folder in the field, and that folder is
            // judged at once: OK is enabled only where the check allows.
            // The browser knows no folder by a name with a trailing "\"
            // (but a drive's root).
            std::string start = self->Directory;
            if (start.size() > 3 && start.back() == '\\') start.pop_back();
            const bool there = platform::DirectoryExists(start);
            const std::wstring wide = platform::Widened(there ? start : std::string());
            if (there) SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(wide.c_str()));
            SendMessageW(hwnd, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(wide.c_str()));
            SendMessageA(hwnd, BFFM_ENABLEOK, 0, there && !self->OnChange);
            if (there && self->OnChange) self->OnChange(*self, start);
            // Centred across the owner, a quarter of its height below its top.
            if (self->owner_) {
                RECT o, w;
                GetWindowRect(self->owner_, &o);
                GetWindowRect(hwnd, &w);
                const POINT at = platform::BrowserPosition(o, {w.right - w.left, w.bottom - w.top},
                                                           platform::MonitorOf(self->owner_));
                SetWindowPos(hwnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            }
        } else if (msg == BFFM_SELCHANGED) {
            const std::string path = PathOf(reinterpret_cast<LPCITEMIDLIST>(lp));
            const bool fs = !path.empty();
            SendMessageW(hwnd, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(platform::Widened(path).c_str()));
            SendMessageA(hwnd, BFFM_ENABLEOK, 0, fs ? TRUE : FALSE);
            if (fs && self->OnChange) self->OnChange(*self, path);
        }
    } catch (...) {
        platform::Application::Instance().HandleCurrentException();
    }
    return 0;
}

void TFolderDialog::EnableOK(bool enable) {
    if (!window_) return;
    SendMessageA(window_, BFFM_ENABLEOK, 0, enable ? TRUE : FALSE);
    // Some browsers re-check the selection themselves after telling us of
    // it; the verdict is given once more after that.
    PostMessageA(window_, BFFM_ENABLEOK, 0, enable ? TRUE : FALSE);
}

bool TFolderDialog::Execute(HWND owner) {
    owner_ = owner;
    const platform::ComApartment com;
    wchar_t display[MAX_PATH] = {};
    const std::wstring text = platform::Widened(Text);
    BROWSEINFOW bi{};
    bi.hwndOwner = owner;
    bi.pszDisplayName = display;
    bi.lpszTitle = text.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    bi.lpfn = &TFolderDialog::Callback;
    bi.lParam = reinterpret_cast<LPARAM>(this);
    static const auto browse = platform::SystemFunction<decltype(&SHBrowseForFolderW)>("shell32.dll", "SHBrowseForFolderW");
    static const auto freeItem = platform::SystemFunction<decltype(&ILFree)>("shell32.dll", "ILFree");
    LPITEMIDLIST chosen = browse(&bi);
    window_ = nullptr;
    if (!chosen) return false;
    const std::string path = PathOf(chosen);
    freeItem(chosen);
    if (!path.empty()) Directory = path;
    return !path.empty();
}

// --- the dialog ---

TFrmZuSetup::TFrmZuSetup(HWND owner) : Form(SetupFormDef(), owner) {}

bool TFrmZuSetup::OnKeyDown(WPARAM key, unsigned shift) {
    // The SMTP server label shows its S but has no control to focus: its
    // key is taken here, before the dialog manager would pass the focus on
    // to the control after it.
    return key == 'S' && shift == platform::ssAlt;
}

namespace {

// A hot key of modifiers alone names no key: it is what the field shows
// while they are held, and what it is left with when the focus goes on
// (the Shift of Shift+Tab) or the window manager keeps the key; the
// control may report it as none. The field goes back to the last whole
// combination it held, or to none where the user cleared it (Backspace,
// Delete) or the program set none.
WORD WholeHotKey(WORD now, WORD lastWhole) { return LOBYTE(now) == 0 ? lastWhole : now; }

LRESULT CALLBACK HotKeyProc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data) {
    WORD& whole = *reinterpret_cast<WORD*>(data);
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(w, &HotKeyProc, id);
    if (msg == WM_KILLFOCUS) {
        const WORD now = static_cast<WORD>(DefSubclassProc(w, HKM_GETHOTKEY, 0, 0));
        if (WholeHotKey(now, whole) != now) DefSubclassProc(w, HKM_SETHOTKEY, whole, 0);
    }
    const LRESULT r = DefSubclassProc(w, msg, wp, lp);
    const WORD now = static_cast<WORD>(DefSubclassProc(w, HKM_GETHOTKEY, 0, 0));
    const bool cleared = (msg == WM_KEYDOWN && (wp == VK_BACK || wp == VK_DELETE)) || msg == HKM_SETHOTKEY;
    if (LOBYTE(now) != 0 || (cleared && now == 0)) whole = now;
    return r;
}

}  // namespace

void TFrmZuSetup::OnCreate() {
    SetWindowSubclass(Control(C::HotKeyAppHotKey), &HotKeyProc, 0, reinterpret_cast<DWORD_PTR>(&lastWholeHotKey_));
    platform::FillColorBox(Control(C::ColorBoxLaunchStay));
    platform::FillColorBox(Control(C::ColorBoxLaunchClose));
    FitColorBoxes();
    for (const char* folder : {C::BitBtnAgentFolder, C::BitBtnDefaultIniPath, C::BitBtnProfileFolder}) {
        SetGlyph(folder, "BBFOLDER");
    }
    SetGlyph(C::BitBtnEditINIFile, "BBHELP");
    SetGlyph(C::BitBtnDefaults, "BBALL");
    SetGlyph(C::BitBtnRestore, "BBRETRY");
    SetGlyph(C::BitBtnOk, "BBOK");
    SetGlyph(C::BitBtnCancel, "BBCANCEL");
    OnClick(C::BitBtnAgentFolder, [this] { BitBtnAgentFolderClick(); });
    OnClick(C::BitBtnDefaultIniPath, [this] { BitBtnDefaultIniPathClick(); });
    OnClick(C::BitBtnProfileFolder, [this] { BitBtnProfileFolderClick(); });
    OnClick(C::BitBtnEditINIFile, [this] { BitBtnEditINIFileClick(); });
    OnClick(C::BitBtnOk, [this] { BitBtnOkClick(); });
    Restore();
}

void TFrmZuSetup::FitColorBoxes() {
    // A colour box is 22 pixels high at 96 DPI, as tall as the edits beside it.
    for (const char* box : {C::ColorBoxLaunchStay, C::ColorBoxLaunchClose}) {
        platform::SetColorBoxHeight(Control(box), Scale(kColorBoxHeight));
    }
}

void TFrmZuSetup::OnDpiChanged(int) { FitColorBoxes(); }

void TFrmZuSetup::ShowSettingsInControls() {
    SetText(C::EditAgentFolder, working_.AgentFolder);
    SetText(C::EditDefaultIniPath, working_.DefaultIniPath);
    SetText(C::EditProfileFolder, working_.ProfileFolder);
    SetText(C::EditDefaultSMTPServer, working_.DefaultSMTPServer);
    platform::SetColorBoxValue(Control(C::ColorBoxLaunchStay), working_.ColorLaunchStay);
    platform::SetColorBoxValue(Control(C::ColorBoxLaunchClose), working_.ColorLaunchClose);
    SendMessageA(Control(C::HotKeyAppHotKey), HKM_SETHOTKEY, HotKeyFromShortcut(working_.AppHotKey), 0);
    auto check = [this](const char* name, bool on) {
        SendMessageA(Control(name), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    };
    check(C::CheckBoxSplashEnabledThis, working_.SplashEnabledThis);
    check(C::CheckBoxSplashEnabledComp, working_.SplashEnabledComp);
    check(C::CheckBoxSplashEnabledAll, working_.SplashEnabledAll);
}

void TFrmZuSetup::ReadSettingsFromControls() {
    working_.AgentFolder = Text(C::EditAgentFolder);
    working_.DefaultIniPath = Text(C::EditDefaultIniPath);
    working_.ProfileFolder = Text(C::EditProfileFolder);
    working_.DefaultSMTPServer = Text(C::EditDefaultSMTPServer);
    working_.ColorLaunchStay = platform::ColorBoxValue(Control(C::ColorBoxLaunchStay));
    working_.ColorLaunchClose = platform::ColorBoxValue(Control(C::ColorBoxLaunchClose));
    working_.AppHotKey = ShortcutFromHotKey(
        WholeHotKey(static_cast<WORD>(SendMessageA(Control(C::HotKeyAppHotKey), HKM_GETHOTKEY, 0, 0)), lastWholeHotKey_));
    auto checked = [this](const char* name) { return SendMessageA(Control(name), BM_GETCHECK, 0, 0) == BST_CHECKED; };
    working_.SplashEnabledThis = checked(C::CheckBoxSplashEnabledThis);
    working_.SplashEnabledComp = checked(C::CheckBoxSplashEnabledComp);
    working_.SplashEnabledAll = checked(C::CheckBoxSplashEnabledAll);
}

void TFrmZuSetup::Restore() {
    LoadSettings(working_);
    ShowSettingsInControls();
}

void TFrmZuSetup::Defaults() {
    LoadDefaultSettings(working_);
    ShowSettingsInControls();
}

void TFrmZuSetup::Store() {
    ReadSettingsFromControls();
    TSettings fresh;
    SaveSettings(working_, fresh);
    Settings = fresh;
}

void TFrmZuSetup::BitBtnOkClick() {
    if (platform::ColorBoxValue(Control(C::ColorBoxLaunchStay)) ==
        platform::ColorBoxValue(Control(C::ColorBoxLaunchClose))) {
        SetModalResult(platform::mrNone);
        ShowError("The launch colors can not be of same value !");
        Focus(C::ColorBoxLaunchStay);
    }
}

bool TFrmZuSetup::OnCloseQuery() {
    switch (ModalResultValue()) {
        case platform::mrOk:
            Store();
            return true;
        case platform::mrCancel:
            return about::ShowMessageDialog("Cancel all changes ?", about::MsgKind::Confirmation,
                                            about::mbYes | about::mbNo, 0) == IDYES;
        case platform::mrAbort:
            return true;
        case kResultRestore:
            Restore();
            return false;
        case kResultDefaults:
            Defaults();
            return false;
        default:
            return true;
    }
}

void TFrmZuSetup::BitBtnAgentFolderClick() {
    FolderDialog.Directory = Text(C::EditAgentFolder);
    FolderDialog.Text = "Select the folder where the Agent program is located.";
    FolderDialog.Title = "Select Agent program folder.";
    FolderDialog.OnChange = [](TFolderDialog& d, const std::string& folder) { d.EnableOK(AgentFolderAcceptable(folder)); };
    if (!FolderDialog.Execute(Handle())) return;
    SetText(C::EditAgentFolder, platform::IncludeTrailingBackslash(FolderDialog.Directory));
    const std::string ini = Text(C::EditDefaultIniPath);
    if (!ini.empty() && platform::FileExists(ini)) return;
    const std::string candidate = Text(C::EditAgentFolder) + "Agent.ini";
    if (platform::FileExists(candidate) && IsValidAgentIni(candidate)) SetText(C::EditDefaultIniPath, candidate);
}

void TFrmZuSetup::BitBtnDefaultIniPathClick() {
    FolderDialog.Directory = platform::ExtractFilePath(Text(C::EditDefaultIniPath));
    FolderDialog.Text = "Select a folder containing a valid Agent.ini file.";
    FolderDialog.Title = "Select Agent.ini folder.";
    FolderDialog.OnChange = [](TFolderDialog& d, const std::string& folder) { d.EnableOK(IniFolderAcceptable(folder)); };
    if (FolderDialog.Execute(Handle())) {
        SetText(C::EditDefaultIniPath, platform::IncludeTrailingBackslash(FolderDialog.Directory) + "Agent.ini");
    }
}

void TFrmZuSetup::BitBtnProfileFolderClick() {
    FolderDialog.Directory = Text(C::EditProfileFolder);
    FolderDialog.Text = "Select the folder where you want to store your Agent profiles.";
    FolderDialog.Title = "Select profile folder.";
    FolderDialog.OnChange = nullptr;
    if (FolderDialog.Execute(Handle())) {
        SetText(C::EditProfileFolder, platform::IncludeTrailingBackslash(FolderDialog.Directory));
    }
}

void TFrmZuSetup::BitBtnEditINIFileClick() {
    const std::string path = Text(C::EditDefaultIniPath);
    // The path the template was looked for at, and what it lacks.
    inieditor::EditIniFileButton(*this, path, IsValidAgentIni(path),
                                 platform::Format(platform::FileExists(path) ? "\"%s\" has no [URL] ForceAgentClient."
                                                                             : "\"%s\" does not exist.",
                                                  about::Literal(path).c_str()));
}


void TFrmZuSetup::OnControlCommand(HWND control, WORD code) {
    if (control == Control(C::ColorBoxLaunchStay) || control == Control(C::ColorBoxLaunchClose)) {
        platform::ColorBoxCommand(Handle(), control, code);
    }
}

bool TFrmZuSetup::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_MEASUREITEM) {
        platform::MeasureColorBoxItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lp), Dpi());
        result = TRUE;
        return true;
    }
    if (msg == WM_DRAWITEM) {
        const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        if (dis->CtlType == ODT_COMBOBOX) {
            platform::DrawColorBoxItem(dis, Dpi());
            result = TRUE;
            return true;
        }
    }
    // The read-only folder texts stand out in the selection colours.
    if (msg == WM_CTLCOLORSTATIC) {
        HWND c = reinterpret_cast<HWND>(lp);
        if (c == Control(C::EditAgentFolder) || c == Control(C::EditDefaultIniPath) || c == Control(C::EditProfileFolder)) {
            result = platform::SelectionColours(reinterpret_cast<HDC>(wp));
            return true;
        }
    }
    return false;
}

bool RunSetupDialog(HWND owner) {
    TFrmZuSetup dialog(owner);
    dialog.Create();
    return dialog.ShowModal() == platform::mrOk;
}

}  // namespace settings
