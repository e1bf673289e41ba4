// Button glyphs and pictures from the resources: a glyph bitmap holds two
// images side by side (normal, disabled) and becomes the image list a push
// button shows. Each picture comes at two sizes, the design size and twice
// it (the same name with "_2X"); at any DPI but 96 the nearer one is scaled
// smoothly to the size the DPI asks for.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "platform/Handles.h"
#include "platform/Layout.h"

namespace platform {

// The image list for a glyph button at `dpi`: the normal image for every
// state but "disabled", which takes the second. The lower left pixel marks
// the transparent colour. Empty when the resource is missing or malformed.
UniqueImageList GlyphImages(HINSTANCE instance, const char* resource, int dpi = 96);

// A picture of `design` size at 96 DPI, at `dpi`; the caller owns it. Null
// when the resource is missing.
HBITMAP ScaledPicture(HINSTANCE instance, const char* resource, Size design, int dpi);

// Area-averaging resampling of premultiplied 32-bit pixels (rows top down):
// each new pixel is the mean of the old pixels it covers, weighted by how
// much of each it covers.
std::vector<uint32_t> ResampleArea(const std::vector<uint32_t>& pixels, Size from, Size to);

}  // namespace platform
