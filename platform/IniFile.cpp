#include "platform/IniFile.h"

#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <unordered_map>

#include "platform/Error.h"
#include "platform/Handles.h"
#include "platform/IniText.h"
#include "platform/Names.h"
#include "platform/Text.h"

namespace platform {

namespace {

constexpr DWORD kFirstBuffer = 2048;
unsigned serviceCalls = 0;

// A double-null-terminated list, read whole: the service says a list was
// cut by returning the buffer size less two.
template <class Read>
std::vector<std::string> ReadList(Read read) {
    std::vector<wchar_t> buf;
    DWORD size = 16384;
    DWORD got = 0;
    for (;;) {
        buf.assign(size, L'\0');
        ++serviceCalls;
        got = read(buf.data(), size);
        if (got < size - 2) break;
        size *= 2;
    }
    std::vector<std::string> names;
    for (DWORD i = 0; i < got;) {
        const std::wstring_view name(buf.data() + i);
        i += static_cast<DWORD>(name.size()) + 1;
        if (!name.empty()) names.push_back(Narrowed(name));
    }
    return names;
}

// The service's "-W" calls read an ANSI file through the ANSI code page,
// as Agent's own calls do; their texts are then turned into UTF-8.
std::vector<std::string> ReadNameList(const std::string* section, const std::string& path) {
    const std::wstring wideSection = section ? Widened(*section) : std::wstring(), widePath = Widened(path);
    return ReadList([&](wchar_t* buf, DWORD size) {
        return GetPrivateProfileStringW(section ? wideSection.c_str() : nullptr, nullptr, L"", buf, size,
                                        widePath.c_str());
    });
}

// A text for the service, or null for none.
struct WideArg {
    std::wstring text;
    const wchar_t* p = nullptr;
    explicit WideArg(const char* utf8) : text(utf8 ? Widened(utf8) : std::wstring()), p(utf8 ? text.c_str() : nullptr) {}
};

ProfileWriter theService;
ProfileWriter* profileWriter = &theService;

}  // namespace

unsigned ProfileServiceCalls() { return serviceCalls; }

BOOL ProfileWriter::Write(const char* section, const char* key, const char* value, const char* file) {
    ++serviceCalls;
    const WideArg s(section), k(key), v(value), f(file);
    return WritePrivateProfileStringW(s.p, k.p, v.p, f.p);
}

void UseProfileWriter(ProfileWriter* writer) { profileWriter = writer ? writer : &theService; }

ProfileWriter& CurrentProfileWriter() { return *profileWriter; }

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

IniFile::~IniFile() {
    if (written_) Close();
}

void IniFile::Close() {
    if (closed_) return;
    closed_ = true;
    ++serviceCalls;
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, Widened(path_).c_str());
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& def) const {
    std::vector<wchar_t> buf;
    DWORD size = kFirstBuffer;
    const std::wstring s = Widened(section), k = Widened(key), d = Widened(def), p = Widened(path_);
    for (;;) {
        buf.assign(size, L'\0');
        ++serviceCalls;
        const DWORD got = GetPrivateProfileStringW(s.c_str(), k.c_str(), d.c_str(), buf.data(), size, p.c_str());
        // A value that fills the buffer may have been cut: read it again, larger.
        if (got < size - 1) return Narrowed(std::wstring_view(buf.data(), got));
        size *= 2;
    }
}

int32_t IniTextToInt(const std::string& text, int32_t def) {
    if (text.empty()) return def;
    const char* s = text.c_str();
    char* end = nullptr;
    errno = 0;
    if (text.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        if (!isxdigit(static_cast<unsigned char>(s[2]))) return def;
        const unsigned long long v = std::strtoull(s + 2, &end, 16);
        if (*end != '\0' || errno == ERANGE || v > 0xFFFFFFFFull) return def;
        return static_cast<int32_t>(static_cast<uint32_t>(v));
    }
    const unsigned char first = static_cast<unsigned char>(s[0]);
    if (!(isdigit(first) || ((first == '-' || first == '+') && isdigit(static_cast<unsigned char>(s[1]))))) {
        return def;
    }
    const long long v = std::strtoll(s, &end, 10);
    if (*end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return def;
    return static_cast<int32_t>(v);
}

int32_t IniFile::ReadInteger(const std::string& section, const std::string& key, int32_t def) const {
    return IniTextToInt(ReadString(section, key, ""), def);
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
    // The service deletes the key (and says it succeeded), or crashes, for
    // a value of this length or more: such a value is never handed to it.
    if (value.size() >= kMaxWrittenValue) throw Error(Format("Unable to write to %s", path_.c_str()));
    if (!CurrentProfileWriter().Write(section.c_str(), key.c_str(), value.c_str(), path_.c_str())) {
        const DWORD code = GetLastError();
        throw Error(Format("Unable to write to %s", path_.c_str()), code);
    }
    written_ = true;
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::ReadSections(std::vector<std::string>& list) const {
    list = ReadNameList(nullptr, path_);
}

void IniFile::ReadSection(const std::string& section, std::vector<std::string>& list) const {
    list = ReadNameList(&section, path_);
}

void IniFile::ReadSectionValuesKeyByKey(const std::string& section, std::vector<std::string>& list) const {
    std::vector<std::string> keys;
    ReadSection(section, keys);
    list.clear();
    for (const auto& k : keys) list.push_back(k + "=" + ReadString(section, k, ""));
}

void IniFile::ReadSectionValues(const std::string& section, std::vector<std::string>& list) const {
    // The service searches the section from its start for each value read
    // by itself: a section of 20,000 keys would take minutes. Its lines are
    // read in one go instead, and each value given as a read of its own
    // would give it: the first line of a key (letter case aside) answers for
    // every line of that key, trimmed of blanks, without one pair of quotes
    // around it.
    // Where every line is a key, "=" and a value, the lines name the keys
    // themselves, and a list of names would only cost a second call. Any
    // other line (a key with no value, a value with no key, a comment) is
    // left out of that list, and how a service treats it is its own: then
    // the names are read too, and the lines must answer them one for one,
    // or the values are read one by one after all.
    auto trim = [](std::string s) {
        s.erase(0, s.find_first_not_of(" \t"));
        s.erase(s.find_last_not_of(" \t") + 1);
        return s;
    };
    std::vector<std::string> keys, lines;
    ReadSectionLines(section, lines);
    for (const auto& line : lines) {
        const size_t eq = line.find('=');
        std::string key = eq == std::string::npos ? std::string() : trim(line.substr(0, eq));
        if (key.empty() || key.front() == ';') {
            keys.clear();
            break;
        }
        keys.push_back(std::move(key));
    }
    if (keys.size() != lines.size()) {
        std::vector<std::string> all = std::move(lines);
        lines.clear();
        ReadSection(section, keys);
        for (auto& line : all) {
            const size_t eq = line.find('=');
            if (eq != std::string::npos && !trim(line.substr(0, eq)).empty()) lines.push_back(std::move(line));
        }
        bool aligned = keys.size() == lines.size();
        for (size_t i = 0; aligned && i < keys.size(); ++i) {
            aligned = trim(lines[i].substr(0, lines[i].find('='))) == keys[i];
        }
        if (!aligned) {
            ReadSectionValuesKeyByKey(section, list);
            return;
        }
    }
    std::unordered_map<std::string, std::string> first;  // by the folded key
    list.clear();
    for (size_t i = 0; i < keys.size(); ++i) {
        const std::string folded = MatchedName(keys[i]);
        auto it = first.find(folded);
        if (it == first.end()) {
            std::string value = trim(lines[i].substr(lines[i].find('=') + 1));
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
                value = value.substr(1, value.size() - 2);
            }
            it = first.emplace(folded, std::move(value)).first;
        }
        list.push_back(keys[i] + "=" + it->second);
    }
}

DWORD(WINAPI* SectionReadCall)(LPCWSTR, LPWSTR, DWORD, LPCWSTR) = &GetPrivateProfileSectionW;

void IniFile::ReadSectionLines(const std::string& section, std::vector<std::string>& list) const {
    const std::wstring s = Widened(section), p = Widened(path_);
    list = ReadList([&](wchar_t* buf, DWORD size) { return SectionReadCall(s.c_str(), buf, size, p.c_str()); });
}

void IniFile::ReadLaterSectionValues(const std::string& section, int occurrence,
                                     std::vector<std::string>& list) const {
    std::string text;
    HANDLE opened = CreateFileW(Widened(path_).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (opened != INVALID_HANDLE_VALUE) {
        UniqueKernelHandle f(opened);
        std::vector<char> buffer(65536);
        DWORD got = 0;
        while (ReadFile(f.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0) {
            text.append(buffer.data(), got);
        }
    }
    // The file's own bytes are in the ANSI code page, as the service reads
    // them, or UTF-8 behind its mark.
    list = SectionLinesIn(ReadAsUtf8(text) ? text.substr(3) : FromAnsi(text), section, occurrence);
}

std::vector<std::string> SectionLinesIn(const std::string& text, const std::string& name, int occurrence) {
    // As the service reads a line: trimmed of blanks and the controls tab
    // to CR and ^Z; a section's name runs to its last "]".
    auto trim = [](std::string& s) {
        const char* trimmed = " \t\n\v\f\r\x1a";
        s.erase(0, s.find_first_not_of(trimmed));
        s.erase(s.find_last_not_of(trimmed) + 1);
    };
    std::vector<std::string> lines;
    int seen = -1;
    bool inside = false;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        trim(line);
        if (line.empty()) continue;
        if (const auto close = line.rfind(']'); line.front() == '[' && close != std::string::npos) {
            std::string section = line.substr(1, close - 1);
            trim(section);
            inside = MatchedName(section) == MatchedName(name) && ++seen == occurrence;
        } else if (inside && line.front() != ';') {
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace platform
