#include "about/KelAboutVersion.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>

#include "platform/Application.h"
#include "platform/Dpi.h"
#include "platform/Error.h"
#include "platform/Handles.h"
#include "platform/ListViewText.h"
#include "platform/Names.h"
#include "platform/Text.h"
#include "platform/SystemLibrary.h"

using platform::ControlDef;
using platform::ControlKind;
using platform::Button;

namespace about {

using C = AboutControls;

namespace {

size_t Align4(size_t v) { return (v + 3) & ~static_cast<size_t>(3); }

bool Read16(const uint8_t* data, size_t size, size_t off, uint16_t& out) {
    if (off + 2 > size) return false;
    out = static_cast<uint16_t>(data[off] | (data[off + 1] << 8));
    return true;
}

// The UTF-16 text at `off`, up to its zero or to `limit`, in the ANSI code
// page; `chars` is its length in characters.
std::string Text(const uint8_t* data, size_t limit, size_t off, size_t& chars) {
    std::wstring w;
    chars = 0;
    for (size_t p = off; p + 2 <= limit; p += 2) {
        const wchar_t c = static_cast<wchar_t>(data[p] | (data[p + 1] << 8));
        if (c == 0) break;
        w.push_back(c);
    }
    chars = w.size();
    return platform::Narrowed(w);
}

const char* const kCaptionKeys[7] = {"Comments", "CompanyName", "InternalName", "LegalCopyright",
                                     "LegalTrademarks", "OriginalFilename", "ProductVersion"};
const char* const kCaptions[7] = {"Comments", "Company name", "Internal name", "Copyrights",
                                  "Legal trademarks", "Original filename", "Product version"};
const char* const kMemoryRows[6] = {"Total physical", "Available physical", "Total pagefile",
                                    "Available pagefile", "Total virtual", "Available virtual"};

}  // namespace

std::vector<std::string> WalkVersionResource(const uint8_t* data, size_t size) {
    std::vector<std::string> lines;
    size_t chars = 0;
    if (Text(data, std::min<size_t>(size, 98 + 30), 98, chars) != "StringFileInfo") {
        throw platform::Error("Unrecognised version block");
    }
    uint16_t tableLength = 0;
    if (!Read16(data, size, 128, tableLength)) return lines;
    const size_t end = std::min<size_t>(128 + tableLength, size);
    size_t p = 152;
    while (p < end) {
        uint16_t entry = 0;
        // A zero length would never move on; a length past the table is not to be trusted.
        if (!Read16(data, size, p, entry) || entry == 0 || p + entry > end) break;
        const size_t entryEnd = p + entry;
        const std::string key = Text(data, entryEnd, p + 6, chars);
        const size_t valueAt = Align4(p + 8 + 2 * chars);
        const std::string value = valueAt < entryEnd ? Text(data, entryEnd, valueAt, chars) : std::string();
        lines.push_back(key + "=" + value);
        p = Align4(entryEnd);
    }
    return lines;
}

std::vector<std::string> ReadVersionStrings(const std::wstring& path) {
    if (path.empty()) return {};
    // Wide: the program may stand in a folder whose name the ANSI code page
    // cannot hold, and an ANSI path would name no file there.
    platform::UniqueModule module(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return {};
    HRSRC res = FindResourceW(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16) /* RT_VERSION */);
    if (!res) return {};
    HGLOBAL loaded = LoadResource(module.get(), res);
    const auto* bytes = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
    const DWORD size = SizeofResource(module.get(), res);
    if (!bytes || size == 0) return {};
    size_t chars = 0;
    if (Text(bytes, std::min<size_t>(size, 6 + 32), 6, chars) != "VS_VERSION_INFO") return {};
    const std::vector<uint8_t> copy(bytes, bytes + size);
    return WalkVersionResource(copy.data(), copy.size());
}

std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string FormatByteCount(uint64_t bytes) {
    wchar_t wideSep[8] = L",";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, wideSep, 8);
    const std::string sep = platform::Narrowed(wideSep);
    std::string digits = std::to_string(bytes);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += sep;
        out += digits[i];
    }
    return out;
}

namespace {

platform::FormDef AboutFormDef() {
    using namespace platform;
    // Its table is a client area; its size, as every window's, is the outer
    // one at 96 DPI, which the form scales to the screen's DPI.
    const Size outer = OuterSizeForClient({313, 325}, WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME, kDesignDpi);
    FormDef d{.windowClass = "TFrmKelVersionAbout", .name = "FrmKelVersionAbout",
              .place = {0, 0, outer.width, outer.height}, .sizeable = false,
              .helpButton = false, .defaultButton = C::BitBtnOK, .cancelButton = C::BitBtnOK,
              .placement = Placement::Centred, .fontName = "Arial"};
    auto panel = [](const char* name, const char* parent, Rect place) {
        return ControlDef{.name = name, .kind = ControlKind::Panel, .parent = parent, .place = place,
                          .bevel = Bevel::Lowered};
    };
    auto label = [](const char* name, const char* parent, Rect place) {
        return ControlDef{.name = name, .parent = parent, .place = place, .style = SS_NOPREFIX};
    };
    auto button = [](const char* name, Rect place, const char* caption, int tab, int result) {
        return Button({.name = name, .parent = C::PanelButtons, .place = place, .caption = caption, .tabOrder = tab,
                       .modalResult = result});
    };
    d.controls = {
        panel(C::PanelMain, "", {0, 0, 313, 325}),
        panel(C::PanelInfo, C::PanelMain, {8, 8, 297, 101}),
        label(C::LabelVersionTxt, C::PanelInfo, {12, 12, 84, 14}),
        label(C::LabelVersion, C::PanelInfo, {100, 12, 140, 14}),
        label(C::LabelProductTxt, C::PanelInfo, {12, 28, 84, 14}),
        label(C::LabelProduct, C::PanelInfo, {100, 28, 140, 14}),
        label(C::LabelDescriptionTxt, C::PanelInfo, {12, 44, 84, 14}),
        label(C::LabelDescription, C::PanelInfo, {100, 44, 189, 29}),
        {.name = C::ImageAppIcon, .kind = ControlKind::Icon, .parent = C::PanelInfo, .place = {252, 12, 32, 32}},
        panel(C::PanelAdditionalInfo, C::PanelMain, {8, 112, 297, 161}),
        {.name = C::ListViewVersion, .kind = ControlKind::ListView, .parent = C::PanelAdditionalInfo,
         .place = {8, 8, 281, 145}, .tabOrder = 0, .style = LVS_REPORT | LVS_NOSORTHEADER | LVS_SINGLESEL},
        panel(C::PanelButtons, C::PanelMain, {8, 276, 297, 41}),
        button(C::BitBtnOK, {151, 8, 137, 25}, "Ok", 2, mrOk),
        button(C::BitBtnMemory, {8, 8, 137, 25}, "&Memory", 1, mrNone),
        button(C::BitBtnVersion, {8, 8, 137, 25}, "&Version", 1, mrNone),
    };
    return d;
}

}  // namespace

TFrmKelVersionAbout::TFrmKelVersionAbout(HWND owner) : Form(AboutFormDef(), owner) {}

void TFrmKelVersionAbout::OnCreate() {
    extra_.clear();
    SetCaption("About - " + platform::Application::Instance().Title());
    SetText(C::LabelVersionTxt, "Version");
    SetText(C::LabelProductTxt, "Product name");
    SetText(C::LabelDescriptionTxt, "Description");
    exePath_ = ProgramPath();
    SetGlyph(C::BitBtnOK, "BBOK");
    SetGlyph(C::BitBtnMemory, "BBALL");
    SetGlyph(C::BitBtnVersion, "BBRETRY");
    OnClick(C::BitBtnVersion, [this] { BitBtnVersionClick(); });
    OnClick(C::BitBtnMemory, [this] { BitBtnMemoryClick(); });
    ListView_SetExtendedListViewStyle(Control(C::ListViewVersion), LVS_EX_FULLROWSELECT);
    BitBtnVersionClick();
}

void TFrmKelVersionAbout::SetExtraCaptions(const std::vector<std::string>& lines) {
    extra_ = lines;
    std::stable_sort(extra_.begin(), extra_.end(), [](const std::string& a, const std::string& b) {
        return lstrcmpiW(platform::Widened(a.substr(0, a.find('='))).c_str(),
                         platform::Widened(b.substr(0, b.find('='))).c_str()) < 0;
    });
}

void TFrmKelVersionAbout::SetColumns(const char* first, const char* second, bool rightAligned) {
    HWND list = Control(C::ListViewVersion);
    while (SendMessageA(list, LVM_DELETECOLUMN, 0, 0)) {
    }
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    platform::PutWindowText(list, first);  // its name for a screen reader: the page's heading
    RECT rc;
    GetClientRect(list, &rc);
    const std::wstring heading = platform::Widened(first);
    const int firstWidth =
        static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(heading.c_str()))) + Scale(16);
    platform::AddListColumn(list, 0, first, firstWidth);
    platform::AddListColumn(list, 1, second, std::max(Scale(40), static_cast<int>(rc.right) - firstWidth),
                            rightAligned ? LVCFMT_RIGHT : LVCFMT_LEFT);
}

void TFrmKelVersionAbout::FitColumns() {
    // The first column as wide as the wider of its heading and its texts, the
    // second the rest, leaving room for the vertical scroll bar so that no
    // horizontal one is ever needed.
    HWND list = Control(C::ListViewVersion);
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);
    RECT rc;
    GetClientRect(list, &rc);
    int room = rc.right;
    if (!(GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL)) room -= GetSystemMetrics(SM_CXVSCROLL);
    const int first = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0));
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, std::max(Scale(40), room - first));
}

void TFrmKelVersionAbout::AddRow(const std::string& caption, const std::string& value, bool sorted) {
    HWND list = Control(C::ListViewVersion);
    int at = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    if (sorted) {
        // Kept in caption order, as the platform compares texts.
        for (int i = 0; i < at; ++i) {
            if (lstrcmpW(platform::Widened(caption).c_str(), platform::Widened(platform::ListViewText(list, i, 0)).c_str()) < 0) {
                at = i;
                break;
            }
        }
    }
    std::wstring first = platform::Widened(caption), second = platform::Widened(value);
    LVITEMW it{};
    it.mask = LVIF_TEXT;
    it.iItem = at;
    it.pszText = first.data();
    const int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it)));
    LVITEMW sub{};
    sub.iSubItem = 1;
    sub.pszText = second.data();
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&sub));
}

void TFrmKelVersionAbout::BitBtnVersionClick() {
    const bool hadFocus = GetFocus() == Control(C::BitBtnVersion);
    ShowWindow(Control(C::BitBtnMemory), SW_SHOW);
    if (hadFocus) SetFocus(Control(C::BitBtnMemory));
    ShowWindow(Control(C::BitBtnVersion), SW_HIDE);
    SetText(C::LabelVersion, "Not available");
    SetText(C::LabelProduct, "");
    SetText(C::LabelDescription, "");
    SetColumns("Resource", "Value", false);
    std::vector<std::string> lines;
    try {
        lines = ReadVersionStrings(exePath_);
    } catch (const platform::Error&) {
        // The page shows no rows for a resource it cannot read.
    }
    if (!icon_) {
        // 1 says "not a program file": no icon to own.
        HICON icon = nullptr;
        if (Dpi() != platform::kDesignDpi) {
            // The file's own picture nearest the size the DPI asks for.
            const int size = Scale(32);
            PrivateExtractIconsW(exePath_.c_str(), 0, size, size, &icon, nullptr, 1, 0);
        }
        if (!icon) {
            static const auto extract = platform::SystemFunction<decltype(&ExtractIconW)>("shell32.dll", "ExtractIconW");
            icon = extract(platform::Application::Instance().InstanceHandle(), exePath_.c_str(), 0);
        }
        if (reinterpret_cast<UINT_PTR>(icon) > 1) icon_.reset(icon);
    }
    if (icon_) {
        SendMessageA(Control(C::ImageAppIcon), STM_SETICON, reinterpret_cast<WPARAM>(icon_.get()), 0);
    }
    auto firstValue = [&lines](const std::string& key) {
        for (const auto& l : lines) {
            const auto eq = l.find('=');
            if (platform::FoldedName(l.substr(0, eq)) == platform::FoldedName(key)) return l.substr(eq + 1);
        }
        return std::string();
    };
    for (const auto& l : lines) {
        const std::string key = l.substr(0, l.find('='));
        const std::string value = firstValue(key);
        if (key == "FileDescription") SetText(C::LabelDescription, value);
        else if (key == "ProductName") SetText(C::LabelProduct, value);
        else if (key == "FileVersion") SetText(C::LabelVersion, value);
        else if (!value.empty()) {
            std::string caption;
            for (int i = 0; i < 7; ++i) {
                if (key == kCaptionKeys[i]) caption = kCaptions[i];
            }
            if (caption.empty()) {
                for (const auto& e : extra_) {
                    const auto eq = e.find('=');
                    if (platform::FoldedName(e.substr(0, eq)) == platform::FoldedName(key)) {
                        caption = e.substr(eq + 1);
                        break;
                    }
                }
            }
            if (caption.empty()) caption = key;
            AddRow(caption, value, true);
        }
    }
    FitColumns();
}

void TFrmKelVersionAbout::BitBtnMemoryClick() {
    const bool hadFocus = GetFocus() == Control(C::BitBtnMemory);
    ShowWindow(Control(C::BitBtnVersion), SW_SHOW);
    if (hadFocus) SetFocus(Control(C::BitBtnVersion));
    ShowWindow(Control(C::BitBtnMemory), SW_HIDE);
    SetColumns("Memory", "Bytes", true);
    // The 64-bit status: the 32-bit one caps every figure at 2 GB (and so
    // shows less total than available on a machine with more).
    MEMORYSTATUSEX ms{};
    ms.dwLength = sizeof ms;
    GlobalMemoryStatusEx(&ms);
    const uint64_t values[6] = {ms.ullTotalPhys,     ms.ullAvailPhys,     ms.ullTotalPageFile,
                                ms.ullAvailPageFile, ms.ullTotalVirtual,  ms.ullAvailVirtual};
    for (int i = 0; i < 6; ++i) AddRow(kMemoryRows[i], FormatByteCount(values[i]), false);
    FitColumns();
}

std::vector<std::string> TFrmKelVersionAbout::Rows() const {
    std::vector<std::string> rows;
    HWND list = Control(C::ListViewVersion);
    const int n = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        rows.push_back(platform::ListViewText(list, i, 0) + "=" + platform::ListViewText(list, i, 1));
    }
    return rows;
}

void ShowAboutWindow(HWND owner, const std::vector<std::string>& extraKeyCaptions) {
    TFrmKelVersionAbout about(owner);
    about.Create();
    about.SetExtraCaptions(extraKeyCaptions);
    about.BitBtnVersionClick();
    about.ShowModal();
}

}  // namespace about
