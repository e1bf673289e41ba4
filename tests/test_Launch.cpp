// Launching Agent from the main window, with the stand-in Agent.exe as a
// real process that logs where and how it was started.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <chrono>
#include <fstream>
#include <sstream>

#include "platform/Application.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/IniSave.h"
#include "platform/Form.h"
#include "profiles/ZuGlobal.h"
#include "settings/RegSpecial.h"
#include "settings/KelUtility.h"
#include "shell/KelSplash.h"
#include "shell/ZuMain.h"
#include "support/Helpers.h"
#include "support/ProfileFixture.h"
#include "support/RegistrySandbox.h"
#include "support/UiDriver.h"

using platform::Application;
using testing_support::DriverWindow;
using testing_support::ProfileFixture;
using testing_support::UiDriver;

namespace {

std::string AgentFolder() {
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string p = exe;
    return p.substr(0, p.find_last_of('\\') + 1) + "agent\\";
}

BOOL CALLBACK CloseAgents(HWND w, LPARAM lp) {
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpA(cls, "AgentStandIn") == 0) {
        PostMessageA(w, WM_CLOSE, 0, 0);
        reinterpret_cast<std::set<HWND>*>(lp)->insert(w);
    }
    return TRUE;
}

// Ends every stand-in that was started: each logs before its window shows,
// so wait for as many windows as there are log lines, and for them to go.
void CloseAllAgents(size_t started) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    std::set<HWND> seen;
    while (std::chrono::steady_clock::now() < end) {
        std::set<HWND> now;
        EnumWindows(&CloseAgents, reinterpret_cast<LPARAM>(&now));
        seen.insert(now.begin(), now.end());
        if (now.empty() && seen.size() >= started) return;
        Sleep(50);
    }
    ADD_FAILURE() << "stand-in Agent windows did not close: " << seen.size() << " of " << started;
}

struct LaunchSession {
    testing_support::RegistrySandbox registry;
    ProfileFixture profiles;
    std::string log;
    std::unique_ptr<shell::TFrmZuMain> main;
    size_t closed = 0;  // stand-ins the test itself has closed

    LaunchSession() {
        settings::Settings.AgentFolder = AgentFolder();
        log = profiles.dir.Path() + "agent.log";
        SetEnvironmentVariableA("PELMARK_AGENT_LOG", log.c_str());
    }
    void Open() {
        main = std::make_unique<shell::TFrmZuMain>();
        main->Create();
        shell::HideSplash("Pelmark");
        main->Show();
        testing_support::PumpFor(std::chrono::milliseconds(30));
    }
    ~LaunchSession() {
        SetEnvironmentVariableA("PELMARK_AGENT_LOG", nullptr);
        CloseAllAgents(Lines(0).size() - closed);
        main.reset();
        Application::Instance().ResetTerminated();
    }
    // The log lines written so far, waiting up to a few seconds for `count` of them.
    std::vector<std::string> Lines(size_t count) {
        std::vector<std::string> lines;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        do {
            lines.clear();
            std::ifstream f(log);
            std::string line;
            while (std::getline(f, line)) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                lines.push_back(line);
            }
            if (lines.size() >= count) break;
            Sleep(50);
        } while (std::chrono::steady_clock::now() < end);
        return lines;
    }
    void Select(const std::string& name) {
        for (int r = 1; r < main->RowCount(); ++r) {
            if (main->Cell(1, r) == name) main->SetCurrentRow(r);
        }
    }
};

}  // namespace

TEST(Launch, StartsAgentInTheProfileFolderWithoutArguments) {
    LaunchSession s;
    s.profiles.Profile("My news", "Spaced", "n", "m", 0);
    s.Open();
    DriverWindow(s.main->Handle()).Press("BitBtnLaunch");
    const auto lines = s.Lines(1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], s.profiles.folder + "My news|");
    EXPECT_FALSE(Application::Instance().Terminated());  // launch mode 0 stays
    EXPECT_EQ(shell::AgentProgramPath("C:\\Agent\\"), "C:\\Agent\\Agent.exe");
}

TEST(Launch, ModeOneClosesAndCtrlKeepsOpen) {
    {
        LaunchSession s;
        s.profiles.Profile("Closer", "t", "n", "m", 1);
        s.Open();
        DriverWindow(s.main->Handle()).Key(VK_RETURN, platform::ssCtrl);
        EXPECT_EQ(s.Lines(1).size(), 1u);
        EXPECT_FALSE(Application::Instance().Terminated());
        DriverWindow(s.main->Handle()).Key(VK_RETURN);  // Enter: the default button
        EXPECT_EQ(s.Lines(2).size(), 2u);
        EXPECT_TRUE(Application::Instance().Terminated());
    }
    EXPECT_TRUE(shell::LaunchCloses("1", platform::ssNone));
    EXPECT_FALSE(shell::LaunchCloses("1", platform::ssCtrl));
    EXPECT_TRUE(shell::LaunchCloses("1", platform::ssCtrl | platform::ssShift));  // Ctrl with Shift: no reversal
    EXPECT_TRUE(shell::LaunchCloses("0x10", platform::ssNone));
}

TEST(Launch, ModeZeroStaysAndCtrlCloses) {
    LaunchSession s;
    s.profiles.Profile("Stayer", "t", "n", "m", 0);
    s.Open();
    // A double click on the row launches as well.
    testing_support::DoubleClickRow(s.main->Control("StringGridProfiles"), 0);
    testing_support::PumpFor(std::chrono::milliseconds(100));
    EXPECT_EQ(s.Lines(1).size(), 1u);
    EXPECT_FALSE(Application::Instance().Terminated());
    DriverWindow(s.main->Handle()).Key(VK_RETURN, platform::ssCtrl);
    EXPECT_EQ(s.Lines(2).size(), 2u);
    EXPECT_TRUE(Application::Instance().Terminated());
}

TEST(Launch, AMissingAgentIsReportedAndTheProgramStays) {
    for (int mode : {0, 1}) {
        LaunchSession s;
        settings::Settings.AgentFolder = s.profiles.dir.Path() + "NoAgent\\";
        s.profiles.Profile("Lost", "t", "n", "m", mode);
        s.Open();
        std::string title, text;
        UiDriver d;
        d.Then([&](DriverWindow& w) {
            title = w.Title();
            text = w.Text("Message");
            EXPECT_NE(w.Control("Cancel"), nullptr);
            w.Press("Cancel");
        });
        d.Run([&] { DriverWindow(s.main->Handle()).Press("BitBtnLaunch"); });
        EXPECT_EQ(title, "Error");
        EXPECT_EQ(text, "Failed to execute agent with the \"Lost\" profile !");
        EXPECT_FALSE(Application::Instance().Terminated());
        EXPECT_FALSE(Application::Instance().Busy());  // the normal pointer is back
        EXPECT_EQ(s.main->RowCount(), 2);
    }
}

TEST(Launch, AnEmptyGridLaunchesNothing) {
    LaunchSession s;
    s.Open();
    DriverWindow w(s.main->Handle());
    w.Press("BitBtnLaunch");
    w.Key(VK_RETURN, platform::ssCtrl);
    testing_support::PumpFor(std::chrono::milliseconds(300));
    EXPECT_EQ(GetFileAttributesA(s.log.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(Application::Instance().Terminated());
}

namespace {
DWORD WINAPI NoShortName(LPCWSTR, LPWSTR, DWORD) { return 0; }
// Windows' answer for UTF-8, which Wine does not give: no flags, no question.
int WINAPI WindowsWideToAnsi(UINT cp, DWORD flags, LPCWCH w, int n, LPSTR out, int size, LPCCH def, LPBOOL used) {
    if (cp == CP_UTF8 && (flags || def || used)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    return WideCharToMultiByte(cp, flags, w, n, out, size, def, used);
}
struct RecycleBin : profiles::ShellFileOperation {
    std::string from;
    RecycleBin() { profiles::UseShellFileOperation(this); }
    ~RecycleBin() override { profiles::UseShellFileOperation(nullptr); }
    int Run(SHFILEOPSTRUCTW& op) override {
        from = platform::Narrowed(op.pFrom);
        DeleteFileW((std::wstring(op.pFrom) + L"\\Agent.ini").c_str());
        RemoveDirectoryW(op.pFrom);
        return 0;
    }
};
// The names a save gives its file: on Windows a rename to a short
// spelling makes an entry of that literal name, which Wine does not show.
struct NamesSaved : platform::SaveSteps {
    std::vector<std::string> names;
    NamesSaved() { platform::UseSaveSteps(this); }
    ~NamesSaved() override { platform::UseSaveSteps(nullptr); }
    BOOL Replace(const char* file, const char* copy, const char* backup) override {
        names.push_back(file);
        return SaveSteps::Replace(file, copy, backup);
    }
    BOOL Rename(HANDLE entry, const wchar_t* to, bool replace) override {
        names.push_back(platform::Narrowed(to));
        return SaveSteps::Rename(entry, to, replace);
    }
};
}  // namespace

TEST(Launch, AFolderNamedOutsideTheCodePageIsListedLaunchedAndSaved) {
    LaunchSession s;
    testing_support::CapturedInformation told;
    // A profile folder in Cyrillic, which the code page (1252) cannot hold,
    // stored as Setup stores it, with profiles of a Cyrillic, a Chinese and
    // a Latin name.
    const std::string folder = s.profiles.dir.Path() + "\xd0\x9f\xd1\x80\xd0\xbe\xd1\x84\xd0\xb8\xd0\xbb\xd0\xb8\\";
    const std::string home = "\xd0\x94\xd0\xbe\xd0\xbc", chinese = "\xe6\xa1\xa3\xe6\xa1\x88";
    for (const std::string& f : {folder, folder + home, folder + chinese, folder + "Work"}) {
        ASSERT_TRUE(CreateDirectoryW(platform::Widened(f).c_str(), nullptr));
    }
    for (const std::string& f : {home, chinese, std::string("Work")}) {
        platform::IniFile(folder + f + "\\Agent.ini").WriteString("View", "Title", "T");
    }
    const HKEY cu = HKEY_CURRENT_USER;
    settings::WriteRegValue(cu, settings::SettingsKey, "ProfileFolder", folder);
    settings::LoadSettings(settings::Settings);
    settings::Settings.AgentFolder = AgentFolder();
    EXPECT_EQ(settings::Settings.ProfileFolder, folder);
    // Each is listed by its long name, as the user named it.
    s.Open();
    ASSERT_EQ(s.main->RowCount(), 4);
    std::vector<std::string> listed;
    for (int r = 1; r < 4; ++r) listed.push_back(s.main->Cell(1, r));
    EXPECT_TRUE(std::is_permutation(listed.begin(), listed.end(), std::vector<std::string>{home, chinese, "Work"}.begin()));
    // Agent, an ANSI program, starts in a folder it can name: its short form.
    const std::string shortHome = platform::PathAgentCanName(folder + home);
    ASSERT_FALSE(shortHome.empty());
    EXPECT_EQ(shortHome.find(home), std::string::npos);
    s.Select(home);
    DriverWindow(s.main->Handle()).Press("BitBtnLaunch");
    auto lines = s.Lines(1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], shortHome + "|");
    EXPECT_TRUE(told.Texts().empty());
    // A save there keeps the file's long name; a value Agent cannot read is
    // refused with its reason, before anything is written.
    profiles::WriteProfileIni(home, "saved", "n", "m", false);
    EXPECT_EQ(platform::IniFile(folder + home + "\\Agent.ini").ReadString("View", "Title", ""), "saved");
    EXPECT_EQ(profiles::ListFolderEntries(folder + home), (std::vector<std::string>{".", "..", "Agent.ini"}));
    // A template named outside the code page, saved twice, keeps its name.
    const std::string agent = "\xd0\x90\xd0\xb3\xd0\xb5\xd0\xbd\xd1\x82.ini";
    NamesSaved saved;
    for (const char* title : {"T", "again"}) {
        platform::IniSave save(folder + agent);
        save.WriteString("View", "Title", title);
        save.Commit();
    }
    ASSERT_FALSE(saved.names.empty());
    for (const auto& name : saved.names) {
        EXPECT_TRUE(name.find('~') == std::string::npos && name.find(folder.substr(folder.size() - 15)) != std::string::npos)
            << name;
    }
    EXPECT_EQ(platform::IniFile(folder + agent).ReadString("View", "Title", ""), "again");
    auto entries = profiles::ListFolderEntries(folder);
    std::erase_if(entries, [](const std::string& e) { return e.find('.') == std::string::npos; });
    EXPECT_EQ(entries, (std::vector<std::string>{".", "..", agent}));
    const std::string before = testing_support::Slurp(folder + home + "\\Agent.ini");
    EXPECT_EQ(testing_support::ErrorOf([&] { profiles::WriteProfileIni(home, chinese, "n", "m", false); }),
              "Unable to write to " + folder + home + "\\Agent.ini\r\"" + chinese +
                  "\" holds characters that Agent cannot read: it reads its files in this system's ANSI code page "
                  "(1252), which lacks them.");
    EXPECT_EQ(testing_support::Slurp(folder + home + "\\Agent.ini"), before);
    // Without a short name, Agent is started in the long one, and the user
    // is told once what that means.
    platform::UseShortPathFunction(&NoShortName);
    s.Select(chinese);
    DriverWindow(s.main->Handle()).Press("BitBtnLaunch");
    platform::UseShortPathFunction(nullptr);
    lines = s.Lines(2);
    ASSERT_EQ(lines.size(), 2u);
    ASSERT_EQ(told.Texts().size(), 1u);
    EXPECT_NE(told.Texts()[0].find("Agent cannot name the folder \"" + folder + chinese + "\\\""), std::string::npos);
    CloseAllAgents(s.closed = 2);  // a folder that is some program's current one cannot go
    // Delete hands it to the recycle bin by its long name: no link.
    {
        RecycleBin bin;
        profiles::DeleteRefusal why;
        EXPECT_TRUE(profiles::DeleteFolder(profiles::ProfileFolderPath(chinese), nullptr, &why)) << why.why;
        EXPECT_EQ(bin.from, profiles::ProfileFolderPath(chinese));
    }
    // Names the code page holds only by a best fit ("Dvořák" as "Dvorák",
    // "∞" as "8") are their own folders, no links.
    for (const std::string name : {"Dvo\xc5\x99\xc3\xa1k", "\xe2\x88\x9e"}) {
        ASSERT_TRUE(CreateDirectoryW(platform::Widened(folder + name).c_str(), nullptr));
        platform::IniFile(folder + name + "\\Agent.ini").WriteString("View", "Title", "T");
        RecycleBin bin;
        profiles::DeleteRefusal why;
        EXPECT_TRUE(profiles::DeleteFolder(profiles::ProfileFolderPath(name), nullptr, &why)) << name << why.why;
    }
    // Setup's store keeps the folder as the user named it.
    settings::SaveSettings(settings::Settings, settings::Settings);
    EXPECT_EQ(settings::ReadRegValue(cu, settings::SettingsKey, "ProfileFolder", ""), folder);
    // A Russian system (1251) names the Cyrillic folder itself, and writes
    // a Cyrillic value in its own bytes; the Chinese one it still lacks.
    platform::UseAnsiCodePage(1251);
    EXPECT_EQ(platform::PathAgentCanName(folder + home), folder + home);
    profiles::WriteProfileIni(home, home, "n", "m", false);
    EXPECT_NE(testing_support::Slurp(folder + home + "\\Agent.ini").find("Title=\xc4\xee\xec\r\n"), std::string::npos);
    EXPECT_NE(testing_support::ErrorOf([&] { profiles::WriteProfileIni(home, chinese, "n", "m", false); }).find("(1251)"),
              std::string::npos);
    // Where the system's code page is UTF-8 (65001), the same holds, and
    // Agent reads every character: its folder by its own name, any value.
    platform::UseAnsiCodePage(CP_UTF8);
    platform::UseWideToAnsiFunction(&WindowsWideToAnsi);
    settings::TSettings loaded;
    settings::LoadSettings(loaded);
    EXPECT_EQ(loaded.ProfileFolder, folder);
    EXPECT_EQ(profiles::ListProfiles().size(), 2u);
    EXPECT_EQ(platform::PathAgentCanName(folder + home + "\\"), folder + home + "\\");
    profiles::WriteProfileIni(home, chinese, "n", "m", false);
    EXPECT_NE(testing_support::Slurp(folder + home + "\\Agent.ini").find("Title=" + chinese + "\r\n"), std::string::npos)
        << testing_support::Slurp(folder + home + "\\Agent.ini");
    {
        RecycleBin bin;
        EXPECT_TRUE(profiles::DeleteFolder(profiles::ProfileFolderPath("Work"), nullptr, nullptr));
    }
    platform::UseAnsiCodePage(0);
    platform::UseWideToAnsiFunction(nullptr);
    // A folder on a drive that is not there is said to be unreachable, with
    // the system's reason, and the setting stays as stored.
    settings::WriteRegValue(cu, settings::SettingsKey, "ProfileFolder", std::string("Q:\\Gone\\"));
    settings::LoadSettings(settings::Settings);
    EXPECT_TRUE(profiles::ListProfiles().empty());
    ASSERT_EQ(told.Texts().size(), 2u);
    EXPECT_EQ(told.Texts()[1].rfind("The profile folder \"Q:\\Gone\\\" cannot be reached: ", 0), 0u) << told.Texts()[1];
    settings::SaveSettings(settings::Settings, settings::Settings);
    EXPECT_EQ(settings::ReadRegValue(cu, settings::SettingsKey, "ProfileFolder", ""), "Q:\\Gone\\");
}
