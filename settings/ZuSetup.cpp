#include "settings/ZuSetup.h"

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include "about/xDialogs.h"
#include "inieditor/ZuEditINIFile.h"
#include "platform/Application.h"
#include "platform/ColorBox.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "profiles/ZuGlobal.h"

using platform::ControlDef;
using platform::ControlKind;
using platform::Button;

namespace settings {

namespace {

constexpr int kResultRestore = 4;
constexpr int kResultDefaults = 5;
const char kRootHint[] = "Root folder of all Agent data files";

void ShowError(const std::string& text) {
    about::ShowMessageDialog(text, about::MsgKind::Error, about::mbCancel, 0);
}

ControlDef Label(const char* name, int y, const char* caption, const char* target, const char* hint, int help) {
    ControlDef c = ControlDef{.name = name, .kind = ControlKind::Label, .parent = "PanelSettings", .place = {4, y + 4, 104, 13}, .caption = caption, .hint = hint, .helpContext = help};
    c.focusControl = target ? target : "";
    return c;
}

ControlDef FolderEdit(const char* name, int y, const char* hint, int help) {
    using namespace platform;
    ControlDef c = ControlDef{.name = name, .kind = ControlKind::Edit, .parent = "PanelSettings", .place = {112, y, 281, 21}, .anchors = akLeft | akTop | akRight, .hint = hint, .helpContext = help};
    c.style = ES_READONLY;
    return c;
}

ControlDef FolderButton(const char* name, int y, const char* hint, int help, int tab) {
    using namespace platform;
    return Button({.name = name, .parent = "PanelSettings", .place = {396, y, 21, 21}, .anchors = akTop | akRight, .hint = hint, .helpContext = help, .tabOrder = tab});
}

ControlDef Check(const char* name, int y, int width, const char* caption, const char* hint, int help, int tab) {
    ControlDef c = ControlDef{.name = name, .kind = ControlKind::CheckBox, .parent = "PanelSettings", .place = {112, y, width, 17}, .anchors = platform::akLeft | platform::akTop | platform::akRight, .caption = caption, .hint = hint, .helpContext = help, .tabOrder = tab};
    c.handCursor = true;
    return c;
}

platform::FormDef SetupFormDef() {
    using namespace platform;
    FormDef d = DialogDef("TFrmZuSetup", "FrmZuSetup", "Pelmark - Setup", {0, 0, 437, 296}, {329, 296}, {0, 296},
                          "BitBtnOk", "BitBtnCancel");
    d.keyPreview = true;
    ControlDef settings = ControlDef{.name = "PanelSettings", .kind = ControlKind::Panel, .place = {4, 4, 421, 225}, .anchors = akAll, .tabOrder = 0};
    settings.bevel = Bevel::Lowered;
    ControlDef buttons =
        ControlDef{.name = "PanelButtons", .kind = ControlKind::Panel, .place = {4, 232, 421, 33}, .anchors = akLeft | akRight | akBottom, .tabOrder = 1};
    buttons.bevel = Bevel::Lowered;
    ControlDef smtp = ControlDef{.name = "EditDefaultSMTPServer", .kind = ControlKind::Edit, .parent = "PanelSettings", .place = {112, 76, 305, 21}, .anchors = akLeft | akTop | akRight, .hint = "Default e-mail server", .helpContext = 4, .tabOrder = 3};
    auto colorBox = [](const char* name, int y, const char* hint, int help, int tab) {
        ControlDef c = ControlDef{.name = name, .kind = ControlKind::ComboBox, .parent = "PanelSettings", .place = {112, y, 305, 220}, .anchors = akLeft | akTop | akRight, .hint = hint, .helpContext = help, .tabOrder = tab};
        c.style = CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
        return c;
    };
    const char* stayHint = "Color for profiles that does not close the Valdrix after profile is launched.";
    const char* closeHint = "Color for profiles that closes the Valdrix after profile is launched.";
    const char* hotHint = "The hotkey for activating Pelmark when not active (minimized, hidden etc.)";
    ControlDef hot = ControlDef{.name = "HotKeyAppHotKey", .kind = ControlKind::HotKey, .parent = "PanelSettings", .place = {112, 148, 121, 19}, .anchors = akLeft | akTop | akRight, .hint = hotHint, .helpContext = 7, .tabOrder = 6};
    d.controls = {
        settings,
        buttons,
        Label("LabelAgentFolder", 4, "&Agent folder", "BitBtnAgentFolder", kRootHint, 1),
        FolderEdit("EditAgentFolder", 4, "Folder where the Agent.exe program is located.", 1),
        FolderButton("BitBtnAgentFolder", 4, "Select the folder where the Agent.exe program is located.", 1, 0),
        Label("LabelDefaultIniPath", 28, "Default &ini file", "BitBtnDefaultIniPath", kRootHint, 2),
        FolderEdit("EditDefaultIniPath", 28,
                   "Folder that contains a \"naked\" ini file (normally located together with Agent.exe)", 2),
        FolderButton("BitBtnDefaultIniPath", 28,
                     "Select the folder that contains a \"naked\" ini file (normally located together with Agent.exe)",
                     2, 1),
        Label("LabelProfileFolder", 52, "&Profile folder", "BitBtnProfileFolder", kRootHint, 3),
        FolderEdit("EditProfileFolder", 52, "Root folder for all your profiles.", 3),
        FolderButton("BitBtnProfileFolder", 52, "Select a root folder for all your profiles.", 3, 2),
        Label("LabelDefaultSMTPServer", 76, "Default &SMTP server", nullptr, "", 4),
        smtp,
        Label("LabelColorLaunchStay", 100, "&Launch - close color", "ColorBoxLaunchStay", stayHint, 5),
        colorBox("ColorBoxLaunchStay", 100, stayHint, 5, 4),
        Label("LabelColorLaunchClose", 124, "Launch + cl&ose color", "ColorBoxLaunchClose", closeHint, 6),
        colorBox("ColorBoxLaunchClose", 124, closeHint, 6, 5),
        Label("LabelAppHotKey", 148, "Application &hotkey", "HotKeyAppHotKey", hotHint, 7),
        hot,
        Check("CheckBoxSplashEnabledThis", 172, 201, "Enable SplashScreen for this program",
              "Turns on or off the startup SplashScreen for this program.", 8, 7),
        Check("CheckBoxSplashEnabledComp", 188, 257, "Enable SplashScreen for all Brennvik programs",
              "Turns on or off the startup SplashScreen for all programs made by Brennvik.\r\nThis overrides the "
              "SplashScreen settings for all Brennvik programs.",
              9, 8),
        Check("CheckBoxSplashEnabledAll", 204, 225, "Enable SplashScreen for all other programs",
              "Turns on or off the startup SplashScreen for all programs (NOTE ! This is an experimental thing, it "
              "might not work on other programs, no harm done though).\r\nThis overrides all other SplashScreen "
              "settings",
              10, 9),
        Button({.name = "BitBtnEditINIFile", .parent = "PanelButtons", .place = {4, 4, 75, 25}, .caption = ".INI &file", .hint = "Edit default .INI file|Opens a dialog where you can edit all the values defined in the default " ".INI file.", .helpContext = 15, .tabOrder = 4}),
        Button({.name = "BitBtnDefaults", .parent = "PanelButtons", .place = {112, 4, 75, 25}, .anchors = akTop | akRight, .caption = "&Defaults", .hint = "Set all settings to default values.", .helpContext = 11, .tabOrder = 0, .modalResult = kResultDefaults}),
        Button({.name = "BitBtnRestore", .parent = "PanelButtons", .place = {188, 4, 75, 25}, .anchors = akTop | akRight, .caption = "&Restore", .hint = "Restore all settings from the registry.", .helpContext = 12, .tabOrder = 1, .modalResult = kResultRestore}),
        Button({.name = "BitBtnOk", .parent = "PanelButtons", .place = {264, 4, 75, 25}, .anchors = akTop | akRight, .caption = "OK", .hint = "Commit all settings changes and exit dialog.", .helpContext = 13, .tabOrder = 2, .modalResult = mrOk}),
        Button({.name = "BitBtnCancel", .parent = "PanelButtons", .place = {340, 4, 75, 25}, .anchors = akTop | akRight, .caption = "&Cancel", .hint = "Cancel all settings and exit dialog.", .helpContext = 14, .tabOrder = 3, .modalResult = mrAbort}),
    };
    for (auto& c : d.controls) {
        if (c.name == "BitBtnOk") c.style = BS_DEFPUSHBUTTON;
    }
    return d;
}

}  // namespace

bool IsValidAgentIni(const std::string& path) {
    if (!platform::FileExists(path)) return false;
    platform::IniFile ini(path);
    std::vector<std::string> keys;
    ini.ReadSection("URL", keys);
    for (const auto& k : keys) {
        if (lstrcmpiA(k.c_str(), "ForceAgentClient") == 0) return true;
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
            SetWindowTextA(hwnd, self->Title.c_str());
            if (!self->Directory.empty()) {
                SendMessageA(hwnd, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(self->Directory.c_str()));
            }
            // Centred across the owner, a quarter of its height below its top.
            if (self->owner_) {
                RECT o, w;
                GetWindowRect(self->owner_, &o);
                GetWindowRect(hwnd, &w);
                const int x = o.left + ((o.right - o.left) - (w.right - w.left)) / 2;
                const int y = o.top + (o.bottom - o.top) / 4;
                SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            }
        } else if (msg == BFFM_SELCHANGED) {
            char path[MAX_PATH] = {};
            const bool fs = SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(lp), path) && path[0];
            SendMessageA(hwnd, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(path));
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
    char display[MAX_PATH] = {};
    BROWSEINFOA bi{};
    bi.hwndOwner = owner;
    bi.pszDisplayName = display;
    bi.lpszTitle = Text.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    bi.lpfn = &TFolderDialog::Callback;
    bi.lParam = reinterpret_cast<LPARAM>(this);
    LPITEMIDLIST chosen = SHBrowseForFolderA(&bi);
    window_ = nullptr;
    if (!chosen) return false;
    char path[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListA(chosen, path) != FALSE;
    ILFree(chosen);
    if (ok) Directory = path;
    return ok;
}

// --- the dialog ---

TFrmZuSetup::TFrmZuSetup(HWND owner) : Form(SetupFormDef(), owner) {}

void TFrmZuSetup::OnCreate() {
    platform::FillColorBox(Control("ColorBoxLaunchStay"));
    platform::FillColorBox(Control("ColorBoxLaunchClose"));
    for (const char* folder : {"BitBtnAgentFolder", "BitBtnDefaultIniPath", "BitBtnProfileFolder"}) {
        SetGlyph(folder, "BBFOLDER");
    }
    SetGlyph("BitBtnEditINIFile", "BBHELP");
    SetGlyph("BitBtnDefaults", "BBALL");
    SetGlyph("BitBtnRestore", "BBRETRY");
    SetGlyph("BitBtnOk", "BBOK");
    SetGlyph("BitBtnCancel", "BBCANCEL");
    OnClick("BitBtnAgentFolder", [this] { BitBtnAgentFolderClick(); });
    OnClick("BitBtnDefaultIniPath", [this] { BitBtnDefaultIniPathClick(); });
    OnClick("BitBtnProfileFolder", [this] { BitBtnProfileFolderClick(); });
    OnClick("BitBtnEditINIFile", [this] { BitBtnEditINIFileClick(); });
    OnClick("BitBtnOk", [this] { BitBtnOkClick(); });
    Restore();
}

void TFrmZuSetup::ShowSettingsInControls() {
    SetText("EditAgentFolder", working_.AgentFolder);
    SetText("EditDefaultIniPath", working_.DefaultIniPath);
    SetText("EditProfileFolder", working_.ProfileFolder);
    SetText("EditDefaultSMTPServer", working_.DefaultSMTPServer);
    platform::SetColorBoxValue(Control("ColorBoxLaunchStay"), working_.ColorLaunchStay);
    platform::SetColorBoxValue(Control("ColorBoxLaunchClose"), working_.ColorLaunchClose);
    SendMessageA(Control("HotKeyAppHotKey"), HKM_SETHOTKEY, HotKeyFromShortcut(working_.AppHotKey), 0);
    auto check = [this](const char* name, bool on) {
        SendMessageA(Control(name), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    };
    check("CheckBoxSplashEnabledThis", working_.SplashEnabledThis);
    check("CheckBoxSplashEnabledComp", working_.SplashEnabledComp);
    check("CheckBoxSplashEnabledAll", working_.SplashEnabledAll);
}

void TFrmZuSetup::ReadSettingsFromControls() {
    working_.AgentFolder = Text("EditAgentFolder");
    working_.DefaultIniPath = Text("EditDefaultIniPath");
    working_.ProfileFolder = Text("EditProfileFolder");
    working_.DefaultSMTPServer = Text("EditDefaultSMTPServer");
    working_.ColorLaunchStay = platform::ColorBoxValue(Control("ColorBoxLaunchStay"));
    working_.ColorLaunchClose = platform::ColorBoxValue(Control("ColorBoxLaunchClose"));
    working_.AppHotKey =
        ShortcutFromHotKey(static_cast<WORD>(SendMessageA(Control("HotKeyAppHotKey"), HKM_GETHOTKEY, 0, 0)));
    auto checked = [this](const char* name) { return SendMessageA(Control(name), BM_GETCHECK, 0, 0) == BST_CHECKED; };
    working_.SplashEnabledThis = checked("CheckBoxSplashEnabledThis");
    working_.SplashEnabledComp = checked("CheckBoxSplashEnabledComp");
    working_.SplashEnabledAll = checked("CheckBoxSplashEnabledAll");
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
    if (platform::ColorBoxValue(Control("ColorBoxLaunchStay")) ==
        platform::ColorBoxValue(Control("ColorBoxLaunchClose"))) {
        SetModalResult(platform::mrNone);
        ShowError("The launch colors can not be of same value !");
        Focus("ColorBoxLaunchStay");
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
    FolderDialog.Directory = Text("EditAgentFolder");
    FolderDialog.Text = "Select the folder where the Agent program is located.";
    FolderDialog.Title = "Select Agent program folder.";
    FolderDialog.OnChange = [](TFolderDialog& d, const std::string& folder) { d.EnableOK(AgentFolderAcceptable(folder)); };
    if (!FolderDialog.Execute(Handle())) return;
    SetText("EditAgentFolder", platform::IncludeTrailingBackslash(FolderDialog.Directory));
    const std::string ini = Text("EditDefaultIniPath");
    if (!ini.empty() && platform::FileExists(ini)) return;
    const std::string candidate = Text("EditAgentFolder") + "Agent.ini";
    if (platform::FileExists(candidate) && IsValidAgentIni(candidate)) SetText("EditDefaultIniPath", candidate);
}

void TFrmZuSetup::BitBtnDefaultIniPathClick() {
    FolderDialog.Directory = platform::ExtractFilePath(Text("EditDefaultIniPath"));
    FolderDialog.Text = "Select a folder containing a valid Agent.ini file.";
    FolderDialog.Title = "Select Agent.ini folder.";
    FolderDialog.OnChange = [](TFolderDialog& d, const std::string& folder) { d.EnableOK(IniFolderAcceptable(folder)); };
    if (FolderDialog.Execute(Handle())) {
        SetText("EditDefaultIniPath", platform::IncludeTrailingBackslash(FolderDialog.Directory) + "Agent.ini");
    }
}

void TFrmZuSetup::BitBtnProfileFolderClick() {
    FolderDialog.Directory = Text("EditProfileFolder");
    FolderDialog.Text = "Select the folder where you want to store your Agent profiles.";
    FolderDialog.Title = "Select profile folder.";
    FolderDialog.OnChange = nullptr;
    if (FolderDialog.Execute(Handle())) {
        SetText("EditProfileFolder", platform::IncludeTrailingBackslash(FolderDialog.Directory));
    }
}

void TFrmZuSetup::BitBtnEditINIFileClick() {
    const std::string path = Text("EditDefaultIniPath");
    if (!IsValidAgentIni(path)) {
        ShowError(".INI file not created yet!\rSave changes and try again.");
        return;
    }
    if (!inieditor::EditIniFile(*this, path)) ShowError("Problems loading .INI file !");
}

void TFrmZuSetup::OnHelp(int context) { ShowContextHelp(*this, context); }

bool TFrmZuSetup::OnKeyDown(WPARAM key, unsigned shift) {
    // "Default &SMTP server" has no control to focus: its mnemonic does
    // nothing, except in the hot-key control, where Alt+S is a hot key.
    return key == 'S' && shift == platform::ssAlt && GetFocus() != Control("HotKeyAppHotKey");
}

void TFrmZuSetup::OnControlCommand(HWND control, WORD code) {
    if (code == CBN_SELCHANGE &&
        (control == Control("ColorBoxLaunchStay") || control == Control("ColorBoxLaunchClose"))) {
        platform::ColorBoxSelChange(Handle(), control);
    }
}

bool TFrmZuSetup::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_MEASUREITEM) {
        platform::MeasureColorBoxItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lp));
        result = TRUE;
        return true;
    }
    if (msg == WM_DRAWITEM) {
        const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        if (dis->CtlType == ODT_COMBOBOX) {
            platform::DrawColorBoxItem(dis);
            result = TRUE;
            return true;
        }
    }
    // The read-only folder texts stand out in the selection colours.
    if (msg == WM_CTLCOLORSTATIC) {
        HWND c = reinterpret_cast<HWND>(lp);
        if (c == Control("EditAgentFolder") || c == Control("EditDefaultIniPath") || c == Control("EditProfileFolder")) {
            HDC dc = reinterpret_cast<HDC>(wp);
            SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
            SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
            result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_HIGHLIGHT));
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
