// The profile store: a profile is a sub-folder of the profile folder that
// holds its own Agent.ini. The disk is the store; nothing is cached. Also the
// folder listing and the removal of a folder to the recycle bin.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/Layout.h"

namespace platform {
class Form;
class IniSave;
}

namespace profiles {

// One listed profile, in the order of the grid's columns.
struct ProfileEntry {
    std::string LaunchMode;  // "1": launching closes the program; "0": it stays
    std::string Name;        // the sub-folder's name as the file system lists it
    std::string Title;
    std::string NewsServer;
    std::string MailServer;

    bool operator==(const ProfileEntry&) const = default;
};

// All entry names of a folder, without path, as the file system lists them
// ("." and ".." included where it reports them).
std::vector<std::string> ListFolderEntries(const std::string& folder);

// The profiles of the profile folder ("ProfileFolder"), sorted by name.
std::vector<ProfileEntry> ListProfiles();
std::vector<ProfileEntry> ListProfilesIn(const std::string& profileFolder);

// Where a profile lives, from the "ProfileFolder" setting: its folder, its
// Agent.ini, and the folder Agent starts in (the profile's, with its "\").
std::string ProfileFolderPath(const std::string& name);
std::string ProfileIniPath(const std::string& name);
std::string ProfileWorkingFolder(const std::string& name);
// The Agent.ini of a profile folder `folder` (no trailing "\").
std::string AgentIniIn(const std::string& folder);

// Whether the profile folder holds a folder of exactly this name, letter
// case included. Where names differ only in case, Wine matches another
// folder when the exact one is gone: a stale row must not act on that one.
bool ProfileFolderExists(const std::string& name);
// For a listed profile (a row that may be stale): raises the write error
// unless its folder is there under exactly its name. A new profile needs no
// such check: a folder that differs only in case is taken over, as the file
// system matches names without regard to case.
void RequireListedProfileFolder(const std::string& name);

// The line added after a message when a profile could not be made or
// written because this user may not write in the folder.
extern const char* const kNotWritableHint;

// Makes the folder of a new profile and starts `save` (of its Agent.ini,
// from the template) with a copy of the template; shows its own message,
// the system's reason on one more line, and returns false when it cannot.
bool CreateProfileFolder(const std::string& name, platform::IniSave& save);

// Writes title, servers and launch mode into the profile's Agent.ini, and
// empties "Directories"/"Home" when it names no existing folder: all of it
// or, raising "Unable to write to ..." with the reason, none of it.
void WriteProfileIni(platform::IniSave& save, const std::string& title, const std::string& newsServer,
                     const std::string& mailServer, bool launchMode);
void WriteProfileIni(const std::string& name, const std::string& title,
                     const std::string& newsServer, const std::string& mailServer,
                     bool launchMode);

// Why a delete was refused before anything was touched: the first entry
// (a full path) that stopped it, and what it is.
struct DeleteRefusal {
    enum Why { None, Link, PathTooLong, NotSearchable };
    std::string entry;
    Why why = None;
};
// One line for the user: the entry, named below `folder`, and why.
std::string DeleteRefusalText(const DeleteRefusal& refusal, const std::string& folder);

// Moves a folder with everything in it to the recycle bin; true only when
// the shell did all of it and the folder is gone. The shell asks before
// anything would be deleted for good (a folder the recycle bin cannot
// take); its questions belong to `owner`. A refusal before the shell is
// asked says why in `refusal`.
bool DeleteFolder(const std::string& path, HWND owner = nullptr, DeleteRefusal* refusal = nullptr);
// Whether a directory entry with these attributes and reparse tag (the
// find data's dwReserved0) is a link: a symbolic link, a junction or a mount
// point. Other reparse points are ordinary files and folders.
bool IsLinkEntry(DWORD attributes, DWORD reparseTag);
// The links (symbolic links, junctions) inside a folder at any depth, not
// looked into; false when some folder below could not be searched whole, or
// holds an entry the system's ANSI calls cannot name (then `stop` says which).
struct LinkEntry {
    std::string path;
    bool toFolder;
    bool flagged;  // the system marks it as a reparse point
};
bool FindLinksBelow(const std::string& folder, std::vector<LinkEntry>& links, DeleteRefusal* stop = nullptr);
// The shell's file operation, through which DeleteFolder hands a folder to
// the recycle bin. The program uses the shell's own; a test may put another
// in its place (null: the shell's own again).
class ShellFileOperation {
public:
    virtual ~ShellFileOperation() = default;
    virtual int Run(SHFILEOPSTRUCTW& op);
};
void UseShellFileOperation(ShellFileOperation* operation);
constexpr FILEOP_FLAGS kDeleteFolderFlags = FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_WANTNUKEWARNING;

}  // namespace profiles
