#include "profiles/ZuEditProfile.h"

#include <cstring>

#include "about/xDialogs.h"
#include "inieditor/ZuEditINIFile.h"
#include "platform/Application.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/IniSave.h"
#include "platform/Names.h"
#include "profiles/ZuGlobal.h"
#include "settings/KelUtility.h"

using platform::ControlDef;
using platform::ControlKind;
using platform::Button;

namespace profiles {

using C = EditProfileControls;

namespace {

using about::ShowError;

ControlDef Label(const char* name, int top, const char* caption, int help, const char* target) {
    return {.name = name, .parent = C::Panel1, .place = {4, top, 88, 13}, .caption = caption, .helpContext = help,
            .focusControl = target};
}

ControlDef Edit(const char* name, int top, const char* hint, int help, int tab) {
    using namespace platform;
    return {.name = name, .kind = ControlKind::Edit, .parent = C::Panel1, .place = {96, top, 273, 21},
            .anchors = akLeft | akTop | akRight, .hint = hint, .helpContext = help, .tabOrder = tab};
}

}  // namespace

std::string ProfileNameFault(const std::string& name) {
    // The name is the last part of the profile's path: it must name exactly
    // one folder inside the profile folder, the same one that gets listed.
    if (name.empty()) return "A name is needed";
    for (unsigned char c : name) {
        if (std::strchr("\\/:*?\"<>|", c)) return "A name cannot hold any of \\ / : * ? \" < > |";
        if (c < 32) return "A name cannot hold a tab or another control character";
    }
    if (name.back() == ' ' || name.back() == '.') return "A name cannot end with a space or a dot";
    // Device names, also with an extension ("con.txt" is the console).
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    base = platform::FoldedName(base);
    bool device = base == "CON" || base == "PRN" || base == "AUX" || base == "NUL";
    device = device || (base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '1' &&
                        base[3] <= '9');
    if (device) return base + " is a name Windows keeps for a device";
    return {};
}

bool ValidProfileName(const std::string& name) { return ProfileNameFault(name).empty(); }

platform::FormDef EditProfileFormDef() {
    using namespace platform;
    FormDef d{.windowClass = "TFrmZuEditProfile", .name = "FrmZuEditProfile", .caption = "Edit profile",
              .place = {0, 0, 389, 192}, .minSize = {313, 192}, .maxSize = {0, 192}, .defaultButton = C::BitBtnSave,
              .cancelButton = C::BitBtnCancel, .placement = Placement::RememberedCentred};

    d.controls = {
        {.name = C::Panel1, .kind = ControlKind::Panel, .place = {4, 4, 373, 121}, .anchors = akAll, .tabOrder = 0,
         .bevel = Bevel::Lowered},
        Label(C::LabelName, 8, "Na&me / sub folder", 1, C::EditName),
        Label(C::LabelTitle, 32, "&Title", 2, C::EditTitle),
        Label(C::LabelNNTPServer, 56, "&NNTP server", 3, C::EditNNTPServer),
        Label(C::LabelSMTPServer, 80, "&SMTP server", 4, C::EditSMTPServer),
        Edit(C::EditName, 4, "This profile's name and folder.", 1, 0),
        Edit(C::EditTitle, 28, "The title that will apear in the top of your Agent window.", 2, 1),
        Edit(C::EditNNTPServer, 52, "Newsgroup server for this profile.", 3, 2),
        Edit(C::EditSMTPServer, 76, "E-Mail server for this profile.", 4, 3),
        {.name = C::CheckBoxLaunchMode, .kind = ControlKind::CheckBox, .parent = C::Panel1,
         .place = {96, 100, 273, 17}, .anchors = akLeft | akTop | akRight, .caption = "Cl&ose Valdrix on launch",
         .hint = "Whether Valdrix should be closed when this profile is launched.", .helpContext = 5, .tabOrder = 4,
         .handCursor = true},
        {.name = C::Panel2, .kind = ControlKind::Panel, .place = {4, 128, 373, 33},
         .anchors = akLeft | akRight | akBottom, .tabOrder = 1, .bevel = Bevel::Lowered},
        Button({.name = C::BitBtnSaveNew, .parent = C::Panel2, .place = {80, 4, 95, 25}, .anchors = akTop | akRight,
                .caption = "Save + ne&w", .hint = "Save changes and create a new one", .helpContext = 6, .tabOrder = 0,
                .modalResult = mrAll}),
        Button({.name = C::BitBtnSave, .parent = C::Panel2, .place = {176, 4, 95, 25}, .anchors = akTop | akRight,
                .caption = "S&ave", .hint = "Save changes and exit dialog", .helpContext = 7, .tabOrder = 1,
                .modalResult = mrOk, .style = BS_DEFPUSHBUTTON}),
        Button({.name = C::BitBtnCancel, .parent = C::Panel2, .place = {272, 4, 97, 25}, .anchors = akTop | akRight,
                .caption = "&Cancel", .hint = "Cancel changes and exit dialog", .helpContext = 8, .tabOrder = 2,
                .modalResult = mrAbort}),
        Button({.name = C::BitBtnEditIniFile, .parent = C::Panel2, .place = {4, 4, 75, 25}, .caption = ".INI &file",
                .hint = "Edit associated .INI file|Opens a dialog where you can edit all the values defined in the "
                        "associated .INI file.",
                .helpContext = 9, .tabOrder = 3}),
    };
    return d;
}

TFrmZuEditProfile::TFrmZuEditProfile(HWND owner) : Form(EditProfileFormDef(), owner) {}

void TFrmZuEditProfile::OnCreate() {
    SetGlyph(C::BitBtnSaveNew, "BBALL");
    SetGlyph(C::BitBtnSave, "BBOK");
    SetGlyph(C::BitBtnCancel, "BBCANCEL");
    SetGlyph(C::BitBtnEditIniFile, "BBHELP");
    OnClick(C::BitBtnEditIniFile, [this] { BitBtnEditIniFileClick(); });
}

bool TFrmZuEditProfile::AddMode() const {
    return (GetWindowLongA(Control(C::EditName), GWL_STYLE) & ES_READONLY) == 0;
}

void TFrmZuEditProfile::LoadProfile(const std::string& launchModeText, const std::string& name,
                                    const std::string& title, const std::string& newsServer,
                                    const std::string& mailServer) {
    SetText(C::EditName, name);
    SetText(C::EditTitle, title);
    SetText(C::EditNNTPServer, newsServer);
    SetText(C::EditSMTPServer, mailServer);
    SendMessageA(Control(C::CheckBoxLaunchMode), BM_SETCHECK,
                 platform::IniTextToInt(launchModeText, 0) != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    shown_ = {title, newsServer, mailServer, LaunchModeChecked()};
    const bool edit = !name.empty();
    SendMessageA(Control(C::EditName), EM_SETREADONLY, edit ? TRUE : FALSE, 0);
    SetTabStop(C::EditName, !edit);
    EnableWindow(Control(C::BitBtnEditIniFile), edit ? TRUE : FALSE);
    InvalidateRect(Control(C::EditName), nullptr, TRUE);
    Focus(edit ? C::EditTitle : C::EditName);
}

bool TFrmZuEditProfile::SaveProfile() {
    platform::BusyCursor busy;
    const std::string name = Text(C::EditName);
    // A name is the last part of the profile's path: a separator or a dot
    // name would put the profile somewhere it is never listed, or elsewhere.
    // What is wrong with it goes on one more line (an empty name needs none).
    if (const std::string fault = ProfileNameFault(name); !fault.empty()) {
        ShowError("You must enter a valid profile name !" + (name.empty() ? std::string() : "\r" + fault + "."));
        return false;
    }
    if (Text(C::EditNNTPServer).empty()) {
        ShowError("NNTP server is not correct !");
        return false;
    }
    // A new profile's Agent.ini is the template's copy with its keys, made
    // whole beside its place before it takes the name.
    platform::IniSave save(ProfileIniPath(name), AddMode() ? settings::Settings.DefaultIniPath : std::string());
    if (AddMode()) {
        if (!CreateProfileFolder(name, save)) return false;
    } else {
        RequireListedProfileFolder(name);
    }
    if (Text(C::EditSMTPServer).empty()) SetText(C::EditSMTPServer, settings::Settings.DefaultSMTPServer);
    WriteProfileIni(save, Text(C::EditTitle), Text(C::EditNNTPServer), Text(C::EditSMTPServer), LaunchModeChecked());
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

bool TFrmZuEditProfile::LaunchModeChecked() const {
    return SendMessageA(Control(C::CheckBoxLaunchMode), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TFrmZuEditProfile::BitBtnEditIniFileClick() {
    const std::string file = ProfileIniPath(Text(C::EditName));
    if (!inieditor::EditIniFileButton(*this, file, platform::FileExists(file))) return;
    // The user saved the file there: each field not changed here shows what
    // the file now holds, so that this dialog's Save never undoes that edit.
    const platform::IniFile ini(file);
    const Shown now{ini.ReadString("View", "Title", "Agent"), ini.ReadString("Servers", "NewsServer", ""),
                    ini.ReadString("Servers", "MailServer", ""), ini.ReadBool("Profile", "LaunchMode", false)};
    auto follow = [this](const char* control, const std::string& was, const std::string& file) {
        if (Text(control) == was) SetText(control, file);
    };
    follow(C::EditTitle, shown_.title, now.title);
    follow(C::EditNNTPServer, shown_.newsServer, now.newsServer);
    follow(C::EditSMTPServer, shown_.mailServer, now.mailServer);
    if (LaunchModeChecked() == shown_.launchMode) {
        SendMessageA(Control(C::CheckBoxLaunchMode), BM_SETCHECK, now.launchMode ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    shown_ = now;
}


bool TFrmZuEditProfile::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    // The read-only name of edit mode stands out in the selection colours.
    if (msg == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lp) == Control(C::EditName) && !AddMode()) {
        result = platform::SelectionColours(reinterpret_cast<HDC>(wp));
        return true;
    }
    return false;
}

}  // namespace profiles
