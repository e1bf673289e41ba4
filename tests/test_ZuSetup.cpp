// The setup dialog, driven through its window.
#include <gtest/gtest.h>

#include <objbase.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include "platform/Application.h"
#include "platform/ColorBox.h"
#include "platform/Handles.h"
#include "profiles/ZuEditProfile.h"
#include "settings/KelUtility.h"
#include "settings/RegSpecial.h"
#include "settings/ZuSetup.h"
#include "support/Helpers.h"
#include "support/RegistrySandbox.h"
#include "support/UiDriver.h"

using namespace settings;
using testing_support::DriverWindow;
using testing_support::RegistrySandbox;
using testing_support::TempFolder;
using testing_support::UiDriver;

namespace {

struct SetupSession {
    RegistrySandbox registry;
    TSettings saved = Settings;
    ~SetupSession() { Settings = saved; }
    int Run(std::function<void(DriverWindow&)> steps, std::vector<std::function<void(DriverWindow&)>> more = {}) {
        TFrmZuSetup dialog(nullptr);
        dialog.Create();
        return testing_support::RunModal(dialog, std::move(steps), std::move(more));
    }
};

}  // namespace

TEST(Setup, ChecksOfAgentFilesAndHotKeys) {
    TempFolder dir;
    const std::string good = dir.MakeFile("good.ini", "[url]\r\nforceagentclient=\r\n");
    const std::string bad = dir.MakeFile("bad.ini", "[URL]\r\nOther=1\r\n[View]\r\nForceAgentClient=1\r\n");
    EXPECT_TRUE(IsValidAgentIni(good));
    EXPECT_FALSE(IsValidAgentIni(bad));
    EXPECT_FALSE(IsValidAgentIni(dir.Path() + "none.ini"));
    dir.MakeFolder("A");
    dir.MakeFile("A\\Agent.exe", "MZ");
    dir.MakeFile("A\\Agent.ini", "[URL]\r\nForceAgentClient=1\r\n");
    EXPECT_TRUE(AgentFolderAcceptable(dir.Path() + "A"));
    EXPECT_TRUE(IniFolderAcceptable(dir.Path() + "A"));
    EXPECT_FALSE(AgentFolderAcceptable(dir.Path()));
    EXPECT_EQ(ShortcutFromHotKey(MAKEWORD(VK_F5, HOTKEYF_CONTROL | HOTKEYF_ALT)), 0xC000 | VK_F5);
    EXPECT_EQ(ShortcutFromHotKey(MAKEWORD('P', HOTKEYF_SHIFT)), 0x2000 | 'P');
    EXPECT_EQ(ShortcutFromHotKey(MAKEWORD(VK_F12, 0)), VK_F12);  // no modifier is fine
    EXPECT_EQ(HotKeyFromShortcut(0xE000 | 'K'), MAKEWORD('K', HOTKEYF_SHIFT | HOTKEYF_CONTROL | HOTKEYF_ALT));
    EXPECT_EQ(ShortcutFromHotKey(HotKeyFromShortcut(0x4000 | VK_HOME)), 0x4000 | VK_HOME);
}

TEST(Setup, ShowsTheRegistryAndOKStoresTheControls) {
    SetupSession s;
    WriteRegValue(HKEY_CURRENT_USER, SettingsKey, "DefaultSMTPServer", std::string("smtp.stored"));
    WriteRegValue(HKEY_CURRENT_USER, SettingsKey, "ColorLaunchClose", int32_t(0x00123456));  // not listed
    WriteRegValue(HKEY_CURRENT_USER, SettingsKey, "AppHotKey", int32_t(0x4000 | 'Q'));
    WriteRegValue(HKEY_CURRENT_USER, SettingsKey, "ShowHint", false);
    const int r = s.Run([](DriverWindow& w) {
        EXPECT_EQ(w.Title(), "Pelmark - Setup");
        EXPECT_EQ(w.Text("EditDefaultSMTPServer"), "smtp.stored");
        HWND close = w.Control("ColorBoxLaunchClose");
        EXPECT_EQ(SendMessageA(close, CB_GETCURSEL, 0, 0), 0);  // shown as the custom entry
        EXPECT_EQ(platform::ColorBoxValue(close), 0x00123456u);
        EXPECT_EQ(platform::ColorBoxValue(w.Control("ColorBoxLaunchStay")), 0x80000018u);
        EXPECT_EQ(SendMessageA(w.Control("HotKeyAppHotKey"), HKM_GETHOTKEY, 0, 0), MAKEWORD('Q', HOTKEYF_CONTROL));
        SetWindowTextA(w.Control("EditDefaultSMTPServer"), "smtp.new");
        platform::SetColorBoxValue(close, 0x000000FF);  // Red, a listed one
        SendMessageA(w.Control("CheckBoxSplashEnabledComp"), BM_SETCHECK, BST_UNCHECKED, 0);
        w.Press("BitBtnOk");
    });
    EXPECT_EQ(r, 1);
    EXPECT_EQ(Settings.DefaultSMTPServer, "smtp.new");
    EXPECT_EQ(Settings.ColorLaunchClose, 0x000000FFu);
    EXPECT_EQ(Settings.AppHotKey, 0x4000 | 'Q');
    EXPECT_FALSE(Settings.ShowHint);  // carried along unchanged
    EXPECT_FALSE(Settings.SplashEnabledComp);
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, SettingsKey, "DefaultSMTPServer", ""), "smtp.new");
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, CompanyKey(), "SplashEnabled", int32_t(9)), 0);
}

TEST(Setup, DefaultsThenOKStoresTheDerivedDefaultsWithHintsOn) {
    SetupSession s;
    WriteRegValue(HKEY_CURRENT_USER, SettingsKey, "ShowHint", false);
    WriteRegValue(HKEY_CURRENT_USER, SettingsKey, "DefaultSMTPServer", std::string("x"));
    s.Run([](DriverWindow& w) {
        w.Press("BitBtnDefaults");
        EXPECT_EQ(w.Text("EditDefaultSMTPServer"), "");
        EXPECT_TRUE(IsWindowVisible(w.Handle()));
        w.Press("BitBtnOk");
    });
    EXPECT_TRUE(ReadRegValue(HKEY_CURRENT_USER, SettingsKey, "ShowHint", false));
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, SettingsKey, "DefaultSMTPServer", "?"), "");
}

TEST(Setup, RestoreBringsBackTheRegistryAndCancelStoresNothing) {
    SetupSession s;
    WriteRegValue(HKEY_CURRENT_USER, SettingsKey, "DefaultSMTPServer", std::string("kept"));
    const int r = s.Run([](DriverWindow& w) {
        SetWindowTextA(w.Control("EditDefaultSMTPServer"), "edited");
        w.Press("BitBtnRestore");
        EXPECT_EQ(w.Text("EditDefaultSMTPServer"), "kept");
        SetWindowTextA(w.Control("EditDefaultSMTPServer"), "edited again");
        w.Key(VK_ESCAPE);  // the Cancel button: no question
    });
    EXPECT_EQ(r, 3);
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, SettingsKey, "DefaultSMTPServer", ""), "kept");
}

TEST(Setup, TheFrameAsksAndNoKeepsTheDialog) {
    SetupSession s;
    std::vector<std::string> seen;
    const int r = s.Run([&](DriverWindow& w) {
        w.CloseFrame();
        EXPECT_TRUE(IsWindowVisible(w.Handle()));
        w.CloseFrame();
    }, {[&](DriverWindow& q) {
            seen.push_back(q.Text("Message"));
            q.Press("No");
        },
        [&](DriverWindow& q) {
            seen.push_back(q.Text("Message"));
            q.Press("Yes");
        }});
    EXPECT_EQ(r, 2);
    EXPECT_EQ(seen, (std::vector<std::string>{"Cancel all changes ?", "Cancel all changes ?"}));
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, SettingsKey, "DefaultSMTPServer", "none"), "none");  // nothing stored
}

TEST(Setup, EqualLaunchColoursKeepTheDialogOpen) {
    SetupSession s;
    std::string message;
    const int r = s.Run([&](DriverWindow& w) {
        platform::SetColorBoxValue(w.Control("ColorBoxLaunchClose"), 0x80000018);
        w.Press("BitBtnOk");
        EXPECT_TRUE(IsWindowVisible(w.Handle()));
        EXPECT_EQ(GetFocus(), w.Control("ColorBoxLaunchStay"));
        w.Press("BitBtnCancel");
    }, {[&](DriverWindow& e) {
            message = e.Text("Message");
            e.Press("Cancel");
        }});
    EXPECT_EQ(r, 3);
    EXPECT_EQ(message, "The launch colors can not be of same value !");
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, SettingsKey, "ColorLaunchClose", int32_t(-1)), -1);  // nothing stored
}

TEST(Setup, IniButtonNeedsAValidTemplate) {
    SetupSession s;
    TempFolder dir;
    WriteRegValue(HKEY_CURRENT_USER, SettingsKey, "DefaultIniPath", dir.MakeFile("Agent.ini", "[URL]\r\nx=1\r\n"));
    std::string message;
    s.Run([&](DriverWindow& w) {
        w.Press("BitBtnEditINIFile");
        w.Press("BitBtnCancel");
    }, {[&](DriverWindow& e) {
            message = e.Text("Message");
            e.Press("Cancel");
        }});
    EXPECT_EQ(message, ".INI file not created yet!\rSave changes and try again.\r\"" + dir.Path() +
                           "Agent.ini\" has no [URL] ForceAgentClient.");
}

TEST(Setup, TheAgentFolderBrowserAcceptsOnlyAgentsFolder) {
    SetupSession s;
    TempFolder dir;
    const std::string agent = dir.MakeFolder("Agent");
    dir.MakeFile("Agent\\Agent.exe", "MZ");
    dir.MakeFile("Agent\\Agent.ini", "[URL]\r\nForceAgentClient=1\r\n");
    const std::string other = dir.MakeFolder("Other");
    WriteRegValue(HKEY_CURRENT_USER, SettingsKey, "AgentFolder", other);  // the browser starts here
    WriteRegValue(HKEY_CURRENT_USER, SettingsKey, "DefaultIniPath", std::string());
    bool okForOther = true, okForAgent = false, inApartment = false, okAtOpen = true, statusAtOpen = false;
    std::string title;
    TFrmZuSetup* setup = nullptr;
    s.Run([&](DriverWindow& w) {
        setup = static_cast<TFrmZuSetup*>(w.Form());
        w.Press("BitBtnAgentFolder");
        EXPECT_EQ(w.Text("EditAgentFolder"), agent);
        EXPECT_EQ(w.Text("EditDefaultIniPath"), agent + "Agent.ini");  // filled, as it was empty
        w.Press("BitBtnCancel");
    }, {[&](DriverWindow& b) {
            title = b.Title();
            // The browser runs in a single-threaded COM apartment.
            const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            inApartment = com == S_FALSE;
            if (SUCCEEDED(com)) CoUninitialize();
            HWND ok = GetDlgItem(b.Handle(), IDOK);
            // It opens at the folder in the field, judged at once.
            okAtOpen = IsWindowEnabled(ok);
            for (HWND c = GetWindow(b.Handle(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                statusAtOpen |= platform::WindowText(c) == other.substr(0, other.size() - 1);
            }
            // Each selection as the browser reports it; the verdict must hold
            // once the browser's own loop has run (Wine's re-enables OK).
            ASSERT_TRUE(setup->FolderDialog.OnChange);
            std::string reported;
            auto check = setup->FolderDialog.OnChange;
            setup->FolderDialog.OnChange = [&](TFolderDialog& d, const std::string& f) {
                reported = f;
                check(d, f);
            };
            const std::string bareAgent = agent.substr(0, agent.size() - 1);
            // Agent is chosen in the tree beside the folder the browser
            // opened at, as a click chooses it: once Wine's browser has opened
            // at a folder, it does not find a path beside it. Where it opened
            // at none, the path is how to reach it.
            HWND tree = FindWindowExA(b.Handle(), nullptr, WC_TREEVIEWA, nullptr);
            HTREEITEM opened = tree ? TreeView_GetSelection(tree) : nullptr, beside = nullptr;
            for (HTREEITEM i = opened ? TreeView_GetChild(tree, TreeView_GetParent(tree, opened)) : nullptr; i;
                 i = TreeView_GetNextSibling(tree, i)) {
                char text[MAX_PATH] = {};
                TVITEMA item{};
                item.mask = TVIF_TEXT;
                item.hItem = i;
                item.pszText = text;
                item.cchTextMax = MAX_PATH;
                if (TreeView_GetItem(tree, &item) && lstrcmpiA(text, "Agent") == 0) beside = i;
            }
            if (beside) {
                TreeView_SelectItem(tree, beside);
            } else {
                SendMessageA(b.Handle(), BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(bareAgent.c_str()));
            }
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (reported != bareAgent && std::chrono::steady_clock::now() < end) UiDriver::Settle();
            ASSERT_EQ(reported, bareAgent) << "the browser never reported the selection";
            okForAgent = IsWindowEnabled(ok);
            // The verdict on "Other" must outlast the browser's own re-check,
            // which enables OK again right after telling us of a selection.
            check(setup->FolderDialog, other.substr(0, other.size() - 1));
            SendMessageA(b.Handle(), BFFM_ENABLEOK, 0, TRUE);
            UiDriver::Settle();
            okForOther = IsWindowEnabled(ok);
            check(setup->FolderDialog, bareAgent);
            PostMessageA(b.Handle(), WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(ok));
        }});
    EXPECT_EQ(title, "Select Agent program folder.");
    // The folder it opens at is judged as it opens, before the browser
    // reports any selection (Wine's reports one at once; Windows' need not).
    TFolderDialog opening;
    opening.Directory = agent;
    std::vector<std::string> judged;
    opening.OnChange = [&](TFolderDialog&, const std::string& folder) { judged.push_back(folder); };
    HWND stand = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    TFolderDialog::Callback(stand, BFFM_INITIALIZED, 0, reinterpret_cast<LPARAM>(&opening));
    DestroyWindow(stand);
    EXPECT_EQ(judged, std::vector<std::string>{agent.substr(0, agent.size() - 1)});
    EXPECT_TRUE(inApartment);
    EXPECT_FALSE(okAtOpen) << "OK was enabled for a folder without Agent.exe";
    EXPECT_TRUE(statusAtOpen) << "the browser did not open at the folder in the field";
    // (Wine's browser enters one by itself; Windows' does not.) The owner of
    // the apartment enters it for its scope and leaves it again.
    {
        const platform::ComApartment com;
        EXPECT_TRUE(com.Initialised());
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
        CoUninitialize();
    }
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);  // no apartment left behind
    CoUninitialize();
    EXPECT_FALSE(okForOther);
    EXPECT_TRUE(okForAgent);
}

TEST(Setup, CustomColourCancelledKeepsTheColourAndAltSFocusesNothing) {
    SetupSession s;
    bool pickerSeen = false;
    s.Run([&](DriverWindow& w) {
        HWND box = w.Control("ColorBoxLaunchClose");
        const uint32_t before = platform::ColorBoxValue(box);
        SendMessageA(box, CB_SETCURSEL, 0, 0);  // "Custom..."
        SendMessageA(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(box));
        EXPECT_EQ(platform::ColorBoxValue(box), before);
        w.FocusOn("BitBtnRestore");
        w.Key('S', platform::ssAlt);
        EXPECT_EQ(GetFocus(), w.Control("BitBtnRestore"));  // the SMTP server label has no focus target
        w.Press("BitBtnCancel");
    }, {[&](DriverWindow& picker) {
            pickerSeen = true;
            PostMessageA(picker.Handle(), WM_COMMAND, IDCANCEL, 0);
        }});
    EXPECT_TRUE(pickerSeen);
}

TEST(Setup, EveryColourAndASampleOfHotKeysRoundTrip) {
    SetupSession s;
    s.Run([&](DriverWindow& w) {
        HWND box = w.Control("ColorBoxLaunchStay");
        for (const auto& c : platform::ListedColors()) {
            platform::SetColorBoxValue(box, c.value);
            EXPECT_EQ(platform::ColorBoxValue(box), c.value) << c.name;
            EXPECT_NE(SendMessageA(box, CB_GETCURSEL, 0, 0), 0) << c.name;  // a listed entry, not the custom one
        }
        for (uint32_t v : {0x00010203u, 0x00FEDCBAu}) {
            platform::SetColorBoxValue(box, v);
            EXPECT_EQ(platform::ColorBoxValue(box), v);
        }
        HWND hot = w.Control("HotKeyAppHotKey");
        for (uint16_t sc : {uint16_t(0), uint16_t(VK_F9), uint16_t(0x2000 | 'A'), uint16_t(0x4000 | VK_HOME),
                            uint16_t(0x8000 | '7'), uint16_t(0xE000 | VK_F12)}) {
            SendMessageA(hot, HKM_SETHOTKEY, HotKeyFromShortcut(sc), 0);
            EXPECT_EQ(ShortcutFromHotKey(static_cast<WORD>(SendMessageA(hot, HKM_GETHOTKEY, 0, 0))), sc);
        }
        w.Press("BitBtnCancel");
    });
}

TEST(Setup, TheAgentFolderKeepsAnExistingTemplateAndTheIniCheckNeedsTheMark) {
    TempFolder dir;
    dir.MakeFolder("Plain");
    dir.MakeFile("Plain\\Agent.ini", "[URL]\r\nSomethingElse=1\r\n");
    EXPECT_FALSE(IniFolderAcceptable(dir.Path() + "Plain"));
    EXPECT_FALSE(IniFolderAcceptable(dir.Path() + "Nowhere"));

    SetupSession s;
    const std::string agent = dir.MakeFolder("Agent");
    dir.MakeFile("Agent\\Agent.exe", "MZ");
    dir.MakeFile("Agent\\Agent.ini", "[URL]\r\nForceAgentClient=1\r\n");
    const std::string kept = dir.MakeFile("kept.ini", "[URL]\r\nForceAgentClient=1\r\n");
    WriteRegValue(HKEY_CURRENT_USER, SettingsKey, "AgentFolder", agent);
    WriteRegValue(HKEY_CURRENT_USER, SettingsKey, "DefaultIniPath", kept);
    s.Run([&](DriverWindow& w) {
        w.Press("BitBtnAgentFolder");
        EXPECT_EQ(w.Text("EditDefaultIniPath"), kept);  // an existing template stays
        w.Press("BitBtnCancel");
    }, {[](DriverWindow& b) { PostMessageA(b.Handle(), WM_COMMAND, IDOK, 0); }});
}

TEST(Setup, HelpOnTheAgentFolderShowsItsLabelsHint) {
    SetupSession s;
    std::string help;
    s.Run([&](DriverWindow& w) {
        w.FocusOn("EditAgentFolder");
        w.Key(VK_F1);
        w.Press("BitBtnCancel");
    }, {[&](DriverWindow& info) {
            help = info.Text("Message");
            info.Press("OK");
        }});
    EXPECT_EQ(help, "Root folder of all Agent data files");
}

TEST(Setup, WaitingForTheUserIsNeverBusyAndAltSReachesTheHotKeyControl) {
    SetupSession s;
    TempFolder dir;
    WriteRegValue(HKEY_CURRENT_USER, SettingsKey, "DefaultIniPath",
                  dir.MakeFile("Agent.ini", "[URL]\r\nForceAgentClient=1\r\n"));
    bool busyInEditor = true;
    WORD hotKey = 0;
    s.Run([&](DriverWindow& w) {
        w.Press("BitBtnEditINIFile");
        EXPECT_FALSE(platform::Application::Instance().Busy());
        w.FocusOn("HotKeyAppHotKey");
        SetForegroundWindow(w.Handle());
        testing_support::KeyboardKey('S', {VK_MENU});  // Alt+S from the keyboard
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (SendMessageA(w.Control("HotKeyAppHotKey"), HKM_GETHOTKEY, 0, 0) == 0 &&
               std::chrono::steady_clock::now() < end) {
            UiDriver::Settle();
        }
        hotKey = static_cast<WORD>(SendMessageA(w.Control("HotKeyAppHotKey"), HKM_GETHOTKEY, 0, 0));
        EXPECT_EQ(w.Focused(), w.Control("HotKeyAppHotKey"));  // no mnemonic took it away
        // F1 is a key like any other there: no help pops up.
        testing_support::KeyboardKey(VK_F1);
        testing_support::PumpUntil([&] { return SendMessageA(w.Control("HotKeyAppHotKey"), HKM_GETHOTKEY, 0, 0) == VK_F1; });
        // Left by Shift+Tab, the field keeps its last whole combination,
        // not the Shift alone.
        const WORD ctrlAltP = MAKEWORD('P', HOTKEYF_CONTROL | HOTKEYF_ALT);
        testing_support::KeyboardKey('P', {VK_CONTROL, VK_MENU});
        testing_support::PumpUntil([&] { return SendMessageA(w.Control("HotKeyAppHotKey"), HKM_GETHOTKEY, 0, 0) == ctrlAltP; });
        testing_support::KeyboardKey(VK_TAB, {VK_SHIFT});
        testing_support::PumpUntil([&] { return w.Focused() != w.Control("HotKeyAppHotKey"); });
        EXPECT_EQ(SendMessageA(w.Control("HotKeyAppHotKey"), HKM_GETHOTKEY, 0, 0), ctrlAltP);
        // Elsewhere Alt+S focuses nothing: the SMTP server label has no focus target.
        w.FocusOn("CheckBoxSplashEnabledAll");
        testing_support::KeyboardKey('S', {VK_MENU});
        testing_support::PumpFor(std::chrono::milliseconds(150));
        EXPECT_EQ(w.Focused(), w.Control("CheckBoxSplashEnabledAll"));
        w.Press("BitBtnOk");
    }, {[&](DriverWindow& editor) {
            busyInEditor = platform::Application::Instance().Busy();
            editor.Press("BitBtnCancel");
        }});
    EXPECT_FALSE(busyInEditor);
    EXPECT_EQ(hotKey, MAKEWORD('S', HOTKEYF_ALT));
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, SettingsKey, "AppHotKey", int32_t(0)), 0xC000 | 'P');
}

TEST(Setup, AnUnlistedColourIsTheCustomEntryAlone) {
    SetupSession s;
    WriteRegValue(HKEY_CURRENT_USER, SettingsKey, "ColorLaunchClose", int32_t(0x00123456));
    s.Run([](DriverWindow& w) {
        EXPECT_EQ(platform::ColorBoxItemText(w.Control("ColorBoxLaunchClose"), 0), "Custom...");
        w.Press("BitBtnCancel");
    });
}

TEST(Setup, AValueOfTheWrongTypeIsReportedAndTheDialogStillOpensAndStoresItsPlaceRightly) {
    SetupSession s;
    TempFolder noAgent;
    s.registry.SetProgramFilesDir(noAgent.Path());  // so the default Agent folder is empty
    WriteRegValue(HKEY_CURRENT_USER, SettingsKey, "AgentFolder", int32_t(1));
    WriteRegValue(HKEY_CURRENT_USER, SettingsKey, "FrmZuSetup.Width", std::string("500"));
    std::vector<std::string> reported;
    auto report = [&](DriverWindow& w) {
        reported.push_back(platform::WindowText(GetDlgItem(w.Handle(), 0xFFFF)));
        w.Press("OK");
    };
    std::string agentFolder = "(not opened)";
    UiDriver d;
    d.Then(report).Then(report).Then([&](DriverWindow& w) {
        agentFolder = w.Text("EditAgentFolder");
        w.Press("BitBtnCancel");
    });
    d.Run([] { RunSetupDialog(nullptr); });
    EXPECT_EQ(reported, (std::vector<std::string>{"Invalid data type for 'FrmZuSetup.Width'",
                                                  "Invalid data type for 'AgentFolder'"}));
    EXPECT_EQ(agentFolder, "");  // the default
    EXPECT_GT(ReadRegValue(HKEY_CURRENT_USER, SettingsKey, "FrmZuSetup.Width", int32_t(-1)), 0);
}

TEST(Setup, TheFolderButtonsShowAPicture) {
    SetupSession s;
    s.Run([](DriverWindow& w) {
        // A picture alone; the window text, never drawn, names the button.
        for (const char* b : {"BitBtnAgentFolder", "BitBtnDefaultIniPath", "BitBtnProfileFolder"}) {
            EXPECT_TRUE(GetWindowLongA(w.Control(b), GWL_STYLE) & BS_ICON) << b;
            EXPECT_NE(SendMessageA(w.Control(b), BM_GETIMAGE, IMAGE_ICON, 0), 0) << b;
        }
        EXPECT_EQ(w.Text("BitBtnAgentFolder"), "Select the folder where the Agent.exe program is located.");
        w.Press("BitBtnCancel");
    });
}

TEST(Mnemonics, EveryLabelsKeyFromTheKeyboardFocusesItsControl) {
    SetupSession s;
    auto check = [](DriverWindow& w) {
        SetForegroundWindow(w.Handle());
        int labels = 0;
        for (HWND c : w.Form()->Controls()) {
            const platform::ControlDef* d = w.Form()->DefinitionOf(c);
            const auto amp = d->caption.find('&');
            if (d->kind != platform::ControlKind::Label || amp == std::string::npos) continue;
            ++labels;
            EXPECT_FALSE(d->focusControl.empty()) << d->caption << " shows a key that focuses nothing";
            if (d->focusControl.empty()) continue;
            const WORD letter = static_cast<WORD>(VkKeyScanA(d->caption[amp + 1]) & 0xFF);
            w.FocusOn(w.Form()->Definition().cancelButton);
            testing_support::KeyboardKey(letter, {VK_MENU});
            // One key is meant to focus nothing: the SMTP server label's.
            HWND target = d->caption == "Default &SMTP server" ? w.Control(w.Form()->Definition().cancelButton)
                                                               : w.Control(d->focusControl);
            if (d->caption == "Default &SMTP server") testing_support::PumpFor(std::chrono::milliseconds(150));
            EXPECT_TRUE(testing_support::PumpUntil([&] { return GetFocus() == target; })) << d->caption;
        }
        EXPECT_GT(labels, 3) << w.Title();
        w.Press(w.Form()->Definition().cancelButton);
    };
    s.Run(check);
    profiles::TFrmZuEditProfile editor(nullptr);
    editor.Create();
    editor.LoadProfile("", "", "", "", "");  // add mode: the name is a field
    testing_support::RunModal(editor, check);
}

TEST(Setup, NoHintCoversAnOpenColourList) {
    SetupSession s;
    platform::Application::Instance().SetShowHint(true);
    s.Run([](DriverWindow& w) {
        SetForegroundWindow(w.Handle());
        HWND box = w.Control("ColorBoxLaunchStay");
        RECT r;
        GetWindowRect(box, &r);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        auto hintShown = [&] {
            for (HWND t = FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr); t;
                 t = FindWindowExA(nullptr, t, TOOLTIPS_CLASSA, nullptr)) {
                if (IsWindowVisible(t) && GetWindow(t, GW_OWNER) == w.Handle()) return true;
            }
            return false;
        };
        ASSERT_TRUE(testing_support::PumpUntil(hintShown, std::chrono::seconds(8))) << "the box shows no hint at all";
        SendMessageA(box, CB_SHOWDROPDOWN, TRUE, 0);
        EXPECT_FALSE(hintShown()) << "the hint stays over the open list";
        // Long after a hint's delay, with the pointer still on the box.
        EXPECT_FALSE(testing_support::PumpUntil(hintShown, std::chrono::seconds(3))) << "a hint covers the open list";
        SendMessageA(box, CB_SHOWDROPDOWN, FALSE, 0);
        SetCursorPos(0, 0);
        w.Press("BitBtnCancel");
    });
}

TEST(Setup, KeysMoveThroughAnOpenColourListAndOnlyAChosenCustomOpensThePicker) {
    SetupSession s;
    int pickers = 0;
    uint32_t before = 0, afterMoving = 1, afterChoosing = 1;
    auto cancelPicker = [&](DriverWindow& picker) {
        ++pickers;
        PostMessageA(picker.Handle(), WM_COMMAND, IDCANCEL, 0);
    };
    s.Run([&](DriverWindow& w) {
        SetForegroundWindow(w.Handle());
        HWND box = w.Control("ColorBoxLaunchStay");
        before = platform::ColorBoxValue(box);
        w.FocusOn("ColorBoxLaunchStay");
        auto key = [&](WORD vk, std::initializer_list<WORD> mods = {}) {
            testing_support::KeyboardKey(vk, mods);
            testing_support::PumpFor(std::chrono::milliseconds(150));
        };
        key(VK_DOWN, {VK_MENU});  // open the list
        EXPECT_TRUE(SendMessageA(box, CB_GETDROPPEDSTATE, 0, 0));
        key(VK_HOME);  // "Custom..." is the first entry
        key(VK_END);
        key(VK_HOME);
        key(VK_ESCAPE);  // closed without a choice
        afterMoving = platform::ColorBoxValue(box);
        EXPECT_EQ(pickers, 0);
        testing_support::KeyboardKey(VK_HOME);  // the box is closed again: Home chooses at once
        EXPECT_TRUE(testing_support::PumpUntil([&] { return pickers == 1; }));
        key(VK_DOWN, {VK_MENU});
        key(VK_HOME);
        testing_support::KeyboardKey(VK_RETURN);  // chosen: the picker opens
        EXPECT_TRUE(testing_support::PumpUntil([&] { return pickers == 2; }));
        afterChoosing = platform::ColorBoxValue(box);
        w.Press("BitBtnCancel");
    }, {cancelPicker, cancelPicker});
    EXPECT_EQ(pickers, 2);
    EXPECT_EQ(afterMoving, before);
    EXPECT_EQ(afterChoosing, before);  // the picker was cancelled
}
