#include "profiles/ZuEditProfile.h"

#include <cstring>

#include "about/xDialogs.h"
#include "inieditor/ZuEditINIFile.h"
#include "platform/Application.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "profiles/ZuGlobal.h"
#include "settings/KelUtility.h"

using platform::ControlDef;
using platform::ControlKind;
using platform::MakeControl;

namespace profiles {

namespace {

void ShowError(const std::string& text) {
    about::ShowMessageDialog(text, about::MsgKind::Error, about::mbCancel, 0);
}

ControlDef Label(const char* name, int top, const char* caption, int help, const char* target) {
    ControlDef c = MakeControl(name, ControlKind::Label, "Panel1", {4, top, 88, 13}, platform::akLeft | platform::akTop,
                               caption, "", help, -1);
    c.focusControl = target;
    return c;
}

ControlDef Edit(const char* name, int top, const char* hint, int help, int tab) {
    using namespace platform;
    return MakeControl(name, ControlKind::Edit, "Panel1", {96, top, 273, 21}, akLeft | akTop | akRight, "", hint, help,
                       tab);
}

}  // namespace

bool ValidProfileName(const std::string& name) {
    // The name is the last part of the profile's path: it must name exactly
    // one folder inside the profile folder, the same one that gets listed.
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name) {
        if (c < 32 || std::strchr("\\/:*?\"<>|", c)) return false;
    }
    if (name.back() == ' ' || name.back() == '.') return false;
    // Device names, also with an extension ("con.txt" is the console).
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    CharUpperBuffA(base.data(), static_cast<DWORD>(base.size()));
    for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
        if (base == device) return false;
    }
    if (base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '1' && base[3] <= '9') {
        return false;
    }
    return true;
}

platform::FormDef EditProfileFormDef() {
    using namespace platform;
    FormDef d = DialogDef("TFrmZuEditProfile", "FrmZuEditProfile", "Edit profile", {0, 0, 389, 192}, {313, 192},
                          {0, 192}, "BitBtnSave", "BitBtnCancel");

    ControlDef panel1 = MakeControl("Panel1", ControlKind::Panel, "", {4, 4, 373, 121}, akAll, "", "", 0, 0);
    panel1.bevel = Bevel::Lowered;
    ControlDef check = MakeControl("CheckBoxLaunchMode", ControlKind::CheckBox, "Panel1", {96, 100, 273, 17},
                                   akLeft | akTop | akRight, "Cl&ose Valdrix on launch",
                                   "Whether Valdrix should be closed when this profile is launched.", 5, 4);
    check.handCursor = true;
    ControlDef panel2 = MakeControl("Panel2", ControlKind::Panel, "", {4, 128, 373, 33}, akLeft | akRight | akBottom,
                                    "", "", 0, 1);
    panel2.bevel = Bevel::Lowered;
    ControlDef save = platform::MakeButton("BitBtnSave", "Panel2", {176, 4, 95, 25}, akTop | akRight, "S&ave", "Save changes and exit dialog", 7,
                             1, mrOk);
    save.style = BS_DEFPUSHBUTTON;
    d.controls = {
        panel1,
        Label("LabelName", 8, "Na&me / sub folder", 1, "EditName"),
        Label("LabelTitle", 32, "&Title", 2, "EditTitle"),
        Label("LabelNNTPServer", 56, "&NNTP server", 3, "EditNNTPServer"),
        Label("LabelSMTPServer", 80, "&SMTP server", 4, "EditSMTPServer"),
        Edit("EditName", 4, "This profile's name and folder.", 1, 0),
        Edit("EditTitle", 28, "The title that will apear in the top of your Agent window.", 2, 1),
        Edit("EditNNTPServer", 52, "Newsgroup server for this profile.", 3, 2),
        Edit("EditSMTPServer", 76, "E-Mail server for this profile.", 4, 3),
        check,
        panel2,
        platform::MakeButton("BitBtnSaveNew", "Panel2", {80, 4, 95, 25}, akTop | akRight, "Save + ne&w", "Save changes and create a new one", 6,
               0, mrAll),
        save,
        platform::MakeButton("BitBtnCancel", "Panel2", {272, 4, 97, 25}, akTop | akRight, "&Cancel", "Cancel changes and exit dialog", 8, 2,
               mrAbort),
        platform::MakeButton("BitBtnEditIniFile", "Panel2", {4, 4, 75, 25}, akLeft | akTop, ".INI &file",
               "Edit associated .INI file|Opens a dialog where you can edit all the values defined in the associated "
               ".INI file.",
               9, 3, mrNone),
    };
    return d;
}

TFrmZuEditProfile::TFrmZuEditProfile(HWND owner) : Form(EditProfileFormDef(), owner) {}

TFrmZuEditProfile::~TFrmZuEditProfile() { Destroy(); }

void TFrmZuEditProfile::OnCreate() {
    settings::RestoreFormPlacement(*this);
    CenterForm(this);
    SetShowHint(platform::Application::Instance().ShowHint());
    SetGlyph("BitBtnSaveNew", "BBALL");
    SetGlyph("BitBtnSave", "BBOK");
    SetGlyph("BitBtnCancel", "BBCANCEL");
    SetGlyph("BitBtnEditIniFile", "BBHELP");
    OnClick("BitBtnEditIniFile", [this] { BitBtnEditIniFileClick(); });
}

void TFrmZuEditProfile::OnShow() { settings::AnimateFormZoom(*this, true); }

void TFrmZuEditProfile::OnDestroy() {
    settings::AnimateFormZoom(*this, false);
    settings::SaveFormPlacement(*this);
}

bool TFrmZuEditProfile::AddMode() const {
    return (GetWindowLongA(Control("EditName"), GWL_STYLE) & ES_READONLY) == 0;
}

void TFrmZuEditProfile::LoadProfile(const std::string& launchModeText, const std::string& name,
                                    const std::string& title, const std::string& newsServer,
                                    const std::string& mailServer) {
    SetText("EditName", name);
    SetText("EditTitle", title);
    SetText("EditNNTPServer", newsServer);
    SetText("EditSMTPServer", mailServer);
    SendMessageA(Control("CheckBoxLaunchMode"), BM_SETCHECK,
                 platform::IniTextToInt(launchModeText, 0) != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    const bool edit = !name.empty();
    SendMessageA(Control("EditName"), EM_SETREADONLY, edit ? TRUE : FALSE, 0);
    SetTabStop("EditName", !edit);
    EnableWindow(Control("BitBtnEditIniFile"), edit ? TRUE : FALSE);
    InvalidateRect(Control("EditName"), nullptr, TRUE);
    Focus(edit ? "EditTitle" : "EditName");
}

bool TFrmZuEditProfile::SaveProfile() {
    platform::BusyCursor busy;
    const std::string name = Text("EditName");
    // A name is the last part of the profile's path: a separator or a dot
    // name would put the profile somewhere it is never listed, or elsewhere.
    if (!ValidProfileName(name)) {
        ShowError("You must enter a valid profile name !");
        return false;
    }
    if (Text("EditNNTPServer").empty()) {
        ShowError("NNTP server is not correct !");
        return false;
    }
    if (AddMode() && !CreateProfileFolder(name)) return false;
    if (Text("EditSMTPServer").empty()) SetText("EditSMTPServer", settings::Settings.DefaultSMTPServer);
    WriteProfileIni(name, Text("EditTitle"), Text("EditNNTPServer"), Text("EditSMTPServer"),
                    SendMessageA(Control("CheckBoxLaunchMode"), BM_GETCHECK, 0, 0) == BST_CHECKED);
    return true;
}

bool TFrmZuEditProfile::OnCloseQuery() {
    switch (ModalResultValue()) {
        case platform::mrOk:
            return SaveProfile();
        case platform::mrCancel:
            return about::ShowMessageDialog("Cancel all changes ?", about::MsgKind::Confirmation,
                                            about::mbYes | about::mbNo, 0) == IDYES;
        case platform::mrAbort:
            return true;
        case platform::mrAll:
            SetModalResult(platform::mrNone);
            if (SaveProfile()) LoadProfile("", "", "", "", "");
            return false;
        default:
            return false;
    }
}

void TFrmZuEditProfile::BitBtnEditIniFileClick() {
    const std::string file = settings::Settings.ProfileFolder + Text("EditName") + "\\Agent.ini";
    if (!platform::FileExists(file)) {
        ShowError(".INI file not created yet!\rSave changes and try again.");
        return;
    }
    if (!inieditor::EditIniFile(*this, file)) ShowError("Problems loading .INI file !");
}

void TFrmZuEditProfile::OnHelp(int context) { settings::ShowContextHelp(*this, context); }

bool TFrmZuEditProfile::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    // The read-only name of edit mode stands out in the selection colours.
    if (msg == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lp) == Control("EditName") && !AddMode()) {
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
        result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_HIGHLIGHT));
        return true;
    }
    return false;
}

}  // namespace profiles
