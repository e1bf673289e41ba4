#include <gtest/gtest.h>

#include "about/xDialogs.h"
#include "platform/Application.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "profiles/ZuGlobal.h"
#include "settings/KelUtility.h"
#include "settings/RegSpecial.h"
#include "support/Helpers.h"
#include "support/RegistrySandbox.h"
#include "support/UiDriver.h"

using namespace settings;
using testing_support::DriverWindow;
using testing_support::RegistrySandbox;
using testing_support::TempFolder;
using testing_support::UiDriver;

using testing_support::KeyExists;

namespace {
const HKEY CU = HKEY_CURRENT_USER;


bool ValueExists(const std::string& key, const char* name) {
    HKEY k;
    if (RegOpenKeyExA(CU, key.substr(1).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    const bool found = RegQueryValueExA(k, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(k);
    return found;
}

// A Program Files folder with Agent installed as "Agent\Agent.exe".
struct ProgramFiles {
    TempFolder dir;
    ProgramFiles(bool withExe, bool withIni) {
        dir.MakeFolder("Agent");
        if (withExe) dir.MakeFile("Agent\\Agent.exe", "MZ");
        if (withIni) dir.MakeFile("Agent\\Agent.ini", "[URL]\r\nForceAgentClient=1\r\n");
    }
};
}  // namespace

TEST(KelUtility, ModuleStartSetsKeyPathAndCaptions) {
    EXPECT_EQ(SettingsKey, "\\Software\\Brennvik\\Pelmark");
    EXPECT_STREQ(CompanyName, "Brennvik");
    const auto& c = about::DialogCaptions();
    EXPECT_EQ(c.buttons[0], "&Yes");
    EXPECT_EQ(c.buttons[8], "N&o to All");
    EXPECT_EQ(c.buttons[9], "Yes to &All");
    EXPECT_EQ(c.titles[3], "Confirm");
    EXPECT_EQ(c.titles[4], "");
    EXPECT_EQ(VersionKeyCaptions,
              (std::vector<std::string>{"Developers=Developers", "Programmers=Programmers", "HTTP=Homepage",
                                        "SMTP=E-Mail"}));
}

TEST(KelUtility, DefaultsFollowWhereAgentIsInstalled) {
    {
        ProgramFiles pf(true, true);
        TSettings s;
        DeriveAgentFolders(pf.dir.Path(), s);  // with its trailing "\"
        EXPECT_EQ(s.AgentFolder, pf.dir.Path() + "Agent\\");
        EXPECT_EQ(s.ProfileFolder, s.AgentFolder);
        EXPECT_EQ(s.DefaultIniPath, pf.dir.Path() + "Agent\\Agent.ini");
        const std::string noSlash = pf.dir.Path().substr(0, pf.dir.Path().size() - 1);
        TSettings t;
        DeriveAgentFolders(noSlash, t);
        EXPECT_EQ(t, s);
    }
    {
        ProgramFiles pf(true, false);  // Agent.exe without Agent.ini
        TSettings s;
        DeriveAgentFolders(pf.dir.Path(), s);
        EXPECT_EQ(s.AgentFolder, pf.dir.Path() + "Agent\\");
        EXPECT_EQ(s.ProfileFolder, s.AgentFolder);
        EXPECT_EQ(s.DefaultIniPath, "");
    }
    {
        ProgramFiles pf(false, true);  // no Agent.exe
        TSettings s;
        s.AgentFolder = "stale";
        DeriveAgentFolders(pf.dir.Path(), s);
        EXPECT_EQ(s.AgentFolder, "");
        EXPECT_EQ(s.DefaultIniPath, "");
        EXPECT_EQ(s.ProfileFolder, "");
    }
    TSettings s;
    DeriveAgentFolders("", s);
    EXPECT_EQ(s.AgentFolder, "");
    // Where this user cannot write beside Agent (Program Files, for a
    // standard user), profiles go to a folder of the user's own.
    // Profiles already beside Agent keep its folder the default all the same.
    const std::string agent = "C:\\Program Files (x86)\\Agent\\", local = "C:\\Users\\u\\AppData\\Local";
    EXPECT_EQ(DefaultProfileFolder(agent, false, true, local), agent);
    EXPECT_EQ(DefaultProfileFolder(agent, true, false, local), agent);
    EXPECT_EQ(DefaultProfileFolder(agent, false, false, local), local + "\\Pelmark\\Profiles\\");
    EXPECT_EQ(DefaultProfileFolder(agent, false, false, local + "\\"), local + "\\Pelmark\\Profiles\\");
    EXPECT_EQ(DefaultProfileFolder(agent, false, false, ""), agent);
    // A folder on a share is a full path; one relative to the current
    // folder or drive is not.
    for (const char* full : {"\\\\server\\share\\Profiles\\", "C:\\Profiles\\", "c:/p"}) EXPECT_TRUE(platform::IsFullPath(full)) << full;
    for (const char* relative : {"Profiles\\", "\\Profiles", "C:Profiles", "\\\\\\x", ""}) EXPECT_FALSE(platform::IsFullPath(relative)) << relative;
    ProgramFiles pf(true, true);
    EXPECT_TRUE(platform::FolderIsWritable(pf.dir.Path() + "Agent"));
    EXPECT_EQ(profiles::ListFolderEntries(pf.dir.Path() + "Agent").size(), 4u);  // ".", "..", the two files: no probe left
    EXPECT_FALSE(platform::FolderIsWritable(pf.dir.Path() + "Agent\\Agent.exe"));
    EXPECT_FALSE(platform::FolderIsWritable(pf.dir.Path() + "none"));
}

TEST(KelUtility, AgentsFolderIsOnlyReadWhereItSettlesTheDefault) {
    RegistrySandbox sandbox;
    ProgramFiles pf(true, true);
    sandbox.SetProgramFilesDir(pf.dir.Path());
    const std::string agent = pf.dir.Path() + "Agent";
    auto written = [&] {
        WIN32_FIND_DATAA fd;
        FindClose(FindFirstFileA(agent.c_str(), &fd));
        return (static_cast<uint64_t>(fd.ftLastWriteTime.dwHighDateTime) << 32) | fd.ftLastWriteTime.dwLowDateTime;
    };
    const uint64_t before = written();
    // Every folder stored: taken as it is, however often started.
    WriteRegValue(CU, SettingsKey, "AgentFolder", agent + "\\");
    WriteRegValue(CU, SettingsKey, "DefaultIniPath", agent + "\\Agent.ini");
    WriteRegValue(CU, SettingsKey, "ProfileFolder", pf.dir.Path());
    for (int i = 0; i < 3; ++i) {
        TSettings s;
        LoadSettings(s);
    }
    EXPECT_EQ(written(), before);
    EXPECT_EQ(profiles::ListFolderEntries(agent).size(), 4u);  // ".", "..", Agent.exe, Agent.ini
    // Agent's own sub-folders are no profiles; one with an Agent.ini is.
    pf.dir.MakeFolder("Agent\\Plugins");
    EXPECT_FALSE(FolderHoldsProfile(agent));
    // None stored, but a profile already beside Agent: that settles it.
    settings::ClearSettingsKeys();
    pf.dir.MakeFolder("Agent\\Old News");
    pf.dir.MakeFile("Agent\\Old News\\Agent.ini", "[View]\r\nTitle=Old\r\n");
    const uint64_t withProfile = written();
    TSettings s;
    LoadSettings(s);
    EXPECT_EQ(s.ProfileFolder, agent + "\\");
    EXPECT_EQ(written(), withProfile);
}

TEST(KelUtility, FreshInstallationLoadsDerivedDefaults) {
    RegistrySandbox sandbox;
    ProgramFiles pf(true, true);
    sandbox.SetProgramFilesDir(pf.dir.Path().substr(0, pf.dir.Path().size() - 1));
    TSettings s;
    LoadSettings(s);
    EXPECT_EQ(s.AgentFolder, pf.dir.Path() + "Agent\\");
    EXPECT_EQ(s.ProfileFolder, pf.dir.Path() + "Agent\\");
    EXPECT_EQ(s.DefaultIniPath, pf.dir.Path() + "Agent\\Agent.ini");
    EXPECT_EQ(s.DefaultSMTPServer, "");
    EXPECT_TRUE(s.ShowHint);
    EXPECT_EQ(s.AppHotKey, 0);
    EXPECT_EQ(s.ColorLaunchStay, 0x80000018u);
    EXPECT_EQ(s.ColorLaunchClose, 0x8000001Au);
    EXPECT_TRUE(s.SplashEnabledThis && s.SplashEnabledComp && s.SplashEnabledAll);
    EXPECT_FALSE(KeyExists(SettingsKey));  // loading writes nothing

    sandbox.SetProgramFilesDir("");  // missing: the derivation still completes
    TSettings t;
    LoadSettings(t);
    EXPECT_EQ(t.AgentFolder, "");
    EXPECT_EQ(t.DefaultIniPath, "");
}

TEST(KelUtility, StoredValuesOverrideDefaultsEvenWhenEmpty) {
    RegistrySandbox sandbox;
    ProgramFiles pf(true, true);
    sandbox.SetProgramFilesDir(pf.dir.Path());
    WriteRegValue(CU, SettingsKey, "AgentFolder", std::string());
    WriteRegValue(CU, SettingsKey, "AppHotKey", int32_t(0x1C041));  // read back as its low 16 bits
    WriteRegValue(CU, SettingsKey, "ShowHint", false);
    TSettings s;
    LoadSettings(s);
    EXPECT_EQ(s.AgentFolder, "");
    EXPECT_EQ(s.ProfileFolder, pf.dir.Path() + "Agent\\");
    EXPECT_EQ(s.AppHotKey, 0xC041);
    EXPECT_FALSE(s.ShowHint);
    // Folders stored by hand without their backslash get one, in memory only.
    WriteRegValue(CU, SettingsKey, "ProfileFolder", std::string("C:\\pf2"));
    WriteRegValue(CU, SettingsKey, "AgentFolder", std::string("C:\\Agent"));
    LoadSettings(s);
    EXPECT_EQ(s.ProfileFolder, "C:\\pf2\\");
    EXPECT_EQ(s.AgentFolder, "C:\\Agent\\");
    EXPECT_EQ(ReadRegValue(CU, SettingsKey, "ProfileFolder", ""), "C:\\pf2");
}

TEST(KelUtility, AValueOfTheWrongTypeIsReportedThenReadAsAbsentAndTheNextSaveMendsIt) {
    RegistrySandbox sandbox;
    WriteRegValue(CU, SettingsKey, "ShowHint", std::string("yes"));
    WriteRegValue(CU, SettingsKey, "AppHotKey", std::string("F5"));
    WriteRegValue(CU, SettingsKey, "DefaultSMTPServer", int32_t(7));
    WriteRegValue(CU, SettingsKey, "ColorLaunchStay", int32_t(0x123456));  // right: still read
    WriteRegValue(CU, SharedKey, "SplashEnabled", std::string("0"));       // other programs write it too
    WriteRegValue(CU, CompanyKey(), "SplashEnabled", false);
    // Folders written by hand: an expandable string is expanded; a path that
    // is not a full one is reported like a wrong type, and the default serves.
    SetEnvironmentVariableA("PELMARK_PLACE", "C:\\Users\\me");
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(CU, SettingsKey.substr(1).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), 0);
    const char expandable[] = "%PELMARK_PLACE%\\Profiles\\";
    RegSetValueExA(key, "ProfileFolder", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expandable), sizeof expandable);
    RegCloseKey(key);
    WriteRegValue(CU, SettingsKey, "AgentFolder", std::string("Agent\\"));
    WriteRegValue(CU, SettingsKey, "DefaultIniPath", std::string("\\Agent\\Agent.ini"));
    std::vector<std::string> reported;
    UiDriver d;
    for (int k = 0; k < 6; ++k) {
        d.Then([&](DriverWindow& w) {
            reported.push_back(platform::WindowText(GetDlgItem(w.Handle(), 0xFFFF)));  // the box's text
            w.Press("OK");
        });
    }
    TSettings s;
    s.ShowHint = false;
    d.Run([&] { LoadSettings(s); });
    SetEnvironmentVariableA("PELMARK_PLACE", nullptr);
    EXPECT_EQ(reported, (std::vector<std::string>{"Invalid path for 'AgentFolder': \"Agent\\\" is not a full path",
                                                  "Invalid path for 'DefaultIniPath': \"\\Agent\\Agent.ini\" is not "
                                                  "a full path",
                                                  "Invalid data type for 'DefaultSMTPServer'",
                                                  "Invalid data type for 'ShowHint'",
                                                  "Invalid data type for 'AppHotKey'",
                                                  "Invalid data type for 'SplashEnabled'"}));
    TSettings defaults;
    LoadDefaultSettings(defaults);
    EXPECT_EQ(s.ProfileFolder, "C:\\Users\\me\\Profiles\\");
    EXPECT_EQ(s.AgentFolder, defaults.AgentFolder);
    EXPECT_EQ(s.DefaultIniPath, defaults.DefaultIniPath);
    EXPECT_TRUE(s.ShowHint);
    EXPECT_EQ(s.AppHotKey, 0);
    EXPECT_EQ(s.DefaultSMTPServer, "");
    EXPECT_EQ(s.ColorLaunchStay, 0x123456u);
    EXPECT_FALSE(s.SplashEnabledComp);  // read from the company key
    EXPECT_TRUE(s.SplashEnabledAll);
    TSettings saved;
    SaveSettings(s, saved);
    EXPECT_TRUE(ReadRegValue(CU, SettingsKey, "ShowHint", false));  // a DWORD again: no error
    EXPECT_EQ(ReadRegValue(CU, SettingsKey, "DefaultSMTPServer", std::string("x")), "");
}

TEST(KelUtility, SaveAndLoadRoundTripWithTheSplashAbsenceRule) {
    RegistrySandbox sandbox;
    TSettings s;
    s.AgentFolder = "C:\\Agent\\";
    s.DefaultIniPath = "C:\\Agent\\Agent.ini";
    s.ProfileFolder = "D:\\Profiles\\";
    s.DefaultSMTPServer = "smtp.example.org";
    s.ShowHint = false;
    s.AppHotKey = 0x8000 | 0x4000 | 'P';
    s.ColorLaunchStay = 0x00FF8040;
    s.ColorLaunchClose = 0x80000005;
    s.SplashEnabledThis = false;
    s.SplashEnabledComp = false;
    s.SplashEnabledAll = false;
    TSettings target;
    SaveSettings(s, target);
    EXPECT_EQ(target, s);
    TSettings back;
    LoadSettings(back);
    EXPECT_EQ(back, s);
    EXPECT_EQ(ReadRegValue(CU, CompanyKey(), "SplashEnabled", int32_t(9)), 0);
    EXPECT_EQ(ReadRegValue(CU, SharedKey, "SplashEnabled", int32_t(9)), 0);
    EXPECT_EQ(ReadRegValue(CU, SettingsKey, "AppHotKey", int32_t(0)), 0xC050);

    // Switched on again: the shared values go, the company key stays.
    s.SplashEnabledThis = s.SplashEnabledComp = s.SplashEnabledAll = true;
    SaveSettings(s, target);
    EXPECT_TRUE(ValueExists(SettingsKey, "SplashEnabled"));
    EXPECT_FALSE(ValueExists(CompanyKey(), "SplashEnabled"));
    EXPECT_FALSE(ValueExists(SharedKey, "SplashEnabled"));
    EXPECT_TRUE(KeyExists(CompanyKey()));
    LoadSettings(back);
    EXPECT_EQ(back, s);
}

TEST(KelUtility, AnyOneSplashSwitchOffSuppressesTheSplash) {
    const TSettings saved = Settings;
    for (int off = 0; off < 4; ++off) {
        Settings.SplashEnabledThis = off != 1;
        Settings.SplashEnabledComp = off != 2;
        Settings.SplashEnabledAll = off != 3;
        EXPECT_EQ(SplashAllowed(), off == 0) << off;
    }
    Settings = saved;
}

TEST(KelUtility, SplashSwitchesOffElsewhereAreHonouredOnLoad) {
    RegistrySandbox sandbox;
    WriteRegValue(CU, SharedKey, "SplashEnabled", false);
    TSettings s;
    LoadSettings(s);
    EXPECT_TRUE(s.SplashEnabledThis);
    EXPECT_TRUE(s.SplashEnabledComp);
    EXPECT_FALSE(s.SplashEnabledAll);
}

TEST(ClearAllSettings, AsksWithTheThreeChoicesInOrder) {
    RegistrySandbox sandbox;
    WriteRegValue(CU, SettingsKey, "ShowHint", true);
    UiDriver d;
    std::string text;
    std::vector<std::string> captions;
    d.Then([&](DriverWindow& w) {
        EXPECT_EQ(w.Title(), "Confirm");
        text = w.Text("Message");
        for (const char* b : {"Yes", "Cancel", "YesToAll"}) captions.push_back(w.Text(b));
        RECT a, b, c;
        GetWindowRect(w.Control("Yes"), &a);
        GetWindowRect(w.Control("Cancel"), &b);
        GetWindowRect(w.Control("YesToAll"), &c);
        EXPECT_LT(a.left, b.left);
        EXPECT_LT(b.left, c.left);
        EXPECT_EQ(w.Control("No"), nullptr);
        w.Press("Cancel");
    });
    d.Run([] { ClearAllSettings(); });
    EXPECT_EQ(text,
              "Are you sure you want to clear all settings for this program ?\r\r"
              "&Yes\t\t = Clear all settings and return to program\r"
              "Yes to &All\t = Clear all settings and end program\r"
              "Cancel\t\t = Cancel and return to program");
    EXPECT_EQ(captions, (std::vector<std::string>{"&Yes", "Cancel", "Yes to &All"}));
    EXPECT_TRUE(KeyExists(SettingsKey));  // Cancel changes nothing
    EXPECT_FALSE(ClearOnExit);
}

TEST(ClearAllSettings, YesClearsNowAndKeepsWhatOthersOwn) {
    RegistrySandbox sandbox;
    const TSettings before = Settings;
    WriteRegValue(CU, SettingsKey, "ShowHint", true);
    WriteRegValue(CU, SettingsKey + "\\Sub", "V", true);
    WriteRegValue(CU, SharedKey, "SplashEnabled", false);
    UiDriver d;
    d.Then([](DriverWindow& w) { w.Press("Yes"); });
    d.Run([] { ClearAllSettings(); });
    EXPECT_FALSE(KeyExists(SettingsKey));
    EXPECT_FALSE(KeyExists(CompanyKey()));  // empty, so it goes too
    EXPECT_TRUE(ValueExists(SharedKey, "SplashEnabled"));  // never deleted here
    EXPECT_EQ(Settings, before);  // the program goes on with what it has
    EXPECT_FALSE(platform::Application::Instance().Terminated());

    // Values written afterwards make the key again, holding only themselves.
    WriteRegValue(CU, SettingsKey, "FrmZuMain.Left", int32_t(10));
    EXPECT_TRUE(ValueExists(SettingsKey, "FrmZuMain.Left"));
    EXPECT_FALSE(ValueExists(SettingsKey, "ShowHint"));

    // A company key that still holds its own switch survives.
    WriteRegValue(CU, CompanyKey(), "SplashEnabled", false);
    d.Then([](DriverWindow& w) { w.Press("Yes"); });
    d.Run([] { ClearAllSettings(); });
    EXPECT_FALSE(KeyExists(SettingsKey));
    EXPECT_TRUE(ValueExists(CompanyKey(), "SplashEnabled"));
}

TEST(ClearAllSettings, YesToAllClearsAtExitAfterTheLastWrite) {
    RegistrySandbox sandbox;
    auto& app = platform::Application::Instance();
    WriteRegValue(CU, SettingsKey, "ShowHint", true);
    UiDriver d;
    d.Then([](DriverWindow& w) { w.Key(VK_TAB); w.Key(VK_TAB); w.Key(VK_RETURN); });
    d.Run([] { ClearAllSettings(); });
    EXPECT_TRUE(ClearOnExit);
    EXPECT_TRUE(app.Terminated());
    // The windows still write their placement while closing...
    WriteRegValue(CU, SettingsKey, "FrmZuMain.WindowState", int32_t(0));
    EXPECT_TRUE(KeyExists(SettingsKey));
    // ...and the exit step clears after them.
    const TSettings saved = Settings;
    KelUtilityExit();
    EXPECT_FALSE(KeyExists(SettingsKey));
    EXPECT_FALSE(KeyExists(CompanyKey()));
    ClearOnExit = false;
    Settings = saved;
    app.ResetTerminated();
}
