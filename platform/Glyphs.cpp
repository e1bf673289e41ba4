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

// The six push-button states from a list of two images (normal, disabled).
UniqueImageList SixStates(HIMAGELIST two, Size size, UINT flags) {
    UniqueImageList six(ImageList_Create(size.width, size.height, flags, 6, 0));
    // PBS_NORMAL, HOT, PRESSED, DISABLED, DEFAULTED, STYLUSHOT
    for (int i : {0, 0, 0, 1, 0, 0}) {
        UniqueIcon icon(ImageList_GetIcon(two, i, ILD_NORMAL));
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
        const Size size{bm.bmWidth / 2, bm.bmHeight};
        if (size.width <= 0 || size.height <= 0) return {};
        COLORREF key;
        {
            UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
            SelectGuard selected(dc.get(), bmp.get());
            key = GetPixel(dc.get(), 0, size.height - 1);
        }
        UniqueImageList two(ImageList_Create(size.width, size.height, ILC_COLOR24 | ILC_MASK, 2, 0));
        ImageList_AddMasked(two.get(), bmp.get(), key);
        return SixStates(two.get(), size, ILC_COLOR24 | ILC_MASK);
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
    // Both images scale as one picture: their boundary falls on a pixel edge.
    const Size to{target, ScaleForDpi(h * kDesign / w, dpi)};
    UniqueBitmap strip(BitmapOf(ResampleArea(px, size, {2 * to.width, to.height}), {2 * to.width, to.height}));
    UniqueImageList two(ImageList_Create(to.width, to.height, ILC_COLOR32, 2, 0));
    ImageList_Add(two.get(), strip.get(), nullptr);
    return SixStates(two.get(), to, ILC_COLOR32);
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
