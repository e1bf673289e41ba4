// Button glyphs: a bitmap resource of two images side by side (normal,
// disabled) made into the image list a push button shows.
#pragma once

#include <windows.h>

#include "platform/Handles.h"

namespace platform {

// The image list for a glyph button: the normal image for every state but
// "disabled", which takes the second. The lower left pixel marks the
// transparent colour. Empty when the resource is missing or malformed.
UniqueImageList GlyphImages(HINSTANCE instance, const char* resource);

}  // namespace platform
