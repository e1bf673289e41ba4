// Names in the order a user reads them.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Orders names without regard to case, by the user's locale.
void SortNamesLocale(std::vector<std::string>& names);

// A name with its letters in one case, as the private-profile service
// matches key names: two keys are the same key when these are equal. Quick
// for the plain ASCII names nearly every file holds.
std::string FoldedName(const std::string& name);
// The same for a name in the ANSI code page's bytes (an INI file's own text).
std::string FoldedAnsiName(const std::string& name);

}  // namespace platform
