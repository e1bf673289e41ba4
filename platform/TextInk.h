// Text as it is drawn. Under some fonts (Wine's stand-ins for the classic
// bitmap fonts among them) the ink of a line's last letter reaches a pixel
// or two past the advance widths that GetTextExtent and DrawText measure,
// so a control exactly as wide as the measure cuts the letter off.
#pragma once

#include <windows.h>

#include <string>

namespace platform {

// How far right the ink of `text` reaches when drawn with `format` (DrawText
// flags) in a rectangle `width` by `height`, in the font selected into `dc`.
int InkRight(HDC dc, const std::string& text, UINT format, int width, int height);

// The widths GetTextExtentPoint32 gives single lines in the font selected
// into `dc`, summed from the font's advance widths read once: a listing
// measures thousands of texts, and each call to the system costs. Where the
// code page has characters of more than one byte, each text is measured by
// the system.
class TextWidths {
public:
    explicit TextWidths(HDC dc);
    int operator()(const std::string& text) const;

private:
    HDC dc_;
    bool table_ = false;
    int widths_[128] = {};
};

}  // namespace platform
