// Every window at the screen's DPI: each caption fits its control, no
// control lies outside its window, every place of a table is the design's
// at this DPI (exactly at 96), and every control that takes the focus has
// an accessible name. The checks run at the DPI this
// process was started with; the 144 DPI run starts this program again with
// "LogPixels" set to 144, which each new process reads as it starts.
#include <gtest/gtest.h>

#include <chrono>

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "about/KelAboutVersion.h"
#include "about/xDialogs.h"
#include "inieditor/ZuEditINIFile.h"
#include "platform/ColorBox.h"
#include "platform/Dpi.h"
#include "platform/Glyphs.h"
#include "profiles/ZuEditProfile.h"
#include "settings/KelUtility.h"
#include "settings/RegSpecial.h"
#include "settings/ZuSetup.h"
#include "shell/KelSplash.h"
#include "shell/ZuMain.h"
#include "support/Helpers.h"
#include "support/ProfileFixture.h"
#include "support/RegistrySandbox.h"
#include "support/UiDriver.h"

using platform::ControlKind;
using testing_support::DriverWindow;
using testing_support::UiDriver;

namespace {

int ExpectedDpi() {
    const char* v = std::getenv("PELMARK_TEST_DPI");
    return v ? std::atoi(v) : 96;
}

// The room a caption has: the client less a check box's box, or a button's glyph.
int TextRoom(HWND c, const platform::ControlDef& d, int dpi) {
    RECT rc;
    GetClientRect(c, &rc);
    int room = rc.right;
    if (d.kind == ControlKind::CheckBox) room -= MulDiv(13, dpi, 96);
    BUTTON_IMAGELIST bil{};
    if (d.kind == ControlKind::Button && SendMessageA(c, BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&bil)) &&
        bil.himl) {
        int w = 0, h = 0;
        ImageList_GetIconSize(bil.himl, &w, &h);
        EXPECT_EQ(w, MulDiv(16, dpi, 96)) << d.name << ": the glyph follows the DPI";
        room -= w + MulDiv(2, dpi, 96);
    }
    return room;
}

// Where the ink of a text ends when it is drawn in a box of this width.
int DrawnInkRight(HDC dc, HFONT font, const std::string& text, UINT format, int width, int height) {
    const int w = width + 32;
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bm = CreateCompatibleBitmap(dc, w, height);
    HGDIOBJ oldBm = SelectObject(mem, bm);
    HGDIOBJ oldFont = SelectObject(mem, font);
    RECT all{0, 0, w, height};
    FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(mem, TRANSPARENT);
    RECT at{0, 0, width, height};
    DrawTextA(mem, text.c_str(), -1, &at, (format & ~DT_CALCRECT) | DT_NOCLIP);
    int inkRight = 0;
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < height; ++y) {
            if (GetPixel(mem, x, y) != RGB(255, 255, 255)) inkRight = x + 1;
        }
    }
    SelectObject(mem, oldFont);
    SelectObject(mem, oldBm);
    DeleteObject(bm);
    DeleteDC(mem);
    return inkRight;
}

void ExpectCaptionFits(HWND c, const platform::ControlDef& d, int dpi) {
    const bool captioned = d.kind == ControlKind::Label || d.kind == ControlKind::Button ||
                           d.kind == ControlKind::CheckBox;
    const std::string text = platform::WindowText(c);
    if (d.kind == ControlKind::Button && (GetWindowLongA(c, GWL_STYLE) & BS_ICON)) {
        // A picture alone: its text is a name, never drawn; the picture follows the DPI.
        ICONINFO ii{};
        ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(SendMessageA(c, BM_GETIMAGE, IMAGE_ICON, 0)), &ii)) << d.name;
        BITMAP bm{};
        GetObject(ii.hbmColor ? ii.hbmColor : ii.hbmMask, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, MulDiv(16, dpi, 96)) << d.name;
        if (ii.hbmColor) DeleteObject(ii.hbmColor);
        if (ii.hbmMask) DeleteObject(ii.hbmMask);
        return;
    }
    if (!captioned || text.empty()) return;
    HDC dc = GetDC(c);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(c, WM_GETFONT, 0, 0)));
    RECT rc;
    GetClientRect(c, &rc);
    UINT format = DT_CALCRECT | DT_EXPANDTABS;
    if (d.kind == ControlKind::Label && (GetWindowLongA(c, GWL_STYLE) & SS_NOPREFIX)) format |= DT_NOPREFIX;
    RECT one{0, 0, 0, 0};
    DrawTextA(dc, "Ag", -1, &one, format | DT_SINGLELINE);
    // A label with room for more than one line wraps its text at its width.
    RECT need{0, 0, rc.right, 0};
    DrawTextA(dc, text.c_str(), -1, &need, format | (rc.bottom >= 2 * one.bottom ? DT_WORDBREAK : DT_SINGLELINE));
    // A label's text as it is drawn: the ink of the last letter may reach
    // past the advance widths that measured it.
    const int inkRight =
        d.kind == ControlKind::Label
            ? DrawnInkRight(dc, reinterpret_cast<HFONT>(SendMessageA(c, WM_GETFONT, 0, 0)), text,
                            format | (rc.bottom >= 2 * one.bottom ? DT_WORDBREAK : DT_SINGLELINE), rc.right,
                            std::max<int>(rc.bottom, need.bottom))
            : 0;
    SelectObject(dc, old);
    ReleaseDC(c, dc);
    EXPECT_LE(need.right, TextRoom(c, d, dpi)) << d.name << " \"" << text << "\" is cut";
    EXPECT_LE(inkRight, rc.right) << d.name << " \"" << text << "\" is cut as drawn";
    EXPECT_LE(need.bottom, rc.bottom) << d.name << " \"" << text << "\" is cut at the bottom";
}

// What a screen reader says for a control: the name the platform's
// accessibility layer gives it. The interface's id is the header's own: the
// 64-bit import library's IID_IAccessible is a call thunk, not the id, and
// asking for it is refused as an unknown interface.
std::string AccessibleName(HWND control) {
    IAccessible* acc = nullptr;
    if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&acc))) ||
        !acc) {
        return {};
    }
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::string out;
    if (SUCCEEDED(acc->get_accName(self, &name)) && name) {
        const int n = WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
        out.assign(static_cast<size_t>(std::max(0, n - 1)), '\0');
        WideCharToMultiByte(CP_ACP, 0, name, -1, out.data(), n, nullptr, nullptr);
        SysFreeString(name);
    }
    acc->Release();
    return out;
}

// The name the README promises for a control that takes the focus: a field
// is named by the label before it, the INI editor's value field by "Value
// of" and the key of its row, anything else by its own text. Wine's layer
// names a combo box by the text it shows, the current colour (Windows' by its
// label).
std::string PromisedName(const platform::Form& f, HWND c, const platform::ControlDef& d) {
    auto plain = [](std::string s) {
        s.erase(std::remove(s.begin(), s.end(), '&'), s.end());
        return s;
    };
    if (d.kind == ControlKind::ComboBox) {
        return platform::ColorBoxItemText(c, static_cast<int>(SendMessageA(c, CB_GETCURSEL, 0, 0)));
    }
    if (d.name.rfind("AValEdit", 0) == 0) {
        HWND grid = f.Control("AValList" + d.name.substr(8));
        return "Value of " + platform::ListViewText(grid, ListView_GetNextItem(grid, -1, LVNI_SELECTED), 0);
    }
    if (d.kind != ControlKind::Edit) return plain(platform::WindowText(c));
    for (HWND before = GetWindow(c, GW_HWNDPREV); before; before = GetWindow(before, GW_HWNDPREV)) {
        const platform::ControlDef* o = f.DefinitionOf(before);
        if (o && o->kind == ControlKind::Label) return plain(o->caption);
    }
    return {};
}

// `tablePlaces`: the form stands at its design size, so each control of its
// table should stand where the table puts it, at this DPI.
// `at`: the DPI the form was moved to, or 0 for the screen's.
void CheckForm(const platform::Form& f, bool tablePlaces, int at = 0) {
    const int dpi = at ? at : platform::WindowDpi(f.Handle());
    if (!at) {
        EXPECT_EQ(dpi, ExpectedDpi()) << f.Name();
    }
    EXPECT_EQ(f.Dpi(), dpi) << f.Name();
    // The title bar's icon is drawn from an image of its own size at this DPI.
    if (HICON small = reinterpret_cast<HICON>(SendMessageA(f.Handle(), WM_GETICON, ICON_SMALL, 0))) {
        ICONINFO ii{};
        ASSERT_TRUE(GetIconInfo(small, &ii));
        BITMAP bm{};
        GetObjectA(ii.hbmColor, sizeof bm, &bm);
        DeleteObject(ii.hbmColor);
        DeleteObject(ii.hbmMask);
        EXPECT_EQ(bm.bmWidth, platform::SystemMetricForDpi(SM_CXSMICON, dpi)) << f.Name();
    } else {
        EXPECT_TRUE(f.Definition().popup) << f.Name() << " has no small icon";
    }
    // In the form's client coordinates: the window manager may move the
    // window while the checks below let messages through.
    RECT client;
    GetClientRect(f.Handle(), &client);
    int checked = 0;
    for (HWND c : f.Controls()) {
        const platform::ControlDef* d = f.DefinitionOf(c);
        if (!d || !(GetWindowLongA(c, GWL_STYLE) & WS_VISIBLE)) continue;  // its own flag: forms are not shown
        ++checked;
        if ((GetWindowLongA(c, GWL_STYLE) & WS_TABSTOP) && IsWindowEnabled(c)) {
            // Every control that takes the focus has a name a screen reader says.
            const std::string name = AccessibleName(c);
            std::printf("name: %s.%s = \"%s\"\n", f.Name().c_str(), d->name.c_str(), name.c_str());
            EXPECT_FALSE(name.empty()) << f.Name() << "." << d->name << " has no accessible name";
            EXPECT_EQ(name, PromisedName(f, c, *d)) << f.Name() << "." << d->name;
        }
        RECT r, in;
        GetWindowRect(c, &r);
        in = r;
        MapWindowPoints(nullptr, f.Handle(), reinterpret_cast<POINT*>(&in), 2);
        EXPECT_TRUE(in.left >= client.left && in.top >= client.top && in.right <= client.right &&
                    in.bottom <= client.bottom)
            << f.Name() << "." << d->name << " lies outside its window";
        ExpectCaptionFits(c, *d, dpi);
        if (!tablePlaces || d->managed) continue;
        MapWindowPoints(nullptr, GetParent(c), reinterpret_cast<POINT*>(&r), 2);
        const double k = dpi / 96.0, slack = dpi == 96 ? 0 : 1;
        EXPECT_NEAR(r.left, d->place.left * k, slack) << f.Name() << "." << d->name;
        EXPECT_NEAR(r.top, d->place.top * k, slack) << f.Name() << "." << d->name;
        EXPECT_NEAR(r.right - r.left, d->place.width * k, slack) << f.Name() << "." << d->name;
        // A colour box's table height is its open list's; closed, it is 22
        // pixels at 96 DPI, as tall as the edits beside it.
        EXPECT_NEAR(r.bottom - r.top, (d->kind == ControlKind::ComboBox ? 22 : d->place.height) * k, slack)
            << f.Name() << "." << d->name;
    }
    EXPECT_GT(checked, 0) << f.Name();
}

// The splash sizes itself to its texts and draws its pieces itself: each
// lies in its window, and each label's text, as drawn in its font at this
// DPI, fits where it stands.
void CheckSplash(const shell::TFrmKelSplash& s) {
    EXPECT_EQ(s.Dpi(), ExpectedDpi());
    RECT client;
    GetClientRect(s.Handle(), &client);
    for (const char* name : {"ImageAppLogo", "LabelAppTitle", "BevelButtom", "LabelAppAction"}) {
        const platform::Rect p = s.PieceNamed(name).place;
        EXPECT_TRUE(p.left >= 0 && p.top >= 0 && p.left + p.width <= client.right && p.top + p.height <= client.bottom)
            << name << " lies outside its window";
    }
    HDC dc = GetDC(s.Handle());
    for (const auto& [name, points] : {std::pair{"LabelAppTitle", 14}, {"LabelAppAction", 10}}) {
        const auto& label = s.PieceNamed(name);
        HGDIOBJ old = SelectObject(dc, label.font);
        TEXTMETRICA tm{};
        GetTextMetricsA(dc, &tm);
        EXPECT_NEAR(tm.tmHeight - tm.tmInternalLeading, MulDiv(points, ExpectedDpi(), 72), 1) << name;
        RECT need{0, 0, 0, 0};
        DrawTextA(dc, label.text.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc, old);
        EXPECT_LE(need.right, label.place.width) << name << " is cut";
        EXPECT_LE(need.bottom, label.place.height) << name << " is cut at the bottom";
        EXPECT_LE(DrawnInkRight(dc, label.font, label.text, DT_SINGLELINE | DT_NOPREFIX, label.place.width,
                                label.place.height),
                  label.place.width)
            << name << " is cut as drawn";
    }
    ReleaseDC(s.Handle(), dc);
}

// A help request on every control of the form, as F1 on it or "?" then a
// click gives: the information box shows the hint of the first control with
// that help context, whole, or nothing comes when there is none.
void CheckHelp(platform::Form& f) {
    std::vector<std::pair<HWND, std::string>> asks;
    for (HWND c : f.Controls()) {
        int context = 0;
        for (HWND h = c; h && h != f.Handle() && !context; h = GetParent(h)) {
            if (const auto* d = f.DefinitionOf(h)) context = d->helpContext;
        }
        std::string text;
        for (HWND first : f.Controls()) {
            const auto* d = f.DefinitionOf(first);
            if (context && d->helpContext == context) {
                const std::string s = platform::ShortHint(d->hint), l = platform::LongHint(d->hint);
                text = s == l ? s : s + "\r" + l;
                break;
            }
        }
        asks.emplace_back(c, text);
    }
    UiDriver d;
    std::vector<std::string> expected, shown;
    for (const auto& [c, text] : asks) {
        if (text.empty()) continue;
        expected.push_back(text);
        d.Then([&](DriverWindow& w) {
            shown.push_back(w.Text("Message"));
            CheckForm(*w.Form(), false);
            w.Press("OK");
        });
    }
    d.Run([&] {
        for (const auto& [c, text] : asks) {
            HELPINFO hi{sizeof hi, HELPINFO_WINDOW, 0, c, 0, {}};
            SendMessageA(f.Handle(), WM_HELP, 0, reinterpret_cast<LPARAM>(&hi));
        }
    });
    EXPECT_EQ(shown, expected) << f.Name();
}

// Every visible control inside its panel, at least its design size at the
// form's DPI (less a little for rounding), and no two siblings overlapping (the design lets
// the splash check boxes share one pixel row, so a sliver does not count).
void CheckWhole(const platform::Form& f) {
    const double k = f.Dpi() / 96.0;
    std::vector<std::pair<HWND, RECT>> seen;
    for (HWND c : f.Controls()) {
        const platform::ControlDef* d = f.DefinitionOf(c);
        if (!(GetWindowLongA(c, GWL_STYLE) & WS_VISIBLE)) continue;
        RECT r;
        GetWindowRect(c, &r);
        EXPECT_GE(r.right - r.left, d->place.width * k * 0.95) << f.Name() << "." << d->name << " is squeezed";
        if (d->kind != ControlKind::ComboBox) {
            EXPECT_GE(r.bottom - r.top, d->place.height * k * 0.95) << f.Name() << "." << d->name << " is squeezed";
        }
        RECT inside;
        GetClientRect(GetParent(c), &inside);
        MapWindowPoints(GetParent(c), nullptr, reinterpret_cast<POINT*>(&inside), 2);
        EXPECT_TRUE(r.left >= inside.left && r.top >= inside.top && r.right <= inside.right && r.bottom <= inside.bottom)
            << f.Name() << "." << d->name << " reaches out of its panel";
        for (const auto& [other, o] : seen) {
            RECT both;
            if (GetParent(other) == GetParent(c) && IntersectRect(&both, &r, &o) &&
                std::min(both.right - both.left, both.bottom - both.top) >= 2 * k) {
                ADD_FAILURE() << f.Name() << "." << d->name << " overlaps " << f.DefinitionOf(other)->name;
            }
        }
        seen.emplace_back(c, r);
    }
}

template <typename T>
void CheckStoredPlace(const char* name, platform::Size design, int storedDpi) {
    const std::string n = name;
    settings::DeleteRegKey(HKEY_CURRENT_USER, settings::SettingsKey);
    settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, n + ".Width", int32_t(design.width * storedDpi / 96));
    settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, n + ".Height", int32_t(design.height * storedDpi / 96));
    if (storedDpi != 96) {
        settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, n + ".PixelsPerInch", int32_t(storedDpi));
    }
    T f(nullptr);
    f.Create();
    RECT r;
    GetWindowRect(f.Handle(), &r);
    const int expected = std::max(platform::RescaleDpi(design.width * storedDpi / 96, storedDpi, f.Dpi()),
                                  static_cast<int>(f.MinimumSize().width));
    EXPECT_NEAR(r.right - r.left, expected, 1) << name << " stored at " << storedDpi;
    CheckForm(f, false);
    CheckWhole(f);
}

template <typename F>
void CheckModal(F&& open) {
    UiDriver d;
    d.Then([](DriverWindow& w) {
        ASSERT_NE(w.Form(), nullptr);
        CheckForm(*w.Form(), false);
        w.CloseFrame();
    });
    d.Run(open);
}

}  // namespace

TEST(Dpi, EveryWindowFitsItsTextsAndStandsWhereItsTableSays) {
    struct Com {
        Com() { CoInitialize(nullptr); }
        ~Com() { CoUninitialize(); }
    } com;  // for the accessibility layer
    testing_support::RegistrySandbox registry;
    testing_support::ProfileFixture p;
    p.Profile("Home", "Agent at home", "news.example.org", "mail.example.org", 1);
    const std::string ini =
        p.dir.MakeFile("Edit.ini", "[View]\r\nTitle=Agent\r\n[Servers]\r\nValue=Value\r\nValues=Value\r\n");

    shell::ShowSplash("Pelmark", "Initializaing ...", true, nullptr);
    ASSERT_NE(shell::CurrentSplash(), nullptr);
    CheckSplash(*shell::CurrentSplash());
    {
        shell::TFrmZuMain main;
        main.Create();
        shell::HideSplash("Pelmark");
        CheckForm(main, true);
        CheckHelp(main);
    }
    {
        profiles::TFrmZuEditProfile f(nullptr);
        f.Create();
        CheckForm(f, true);
        CheckHelp(f);
    }
    {
        settings::TFrmZuSetup f(nullptr);
        f.Create();
        CheckForm(f, true);
        CheckHelp(f);
    }
    {
        inieditor::TFrmZuEditINIFile f(nullptr);
        f.Create();
        ASSERT_TRUE(f.LoadINIFile(ini));
        CheckForm(f, true);
        CheckHelp(f);
        // The value being edited stands where its cell draws a value, on
        // the line of its row's key.
        POINT edited{}, drawn{}, key{};
        testing_support::RunModal(f, [&](testing_support::DriverWindow& w) {
            SetForegroundWindow(w.Handle());
            w.FocusOn("BitBtnReload");  // the editor shows its text unselected
            RedrawWindow(w.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            testing_support::UiDriver::Settle();
            // Read from the screen, which Wine brings up to date in its own time.
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
            do {
                testing_support::UiDriver::Settle();
                edited = testing_support::ValueInk(f.FindControl("AValList1"), 0);
                drawn = testing_support::ValueInk(f.FindControl("AValList1"), 1);
                key = testing_support::CellInk(f.FindControl("AValList1"), 1, 0);
            } while ((edited.x > 40 || drawn.x > 40 || key.x > 40) && std::chrono::steady_clock::now() < end);
            w.Press("BitBtnCancel");
        });
        EXPECT_EQ(edited.x, drawn.x) << "at " << ExpectedDpi() << " DPI";
        EXPECT_EQ(edited.y, drawn.y) << "at " << ExpectedDpi() << " DPI";
        EXPECT_EQ(key.y, drawn.y) << "at " << ExpectedDpi() << " DPI";
    }
    {
        about::TFrmKelVersionAbout f(nullptr);
        f.Create();
        CheckForm(f, true);
        CheckHelp(f);
    }
    // A place stored at 96 or at 144 DPI reopens at this DPI scaled by the
    // ratio (no stored DPI: 96), then bounded by the window's limits, with
    // every control whole.
    for (int stored : {96, 144}) {
        CheckStoredPlace<profiles::TFrmZuEditProfile>("FrmZuEditProfile", {389, 192}, stored);
        CheckStoredPlace<settings::TFrmZuSetup>("FrmZuSetup", {437, 296}, stored);
    }
    CheckModal([] { return about::ShowMessageDialog("Delete the profile \"Home\" ?", about::MsgKind::Confirmation,
                                                    about::mbYes | about::mbNo | about::mbCancel, 0); });
    CheckModal([] { return about::ShowGlyphMessageDialog("Delete the profile \"Home\" ?", about::MsgKind::Warning,
                                                         about::mbOK | about::mbHelp, 0); });
}

namespace {
// Frames that grow with the DPI, as Windows draws them (Wine's do not).
platform::Size GrowingFrame(DWORD, DWORD, int dpi) { return {dpi / 12, dpi / 4 + dpi / 24}; }
}  // namespace

TEST(Dpi, TheAboutWindowCountsItsFrameOnceAtEveryDpi) {
    const auto system = platform::FrameForDpi;
    platform::FrameForDpi = &GrowingFrame;
    about::TFrmKelVersionAbout f(nullptr);
    platform::FrameForDpi = system;
    const platform::Rect place = f.Definition().place;
    EXPECT_EQ(place.width, 313 + GrowingFrame(0, 0, 96).width);
    EXPECT_EQ(place.height, 325 + GrowingFrame(0, 0, 96).height);
}

TEST(Dpi, EveryWindowAt144) {
    if (ExpectedDpi() != 96) GTEST_SKIP() << "already the run at another DPI";
    // The display's DPI for new processes, put back as it was afterwards.
    constexpr const char* kDesktop = "\\Control Panel\\Desktop";
    struct PutBack {
        testing_support::ValueSnapshot saved =
            testing_support::ValueSnapshot::Take(HKEY_CURRENT_USER, kDesktop, "LogPixels");
        ~PutBack() { saved.Restore(HKEY_CURRENT_USER, kDesktop, "LogPixels"); }
    } putBack;
    settings::WriteRegValue(HKEY_CURRENT_USER, kDesktop, "LogPixels", int32_t(144));

    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string cmd = std::string("\"") + exe + "\" --gtest_filter=Dpi.EveryWindowFitsItsTextsAndStandsWhereItsTableSays";
    SetEnvironmentVariableA("PELMARK_TEST_DPI", "144");
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const bool started = CreateProcessA(exe, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableA("PELMARK_TEST_DPI", nullptr);
    DWORD code = 1;
    if (started) {
        if (WaitForSingleObject(pi.hProcess, 100000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 2);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    ASSERT_TRUE(started);
    EXPECT_EQ(code, 0u) << "the checks at 144 DPI failed (their output is above)";
}

TEST(Dpi, AFormMovedToAScreenOfAnotherDpiIsLaidOutAgain) {
    if (ExpectedDpi() != 96) GTEST_SKIP() << "moves from 96 DPI";
    testing_support::RegistrySandbox registry;
    testing_support::ProfileFixture p;
    p.Profile("Home", "Agent at home", "news.example.org", "mail.example.org", 1);
    // The system suggests the window with its client scaled; the frame here
    // stays the one this process draws at 96 DPI.
    auto move = [](platform::Form& f, bool tablePlaces = true) {
        // Asked first, the form names the size its table gives at 144 DPI.
        SIZE answer{};
        EXPECT_TRUE(SendMessageA(f.Handle(), WM_GETDPISCALEDSIZE, 144, reinterpret_cast<LPARAM>(&answer)));
        const platform::Size table = platform::OuterSizeForDpi(
            {f.Definition().place.width, f.Definition().place.height}, GetWindowLongA(f.Handle(), GWL_STYLE),
            GetWindowLongA(f.Handle(), GWL_EXSTYLE), 144);
        EXPECT_EQ(answer.cx, table.width) << f.Name();
        EXPECT_EQ(answer.cy, table.height) << f.Name();
        RECT r, c;
        GetWindowRect(f.Handle(), &r);
        GetClientRect(f.Handle(), &c);
        RECT suggested{r.left, r.top, r.right + c.right / 2, r.bottom + c.bottom / 2};
        SendMessageA(f.Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
        CheckForm(f, tablePlaces, 144);
        // Every control speaks in a font that is still there, at 8 points at 144 DPI.
        for (HWND c : f.Controls()) {
            LOGFONTA lf{};
            HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(c, WM_GETFONT, 0, 0));
            if (!font) continue;  // a panel draws no text
            ASSERT_EQ(GetObjectA(font, sizeof lf, &lf), static_cast<int>(sizeof lf)) << f.DefinitionOf(c)->name;
            EXPECT_EQ(lf.lfHeight, -16) << f.DefinitionOf(c)->name;
        }
    };
    inieditor::TFrmZuEditINIFile editor(nullptr);  // sizeable, with glyph buttons
    editor.Create();
    ASSERT_TRUE(editor.LoadINIFile(p.folder + "Home\\Agent.ini"));
    move(editor);
    LOGFONTA lf{};
    GetObjectA(editor.Font(), sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, -16);  // 8 points at 144 DPI
    // The section headers: bold at the new size.
    GetObjectA(reinterpret_cast<HGDIOBJ>(SendMessageA(editor.Control("AButton1"), WM_GETFONT, 0, 0)), sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, -16);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);

    // A window of fixed size keeps its limits at the new DPI, frame
    // included, and Wine's frame stays the one of 96 DPI: the client comes
    // out larger than the table's here. Its colour boxes take their height again.
    settings::TFrmZuSetup setup(nullptr);
    setup.Create();
    move(setup, false);
    for (const char* box : {"ColorBoxLaunchStay", "ColorBoxLaunchClose"}) {
        RECT r;
        GetWindowRect(setup.Control(box), &r);
        EXPECT_NEAR(r.bottom - r.top, 33, 1) << box;
    }

    shell::TFrmZuMain main;
    main.Create();
    shell::HideSplash("Pelmark");
    std::vector<int> columns;
    for (int c = 0; c < 5; ++c) columns.push_back(main.ColumnWidth(c));
    move(main);
    for (int c = 0; c < 5; ++c) EXPECT_NEAR(main.ColumnWidth(c), columns[c] * 1.5, 1) << "column " << c;
    // The list that gives the grid its row height: 18 pixels at 144 DPI.
    int w = 0, h = 0;
    ImageList_GetIconSize(ListView_GetImageList(main.Control(shell::MainControls::StringGridProfiles), LVSIL_SMALL),
                          &w, &h);
    EXPECT_EQ(h, 27);
}

TEST(Dpi, PicturesAreResampledByTheAreaEachPixelCovers) {
    // Premultiplied pixels: two opaque greys and two transparent.
    const std::vector<uint32_t> four = {0xFF808080, 0x00000000, 0xFF404040, 0x00000000};
    // Halved: one pixel, the mean of all four.
    EXPECT_EQ(platform::ResampleArea(four, {2, 2}, {1, 1}), (std::vector<uint32_t>{0x80303030}));
    // Red, blue, red into two: each takes one red whole and half the blue.
    const std::vector<uint32_t> row = {0xFFFF0000, 0xFF0000FF, 0xFFFF0000};
    EXPECT_EQ(platform::ResampleArea(row, {3, 1}, {2, 1}), (std::vector<uint32_t>{0xFFAA0055, 0xFFAA0055}));
    EXPECT_EQ(platform::ResampleArea(row, {3, 1}, {3, 1}), row);
}
