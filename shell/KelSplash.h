// The splash screen's entry points as start-up uses them.
#pragma once

#include <windows.h>

#include <string>

namespace shell {

// Sets the application's title to `title` when `setAppTitle` is on.
void ShowSplash(const std::string& title, const std::string& action, bool setAppTitle,
                HBITMAP logo);
// Sets the main window's caption (when non-empty) and removes the splash.
void HideSplash(const std::string& caption);

}  // namespace shell
