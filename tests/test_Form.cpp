// The form layer, driven as a user would: real windows, keys and clicks.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/Application.h"
#include "platform/Form.h"
#include "platform/SystemLibrary.h"
#include "support/Helpers.h"
#include "support/UiDriver.h"

using namespace platform;
using testing_support::DriverWindow;
using testing_support::RectIn;
using testing_support::UiDriver;

namespace {

FormDef SampleDef() {
    FormDef d;
    d.windowClass = "TFrmTestSample";
    d.name = "FrmTestSample";
    d.caption = "Sample";
    d.place = {100, 100, 400, 300};
    d.minSize = {300, 200};
    d.keyPreview = true;
    d.defaultButton = "ButtonOK";
    d.cancelButton = "ButtonCancel";
    d.controls = {
        {.name = "PanelTop", .kind = ControlKind::Panel, .place = {4, 4, 300, 100}, .anchors = akAll,
         .hint = "Panel hint", .helpContext = 1, .tabOrder = 0, .bevel = Bevel::Lowered},
        {.name = "EditName", .kind = ControlKind::Edit, .parent = "PanelTop", .place = {4, 20, 200, 21},
         .anchors = akLeft | akTop | akRight, .hint = "Name|The profile's name", .helpContext = 2, .tabOrder = 0},
        {.name = "EditOther", .kind = ControlKind::Edit, .parent = "PanelTop", .place = {4, 50, 200, 21}, .tabOrder = 1},
        Button({.name = "ButtonOK", .place = {200, 200, 75, 25}, .anchors = akRight | akBottom, .caption = "OK",
                .hint = "Store", .helpContext = 3, .tabOrder = 2, .modalResult = mrOk}),
        Button({.name = "ButtonCancel", .place = {280, 200, 75, 25}, .anchors = akRight | akBottom,
                .caption = "&Cancel", .hint = "Leave", .helpContext = 4, .tabOrder = 1, .modalResult = mrAbort}),
    };
    return d;
}

class SampleForm : public Form {
public:
    SampleForm() : Form(SampleDef(), nullptr) {}
    bool allowClose = true;
    int closeQueries = 0;
    int lastCloseResult = -1;
    std::vector<int> helps;
    std::vector<std::pair<WPARAM, unsigned>> keys;
    bool destroyed = false;

protected:
    bool OnCloseQuery() override {
        ++closeQueries;
        lastCloseResult = ModalResultValue();
        return allowClose;
    }
    bool OnKeyDown(WPARAM key, unsigned shift) override {
        keys.emplace_back(key, shift);
        return key == 'K' && shift == ssCtrl;  // consumed
    }
    void OnHelp(int context) override { helps.push_back(context); }
    void OnDestroy() override { destroyed = true; }
};


}  // namespace

TEST(Form, BuildsNamedControlsFromItsTable) {
    SampleForm f;
    f.Create();
    char cls[64];
    GetClassNameA(f.Handle(), cls, sizeof cls);
    EXPECT_STREQ(cls, "TFrmTestSample");
    EXPECT_EQ(f.Caption(), "Sample");
    ASSERT_NE(f.Control("EditName"), nullptr);
    EXPECT_EQ(GetParent(f.Control("EditName")), f.Control("PanelTop"));
    EXPECT_EQ(f.FindControl("NoSuchControl"), nullptr);
    EXPECT_THROW(f.Control("NoSuchControl"), std::logic_error);  // a misspelt name fails loudly
    EXPECT_EQ(f.Text("ButtonCancel"), "&Cancel");
    EXPECT_EQ(f.ControlByHelpContext(2), f.Control("EditName"));
    EXPECT_EQ(f.ControlByHelpContext(0), f.Control("EditOther"));
    EXPECT_EQ(f.DefinitionOf(f.Control("ButtonOK"))->hint, "Store");
    EXPECT_EQ(GetWindowContextHelpId(f.Control("ButtonOK")), 3u);
    EXPECT_TRUE(GetWindowLongA(f.Handle(), GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
    EXPECT_FALSE(GetWindowLongA(f.Handle(), GWL_STYLE) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
}

TEST(Form, AnchorsFollowResizeAndMinimumSizeHolds) {
    SampleForm f;
    f.Create();
    RECT before = RectIn(f.Control("ButtonOK"), f.Handle());
    RECT editBefore = RectIn(f.Control("EditName"), f.Control("PanelTop"));
    SetWindowPos(f.Handle(), nullptr, 0, 0, 500, 360, SWP_NOMOVE | SWP_NOZORDER);
    RECT after = RectIn(f.Control("ButtonOK"), f.Handle());
    RECT editAfter = RectIn(f.Control("EditName"), f.Control("PanelTop"));
    EXPECT_EQ(after.left - before.left, 100);
    EXPECT_EQ(after.top - before.top, 60);
    EXPECT_EQ(after.right - after.left, 75);
    EXPECT_EQ((editAfter.right - editAfter.left) - (editBefore.right - editBefore.left), 100);
    EXPECT_EQ(editAfter.left, editBefore.left);

    MINMAXINFO mm{};
    SendMessageA(f.Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mm));
    EXPECT_EQ(mm.ptMinTrackSize.x, 300);
    EXPECT_EQ(mm.ptMinTrackSize.y, 200);
}

TEST(Form, ButtonsEndModalDisplayWithTheirResult) {
    SampleForm f;
    UiDriver d;
    d.Then([](DriverWindow& w) { w.Press("ButtonCancel"); });
    EXPECT_EQ(d.Run([&] { return f.ShowModal(); }), mrAbort);
    EXPECT_EQ(f.closeQueries, 1);
    EXPECT_EQ(f.lastCloseResult, mrAbort);
    EXPECT_FALSE(IsWindowVisible(f.Handle()));
}

TEST(Form, EnterPressesDefaultEscapePressesCancelFrameGivesTwo) {
    {
        SampleForm f;
        UiDriver d;
        d.Then([](DriverWindow& w) {
            w.FocusOn("EditName");
            w.Key(VK_RETURN);
        });
        EXPECT_EQ(d.Run([&] { return f.ShowModal(); }), mrOk);
    }
    {
        SampleForm f;
        UiDriver d;
        d.Then([](DriverWindow& w) {
            w.FocusOn("EditName");
            w.Key(VK_ESCAPE);
        });
        EXPECT_EQ(d.Run([&] { return f.ShowModal(); }), mrAbort);
    }
    {
        SampleForm f;
        UiDriver d;
        d.Then([](DriverWindow& w) { w.CloseFrame(); });
        EXPECT_EQ(d.Run([&] { return f.ShowModal(); }), mrCancel);
    }
}

TEST(Form, EnterOnAFocusedButtonPressesThatButton) {
    SampleForm f;
    UiDriver d;
    d.Then([](DriverWindow& w) {
        w.FocusOn("ButtonCancel");
        w.Key(VK_RETURN);
    });
    EXPECT_EQ(d.Run([&] { return f.ShowModal(); }), mrAbort);
}

TEST(Form, CloseCheckKeepsTheFormOpen) {
    SampleForm f;
    f.allowClose = false;
    UiDriver d;
    d.Then([](DriverWindow& w) { w.Press("ButtonOK"); });
    // The refused close leaves the form up; a later frame close ends it.
    static SampleForm* target;
    target = &f;
    struct Later {
        static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            target->allowClose = true;
            PostMessageA(target->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
        }
    };
    const int result = d.Run([&] {
        SetTimer(nullptr, 0, 300, &Later::Fire);
        return f.ShowModal();
    });
    EXPECT_EQ(result, mrCancel);
    EXPECT_EQ(f.closeQueries, 2);
}

TEST(Form, KeyPreviewSeesKeysFirstWithExactModifiers) {
    SampleForm f;
    std::string typed = "?";
    UiDriver d;
    d.Then([&](DriverWindow& w) {
        w.FocusOn("EditName");
        w.Key('K', ssCtrl);
        w.Key('K', ssCtrl | ssShift);
        typed = w.Text("EditName");
        // Characters of any script, as a keyboard layout sends them, are
        // held as typed (no code page's "?").
        for (wchar_t c : std::wstring(L"\u0414\u043e\u043c \u6863")) PostMessageW(w.Control("EditName"), WM_CHAR, c, 1);
        w.Press("ButtonOK");
    });
    d.Run([&] { return f.ShowModal(); });
    ASSERT_GE(f.keys.size(), 2u);
    EXPECT_EQ(f.keys[0], std::make_pair(WPARAM('K'), unsigned(ssCtrl)));
    EXPECT_EQ(f.keys[1], std::make_pair(WPARAM('K'), unsigned(ssCtrl | ssShift)));
    // The consumed Ctrl+K never reached the edit; the other one did not type either
    // (a control key press is no character).
    EXPECT_EQ(typed, "");
    EXPECT_EQ(f.Text("EditName"), "\xd0\x94\xd0\xbe\xd0\xbc \xe6\xa1\xa3");
    f.SetText("EditName", "\xe6\xa1\xa3\xe6\xa1\x88");  // and shown as given
    EXPECT_EQ(f.Text("EditName"), "\xe6\xa1\xa3\xe6\xa1\x88");
}

TEST(Form, F1AsksForHelpOfTheFocusedControlOrItsPanel) {
    SampleForm f;
    UiDriver d;
    d.Then([](DriverWindow& w) {
        // F1 from the keyboard: the system asks for help as well, and the
        // form must answer once.
        SetForegroundWindow(w.Handle());
        w.FocusOn("EditName");
        testing_support::KeyboardKey(VK_F1);
        for (int i = 0; i < 6; ++i) UiDriver::Settle();
        w.FocusOn("EditOther");  // no context of its own: the panel's
        testing_support::KeyboardKey(VK_F1);
        for (int i = 0; i < 6; ++i) UiDriver::Settle();
        w.Press("ButtonOK");
    });
    d.Run([&] { return f.ShowModal(); });
    EXPECT_EQ(f.helps, (std::vector<int>{2, 1}));
}

TEST(Form, DestroyRunsTheDestroyStepOnce) {
    auto f = std::make_unique<SampleForm>();
    f->Create();
    HWND h = f->Handle();
    f->Destroy();
    EXPECT_TRUE(f->destroyed);
    EXPECT_FALSE(IsWindow(h));
    f.reset();  // and the destructor copes with a destroyed window
}

TEST(BusyCursor, CountsAndAlwaysRestores) {
    Application& app = Application::Instance();
    EXPECT_FALSE(app.Busy());
    try {
        BusyCursor outer;
        {
            BusyCursor inner;
            EXPECT_TRUE(app.Busy());
        }
        EXPECT_TRUE(app.Busy());
        throw std::runtime_error("fails half way");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(app.Busy());
}

TEST(Application, TerminateEndsAModalLoopAndTheMainLoop) {
    Application& app = Application::Instance();
    SampleForm f;
    UiDriver d;
    d.Then([&](DriverWindow&) { app.Terminate(); });
    EXPECT_EQ(d.Run([&] { return f.ShowModal(); }), mrCancel);
    EXPECT_TRUE(app.Terminated());
    EXPECT_EQ(app.Run(), 0);  // returns at once
    app.ResetTerminated();
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

namespace {
std::vector<std::pair<std::string, DWORD>> loaderCalls;
HMODULE WINAPI RecordLoad(LPCSTR name, HANDLE file, DWORD flags) {
    loaderCalls.emplace_back(name, flags);
    return LoadLibraryExA(name, file, flags);
}
BOOL WINAPI RecordDefaultDirectories(DWORD flags) {
    loaderCalls.emplace_back("SetDefaultDllDirectories", flags);
    return TRUE;
}
BOOL WINAPI RecordDllDirectory(LPCSTR folder) {
    loaderCalls.emplace_back("SetDllDirectoryA \"" + std::string(folder) + "\"", 0);
    return TRUE;
}
}  // namespace

TEST(SystemLibrary, OnlyFromTheSystemFolderWithOrWithoutTheLoadersSearchFlags) {
    loaderCalls.clear();
    const auto saved = platform::LoadLibraryCall;
    platform::LoadLibraryCall = &RecordLoad;
    const HMODULE flagged = platform::LoadSystemLibrary("shell32.dll", true);
    // Windows 7 and Vista without the loader's update: the full path.
    const HMODULE named = platform::LoadSystemLibrary("shell32.dll", false);
    platform::LoadLibraryCall = saved;
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(loaderCalls, (std::vector<std::pair<std::string, DWORD>>{
                               {"shell32.dll", LOAD_LIBRARY_SEARCH_SYSTEM32}, {std::string(system) + "\\shell32.dll", 0}}));
    EXPECT_NE(named, nullptr);
    EXPECT_EQ(named, flagged);
    // Whatever loads a library later: the system folder only, or at least
    // not the current folder where the system lacks the call.
    loaderCalls.clear();
    const auto savedDefault = platform::SetDefaultDllDirectoriesCall;
    const auto savedSearch = platform::SetDllDirectoryCall;
    platform::SetDefaultDllDirectoriesCall = &RecordDefaultDirectories;
    platform::SetDllDirectoryCall = &RecordDllDirectory;
    platform::RestrictDllSearch(true);
    platform::RestrictDllSearch(false);
    platform::SetDefaultDllDirectoriesCall = savedDefault;
    platform::SetDllDirectoryCall = savedSearch;
    EXPECT_EQ(loaderCalls, (std::vector<std::pair<std::string, DWORD>>{{"SetDefaultDllDirectories", LOAD_LIBRARY_SEARCH_SYSTEM32},
                                                                       {"SetDllDirectoryA \"\"", 0}}));
}
