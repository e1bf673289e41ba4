#include "profiles/ZuGlobal.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "about/xDialogs.h"
#include "platform/Application.h"
#include "platform/Checkpoints.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Form.h"
#include "platform/Handles.h"
#include "platform/Names.h"
#include "platform/SystemLibrary.h"
#include "platform/IniFile.h"
#include "platform/IniSave.h"
#include "platform/Workarounds.h"
#include "settings/KelUtility.h"

using platform::Format;
using platform::IniFile;

namespace profiles {

std::vector<std::string> ListFolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    // Every name by its long name, as the user named it, in Unicode.
    const std::wstring pattern = platform::Widened(platform::IncludeTrailingBackslash(folder) + "*.*");
    WIN32_FIND_DATAW fd;
    platform::UniqueFind find(FindFirstFileW(pattern.c_str(), &fd));
    if (!find) return names;
    do {
        names.push_back(platform::Narrowed(fd.cFileName));
    } while (FindNextFileW(find.get(), &fd));
    return names;
}

std::vector<ProfileEntry> ListProfilesIn(const std::string& profileFolder) {
    std::vector<ProfileEntry> list;
    if (!platform::DirectoryExists(profileFolder)) {
        // A folder not made yet lists nothing; one that cannot be reached (a
        // drive or share offline) is said, with the system's reason, and the
        // setting is kept as it is.
        if (const std::string why = platform::UnreachableReason(profileFolder); !why.empty()) {
            platform::ReportOnce(Format("The profile folder \"%s\" cannot be reached: %s", profileFolder.c_str(),
                                        why.c_str()));
        }
        return list;
    }
    std::vector<std::string> names = ListFolderEntries(profileFolder);
    platform::SortNamesLocale(names);
    PELMARK_CHECKPOINT("profiles: folder listed and sorted");
    for (const auto& name : names) {
        if (name == "." || name == "..") continue;
        const std::string file = AgentIniIn(profileFolder + name);
        if (!platform::FileExists(file)) {
            // A save a crash cut off between the file's two names: the
            // profile is there again, old or new, never half. (What a save
            // left beside a file that is there goes when the profile is
            // next opened or saved: asking here would cost every listing.)
            platform::RecoverInterruptedSave(file);
            if (!platform::FileExists(file)) continue;
        }
        IniFile ini(file);
        ProfileEntry e;
        e.LaunchMode.assign(1, ini.ReadBool("Profile", "LaunchMode", false) ? '1' : '0');
        e.Name = name;
        e.Title = ini.ReadString("View", "Title", "Agent");
        e.NewsServer = ini.ReadString("Servers", "NewsServer", "");
        e.MailServer = ini.ReadString("Servers", "MailServer", "");
        list.push_back(std::move(e));
    }
    return list;
}

std::vector<ProfileEntry> ListProfiles() { return ListProfilesIn(settings::Settings.ProfileFolder); }

namespace {

using about::ShowError;

// Creates a folder and every missing folder above it, outermost first;
// the system's error of the last folder it could not make (0: none).
DWORD ForceDirectories(const std::string& path) {
    std::string p = path;
    while (!p.empty() && (p.back() == '\\' || p.back() == '/')) p.pop_back();
    if (p.empty() || platform::DirectoryExists(p)) return 0;
    const std::string parent = platform::ExtractFilePath(p);
    // Stop at a drive ("C:\") or a share root: those are never made.
    DWORD error = 0;
    if (!parent.empty() && parent != p && parent.size() > 3) error = ForceDirectories(parent);
    if (CreateDirectoryW(platform::Widened(p).c_str(), nullptr)) return 0;
    const DWORD own = GetLastError();
    return error ? error : own;
}

// A failure the user can mend in Setup, a folder this user may not write
// in: one line after the message says how. (Access may be denied for a
// file alone, which another profile folder would not mend.)
std::string WithAccessHint(const std::string& message, DWORD systemCode, const std::string& folder) {
    const bool folderRefused = systemCode == ERROR_ACCESS_DENIED && !platform::FolderIsWritable(folder);
    return folderRefused ? message + "\r" + kNotWritableHint : message;
}

// An Add that failed says why in one more line: the disk is full, the
// drive is missing, the path is too long.
std::string WithReason(const std::string& message, DWORD systemCode, const std::string& folder) {
    const std::string why = systemCode ? platform::SystemErrorText(systemCode) : std::string();
    return WithAccessHint(why.empty() ? message : message + "\r" + why, systemCode, folder);
}

// The folder the profile folder `folder` is made in: the nearest that exists.
std::string ExistingParent(std::string folder) {
    while (!folder.empty() && !platform::DirectoryExists(folder)) {
        while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
        folder = platform::ExtractFilePath(folder);
    }
    return folder;
}

}  // namespace

const char* const kNotWritableHint =
    "You may not write in this folder: choose another \"Profile folder\" in Setup.";

bool CreateProfileFolder(const std::string& name, platform::IniSave& save) {
    const std::string folder = ProfileFolderPath(name);
    if (platform::DirectoryExists(folder) && platform::FileExists(ProfileIniPath(name))) {
        ShowError(Format("Profile \"%s\" allready exist, try again !", about::Literal(name).c_str()));
        return false;
    }
    const DWORD made = ForceDirectories(folder);
    if (!platform::DirectoryExists(folder)) {
        ShowError(WithReason(Format("Could not create the profile \"%s\" !", about::Literal(name).c_str()), made,
                             ExistingParent(folder)));
        return false;
    }
    // A template that is not there: said, with where it was looked for and
    // the way out. The new folder stays behind, empty.
    if (!platform::FileExists(save.Source())) {
        ShowError(Format("Could not copy default profile to \"%s\" !", about::Literal(name).c_str()) + "\r" +
                  Format("The template \"%s\" is missing: choose another in Setup.", about::Literal(save.Source()).c_str()));
        return false;
    }
    // The template's bytes go into the save's copy, which takes the name
    // Agent.ini only once the profile's keys are written too: a copy that
    // fails leaves no Agent.ini, and so no half-made profile, behind.
    try {
        save.Start();
    } catch (const platform::Error& e) {
        ShowError(WithReason(Format("Could not copy default profile to \"%s\" !", about::Literal(name).c_str()),
                             e.SystemCode(), folder));
        return false;
    }
    return true;
}

void WriteProfileIni(platform::IniSave& save, const std::string& title, const std::string& newsServer,
                     const std::string& mailServer, bool launchMode) {
    save.WriteString("View", "Title", title);
    save.WriteString("Servers", "NewsServer", newsServer);
    save.WriteString("Servers", "MailServer", mailServer);
    save.WriteBool("Profile", "LaunchMode", launchMode);
    // Read where the copy's bytes come from: the same as the copy holds.
    const std::string home = IniFile(save.Source()).ReadString("Directories", "Home", "");
    if (!platform::DirectoryExists(home)) save.WriteString("Directories", "Home", "");
    try {
        save.Commit();
    } catch (const platform::Error& e) {
        throw platform::Error(WithAccessHint(e.what(), e.SystemCode(), platform::ExtractFilePath(save.Path())),
                              e.SystemCode());
    }
}

void WriteProfileIni(const std::string& name, const std::string& title, const std::string& newsServer,
                     const std::string& mailServer, bool launchMode) {
    platform::IniSave save(ProfileIniPath(name));
    WriteProfileIni(save, title, newsServer, mailServer, launchMode);
}

std::string ProfileFolderPath(const std::string& name) { return settings::Settings.ProfileFolder + name; }

std::string ProfileIniPath(const std::string& name) { return AgentIniIn(ProfileFolderPath(name)); }

std::string ProfileWorkingFolder(const std::string& name) { return ProfileFolderPath(name) + "\\"; }

std::string AgentIniIn(const std::string& folder) { return folder + "\\Agent.ini"; }

bool ProfileFolderExists(const std::string& name) {
    WIN32_FIND_DATAW fd;
    platform::UniqueFind find(FindFirstFileW(platform::Widened(ProfileFolderPath(name)).c_str(), &fd));
    if (!find) return false;
    do {
        // Its name as listed, letter case and all.
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name == platform::Narrowed(fd.cFileName)) return true;
    } while (FindNextFileW(find.get(), &fd));
    return false;
}

void RequireListedProfileFolder(const std::string& name) {
    if (!ProfileFolderExists(name)) {
        throw platform::Error(platform::Format("Unable to write to %s", ProfileIniPath(name).c_str()));
    }
}

int ShellFileOperation::Run(SHFILEOPSTRUCTW& op) {
    static const auto operate = platform::SystemFunction<decltype(&SHFileOperationW)>("shell32.dll", "SHFileOperationW");
    return operate(&op);
}

namespace {
ShellFileOperation theShells;
ShellFileOperation* shellFileOperation = &theShells;
}  // namespace

void UseShellFileOperation(ShellFileOperation* operation) {
    shellFileOperation = operation ? operation : &theShells;
}

namespace {

bool SamePath(const std::string& a, const std::string& b) {
    const std::wstring wa = platform::Widened(a), wb = platform::Widened(b);
    return !wa.empty() && CompareStringOrdinal(wa.c_str(), static_cast<int>(wa.size()), wb.c_str(),
                                               static_cast<int>(wb.size()), TRUE) == CSTR_EQUAL;
}

// Whether the entry `name` of a folder whose final path is `folderFinal`
// leads elsewhere: an entry that is no link has its folder's final path
// plus its own name. (Wine marks no link to a file; this finds it.)
bool LeadsElsewhere(const std::string& path, std::string folderFinal, const std::string& name) {
    if (!folderFinal.empty() && folderFinal.back() == '\\') folderFinal.pop_back();  // a drive's root
    return !SamePath(platform::FinalPath(path), folderFinal + "\\" + name);
}

// Removes one link itself, where the system can. Under Wine the removal of
// a link acts on its target (an empty target folder, a target file): there
// no link can be removed alone.
bool RemoveLink(const LinkEntry& link) {
    if (!link.flagged || platform::Needed().linkCannotBeRemovedAlone) return false;
    const std::wstring path = platform::Widened(link.path);
    if (link.toFolder) return RemoveDirectoryW(path.c_str()) || DeleteFileW(path.c_str());
    return DeleteFileW(path.c_str()) != FALSE;
}

}  // namespace

bool IsLinkEntry(DWORD attributes, DWORD reparseTag) {
    // Many ordinary files and folders carry a reparse point (cloud files and
    // folders, deduplicated or system-compressed files): only a tag that
    // names another place makes a link.
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(reparseTag);
}

namespace {

// What stops the search of a folder: a path too long for the system's
// calls, or a folder that cannot be read.
DeleteRefusal SearchStop(const std::string& path) {
    if (platform::Widened(path).size() + 2 >= MAX_PATH) return {path, DeleteRefusal::PathTooLong};
    return {path, DeleteRefusal::NotSearchable};
}

}  // namespace

bool FindLinksBelow(const std::string& folder, std::vector<LinkEntry>& links, DeleteRefusal* stop) {
    // An entry that is no link has the final path of its folder plus its
    // name. Windows marks every link with a link's reparse tag; Wine marks
    // links to folders only, so the final path is what finds a link to a
    // file there.
    DeleteRefusal ignored;
    DeleteRefusal& why = stop ? *stop : ignored;
    const std::string here = platform::FinalPath(folder);
    if (here.empty()) {
        why = SearchStop(folder);
        return false;
    }
    WIN32_FIND_DATAW fd;
    platform::UniqueFind find(FindFirstFileW(platform::Widened(folder + "\\*").c_str(), &fd));
    if (!find) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return true;
        why = SearchStop(folder + "\\*");
        why.entry = folder;
        return false;
    }
    do {
        const std::string name = platform::Narrowed(fd.cFileName);
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name;
        const bool isFolder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool flagged = IsLinkEntry(fd.dwFileAttributes, fd.dwReserved0);
        if (flagged || LeadsElsewhere(path, here, name)) {
            if (!flagged && platform::Widened(path).size() + 1 >= MAX_PATH) {
                why = {path, DeleteRefusal::PathTooLong};
                return false;
            }
            links.push_back({path, isFolder, flagged});  // never looked into
        } else if (isFolder && !FindLinksBelow(path, links, stop)) {
            return false;
        }
    } while (FindNextFileW(find.get(), &fd));
    if (GetLastError() == ERROR_NO_MORE_FILES) return true;
    why = SearchStop(folder);
    return false;
}

std::string DeleteRefusalText(const DeleteRefusal& refusal, const std::string& folder) {
    // Named below the folder; the folder itself by its own name.
    std::string entry = refusal.entry;
    const std::string base = folder.empty() || folder.back() == '\\' ? folder : folder + "\\";
    if (entry.size() > base.size() && entry.compare(0, base.size(), base) == 0) {
        entry.erase(0, base.size());
    } else if (entry + "\\" == base) {
        entry.erase(0, entry.find_last_of('\\') + 1);
    }
    switch (refusal.why) {
        case DeleteRefusal::Link:
            return Format("\"%s\" is a link (a symbolic link or a junction): nothing is deleted through one.",
                          entry.c_str());
        case DeleteRefusal::PathTooLong:
            return Format("\"%s\" has a path too long for the system.", entry.c_str());
        case DeleteRefusal::NotSearchable:
            return Format("\"%s\" could not be searched.", entry.c_str());
        case DeleteRefusal::None:
            break;
    }
    return {};
}

bool DeleteFolder(const std::string& path, HWND owner, DeleteRefusal* refusal) {
    DeleteRefusal ignored;
    DeleteRefusal& why = refusal ? *refusal : ignored;
    why = {};
    if (!platform::DirectoryExists(path)) return false;
    std::string from = path;
    if (!from.empty() && from.back() == '\\') from.pop_back();
    WIN32_FIND_DATAW self;
    {
        platform::UniqueFind find(FindFirstFileW(platform::Widened(from).c_str(), &self));
        if (!find) return false;
    }
    const bool tagged = IsLinkEntry(self.dwFileAttributes, self.dwReserved0);
    const std::string selfName = platform::Narrowed(self.cFileName);
    if (tagged || LeadsElsewhere(from, platform::FinalPath(platform::ExtractFilePath(from)), selfName)) {
        // A link (or junction) to a folder elsewhere: the shell would move
        // the target's contents to the recycle bin. Only the link goes, and
        // where the platform cannot remove just the link, nothing does.
        if (RemoveLink({from, true, tagged})) return true;
        why = {from, DeleteRefusal::Link};
        return false;
    }
    // A link anywhere inside is just as dangerous: where the recycle bin
    // cannot take the folder, the shell's permanent delete walks through it
    // and empties the target. So the links go first, each by itself; a
    // folder that cannot be searched whole, or a link that cannot be removed
    // alone, stops the delete before the shell sees anything.
    std::vector<LinkEntry> links;
    if (!FindLinksBelow(from, links, &why)) return false;
    for (const auto& link : links) {
        if (!RemoveLink(link)) {
            why = {link.path, DeleteRefusal::Link};
            return false;
        }
    }
    std::wstring wideFrom = platform::Widened(from);
    wideFrom.push_back(L'\0');
    wideFrom.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    // Any question the shell asks belongs to the window the delete came
    // from, and stays in front of it.
    op.hwnd = owner;
    op.wFunc = FO_DELETE;
    op.pFrom = wideFrom.c_str();
    op.pTo = nullptr;
    op.fFlags = kDeleteFolderFlags;
    if (shellFileOperation->Run(op) != 0 || op.fAnyOperationsAborted) return false;
    // The shell reports success also when the user skipped a file in use:
    // the delete succeeded only when the folder is gone.
    return !platform::DirectoryExists(path);
}

}  // namespace profiles
