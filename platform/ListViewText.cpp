#include "platform/ListViewText.h"

namespace platform {

std::string ListViewText(HWND list, int item, int subItem) {
    // The list view says only how much it copied: grow until it copies less.
    for (size_t size = 256;; size *= 4) {
        std::string s(size, '\0');
        LVITEMA it{};
        it.iSubItem = subItem;
        it.pszText = s.data();
        it.cchTextMax = static_cast<int>(size);
        const auto n = static_cast<size_t>(SendMessageA(list, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&it)));
        if (n + 1 < size) {
            s.resize(n);
            return s;
        }
    }
}

void AddListColumn(HWND list, int index, const char* heading, int width, int format) {
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
    col.fmt = format;
    col.cx = width;
    col.pszText = const_cast<char*>(heading);
    col.iSubItem = index;
    SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&col));
}

bool AnswerListViewText(NMHDR* hdr, const std::function<std::string(int, int)>& text) {
    if (hdr->code != LVN_GETDISPINFOA && hdr->code != LVN_GETDISPINFOW) return false;
    auto* di = reinterpret_cast<NMLVDISPINFOA*>(hdr);  // the same layout in both forms
    LVITEMA& it = di->item;
    if (!(it.mask & LVIF_TEXT) || !it.pszText || it.cchTextMax <= 0) return true;
    const std::string s = text(it.iItem, it.iSubItem);
    if (hdr->code == LVN_GETDISPINFOA) {
        lstrcpynA(it.pszText, s.c_str(), it.cchTextMax);
    } else {
        auto* w = reinterpret_cast<wchar_t*>(it.pszText);
        if (!MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, w, it.cchTextMax)) w[it.cchTextMax - 1] = 0;
    }
    return true;
}

}  // namespace platform
