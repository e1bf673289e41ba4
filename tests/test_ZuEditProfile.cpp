// The profile editor, driven through its window as a user would.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "about/KelAboutVersion.h"
#include "about/xDialogs.h"
#include "inieditor/ZuEditINIFile.h"
#include "platform/Application.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "profiles/ZuEditProfile.h"
#include "profiles/ZuGlobal.h"
#include "settings/KelUtility.h"
#include "settings/RegSpecial.h"
#include "settings/ZuSetup.h"
#include "support/Helpers.h"
#include "support/ProfileFixture.h"
#include "support/RegistrySandbox.h"
#include "support/UiDriver.h"

using namespace profiles;
using testing_support::DriverWindow;
using testing_support::ProfileFixture;
using testing_support::UiDriver;

namespace {

void Type(DriverWindow& w, const std::string& control, const std::string& text) {
    SetWindowTextA(w.Control(control), text.c_str());
}

void Fill(DriverWindow& w, const std::string& name, const std::string& title, const std::string& news,
          const std::string& mail, bool close) {
    Type(w, "EditName", name);
    Type(w, "EditTitle", title);
    Type(w, "EditNNTPServer", news);
    Type(w, "EditSMTPServer", mail);
    SendMessageA(w.Control("CheckBoxLaunchMode"), BM_SETCHECK, close ? BST_CHECKED : BST_UNCHECKED, 0);
}

// Runs the editor on `entry` (null: add mode) with the steps given; returns its result.
int RunEditor(const ProfileEntry* entry, std::function<void(DriverWindow&)> steps,
              std::vector<std::function<void(DriverWindow&)>> more = {}) {
    TFrmZuEditProfile dialog(nullptr);
    dialog.Create();
    if (entry) dialog.LoadProfile(entry->LaunchMode, entry->Name, entry->Title, entry->NewsServer, entry->MailServer);
    else dialog.LoadProfile("", "", "", "", "");
    return testing_support::RunModal(dialog, std::move(steps), std::move(more));
}

auto Answer(std::vector<std::string>& seen, const char* button) {
    return [&seen, button](DriverWindow& w) {
        seen.push_back(w.Text("Message"));
        w.Press(button);
    };
}

std::string Read(const std::string& file, const char* section, const char* key) {
    return platform::IniFile(file).ReadString(section, key, "<none>");
}

}  // namespace

TEST(EditProfile, AddCreatesTheProfileWithTheTemplateAndItsKeys) {
    ProfileFixture p;
    const int r = RunEditor(nullptr, [](DriverWindow& w) {
        EXPECT_EQ(w.Title(), "Edit profile");
        EXPECT_EQ(w.Focused(), w.Control("EditName"));
        EXPECT_FALSE(IsWindowEnabled(w.Control("BitBtnEditIniFile")));
        // Each label's mnemonic reaches its field.
        w.Key('N', platform::ssAlt);
        EXPECT_EQ(w.Focused(), w.Control("EditNNTPServer"));
        w.Key('M', platform::ssAlt);
        EXPECT_EQ(w.Focused(), w.Control("EditName"));
        Fill(w, "New One", "My title", "news.x", "mail.x", true);
        w.Key(VK_RETURN);  // Enter in a field saves
    });
    EXPECT_EQ(r, 1);
    const std::string file = p.folder + "New One\\Agent.ini";
    EXPECT_EQ(Read(file, "URL", "ForceAgentClient"), "1");  // from the template
    EXPECT_EQ(Read(file, "View", "Title"), "My title");
    EXPECT_EQ(Read(file, "Servers", "NewsServer"), "news.x");
    EXPECT_EQ(Read(file, "Servers", "MailServer"), "mail.x");
    EXPECT_EQ(Read(file, "Profile", "LaunchMode"), "1");
    EXPECT_EQ(Read(file, "Directories", "Home"), "");
    // A folder without Agent.ini is taken over, also when it differs in case.
    p.dir.MakeFolder("Profiles\\News");
    p.dir.MakeFile("Profiles\\News\\keep.txt", "kept");
    EXPECT_EQ(RunEditor(nullptr, [](DriverWindow& w) {
                  Fill(w, "news", "Taken over", "news.y", "", false);
                  w.Press("BitBtnSave");
              }),
              1);
    EXPECT_EQ(Read(p.folder + "News\\Agent.ini", "View", "Title"), "Taken over");
    EXPECT_EQ(testing_support::Slurp(p.folder + "News\\keep.txt"), "kept");
}

TEST(EditProfile, RefusedInputShowsItsMessageAndMakesNothing) {
    ProfileFixture p;
    p.Profile("Taken", "t", "n", "m", 0);
    std::vector<std::string> seen;
    struct Case {
        const char* name;
        const char* news;
    };
    const Case cases[] = {{"", ""},      {"x", ""},      {"a\\b", "n"},   {"a/b", "n"}, {"..", "n"},
                          {".", "n"},     {"a:b", "n"},   {"trail ", "n"}, {"trail.", "n"}, {"con.txt", "n"},
                          {"Taken", "n"}};
    for (const Case& c : cases) {
        RunEditor(nullptr, [&](DriverWindow& w) {
            Fill(w, c.name, "t", c.news, "", false);
            w.Press("BitBtnSave");
            // The dialog stays with what was typed; leave it.
            EXPECT_EQ(w.Text("EditName"), c.name);
            w.Press("BitBtnCancel");
        }, {Answer(seen, "Cancel")});
    }
    // Past the first line, which an empty name gets alone: what is wrong.
    const std::string invalid = "You must enter a valid profile name !\r";
    const std::string chars = invalid + "A name cannot hold any of \\ / : * ? \" < > |.";
    const std::string end = invalid + "A name cannot end with a space or a dot.";
    EXPECT_EQ(seen, (std::vector<std::string>{"You must enter a valid profile name !", "NNTP server is not correct !",
                                              chars, chars, end, end, chars, end, end,
                                              invalid + "CON is a name Windows keeps for a device.",
                                              "Profile \"Taken\" allready exist, try again !"}));
    EXPECT_EQ(ListFolderEntries(p.folder).size(), 3u);  // ".", ".." and "Taken": nothing else was made
    EXPECT_FALSE(platform::DirectoryExists(p.folder + "x"));
    EXPECT_FALSE(platform::DirectoryExists(p.folder + "a"));
    EXPECT_EQ(Read(p.folder + "Taken\\Agent.ini", "View", "Title"), "t");
    // Nothing is trimmed: a leading space is part of the name, a news
    // server of spaces is not empty.
    RunEditor(nullptr, [](DriverWindow& w) {
        Fill(w, " x", "t", " ", "", false);
        w.Press("BitBtnSave");
    });
    EXPECT_TRUE(platform::FileExists(p.folder + " x\\Agent.ini"));
}

TEST(ProfileNames, OnlyNamesThatAreOneFolderAsTyped) {
    for (const char* bad : {"a*b", "a?b", "a\"b", "a<b", "a>b", "a|b", "tab\tname", "x.", "x ", "PRN", "aux",
                            "Nul.dat", "COM1", "lpt9.x", "con .txt", "nul.tar.gz", "COM1.a.b"}) {
        EXPECT_FALSE(ValidProfileName(bad)) << bad;
    }
    for (const char* good : {"COM10", "LPT0", "Console", "con-x", "my.profile", " lead", "Work news"}) {
        EXPECT_TRUE(ValidProfileName(good)) << good;
    }
}

TEST(EditProfile, AValueTooLongForTheServiceIsShownWholeAndNeverWrittenBack) {
    ProfileFixture p;
    const std::string title(100000, 't');
    p.Profile("Long", title, "n", "m", 0);
    const std::string file = p.folder + "Long\\Agent.ini";
    const std::string before = testing_support::Slurp(file);
    const ProfileEntry entry{"0", "Long", title, "n", "m"};
    std::string error;
    size_t shown = 0;
    RunEditor(&entry, [&](DriverWindow& w) {
        shown = w.Text("EditTitle").size();
        Type(w, "EditNNTPServer", "changed");
        w.Press("BitBtnSave");
        w.Press("BitBtnCancel");
    }, {[&](DriverWindow& box) {
            error = testing_support::MessageIn(box.Handle());
            box.Press("OK");
        }});
    EXPECT_EQ(shown, title.size());
    EXPECT_EQ(error, "Unable to write to " + file + "\rThe value of \"Title\" is too long to be written (100000 "
                     "characters).");
    EXPECT_EQ(testing_support::Slurp(file), before);
}

TEST(EditProfile, AMissingTemplateLeavesTheEmptyFolder) {
    ProfileFixture p;
    settings::Settings.DefaultIniPath = p.dir.Path() + "gone.ini";
    std::vector<std::string> seen;
    RunEditor(nullptr, [](DriverWindow& w) {
        Fill(w, "Orphan", "t", "n", "", false);
        w.Press("BitBtnSave");
        w.Press("BitBtnCancel");
    }, {Answer(seen, "Cancel")});
    EXPECT_EQ(seen, std::vector<std::string>{"Could not copy default profile to \"Orphan\" !\rThe template \"" + p.dir.Path() +
                                             "gone.ini\" is missing: choose another in Setup."});
    EXPECT_TRUE(platform::DirectoryExists(p.folder + "Orphan"));
    EXPECT_TRUE(ListProfiles().empty());
}

TEST(EditProfile, TheDefaultMailServerIsWrittenAndShown) {
    ProfileFixture p;
    settings::Settings.DefaultSMTPServer = "smtp.default";
    std::string shown;
    RunEditor(nullptr, [&](DriverWindow& w) {
        Fill(w, "A", "t", "n", "", false);
        w.Press("BitBtnSaveNew");
        Fill(w, "B", "t", "n", "", false);
        settings::Settings.DefaultSMTPServer = "";
        w.Press("BitBtnSave");
    });
    EXPECT_EQ(Read(p.folder + "A\\Agent.ini", "Servers", "MailServer"), "smtp.default");
    EXPECT_EQ(Read(p.folder + "B\\Agent.ini", "Servers", "MailServer"), "");
    settings::Settings.DefaultSMTPServer = "smtp.seen";
    // A write that fails after the default was put in leaves it showing.
    p.Profile("C", "t", "n", "", 0);
    const std::string file = p.folder + "C\\Agent.ini";
    HANDLE h = CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const ProfileEntry c{"0", "C", "t", "n", ""};
    std::string error;
    const int r = RunEditor(&c, [&](DriverWindow& w) {
        w.Press("BitBtnSave");
        shown = w.Text("EditSMTPServer");
        EXPECT_TRUE(IsWindowVisible(w.Handle()));  // the failed save keeps the dialog
        CloseHandle(h);
        w.Press("BitBtnCancel");
    }, {[&](DriverWindow& box) {
            error = testing_support::MessageIn(box.Handle());
            box.Press("OK");
        }});
    EXPECT_EQ(r, 3);
    EXPECT_EQ(error, "Unable to write to " + file + "\r" + platform::SystemErrorText(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(shown, "smtp.seen");
    EXPECT_EQ(Read(file, "Servers", "MailServer"), "");
}

TEST(EditProfile, SaveAndNewTwiceThenCancelKeepsBoth) {
    ProfileFixture p;
    const ProfileEntry start{"0", "Old", "t", "n", "m"};
    p.Profile("Old", "t", "n", "m", 0);
    const int r = RunEditor(&start, [](DriverWindow& w) {
        Type(w, "EditTitle", "edited");
        w.Press("BitBtnSaveNew");  // saves the edited profile, then add mode
        EXPECT_EQ(w.Text("EditName"), "");
        EXPECT_EQ(w.Focused(), w.Control("EditName"));
        EXPECT_FALSE(IsWindowEnabled(w.Control("BitBtnEditIniFile")));
        Fill(w, "First", "t1", "n1", "m1", false);
        w.Press("BitBtnSaveNew");
        Fill(w, "Second", "t2", "n2", "m2", true);
        w.Press("BitBtnSaveNew");
        EXPECT_FALSE(IsWindowEnabled(w.Control("BitBtnEditIniFile")));
        w.Key(VK_ESCAPE);  // closes at once, without a question
    });
    EXPECT_EQ(r, 3);
    const auto list = ListProfiles();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], (ProfileEntry{"0", "First", "t1", "n1", "m1"}));
    EXPECT_EQ(list[1], (ProfileEntry{"0", "Old", "edited", "n", "m"}));
    EXPECT_EQ(list[2], (ProfileEntry{"1", "Second", "t2", "n2", "m2"}));
}

TEST(EditProfile, ARefusedSaveAndNewKeepsWhatWasTyped) {
    ProfileFixture p;
    std::vector<std::string> seen;
    std::string name, title;
    RunEditor(nullptr, [&](DriverWindow& w) {
        Fill(w, "a*b", "kept title", "news.x", "", false);
        w.Press("BitBtnSaveNew");
        name = w.Text("EditName");
        title = w.Text("EditTitle");
        w.Press("BitBtnCancel");
    }, {Answer(seen, "Cancel")});
    EXPECT_EQ(seen, std::vector<std::string>{"You must enter a valid profile name !\rA name cannot hold any of \\ / : * ? "
                                             "\" < > |."});
    EXPECT_EQ(name, "a*b");
    EXPECT_EQ(title, "kept title");
}

TEST(EditProfile, TheFrameAsksBeforeClosing) {
    ProfileFixture p;
    std::vector<std::string> seen;
    bool openAfterNo = false;
    const int r = RunEditor(nullptr, [&](DriverWindow& w) {
        w.CloseFrame();
        openAfterNo = IsWindowVisible(w.Handle()) != 0;
        w.CloseFrame();  // still open: it asks again
    }, {[&](DriverWindow& q) {
            EXPECT_EQ(q.Title(), "Confirm");
            seen.push_back(q.Text("Message"));
            q.Press("No");
        },
        Answer(seen, "Yes")});
    EXPECT_TRUE(openAfterNo);
    EXPECT_EQ(r, 2);
    EXPECT_EQ(seen, (std::vector<std::string>{"Cancel all changes ?", "Cancel all changes ?"}));
}

TEST(EditProfile, EditKeepsTheNameAndRewritesTheKeysEvenWithoutAgentIni) {
    ProfileFixture p;
    p.Profile("Kept", "[View]\r\nTitle=old\r\n[Other]\r\nx=1\r\n");
    const ProfileEntry entry{"1", "Kept", "old", "", ""};
    RunEditor(&entry, [](DriverWindow& w) {
        EXPECT_TRUE(GetWindowLongA(w.Control("EditName"), GWL_STYLE) & ES_READONLY);
        EXPECT_FALSE(GetWindowLongA(w.Control("EditName"), GWL_STYLE) & WS_TABSTOP);
        EXPECT_EQ(w.Focused(), w.Control("EditTitle"));
        EXPECT_TRUE(IsWindowEnabled(w.Control("BitBtnEditIniFile")));
        EXPECT_EQ(SendMessageA(w.Control("CheckBoxLaunchMode"), BM_GETCHECK, 0, 0), BST_CHECKED);
        // The fixed name stands out in the selection colours.
        HWND name = w.Control("EditName");
        RedrawWindow(name, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        RECT rc;
        GetClientRect(name, &rc);
        HDC dc = GetDC(name);
        EXPECT_EQ(GetPixel(dc, rc.right - 3, rc.bottom / 2), GetSysColor(COLOR_HIGHLIGHT));
        ReleaseDC(name, dc);
        Type(w, "EditNNTPServer", "news.new");
        w.Press("BitBtnSave");
    });
    const std::string file = p.folder + "Kept\\Agent.ini";
    EXPECT_EQ(Read(file, "Servers", "NewsServer"), "news.new");
    EXPECT_EQ(Read(file, "Other", "x"), "1");

    DeleteFileA(file.c_str());  // removed behind the program's back
    RunEditor(&entry, [](DriverWindow& w) {
        Type(w, "EditNNTPServer", "news.again");
        w.Press("BitBtnSave");
    });
    platform::IniFile ini(file);
    std::vector<std::string> sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections, (std::vector<std::string>{"View", "Servers", "Profile", "Directories"}));
    EXPECT_EQ(Read(file, "Servers", "NewsServer"), "news.again");
}

TEST(EditProfile, AWriteErrorKeepsTheDialogOpenWithItsFields) {
    ProfileFixture p;
    p.Profile("Locked", "t", "n", "m", 0);
    const std::string file = p.folder + "Locked\\Agent.ini";
    HANDLE h = CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const ProfileEntry entry{"0", "Locked", "t", "n", "m"};
    std::string error, errorTitle, after;
    const int r = RunEditor(&entry, [&](DriverWindow& w) {
        Type(w, "EditTitle", "typed");
        w.Press("BitBtnSave");  // refused: the error box comes first
        after = w.Text("EditTitle");
        CloseHandle(h);
        w.Press("BitBtnSave");
    }, {[&](DriverWindow& box) {
            errorTitle = box.Title();
            error = testing_support::MessageIn(box.Handle());
            box.Press("OK");
        }});
    EXPECT_EQ(errorTitle, platform::Application::Instance().Title());
    EXPECT_EQ(error, "Unable to write to " + file + "\r" + platform::SystemErrorText(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(after, "typed");
    EXPECT_EQ(r, 1);
    EXPECT_EQ(Read(file, "View", "Title"), "typed");
}

TEST(EditProfile, HelpShowsHintsButNotForTheFields) {
    ProfileFixture p;
    const ProfileEntry entry{"0", "P", "t", "n", "m"};
    p.Profile("P", "t", "n", "m", 0);
    std::vector<std::string> seen;
    RunEditor(&entry, [](DriverWindow& w) {
        w.FocusOn("EditTitle");
        w.Key(VK_F1);  // the label comes first and has no hint: nothing
        w.FocusOn("BitBtnEditIniFile");
        w.Key(VK_F1);
        w.Press("BitBtnCancel");
    }, {[&](DriverWindow& info) {
            seen.push_back(info.Text("Message"));
            info.Press("OK");
        }});
    EXPECT_EQ(seen, std::vector<std::string>{"Edit associated .INI file\rOpens a dialog where you can edit all the "
                                             "values defined in the associated .INI file."});
}

TEST(EditProfile, IniFileButtonNeedsTheFile) {
    ProfileFixture p;
    p.dir.MakeFolder("Profiles\\NoIni");
    const ProfileEntry entry{"0", "NoIni", "t", "n", "m"};
    std::vector<std::string> seen;
    RunEditor(&entry, [](DriverWindow& w) {
        w.Press("BitBtnEditIniFile");
        w.Press("BitBtnCancel");
    }, {Answer(seen, "Cancel")});
    EXPECT_EQ(seen, std::vector<std::string>{".INI file not created yet!\rSave changes and try again."});
}

TEST(EditProfile, IniFileButtonOpensTheEditorOnTheProfilesFile) {
    ProfileFixture p;
    p.Profile("Has", "[View]\r\nTitle=x\r\n[Servers]\r\nNewsServer=n\r\n");
    const ProfileEntry entry{"0", "Has", "x", "n", ""};
    std::string title, firstSection;
    RunEditor(&entry, [](DriverWindow& w) {
        w.Press("BitBtnEditIniFile");
        w.Press("BitBtnCancel");
    }, {[&](DriverWindow& ini) {
            title = ini.Title();
            firstSection = ini.Text("AButton1");
            ini.Press("BitBtnCancel");
        }});
    EXPECT_EQ(title, "Edit .INI file");
    EXPECT_EQ(firstSection, "Servers");
}

TEST(Placement, ADialogKeepsItsSizeAndIsCentredOverItsOwnerAgain) {
    ProfileFixture p;
    testing_support::RegistrySandbox registry;
    platform::FormDef od;
    od.windowClass = "TFrmTestOwnerWindow";
    od.name = "FrmTestOwnerWindow";
    od.place = {100, 100, 600, 400};
    platform::Form owner(od, nullptr);
    owner.Create();
    RECT first{}, second{};
    {
        TFrmZuEditProfile d(owner.Handle());
        d.Create();  // first time: the design size, centred over the owner
        GetWindowRect(d.Handle(), &first);
        SetWindowPos(d.Handle(), nullptr, 5, 5, 450, 192, SWP_NOZORDER);  // moved and widened by the user
    }
    {
        TFrmZuEditProfile d(owner.Handle());
        d.Create();
        GetWindowRect(d.Handle(), &second);
    }
    EXPECT_EQ(first.right - first.left, 389);
    EXPECT_EQ(first.left, 100 + 300 - 389 / 2);
    EXPECT_EQ(second.right - second.left, 450);                 // the user's width
    EXPECT_EQ(second.left, 100 + 300 - 450 / 2);                // centred again, not where it was left
    EXPECT_EQ(second.bottom - second.top, 192);                 // the fixed height
    // Maximised by the window manager, it is put back at once, and it is
    // never stored as maximised; a maximised state stored is not taken.
    {
        TFrmZuEditProfile d(owner.Handle());
        d.Create();
        d.Show();
        ShowWindow(d.Handle(), SW_MAXIMIZE);
        testing_support::PumpUntil([&] { return !IsZoomed(d.Handle()); });
        EXPECT_FALSE(IsZoomed(d.Handle()));
        RECT r;
        GetWindowRect(d.Handle(), &r);
        EXPECT_EQ(r.bottom - r.top, 192);
    }
    EXPECT_EQ(settings::ReadRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuEditProfile.WindowState", int32_t(9)), 0);
    settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "FrmZuEditProfile.WindowState", int32_t(2));
    {
        TFrmZuEditProfile d(owner.Handle());
        d.Create();
        d.Show();
        testing_support::PumpFor(std::chrono::milliseconds(50));
        EXPECT_FALSE(IsZoomed(d.Handle()));
    }
    EXPECT_EQ(platform::ContextHelpText("|only the long part"), "\ronly the long part");
    EXPECT_EQ(platform::ContextHelpText("same"), "same");
}

TEST(EditProfile, AValueSavedInTheIniEditorIsShownAndKeptUnlessChangedHere) {
    ProfileFixture p;
    p.Profile("Craft", "Craft title", "news.old", "mail.old", 0);
    const ProfileEntry entry{"0", "Craft", "Craft title", "news.old", "mail.old"};
    std::string titleAfter, newsAfter;
    const int r = RunEditor(&entry, [&](DriverWindow& w) {
        Type(w, "EditNNTPServer", "news.typed");  // changed here first
        w.Press("BitBtnEditIniFile");
        titleAfter = w.Text("EditTitle");
        newsAfter = w.Text("EditNNTPServer");
        w.Press("BitBtnSave");
    }, {[](DriverWindow& ini) {
            auto& editor = static_cast<inieditor::TFrmZuEditINIFile&>(*ini.Form());
            for (int n = 1; n <= editor.SectionCount(); ++n) {
                const std::string section = editor.SectionName(n);
                if (section != "View" && section != "Servers") continue;
                if (!editor.Expanded(n)) ini.Press("AButton" + std::to_string(n));
                editor.SetCurrentRow(n, 0);  // Title; NewsServer
                SetFocus(editor.ValueEditor(n));
                SetWindowTextA(editor.ValueEditor(n), section == "View" ? "Edited title" : "news.ini");
                ini.FocusOn("BitBtnReload");
            }
            ini.Press("BitBtnSave");
        }});
    EXPECT_EQ(r, 1);
    EXPECT_EQ(titleAfter, "Edited title");
    EXPECT_EQ(newsAfter, "news.typed");
    const std::string file = p.folder + "Craft\\Agent.ini";
    EXPECT_EQ(Read(file, "View", "Title"), "Edited title");
    EXPECT_EQ(Read(file, "Servers", "NewsServer"), "news.typed");
}

TEST(Dialogs, OpeningAndClosingLeavesNoGdiObjectBehind) {
    ProfileFixture p;
    testing_support::RegistrySandbox registry;
    p.Profile("Cycle", "t", "n", "m", 0);
    const std::string ini = p.folder + "Cycle\\Agent.ini";
    // The pointer comes over the form, so that its tooltip is made and goes with it.
    auto cancel = [](DriverWindow& w) {
        PostMessageA(w.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        EXPECT_TRUE(testing_support::PumpUntil([&] {
            for (HWND t = FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr); t;
                 t = FindWindowExA(nullptr, t, TOOLTIPS_CLASSA, nullptr)) {
                if (GetWindow(t, GW_OWNER) == w.Handle()) return true;
            }
            return false;
        })) << "no tooltip was made";
        w.Press("BitBtnCancel");
    };
    const std::vector<std::pair<const char*, std::function<void()>>> dialogs = {
        {"profile editor", [&] { RunEditor(nullptr, cancel); }},
        {"setup", [&] {
             settings::TFrmZuSetup f(nullptr);
             f.Create();
             testing_support::RunModal(f, cancel);
         }},
        {"INI editor", [&] {
             inieditor::TFrmZuEditINIFile f(nullptr);
             f.Create();
             f.LoadINIFile(ini);
             testing_support::RunModal(f, cancel);
         }},
        {"delete confirmation", [] {
             UiDriver d;
             d.Then([](DriverWindow& w) { w.Press("No"); });
             d.Run([] { return about::ShowGlyphMessageDialog("Delete?", about::MsgKind::Confirmation,
                                                             about::mbYes | about::mbNo, 0); });
         }},
        {"About", [] {
             UiDriver d;
             d.Then([](DriverWindow& w) {
                 w.Press("BitBtnMemory");
                 w.Press("BitBtnOK");
             });
             d.Run([] { about::ShowAboutWindow(nullptr, {}); });
         }},
    };
    auto windows = [] {
        struct Count {
            static BOOL CALLBACK One(HWND, LPARAM p) {
                ++*reinterpret_cast<int*>(p);
                return TRUE;
            }
        };
        int n = 0;
        EnumThreadWindows(GetCurrentThreadId(), &Count::One, reinterpret_cast<LPARAM>(&n));
        return n;
    };
    for (const auto& [name, open] : dialogs) {
        open();  // what a first opening makes once for the process
        const int before = testing_support::GdiObjectCount(), windowsBefore = windows();
        for (int i = 0; i < 20; ++i) open();
        EXPECT_LE(testing_support::GdiObjectCount(), before + 2) << name;
        EXPECT_EQ(windows(), windowsBefore) << name;
    }
}
