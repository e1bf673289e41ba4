#include "platform/ListViewText.h"

#include "platform/Text.h"

namespace platform {

std::string ListViewText(HWND list, int item, int subItem) {
    // The list view says only how much it copied: grow until it copies less.
    for (size_t size = 256;; size *= 4) {
        std::wstring s(size, L'\0');
        LVITEMW it{};
        it.iSubItem = subItem;
        it.pszText = s.data();
        it.cchTextMax = static_cast<int>(size);
        const auto n = static_cast<size_t>(SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&it)));
        if (n + 1 < size) {
            s.resize(n);
            return Narrowed(s);
        }
    }
}

void AddListColumn(HWND list, int index, const char* heading, int width, int format) {
    std::wstring text = Widened(heading);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
    col.fmt = format;
    col.cx = width;
    col.pszText = text.data();
    col.iSubItem = index;
    SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&col));
}

bool AnswerListViewText(NMHDR* hdr, const std::function<std::string(int, int)>& text) {
    if (hdr->code != LVN_GETDISPINFOA && hdr->code != LVN_GETDISPINFOW) return false;
    auto* di = reinterpret_cast<NMLVDISPINFOW*>(hdr);  // the same layout in both forms
    LVITEMW& it = di->item;
    if (!(it.mask & LVIF_TEXT) || !it.pszText || it.cchTextMax <= 0) return true;
    const std::string s = text(it.iItem, it.iSubItem);
    if (hdr->code == LVN_GETDISPINFOW) {
        const std::wstring w = Widened(s);
        lstrcpynW(it.pszText, w.c_str(), it.cchTextMax);
    } else {
        const std::string ansi = ToAnsi(s);
        lstrcpynA(reinterpret_cast<char*>(it.pszText), ansi.c_str(), it.cchTextMax);
    }
    return true;
}

}  // namespace platform
