#include "platform/Glyphs.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/Dpi.h"

namespace platform {

namespace {

// The source nearer to `target`: the design picture or the one twice its
// size (on a tie, the larger: shrinking keeps more detail than growing).
UniqueBitmap NearerSource(HINSTANCE instance, const char* resource, int design, int target) {
    const bool twice = std::abs(target - 2 * design) <= std::abs(target - design);
    UniqueBitmap bmp;
    if (twice) {
        const std::string name = std::string(resource) + "_2X";
        bmp.reset(static_cast<HBITMAP>(LoadImageA(instance, name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    }
    if (!bmp) bmp.reset(static_cast<HBITMAP>(LoadImageA(instance, resource, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    return bmp;
}

BITMAPINFO TopDown32(Size size) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = size.width;
    bi.bmiHeader.biHeight = -size.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

std::vector<uint32_t> PixelsOf(HBITMAP bmp, Size& size) {
    BITMAP bm{};
    GetObject(bmp, sizeof bm, &bm);
    size = {bm.bmWidth, bm.bmHeight};
    std::vector<uint32_t> px(static_cast<size_t>(size.width) * std::max(0, size.height));
    if (px.empty()) return px;
    BITMAPINFO bi = TopDown32(size);
    UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
    GetDIBits(dc.get(), bmp, 0, size.height, px.data(), &bi, DIB_RGB_COLORS);
    return px;
}

HBITMAP BitmapOf(const std::vector<uint32_t>& px, Size size) {
    BITMAPINFO bi = TopDown32(size);
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bmp && bits) std::copy(px.begin(), px.end(), static_cast<uint32_t*>(bits));
    return bmp;
}

// The images of a strip `count` wide, each `from` big, each resampled to `to`.
std::vector<uint32_t> ResampleStrip(const std::vector<uint32_t>& px, int count, Size from, Size to) {
    std::vector<uint32_t> out(static_cast<size_t>(to.width) * count * to.height);
    for (int i = 0; i < count; ++i) {
        std::vector<uint32_t> one(static_cast<size_t>(from.width) * from.height);
        for (int y = 0; y < from.height; ++y) {
            std::copy_n(px.begin() + (static_cast<size_t>(y) * from.width * count + i * from.width), from.width,
                        one.begin() + static_cast<size_t>(y) * from.width);
        }
        const auto scaled = ResampleArea(one, from, to);
        for (int y = 0; y < to.height; ++y) {
            std::copy_n(scaled.begin() + static_cast<size_t>(y) * to.width, to.width,
                        out.begin() + (static_cast<size_t>(y) * to.width * count + i * to.width));
        }
    }
    return out;
}

UniqueImageList DesignGlyphImages(HBITMAP bmp, int w, int h) {
    COLORREF key;
    {
        UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
        SelectGuard selected(dc.get(), bmp);
        key = GetPixel(dc.get(), 0, h - 1);
    }
    UniqueImageList two(ImageList_Create(w, h, ILC_COLOR24 | ILC_MASK, 2, 0));
    ImageList_AddMasked(two.get(), bmp, key);
    UniqueImageList six(ImageList_Create(w, h, ILC_COLOR24 | ILC_MASK, 6, 0));
    // PBS_NORMAL, HOT, PRESSED, DISABLED, DEFAULTED, STYLUSHOT
    for (int i : {0, 0, 0, 1, 0, 0}) {
        UniqueIcon icon(ImageList_GetIcon(two.get(), i, ILD_NORMAL));
        ImageList_AddIcon(six.get(), icon.get());
    }
    return six;
}

}  // namespace

std::vector<uint32_t> ResampleArea(const std::vector<uint32_t>& pixels, Size from, Size to) {
    std::vector<uint32_t> out(static_cast<size_t>(std::max(0, to.width)) * std::max(0, to.height));
    if (from.width <= 0 || from.height <= 0 || out.empty()) return out;
    const double sx = static_cast<double>(from.width) / to.width, sy = static_cast<double>(from.height) / to.height;
    for (int y = 0; y < to.height; ++y) {
        const double y0 = y * sy, y1 = (y + 1) * sy;
        for (int x = 0; x < to.width; ++x) {
            const double x0 = x * sx, x1 = (x + 1) * sx;
            double sum[4] = {0, 0, 0, 0}, area = 0;
            for (int v = static_cast<int>(y0); v < from.height && v < y1; ++v) {
                const double wy = std::min(y1, v + 1.0) - std::max(y0, static_cast<double>(v));
                for (int u = static_cast<int>(x0); u < from.width && u < x1; ++u) {
                    const double w = wy * (std::min(x1, u + 1.0) - std::max(x0, static_cast<double>(u)));
                    const uint32_t p = pixels[static_cast<size_t>(v) * from.width + u];
                    for (int k = 0; k < 4; ++k) sum[k] += w * ((p >> (8 * k)) & 0xFF);
                    area += w;
                }
            }
            uint32_t p = 0;
            for (int k = 0; k < 4; ++k) {
                p |= static_cast<uint32_t>(std::clamp(std::lround(sum[k] / area), 0L, 255L)) << (8 * k);
            }
            out[static_cast<size_t>(y) * to.width + x] = p;
        }
    }
    return out;
}

UniqueImageList GlyphImages(HINSTANCE instance, const char* resource, int dpi) {
    // At the design DPI the pictures are shown as drawn, pixel for pixel.
    if (dpi == kDesignDpi) {
        UniqueBitmap bmp(static_cast<HBITMAP>(LoadImageA(instance, resource, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        if (!bmp) return {};
        BITMAP bm{};
        GetObject(bmp.get(), sizeof bm, &bm);
        if (bm.bmWidth / 2 <= 0 || bm.bmHeight <= 0) return {};
        return DesignGlyphImages(bmp.get(), bm.bmWidth / 2, bm.bmHeight);
    }
    constexpr int kDesign = 16;
    const int target = ScaleForDpi(kDesign, dpi);
    UniqueBitmap bmp = NearerSource(instance, resource, kDesign, target);
    if (!bmp) return {};
    Size size;
    std::vector<uint32_t> px = PixelsOf(bmp.get(), size);
    const int w = size.width / 2, h = size.height;
    if (w <= 0 || h <= 0) return {};

    // Elsewhere the transparent colour becomes transparency before scaling,
    // so that no edge takes on its tint.
    const uint32_t key = px[static_cast<size_t>(h - 1) * size.width] & 0xFFFFFF;
    for (uint32_t& p : px) p = (p & 0xFFFFFF) == key ? 0 : (p | 0xFF000000);
    const Size to{target, ScaleForDpi(h * kDesign / w, dpi)};
    const auto scaled = ResampleStrip(px, 2, {w, h}, to);
    // PBS_NORMAL, HOT, PRESSED, DISABLED, DEFAULTED, STYLUSHOT
    std::vector<uint32_t> six(static_cast<size_t>(to.width) * 6 * to.height);
    int slot = 0;
    for (int i : {0, 0, 0, 1, 0, 0}) {
        for (int y = 0; y < to.height; ++y) {
            std::copy_n(scaled.begin() + (static_cast<size_t>(y) * to.width * 2 + i * to.width), to.width,
                        six.begin() + (static_cast<size_t>(y) * to.width * 6 + slot * to.width));
        }
        ++slot;
    }
    UniqueBitmap strip(BitmapOf(six, {to.width * 6, to.height}));
    UniqueImageList list(ImageList_Create(to.width, to.height, ILC_COLOR32, 6, 0));
    ImageList_Add(list.get(), strip.get(), nullptr);
    return list;
}

HBITMAP ScaledPicture(HINSTANCE instance, const char* resource, Size design, int dpi) {
    if (dpi == kDesignDpi) return static_cast<HBITMAP>(LoadImageA(instance, resource, IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    const Size target = ScaleForDpi(design, dpi);
    UniqueBitmap bmp = NearerSource(instance, resource, design.width, target.width);
    if (!bmp) return nullptr;
    Size size;
    std::vector<uint32_t> px = PixelsOf(bmp.get(), size);
    if (size == target) return bmp.release();
    for (uint32_t& p : px) p |= 0xFF000000;
    return BitmapOf(ResampleArea(px, size, target), target);
}

}  // namespace platform
