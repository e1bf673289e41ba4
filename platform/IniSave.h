// One save of an INI file, all or nothing. The private-profile service
// writes the whole file again, in place, for every value: a full disk or a
// crash in the middle of that leaves the file cut short or empty. So a save
// writes its values, through the same service and one by one, into a copy
// beside the file; only when every write succeeded and the copy reads back
// with everything the file had and the new values does the copy take the
// file's place, in one step. Otherwise the copy goes and the file stays as
// it was.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace platform {

class IniSave {
public:
    // `path`: the file saved. `source`: the file whose bytes the copy starts
    // from, when not the saved file itself (a new profile's template). A
    // saved file that is missing starts the copy empty; a missing source
    // other than the file itself is a failure.
    explicit IniSave(std::string path, std::string source = {});
    // A copy that never took the file's place is removed.
    ~IniSave();
    IniSave(const IniSave&) = delete;
    IniSave& operator=(const IniSave&) = delete;

    const std::string& Path() const { return path_; }
    // Where the copy starts from (the saved file itself, or the source).
    const std::string& Source() const { return source_.empty() ? path_ : source_; }

    // Makes the copy beside the file (Commit does it when not yet done).
    // Raises with the system's code when the source cannot be read or the
    // copy not made; the message is the reason alone.
    void Start();

    // Values to be written, in this order, at Commit.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    // Writes, checks and replaces. Raises "Unable to write to <path>" with
    // the reason on one more line, the file untouched, when any step fails;
    // a value the service cannot hold is refused before anything is written.
    void Commit();

    // Where the copy is made: beside the file the save reaches, a link
    // followed to its target. A copy of this name left by a crash is
    // replaced by the next save.
    static std::string CopyPathFor(const std::string& file);

private:
    struct Write {
        std::string section, key, value;
    };
    [[noreturn]] void Fail(DWORD code, const std::string& reason = {}) const;

    std::string path_;
    std::string source_;
    std::string target_;  // the file replaced: `path_`, a link followed
    std::string copy_;    // the copy beside it, while there is one
    std::vector<Write> writes_;
};

// The path a DOS program names for a path the system gives as
// "\\?\C:\..." or "\\?\UNC\server\share\..." ("" for any other form).
std::string FromFinalPath(const std::string& final);

}  // namespace platform
