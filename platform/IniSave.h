// One save of an INI file, all or nothing, and whole across a crash at any
// instant. The private-profile service writes the whole file again, in
// place, for every value: a full disk or a crash in the middle of that
// leaves the file cut short or empty. So a save writes its values into a
// copy beside the file, made new for it ("<file>.pelmark-saving"). Only when
// the copy reads back with every line the file had and the new values, and
// is on the disk, is it renamed "<file>.pelmark-saved-<from>-<to>", the marks
// of the bytes it began from and holds: that name says the copy is whole.
// Then, where the file is still what the copy began from, it takes the
// file's place in one rename that replaces it; where the system's replace
// is used, the old file goes aside as "<file>.pelmark-backup-<from>-<to>"
// until the new one has its name. One save or recovery of a file runs at a
// time, across copies of the program (SaveLock). A save cut off anywhere is
// finished or undone the next time the program looks at the file
// (RecoverInterruptedSave), by these names and the bytes they hold.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/IniRecovery.h"
#include "platform/IniText.h"

namespace platform {

// The instants of a save after which a crash leaves the folder in a state
// of its own.
enum class SaveInstant { CopyWritten, CopyChecked, OldMovedAside, CopyRenamed };

// Thrown where a test stops a save as a crash would: nothing is cleaned up.
struct SaveStopped {};

// The steps of a save that meet the file system. The program uses the
// system's own; a test may put others in their place (null: the system's
// again), to make a step fail, to answer as another system does, or to stop
// the save at an instant.
class SaveSteps {
public:
    virtual ~SaveSteps() = default;
    // The system's replace of `file` by `copy`, the old file kept as `backup`.
    virtual BOOL Replace(const char* file, const char* copy, const char* backup);
    // Renames the entry open as `entry` to `to`, through its handle.
    virtual BOOL Rename(HANDLE entry, const wchar_t* to, bool replace);
    // The copy, made new (INVALID_HANDLE_VALUE and the last error: not made).
    virtual HANDLE CreateCopy(const char* path);
    // Where an open entry is, every link resolved ("\\?\C:\...").
    virtual std::wstring FinalPathOf(HANDLE entry);
    // Whether this user may make new files in the folder.
    virtual bool FolderTakesNewFiles(const std::string& folder);
    // Called at each instant; a test throws SaveStopped to stop there.
    virtual void Reached(SaveInstant) {}
};
void UseSaveSteps(SaveSteps* steps);
SaveSteps& CurrentSaveSteps();

// The bytes of a file (its reason, where it cannot be read, in `code`).
std::string ReadFileBytes(const std::string& path, DWORD& code);

class IniSave {
public:
    // `path`: the file saved. `source`: the file whose bytes the copy starts
    // from, when not the saved file itself (a new profile's template). A
    // saved file that is missing starts the copy empty; a missing source
    // other than the file itself is a failure.
    explicit IniSave(std::string path, std::string source = {});
    // What is left of a save that did not finish goes, but never the whole
    // copy of a file that is missing.
    ~IniSave();
    IniSave(const IniSave&) = delete;
    IniSave& operator=(const IniSave&) = delete;

    const std::string& Path() const { return path_; }
    // Where the copy starts from (the saved file itself, or the source).
    const std::string& Source() const { return source_.empty() ? path_ : source_; }

    // Reads the source and makes the copy beside the file (Commit does it
    // when not yet done). Raises with the system's code when the source
    // cannot be read or the copy not made; the message is the reason alone.
    void Start();

    // Values to be written, in this order, at Commit.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    // Writes, checks and replaces. Raises "Unable to write to <path>" with
    // the reason on one more line, the file untouched, when any step fails;
    // a value the service cannot hold is refused before anything is written.
    void Commit();

    // The names of a save's copy while it is made, once it is whole, and of
    // the old file while the system's replace has put it aside: the last two
    // carry the marks of the bytes the save began from and of those it
    // wrote. Where something else stands at a name, the save takes the same
    // name with "-2", "-3", ... after it.
    static std::string CopyPathFor(const std::string& file);
    static std::string CheckedCopyPathFor(const std::string& file, const std::string& from, const std::string& to);
    static std::string BackupPathFor(const std::string& file, const std::string& from, const std::string& to);
    // The longest name a save gives beside the file, less the file's own.
    static size_t LongestNameAdded();

private:
    [[noreturn]] void Fail(DWORD code, const std::string& reason = {}) const;
    void CheckTarget();
    void ChooseFileWrites(const std::string& ansiFault);
    void MakeCopy();
    void WriteCopy();
    void WriteInPlace();
    bool Replace();  // false: the file changed since the copy began
    DWORD ReplaceOnce(bool& final);
    bool SourceChanged() const;
    void CheckReadBack();
    void RemoveOwnCopy();

    std::string path_;
    std::string source_;
    std::string target_;  // the file replaced: `path_`, a link followed
    std::string copy_;    // the copy beside it, under the name it has now
    std::wstring folder_;  // the file's own folder, every link resolved
    std::string text_;     // the source's bytes when the copy was begun
    std::string held_;     // the copy's bytes, as read back
    HANDLE out_ = INVALID_HANDLE_VALUE;
    SaveLock lock_;
    bool started_ = false;
    bool inPlace_ = false;  // no copy can be made: the file is written where it is
    bool stopped_ = false;
    std::vector<IniWrite> writes_;      // as given, in UTF-8
    std::vector<IniWrite> ansiWrites_;  // in the ANSI code page's bytes
    std::vector<IniWrite> fileWrites_;  // in the bytes the file holds: the code page's, or UTF-8's
};

// The path a DOS program names for a path the system gives as
// "\\?\C:\..." or "\\?\UNC\server\share\..." ("" for any other form).
std::string FromFinalPath(const std::string& final);

}  // namespace platform
