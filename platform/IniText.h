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

// What is put in the file for `value` so that the service reads exactly
// `value` back: it trims blanks at either end and takes away one pair of
// quotes, so a value with blanks there, or in quotes itself, goes in quotes.
std::string StoredValue(const std::string& value);

// `text` with the writes made in order, as the service makes them, and
// every other byte as it was: the first line of the key in the first
// section of that name (letter case aside) gets the new value after its
// own "=" and the blanks that follow it; a new key goes after the last key
// line of its section; a new section at the end. New lines end as the
// file's lines do.
std::string ApplyWrites(const std::string& text, const std::vector<IniWrite>& writes);

// Why `copy` is not `source` with `writes` made, as far as the service can
// tell ("" when it is): a line the writes did not touch (comments too, and
// section names, in order; blank lines and blanks around "=" aside, which a
// service may drop) is missing, a written value is not there as written,
// or the copy ends inside a line where the file ended with a whole one.
std::string CopyFault(const std::string& source, const std::string& copy, const std::vector<IniWrite>& writes);

}  // namespace platform
