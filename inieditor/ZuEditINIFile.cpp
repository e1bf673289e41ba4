#include "inieditor/ZuEditINIFile.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <unordered_set>

#include <windowsx.h>

#include "about/xDialogs.h"
#include "platform/Application.h"
#include "platform/Dpi.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/IniSave.h"
#include "platform/IniText.h"
#include "platform/Names.h"
#include "platform/Text.h"

using platform::ControlDef;
using platform::ControlKind;
using platform::Button;

namespace inieditor {

using C = EditINIFileControls;

namespace {

constexpr int kHeaderHeight = 22;
constexpr int kGridHeight = 150;
constexpr int kKeyColumn = 150;
// Blocks kept with windows above and below the view, so that a little
// scrolling makes none.
constexpr int kBlocksAroundView = 4;

const char kProblemsLoading[] = "Problems loading .INI file !";
const char kByteOrderMarkCaption[] =
    "Edit .INI file - it starts with a byte-order mark: Agent and Windows do not see its first section";


}  // namespace

std::vector<std::pair<std::string, std::string>> ChangedValues(const std::vector<IniRow>& rows) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& r : rows) {
        if (r.changed && !r.duplicate && !r.key.empty()) out.emplace_back(r.key, r.value);
    }
    return out;
}

std::vector<int> SectionTops(const std::vector<bool>& expanded, int headerHeight, int gridHeight) {
    std::vector<int> tops(expanded.size() + 1, 0);
    for (size_t i = 0; i < expanded.size(); ++i) tops[i + 1] = tops[i] + headerHeight + (expanded[i] ? gridHeight : 0);
    return tops;
}

std::pair<int, int> SectionsInView(const std::vector<int>& tops, int scrollPos, int height, int margin) {
    const int count = static_cast<int>(tops.size()) - 1;
    if (count <= 0) return {0, 0};
    // The first block whose bottom is below the view's top, and the first
    // whose top is at or below the view's bottom.
    const int first = static_cast<int>(std::upper_bound(tops.begin() + 1, tops.end(), scrollPos) - tops.begin()) - 1;
    const int last = static_cast<int>(std::lower_bound(tops.begin(), tops.end() - 1, scrollPos + height) - tops.begin());
    return {std::max(0, first - margin), std::min(count, std::max(last, first + 1) + margin)};
}

std::vector<IniRow> RowsFromLines(const std::vector<std::string>& lines) {
    std::vector<IniRow> rows;
    // The keys seen so far, found in a lookup rather than by asking every
    // row before: a section of 20,000 keys opens in seconds, not minutes.
    std::unordered_set<std::string> seen;
    for (const auto& l : lines) {
        const auto eq = l.find('=');
        IniRow row{l.substr(0, eq), eq == std::string::npos ? std::string() : l.substr(eq + 1)};
        row.duplicate = !seen.insert(platform::MatchedName(row.key)).second;
        rows.push_back(std::move(row));
    }
    if (rows.empty()) rows.push_back({});
    return rows;
}

platform::FormDef EditINIFileFormDef() {
    using namespace platform;
    // No default or cancel button: Escape belongs to the window's own keys.
    FormDef d{.windowClass = "TFrmZuEditINIFile", .name = "FrmZuEditINIFile", .caption = "Edit .INI file",
              .place = {0, 0, 529, 408}, .minSize = {429, 260}, .keyPreview = true,
              .placement = Placement::RememberedCentred};
    auto button = [](const char* name, int left, unsigned anchors, const char* caption, const char* hint, int help,
                     int tab) {
        return Button({.name = name, .parent = C::PanelBottom, .place = {left, 4, left < 200 ? 88 : 75, 25},
                       .anchors = anchors, .caption = caption, .hint = hint, .helpContext = help, .tabOrder = tab});
    };
    const unsigned right = akTop | akRight;
    d.controls = {
        {.name = C::ScrollBoxINIFile, .kind = ControlKind::Panel, .place = {4, 4, 513, 337}, .anchors = akAll,
         .tabOrder = 0, .style = WS_VSCROLL, .exStyle = WS_EX_CLIENTEDGE},
        {.name = C::PanelBottom, .kind = ControlKind::Panel, .place = {4, 344, 513, 33},
         .anchors = akLeft | akRight | akBottom, .tabOrder = 1, .bevel = Bevel::Lowered},
        button(C::BitBtnCollapseAll, 4, akLeft | akTop, "&Collapse all",
               "Collapse all sections|Collapses all sections that are expanded (this is the same as clicking on each "
               "section that is open).",
               1, 0),
        button(C::BitBtnExpandAll, 92, akLeft | akTop, "&Expand all",
               "Expand all sections|Expands all sections that are collapsed (this is the same as clicking on each "
               "section that is closed)",
               2, 1),
        button(C::BitBtnReload, 280, right, "&Reload",
               "Reload all sections|Clears all sections and reload them all directly from the .INI file. Note! This "
               "will discard any changes made.",
               3, 2),
        button(C::BitBtnSave, 356, right, "&Save",
               "Save all changes and exit.|Saves each section to the .INI file and closes the dialog.", 4, 3),
        button(C::BitBtnCancel, 432, right, "C&ancel",
               "Cancel all changes and exit.|Closes the dialog without saving anything.", 5, 4),
    };
    d.controls.back().modalResult = mrAbort;
    return d;
}

TFrmZuEditINIFile::TFrmZuEditINIFile(HWND owner) : Form(EditINIFileFormDef(), owner) {}

void TFrmZuEditINIFile::OnCreate() {
    SetGlyph(C::BitBtnCollapseAll, "BBNO");
    SetGlyph(C::BitBtnExpandAll, "BBALL");
    SetGlyph(C::BitBtnReload, "BBRETRY");
    SetGlyph(C::BitBtnSave, "BBOK");
    SetGlyph(C::BitBtnCancel, "BBCANCEL");
    MakeBoldFont();
    OnClick(C::BitBtnCollapseAll, [this] { BitBtnCollapseAllClick(); });
    OnClick(C::BitBtnExpandAll, [this] { BitBtnExpandAllClick(); });
    OnClick(C::BitBtnReload, [this] { BitBtnReloadClick(); });
    OnClick(C::BitBtnSave, [this] { BitBtnSaveClick(); });
}

bool TFrmZuEditINIFile::LoadINIFile(const std::string& path) {
    path_ = path;
    // A save a crash cut off is finished or undone before the file is read.
    platform::RecoverInterruptedSave(path);
    if (!platform::FileExists(path)) return false;
    // A file that starts with UTF-8's byte-order mark hides its first
    // section from Windows' service, and so from Agent (Wine's reads it).
    if (platform::StartsWithByteOrderMark(path)) platform::PutWindowText(Handle(), kByteOrderMarkCaption);
    platform::IniFile ini(path);
    std::vector<std::string> names;
    ini.ReadSections(names);
    platform::SortNamesLocale(names);
    // Every section's rows are read now, so Save and Reload never depend on
    // which blocks have windows; the windows come and go with the view.
    for (size_t i = 0; i < names.size(); ++i) {
        Section s;
        s.name = names[i];
        // Sorted by the same comparison, names that are equal stand together:
        // a name's earlier occurrences are those just before it.
        // (Equal as the service matches names, whatever the user's locale.)
        if (i > 0 && platform::MatchedName(names[i - 1]) == platform::MatchedName(s.name)) {
            s.occurrence = sections_.back().occurrence + 1;
        }
        s.expanded = i == 0;
        sections_.push_back(std::move(s));
    }
    ReadRows(ini);
    LayoutSections();
    return true;
}

void TFrmZuEditINIFile::ReadRows(const platform::IniFile& ini) {
    for (Section& s : sections_) {
        std::vector<std::string> lines;
        if (s.occurrence == 0) {
            ini.ReadSectionValues(s.name, lines);
            s.rows = RowsFromLines(lines);
            continue;
        }
        // A later section of a name already seen: the file service reads and
        // writes only the first, so this one is shown read-only.
        ini.ReadLaterSectionValues(s.name, s.occurrence, lines);
        s.rows = RowsFromLines(lines);
        for (IniRow& r : s.rows) r.duplicate = true;
    }
}

void TFrmZuEditINIFile::EnsureBlock(int n) {
    Section& s = sections_[n - 1];
    if (!s.panel) {
        const std::string tag = std::to_string(n);
        const bool wasLoading = loading_;
        loading_ = true;
        s.panel = AddControl({.name = C::PanelSection + tag, .kind = ControlKind::Panel, .parent = C::ScrollBoxINIFile,
                              .place = {0, 0, 10, kHeaderHeight}, .caption = s.name, .managed = true});
        s.header = AddControl(platform::Button(
            {.name = C::AButton + tag, .parent = C::PanelSection + tag, .place = {0, 0, 10, kHeaderHeight},
             .caption = s.name,
             .hint = "Collapse/Expand the '" + s.name +
                     "' section|Toggles the visibility of the section attached to this button.",
             .helpContext = 1000 + n - 1, .style = BS_AUTOCHECKBOX | BS_PUSHLIKE | BS_LEFT, .managed = true}));
        SetWindowSubclass(s.header, &TFrmZuEditINIFile::HeaderProc, 0, 0);
        OnClick(C::AButton + tag, [this, n] { SBtnSectionClick(n); });
        SendMessageA(s.header, WM_SETFONT, reinterpret_cast<WPARAM>(bold_.get()), FALSE);
        SendMessageA(s.header, BM_SETCHECK, s.expanded ? BST_CHECKED : BST_UNCHECKED, 0);
        loading_ = wasLoading;
    }
    if (s.expanded) EnsureGrid(n);
}

void TFrmZuEditINIFile::ReleaseBlock(int n) {
    Section& s = sections_[n - 1];
    if (!s.panel) return;
    Commit(n);  // what was typed there is kept in its row
    HWND focus = GetFocus();
    if (focus && (focus == s.panel || IsChild(s.panel, focus))) FocusScrollArea();
    for (HWND w : {s.grid, s.editor}) windowSection_.erase(w);
    if (s.grid) windowSection_.erase(reinterpret_cast<HWND>(SendMessageA(s.grid, LVM_GETHEADER, 0, 0)));
    RemoveControl(C::PanelSection + std::to_string(n));
    s.panel = s.header = s.grid = s.editor = s.label = nullptr;
}

void TFrmZuEditINIFile::EnsureGrid(int n) {
    // A section's grid is made when it is first shown: a file of hundreds
    // of sections opens with one grid, not hundreds.
    Section& s = sections_[n - 1];
    if (s.grid || !s.panel) return;
    const std::string tag = std::to_string(n);
    const std::string panelName = C::PanelSection + tag;
    const bool wasLoading = loading_;
    loading_ = true;
    s.grid = AddControl({.name = C::AValList + tag, .kind = ControlKind::ListView, .parent = panelName,
                         .place = {0, kHeaderHeight, 10, kGridHeight},
                         .hint = s.occurrence == 0
                                     ? "|This grid contains the keys and values that are defined in the .INI file."
                                     : "|This grid contains the keys and values of a later section of the same name "
                                       "in the .INI file. Only the first section of a name can be changed, so these "
                                       "are read-only.",
                         .helpContext = 2000 + n - 1,
                         .style = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | LVS_OWNERDATA |
                                  WS_CLIPSIBLINGS,
                         .spoken = s.name, .managed = true});
    SetWindowSubclass(s.grid, &TFrmZuEditINIFile::GridProc, n, reinterpret_cast<DWORD_PTR>(this));
    SetWindowLongA(s.grid, GWL_EXSTYLE, GetWindowLongA(s.grid, GWL_EXSTYLE) & ~WS_EX_CLIENTEDGE);
    SetWindowLongA(s.grid, GWL_STYLE, GetWindowLongA(s.grid, GWL_STYLE) | WS_BORDER);
    ListView_SetExtendedListViewStyle(s.grid, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    platform::AddListColumn(s.grid, 0, "Key", Scale(kKeyColumn));
    platform::AddListColumn(s.grid, 1, "Value", Scale(200));
    // The row height: a one-pixel-wide image list of 18 pixels.
    HIMAGELIST rows = ImageList_Create(1, Scale(18), ILC_COLOR, 1, 0);
    ListView_SetImageList(s.grid, rows, LVSIL_SMALL);
    s.editor = AddControl({.name = C::AValEdit + tag, .kind = ControlKind::Edit, .parent = panelName,
                           .place = {0, 0, 10, 18}, .helpContext = 2000 + n - 1, .tabOrder = 2, .managed = true});
    SetWindowSubclass(s.editor, &TFrmZuEditINIFile::EditorProc, n, reinterpret_cast<DWORD_PTR>(this));
    SetWindowLongA(s.editor, GWL_EXSTYLE, GetWindowLongA(s.editor, GWL_EXSTYLE) & ~WS_EX_CLIENTEDGE);
    SetWindowPos(s.editor, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    // The field's name for a screen reader, "Value of <key>": a hidden label
    // just before it in the z-order, where a field's label stands.
    s.label = AddControl({.name = C::AValName + tag, .parent = panelName, .place = {0, 0, 0, 0},
                          .style = SS_NOPREFIX, .managed = true});
    SetWindowPos(s.label, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_HIDEWINDOW);  // the editor comes next
    windowSection_[s.grid] = n;
    windowSection_[s.editor] = n;
    windowSection_[reinterpret_cast<HWND>(SendMessageA(s.grid, LVM_GETHEADER, 0, 0))] = n;
    loading_ = wasLoading;
    SendMessageA(s.grid, LVM_SETITEMCOUNT, s.rows.size(), 0);
    EnterRow(n, s.current);
}

void TFrmZuEditINIFile::FillGrid(int n) {
    Section& s = sections_[n - 1];
    if (!s.grid) return;
    SendMessageA(s.grid, LVM_SETITEMCOUNT, s.rows.size(), 0);
    InvalidateRect(s.grid, nullptr, TRUE);
    EnterRow(n, 0);
}

bool TFrmZuEditINIFile::Expanded(int n) const { return sections_[n - 1].expanded; }

std::vector<int> TFrmZuEditINIFile::BlockTops() const {
    std::vector<bool> expanded(sections_.size());
    for (size_t i = 0; i < sections_.size(); ++i) expanded[i] = sections_[i].expanded;
    return SectionTops(expanded, Scale(kHeaderHeight), Scale(kGridHeight));
}

void TFrmZuEditINIFile::LayoutSections() {
    HWND box = Control(C::ScrollBoxINIFile);
    RECT rc;
    GetClientRect(box, &rc);
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    const std::vector<int> tops = BlockTops();
    const int total = tops.back();
    scrollPos_ = std::max(0, std::min(scrollPos_, total - height));
    const auto [first, last] = SectionsInView(tops, scrollPos_, height, kBlocksAroundView);
    // Windows only for the blocks in view and a few around them.
    for (auto it = live_.begin(); it != live_.end();) {
        const int i = *it;
        if (i < first || i >= last) {
            ReleaseBlock(i + 1);
            it = live_.erase(it);
        } else {
            ++it;
        }
    }
    for (int i = first; i < last; ++i) {
        const int n = i + 1;
        EnsureBlock(n);
        live_.insert(i);
        const Section& s = sections_[i];
        SetWindowPos(s.panel, nullptr, 0, tops[i] - scrollPos_, width, tops[i + 1] - tops[i],
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
        SetWindowPos(s.header, nullptr, 0, 0, width, Scale(kHeaderHeight), SWP_NOZORDER | SWP_NOACTIVATE);
        if (!s.grid) continue;
        SetWindowPos(s.grid, nullptr, 0, Scale(kHeaderHeight), width, Scale(kGridHeight), SWP_NOZORDER | SWP_NOACTIVATE);
        ShowWindow(s.grid, s.expanded ? SW_SHOWNA : SW_HIDE);
        RECT gc;
        GetClientRect(s.grid, &gc);
        const int key = static_cast<int>(SendMessageA(s.grid, LVM_GETCOLUMNWIDTH, 0, 0));
        SendMessageA(s.grid, LVM_SETCOLUMNWIDTH, 1, std::max(Scale(20), static_cast<int>(gc.right) - key));
        PlaceEditor(n);
    }
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = std::max(0, total - 1);
    si.nPage = static_cast<UINT>(height);
    si.nPos = scrollPos_;
    SetScrollInfo(box, SB_VERT, &si, TRUE);
    // Blocks made for the view and blocks moved within it are drawn anew:
    // the pixels a move would carry along are those of another block.
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TFrmZuEditINIFile::MakeBoldFont() {
    LOGFONTW lf{};
    GetObjectW(Font(), sizeof lf, &lf);
    lf.lfWeight = FW_BOLD;
    bold_.reset(CreateFontIndirectW(&lf));
}

void TFrmZuEditINIFile::OnDpiChanged(int oldDpi) {
    const platform::UniqueFont previous = std::move(bold_);  // in use until the headers have the new one
    MakeBoldFont();
    for (const Section& s : sections_) {
        if (s.header) SendMessageA(s.header, WM_SETFONT, reinterpret_cast<WPARAM>(bold_.get()), FALSE);
        if (!s.grid) continue;
        const int key = static_cast<int>(SendMessageA(s.grid, LVM_GETCOLUMNWIDTH, 0, 0));
        SendMessageA(s.grid, LVM_SETCOLUMNWIDTH, 0, platform::RescaleDpi(key, oldDpi, Dpi()));
        // The grid owns its row-height list; the one it gives back is ours to destroy.
        if (HIMAGELIST old = ListView_SetImageList(s.grid, ImageList_Create(1, Scale(18), ILC_COLOR, 1, 0), LVSIL_SMALL)) {
            ImageList_Destroy(old);
        }
    }
    LayoutSections();
}

void TFrmZuEditINIFile::OnResize() {
    if (!sections_.empty()) LayoutSections();
}

// Where the editor stands in a value cell, and so where its text starts.
int TFrmZuEditINIFile::EditorTextLeft(int n) const {
    const DWORD margins = static_cast<DWORD>(SendMessageA(sections_[n - 1].editor, EM_GETMARGINS, 0, 0));
    return kEditorInset + LOWORD(margins);
}

int TFrmZuEditINIFile::RowTextTop(int n, const RECT& cell) const {
    // Where the grid draws the text of a row: its line centred in the cell.
    HWND editor = sections_[n - 1].editor;
    HDC dc = GetDC(editor);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(editor, WM_GETFONT, 0, 0)));
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(editor, dc);
    return cell.top + (cell.bottom - cell.top - tm.tmHeight) / 2;
}

void TFrmZuEditINIFile::DrawValueAsEdited(int n, HDC dc, int row) {
    const Section& s = sections_[n - 1];
    RECT cell{};
    cell.top = 1;
    cell.left = LVIR_BOUNDS;
    if (!SendMessageA(s.grid, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell))) return;
    RECT text{cell.left + EditorTextLeft(n), RowTextTop(n, cell), cell.right - 1, cell.bottom};
    // As much as the grid itself shows of a value.
    const std::wstring value = platform::Widened(s.rows[row].value);
    const int shown = static_cast<int>(std::min<size_t>(value.size(), 259));
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour =
        SetTextColor(dc, GetSysColor(s.rows[row].duplicate ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(s.editor, WM_GETFONT, 0, 0)));
    DrawTextW(dc, value.c_str(), shown, &text, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, oldFont);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}

void TFrmZuEditINIFile::PlaceEditor(int n) {
    Section& s = sections_[n - 1];
    if (!s.grid) return;
    RECT cell{};
    cell.top = 1;  // the value column
    cell.left = LVIR_BOUNDS;
    const bool have = Expanded(n) && SendMessageA(s.grid, LVM_GETSUBITEMRECT, s.current, reinterpret_cast<LPARAM>(&cell));
    RECT client;
    GetClientRect(s.grid, &client);
    HWND header = reinterpret_cast<HWND>(SendMessageA(s.grid, LVM_GETHEADER, 0, 0));
    RECT hr{};
    if (header) GetWindowRect(header, &hr);
    const int headerBottom = hr.bottom - hr.top;
    if (!have || cell.top < headerBottom || cell.bottom > client.bottom) {
        ShowWindow(s.editor, SW_HIDE);
        return;
    }
    MapWindowPoints(s.grid, s.panel, reinterpret_cast<POINT*>(&cell), 2);
    // The editor's text on the line the grid draws the row's key on.
    const int textTop = RowTextTop(n, cell);
    RECT format{};
    SendMessageA(s.editor, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    const int top = std::max<int>(cell.top + 1, textTop - format.top);
    SetWindowPos(s.editor, s.label ? s.label : HWND_TOP, cell.left + kEditorInset, top, cell.right - cell.left - 3,
                 cell.bottom - 1 - top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void TFrmZuEditINIFile::EnterRow(int n, int row) {
    Section& s = sections_[n - 1];
    if (!s.grid) return;
    s.current = std::max(0, std::min(row, static_cast<int>(s.rows.size()) - 1));
    s.entered = s.rows[s.current].value;
    s.typed = false;
    loading_ = true;
    platform::PutWindowText(s.editor, s.entered);
    loading_ = false;
    platform::PutWindowText(s.label, "Value of " + s.rows[s.current].key);
    SendMessageA(s.editor, EM_SETREADONLY, ReadOnlyRow(s) ? TRUE : FALSE, 0);
    ListView_SetItemState(s.grid, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(s.grid, s.current, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(s.grid, s.current, FALSE);
    PlaceEditor(n);
    // The whole value is selected, as a list editor does: typing replaces
    // it, an arrow key keeps it.
    SendMessageA(s.editor, EM_SETSEL, 0, -1);
}

bool TFrmZuEditINIFile::ReadOnlyRow(const Section& s) const {
    // The one empty row of a section without keys takes no value (it would
    // be written under a key without a name), nor does a duplicate key.
    const IniRow& r = s.rows[s.current];
    return r.key.empty() || r.duplicate;
}

LRESULT CALLBACK TFrmZuEditINIFile::GridProc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR n, DWORD_PTR self) {
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(w, &GridProc, n);
    // The form decides what the wheel scrolls: the grid under the pointer,
    // or the section list when that grid has nothing left that way.
    if (msg == WM_MOUSEWHEEL) return SendMessageA(reinterpret_cast<TFrmZuEditINIFile*>(self)->Handle(), msg, wp, lp);
    const LRESULT r = DefSubclassProc(w, msg, wp, lp);
    try {
        // The list view scrolls itself (wheel, scroll bar, keys, a resize);
        // the value editor follows, or hides while its cell is out of view.
        switch (msg) {
            case WM_VSCROLL: case WM_HSCROLL: case WM_MOUSEWHEEL: case WM_MOUSEHWHEEL: case WM_KEYDOWN: case WM_SIZE:
                reinterpret_cast<TFrmZuEditINIFile*>(self)->PlaceEditor(static_cast<int>(n));
                break;
            default:
                break;
        }
    } catch (...) {
        platform::Application::Instance().HandleCurrentException();
    }
    return r;
}

LRESULT CALLBACK TFrmZuEditINIFile::EditorProc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR n, DWORD_PTR self) {
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(w, &EditorProc, n);
    if (msg == WM_MOUSEWHEEL) return SendMessageA(reinterpret_cast<TFrmZuEditINIFile*>(self)->Handle(), msg, wp, lp);
    return DefSubclassProc(w, msg, wp, lp);
}

LRESULT CALLBACK TFrmZuEditINIFile::HeaderProc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
    // A header toggles its section like a flat tool button: the click never
    // takes the keyboard focus from where the user is working.
    auto inside = [w, lp] {
        RECT rc;
        GetClientRect(w, &rc);
        return PtInRect(&rc, POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))}) != FALSE;
    };
    switch (msg) {
        case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK:
            SetCapture(w);
            SendMessageA(w, BM_SETSTATE, TRUE, 0);
            return 0;
        case WM_MOUSEMOVE:
            if (GetCapture() == w) SendMessageA(w, BM_SETSTATE, inside(), 0);
            return 0;
        case WM_LBUTTONUP:
            if (GetCapture() == w) {
                const bool click = inside();
                ReleaseCapture();
                if (click) {
                    const bool checked = SendMessageA(w, BM_GETCHECK, 0, 0) == BST_CHECKED;
                    SendMessageA(w, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
                    SendMessageA(GetParent(w), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w), BN_CLICKED),
                                 reinterpret_cast<LPARAM>(w));
                }
            }
            return 0;
        case WM_CAPTURECHANGED:
            SendMessageA(w, BM_SETSTATE, FALSE, 0);
            return 0;
        case WM_NCDESTROY:
            RemoveWindowSubclass(w, &HeaderProc, id);
            break;
        default:
            break;
    }
    return DefSubclassProc(w, msg, wp, lp);
}

void TFrmZuEditINIFile::SetCurrentRow(int n, int row) {
    Commit(n);
    EnterRow(n, row);
}

void TFrmZuEditINIFile::Commit(int n) {
    Section& s = sections_[n - 1];
    if (!s.typed || !s.editor) return;
    // Leaving a cell after typing in it marks the row, whatever the text is now.
    const std::string text = platform::WindowText(s.editor);
    s.rows[s.current].value = text;
    s.rows[s.current].changed = true;
    s.entered = text;
    s.typed = false;
    InvalidateRect(s.grid, nullptr, FALSE);
}

void TFrmZuEditINIFile::CommitAll() {
    for (int n = 1; n <= SectionCount(); ++n) Commit(n);
}

int TFrmZuEditINIFile::SectionOf(HWND control) const {
    const auto it = windowSection_.find(control);
    if (it == windowSection_.end()) return 0;
    // The grid's own column header reports through the grid's section too,
    // but is not one of the section's controls.
    const Section& s = sections_[it->second - 1];
    return control == s.grid || control == s.editor ? it->second : 0;
}

int TFrmZuEditINIFile::FocusedSection() const { return SectionOf(GetFocus()); }

void TFrmZuEditINIFile::FocusScrollArea() {
    HWND box = Control(C::ScrollBoxINIFile);
    SetFocus(box);
}

void TFrmZuEditINIFile::SBtnSectionClick(int n) {
    if (n < 1 || n > SectionCount()) return;
    // The header has toggled itself already: the section follows it.
    Section& s = sections_[n - 1];
    if (s.header) s.expanded = SendMessageA(s.header, BM_GETCHECK, 0, 0) == BST_CHECKED;
    SetExpanded(n, s.expanded);
    LayoutSections();
}

void TFrmZuEditINIFile::SetExpanded(int n, bool expanded) {
    Section& s = sections_[n - 1];
    if (!expanded) Commit(n);
    s.expanded = expanded;
    if (s.header) SendMessageA(s.header, BM_SETCHECK, expanded ? BST_CHECKED : BST_UNCHECKED, 0);
    if (expanded) EnsureGrid(n);
}

void TFrmZuEditINIFile::SetAllSections(bool expanded) {
    // As a click on each header in turn, with one layout at the end.
    platform::BusyCursor busy;
    for (int n = 1; n <= SectionCount(); ++n) SetExpanded(n, expanded);
    LayoutSections();
    FocusScrollArea();
}

void TFrmZuEditINIFile::BitBtnCollapseAllClick() { SetAllSections(false); }

void TFrmZuEditINIFile::BitBtnExpandAllClick() { SetAllSections(true); }

void TFrmZuEditINIFile::BitBtnReloadClick() {
    if (path_.empty() || !platform::FileExists(path_)) {
        about::ShowError(kProblemsLoading);
        return;
    }
    platform::BusyCursor busy;
    platform::IniFile ini(path_);
    ReadRows(ini);
    for (int n = 1; n <= SectionCount(); ++n) {
        sections_[n - 1].current = 0;
        FillGrid(n);
    }
    FocusScrollArea();
}

void TFrmZuEditINIFile::BitBtnSaveClick() {
    if (path_.empty() || !platform::FileExists(path_)) {
        about::ShowError(kProblemsLoading);
        return;
    }
    CommitAll();  // a value being typed counts as left
    struct Restore {
        TFrmZuEditINIFile* f;
        ~Restore() { f->FocusScrollArea(); }
    } restore{this};
    platform::BusyCursor busy;
    // All the changed values or, with the file as it was, none of them.
    platform::IniSave save(path_);
    for (const Section& s : sections_) {
        if (s.name.empty() || s.occurrence > 0) continue;
        // Each changed row with its own value: of two changed rows with one
        // key, the later one is what the file keeps.
        for (const auto& [key, value] : ChangedValues(s.rows)) save.WriteString(s.name, key, value);
    }
    save.Commit();
    SetModalResult(platform::mrOk);
}

bool TFrmZuEditINIFile::OnCloseQuery() {
    // Closed through its frame with values typed, it asks, as the other
    // dialogs with unsaved work do; Escape and Cancel close at once.
    if (ModalResultValue() != platform::mrCancel) return true;
    bool typed = false;
    for (const Section& s : sections_) {
        typed = typed || s.typed || std::any_of(s.rows.begin(), s.rows.end(), [](const IniRow& r) { return r.changed; });
    }
    return !typed || about::ShowMessageDialog("Cancel all changes ?", about::MsgKind::Confirmation,
                                              about::mbYes | about::mbNo, 0) == IDYES;
}

void TFrmZuEditINIFile::MoveToSection(bool forward) {
    if (sections_.empty()) return;
    const int first = 1, last = SectionCount();
    const int t = FocusedSection();
    int target;
    if (t) target = forward ? (t + 1 <= last ? t + 1 : first) : (t - 1 >= first ? t - 1 : last);
    else target = forward ? first : last;
    if (target == t) return;
    // The target opens, the section left behind closes, and the target's
    // block is scrolled into view (which gives it its windows) and focused.
    SetExpanded(target, true);
    if (t) SetExpanded(t, false);
    ScrollIntoView(target);
    SetFocus(sections_[target - 1].editor);
}

void TFrmZuEditINIFile::ScrollIntoView(int n) {
    const std::vector<int> tops = BlockTops();
    RECT br;
    GetClientRect(Control(C::ScrollBoxINIFile), &br);
    const int top = tops[n - 1], bottom = tops[n];
    if (top < scrollPos_) scrollPos_ = top;
    else if (bottom > scrollPos_ + br.bottom) scrollPos_ = std::min(top, bottom - static_cast<int>(br.bottom));
    LayoutSections();
}

bool TFrmZuEditINIFile::TabToSection(int from, bool forward) {
    // Tab goes from the value field of one open section to that of the
    // next, as the dialog manager cannot: most blocks have no windows.
    int target = from;
    do {
        target += forward ? 1 : -1;
    } while (target >= 1 && target <= SectionCount() && !Expanded(target));
    if (target < 1 || target > SectionCount()) return false;  // on to the buttons
    Commit(from);
    ScrollIntoView(target);
    Section& s = sections_[target - 1];
    EnterRow(target, s.current);  // its cell in view, the field over it
    SetFocus(s.editor);
    SendMessageA(s.editor, EM_SETSEL, 0, -1);
    return true;
}

bool TFrmZuEditINIFile::OnKeyDown(WPARAM key, unsigned shift) {
    if (key == VK_TAB && (shift == platform::ssCtrl || shift == (platform::ssCtrl | platform::ssShift))) {
        MoveToSection(shift == platform::ssCtrl);
        return true;
    }
    if (key == VK_TAB && (shift == platform::ssNone || shift == platform::ssShift)) {
        const int n = FocusedSection();
        if (n && TabToSection(n, shift == platform::ssNone)) return true;
    }
    if (key == VK_ESCAPE && shift == platform::ssNone) {
        const int n = FocusedSection();
        if (n) {
            Section& s = sections_[n - 1];
            const std::string before = platform::WindowText(s.editor);
            loading_ = true;
            platform::PutWindowText(s.editor, s.entered);
            loading_ = false;
            s.typed = false;
            if (s.entered != before) return true;  // an edit undone; the dialog stays
        }
        SetModalResult(platform::mrAbort);
        return true;
    }
    const int n = FocusedSection();
    if (n && shift == platform::ssNone) {
        Section& s = sections_[n - 1];
        // The value editor moves through the rows as the grid's own cursor would.
        int step = 0;
        if (key == VK_UP) step = -1;
        else if (key == VK_DOWN) step = 1;
        else if (key == VK_PRIOR) step = -7;
        else if (key == VK_NEXT) step = 7;
        const int last = static_cast<int>(s.rows.size()) - 1;
        if (step != 0 && std::clamp(s.current + step, 0, last) == s.current) return true;  // stays in its cell
        if (step != 0) {
            SetCurrentRow(n, s.current + step);
            SetFocus(s.editor);
            return true;
        }
    }
    return false;
}


bool TFrmZuEditINIFile::OnNotify(NMHDR* hdr, LRESULT& result) {
    const int n = SectionOf(hdr->hwndFrom);
    if (!n) {
        // A grid's column header reports a column drag.
        const auto it = windowSection_.find(hdr->hwndFrom);
        if (it != windowSection_.end() && (hdr->code == HDN_ITEMCHANGEDA || hdr->code == HDN_ITEMCHANGEDW)) {
            PlaceEditor(it->second);
        }
        return false;
    }
    Section& s = sections_[n - 1];
    if (platform::AnswerListViewText(hdr, [&s](int item, int sub) {
            if (item < 0 || item >= static_cast<int>(s.rows.size())) return std::string();
            return sub == 0 ? s.rows[item].key : s.rows[item].value;
        })) {
        result = 0;
        return true;
    }
    switch (hdr->code) {
        case NM_CUSTOMDRAW: {
            // Duplicate keys are read-only, and look it.
            auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(hdr);
            if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) {
                result = CDRF_NOTIFYITEMDRAW;
            } else if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
                const size_t item = cd->nmcd.dwItemSpec;
                if (item < s.rows.size() && s.rows[item].duplicate) cd->clrText = GetSysColor(COLOR_GRAYTEXT);
                result = CDRF_NOTIFYSUBITEMDRAW;
            } else if (cd->nmcd.dwDrawStage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) {
                // A value is drawn where the editor draws it when its row is
                // entered, so that moving through the rows moves nothing but
                // the highlight: the grid draws the cell without its text
                // (the text in the background's colour), and the text
                // follows (the current row's stays the grid's: the editor
                // covers it).
                const size_t item = cd->nmcd.dwItemSpec;
                const bool own = cd->iSubItem == 1 && item < s.rows.size() && static_cast<int>(item) != s.current;
                if (own) cd->clrText = GetSysColor(COLOR_WINDOW);
                result = own ? CDRF_NOTIFYPOSTPAINT : CDRF_DODEFAULT;
            } else if (cd->nmcd.dwDrawStage == (CDDS_ITEMPOSTPAINT | CDDS_SUBITEM)) {
                DrawValueAsEdited(n, cd->nmcd.hdc, static_cast<int>(cd->nmcd.dwItemSpec));
                result = CDRF_DODEFAULT;
            } else {
                result = CDRF_DODEFAULT;
            }
            return true;
        }
        case LVN_ITEMCHANGED: {
            auto* lv = reinterpret_cast<NMLISTVIEW*>(hdr);
            if (!loading_ && lv->iItem >= 0 && (lv->uNewState & LVIS_FOCUSED) && !(lv->uOldState & LVIS_FOCUSED) &&
                lv->iItem != s.current) {
                Commit(n);
                EnterRow(n, lv->iItem);
            }
            return false;
        }
        case NM_SETFOCUS:
            // The editor is always shown in the current value cell: typing goes there.
            if (s.editor && IsWindowVisible(s.editor)) SetFocus(s.editor);
            return false;
        case LVN_ENDSCROLL:
            PlaceEditor(n);
            return false;
        default:
            return false;
    }
}

void TFrmZuEditINIFile::OnControlCommand(HWND control, WORD code) {
    const int n = SectionOf(control);
    if (n && control == sections_[n - 1].editor) {
        if (code == EN_CHANGE && !loading_) sections_[n - 1].typed = true;
        if (code == EN_KILLFOCUS) Commit(n);
    }
}

bool TFrmZuEditINIFile::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_CTLCOLORSTATIC) {
        // The value editor over a read-only row: grey text on the grid's background.
        const int n = SectionOf(reinterpret_cast<HWND>(lp));
        if (n && reinterpret_cast<HWND>(lp) == sections_[n - 1].editor) {
            HDC dc = reinterpret_cast<HDC>(wp);
            SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
            return true;
        }
    }
    if (msg == WM_MOUSEWHEEL) {
        Wheel(GET_WHEEL_DELTA_WPARAM(wp), POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        result = 0;
        return true;
    }
    if (msg == WM_VSCROLL && lp == 0) {
        HWND box = Control(C::ScrollBoxINIFile);
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_ALL;
        GetScrollInfo(box, SB_VERT, &si);
        switch (LOWORD(wp)) {
            case SB_LINEUP: scrollPos_ -= Scale(18); break;
            case SB_LINEDOWN: scrollPos_ += Scale(18); break;
            case SB_PAGEUP: scrollPos_ -= static_cast<int>(si.nPage); break;
            case SB_PAGEDOWN: scrollPos_ += static_cast<int>(si.nPage); break;
            case SB_THUMBTRACK:
            case SB_THUMBPOSITION: scrollPos_ = si.nTrackPos; break;
            case SB_TOP: scrollPos_ = 0; break;
            case SB_BOTTOM: scrollPos_ = si.nMax; break;
            default: break;
        }
        LayoutSections();
        result = 0;
        return true;
    }
    return false;
}

namespace {

// Whether a list view has more rows to show in that direction.
bool GridCanScroll(HWND grid, bool down) {
    if (!(GetWindowLongA(grid, GWL_STYLE) & WS_VSCROLL)) return false;
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    if (!GetScrollInfo(grid, SB_VERT, &si)) return false;
    return down ? si.nPos + static_cast<int>(si.nPage) <= si.nMax : si.nPos > si.nMin;
}

}  // namespace

void TFrmZuEditINIFile::Wheel(int delta, POINT at) {
    UINT perNotch = 3;
    SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &perNotch, 0);
    if (perNotch == WHEEL_PAGESCROLL) perNotch = 7;
    const int lines = -delta * static_cast<int>(perNotch) / WHEEL_DELTA;
    if (lines == 0) return;
    // The section whose block lies under the pointer, if it shows its grid.
    int n = 0;
    for (HWND h = WindowFromPoint(at); h && h != Handle() && !n; h = GetParent(h)) {
        for (int i : live_) {
            if (sections_[i].panel == h) n = i + 1;
        }
    }
    if (n && sections_[n - 1].grid && Expanded(n) && GridCanScroll(sections_[n - 1].grid, lines > 0)) {
        const Section& s = sections_[n - 1];
        RECT item{};
        item.left = LVIR_BOUNDS;
        SendMessageA(s.grid, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
        SendMessageA(s.grid, LVM_SCROLL, 0, lines * (item.bottom - item.top));
        PlaceEditor(n);
        return;
    }
    scrollPos_ += lines * Scale(18);
    LayoutSections();
}

bool EditIniFileButton(platform::Form& owner, const std::string& path, bool exists, const std::string& why) {
    bool saved = false;
    if (!exists) about::ShowError(".INI file not created yet!\rSave changes and try again." + (why.empty() ? "" : "\r" + why));
    else if (!EditIniFile(owner, path, &saved)) about::ShowError(kProblemsLoading);
    return saved;
}

bool EditIniFile(platform::Form& owner, const std::string& path, bool* saved) {
    TFrmZuEditINIFile editor(owner.Handle());
    editor.Create();
    bool loaded;
    {
        platform::BusyCursor busy;
        loaded = editor.LoadINIFile(path);
    }
    const bool ok = loaded && editor.ShowModal() == platform::mrOk;
    if (saved) *saved = ok;
    return loaded;
}

}  // namespace inieditor
