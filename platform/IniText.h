// INI text as the private-profile service reads it: the program's own
// writer, for a system whose service writes every line of a file again
// from its own reading of it, and the check that a save's copy holds what
// the file held with the save's values written. Plain functions over the
// file's bytes; nothing here touches a file.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct IniWrite {
    std::string section, key, value;
};

// Where the private-profile services of the systems read a file
// differently. (Both take a run of CR and LF as one line end, trim blanks,
// tabs, CR, LF, VT, FF and ^Z, and close a section name at a line's last "]".)
struct IniReading {
    // A file that starts with UTF-8's mark is read as UTF-8 (else in the
    // ANSI code page, the mark part of the first line).
    bool utf8Mark = false;
    // Names are matched letter case aside for A to Z alone.
    bool asciiFold = false;
};
// The running system's.
IniReading ServiceReading();

// A name (in UTF-8) as the service matches it, letter case aside.
std::string MatchedName(const std::string& name, const IniReading& reading = ServiceReading());

// Whether the service reads `text` as UTF-8: its values are then written
// in UTF-8, not the ANSI code page.
bool ReadAsUtf8(const std::string& text, const IniReading& reading = ServiceReading());

// Why the service would not read `value` back as it is ("" when it would):
// a line break, or a control character it trims at either end.
std::string UnstorableValue(const std::string& value);

// What is put in the file for `value` so that the service reads exactly
// `value` back: it trims blanks at either end and takes away one pair of
// quotes, so a value with blanks there, or in quotes itself, goes in quotes.
std::string StoredValue(const std::string& value);

// `text` with the writes made in order, as the service makes them, and
// every other byte as it was: the first line of the key in the first
// section of that name (letter case aside) gets the new value after its
// own "=" and the blanks that follow it; a new key goes after the last key
// line of its section, spelt as first written; a new section at the end.
// New lines end as the file's first line does.
std::string ApplyWrites(const std::string& text, const std::vector<IniWrite>& writes,
                        const IniReading& reading = ServiceReading());

// Why `copy` is not `source` with `writes` made, as far as the service can
// tell ("" when it is): a line the writes did not touch (comments too, and
// section names, in order; blank lines and blanks around "=" aside, which a
// service may drop) is missing, a written value is not there as written,
// or the copy ends inside a line where the file ended with a whole one.
std::string CopyFault(const std::string& source, const std::string& copy, const std::vector<IniWrite>& writes,
                      const IniReading& reading = ServiceReading());

}  // namespace platform
