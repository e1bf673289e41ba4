#include "platform/IniSave.h"

#include <algorithm>
#include <utility>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Handles.h"
#include "platform/IniFile.h"
#include "platform/Workarounds.h"

namespace platform {

namespace {

SaveSteps theSystem;
SaveSteps* saveSteps = &theSystem;

bool Exists(const std::string& name) { return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Removes the entry `name` as a name: never opened, never followed. Where
// removing a link would remove what it leads to, a new empty file of the
// program's own first takes the name, by a rename (which replaces the link
// itself), and that file is removed.
bool RemoveName(const std::string& name) {
    if (!Needed().linkCannotBeRemovedAlone) {
        if (DeleteFileA(name.c_str())) return true;
        SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_NORMAL);  // one the user made read-only
        return DeleteFileA(name.c_str()) != 0;
    }
    char own[MAX_PATH];
    if (!GetTempFileNameA(ExtractFilePath(name).c_str(), "pel", 0, own)) return false;
    if (!MoveFileExA(own, name.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(own);
        return false;
    }
    return DeleteFileA(name.c_str()) != 0;
}

// A step another program may be in the way of for a moment (a virus
// scanner, an indexer or a sync client opens a file just after it is
// closed) is tried again for about a second; 0, or the last reason.
template <class Step>
DWORD Retried(Step step) {
    for (int tries = 1;; ++tries) {
        if (step()) return 0;
        const DWORD code = GetLastError();
        const bool passing = code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
                             code == ERROR_ACCESS_DENIED || code == ERROR_UNABLE_TO_REMOVE_REPLACED ||
                             code == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
        if (!passing || tries == 10) return code ? code : ERROR_WRITE_FAULT;
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

// The bytes of a file (its reason, where it cannot be read, in `code`).
std::string ReadAll(const std::string& path, DWORD& code) {
    HANDLE opened = INVALID_HANDLE_VALUE;
    code = Retried([&] {
        opened = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
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

// Why a copy did not read back whole. Wine's service reports success for a
// write the disk cut short: a disk without room for what the copy should
// have held is full; anything else was a fault.
DWORD ShortCopyReason(const std::string& copy, ULONGLONG size) {
    ULARGE_INTEGER free{};
    const bool known = GetDiskFreeSpaceExA(ExtractFilePath(copy).c_str(), &free, nullptr, nullptr);
    return known && free.QuadPart < size ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
}

// What the service will add to the file for these writes, at most.
ULONGLONG Growth(const std::vector<IniWrite>& writes) {
    ULONGLONG size = 0;
    for (const IniWrite& w : writes) size += w.section.size() + w.key.size() + StoredValue(w.value).size() + 8;
    return size;
}

bool Stamp(const std::string& path, ULONGLONG& size, FILETIME& written) {
    WIN32_FILE_ATTRIBUTE_DATA a{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a)) return false;
    size = (static_cast<ULONGLONG>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
    written = a.ftLastWriteTime;
    return true;
}

}  // namespace

BOOL SaveSteps::Replace(const char* file, const char* copy, const char* backup) {
    return ReplaceFileA(file, copy, backup, 0, nullptr, nullptr);
}

BOOL SaveSteps::Move(const char* from, const char* to, DWORD flags) { return MoveFileExA(from, to, flags); }

HANDLE SaveSteps::CreateCopy(const char* path) {
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void UseSaveSteps(SaveSteps* steps) { saveSteps = steps ? steps : &theSystem; }

void RecoverInterruptedSave(const std::string& file) {
    const std::string checked = IniSave::CheckedCopyPathFor(file), backup = IniSave::BackupPathFor(file);
    if (!Exists(file)) {
        // The whole copy was about to take the name, or the old file had
        // gone aside for it: the first of them there takes it now.
        for (const std::string* whole : {&checked, &backup}) {
            if (Exists(*whole) && saveSteps->Move(whole->c_str(), file.c_str(), MOVEFILE_WRITE_THROUGH)) break;
        }
        if (!Exists(file)) return;
    }
    for (const std::string& left : {checked, backup, IniSave::CopyPathFor(file)}) {
        if (Exists(left)) RemoveName(left);
    }
}

std::string FromFinalPath(const std::string& final) {
    if (final.rfind("\\\\?\\UNC\\", 0) == 0) return std::string(1, '\\').append(final, 7);
    if (final.size() >= 6 && final.rfind("\\\\?\\", 0) == 0 && final[5] == ':') return final.substr(4);
    return {};
}

std::string IniSave::CopyPathFor(const std::string& file) { return file + ".pelmark-saving"; }
std::string IniSave::CheckedCopyPathFor(const std::string& file) { return file + ".pelmark-saved"; }
std::string IniSave::BackupPathFor(const std::string& file) { return file + ".pelmark-backup"; }

IniSave::IniSave(std::string path, std::string source) : path_(std::move(path)), source_(std::move(source)) {}

IniSave::~IniSave() {
    if (out_ != INVALID_HANDLE_VALUE) CloseHandle(out_);
    if (stopped_ || copy_.empty()) return;
    // A copy never checked goes; a whole one stays while the file it was
    // to replace is missing, for the next start to put in its place.
    if (copy_ == CopyPathFor(target_) || Exists(target_)) RemoveName(copy_);
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

void IniSave::Start() {
    if (started_) return;
    // A link is saved through: the copy goes beside the file it points to,
    // which it then replaces, and the link stays.
    target_ = path_;
    const std::string final = FromFinalPath(FinalPath(path_));
    if (!final.empty()) target_ = final;
    // The save's own names are longer than the file's: one past what the
    // system allows is said before anything is written.
    const size_t longest = MAX_PATH - 1 - BackupPathFor("").size();
    if (target_.size() > longest) {
        throw Error(Format("The path is too long to save beside it (%u characters, at most %u here): choose a "
                           "shorter folder or name.",
                           static_cast<unsigned>(target_.size()), static_cast<unsigned>(longest)),
                    ERROR_FILENAME_EXCED_RANGE);
    }
    RecoverInterruptedSave(target_);
    // A file the user made read-only stays as it is: the replace would go
    // round the attribute.
    if (FileExists(target_) && (GetFileAttributesA(target_.c_str()) & FILE_ATTRIBUTE_READONLY)) {
        throw Error("The file is read-only.", ERROR_FILE_READ_ONLY);
    }
    const std::string& from = Source();
    size_ = 0;
    written_ = {};
    if (source_.empty()) Stamp(target_, size_, written_);
    DWORD code = 0;
    text_ = ReadAll(from, code);
    const bool missing = (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) && !FileExists(from);
    if (code && !(missing && source_.empty())) throw Error(SystemErrorText(code), code);
    inPlace_ = false;
    MakeCopy();
    started_ = true;
}

void IniSave::MakeCopy() {
    const std::string copy = CopyPathFor(target_);
    for (int tries = 0;; ++tries) {
        out_ = saveSteps->CreateCopy(copy.c_str());
        if (out_ != INVALID_HANDLE_VALUE) break;
        const DWORD code = GetLastError();
        // Whatever a crash (or anybody) left at the name goes as a name: a
        // link there never leads the copy to another file.
        if ((code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) && tries == 0 && RemoveName(copy)) continue;
        // A folder that refuses new files, where the file itself may be
        // written: the file is written where it is, as the service would.
        if (code == ERROR_ACCESS_DENIED && source_.empty() && FileExists(target_)) {
            UniqueFile file(CreateFileA(target_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
            if (file) {
                inPlace_ = true;
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
    ULONGLONG size = 0;
    FILETIME written{};
    Stamp(target_, size, written);
    return size != size_ || CompareFileTime(&written, &written_) != 0;
}

void IniSave::WriteCopy() {
    const bool own = Needed().profileServiceRewritesEveryLine;
    std::string meant;
    if (own) {
        meant = ApplyWrites(text_, writes_);
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
        UniqueFile copy(CreateFileA(copy_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!copy || !FlushFileBuffers(copy.get())) Fail(GetLastError());
    }
    saveSteps->Reached(SaveInstant::CopyWritten);
    // What the disk holds: every line the file had, the new values, and,
    // where the program wrote the copy itself, exactly its bytes.
    DWORD code = 0;
    const std::string held = ReadAll(copy_, code);
    if (code) Fail(code);
    const ULONGLONG size = own ? meant.size() : text_.size() + Growth(writes_);
    if ((own && held != meant) || !CopyFault(text_, held, writes_).empty()) Fail(ShortCopyReason(copy_, size));
    // The copy is whole: its second name says so to a start after a crash.
    const std::string checked = CheckedCopyPathFor(target_);
    code = Retried([&] {
        return saveSteps->Move(copy_.c_str(), checked.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    });
    if (code) Fail(code);
    copy_ = checked;
    saveSteps->Reached(SaveInstant::CopyChecked);
}

void IniSave::WriteInPlace() {
    const bool own = Needed().profileServiceRewritesEveryLine;
    const std::string meant = own ? ApplyWrites(text_, writes_) : std::string();
    const ULONGLONG size = own ? meant.size() : text_.size() + Growth(writes_);
    // A file written where it is cannot be put back: the disk must have
    // room for the whole of it before the first byte.
    ULARGE_INTEGER free{};
    if (GetDiskFreeSpaceExA(ExtractFilePath(target_).c_str(), &free, nullptr, nullptr) &&
        free.QuadPart < (size > text_.size() ? size - text_.size() : 0) + 65536) {
        Fail(ERROR_DISK_FULL);
    }
    if (own) {
        UniqueFile file(CreateFileA(target_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file) Fail(GetLastError());
        if (const DWORD code = WriteAll(file.get(), meant)) Fail(code);
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
    if ((own && held != meant) || !CopyFault(text_, held, writes_).empty()) Fail(ShortCopyReason(target_, size));
}

void IniSave::Replace() {
    const std::string backup = BackupPathFor(target_);
    auto move = [&](DWORD flags) {
        return Retried([&] { return saveSteps->Move(copy_.c_str(), target_.c_str(), flags | MOVEFILE_WRITE_THROUGH); });
    };
    if (Needed().replaceLeavesAMomentWithoutTheFile || !Exists(target_)) {
        if (const DWORD code = move(MOVEFILE_REPLACE_EXISTING)) Fail(code);
    } else {
        // The system's replace keeps the file's attributes, security and
        // streams; the old file waits under the backup name meanwhile.
        const DWORD code = Retried([&] { return saveSteps->Replace(target_.c_str(), copy_.c_str(), backup.c_str()); });
        if (code && !Exists(target_)) {
            // Put aside and not replaced: the whole copy takes the name now,
            // or at the next start.
            if (move(0)) Fail(code);
        } else if (code == ERROR_UNABLE_TO_REMOVE_REPLACED || code == ERROR_SHARING_VIOLATION ||
                   code == ERROR_LOCK_VIOLATION || code == ERROR_ACCESS_DENIED ||
                   code == ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
            Fail(code);  // in use: a move would not respect that
        } else if (code) {
            // A file system without the replace: a move that replaces.
            if (const DWORD moved = move(MOVEFILE_REPLACE_EXISTING)) Fail(moved);
        }
    }
    copy_.clear();
    saveSteps->Reached(SaveInstant::CopyRenamed);
    if (Exists(backup)) RemoveName(backup);
}

void IniSave::Commit() {
    // Nothing to write to the file itself: it stays as it is, untouched.
    if (writes_.empty() && source_.empty()) return;
    for (const IniWrite& w : writes_) {
        if (StoredValue(w.value).size() >= IniFile::kMaxWrittenValue) {
            Fail(ERROR_INVALID_DATA, Format("The value of \"%s\" is too long to be written (%u characters).",
                                            w.key.c_str(), static_cast<unsigned>(w.value.size())));
        }
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
            if (inPlace_) {
                WriteInPlace();
                return;
            }
            WriteCopy();
            if (round < 3 && SourceChanged()) {
                started_ = false;
                continue;
            }
            Replace();
            break;
        }
    } catch (const SaveStopped&) {
        stopped_ = true;
        throw;
    }
    // What the service still holds of the file is out of date.
    IniFile(target_).Close();
}

}  // namespace platform
