// The INI file object: one file path, read and written through the system's
// private-profile service, in UTF-8 (its "-W" calls read and write an ANSI
// file through the ANSI code page, as Agent's own calls do). Nothing else in the program parses or writes INI
// text. Values and name lists are read whole, however long they are. The
// one thing it reads past the service is a later section of a name already
// used, which the service never reads.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class IniFile {
public:
    // Binds the path; touches no file, and the file need not exist.
    explicit IniFile(std::string path);
    // Asks the service to flush its cache of the file, if this object wrote
    // to it: after reads alone there is nothing to flush, and a flush opens
    // the file for writing, which costs as much again as the reads of a listing.
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    const std::string& Path() const { return path_; }

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) const;
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;

    // The longest value the service writes faithfully is one shorter.
    static constexpr size_t kMaxWrittenValue = 32767;

    // Raise "Unable to write to <path>" when the service refuses, or for a
    // value of kMaxWrittenValue characters or more (it is still read whole).
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    // Section names, key names of one section, and "key=value" lines, in file order.
    void ReadSections(std::vector<std::string>& list) const;
    void ReadSection(const std::string& section, std::vector<std::string>& list) const;
    void ReadSectionValues(const std::string& section, std::vector<std::string>& list) const;
    // The same, each value read by its own call: what ReadSectionValues
    // gives, in time that grows with the square of the section's size.
    void ReadSectionValuesKeyByKey(const std::string& section, std::vector<std::string>& list) const;
    // The section's lines as the service lists them in one read ("key=value",
    // or the key alone for a line without "="), in file order.
    void ReadSectionLines(const std::string& section, std::vector<std::string>& list) const;
    // The lines of the `occurrence`-th section of that name (1: the second),
    // read from the file's own text, comments left out.
    void ReadLaterSectionValues(const std::string& section, int occurrence, std::vector<std::string>& list) const;

    void Close();

private:
    std::string path_;
    bool closed_ = false;
    bool written_ = false;
};

// The private-profile write through which every value reaches its file.
// The program uses the service's own; a test may put another in its place
// (null: the service's own again), to make a write fail half-way.
class ProfileWriter {
public:
    virtual ~ProfileWriter() = default;
    virtual BOOL Write(const char* section, const char* key, const char* value, const char* file);
};
void UseProfileWriter(ProfileWriter* writer);
// How many calls the INI file objects have made to the service so far (on
// Windows each one parses the whole file again).
unsigned ProfileServiceCalls();
ProfileWriter& CurrentProfileWriter();

// The service's read of a section's lines: the system's own. Windows' lists
// lines as they are written (comments, keys without "=", blanks), Wine's as
// it parsed them; a test may answer as either.
extern DWORD(WINAPI* SectionReadCall)(LPCWSTR section, LPWSTR buffer, DWORD size, LPCWSTR file);

// The integer reading of an INI value: "0x"/"0X" and at least one more
// character is hexadecimal, anything else decimal; `def` when it does not convert.
int32_t IniTextToInt(const std::string& text, int32_t def);

// The lines of the `occurrence`-th section named `name` (0: the first;
// letter case aside) in INI text, comments and blank lines left out.
std::vector<std::string> SectionLinesIn(const std::string& text, const std::string& name, int occurrence);

}  // namespace platform
