#include "platform/TextInk.h"

#include <algorithm>
#include <cstdint>

#include "platform/Handles.h"
#include "platform/Text.h"

namespace platform {

int InkRight(HDC dc, const std::string& text, UINT format, int width, int height) {
    if (width <= 0 || height <= 0) return 0;
    // Room past the right edge for the ink that reaches beyond it.
    const int w = width + height;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    UniqueBitmap picture(CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueMemoryDC memory(CreateCompatibleDC(dc));
    if (!picture || !memory || !bits) return width;
    auto* px = static_cast<uint32_t*>(bits);
    std::fill_n(px, static_cast<size_t>(w) * height, 0xFFFFFFu);
    {
        SelectGuard withPicture(memory.get(), picture.get());
        SelectGuard withFont(memory.get(), GetCurrentObject(dc, OBJ_FONT));
        SetBkMode(memory.get(), TRANSPARENT);
        SetTextColor(memory.get(), 0);
        RECT at{0, 0, width, height};
        DrawTextW(memory.get(), Widened(text).c_str(), -1, &at, (format & ~DT_CALCRECT) | DT_NOCLIP);
        GdiFlush();
    }
    int right = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = w - 1; x >= right; --x) {
            if ((px[static_cast<size_t>(y) * w + x] & 0xFFFFFFu) != 0xFFFFFFu) {
                right = x + 1;
                break;
            }
        }
    }
    return right;
}

TextWidths::TextWidths(HDC dc) : dc_(dc) {
    // A table of the first 128 characters answers for plain ASCII texts,
    // which nearly every one is; any other is measured whole.
    table_ = GetTextCharacterExtra(dc) == 0 && GetCharWidth32W(dc, 0, 127, widths_);
}

int TextWidths::operator()(const std::string& text) const {
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!table_ || !plain) {
        const std::wstring wide = Widened(text);
        SIZE sz{};
        GetTextExtentPoint32W(dc_, wide.c_str(), static_cast<int>(wide.size()), &sz);
        return static_cast<int>(sz.cx);
    }
    int sum = 0;
    for (unsigned char c : text) sum += widths_[c];
    return sum;
}

}  // namespace platform
