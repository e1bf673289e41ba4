// List view cell texts, whole, both ways: reading a cell however long, and
// answering a list view that asks for one.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

namespace platform {

// A list view cell's whole text, however long.
std::string ListViewText(HWND list, int item, int subItem);

// Adds column `index` to a report-style list view: its heading, width and
// alignment (LVCFMT_LEFT or LVCFMT_RIGHT).
void AddListColumn(HWND list, int index, const char* heading, int width, int format = LVCFMT_LEFT);

// Answers a list view's request for a cell's text (LVN_GETDISPINFOA or W):
// `text(item, subItem)` gives it. Returns false for any other notification.
bool AnswerListViewText(NMHDR* hdr, const std::function<std::string(int item, int subItem)>& text);

}  // namespace platform
