#include "platform/IniSave.h"

#include <utility>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Handles.h"
#include "platform/IniFile.h"

namespace platform {

namespace {

// What the service makes of a file: its sections in file order, and the
// lines of each as the service lists them.
struct Snapshot {
    std::vector<std::string> sections;
    std::vector<std::vector<std::string>> lines;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const IniFile& ini) {
    Snapshot s;
    ini.ReadSections(s.sections);
    s.lines.resize(s.sections.size());
    for (size_t i = 0; i < s.sections.size(); ++i) ini.ReadSectionLines(s.sections[i], s.lines[i]);
    return s;
}

bool SameName(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

std::string KeyOf(const std::string& line) { return line.substr(0, line.find('=')); }

// Why a copy did not read back whole. The service does not say: Wine's
// reports success for a write the disk cut short. A disk without room for
// what the copy should have held is full; anything else was a fault.
DWORD ShortCopyReason(const std::string& copy, const Snapshot& meant) {
    ULONGLONG size = 0;
    for (size_t i = 0; i < meant.sections.size(); ++i) {
        size += meant.sections[i].size() + 4;
        for (const auto& line : meant.lines[i]) size += line.size() + 2;
    }
    ULARGE_INTEGER free{};
    const bool known = GetDiskFreeSpaceExA(ExtractFilePath(copy).c_str(), &free, nullptr, nullptr);
    return known && free.QuadPart < size ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
}

}  // namespace

std::string FromFinalPath(const std::string& final) {
    if (final.rfind("\\\\?\\UNC\\", 0) == 0) return std::string(1, '\\').append(final, 7);
    if (final.size() >= 6 && final.rfind("\\\\?\\", 0) == 0 && final[5] == ':') return final.substr(4);
    return {};
}

std::string IniSave::CopyPathFor(const std::string& file) { return file + ".pelmark-saving"; }

IniSave::IniSave(std::string path, std::string source) : path_(std::move(path)), source_(std::move(source)) {}

IniSave::~IniSave() {
    if (!copy_.empty()) DeleteFileA(copy_.c_str());
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
    if (!copy_.empty()) return;
    // A link is saved through: the copy goes beside the file it points to,
    // which it then replaces, and the link stays.
    target_ = path_;
    if (FileExists(path_)) {
        const std::string final = FromFinalPath(FinalPath(path_));
        if (!final.empty()) target_ = final;
        // A file the user made read-only stays as it is: the replace would
        // go round the attribute.
        if (GetFileAttributesA(target_.c_str()) & FILE_ATTRIBUTE_READONLY) {
            throw Error("The file is read-only.", ERROR_FILE_READ_ONLY);
        }
    }
    const std::string& from = Source();
    UniqueFile in(CreateFileA(from.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    const DWORD openError = in ? 0 : GetLastError();
    const bool missing = (openError == ERROR_FILE_NOT_FOUND || openError == ERROR_PATH_NOT_FOUND) && !FileExists(from);
    if (openError && !(missing && source_.empty())) throw Error(SystemErrorText(openError), openError);
    const std::string copy = CopyPathFor(target_);
    SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);  // one a crash left
    UniqueFile out(CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                       nullptr));
    if (!out) {
        const DWORD code = GetLastError();
        throw Error(SystemErrorText(code), code);
    }
    copy_ = copy;
    std::vector<char> buffer(1 << 16);
    DWORD got = 0;
    while (in) {
        if (!ReadFile(in.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            const DWORD code = GetLastError();
            throw Error(SystemErrorText(code), code);
        }
        if (got == 0) break;
        DWORD put = 0;
        if (!WriteFile(out.get(), buffer.data(), got, &put, nullptr) || put != got) {
            const DWORD code = put != got && GetLastError() == 0 ? ERROR_DISK_FULL : GetLastError();
            throw Error(SystemErrorText(code), code);
        }
    }
    // The service may know the copy's name from a save before: what it
    // holds of it must be read again from the disk.
    IniFile(copy_).Close();
}

void IniSave::Commit() {
    // Nothing to write to the file itself: it stays as it is, untouched.
    if (writes_.empty() && source_.empty()) return;
    for (const Write& w : writes_) {
        if (w.value.size() >= IniFile::kMaxWrittenValue) {
            Fail(ERROR_INVALID_DATA, Format("The value of \"%s\" is too long to be written (%u characters).",
                                            w.key.c_str(), static_cast<unsigned>(w.value.size())));
        }
    }
    try {
        Start();
    } catch (const Error& e) {
        Fail(e.SystemCode(), e.what());
    }
    const Snapshot before = Take(IniFile(Source()));
    {
        IniFile ini(copy_);
        for (const Write& w : writes_) {
            // Wine's service reports success when the disk filled up under
            // it, leaving the reason behind as the last error.
            SetLastError(0);
            try {
                ini.WriteString(w.section, w.key, w.value);
            } catch (const Error& e) {
                Fail(e.SystemCode() ? e.SystemCode() : ERROR_WRITE_FAULT);
            }
            const DWORD after = GetLastError();
            if (after == ERROR_DISK_FULL || after == ERROR_HANDLE_DISK_FULL) Fail(after);
        }
        // What the service meant to write, then, once it has let go of the
        // file, what the disk holds: the two must agree.
        const Snapshot meant = Take(ini);
        ini.Close();
        const Snapshot held = Take(ini);
        bool whole = held == meant && held.sections.size() >= before.sections.size();
        for (size_t i = 0; whole && i < before.sections.size(); ++i) {
            whole = SameName(held.sections[i], before.sections[i]);
            // Every line of the section stays, but those of the keys written.
            auto kept = [&](const std::vector<std::string>& lines) {
                std::vector<std::string> out;
                for (const auto& line : lines) {
                    bool written = false;
                    for (const Write& w : writes_) {
                        written = written || (SameName(w.section, before.sections[i]) && SameName(w.key, KeyOf(line)));
                    }
                    if (!written) out.push_back(line);
                }
                return out;
            };
            whole = whole && kept(before.lines[i]) == kept(held.lines[i]);
        }
        for (const Write& w : writes_) {
            std::vector<std::string> keys;
            if (whole) ini.ReadSection(w.section, keys);
            bool found = false;
            for (const auto& k : keys) found = found || SameName(k, w.key);
            whole = whole && found;
        }
        if (!whole) Fail(ShortCopyReason(copy_, meant));
    }
    {
        // On the disk before it takes the file's place: a power cut after
        // the replace must not find the new name on data never written.
        UniqueFile copy(CreateFileA(copy_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!copy || !FlushFileBuffers(copy.get())) Fail(GetLastError());
    }
    // The replace keeps the file's attributes and security. Where it cannot
    // (no file yet, a file system without it), a move that replaces does;
    // but not where the file is in use, which the move would not respect.
    if (!ReplaceFileA(target_.c_str(), copy_.c_str(), nullptr, 0, nullptr, nullptr)) {
        const DWORD code = GetLastError();
        if (code == ERROR_UNABLE_TO_REMOVE_REPLACED || code == ERROR_SHARING_VIOLATION ||
            code == ERROR_LOCK_VIOLATION) {
            Fail(code);
        }
        if (!MoveFileExA(copy_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            Fail(GetLastError());
        }
    }
    copy_.clear();
    // What the service still holds of the file is out of date.
    IniFile(target_).Close();
}

}  // namespace platform
