// The panel control of the forms: a plain container with an optional bevel
// that passes its controls' reports on to the form, which listens for them.
#pragma once

#include <windows.h>

namespace platform {

extern const char kPanelClass[];  // "TPanel"

// Registers the panel class once per process.
void RegisterPanelClass(HINSTANCE instance);

}  // namespace platform
