// Names in the order a user reads them.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Orders names without regard to case, by the user's locale.
void SortNamesLocale(std::vector<std::string>& names);

}  // namespace platform
