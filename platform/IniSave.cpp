#include "platform/IniSave.h"

#include <algorithm>
#include <cstring>
#include <vector>
#include <utility>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Handles.h"
#include "platform/IniFile.h"
#include "platform/Names.h"
#include "platform/Workarounds.h"

namespace platform {

namespace {

SaveSteps theSystem;
SaveSteps* saveSteps = &theSystem;

bool Exists(const std::string& name) { return GetFileAttributesW(Widened(name).c_str()) != INVALID_FILE_ATTRIBUTES; }

// How long a save waits while another copy of the program saves the file.
constexpr DWORD kWaitForAnotherCopy = 5000;
// How often a copy is made again because another program changed the file
// meanwhile, before the save gives up rather than overwrite its write.
constexpr int kRounds = 5;

// Codes another program causes for a moment (a virus scanner, an indexer
// or a sync client opens a file just after it is closed).
bool Passing(DWORD code) {
    return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION || code == ERROR_ACCESS_DENIED ||
           code == ERROR_UNABLE_TO_REMOVE_REPLACED || code == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

// `base`, or where something stands there, the first of "base-2" ... that
// is free ("" when none is).
std::string FreeName(const std::string& base) {
    if (!NameTaken(Widened(base))) return base;
    for (int n = 2; n < 10; ++n) {
        const std::string name = base + "-" + std::to_string(n);
        if (!NameTaken(Widened(name))) return name;
    }
    return {};
}

// Renames an entry of the save's own in `folder`, through a handle the
// program opened itself, so that no link put at its name is followed.
DWORD MoveOwn(const std::string& from, const std::string& to, bool replace, const std::wstring& folder) {
    const OwnEntry entry(Widened(from), folder);
    if (!entry) return entry.Code() ? entry.Code() : ERROR_CANT_ACCESS_FILE;
    SetLastError(0);
    if (entry.RenameTo(Widened(to), replace)) return 0;
    return GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
}

bool RemoveOwn(const std::string& name, const std::wstring& folder) {
    OwnEntry entry(Widened(name), folder);
    return entry && entry.Remove();
}

// A step another program may be in the way of for a moment is tried again
// for about a second; 0, or the last reason.
template <class Step>
DWORD Retried(Step step) {
    for (int tries = 1;; ++tries) {
        if (step()) return 0;
        const DWORD code = GetLastError();
        if (!Passing(code) || tries == 10) return code ? code : ERROR_WRITE_FAULT;
        Sleep(100);
    }
}

DWORD WriteAll(HANDLE file, const std::string& bytes) {
    for (size_t at = 0; at < bytes.size();) {
        const DWORD part = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1 << 20));
        DWORD put = 0;
        SetLastError(0);
        if (!WriteFile(file, bytes.data() + at, part, &put, nullptr) || put == 0) {
            return GetLastError() ? GetLastError() : ERROR_DISK_FULL;
        }
        at += put;
    }
    return 0;
}

}  // namespace

std::string ReadFileBytes(const std::string& path, DWORD& code) {
    HANDLE opened = INVALID_HANDLE_VALUE;
    code = Retried([&] {
        opened = CreateFileW(Widened(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        return opened != INVALID_HANDLE_VALUE;
    });
    std::string text;
    if (code) return text;
    UniqueFile in(opened);
    LARGE_INTEGER size{};
    if (GetFileSizeEx(in.get(), &size)) text.reserve(static_cast<size_t>(size.QuadPart));
    std::vector<char> buffer(1 << 20);
    for (DWORD got = 0;; text.append(buffer.data(), got)) {
        if (!ReadFile(in.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            code = GetLastError();
            break;
        }
        if (got == 0) break;
    }
    return text;
}

namespace {

std::string ReadAll(const std::string& path, DWORD& code) { return ReadFileBytes(path, code); }

// Why a copy did not read back whole. Wine's service reports success for a
// write the disk cut short: a disk without room for what the copy should
// have held is full; anything else was a fault.
DWORD ShortCopyReason(const std::string& copy, ULONGLONG size) {
    ULARGE_INTEGER free{};
    const bool known = GetDiskFreeSpaceExW(Widened(ExtractFilePath(copy)).c_str(), &free, nullptr, nullptr);
    return known && free.QuadPart < size ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
}

// What the service will add to the file for these writes, at most.
ULONGLONG Growth(const std::vector<IniWrite>& writes) {
    ULONGLONG size = 0;
    for (const IniWrite& w : writes) size += w.section.size() + w.key.size() + StoredValue(w.value).size() + 8;
    return size;
}

}  // namespace

BOOL SaveSteps::Replace(const char* file, const char* copy, const char* backup) {
    // A share or NAS box that cannot take the old file's security onto the
    // copy is no reason to fail: the file keeps its folder's.
    return ReplaceFileW(Widened(file).c_str(), Widened(copy).c_str(), Widened(backup).c_str(),
                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
}

BOOL SaveSteps::Rename(HANDLE entry, const wchar_t* to, bool replace) {
    const size_t length = wcslen(to) * sizeof(wchar_t);
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + length);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replace;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(length);
    memcpy(info->FileName, to, length);
    return SetFileInformationByHandle(entry, FileRenameInfo, info, static_cast<DWORD>(buffer.size()));
}

HANDLE SaveSteps::CreateCopy(const char* path) {
    return CreateFileW(Widened(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::wstring SaveSteps::FinalPathOf(HANDLE entry) { return FinalPathOfHandle(entry); }

bool SaveSteps::FolderTakesNewFiles(const std::string& folder) { return FolderIsWritable(folder); }

void UseSaveSteps(SaveSteps* steps) { saveSteps = steps ? steps : &theSystem; }

SaveSteps& CurrentSaveSteps() { return *saveSteps; }

std::string FromFinalPath(const std::string& final) {
    if (final.rfind("\\\\?\\UNC\\", 0) == 0) return std::string(1, '\\').append(final, 7);
    if (final.size() >= 6 && final.rfind("\\\\?\\", 0) == 0 && final[5] == ':') return final.substr(4);
    return {};
}

std::string IniSave::CopyPathFor(const std::string& file) { return file + ".pelmark-saving"; }
std::string IniSave::CheckedCopyPathFor(const std::string& file, const std::string& from, const std::string& to) {
    return file + ".pelmark-saved-" + from + "-" + to;
}
std::string IniSave::BackupPathFor(const std::string& file, const std::string& from, const std::string& to) {
    return file + ".pelmark-backup-" + from + "-" + to;
}
size_t IniSave::LongestNameAdded() { return BackupPathFor("", "00000000", "00000000").size() + 2; }

IniSave::IniSave(std::string path, std::string source) : path_(std::move(path)), source_(std::move(source)) {}

IniSave::~IniSave() {
    if (out_ != INVALID_HANDLE_VALUE) CloseHandle(out_);
    if (stopped_ || copy_.empty()) return;
    // A copy never checked goes; a whole one stays while the file it was
    // to replace is missing, for the next look to put in its place.
    if (copy_.find(".pelmark-saving") != std::string::npos || Exists(target_)) RemoveOwn(copy_, folder_);
}

void IniSave::Fail(DWORD code, const std::string& reason) const {
    const std::string why = reason.empty() ? SystemErrorText(code) : reason;
    throw Error(Format("Unable to write to %s", path_.c_str()) + (why.empty() ? "" : "\r" + why), code);
}

void IniSave::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    writes_.push_back({section, key, value});
}

void IniSave::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniSave::CheckTarget() {
    // A link to a file in the same folder is saved through; a save never
    // follows one out of the file's own folder (the user's documents, or
    // anything another account put there).
    target_ = path_;
    folder_ = OwnFolderOf(path_);
    if (folder_.empty()) {
        throw Error(Format("The folder of \"%s\" cannot be opened, or is a link: nothing is saved in it.", path_.c_str()),
                    ERROR_CANT_ACCESS_FILE);
    }
    const std::wstring final = FinalPathW(path_);
    if (!final.empty()) {
        const std::string shown = FromFinalPath(Narrowed(final));
        const auto cut = final.find_last_of(L'\\');
        if (cut == std::wstring::npos ||
            CompareStringOrdinal(final.c_str(), static_cast<int>(cut), folder_.c_str(), static_cast<int>(folder_.size()),
                                 TRUE) != CSTR_EQUAL) {
            throw Error(Format("The file is a link to \"%s\", outside its own folder: nothing is saved through it. Put "
                               "the file itself in its place.",
                               shown.c_str()),
                        ERROR_CANT_ACCESS_FILE);
        }
        const std::string inside = FromFinalPath(FinalPath(path_));
        if (!inside.empty()) target_ = inside;
    }
    // The save's own names are longer than the file's: one past what the
    // system allows is said before anything is written.
    const size_t longest = MAX_PATH - 1 - LongestNameAdded();
    if (target_.size() > longest) {
        throw Error(Format("The path is too long to save beside it (%u characters, at most %u here): choose a "
                           "shorter folder or name.",
                           static_cast<unsigned>(target_.size()), static_cast<unsigned>(longest)),
                    ERROR_FILENAME_EXCED_RANGE);
    }
}

void IniSave::Start() {
    if (started_) return;
    if (!lock_.Held()) {
        CheckTarget();
        lock_ = SaveLock(target_, folder_, kWaitForAnotherCopy);
        if (lock_.Code() == ERROR_SHARING_VIOLATION) {
            throw Error("The file is being saved elsewhere, by another copy of Pelmark: save again in a moment.",
                        ERROR_SHARING_VIOLATION);
        }
        if (!lock_.Held() && !lock_.InTheWay().empty()) {
            throw Error(Format("\"%s\" stands where the save keeps its lock: move it away or delete it, then save "
                               "again.",
                               lock_.InTheWay().c_str()),
                        lock_.Code());
        }
        // (A folder that takes no new file takes no lock either: the save
        // goes on without one, into the file where it is.)
        RecoverHoldingLock(target_);
    }
    // A file the user made read-only stays as it is: the replace would go
    // round the attribute.
    if (FileExists(target_) && (GetFileAttributesW(Widened(target_).c_str()) & FILE_ATTRIBUTE_READONLY)) {
        throw Error("The file is read-only.", ERROR_FILE_READ_ONLY);
    }
    DWORD code = 0;
    text_ = ReadAll(Source(), code);
    const bool missing = (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) && !FileExists(Source());
    if (code && !(missing && source_.empty())) throw Error(SystemErrorText(code), code);
    inPlace_ = false;
    MakeCopy();
    started_ = true;
}

void IniSave::MakeCopy() {
    // Something the program did not make may stand at the name (a folder,
    // a link, a file another program holds): a name of its own then.
    std::string copy = FreeName(CopyPathFor(target_));
    for (int n = 2;; ++n) {
        if (copy.empty()) copy = CopyPathFor(target_) + "-9";
        out_ = saveSteps->CreateCopy(copy.c_str());
        if (out_ != INVALID_HANDLE_VALUE) break;
        const DWORD code = GetLastError();
        // (Made there meanwhile.)
        if ((code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) && n < 10) {
            copy = FreeName(CopyPathFor(target_));
            continue;
        }
        if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) {
            throw Error(Format("\"%s\" and the names after it stand where the save writes its copy: move them away "
                               "or delete them, then save again.",
                               CopyPathFor(target_).c_str()),
                        code);
        }
        // A folder that refuses new files, where the file itself may be
        // written: the file is written where it is. (Access may be denied
        // for other reasons in a folder that takes files: a name whose
        // removal is pending, a guard against ransomware. That fails.)
        const std::string folder = ExtractFilePath(target_);
        if (code == ERROR_ACCESS_DENIED && source_.empty() && FileExists(target_) &&
            !saveSteps->FolderTakesNewFiles(folder)) {
            UniqueFile file(CreateFileW(Widened(target_).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
            if (file) {
                inPlace_ = true;
                ReportOnce(Format("Pelmark may not make files in \"%s\", only change the files there: a save there "
                                  "writes into the file itself, and a crash during it can leave the file damaged. "
                                  "Keep a copy of what matters, or let your user make files in that folder.",
                                  folder.c_str()));
                return;
            }
        }
        throw Error(SystemErrorText(code), code);
    }
    copy_ = copy;
    if (const DWORD code = WriteAll(out_, text_)) throw Error(SystemErrorText(code), code);
}

bool IniSave::SourceChanged() const {
    if (!source_.empty()) return false;
    // Its bytes, not its time and size: a second-precise time (FAT), a
    // share's cached information or a write of the same length hide those.
    DWORD code = 0;
    const std::string now = ReadAll(target_, code);
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return !text_.empty();
    return code || now != text_;
}

void IniSave::WriteCopy() {
    const bool own = Needed().profileServiceRewritesEveryLine;
    std::string meant;
    if (own) {
        meant = ApplyWrites(text_, fileWrites_);
        SetFilePointer(out_, 0, nullptr, FILE_BEGIN);
        if (const DWORD code = WriteAll(out_, meant)) Fail(code);
        if (!SetEndOfFile(out_)) Fail(GetLastError());
    }
    // On the disk before it is called whole: a power cut after the replace
    // must not find the file's name on data never written.
    const bool flushed = FlushFileBuffers(out_);
    const DWORD flushError = GetLastError();
    CloseHandle(out_);
    out_ = INVALID_HANDLE_VALUE;
    if (!flushed) Fail(flushError);
    if (!own) {
        IniFile ini(copy_);
        for (const IniWrite& w : writes_) {
            // Wine's service reports success when the disk filled up under
            // it, leaving the reason behind as the last error.
            SetLastError(0);
            try {
                ini.WriteString(w.section, w.key, StoredValue(w.value));
            } catch (const Error& e) {
                Fail(e.SystemCode() ? e.SystemCode() : ERROR_WRITE_FAULT);
            }
            const DWORD after = GetLastError();
            if (after == ERROR_DISK_FULL || after == ERROR_HANDLE_DISK_FULL) Fail(after);
        }
        ini.Close();
        UniqueFile copy(CreateFileW(Widened(copy_).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!copy || !FlushFileBuffers(copy.get())) Fail(GetLastError());
    }
    saveSteps->Reached(SaveInstant::CopyWritten);
    // What the disk holds: every line the file had, the new values, and,
    // where the program wrote the copy itself, exactly its bytes.
    DWORD code = 0;
    held_ = ReadAll(copy_, code);
    if (code) Fail(code);
    const ULONGLONG size = own ? meant.size() : text_.size() + Growth(fileWrites_);
    if ((own && held_ != meant) || !CopyFault(text_, held_, fileWrites_).empty()) Fail(ShortCopyReason(copy_, size));
    // The copy is whole: its second name says so, and what it holds, to a
    // look after a crash.
    const std::string checked = FreeName(CheckedCopyPathFor(target_, BytesMark(text_), BytesMark(held_)));
    if (checked.empty()) Fail(ERROR_FILE_EXISTS);
    code = Retried([&] {
        const DWORD moved = MoveOwn(copy_, checked, false, folder_);
        SetLastError(moved);
        return moved == 0;
    });
    if (code) Fail(code);
    copy_ = checked;
    saveSteps->Reached(SaveInstant::CopyChecked);
}

void IniSave::WriteInPlace() {
    const bool own = Needed().profileServiceRewritesEveryLine;
    const std::string meant = own ? ApplyWrites(text_, fileWrites_) : std::string();
    const ULONGLONG size = own ? meant.size() : text_.size() + Growth(fileWrites_);
    // A file written where it is cannot be put back: the disk must have
    // room for the whole of it before the first byte.
    ULARGE_INTEGER free{};
    if (GetDiskFreeSpaceExW(Widened(ExtractFilePath(target_)).c_str(), &free, nullptr, nullptr) &&
        free.QuadPart < (size > text_.size() ? size - text_.size() : 0) + 65536) {
        Fail(ERROR_DISK_FULL);
    }
    if (own) {
        // Only from the first byte that changes: a crash meanwhile leaves
        // the lines before the first written value as they were.
        size_t first = 0;
        while (first < text_.size() && first < meant.size() && text_[first] == meant[first]) ++first;
        UniqueFile file(CreateFileW(Widened(target_).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file) Fail(GetLastError());
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(first);
        if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) Fail(GetLastError());
        if (const DWORD code = WriteAll(file.get(), meant.substr(first))) Fail(code);
        if (!SetEndOfFile(file.get()) || !FlushFileBuffers(file.get())) Fail(GetLastError());
    } else {
        IniFile ini(target_);
        for (const IniWrite& w : writes_) {
            try {
                ini.WriteString(w.section, w.key, StoredValue(w.value));
            } catch (const Error& e) {
                Fail(e.SystemCode() ? e.SystemCode() : ERROR_WRITE_FAULT);
            }
        }
    }
    IniFile(target_).Close();
    DWORD code = 0;
    const std::string held = ReadAll(target_, code);
    if (code) Fail(code);
    if ((own && held != meant) || !CopyFault(text_, held, fileWrites_).empty()) Fail(ShortCopyReason(target_, size));
}

DWORD IniSave::ReplaceOnce(bool& final) {
    final = false;
    const std::string backup = FreeName(BackupPathFor(target_, BytesMark(text_), BytesMark(held_)));
    if (Needed().replaceLeavesAMomentWithoutTheFile || !Exists(target_) || backup.empty()) {
        return MoveOwn(copy_, target_, true, folder_);
    }
    // The system's replace keeps the file's attributes, security and
    // streams; the old file waits under the backup name meanwhile.
    if (saveSteps->Replace(target_.c_str(), copy_.c_str(), backup.c_str())) return 0;
    const DWORD code = GetLastError();
    if (!Exists(target_)) {
        // Put aside and not replaced: the whole copy takes the name now,
        // or at the next look.
        final = true;
        return MoveOwn(copy_, target_, false, folder_) ? code : 0;
    }
    // Both files keep their names for every failure but 1175 to 1177. A
    // replace refused where a rename is not (a share that will not give the
    // copy the old file's security), or a file system without the replace:
    // one rename that replaces.
    if ((code == ERROR_ACCESS_DENIED && !Exists(backup)) ||
        (!Passing(code) && code != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)) {
        return MoveOwn(copy_, target_, true, folder_);
    }
    return code;
}

bool IniSave::Replace() {
    for (int tries = 1;; ++tries) {
        // Right before each try: another program's write since the copy
        // began is never overwritten; the copy is made again from it.
        if (SourceChanged()) return false;
        bool final = false;
        const DWORD code = ReplaceOnce(final);
        if (!code) break;
        if (final || !Passing(code) || tries == 10) {
            if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION || code == ERROR_ACCESS_DENIED ||
                code == ERROR_UNABLE_TO_REMOVE_REPLACED) {
                Fail(code, "The file is in use by another program, or may not be replaced: close the program that "
                           "holds it and save again.");
            }
            Fail(code);
        }
        Sleep(100);
    }
    copy_.clear();
    saveSteps->Reached(SaveInstant::CopyRenamed);
    const std::string backup = BackupPathFor(target_, BytesMark(text_), BytesMark(held_));
    if (Exists(backup)) RemoveOwn(backup, folder_);
    return true;
}

void IniSave::CheckReadBack() {
    // What the file holds now is what was written, unless another program
    // wrote to it at once (Wine's service reads and writes a file without
    // a lock between): a value it put back is said, never passed over.
    DWORD code = 0;
    if (ReadAll(target_, code) == held_ || code) return;
    IniFile now(target_);
    std::vector<std::string> undone;
    for (size_t i = writes_.size(); i-- > 0;) {
        const IniWrite& w = writes_[i];
        bool later = false;
        for (size_t j = i + 1; j < writes_.size(); ++j) {
            later = later || (MatchedName(writes_[j].section) == MatchedName(w.section) &&
                              MatchedName(writes_[j].key) == MatchedName(w.key));
        }
        if (!later && now.ReadString(w.section, w.key, "") != w.value) undone.push_back(w.key);
    }
    if (!undone.empty()) {
        throw Error(Format("%s was saved, but another program wrote to it at once and put back an older value of "
                           "\"%s\": save again.",
                           path_.c_str(), undone.back().c_str()),
                    ERROR_WRITE_FAULT);
    }
}

void IniSave::RemoveOwnCopy() {
    if (!copy_.empty() && RemoveOwn(copy_, folder_)) copy_.clear();
}

void IniSave::ChooseFileWrites(const std::string& ansiFault) {
    // The service's own reading of a UTF-16 file is not the program's: its
    // lines are not split where the program would split them.
    if (text_.compare(0, 2, "\xFF\xFE") == 0 || text_.compare(0, 2, "\xFE\xFF") == 0) {
        Fail(ERROR_INVALID_DATA, "The file is written in UTF-16, which Pelmark does not write: save it as ANSI "
                                 "text in an editor, then save again here.");
    }
    if (ReadAsUtf8(text_)) {
        fileWrites_ = writes_;
    } else {
        if (!ansiFault.empty()) Fail(ERROR_NO_UNICODE_TRANSLATION, ansiFault);
        fileWrites_ = ansiWrites_;
    }
    for (const IniWrite& w : fileWrites_) {
        if (StoredValue(w.value).size() >= IniFile::kMaxWrittenValue) {
            Fail(ERROR_INVALID_DATA, Format("The value of \"%s\" is too long to be written (%u characters).",
                                            w.key.c_str(), static_cast<unsigned>(w.value.size())));
        }
    }
}

void IniSave::Commit() {
    // Nothing to write to the file itself: it stays as it is, untouched.
    if (writes_.empty() && source_.empty()) return;
    // The file's bytes are in the ANSI code page, which Agent reads it in:
    // a text that code page cannot hold is refused before anything is
    // written, never stored as "?" or a look-alike letter. (A file the
    // service reads as UTF-8 takes any.)
    ansiWrites_.clear();
    std::string ansiFault;
    for (const IniWrite& w : writes_) {
        bool section = true, key = true, value = true;
        ansiWrites_.push_back({ToAnsi(w.section, &section), ToAnsi(w.key, &key), ToAnsi(w.value, &value)});
        if ((!section || !key || !value) && ansiFault.empty()) {
            ansiFault = Format("\"%s\" holds characters that Agent cannot read: it reads its files in this system's "
                               "ANSI code page (%u), which lacks them.",
                               (!value ? w.value : !key ? w.key : w.section).c_str(), AnsiCodePage());
        }
        if (const std::string why = UnstorableValue(w.value); !why.empty()) {
            Fail(ERROR_INVALID_DATA, Format("The value of \"%s\" %s, which the file cannot keep: take it away and "
                                            "save again.",
                                            w.key.c_str(), why.c_str()));
        }
    }
    if (!ansiFault.empty()) {
        DWORD code = 0;
        if (!ReadAsUtf8(ReadFileBytes(Source(), code))) Fail(ERROR_NO_UNICODE_TRANSLATION, ansiFault);
    }
    try {
        // Another program's write to the file while the copy was made
        // (Agent's own, say) is kept: the copy is made again from it.
        for (int round = 0;; ++round) {
            try {
                Start();
            } catch (const Error& e) {
                Fail(e.SystemCode(), e.what());
            }
            ChooseFileWrites(ansiFault);
            if (inPlace_) {
                WriteInPlace();
                lock_ = SaveLock();
                return;
            }
            WriteCopy();
            if (Replace()) break;
            RemoveOwnCopy();
            started_ = false;
            if (round + 1 == kRounds) {
                Fail(ERROR_WRITE_FAULT, "Another program keeps changing the file: save again when it is done.");
            }
        }
    } catch (const SaveStopped&) {
        stopped_ = true;
        throw;
    }
    // What the service still holds of the file is out of date.
    IniFile(target_).Close();
    lock_ = SaveLock();
    CheckReadBack();
}

}  // namespace platform
