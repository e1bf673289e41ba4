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
        CloseAllAgents(Lines(0).size());
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
struct RecycleBin : profiles::ShellFileOperation {
    std::string from;
    RecycleBin() { profiles::UseShellFileOperation(this); }
    ~RecycleBin() override { profiles::UseShellFileOperation(nullptr); }
    int Run(SHFILEOPSTRUCTA& op) override {
        from = op.pFrom;
        DeleteFileA((from + "\\Agent.ini").c_str());
        RemoveDirectoryA(from.c_str());
        return 0;
    }
};
}  // namespace

TEST(Launch, AFolderNamedOutsideTheCodePageIsListedLaunchedAndSaved) {
    LaunchSession s;
    // A profile folder in Cyrillic, which the code page (1252) cannot hold,
    // stored as Setup stores it, with a profile of a Cyrillic name and one
    // of a Latin name.
    const std::wstring folder = platform::Widened(s.profiles.dir.Path()) + L"\x041f\x0440\x043e\x0444\x0438\x043b\x0438\\";
    const std::wstring home = folder + L"\x0414\x043e\x043c", archive = folder + L"\x0410\x0440\x0445";
    for (const std::wstring& f : {folder, home, archive, folder + L"Work"}) ASSERT_TRUE(CreateDirectoryW(f.c_str(), nullptr));
    for (const std::wstring& f : {home, archive, folder + L"Work"}) {
        const std::string ini = "[View]\r\nTitle=T\r\n[Profile]\r\nLaunchMode=0\r\n";
        HANDLE h = CreateFileW((f + L"\\Agent.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        DWORD put = 0;
        WriteFile(h, ini.data(), static_cast<DWORD>(ini.size()), &put, nullptr);
        CloseHandle(h);
    }
    const HKEY cu = HKEY_CURRENT_USER;
    settings::WriteRegWideValue(cu, settings::SettingsKey, "ProfileFolder", folder);
    settings::LoadSettings(settings::Settings);
    settings::Settings.AgentFolder = AgentFolder();
    const std::string profiles = settings::Settings.ProfileFolder;
    EXPECT_EQ(profiles.find('?'), std::string::npos) << profiles;
    EXPECT_TRUE(platform::DirectoryExists(profiles)) << profiles;
    // Each is listed, and launches in its own folder.
    s.Open();
    ASSERT_EQ(s.main->RowCount(), 4);
    // Each goes by its short name, as the system gives it.
    const std::string cyrillic = platform::CodePagePath(home).substr(profiles.size());
    const std::string other = platform::CodePagePath(archive).substr(profiles.size());
    std::vector<std::string> listed;
    for (int r = 1; r < 4; ++r) listed.push_back(s.main->Cell(1, r));
    EXPECT_TRUE(std::is_permutation(listed.begin(), listed.end(), std::vector<std::string>{cyrillic, other, "Work"}.begin()));
    s.Select(cyrillic);
    DriverWindow(s.main->Handle()).Press("BitBtnLaunch");
    const auto lines = s.Lines(1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], profiles + cyrillic + "|");
    // A save there, as the profile editor makes it, reaches the file.
    EXPECT_NO_THROW(profiles::RequireListedProfileFolder(cyrillic));
    profiles::WriteProfileIni(cyrillic, "saved", "n", "m", false);
    wchar_t title[64] = {};
    GetPrivateProfileStringW(L"View", L"Title", L"", title, 64, (home + L"\\Agent.ini").c_str());
    EXPECT_EQ(std::wstring(title), L"saved");
    // Delete hands a profile of such a name to the recycle bin: no link.
    {
        RecycleBin bin;
        profiles::DeleteRefusal why;
        EXPECT_TRUE(profiles::DeleteFolder(profiles::ProfileFolderPath(other), nullptr, &why)) << why.why;
        EXPECT_EQ(bin.from, profiles::ProfileFolderPath(other));
    }
    // Setup's store keeps the folder as the user named it.
    settings::SaveSettings(settings::Settings, settings::Settings);
    EXPECT_EQ(settings::ReadRegWideExpandedValue(cu, settings::SettingsKey, "ProfileFolder", L""), folder);
    // On a volume without short names it is said once, with the way out.
    platform::UseShortPathFunction(&NoShortName);
    std::vector<std::string> reported;
    UiDriver d;
    d.Then([&](DriverWindow& w) {
        reported.push_back(platform::WindowText(GetDlgItem(w.Handle(), 0xFFFF)));
        w.Press("OK");
    });
    settings::TSettings loaded;
    d.Run([&] { settings::LoadSettings(loaded); });
    platform::UseShortPathFunction(nullptr);
    std::string lossy(profiles.size() * 2, '\0');
    lossy.resize(WideCharToMultiByte(CP_ACP, 0, folder.data(), static_cast<int>(folder.size()), lossy.data(),
                                     static_cast<int>(lossy.size()), nullptr, nullptr));
    EXPECT_EQ(reported, std::vector<std::string>{"Invalid path for 'ProfileFolder': \"" + lossy +
                                                 "\" holds characters this system's code page lacks, and has no short "
                                                 "name. Choose another Profile folder in Setup."});
}
