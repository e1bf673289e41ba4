// What a save leaves beside a file, and how a later look at the file finds,
// checks and finishes or undoes it. Every name a save uses carries the
// marks of the bytes it holds, so that nothing is trusted for its name
// alone: an entry is used only where the program, having opened it itself,
// finds a plain file directly in the file's own folder (no link, no folder,
// no reparse point) whose bytes carry the mark its name gives; it is then
// renamed or removed through that same handle. Anything else at those names
// is never moved, followed or removed, and is reported once.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

#include "platform/Handles.h"

namespace platform {

// Whether anything stands at a name (a link leading nowhere too).
bool NameTaken(const std::wstring& path);

// A mark of bytes (FNV-1a, 32 bits, as 8 hexadecimal digits).
std::string BytesMark(std::string_view bytes);

// The place of the file's folder, as the system names it once every link
// is resolved ("" where it cannot be opened, or is itself a link or a
// reparse point: nothing beside the file is then touched).
std::wstring OwnFolderOf(const std::string& file);

// An entry opened by the program itself, for reading, renaming and
// removing, where it is a plain file directly in `folderFinal`; `Why()`
// says what it is otherwise ("a folder", "a link to ...", the system's
// reason it cannot be opened: in use, say).
class OwnEntry {
public:
    OwnEntry(const std::wstring& path, const std::wstring& folderFinal);
    explicit operator bool() const { return bool(handle_); }
    HANDLE Handle() const { return handle_.get(); }
    const std::string& Why() const { return why_; }
    DWORD Code() const { return code_; }
    // Its bytes (false where they cannot be read).
    bool Read(std::string& bytes) const;
    // Renamed to `to` (a full path) through its handle, replacing what is
    // there only when asked; removed through its handle.
    bool RenameTo(const std::wstring& to, bool replace) const;
    bool Remove();
    UniqueFile Release() { return std::move(handle_); }

private:
    UniqueFile handle_;
    std::string why_;
    DWORD code_ = 0;
};

// Held by one save or recovery of a file at a time, across copies of the
// program (two sessions, or two machines on one share): a file beside it,
// "<file>.pelmark-lock", opened with no sharing and removed when closed
// (by the system too, when the process ends however it ends).
class SaveLock {
public:
    SaveLock() = default;
    // Tries for at most `waitMs` while another copy holds it.
    SaveLock(const std::string& file, const std::wstring& folderFinal, DWORD waitMs);
    bool Held() const { return bool(handle_); }
    // Why not: ERROR_SHARING_VIOLATION while another copy holds it; else
    // something else stands at its name (`InTheWay()` says what), or, with
    // nothing in the way, the folder takes no new file.
    DWORD Code() const { return code_; }
    const std::string& InTheWay() const { return inTheWay_; }
    static std::string PathFor(const std::string& file);

private:
    UniqueFile handle_;
    DWORD code_ = 0;
    std::string inTheWay_;
};

// Finishes or undoes a save of `file` that a crash cut off, unless another
// copy of the program is saving it now (its save is left alone):
// - the file missing, the newest whole copy takes its name, else the whole
//   old file the system's replace put aside;
// - the file there, what is left of a save goes where the file is what
//   that save began from or wrote; a whole copy or old file beside a file
//   that is neither (another program made the file again meanwhile) is
//   kept under a dated name of its own, and the user told which is which;
// - a copy never checked goes only where the file is there.
// A failed rename stops it: nothing further is removed.
void RecoverInterruptedSave(const std::string& file);
// The same, inside a save that already holds the file's lock.
void RecoverHoldingLock(const std::string& file);

// Tells the user once (per text) through the application's information
// message: what is left where it is, and why.
void ReportOnce(const std::string& text);

}  // namespace platform
