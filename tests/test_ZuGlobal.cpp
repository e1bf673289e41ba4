#include <gtest/gtest.h>

#include "platform/Centring.h"
#include "platform/Names.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Form.h"
#include "platform/Handles.h"
#include "platform/IniFile.h"
#include "platform/IniSave.h"
#include "platform/Workarounds.h"
#include "profiles/ZuGlobal.h"
#include "settings/KelUtility.h"
#include "support/ProfileFixture.h"
#include "support/Helpers.h"
#include "support/RegistrySandbox.h"
#include "support/UiDriver.h"

using namespace profiles;
using testing_support::DriverWindow;
using testing_support::TempFolder;
using testing_support::UiDriver;

using testing_support::Slurp;

namespace {

using Store = testing_support::ProfileFixture;

std::vector<std::string> Names(const std::vector<ProfileEntry>& list) {
    std::vector<std::string> out;
    for (const auto& e : list) out.push_back(e.Name);
    return out;
}

// Add's two steps: the folder with the template's copy begun, then the
// save that gives the copy the name Agent.ini.
bool Create(const std::string& name) {
    platform::IniSave save(ProfileIniPath(name), settings::Settings.DefaultIniPath);
    if (!CreateProfileFolder(name, save)) return false;
    save.Commit();
    return true;
}

}  // namespace

TEST(ListProfiles, OnlyFoldersWithAnAgentIniInLocaleOrder) {
    Store s;
    s.Profile("gamma", "");
    s.Profile("Alpha", "");
    s.Profile("beta", "");
    s.dir.MakeFolder("Profiles\\NoIni");
    s.dir.MakeFolder("Profiles\\IniIsAFolder");
    s.dir.MakeFolder("Profiles\\IniIsAFolder\\Agent.ini");
    s.dir.MakeFile("Profiles\\plain.txt", "x");
    s.dir.MakeFile("Profiles\\Agent.ini", "[View]\r\nTitle=not a profile\r\n");
    s.Profile("Hidden", "");
    SetFileAttributesA((s.folder + "Hidden").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    s.dir.MakeFolder("Profiles\\Deep");
    s.dir.MakeFolder("Profiles\\Deep\\Inner");
    s.dir.MakeFile("Profiles\\Deep\\Inner\\Agent.ini", "");
    EXPECT_EQ(Names(ListProfiles()), (std::vector<std::string>{"Alpha", "beta", "gamma", "Hidden"}));
    SetFileAttributesA((s.folder + "Hidden").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(ListProfiles, FieldsAndTheirDefaults) {
    Store s;
    s.Profile("Full", "[View]\r\nTitle=News at home\r\n[Servers]\r\nNewsServer=news.a\r\nMailServer=mail.a\r\n"
                      "[Profile]\r\nLaunchMode=1\r\n");
    s.Profile("Empty", "");
    s.Profile("Hex", "[Profile]\r\nLaunchMode=0x10\r\n");
    s.Profile("Word", "[profile]\r\nlaunchmode=yes\r\n[view]\r\ntitle=\r\n");
    const auto list = ListProfiles();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0], (ProfileEntry{"0", "Empty", "Agent", "", ""}));
    EXPECT_EQ(list[1], (ProfileEntry{"1", "Full", "News at home", "news.a", "mail.a"}));
    EXPECT_EQ(list[2], (ProfileEntry{"1", "Hex", "Agent", "", ""}));
    EXPECT_EQ(list[3], (ProfileEntry{"0", "Word", "", "", ""}));  // an empty title as stored
}

TEST(ListProfiles, MissingOrEmptyProfileFolderGivesNothing) {
    Store s;
    EXPECT_TRUE(ListProfiles().empty());
    settings::Settings.ProfileFolder = s.folder + "missing\\";
    EXPECT_TRUE(ListProfiles().empty());
    settings::Settings.ProfileFolder = "";
    EXPECT_TRUE(ListProfiles().empty());
}

TEST(ListFolderEntries, EveryEntryWithOrWithoutTrailingBackslash) {
    Store s;
    s.dir.MakeFile("Profiles\\f.txt");
    s.dir.MakeFolder("Profiles\\sub");
    auto names = ListFolderEntries(s.folder.substr(0, s.folder.size() - 1));
    platform::SortNamesLocale(names);
    std::vector<std::string> expected{"f.txt", "sub"};
    names.erase(std::remove_if(names.begin(), names.end(), [](const std::string& n) { return n == "." || n == ".."; }),
                names.end());
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(ListFolderEntries(s.folder + "missing").empty());
}

TEST(CreateProfileFolder, MakesTheFolderWithACopyOfTheTemplate) {
    Store s;
    settings::Settings.ProfileFolder = s.folder + "not\\yet\\";  // parents are made too
    ASSERT_TRUE(Create("Work"));
    EXPECT_EQ(Slurp(s.folder + "not\\yet\\Work\\Agent.ini"), Slurp(settings::Settings.DefaultIniPath));
}

TEST(CreateProfileFolder, TakesOverAFolderWithoutAgentIni) {
    Store s;
    s.dir.MakeFolder("Profiles\\Old");
    s.dir.MakeFile("Profiles\\Old\\keep.dat", "data");
    ASSERT_TRUE(Create("Old"));
    EXPECT_EQ(Slurp(s.folder + "Old\\keep.dat"), "data");
    EXPECT_TRUE(platform::FileExists(s.folder + "Old\\Agent.ini"));
    EXPECT_EQ(Names(ListProfiles()), (std::vector<std::string>{"Old"}));
}

TEST(CreateProfileFolder, ReportsEachFailureWithItsMessage) {
    Store s;
    s.Profile("Taken", "[View]\r\nTitle=mine\r\n");
    std::vector<std::string> messages;
    auto answer = [&](DriverWindow& w) {
        EXPECT_EQ(w.Title(), "Error");
        messages.push_back(w.Text("Message"));
        w.Press("Cancel");
    };
    UiDriver d;
    d.Then(answer).Then(answer).Then(answer);
    d.Run([&] {
        EXPECT_FALSE(Create("Taken"));
        EXPECT_FALSE(Create("bad<name>"));
        settings::Settings.DefaultIniPath = s.dir.Path() + "no-template.ini";
        EXPECT_FALSE(Create("NoTemplate"));
    });
    // Each failure to make something says why, in the system's words.
    using platform::SystemErrorText;
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "Profile \"Taken\" allready exist, try again !",
                            "Could not create the profile \"bad<name>\" !\r" + SystemErrorText(ERROR_INVALID_NAME),
                            "Could not copy default profile to \"NoTemplate\" !\rThe template \"" + s.dir.Path() +
                                "no-template.ini\" is missing: choose another in Setup."}));
    // A folder this user may not write in (a disk mounted read-only, where
    // the superuser too is refused): one more line says how to mend it.
    const std::string sealed = s.dir.MakeFolder("Sealed");
    if (testing_support::RunUnix("mount -t tmpfs -o ro,size=64k tmpfs '" + testing_support::UnixPath(sealed) + "'")) {
        settings::Settings.ProfileFolder = sealed;
        UiDriver refused;
        refused.Then(answer);
        refused.Run([&] { EXPECT_FALSE(Create("Denied")); });
        testing_support::RunUnix("umount '" + testing_support::UnixPath(sealed) + "'");
        settings::Settings.ProfileFolder = s.folder;
        EXPECT_EQ(messages.back(), "Could not create the profile \"Denied\" !\r" +
                                       SystemErrorText(ERROR_ACCESS_DENIED) + "\r" + kNotWritableHint);
    } else {
        ADD_FAILURE() << "no read-only disk could be mounted (the tests run as the superuser)";
    }
    EXPECT_EQ(Slurp(s.folder + "Taken\\Agent.ini"), "[View]\r\nTitle=mine\r\n");  // untouched
    EXPECT_TRUE(platform::DirectoryExists(s.folder + "NoTemplate"));          // left behind, empty
    EXPECT_FALSE(platform::FileExists(s.folder + "NoTemplate\\Agent.ini"));
}

TEST(WriteProfileIni, WritesTheKeysAndTheHomeRule) {
    Store s;
    const std::string existing = s.dir.MakeFolder("Home");
    s.Profile("Kept", "[Directories]\r\nHome=" + existing + "\r\n[Other]\r\nx=1\r\n");
    s.Profile("Gone", "[Directories]\r\nHome=" + s.dir.Path() + "NoSuchHome\r\n");
    s.Profile("Absent", "[View]\r\nTitle=old\r\n");
    WriteProfileIni("Kept", "title with  two spaces", "news.b", "mail.b", true);
    WriteProfileIni("Gone", "T", "", "", false);
    WriteProfileIni("Absent", "New", "n", "m", false);

    platform::IniFile kept(s.folder + "Kept\\Agent.ini");
    EXPECT_EQ(kept.ReadString("View", "Title", ""), "title with  two spaces");
    EXPECT_EQ(kept.ReadString("Servers", "NewsServer", ""), "news.b");
    EXPECT_EQ(kept.ReadString("Servers", "MailServer", ""), "mail.b");
    EXPECT_EQ(kept.ReadString("Profile", "LaunchMode", ""), "1");
    EXPECT_EQ(kept.ReadString("Directories", "Home", ""), existing);
    EXPECT_EQ(kept.ReadString("Other", "x", ""), "1");

    platform::IniFile gone(s.folder + "Gone\\Agent.ini");
    EXPECT_EQ(gone.ReadString("Directories", "Home", "?"), "");
    EXPECT_EQ(gone.ReadString("Profile", "LaunchMode", ""), "0");
    platform::IniFile absent(s.folder + "Absent\\Agent.ini");
    std::vector<std::string> keys;
    absent.ReadSection("Directories", keys);
    EXPECT_EQ(keys, std::vector<std::string>{"Home"});  // added, empty
    EXPECT_EQ(absent.ReadString("Directories", "Home", "?"), "");
    EXPECT_EQ(absent.ReadString("View", "Title", ""), "New");
}

// The service's write going wrong at one value, each way it can.
struct FailingWriter : platform::ProfileWriter {
    enum How { Refused, CutShortSayingDiskFull, CutShortSilently, CutInTheLastComment } how;
    int failAt, calls = 0;
    FailingWriter(How h, int at) : how(h), failAt(at) {}
    BOOL Write(const char* section, const char* key, const char* value, const char* file) override {
        if (++calls != failAt) return ProfileWriter::Write(section, key, value, file);
        if (how == Refused) {
            SetLastError(ERROR_DISK_FULL);
            return FALSE;
        }
        // As Wine's service on a full disk: the file cut where the disk
        // ended, and success all the same.
        ProfileWriter::Write(section, key, value, file);
        HANDLE h = CreateFileA(file, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFilePointer(h, how == CutInTheLastComment ? -20 : 40, nullptr, how == CutInTheLastComment ? FILE_END : FILE_BEGIN);
        SetEndOfFile(h);
        CloseHandle(h);
        SetLastError(how == CutShortSayingDiskFull ? ERROR_DISK_FULL : 0);
        return TRUE;
    }
};

// The save's steps, with a crash, a file in use, a copy refused, a folder
// that takes no new file, a rename refused, a place elsewhere or another
// program's write where a test wants them.
struct Steps : platform::SaveSteps {
    std::optional<platform::SaveInstant> crashAt;
    int busy = 0;            // the file's replace finds it in use this many times
    DWORD replaceError = 0;  // the system's replace fails so, for ever
    bool denyCopy = false, folderRefuses = false, renameRefused = false;
    std::wstring elsewhere;  // where every entry is said to be, when set
    int calls = 0;
    std::function<void(platform::SaveInstant)> at;
    static bool ToTheFile(const wchar_t* to) { return std::wstring(to).ends_with(L"\\Agent.ini"); }
    BOOL Replace(const char* file, const char* copy, const char* backup) override {
        if (crashAt == platform::SaveInstant::OldMovedAside) {
            MoveFileExA(file, backup, 0);
            throw platform::SaveStopped();
        }
        if (replaceError == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) MoveFileExA(file, backup, 0);
        if (replaceError || (busy > 0 && busy--)) {
            SetLastError(replaceError ? replaceError : ERROR_SHARING_VIOLATION);
            return FALSE;
        }
        return SaveSteps::Replace(file, copy, backup);
    }
    BOOL Rename(HANDLE entry, const wchar_t* to, bool replace) override {
        if (ToTheFile(to) && ((busy > 0 && busy--) || renameRefused)) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return FALSE;
        }
        return SaveSteps::Rename(entry, to, replace);
    }
    HANDLE CreateCopy(const char* path) override {
        if (!denyCopy) return SaveSteps::CreateCopy(path);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    std::wstring FinalPathOf(HANDLE entry) override {
        return elsewhere.empty() ? SaveSteps::FinalPathOf(entry) : elsewhere;
    }
    bool FolderTakesNewFiles(const std::string& folder) override {
        return !folderRefuses && SaveSteps::FolderTakesNewFiles(folder);
    }
    void Reached(platform::SaveInstant i) override {
        if (at) at(i);
        if (crashAt == i) throw platform::SaveStopped();
    }
};

TEST(WriteProfileIni, ASaveIsAllOrNothing) {
    Store s;
    EXPECT_THROW(WriteProfileIni("no\\such", "t", "n", "m", false), platform::Error);
    // A file that ends in comments, as many do: a copy cut inside them is
    // as short as one cut inside a key.
    std::string text = "[View]\r\nTitle=old\r\n";
    for (int i = 0; i < 50; ++i) text += "[S" + std::to_string(i) + "]\r\nk=v\r\n";
    for (int i = 0; i < 20; ++i) text += "; a comment line of the file's own, number " + std::to_string(i) + "\r\n";
    s.Profile("P", text);
    const std::string file = ProfileIniPath("P");
    const std::string copy = platform::IniSave::CopyPathFor(file);
    using platform::SystemErrorText;
    {
        // Where the service writes the values (Windows).
        platform::ScopedWorkarounds service;
        service->profileServiceRewritesEveryLine = false;
        for (auto [how, reason] : {std::pair{FailingWriter::Refused, SystemErrorText(ERROR_DISK_FULL)},
                                   std::pair{FailingWriter::CutShortSayingDiskFull, SystemErrorText(ERROR_DISK_FULL)},
                                   std::pair{FailingWriter::CutShortSilently, SystemErrorText(ERROR_WRITE_FAULT)},
                                   std::pair{FailingWriter::CutInTheLastComment, SystemErrorText(ERROR_WRITE_FAULT)}}) {
            FailingWriter writer(how, 3);
            platform::UseProfileWriter(&writer);
            EXPECT_EQ(testing_support::ErrorOf([] { WriteProfileIni("P", "new", "n", "m", true); }),
                      "Unable to write to " + file + "\r" + reason);
            platform::UseProfileWriter(nullptr);
            EXPECT_GE(writer.calls, 3);
            EXPECT_EQ(Slurp(file), text) << how;
            EXPECT_FALSE(platform::FileExists(copy)) << how;
        }
    }
    // Where the program writes them itself: the disk holds less than it
    // wrote, or other bytes (blanks around an "=" no service would miss).
    for (const char* change : {"truncate -s -30", "sed -i 's/^k=v/k = v/'"}) {
        Steps cut;
        cut.at = [&](platform::SaveInstant i) {
            if (i == platform::SaveInstant::CopyWritten) {
                testing_support::RunUnix(std::string(change) + " '" + testing_support::UnixPath(copy) + "'");
            }
        };
        platform::UseSaveSteps(&cut);
        EXPECT_EQ(testing_support::ErrorOf([] { WriteProfileIni("P", "new", "n", "m", true); }),
                  "Unable to write to " + file + "\r" + SystemErrorText(ERROR_WRITE_FAULT));
        platform::UseSaveSteps(nullptr);
        EXPECT_EQ(Slurp(file), text) << change;
        EXPECT_FALSE(platform::FileExists(copy));
    }
    // A path the save's own names would take past what the system allows
    // is said before anything is written.
    const size_t added = platform::IniSave::LongestNameAdded();  // ".pelmark-backup-<mark>-<mark>-9"
    EXPECT_EQ(added, 35u);
    const std::string longName(MAX_PATH - 1 - added - s.folder.size() - 10 + 1, 'n');
    s.Profile(longName, text);
    EXPECT_EQ(testing_support::ErrorOf([&] { WriteProfileIni(longName, "new", "n", "m", true); }),
              "Unable to write to " + ProfileIniPath(longName) + "\rThe path is too long to save beside it (" +
                  std::to_string(MAX_PATH - added) + " characters, at most " + std::to_string(MAX_PATH - 1 - added) +
                  " here): choose a shorter folder or name.");
    EXPECT_EQ(Slurp(ProfileIniPath(longName)), text);
    DeleteFileA(ProfileIniPath(longName).c_str());
    RemoveDirectoryA(ProfileFolderPath(longName).c_str());
    // An Agent.ini the user made read-only is reported so, and kept.
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(testing_support::ErrorOf([] { WriteProfileIni("P", "new", "n", "m", true); }),
              "Unable to write to " + file + "\rThe file is read-only.");
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Slurp(file), text);
    // What stands at the save's names and is not a whole file of the
    // program's own in the folder is never used, followed or removed: it is
    // left, and said once each. The save takes names of its own.
    const std::string outside = s.dir.MakeFile("outside.ini", "[Mine]\r\nx=1\r\n");
    const std::string distant = s.dir.MakeFile("far.ini", "[Far]\r\ny=2\r\n");
    const std::string farMark = platform::BytesMark(Slurp(distant));
    const std::string checked = platform::IniSave::CheckedCopyPathFor(file, "00000000", "00000000");
    const std::string backup = platform::IniSave::BackupPathFor(file, farMark, farMark);
    using testing_support::UnixPath;
    s.dir.MakeFolder("Profiles\\P\\Agent.ini.pelmark-saving-2");
    ASSERT_TRUE(testing_support::RunUnix("ln -s '" + UnixPath(outside) + "' '" + UnixPath(copy) + "' && ln '" +
                                         UnixPath(distant) + "' '" + UnixPath(checked) + "' && ln -s '" +
                                         UnixPath(distant) + "' '" + UnixPath(backup) + "'"));
    {
        testing_support::CapturedInformation told;
        EXPECT_EQ(Names(ListProfiles()), std::vector<std::string>{"P"});
        WriteProfileIni("P", "new", "n", "m", true);
        EXPECT_EQ(told.Texts().size(), 4u);
    }
    EXPECT_EQ(Slurp(outside), "[Mine]\r\nx=1\r\n");
    EXPECT_EQ(Slurp(distant), "[Far]\r\ny=2\r\n");
    auto sorted = [](std::vector<std::string> v) {
        std::sort(v.begin(), v.end());
        return v;
    };
    auto name = [](const std::string& path) { return path.substr(path.find_last_of('\\') + 1); };
    EXPECT_EQ(sorted(ListFolderEntries(s.folder + "P")),
              sorted({".", "..", "Agent.ini", name(copy), name(copy) + "-2", name(checked), name(backup)}));
    platform::IniFile saved(file);
    EXPECT_EQ(saved.ReadString("View", "Title", ""), "new");
    EXPECT_EQ(saved.ReadString("S49", "k", ""), "v");
    EXPECT_NE(Slurp(file).find("; a comment line of the file's own, number 19\r\n"), std::string::npos);
    // An Agent.ini that is a link out of its folder is never saved
    // through: the save says so, and the file it leads to stays as it was.
    const std::string elsewhere = s.dir.MakeFile("elsewhere.ini", "[View]\r\nTitle=far\r\n");
    s.dir.MakeFolder("Profiles\\L");
    const std::string link = testing_support::UnixPath(ProfileIniPath("L"));
    ASSERT_TRUE(testing_support::RunUnix("ln -s '" + testing_support::UnixPath(elsewhere) + "' '" + link + "'"));
    const std::string refusal = testing_support::ErrorOf([] { WriteProfileIni("L", "through", "n", "m", false); });
    EXPECT_NE(refusal.find("\rThe file is a link to \""), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("elsewhere.ini\", outside its own folder: nothing is saved through it."), std::string::npos);
    EXPECT_EQ(Slurp(elsewhere), "[View]\r\nTitle=far\r\n");
    EXPECT_TRUE(testing_support::RunUnix("test -L '" + link + "'"));
    // A file in UTF-16, whose lines the program cannot split as the service does.
    s.Profile("Wide", std::string("\xFF\xFE[\0V\0]\0\r\0\n\0", 12));
    EXPECT_EQ(testing_support::ErrorOf([] { WriteProfileIni("Wide", "t", "n", "m", false); }),
              "Unable to write to " + ProfileIniPath("Wide") + "\rThe file is written in UTF-16, which Pelmark does not "
              "write: save it as ANSI text in an editor, then save again here.");
}

TEST(WriteProfileIni, ASaveCutOffAtAnyInstantIsFinishedOrUndoneAtTheNextLook) {
    Store s;
    testing_support::CapturedInformation told;  // every state here is one a save leaves: nothing to say
    std::string text = "[View]\r\nTitle=old\r\n";
    for (int i = 0; i < 50; ++i) text += "[S" + std::to_string(i) + "]\r\nk=v\r\n";
    const std::string file = ProfileIniPath("P");
    using I = platform::SaveInstant;
    auto whole = [&](const std::string& what) {
        const std::vector<ProfileEntry> list = ListProfiles();  // as a new start lists it
        ASSERT_EQ(Names(list), std::vector<std::string>{"P"}) << what;
        EXPECT_TRUE(list[0].Title == "old" || list[0].Title == "new") << what;
        EXPECT_EQ(platform::IniFile(file).ReadString("S49", "k", ""), "v") << what;
        platform::RecoverInterruptedSave(file);  // as opening the profile does
        EXPECT_EQ(ListFolderEntries(s.folder + "P"), (std::vector<std::string>{".", "..", "Agent.ini"})) << what;
    };
    // A crash at each instant, with either way of replacing.
    for (bool oneRename : {true, false}) {
        platform::ScopedWorkarounds system;
        system->replaceLeavesAMomentWithoutTheFile = oneRename;
        for (I instant : {I::CopyWritten, I::CopyChecked, I::OldMovedAside, I::CopyRenamed}) {
            if (oneRename && instant == I::OldMovedAside) continue;
            s.Profile("P", text);
            Steps crash;
            crash.crashAt = instant;
            platform::UseSaveSteps(&crash);
            EXPECT_THROW(WriteProfileIni("P", "new", "n", "m", true), platform::SaveStopped);
            platform::UseSaveSteps(nullptr);
            whole("crash at " + std::to_string(static_cast<int>(instant)) + (oneRename ? " (rename)" : " (replace)"));
        }
    }
    platform::ScopedWorkarounds system;
    system->replaceLeavesAMomentWithoutTheFile = false;
    // The system's replace puts the old file aside and cannot give the copy
    // its name (ERROR_UNABLE_TO_MOVE_REPLACEMENT_2), and the copy stays in
    // use: the save fails, the whole copy is kept, and the next look puts it
    // in place.
    s.Profile("P", text);
    Steps aside;
    aside.replaceError = ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
    aside.busy = 1000;
    platform::UseSaveSteps(&aside);
    EXPECT_THROW(WriteProfileIni("P", "new", "n", "m", true), platform::Error);
    platform::UseSaveSteps(nullptr);
    EXPECT_FALSE(platform::FileExists(file));
    whole("replace half done");
    EXPECT_EQ(platform::IniFile(file).ReadString("View", "Title", ""), "new");
    // ERROR_UNABLE_TO_MOVE_REPLACEMENT with a backup named: both files keep
    // their names; the save fails with its reason and the file is as it was.
    s.Profile("P", text);
    Steps kept;
    kept.replaceError = ERROR_UNABLE_TO_MOVE_REPLACEMENT;
    platform::UseSaveSteps(&kept);
    EXPECT_EQ(testing_support::ErrorOf([] { WriteProfileIni("P", "new", "n", "m", true); }),
              "Unable to write to " + file + "\r" + platform::SystemErrorText(ERROR_UNABLE_TO_MOVE_REPLACEMENT));
    platform::UseSaveSteps(nullptr);
    EXPECT_EQ(Slurp(file), text);
    whole("replace refused");
    // A share or NAS box that refuses the system's replace (it cannot put
    // the old file's security on the copy) but allows a rename: saved.
    Steps share;
    share.replaceError = ERROR_ACCESS_DENIED;
    platform::UseSaveSteps(&share);
    WriteProfileIni("P", "new", "n", "m", true);
    platform::UseSaveSteps(nullptr);
    EXPECT_EQ(platform::IniFile(file).ReadString("View", "Title", ""), "new");
    whole("share");
    // A file a scanner holds for two tries is saved; one held for ever is
    // not, with the reason, and stays as it was.
    for (bool oneRename : {true, false}) {
        system->replaceLeavesAMomentWithoutTheFile = oneRename;
        s.Profile("P", text);
        Steps busy;
        busy.busy = 2;
        platform::UseSaveSteps(&busy);
        WriteProfileIni("P", "new", "n", "m", true);
        EXPECT_EQ(busy.busy, 0);
        EXPECT_EQ(platform::IniFile(file).ReadString("View", "Title", ""), "new");
        busy.busy = 1000;
        EXPECT_EQ(testing_support::ErrorOf([] { WriteProfileIni("P", "newer", "n", "m", true); }),
                  "Unable to write to " + file +
                      "\rThe file is in use by another program, or may not be replaced: close the program that holds "
                      "it and save again.");
        platform::UseSaveSteps(nullptr);
        EXPECT_EQ(platform::IniFile(file).ReadString("View", "Title", ""), "new");
        whole("busy");
    }
    // Another program's write while the copy was made is kept, also one
    // that keeps the file's size and time (a time kept to two seconds, a
    // share's cached figures); one that never stops fails the save rather
    // than be overwritten.
    s.Profile("P", text);
    Steps other;
    other.at = [&](I i) {
        if (i == I::CopyChecked && other.calls++ == 0) {
            WritePrivateProfileStringA("User", "Name", "External", file.c_str());
            WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
        }
    };
    platform::UseSaveSteps(&other);
    WriteProfileIni("P", "new", "n", "m", true);
    platform::UseSaveSteps(nullptr);
    EXPECT_EQ(platform::IniFile(file).ReadString("User", "Name", ""), "External");
    EXPECT_EQ(platform::IniFile(file).ReadString("View", "Title", ""), "new");
    whole("written meanwhile");
    s.Profile("P", text);
    Steps sameSize;
    bool forEver = false;
    sameSize.at = [&](I i) {
        if (i != I::CopyChecked || (sameSize.calls++ > 0 && !forEver)) return;
        // "S49 k=v" becomes "k=x" (and back and forth), at the time it had.
        platform::UniqueFile f(CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
        FILETIME t{};
        GetFileTime(f.get(), nullptr, nullptr, &t);
        const std::string now = Slurp(file);
        const size_t at = now.find("k=", now.find("[S49]")) + 2;
        SetFilePointer(f.get(), static_cast<LONG>(at), nullptr, FILE_BEGIN);
        DWORD put = 0;
        WriteFile(f.get(), now[at] == 'x' ? "y" : "x", 1, &put, nullptr);
        SetFileTime(f.get(), nullptr, nullptr, &t);
    };
    platform::UseSaveSteps(&sameSize);
    WriteProfileIni("P", "new", "n", "m", true);
    EXPECT_NE(Slurp(file).find("[S49]\r\nk=x\r\n"), std::string::npos);
    EXPECT_EQ(platform::IniFile(file).ReadString("View", "Title", ""), "new");
    forEver = true;
    EXPECT_EQ(testing_support::ErrorOf([] { WriteProfileIni("P", "newer", "n", "m", true); }),
              "Unable to write to " + file + "\rAnother program keeps changing the file: save again when it is done.");
    platform::UseSaveSteps(nullptr);
    EXPECT_EQ(platform::IniFile(file).ReadString("View", "Title", ""), "new");
    EXPECT_EQ(ListFolderEntries(s.folder + "P"), (std::vector<std::string>{".", "..", "Agent.ini"}));
    // Access denied for the copy in a folder that takes new files (a name
    // whose removal is pending, a guard against ransomware): the save
    // fails, and the file stays as it was.
    s.Profile("P", text + "\r\n; last\r\n");
    Steps denied;
    denied.denyCopy = true;
    platform::UseSaveSteps(&denied);
    EXPECT_EQ(testing_support::ErrorOf([] { WriteProfileIni("P", "new", "n", "m", true); }),
              "Unable to write to " + file + "\r" + platform::SystemErrorText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Slurp(file), text + "\r\n; last\r\n");
    // A folder that takes no new file, where the file itself may be
    // written: the values go into the file where it is, from the first byte
    // that changes, and the user is told once that such saves are not safe.
    denied.folderRefuses = true;
    for (const std::string& t : told.Texts()) ADD_FAILURE() << t;
    WriteProfileIni("P", "new", "n", "m", true);
    WriteProfileIni("P", "new", "n", "m", true);
    platform::UseSaveSteps(nullptr);
    ASSERT_EQ(told.Texts().size(), 1u);
    EXPECT_NE(told.Texts()[0].find("a crash during it can leave the file damaged"), std::string::npos);
    EXPECT_EQ(platform::IniFile(file).ReadString("View", "Title", ""), "new");
    EXPECT_TRUE(Slurp(file).ends_with("[S49]\r\nk=v\r\n\r\n; last\r\n[Servers]\r\nNewsServer=n\r\n"
                                                      "MailServer=m\r\n[Profile]\r\nLaunchMode=1\r\n[Directories]\r\nHome=\r\n"));
    whole("in place");
}

namespace {

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// Saves `file` over and over, as one copy of the program; how many saves
// failed for any reason but the other copy's save.
int SaveOverAndOver(const std::string& file, const std::string& who) {
    int faults = 0;
    for (int i = 0; i < 25; ++i) {
        platform::IniSave save(file);
        save.WriteString("View", "Title", who + std::to_string(i));
        try {
            save.Commit();
        } catch (const platform::Error& e) {
            if (std::string(e.what()).find("is being saved elsewhere") == std::string::npos) {
                std::printf("%s: %s\n", who.c_str(), e.what());
                ++faults;
            }
        }
    }
    return faults;
}

}  // namespace

TEST(SaveRecovery, TakesOnlyWholeFilesOfItsOwnAndNeverLosesAGoodOne) {
    Store s;
    const std::string text = "[View]\r\nTitle=old\r\n[Servers]\r\nNewsServer=n\r\n";
    const std::string newer = "[View]\r\nTitle=new\r\n[Servers]\r\nNewsServer=n\r\n";
    const std::string from = platform::BytesMark(text), to = platform::BytesMark(newer);
    using platform::IniSave;
    using testing_support::RunUnix;
    using testing_support::UnixPath;
    testing_support::CapturedInformation told;
    // Links out (one to a file whose bytes carry the mark its name gives),
    // a folder and a stray file at the names of a whole copy and of an old
    // file, Agent.ini missing: a listing, a look before editing and a save
    // move, follow and change nothing outside, and list none of them.
    const std::string file = ProfileIniPath("P");
    s.dir.MakeFolder("Documents");
    s.dir.MakeFolder("Documents\\Photos");
    const std::string letter = s.dir.MakeFile("Documents\\letter.ini", newer);
    s.dir.MakeFolder("Profiles\\P");
    s.dir.MakeFolder("Profiles\\P\\Agent.ini.pelmark-saved-" + from + "-" + to + "-2");
    s.dir.MakeFile("Profiles\\P\\Agent.ini.pelmark-backup-" + from + "-" + to, "[View]\r\nTitle=stray\r\n");
    ASSERT_TRUE(RunUnix("ln -s '" + UnixPath(letter) + "' '" + UnixPath(IniSave::CheckedCopyPathFor(file, from, to)) +
                        "' && ln -s '" + UnixPath(s.dir.Path() + "Documents\\Photos") + "' '" +
                        UnixPath(IniSave::BackupPathFor(file, to, to)) + "'"));
    const std::vector<std::string> planted = ListFolderEntries(s.folder + "P");
    for (int look = 0; look < 2; ++look) {
        EXPECT_TRUE(Names(ListProfiles()).empty());
        platform::RecoverInterruptedSave(file);
    }
    EXPECT_EQ(told.Texts().size(), 4u);  // each said once
    WriteProfileIni("P", "made", "n", "m", false);
    EXPECT_EQ(Slurp(letter), newer);
    EXPECT_TRUE(platform::DirectoryExists(s.dir.Path() + "Documents\\Photos"));
    EXPECT_EQ(Names(ListProfiles()), std::vector<std::string>{"P"});
    EXPECT_EQ(platform::IniFile(file).ReadString("View", "Title", ""), "made");
    std::vector<std::string> now = ListFolderEntries(s.folder + "P");
    now.erase(std::find(now.begin(), now.end(), "Agent.ini"));
    EXPECT_EQ(Sorted(now), Sorted(planted));
    // A whole copy said to be elsewhere (a link the system does not mark)
    // is neither moved nor removed; where it is in the folder, it takes the
    // missing file's name.
    s.dir.MakeFolder("Profiles\\Q");
    const std::string q = ProfileIniPath("Q"), copy = IniSave::CheckedCopyPathFor(q, from, to);
    s.dir.MakeFile("Profiles\\Q\\" + copy.substr(copy.find_last_of('\\') + 1), newer);
    Steps elsewhere;
    elsewhere.elsewhere = L"\\\\?\\C:\\windows\\Agent.ini";
    platform::UseSaveSteps(&elsewhere);
    platform::RecoverInterruptedSave(q);
    platform::UseSaveSteps(nullptr);
    EXPECT_FALSE(platform::FileExists(q));
    EXPECT_EQ(Slurp(copy), newer);
    // The move into the file's place refused (a scanner holds the copy):
    // nothing else is touched, the old file put aside least of all.
    const std::string qBackup = IniSave::BackupPathFor(q, from, to);
    s.dir.MakeFile("Profiles\\Q\\" + qBackup.substr(qBackup.find_last_of('\\') + 1), text);
    Steps refused;
    refused.renameRefused = true;
    platform::UseSaveSteps(&refused);
    platform::RecoverInterruptedSave(q);
    platform::UseSaveSteps(nullptr);
    EXPECT_EQ(Sorted(ListFolderEntries(s.folder + "Q")),
              Sorted({".", "..", copy.substr(copy.find_last_of('\\') + 1), qBackup.substr(qBackup.find_last_of('\\') + 1)}));
    platform::RecoverInterruptedSave(q);
    EXPECT_EQ(Slurp(q), newer);
    EXPECT_EQ(ListFolderEntries(s.folder + "Q"), (std::vector<std::string>{".", "..", "Agent.ini"}));
    // Only the old file left (the copy lost after the system's replace put
    // the old file aside): it takes its name back.
    DeleteFileA(q.c_str());
    s.dir.MakeFile("Profiles\\Q\\" + qBackup.substr(qBackup.find_last_of('\\') + 1), text);
    platform::RecoverInterruptedSave(q);
    EXPECT_EQ(Slurp(q), text);
    // A profile folder that is a link to another folder is not recovered.
    const std::string farAway = s.dir.MakeFolder("Far");
    s.dir.MakeFile("Far\\" + copy.substr(copy.find_last_of('\\') + 1), newer);
    ASSERT_TRUE(RunUnix("ln -s '" + UnixPath(farAway) + "' '" + UnixPath(s.folder + "R") + "'"));
    platform::RecoverInterruptedSave(ProfileIniPath("R"));
    EXPECT_FALSE(platform::FileExists(farAway + "Agent.ini"));
    // A save cut off between the system replace's two renames, and Agent
    // then makes a new Agent.ini of its own: no good file is deleted. Each
    // keeps a dated name of its own, and the user is told once which holds
    // what.
    platform::ScopedWorkarounds system;
    system->replaceLeavesAMomentWithoutTheFile = false;
    s.Profile("S", text);
    const std::string sFile = ProfileIniPath("S");
    Steps crash;
    crash.crashAt = platform::SaveInstant::OldMovedAside;
    platform::UseSaveSteps(&crash);
    EXPECT_THROW(WriteProfileIni("S", "saved", "n", "m", false), platform::SaveStopped);
    platform::UseSaveSteps(nullptr);
    WritePrivateProfileStringA("Agent", "Started", "1", sFile.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, sFile.c_str());
    const std::string made = Slurp(sFile);
    told.Texts().clear();
    for (int look = 0; look < 2; ++look) {
        EXPECT_EQ(Names(ListProfiles()), (std::vector<std::string>{"P", "Q", "S"}));
        platform::RecoverInterruptedSave(sFile);
    }
    std::vector<std::string> kept = ListFolderEntries(s.folder + "S");
    ASSERT_EQ(kept.size(), 5u);
    ASSERT_EQ(told.Texts().size(), 1u);
    std::string saved, before;
    for (const std::string& k : kept) {
        if (k.rfind("Agent saved ", 0) == 0) saved = Slurp(s.folder + "S\\" + k);
        if (k.rfind("Agent before a save ", 0) == 0) before = Slurp(s.folder + "S\\" + k);
    }
    EXPECT_NE(saved.find("Title=saved"), std::string::npos);
    EXPECT_EQ(before, text);
    EXPECT_EQ(Slurp(sFile), made);
    EXPECT_NE(told.Texts()[0].find("Nothing was deleted"), std::string::npos);
}

TEST(SaveRecovery, TwoCopiesSavingOneFileAtOnceLeaveItWhole) {
    testing_support::CapturedInformation told;  // nothing to say: a message would stop a copy
    // The other copy: this test started again, saving the file it names.
    if (const char* other = std::getenv("PELMARK_TEST_SAVE_TOO")) {
        EXPECT_EQ(SaveOverAndOver(other, "B"), 0);
        return;
    }
    Store s;
    std::string text = "[View]\r\nTitle=old\r\n";
    for (int i = 0; i < 200; ++i) text += "[S" + std::to_string(i) + "]\r\nk=v\r\n";
    s.Profile("P", text);
    const std::string file = ProfileIniPath("P");
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string cmd = std::string("\"") + exe + "\" --gtest_filter=SaveRecovery.TwoCopiesSavingOneFileAtOnceLeaveItWhole";
    SetEnvironmentVariableA("PELMARK_TEST_SAVE_TOO", file.c_str());
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const bool started = CreateProcessA(exe, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableA("PELMARK_TEST_SAVE_TOO", nullptr);
    ASSERT_TRUE(started);
    EXPECT_EQ(SaveOverAndOver(file, "A"), 0);
    DWORD code = 1;
    if (WaitForSingleObject(pi.hProcess, 100000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 2);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(code, 0u) << "the other copy's saves failed (its output is above)";
    platform::IniFile ini(file);
    EXPECT_EQ(ini.ReadString("S199", "k", ""), "v");
    const std::string title = ini.ReadString("View", "Title", "");
    EXPECT_TRUE(title == "A24" || title == "B24") << title;
    EXPECT_TRUE(told.Texts().empty());
    EXPECT_EQ(ListFolderEntries(s.folder + "P"), (std::vector<std::string>{".", "..", "Agent.ini"}));
}

TEST(DeleteFolder, OnlyAReparsePointThatNamesAnotherPlaceIsALink) {
    // Cloud files and folders, deduplicated and system-compressed files are
    // ordinary entries that go to the recycle bin with the rest.
    const DWORD rp = FILE_ATTRIBUTE_REPARSE_POINT, dir = FILE_ATTRIBUTE_DIRECTORY;
    const struct {
        DWORD attributes, tag;
        bool link;
    } cases[] = {
        {rp, IO_REPARSE_TAG_SYMLINK, true},      {rp | dir, IO_REPARSE_TAG_SYMLINK, true},
        {rp | dir, IO_REPARSE_TAG_MOUNT_POINT, true},  // a junction or a mounted volume
        {rp | dir, 0x9000701A, false},           // a OneDrive folder (cloud tag)
        {rp, 0x9000001A, false},                 // a cloud file
        {rp, 0x80000013, false},                 // deduplicated
        {rp, 0x80000017, false},                 // compressed by the system (WOF)
        {dir, 0, false},                         {FILE_ATTRIBUTE_ARCHIVE, IO_REPARSE_TAG_SYMLINK, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsLinkEntry(c.attributes, c.tag), c.link) << std::hex << c.attributes << " " << c.tag;
    }
}

TEST(CenterForm, KeepsTheFormOnTheScreen) {
    const RECT screen{0, 0, 1280, 1024};
    const platform::Size form{300, 200};
    POINT p = platform::CenterPosition(form, nullptr, screen);
    EXPECT_EQ(p.x, 490);
    EXPECT_EQ(p.y, 412);
    RECT middle{100, 100, 601, 489};
    p = platform::CenterPosition(form, &middle, screen);
    EXPECT_EQ(p.x, 100 + 501 / 2 - 150);
    EXPECT_EQ(p.y, 100 + 389 / 2 - 100);
    RECT right{1100, 300, 1500, 600};  // near the right edge
    p = platform::CenterPosition(form, &right, screen);
    EXPECT_EQ(p.x, 1280 - 300);
    RECT left{-300, -100, 100, 100};  // partly off the left and top edges
    p = platform::CenterPosition(form, &left, screen);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    RECT bottom{500, 950, 700, 1100};
    EXPECT_EQ(platform::CenterPosition(form, &bottom, screen).y, 1024 - 200);
    // A second screen left of and above the primary one: the form stays on
    // the screen of its owner, negative coordinates and all.
    const RECT second{-1920, -200, 0, 880};
    p = platform::CenterPosition(form, nullptr, second);
    EXPECT_EQ(p.x, -1920 + 960 - 150);
    EXPECT_EQ(p.y, -200 + 540 - 100);
    RECT there{-1000, 100, -500, 400};
    p = platform::CenterPosition(form, &there, second);
    EXPECT_EQ(p.x, -1000 + 250 - 150);
    EXPECT_EQ(p.y, 100 + 150 - 100);
    RECT nearRight{-200, 700, 100, 1000};  // reaching onto the primary screen
    p = platform::CenterPosition(form, &nearRight, second);
    EXPECT_EQ(p.x, -300);
    EXPECT_EQ(p.y, 880 - 200);
    RECT nearLeft{-2000, -300, -1800, -100};
    p = platform::CenterPosition(form, &nearLeft, second);
    EXPECT_EQ(p.x, -1920);
    EXPECT_EQ(p.y, -200);
    // A dialog, and the folder browser over its owner, stay clear of a
    // taskbar: within the screen's work area, not its whole rectangle.
    MONITORINFO bars{.cbSize = sizeof(MONITORINFO), .rcMonitor = screen, .rcWork = {48, 0, 1280, 984}, .dwFlags = 0};
    EXPECT_EQ(platform::DialogPosition(form, &bottom, bars).y, 984 - 200);
    EXPECT_EQ(platform::DialogPosition(form, &left, bars).x, 48);
    EXPECT_EQ(platform::DialogPosition(form, nullptr, bars).x, 48 + 1232 / 2 - 150);
    const RECT owner{500, 760, 900, 1000};
    p = platform::BrowserPosition(owner, form, bars);
    EXPECT_EQ(p.x, 500 + 50);
    EXPECT_EQ(p.y, 984 - 200);  // a quarter down the owner would reach under the taskbar
    p = platform::BrowserPosition(RECT{0, 100, 200, 500}, form, bars);
    EXPECT_EQ(p.x, 48);
    EXPECT_EQ(p.y, 200);
}

TEST(CenterForm, CentresOverTheOwnerWindow) {
    platform::FormDef od;
    od.windowClass = "TFrmTestOwner";
    od.name = "FrmTestOwner";
    const int sw = GetSystemMetrics(SM_CXSCREEN);
    od.place = {sw - 150, 100, 400, 300};
    platform::Form owner(od, nullptr);
    owner.Create();
    platform::FormDef dd = od;
    dd.windowClass = "TFrmTestOwned";
    dd.place = {0, 0, 300, 200};
    platform::Form dialog(dd, owner.Handle());
    dialog.Create();
    platform::CenterForm(&dialog);
    RECT r;
    GetWindowRect(dialog.Handle(), &r);
    EXPECT_EQ(r.right, sw);  // pushed back onto the screen
    EXPECT_EQ(r.top, 100 + 150 - 100);
    platform::CenterForm(nullptr);  // nothing
}

TEST(AgentStandIn, StartedInAProfileFolderShowsThatProfile) {
    Store s;
    s.Profile("Mine", "[View]\r\nTitle=Agent for Mine\r\n[Servers]\r\nNewsServer=news.mine\r\n");
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string agent = exe;
    agent = agent.substr(0, agent.find_last_of('\\') + 1) + "agent\\Agent.exe";
    const std::string log = s.dir.Path() + "agent.log";
    SetEnvironmentVariableA("PELMARK_AGENT_LOG", log.c_str());
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const std::string cwd = s.folder + "Mine\\";
    ASSERT_TRUE(CreateProcessA(agent.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, cwd.c_str(), &si, &pi));
    SetEnvironmentVariableA("PELMARK_AGENT_LOG", nullptr);
    struct Find {
        DWORD pid;
        HWND found;
        static BOOL CALLBACK Each(HWND w, LPARAM lp) {
            auto* f = reinterpret_cast<Find*>(lp);
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == f->pid && IsWindowVisible(w)) {
                f->found = w;
                return FALSE;
            }
            return TRUE;
        }
    } find{pi.dwProcessId, nullptr};
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!find.found && std::chrono::steady_clock::now() < end) {
        EnumWindows(&Find::Each, reinterpret_cast<LPARAM>(&find));
        Sleep(20);
    }
    ASSERT_NE(find.found, nullptr);
    char title[128] = {};
    GetWindowTextA(find.found, title, sizeof title);
    EXPECT_STREQ(title, "Agent for Mine");
    PostMessageA(find.found, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    const std::string line = Slurp(log);
    EXPECT_EQ(line, cwd.substr(0, cwd.size() - 1) + "|\r\n");
}
