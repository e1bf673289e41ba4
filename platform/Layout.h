// Layout arithmetic with no window handles: anchors and hint parts.
#pragma once

#include <string>

namespace platform {

enum Anchor : unsigned {
    akLeft = 1,
    akTop = 2,
    akRight = 4,
    akBottom = 8,
    akAll = akLeft | akTop | akRight | akBottom,
};

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

struct Size {
    int width = 0, height = 0;
    bool operator==(const Size&) const = default;
};

// Where a control placed at `design` inside a parent of client size `designParent`
// goes when the parent's client becomes `parent`. An edge anchored on both sides
// stretches; anchored on the far side only, it keeps its distance to that side;
// anchored on neither, it keeps its centre at the same relative place.
Rect AnchorRect(const Rect& design, Size designParent, Size parent, unsigned anchors);

// The left margin that centres a button's glyph and caption together, `gap`
// pixels apart, in a label area `width` wide (never below 0).
int CentredGlyphMargin(int width, int glyphWidth, int gap, int textWidth);

// Where a hint of rectangle `tip` goes to lie inside `window`: moved left
// and up as far as it reaches past the right and bottom edges, never past
// the left and top ones.
Rect HintInside(const Rect& tip, const Rect& window);

// A hint is "short|long"; without "|" both parts are the whole text.
std::string ShortHint(const std::string& hint);
std::string LongHint(const std::string& hint);

}  // namespace platform
