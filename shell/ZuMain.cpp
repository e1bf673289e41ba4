#include "shell/ZuMain.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>

#include "about/KelAboutVersion.h"
#include "about/xDialogs.h"
#include "platform/Application.h"
#include "platform/Checkpoints.h"
#include "platform/ColorBox.h"
#include "platform/Dpi.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/IniSave.h"
#include "platform/TextInk.h"
#include "platform/Workarounds.h"
#include "profiles/ZuEditProfile.h"
#include "profiles/ZuGlobal.h"
#include "settings/KelUtility.h"
#include "settings/RegSpecial.h"
#include "settings/ZuSetup.h"
#include "shell/KelPrevInst.h"

using platform::Application;
using platform::ControlDef;
using platform::ControlKind;

namespace shell {

using C = MainControls;

namespace {

constexpr UINT kCmdAbout = 666;
constexpr UINT kCmdToggleHints = 667;
constexpr UINT kCmdClearRegistry = 668;
constexpr int kColumns = 5;
const char* const kHeaders[kColumns] = {"", "Name", "Title", "NNTP server", "SMTP server"};
const char kEmptyGridHint[] = "No profiles yet: press + Add";
// Posted when the list view lost its selection, to select the current row again.
constexpr UINT kMsgReselect = WM_APP + 1;
// Sent by the grid for a double click that hits no row.
constexpr UINT kMsgGridDoubleClick = WM_APP + 2;

// The list view's and the header's own procedures, which the grid's come
// before. They are subclassed by hand: Wine keeps the data of the common
// controls' subclassing in a window property, and asks its server for it on
// every message, and the grid gets several for every row it draws.
WNDPROC listViewProc = nullptr;
WNDPROC headerProc = nullptr;

// The grid's own handling of a press that hits no row would clear the
// selection, so such a press only takes the focus. A double click anywhere
// in the grid still launches the selected profile, below the rows too.
void DrawEmptyGridHint(HWND grid) {
    const int count = ListView_GetItemCount(grid);
    char name[8] = {};
    if (count == 1) ListView_GetItemText(grid, 0, 1, name, sizeof name);
    if (count > 1 || name[0]) return;
    RECT area;
    GetClientRect(grid, &area);
    RECT row{};
    row.left = LVIR_BOUNDS;
    if (count == 1 && ListView_GetItemRect(grid, 0, &row, LVIR_BOUNDS)) area.top = row.bottom;
    area.top += platform::ScaleForDpi(8, platform::WindowDpi(grid));
    HDC dc = GetDC(grid);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(grid, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    DrawTextA(dc, kEmptyGridHint, -1, &area, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(grid, dc);
}

LRESULT CALLBACK GridProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: case WM_RBUTTONDOWN: case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN: case WM_MBUTTONDBLCLK: {
            LVHITTESTINFO hit{};
            hit.pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
            if (SendMessageA(w, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) < 0) {
                SetFocus(w);
                if (msg == WM_LBUTTONDBLCLK) SendMessageA(GetAncestor(w, GA_ROOT), kMsgGridDoubleClick, 0, 0);
                return 0;
            }
            break;
        }
        case WM_NOTIFY: {
            // The grid's columns are fitted to their texts, not sized by hand.
            const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
            if (hdr->hwndFrom == ListView_GetHeader(w) &&
                (hdr->code == HDN_BEGINTRACKA || hdr->code == HDN_BEGINTRACKW)) {
                return TRUE;
            }
            break;
        }
        case WM_PAINT: {
            // A grid of no profile (its one empty row) says what to do next.
            const LRESULT r = CallWindowProcW(listViewProc, w, msg, wp, lp);
            DrawEmptyGridHint(w);
            return r;
        }
        default:
            break;
    }
    return CallWindowProcW(listViewProc, w, msg, wp, lp);
}

// The grid's header row: a double click on it launches, as anywhere in the
// grid, and it offers no sizing (no sizing arrow over its dividers).
LRESULT CALLBACK HeaderProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_LBUTTONDBLCLK:
            SendMessageA(GetAncestor(w, GA_ROOT), kMsgGridDoubleClick, 0, 0);
            return 0;
        case WM_SETCURSOR:
            SetCursor(LoadCursor(nullptr, Application::Instance().Busy() ? IDC_WAIT : IDC_ARROW));
            return TRUE;
        default:
            break;
    }
    return CallWindowProcW(headerProc, w, msg, wp, lp);
}

const char kGridHint[] =
    "The Agent profiles that you have, double click/enter to launch (If Ctrl is pressed it reverses the "
    "\"Close Valdrix on launch\" setting).";

// A profile folder's launch-mode text as an integer: 0 when it is no number.
int LaunchModeValue(const std::string& text) {
    return platform::IniTextToInt(text, 0);
}

}  // namespace

platform::FormDef MainFormDef() {
    using namespace platform;
    FormDef d{.windowClass = kMainClassName, .name = "FrmZuMain", .place = {193, 123, 517, 388},
              .minSize = {481, 156}, .keyPreview = true, .defaultButton = C::BitBtnLaunch,
              .placement = Placement::Remembered};

    auto button = [](const char* name, int left, unsigned anchors, const char* caption, const char* hint, int help,
                     int tab) {
        return Button({.name = name, .parent = C::PanelButtons, .place = {left, 4, 75, 25}, .anchors = anchors,
                       .caption = caption, .hint = hint, .helpContext = help, .tabOrder = tab});
    };
    const unsigned right = akTop | akRight;
    d.controls = {
        {.name = C::PanelProfiles, .kind = ControlKind::Panel, .place = {4, 4, 501, 317}, .anchors = akAll,
         .hint = kGridHint, .helpContext = 1, .tabOrder = 0, .bevel = Bevel::Lowered},
        {.name = C::LabelProfiles, .parent = C::PanelProfiles, .place = {4, 4, 60, 13}, .caption = "Profiles",
         .hint = kGridHint, .helpContext = 1},
        {.name = C::StringGridProfiles, .kind = ControlKind::ListView, .parent = C::PanelProfiles,
         .place = {4, 20, 493, 293}, .anchors = akAll, .hint = kGridHint, .helpContext = 1, .tabOrder = 0,
         .style = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | LVS_OWNERDATA |
                  LVS_SHAREIMAGELISTS,
         .spoken = "Profiles"},
        {.name = C::PanelButtons, .kind = ControlKind::Panel, .place = {4, 324, 501, 33},
         .anchors = akLeft | akRight | akBottom, .tabOrder = 1, .bevel = Bevel::Lowered},
        button(C::BitBtnAdd, 4, akLeft | akTop, "&+ Add", "Add a new profile", 2, 0),
        button(C::BitBtnEdit, 80, akLeft | akTop, "&* Edit", "Edit selected profile", 3, 1),
        button(C::BitBtnDelete, 156, akLeft | akTop, "&- Delete", "Delete selected profile", 4, 2),
        button(C::BitBtnSetup, 268, right, "&Setup", "Edit program settings", 5, 5),
        button(C::BitBtnRefresh, 344, right, "&Refresh", "Refresh the list of profiles", 6, 4),
        button(C::BitBtnLaunch, 420, right, "&Launch",
               "Execute agent with the selected profile (If Ctrl is pressed it reverses the \"Close Valdrix on "
               "launch\" setting)",
               7, 3),
    };
    d.controls.back().style = BS_DEFPUSHBUTTON;
    return d;
}

void HotKeyParts(uint16_t shortcut, UINT& modifiers, UINT& key) {
    key = shortcut & 0x1FFF;
    modifiers = 0;
    if (shortcut & 0x4000) modifiers |= MOD_CONTROL;
    if (shortcut & 0x2000) modifiers |= MOD_SHIFT;
    if (shortcut & 0x8000) modifiers |= MOD_ALT;
}

bool LaunchCloses(const std::string& launchMode, unsigned shiftState) {
    bool close = LaunchModeValue(launchMode) != 0;
    if (shiftState == platform::ssCtrl) close = !close;
    return close;
}

std::string AgentProgramPath(const std::string& agentFolder) { return agentFolder + "Agent.exe"; }

void MainDialogs::EditProfile(HWND owner, const profiles::ProfileEntry* e) {
    profiles::TFrmZuEditProfile dialog(owner);
    // A save of the profile a crash cut off is finished or undone first.
    if (e) platform::RecoverInterruptedSave(profiles::ProfileIniPath(e->Name));
    dialog.Create();
    if (e) dialog.LoadProfile(e->LaunchMode, e->Name, e->Title, e->NewsServer, e->MailServer);
    else dialog.LoadProfile("", "", "", "", "");
    dialog.ShowModal();
}

bool MainDialogs::Setup(HWND owner) { return settings::RunSetupDialog(owner); }

void MainDialogs::About(HWND owner) { about::ShowAboutWindow(owner, settings::VersionKeyCaptions); }

namespace {
MainDialogs programDialogs;
}  // namespace

TFrmZuMain::TFrmZuMain(MainDialogs* dialogs)
    : Form(MainFormDef(), nullptr), dialogs_(dialogs ? *dialogs : programDialogs) {
    Application::Instance().SetMainForm(this);
}

TFrmZuMain::~TFrmZuMain() {
    ReleaseHotKey();
    if (Application::Instance().MainForm() == this) Application::Instance().SetMainForm(nullptr);
}

HWND TFrmZuMain::Grid() const { return Control(C::StringGridProfiles); }

void TFrmZuMain::OnCreate() {
    if (platform::Needed().managerMinimisesAnyWindow) {
        // The window manager draws the frame under Wine, and offers to
        // minimise any window; Wine follows it only for a window that may be
        // minimised. Without the style the window would stay minimised on
        // screen while the program took it for shown, and a second start
        // could not restore it. (The frame's buttons are the manager's.)
        SetWindowLongA(Handle(), GWL_STYLE, GetWindowLongA(Handle(), GWL_STYLE) | WS_MINIMIZEBOX);
    }
    shell::LetProtocolMessagesThrough(Handle());
    HMENU sys = GetSystemMenu(Handle(), FALSE);
    AppendMenuA(sys, MF_STRING, kCmdAbout, "&About ...\tShift+F1");
    AppendMenuA(sys, MF_STRING, kCmdToggleHints, "&Toggle hints\tCtrl+F1");
    AppendMenuA(sys, MF_STRING, kCmdClearRegistry, "C&lear registry ...");

    HWND grid = Grid();
    listViewProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(grid, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&GridProc)));
    headerProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(ListView_GetHeader(grid), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HeaderProc)));
    ListView_SetExtendedListViewStyle(grid, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    // A one-pixel-wide image list is how a list view is told its row height.
    // The grid only borrows it (it shares image lists): the window owns it.
    rowHeight_.reset(ImageList_Create(1, Scale(18), ILC_COLOR, 1, 0));
    ListView_SetImageList(grid, rowHeight_.get(), LVSIL_SMALL);
    for (int c = 0; c < kColumns; ++c) platform::AddListColumn(grid, c, kHeaders[c], Scale(64));
    OnClick(C::BitBtnAdd, [this] { BitBtnAddClick(); });
    OnClick(C::BitBtnEdit, [this] { BitBtnEditClick(); });
    OnClick(C::BitBtnDelete, [this] { BitBtnDeleteClick(); });
    OnClick(C::BitBtnSetup, [this] { BitBtnSetupClick(); });
    OnClick(C::BitBtnRefresh, [this] { BitBtnRefreshClick(); });
    OnClick(C::BitBtnLaunch, [this] { BitBtnLaunchClick(); });

    PELMARK_CHECKPOINT("main: grid made");
    FillProfileGrid();
    // The list view sizes its rows and sets up its scroll bars at its first
    // paint. On screen each step of that redraws the scroll bar, and under
    // Wine each such drawing costs milliseconds. Drawn once into memory while
    // the window is still hidden, it does that work where nothing is drawn,
    // and the first paint on screen draws the scroll bar once.
    platform::UniqueMemoryDC offScreen(CreateCompatibleDC(nullptr));
    SendMessageA(grid, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(offScreen.get()), PRF_CLIENT);
    PELMARK_CHECKPOINT("main: grid filled");

    Application::Instance().SetShowHint(settings::Settings.ShowHint);

    hotKeyId_ = GlobalAddAtomA("ValdrixHotkey");
    RegisterAppHotKey(settings::Settings.AppHotKey);

}

void TFrmZuMain::OnShow() { FocusGrid(); }

void TFrmZuMain::OnDestroy() { ReleaseHotKey(); }

void TFrmZuMain::OnDpiChanged(int oldDpi) {
    HWND grid = Grid();
    platform::UniqueImageList rows(ImageList_Create(1, Scale(18), ILC_COLOR, 1, 0));
    ListView_SetImageList(grid, rows.get(), LVSIL_SMALL);
    rowHeight_ = std::move(rows);  // the old list goes once the grid has the new one
    for (int c = 0; c < kColumns; ++c) SendMessageA(grid, LVM_SETCOLUMNWIDTH, c, platform::RescaleDpi(ColumnWidth(c), oldDpi, Dpi()));
}

void TFrmZuMain::ReleaseHotKey() {
    if (!hotKeyId_) return;
    if (Handle()) UnregisterHotKey(Handle(), hotKeyId_);
    GlobalDeleteAtom(hotKeyId_);
    hotKeyId_ = 0;
}

int TFrmZuMain::RowCount() const { return static_cast<int>(rows_.size()) + 1; }

int TFrmZuMain::CurrentRow() const { return currentRow_; }

void TFrmZuMain::SetCurrentRow(int row) {
    HWND grid = Grid();
    currentRow_ = std::clamp(row, 1, std::max(1, RowCount() - 1));
    const int item = currentRow_ - 1;
    // Only the rows that are selected lose it: a change of every row's state
    // notifies once per row, and takes a third of a second at 1,000.
    for (int i = ListView_GetNextItem(grid, -1, LVNI_SELECTED); i >= 0; i = ListView_GetNextItem(grid, i, LVNI_SELECTED)) {
        if (i != item) ListView_SetItemState(grid, i, 0, LVIS_SELECTED);
    }
    ListView_SetItemState(grid, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(grid, item, FALSE);
}

std::string TFrmZuMain::Cell(int column, int row) const {
    if (row < 1 || row > static_cast<int>(rows_.size()) || column < 0 || column >= kColumns) return {};
    return rows_[row - 1][column];
}

int TFrmZuMain::ColumnWidth(int column) const {
    return static_cast<int>(SendMessageA(Grid(), LVM_GETCOLUMNWIDTH, column, 0));
}

void TFrmZuMain::FillProfileGrid() {
    platform::BusyCursor busy;  // the disk is read: thousands of profiles take seconds
    HWND grid = Grid();
    const int remembered = CurrentRow();
    SendMessageA(grid, WM_SETREDRAW, FALSE, 0);
    // The grid holds its rows itself and the list view asks for the texts it
    // shows, so a refresh of thousands of profiles costs one call here.
    const auto entries = profiles::ListProfiles();
    PELMARK_CHECKPOINT("main: profiles read");
    rows_.assign(1, Row{});  // the one empty row of an empty grid
    for (size_t k = 0; k < entries.size(); ++k) {
        if (k > 0) rows_.emplace_back();
        rows_[k] = {entries[k].LaunchMode, entries[k].Name, entries[k].Title, entries[k].NewsServer,
                    entries[k].MailServer};
    }
    SendMessageA(grid, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL);
    const int rows = RowCount();
    SetCurrentRow(remembered < rows ? remembered : rows - 1);

    // Each column as wide as its widest text, header included, plus 6; the
    // list view's own cell margins come on top so that no text is cut. The
    // texts are measured once, in one device context with the grid's font.
    const int margins = 4 * platform::SystemMetricForDpi(SM_CXEDGE, Dpi()) + 4;
    platform::UniqueMemoryDC memory(CreateCompatibleDC(nullptr));
    HDC dc = memory.get();
    platform::SelectGuard selected(dc, reinterpret_cast<HFONT>(SendMessageA(grid, WM_GETFONT, 0, 0)));
    const platform::TextWidths width(dc);
    int widest[kColumns];
    for (int c = 0; c < kColumns; ++c) widest[c] = width(kHeaders[c]);
    for (const auto& e : entries) {
        widest[0] = std::max(widest[0], width(e.LaunchMode));
        widest[1] = std::max(widest[1], width(e.Name));
        widest[2] = std::max(widest[2], width(e.Title));
        widest[3] = std::max(widest[3], width(e.NewsServer));
        widest[4] = std::max(widest[4], width(e.MailServer));
    }
    PELMARK_CHECKPOINT("main: texts measured");
    for (int c = 0; c < kColumns; ++c) SendMessageA(grid, LVM_SETCOLUMNWIDTH, c, widest[c] + Scale(6) + margins);
    SendMessageA(grid, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(grid, nullptr, TRUE);
}

void TFrmZuMain::DrawLaunchCell(NMLVCUSTOMDRAW* cd) {
    HWND grid = Grid();
    const int item = static_cast<int>(cd->nmcd.dwItemSpec);
    RECT rc{};
    rc.left = LVIR_BOUNDS;
    if (!SendMessageA(grid, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&rc))) return;
    rc.right = rc.left + ColumnWidth(0);
    // Keep the grid lines the list view drew around the cell.
    rc.bottom -= 1;
    rc.right -= 1;
    HDC dc = cd->nmcd.hdc;
    const bool closes = LaunchModeValue(Cell(0, item + 1)) != 0;
    const COLORREF fill =
        platform::ColorToRGB(closes ? settings::Settings.ColorLaunchClose : settings::Settings.ColorLaunchStay);
    platform::UniqueBrush brush(CreateSolidBrush(fill));
    FillRect(dc, &rc, brush.get());
    DrawEdge(dc, &rc, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
    const bool selected =
        (SendMessageA(grid, LVM_GETITEMSTATE, item, LVIS_SELECTED) & LVIS_SELECTED) != 0;
    if (selected) {
        InflateRect(&rc, -1, -1);
        platform::UniquePen pen(CreatePen(PS_SOLID, 1, fill));
        platform::UniqueBrush marker(CreateSolidBrush(platform::MarkerColor(fill, GetSysColor(COLOR_WINDOWTEXT))));
        platform::SelectGuard withPen(dc, pen.get());
        platform::SelectGuard withBrush(dc, marker.get());
        const POINT tri[3] = {{rc.left, rc.top}, {rc.right, rc.top + (rc.bottom - rc.top) / 2}, {rc.left, rc.bottom}};
        Polygon(dc, tri, 3);
    }
}

bool TFrmZuMain::OnNotify(NMHDR* hdr, LRESULT& result) {
    if (hdr->hwndFrom != Grid()) return false;
    if (hdr->code == NM_CUSTOMDRAW) {
        auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(hdr);
        switch (cd->nmcd.dwDrawStage) {
            case CDDS_PREPAINT:
                result = CDRF_NOTIFYITEMDRAW;
                return true;
            case CDDS_ITEMPREPAINT:
                result = CDRF_NOTIFYPOSTPAINT;
                return true;
            case CDDS_ITEMPOSTPAINT:
                DrawLaunchCell(cd);
                result = CDRF_DODEFAULT;
                return true;
            default:
                result = CDRF_DODEFAULT;
                return true;
        }
    }
    if (platform::AnswerListViewText(hdr, [this](int item, int sub) { return Cell(sub, item + 1); })) {
        result = 0;
        return true;
    }
    if (hdr->code == LVN_ITEMCHANGED) {
        const auto* lv = reinterpret_cast<NMLISTVIEW*>(hdr);
        if (lv->iItem >= 0 && (lv->uChanged & LVIF_STATE) && (lv->uNewState & LVIS_SELECTED)) {
            currentRow_ = lv->iItem + 1;
        } else if ((lv->uOldState & LVIS_SELECTED) && !(lv->uNewState & LVIS_SELECTED)) {
            // There is always one selected row: a Ctrl+click on it must not
            // leave the actions without one.
            PostMessageA(Handle(), kMsgReselect, 0, 0);
        }
        return false;
    }
    if (hdr->code == LVN_ODFINDITEMA || hdr->code == LVN_ODFINDITEMW) {
        result = -1;  // the grid has no type-to-find: a letter moves nothing
        return true;
    }
    if (hdr->code == NM_DBLCLK) {
        if (reinterpret_cast<NMITEMACTIVATE*>(hdr)->iItem >= 0) StringGridProfilesDblClick();
        result = 0;
        return true;
    }
    return false;
}

void TFrmZuMain::FocusGrid() { Focus(C::StringGridProfiles); }

profiles::ProfileEntry TFrmZuMain::CurrentEntry() const {
    const int r = CurrentRow();
    return {Cell(0, r), Cell(1, r), Cell(2, r), Cell(3, r), Cell(4, r)};
}

void TFrmZuMain::RegisterAppHotKey(uint16_t shortcut) {
    UINT mods = 0, key = 0;
    HotKeyParts(shortcut, mods, key);
    // Without a shortcut, or with one another program holds, there is simply no hot key.
    RegisterHotKey(Handle(), hotKeyId_, mods, key);
}

void TFrmZuMain::BitBtnAddClick() {
    const auto& s = settings::Settings;
    if (!s.AgentFolder.empty() && !s.DefaultIniPath.empty() && !s.ProfileFolder.empty()) {
        dialogs_.EditProfile(Handle(), nullptr);
        BitBtnRefreshClick();
    } else {
        // Why Setup opens instead, said once.
        if (!setupExplained_) {
            setupExplained_ = true;
            std::string missing;
            for (auto [value, caption] : {std::pair{&s.AgentFolder, "Agent folder"},
                                          std::pair{&s.DefaultIniPath, "Default ini file"},
                                          std::pair{&s.ProfileFolder, "Profile folder"}}) {
                if (value->empty()) missing += (missing.empty() ? "" : ", ") + std::string(caption);
            }
            about::ShowMessageDialog("Agent was not found where it is usually installed. Before the first profile, "
                                     "fill in Setup: " + missing + ".",
                                     about::MsgKind::Information, about::mbOK, 0);
        }
        BitBtnSetupClick();
    }
    FocusGrid();
}

void TFrmZuMain::BitBtnEditClick() {
    if (!Cell(0, CurrentRow()).empty()) {
        const profiles::ProfileEntry entry = CurrentEntry();
        dialogs_.EditProfile(Handle(), &entry);
        BitBtnRefreshClick();
    } else {
        BitBtnAddClick();
    }
    FocusGrid();
}

void TFrmZuMain::BitBtnDeleteClick() {
    const int row = CurrentRow();
    const std::string name = Cell(1, row);
    if (row >= 1 && !name.empty()) {
        const std::string question = platform::Format(
            "Are you sure that you want to delete the profile \"%s\" ?\r\rNOTE:\rThe profile will not be able to be "
            "restored,\rbut it will be transfered to your recycle bin !\rBe sure to exit any program that is "
            "monitoring/using the profiles folder,\rbefore answering this question.",
            about::Literal(name).c_str());
        if (about::ShowGlyphMessageDialog(question, about::MsgKind::Confirmation, about::mbYes | about::mbNo, 0) ==
            IDYES) {
            platform::BusyCursor busy;
            const std::string folder = profiles::ProfileFolderPath(name);
            profiles::DeleteRefusal refusal;
            if (!profiles::ProfileFolderExists(name) || !profiles::DeleteFolder(folder, Handle(), &refusal)) {
                std::string text = platform::Format(
                    "The system was unable to delete the \"%s\" profile. !\rYou may need to manually delete the "
                    "files yourself.",
                    about::Literal(name).c_str());
                // What stopped it, where nothing was touched, so that the
                // user can mend it.
                const std::string why = profiles::DeleteRefusalText(refusal, folder);
                if (!why.empty()) text.append("\r").append(about::Literal(why));
                about::ShowGlyphMessageDialog(text, about::MsgKind::Error, about::mbOK, 0);
            }
            BitBtnRefreshClick();
        }
    }
    FocusGrid();
}

void TFrmZuMain::BitBtnSetupClick() {
    if (dialogs_.Setup(Handle())) {
        UnregisterHotKey(Handle(), hotKeyId_);
        RegisterAppHotKey(settings::Settings.AppHotKey);
        FillProfileGrid();
    }
    FocusGrid();
}

void TFrmZuMain::BitBtnRefreshClick() {
    FillProfileGrid();
    FocusGrid();
}

void TFrmZuMain::BitBtnLaunchClick() { LaunchSelectedProfile(); }

void TFrmZuMain::StringGridProfilesDblClick() { LaunchSelectedProfile(); }

void TFrmZuMain::LaunchSelectedProfile() {
    const int row = CurrentRow();
    const bool close = LaunchCloses(Cell(0, row), platform::CurrentShiftState());
    const std::string name = Cell(1, row);
    if (row >= 1 && !name.empty()) {
        platform::BusyCursor busy;
        const std::string program = AgentProgramPath(settings::Settings.AgentFolder);
        // Agent, a program of the ANSI code page, is started in a folder it
        // can name: the profile's own, or its short form; where there is
        // none, in its own name, and the user is told once what that means.
        const std::string folder = profiles::ProfileWorkingFolder(name);
        std::string working = platform::PathAgentCanName(folder);
        if (working.empty()) {
            working = folder;
            platform::ReportOnce(platform::Format(
                "Agent cannot name the folder \"%s\" in this system's code page, and it has no short name: Agent "
                "is started there, but may not find the files it names by their full paths.",
                folder.c_str()));
        }
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(platform::Widened(program).c_str(), nullptr, nullptr, nullptr, FALSE,
                            CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, platform::Widened(working).c_str(),
                            &si, &pi)) {
            about::ShowGlyphMessageDialog(
                platform::Format("Failed to execute agent with the \"%s\" profile !", about::Literal(name).c_str()),
                about::MsgKind::Error, about::mbCancel, 0);
        } else {
            // The program never watches Agent.
            platform::UniqueKernelHandle thread(pi.hThread), process(pi.hProcess);
            if (close) Application::Instance().Terminate();
        }
    }
    FocusGrid();
}

void TFrmZuMain::ToggleHints() {
    auto& s = settings::Settings;
    s.ShowHint = !s.ShowHint;
    Application::Instance().SetShowHint(s.ShowHint);
    settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "ShowHint", s.ShowHint);
}

bool TFrmZuMain::OnKeyDown(WPARAM key, unsigned shift) {
    if (key == VK_RETURN && shift == platform::ssCtrl) {
        BitBtnLaunchClick();
        return true;
    }
    // Only Enter and Ctrl+Enter launch: any other modifier keeps the key
    // from the default button.
    if (key == VK_RETURN && shift != platform::ssNone) return true;
    if (key == VK_F1 && shift == platform::ssShift) {
        dialogs_.About(Handle());
        return true;
    }
    if (key == VK_F1 && shift == platform::ssCtrl) {
        ToggleHints();
        return true;
    }
    if (key == VK_ESCAPE && shift == platform::ssNone) {
        Application::Instance().Terminate();
        return false;  // the focused control still sees the key
    }
    return false;
}


bool TFrmZuMain::OnMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    if (msg == 0) return false;
    if (msg == kMsgGridDoubleClick) {
        StringGridProfilesDblClick();
        result = 0;
        return true;
    }
    if (msg == kMsgReselect) {
        if (SendMessageA(Grid(), LVM_GETSELECTEDCOUNT, 0, 0) == 0) SetCurrentRow(currentRow_);
        result = 0;
        return true;
    }
    if (msg == WM_SYSCOMMAND) {
        if (wp == kCmdAbout) {
            dialogs_.About(Handle());
        } else if (wp == kCmdToggleHints) {
            ToggleHints();
        } else if (wp == kCmdClearRegistry) {
            settings::ClearAllSettings();
        } else {
            return false;
        }
        result = 0;
        return true;
    }
    if (msg == WM_HOTKEY && static_cast<ATOM>(wp) == hotKeyId_ && hotKeyId_ != 0) {
        // The hot key brings the program forward; it does not restore it.
        Application::Instance().ComeForward(GetLastActivePopup(Handle()));
        result = 0;
        return true;
    }
    if (msg == wmGetID_) {
        result = kAppID;
        return true;
    }
    if (msg == wmRestore_) {
        Application::Instance().BringToFront();
        result = 0;
        return true;
    }
    // The handed-over parameters are not used: the hand-over keeps the
    // default reply.
    return false;
}

}  // namespace shell
