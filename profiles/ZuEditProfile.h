// The profile editor: a modal dialog that adds a profile (a new sub-folder
// with a copy of the template Agent.ini) or changes one's title, servers and
// launch mode. "Save + new" saves and clears it for the next new profile.
#pragma once

#include <functional>
#include <string>

#include "platform/Form.h"

namespace profiles {

// The profile editor's controls, by the names its table and its code use.
struct EditProfileControls {
    CONTROL_NAMES(Panel1, CheckBoxLaunchMode, Panel2, BitBtnSave, BitBtnSaveNew, BitBtnCancel, BitBtnEditIniFile,
                  LabelName, LabelTitle, LabelNNTPServer, LabelSMTPServer, EditName, EditTitle, EditNNTPServer,
                  EditSMTPServer)
};

platform::FormDef EditProfileFormDef();

// A name that can be the last part of a profile's path: not empty, no "\"
// or "/", and not "." or "..". Spaces count; nothing is trimmed.
bool ValidProfileName(const std::string& name);
// What makes a name no valid profile name, as a line for the user ("" for none).
std::string ProfileNameFault(const std::string& name);

class TFrmZuEditProfile : public platform::Form {
public:
    explicit TFrmZuEditProfile(HWND owner);

    void LoadProfile(const std::string& launchModeText, const std::string& name, const std::string& title,
                     const std::string& newsServer, const std::string& mailServer);
    bool SaveProfile();
    bool AddMode() const;
    void BitBtnEditIniFileClick();

protected:
    void OnCreate() override;
    bool OnCloseQuery() override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    // The fields as last filled from the profile: a field that still holds
    // its value is one the user has not changed.
    struct Shown {
        std::string title, newsServer, mailServer;
        bool launchMode = false;
    } shown_;
    bool LaunchModeChecked() const;
};

}  // namespace profiles
