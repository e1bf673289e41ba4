// The main window: the profile grid and the six buttons that reach
// everything else; it answers the single-instance protocol, owns the global
// hot key, and launches Agent on the selected profile.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cstdint>
#include <vector>
#include <functional>
#include <string>

#include "platform/Form.h"
#include "profiles/ZuGlobal.h"
#include "shell/KelPrevInst.h"

namespace shell {

// The main window's controls, by the names its table and its code use.
struct MainControls {
    CONTROL_NAMES(PanelProfiles, LabelProfiles, StringGridProfiles, PanelButtons, BitBtnAdd, BitBtnEdit, BitBtnDelete,
                  BitBtnSetup, BitBtnRefresh, BitBtnLaunch)
};

platform::FormDef MainFormDef();

// Splits a shortcut value into RegisterHotKey's modifiers and key code.
void HotKeyParts(uint16_t shortcut, UINT& modifiers, UINT& key);

// Whether a launch closes the program: column 0 converts to a non-zero
// integer, reversed when Ctrl alone (without Shift and Alt) is held.
bool LaunchCloses(const std::string& launchMode, unsigned shiftState);

// What a launch starts, and where.
std::string AgentProgramPath(const std::string& agentFolder);

// The dialogs the main window opens, each over `owner`: the program's own
// windows; a test hands the main window a set of its own when it makes it.
class MainDialogs {
public:
    virtual ~MainDialogs() = default;
    // `edited` is null for a new profile.
    virtual void EditProfile(HWND owner, const profiles::ProfileEntry* edited);
    // True when the user confirmed the new settings.
    virtual bool Setup(HWND owner);
    virtual void About(HWND owner);
};

class TFrmZuMain : public platform::Form {
public:
    // `dialogs` (null: the program's own) must outlive the window.
    explicit TFrmZuMain(MainDialogs* dialogs = nullptr);
    ~TFrmZuMain() override;

    void FillProfileGrid();
    void RegisterAppHotKey(uint16_t shortcut);

    void BitBtnAddClick();
    void BitBtnEditClick();
    void BitBtnDeleteClick();
    void BitBtnSetupClick();
    void BitBtnRefreshClick();
    void BitBtnLaunchClick();  // LaunchSelectedProfile
    void StringGridProfilesDblClick();
    void ToggleHints();

    // The grid as rows: row 0 is the header, rows 1 and below hold profiles.
    int RowCount() const;
    int CurrentRow() const;
    void SetCurrentRow(int row);
    std::string Cell(int column, int row) const;
    int ColumnWidth(int column) const;
    ATOM HotKeyID() const { return hotKeyId_; }

protected:
    void OnCreate() override;
    void OnShow() override;
    void OnDestroy() override;
    void OnDpiChanged(int oldDpi) override;
    void ReleaseHotKey();
    bool OnKeyDown(WPARAM key, unsigned shift) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    bool OnNotify(NMHDR* hdr, LRESULT& result) override;

private:
    bool setupExplained_ = false;  // why Add opens Setup, said once
    HWND Grid() const;
    profiles::ProfileEntry CurrentEntry() const;
    void FocusGrid();
    void DrawLaunchCell(NMLVCUSTOMDRAW* cd);
    void LaunchSelectedProfile();

    MainDialogs& dialogs_;
    // Known before the window exists: a second start may ask who it is from
    // the moment it does, while a message of its creation is still open.
    UINT wmGetID_ = MsgAppGetID();
    UINT wmRestore_ = MsgAppRestore();
    UINT wmPrevInstParm_ = MsgAppPrevInstParm();
    ATOM hotKeyId_ = 0;
    platform::UniqueImageList rowHeight_;
    int currentRow_ = 1;  // the one selected row, whatever the list view did
    using Row = std::array<std::string, 5>;
    std::vector<Row> rows_;  // grid rows 1 and below
};

}  // namespace shell
