#include "platform/IniRecovery.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <vector>

#include "platform/Application.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/IniSave.h"

namespace platform {

namespace {

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring FolderPart(const std::wstring& path) {
    const auto cut = path.find_last_of(L'\\');
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

std::wstring NamePart(const std::wstring& path) {
    const auto cut = path.find_last_of(L'\\');
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

// The path a user reads for one the system gives ("\\?\C:\..." as "C:\...").
std::string Shown(const std::wstring& path) {
    const std::string narrow = Narrowed(path);
    const std::string plain = FromFinalPath(narrow);
    return plain.empty() ? narrow : plain;
}

// The kinds of entry a save leaves beside "<file>", by the name after
// "<file>.pelmark-".
enum class Kind { Other, Lock, Unchecked, Checked, Backup };

struct Left {
    std::wstring path;
    Kind kind = Kind::Other;
    std::string from, to;  // the marks the name gives (checked copies and old files)
    FILETIME written{};
};

bool Mark(std::string_view s) {
    return s.size() == 8 && std::all_of(s.begin(), s.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

// "<kind>-<from>-<to>" with a number of its own after it, maybe.
Left Classify(const std::wstring& path, const std::string& rest) {
    Left e;
    e.path = path;
    auto marked = [&](const char* prefix, Kind kind) {
        const std::string p = prefix;
        if (rest.rfind(p, 0) != 0) return false;
        e.kind = kind;
        const std::string tail = rest.size() > p.size() && rest[p.size()] == '-' ? rest.substr(p.size() + 1) : "";
        if (tail.size() >= 17 && Mark(std::string_view(tail).substr(0, 8)) && tail[8] == '-' &&
            Mark(std::string_view(tail).substr(9, 8)) && (tail.size() == 17 || tail[17] == '-')) {
            e.from = tail.substr(0, 8);
            e.to = tail.substr(9, 8);
        }
        return true;
    };
    if (rest == "lock") e.kind = Kind::Lock;
    else if (rest.rfind("saving", 0) == 0) e.kind = Kind::Unchecked;
    else if (!marked("saved", Kind::Checked)) marked("backup", Kind::Backup);
    return e;
}

// What a save left beside `file`, newest first.
std::vector<Left> LeftBeside(const std::string& file) {
    std::vector<Left> found;
    const std::wstring wideFile = Widened(file);
    const std::wstring folder = FolderPart(wideFile);
    const std::wstring prefix = NamePart(wideFile) + L".pelmark-";
    WIN32_FIND_DATAW fd;
    UniqueFind find(FindFirstFileW((wideFile + L".pelmark-*").c_str(), &fd));
    if (!find) return found;
    do {
        const std::wstring name = fd.cFileName;
        if (name.size() <= prefix.size() || !SameText(name.substr(0, prefix.size()), prefix)) continue;
        Left e = Classify(folder + L"\\" + name, Narrowed(name.substr(prefix.size())));
        e.written = fd.ftLastWriteTime;
        if (e.kind != Kind::Other) found.push_back(std::move(e));
    } while (FindNextFileW(find.get(), &fd));
    std::sort(found.begin(), found.end(),
              [](const Left& a, const Left& b) { return CompareFileTime(&a.written, &b.written) > 0; });
    return found;
}

// The name a kept file gets: the file's own name with what it holds and
// when it was made ("Agent saved 2026-12-10 18.30.12.ini"), and a number
// where that is taken.
std::wstring KeptName(const std::string& file, const char* what, const FILETIME& written) {
    const std::wstring wide = Widened(file);
    std::wstring stem = NamePart(wide), ext;
    if (const auto dot = stem.find_last_of(L'.'); dot != std::wstring::npos && dot > 0) {
        ext = stem.substr(dot);
        stem.resize(dot);
    }
    FILETIME local{};
    SYSTEMTIME t{};
    FileTimeToLocalFileTime(&written, &local);
    FileTimeToSystemTime(&local, &t);
    const std::wstring base = FolderPart(wide) + L"\\" + stem + L" " + Widened(what) +
                              Widened(Format(" %04u-%02u-%02u %02u.%02u.%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                                             t.wMinute, t.wSecond));
    std::wstring name = base + ext;
    for (int n = 2; NameTaken(name) && n < 100; ++n) name = base + Widened(Format(" (%d)", n)) + ext;
    return name;
}

void Recover(const std::string& file, const std::wstring& folderFinal) {
    std::vector<Left> left = LeftBeside(file);
    struct Whole {
        Left entry;
        OwnEntry opened;
    };
    std::vector<Whole> whole;
    std::vector<Left> unchecked;
    for (Left& e : left) {
        if (e.kind == Kind::Lock) continue;
        if (e.kind == Kind::Unchecked) {
            unchecked.push_back(std::move(e));
            continue;
        }
        OwnEntry opened(e.path, folderFinal);
        std::string bytes;
        std::string why = opened.Why();
        if (opened && !opened.Read(bytes)) why = SystemErrorText(GetLastError());
        // A copy's bytes carry the mark of what it wrote; an old file's,
        // of what the save began from.
        if (why.empty() && (e.from.empty() || BytesMark(bytes) != (e.kind == Kind::Checked ? e.to : e.from))) {
            why = "not a whole copy made by Pelmark";
        }
        if (!why.empty()) {
            ReportOnce(Format("\"%s\" is left where it is: %s. Move it away or delete it if you do not need it.",
                              Shown(e.path).c_str(), why.c_str()));
            continue;
        }
        whole.push_back({std::move(e), std::move(opened)});
    }
    const std::wstring wideFile = Widened(file);
    std::string fileMark;
    if (!FileExists(file)) {
        // The whole copy was about to take the name, or the old file had
        // gone aside for it: the newest copy, else the old file, takes it.
        std::stable_sort(whole.begin(), whole.end(),
                         [](const Whole& a, const Whole& b) { return a.entry.kind == Kind::Checked && b.entry.kind != Kind::Checked; });
        if (whole.empty()) return;
        if (!whole.front().opened.RenameTo(wideFile, false)) return;  // nothing more is touched
        fileMark = whole.front().entry.kind == Kind::Checked ? whole.front().entry.to : whole.front().entry.from;
        whole.erase(whole.begin());
    } else if (!whole.empty()) {
        DWORD code = 0;
        const std::string bytes = ReadFileBytes(file, code);
        if (code) return;
        fileMark = BytesMark(bytes);
    }
    std::string keptSaved, keptBefore;
    for (Whole& w : whole) {
        if (fileMark == w.entry.from || fileMark == w.entry.to) {
            // The file is what this save began from, or what it wrote.
            w.opened.Remove();
            continue;
        }
        // A state no save leaves: the file was made again by another
        // program since. Both good files stay, under names of their own.
        const bool copy = w.entry.kind == Kind::Checked;
        const std::wstring kept = KeptName(file, copy ? "saved" : "before a save", w.entry.written);
        if (w.opened.RenameTo(kept, false)) (copy ? keptSaved : keptBefore) = Shown(kept);
    }
    if (!keptSaved.empty() || !keptBefore.empty()) {
        std::string text = Format("A save of \"%s\" was cut off, and the file was made again since. Nothing was deleted:",
                                  file.c_str());
        if (!keptSaved.empty()) text += Format("\r\"%s\" holds the values saved then;", keptSaved.c_str());
        if (!keptBefore.empty()) text += Format("\r\"%s\" holds the file as it was before that save;", keptBefore.c_str());
        text += Format("\r\"%s\" is the file made since. Keep the one you want under the file's name.", file.c_str());
        ReportOnce(text);
    }
    if (!FileExists(file)) return;
    for (const Left& e : unchecked) {
        OwnEntry opened(e.path, folderFinal);
        if (!opened || !opened.Remove()) {
            ReportOnce(Format("\"%s\" is left where it is: %s. Move it away or delete it if you do not need it.",
                              Shown(e.path).c_str(), opened.Why().empty() ? SystemErrorText(GetLastError()).c_str()
                                                                          : opened.Why().c_str()));
        }
    }
}

}  // namespace

bool NameTaken(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD code = GetLastError();
    if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) return true;
    WIN32_FIND_DATAW fd;
    UniqueFind find(FindFirstFileW(path.c_str(), &fd));
    return bool(find);
}

std::string BytesMark(std::string_view bytes) {
    uint32_t h = 2166136261u;
    for (unsigned char c : bytes) h = (h ^ c) * 16777619u;
    return Format("%08x", static_cast<unsigned>(h));
}

std::wstring OwnFolderOf(const std::string& file) {
    const std::string folder = ExtractFilePath(file);
    if (folder.empty()) return {};
    std::string bare = folder;
    while (bare.size() > 3 && (bare.back() == '\\' || bare.back() == '/')) bare.pop_back();
    const DWORD a = GetFileAttributesW(Widened(bare).c_str());
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_REPARSE_POINT)) return {};
    const std::wstring final = FinalPathW(bare);
    // A folder that is itself a link leads elsewhere than its parent's place.
    const std::string parent = ExtractFilePath(bare);
    if (final.empty() || parent.empty() || parent == bare) return final;
    const std::wstring parentFinal = FinalPathW(parent);
    if (!parentFinal.empty() && !SameText(FolderPart(final), parentFinal) &&
        !SameText(FolderPart(final) + L"\\", parentFinal)) {
        return {};
    }
    return final;
}

OwnEntry::OwnEntry(const std::wstring& path, const std::wstring& folderFinal) {
    handle_.reset(CreateFileW(path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle_) {
        code_ = GetLastError();
        why_ = SystemErrorText(code_);
        return;
    }
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(handle_.get(), FileAttributeTagInfo, &tag, sizeof tag)) {
        BY_HANDLE_FILE_INFORMATION info{};
        GetFileInformationByHandle(handle_.get(), &info);
        tag.FileAttributes = info.dwFileAttributes;
        tag.ReparseTag = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? IO_REPARSE_TAG_SYMLINK : 0;
    }
    const std::wstring final = CurrentSaveSteps().FinalPathOf(handle_.get());
    if (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        why_ = "it is a folder";
    } else if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(tag.ReparseTag)) {
        why_ = "it is a link";
    } else if (final.empty() || !SameText(final, folderFinal + L"\\" + NamePart(path))) {
        // (Wine opens what a link leads to: its place is elsewhere.)
        why_ = "it is a link to \"" + Shown(final) + "\"";
    }
    if (!why_.empty()) {
        code_ = ERROR_CANT_ACCESS_FILE;
        handle_.reset();
    }
}

bool OwnEntry::Read(std::string& bytes) const {
    bytes.clear();
    LARGE_INTEGER size{}, start{};
    if (!GetFileSizeEx(handle_.get(), &size) || !SetFilePointerEx(handle_.get(), start, nullptr, FILE_BEGIN)) return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    for (size_t at = 0; at < bytes.size();) {
        DWORD got = 0;
        const DWORD part = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1 << 20));
        if (!ReadFile(handle_.get(), bytes.data() + at, part, &got, nullptr) || got == 0) return false;
        at += got;
    }
    return true;
}

bool OwnEntry::RenameTo(const std::wstring& to, bool replace) const {
    return handle_ && CurrentSaveSteps().Rename(handle_.get(), to.c_str(), replace);
}

bool OwnEntry::Remove() {
    FILE_DISPOSITION_INFO gone{TRUE};
    if (!handle_ || !SetFileInformationByHandle(handle_.get(), FileDispositionInfo, &gone, sizeof gone)) return false;
    handle_.reset();  // removed as its last handle closes
    return true;
}

std::string SaveLock::PathFor(const std::string& file) { return file + ".pelmark-lock"; }

SaveLock::SaveLock(const std::string& file, const std::wstring& folderFinal, DWORD waitMs) {
    const std::wstring path = Widened(PathFor(file));
    const DWORD start = GetTickCount();
    for (;;) {
        // Made new, it is the program's own; one already there (left by a
        // system that did not remove it) is taken only as a plain file of
        // the folder, and marked to go when closed only after that check.
        handle_.reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (handle_) return;
        code_ = GetLastError();
        if (code_ == ERROR_FILE_EXISTS || code_ == ERROR_ALREADY_EXISTS) {
            OwnEntry stale(path, folderFinal);
            FILE_DISPOSITION_INFO gone{TRUE};
            if (stale && SetFileInformationByHandle(stale.Handle(), FileDispositionInfo, &gone, sizeof gone)) {
                // Its handle shares no deleting: another copy cannot take it.
                handle_ = stale.Release();
                return;
            }
            // Held by another copy; on Windows a lock that is going away
            // (a stale one another copy took) refuses every opening.
            const DWORD why = stale ? ERROR_SHARING_VIOLATION : stale.Code();
            const bool held = why == ERROR_SHARING_VIOLATION || why == ERROR_ACCESS_DENIED;
            code_ = why == ERROR_SHARING_VIOLATION ? why : why ? why : ERROR_CANT_ACCESS_FILE;
            if (why != ERROR_SHARING_VIOLATION) inTheWay_ = Shown(path) + " (" + stale.Why() + ")";
            if (held && GetTickCount() - start < waitMs) {
                Sleep(50);
                continue;
            }
        }
        return;
    }
}

void ReportOnce(const std::string& text) {
    static std::set<std::string> told;
    if (told.insert(text).second) Application::Instance().ShowInformation(text);
}

void RecoverInterruptedSave(const std::string& file) {
    // Nothing beside the file: nothing to do, and nothing asked of another
    // copy (the listing asks this of every folder without the file).
    if (LeftBeside(file).empty()) return;
    const std::wstring folderFinal = OwnFolderOf(file);
    if (folderFinal.empty()) return;
    const SaveLock lock(file, folderFinal, 0);
    if (!lock.Held()) return;  // another copy's save: its names are its own
    Recover(file, folderFinal);
}

void RecoverHoldingLock(const std::string& file) {
    const std::wstring folderFinal = OwnFolderOf(file);
    if (!folderFinal.empty()) Recover(file, folderFinal);
}

}  // namespace platform
