// The setup dialog: the one place where the program's settings change. It
// works on a copy and touches the registry and Settings only on OK.
#pragma once

#include <functional>
#include <string>

#include "platform/Form.h"
#include "settings/KelUtility.h"

namespace settings {

// The setup dialog's controls, by the names its table and its code use.
struct SetupControls {
    CONTROL_NAMES(PanelSettings, PanelButtons, EditDefaultSMTPServer, HotKeyAppHotKey, BitBtnEditINIFile,
                  BitBtnDefaults, BitBtnRestore, BitBtnOk, BitBtnCancel, LabelAgentFolder, LabelDefaultIniPath,
                  LabelProfileFolder, LabelDefaultSMTPServer, LabelColorLaunchStay, LabelColorLaunchClose,
                  LabelAppHotKey, CheckBoxSplashEnabledThis, CheckBoxSplashEnabledComp, CheckBoxSplashEnabledAll,
                  EditAgentFolder, BitBtnAgentFolder, EditDefaultIniPath, BitBtnDefaultIniPath, EditProfileFolder,
                  BitBtnProfileFolder, ColorBoxLaunchStay, ColorBoxLaunchClose)
};

// An Agent.ini is one with a key "ForceAgentClient" in section "URL".
bool IsValidAgentIni(const std::string& path);
// The folder browsers' checks: a folder holding Agent.exe; one holding a valid Agent.ini.
bool AgentFolderAcceptable(const std::string& folder);
bool IniFolderAcceptable(const std::string& folder);

// Hot-key control value (key | HOTKEYF_* << 8) and the 16-bit shortcut value.
uint16_t ShortcutFromHotKey(WORD hotKey);
WORD HotKeyFromShortcut(uint16_t shortcut);

// The shell's folder browser, placed over its owner, with a check of each
// selection that decides whether OK is enabled.
class TFolderDialog {
public:
    std::string Title = "Browse for Folder";
    std::string Text;
    std::string Directory;  // no trailing "\" but for a drive's root
    // Called for each selection of a file-system folder; may call EnableOK.
    std::function<void(TFolderDialog& dialog, const std::string& folder)> OnChange;

    bool Execute(HWND owner);
    void EnableOK(bool enable);

    // Tests find the browser by this while it is open.
    HWND Window() const { return window_; }
    // What the browser calls back with (`data`: this dialog); a test may
    // call it as the browser would.
    static int CALLBACK Callback(HWND hwnd, UINT msg, LPARAM lp, LPARAM data);

private:
    HWND window_ = nullptr;
    HWND owner_ = nullptr;
};

class TFrmZuSetup : public platform::Form {
public:
    explicit TFrmZuSetup(HWND owner);

    TFolderDialog FolderDialog;

    void ShowSettingsInControls();
    void ReadSettingsFromControls();
    const TSettings& WorkingCopy() const { return working_; }

    void BitBtnAgentFolderClick();
    void BitBtnDefaultIniPathClick();
    void BitBtnProfileFolderClick();
    void BitBtnEditINIFileClick();
    void BitBtnOkClick();

protected:
    void OnCreate() override;
    bool OnKeyDown(WPARAM key, unsigned shift) override;
    bool OnCloseQuery() override;
    void OnControlCommand(HWND control, WORD code) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    void OnDpiChanged(int oldDpi) override;

private:
    WORD lastWholeHotKey_ = 0;  // the hot key field's last whole combination
    void FitColorBoxes();
    void Restore();
    void Defaults();
    void Store();
    TSettings working_;
};

// The main window's Setup: true when the dialog closed with OK.
bool RunSetupDialog(HWND owner);

}  // namespace settings
