#include "platform/Glyphs.h"

#include <commctrl.h>

namespace platform {

UniqueImageList GlyphImages(HINSTANCE instance, const char* resource) {
    UniqueBitmap bmp(static_cast<HBITMAP>(LoadImageA(instance, resource, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!bmp) return {};
    BITMAP bm{};
    GetObject(bmp.get(), sizeof bm, &bm);
    const int w = bm.bmWidth / 2, h = bm.bmHeight;
    if (w <= 0 || h <= 0) return {};
    COLORREF key;
    {
        UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
        SelectGuard selected(dc.get(), bmp.get());
        key = GetPixel(dc.get(), 0, h - 1);
    }
    UniqueImageList two(ImageList_Create(w, h, ILC_COLOR24 | ILC_MASK, 2, 0));
    ImageList_AddMasked(two.get(), bmp.get(), key);
    UniqueImageList six(ImageList_Create(w, h, ILC_COLOR24 | ILC_MASK, 6, 0));
    // PBS_NORMAL, HOT, PRESSED, DISABLED, DEFAULTED, STYLUSHOT
    for (int i : {0, 0, 0, 1, 0, 0}) {
        UniqueIcon icon(ImageList_GetIcon(two.get(), i, ILD_NORMAL));
        ImageList_AddIcon(six.get(), icon.get());
    }
    return six;
}

}  // namespace platform
