#include "platform/Layout.h"

#include <algorithm>

namespace platform {

namespace {

// One axis of AnchorRect: returns the new start and extent.
void AnchorAxis(int pos, int extent, int designSpan, int span, bool nearSide, bool farSide,
                int& outPos, int& outExtent) {
    const int delta = span - designSpan;
    outPos = pos;
    outExtent = extent;
    if (nearSide && farSide) {
        outExtent = extent + delta;
        if (outExtent < 0) outExtent = 0;
    } else if (farSide) {
        outPos = pos + delta;
    } else if (!nearSide) {
        if (designSpan > 0) {
            const long long centre2 = 2LL * pos + extent;  // twice the centre, exact
            outPos = static_cast<int>((centre2 * span / designSpan - extent) / 2);
        }
    }
}

}  // namespace

Rect AnchorRect(const Rect& design, Size designParent, Size parent, unsigned anchors) {
    Rect r;
    AnchorAxis(design.left, design.width, designParent.width, parent.width,
               (anchors & akLeft) != 0, (anchors & akRight) != 0, r.left, r.width);
    AnchorAxis(design.top, design.height, designParent.height, parent.height,
               (anchors & akTop) != 0, (anchors & akBottom) != 0, r.top, r.height);
    return r;
}

std::string ShortHint(const std::string& hint) {
    const auto bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(0, bar);
}

std::string LongHint(const std::string& hint) {
    const auto bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(bar + 1);
}

int CentredGlyphMargin(int width, int glyphWidth, int gap, int textWidth) {
    const int margin = (width - glyphWidth - gap - textWidth) / 2;
    return margin > 0 ? margin : 0;
}

Rect HintInside(const Rect& tip, const Rect& window) {
    Rect r = tip;
    r.left = std::max(window.left, std::min(r.left, window.left + window.width - r.width));
    r.top = std::max(window.top, std::min(r.top, window.top + window.height - r.height));
    return r;
}

}  // namespace platform
