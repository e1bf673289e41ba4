#include "platform/Application.h"

#include "platform/Text.h"

#include <algorithm>
#include <deque>
#include <string>

#include "platform/Checkpoints.h"
#include "platform/FileSystem.h"
#include "platform/Form.h"
#include "platform/Workarounds.h"

namespace platform {

Application& Application::Instance() {
    static Application app;
    return app;
}

void Application::Initialize(HINSTANCE instance) {
    instance_ = instance;
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_HOTKEY_CLASS | ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&icc);
    if (title_.empty()) {
        // The default title is the program file's name without its extension.
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::string p = Narrowed(path);
        const auto slash = p.find_last_of("\\/");
        if (slash != std::string::npos) p = p.substr(slash + 1);
        const auto dot = p.rfind('.');
        if (dot != std::string::npos) p = p.substr(0, dot);
        title_ = p;
    }
}

void Application::SetTitle(const std::string& title) { title_ = title; }

HWND Application::MainWindow() const { return mainForm_ ? mainForm_->Handle() : nullptr; }

namespace {
BOOL CALLBACK ApplyHint(HWND w, LPARAM lp) {
    if (Form* f = Form::FromHandle(w)) f->ApplyShowHint(lp != 0);
    return TRUE;
}
}  // namespace

void Application::SetShowHint(bool show) {
    showHint_ = show;
    EnumThreadWindows(GetCurrentThreadId(), &ApplyHint, show ? 1 : 0);
}

void Application::Terminate() {
    if (!terminated_) PostQuitMessage(0);
    terminated_ = true;
}

void Application::ResetTerminated() {
    terminated_ = false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

void Application::BringToFront() {
    HWND main = MainWindow();
    if (!main) return;
    if (IsIconic(main)) {
        ShowWindow(main, SW_RESTORE);
        if (Needed().managerMakesIconsLate) {
            // Minimised a moment ago, the window may still be becoming an
            // icon: the manager then makes it one after this restore (as
            // its minimise command, which arrives later). Once it has, the
            // window is restored again. This waits until the manager's
            // events have been quiet for a moment, at most half a second.
            WaitForWindowManager(500, 50, [&](bool quiet) { return quiet || IsIconic(main); });
            if (IsIconic(main)) ShowWindow(main, SW_RESTORE);
        }
        return;
    }
    ComeForward(GetLastActivePopup(main));
}

void Application::WaitForWindowManager(DWORD limitMs, DWORD stepMs, const std::function<bool(bool quiet)>& done) {
    const DWORD start = GetTickCount();
    bool quiet = false;
    MSG peek;
    while (!done(quiet)) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= limitMs) return;
        quiet = MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min(limitMs - spent, stepMs), QS_ALLINPUT) ==
                WAIT_TIMEOUT;
        PeekMessageW(&peek, nullptr, 0, 0, PM_NOREMOVE);
    }
}

void Application::ComeForward(HWND window) {
    HWND main = MainWindow();
    if (!window || !IsWindowVisible(window) || !IsWindowEnabled(window)) return;
    // Under Wine the X window manager decides which window is active, and
    // SetForegroundWindow never asks it: the window would be active for
    // Wine alone, behind another on screen. A window restored from its icon
    // is one the window manager activates.
    if (main && Needed().managerActivatesOnlyRestoredWindows && GetForegroundWindow() != window && !IsIconic(main)) {
        // Shown again without activation, a window comes back at its normal
        // size: a maximised one is maximised again once it is forward.
        const bool maximised = IsZoomed(main) != FALSE;
        for (int tries = 0; tries < 3; ++tries) {
            const HWND before = GetForegroundWindow();
            // The manager makes the icon in its own time, and Wine's restore
            // only maps the window again: a restore that comes first is lost,
            // and the manager leaves the window an icon after all. (A window
            // the manager made an icon after an earlier try is one already.)
            if (!IsIconic(main)) ShowWindow(main, SW_SHOWMINNOACTIVE);
            WaitForWindowManager(50, 10, [](bool) { return false; });
            // Not activated here: the manager's activation is the answer
            // waited for, and a window Wine had made active would answer at once.
            ShowWindow(main, SW_SHOWNOACTIVATE);
            bool answered = false;
            WaitForWindowManager(1000, 10, [&](bool) {
                HWND now = GetForegroundWindow();
                DWORD process = 0;
                if (now) GetWindowThreadProcessId(now, &process);
                answered = now == window || (now != before && process == GetCurrentProcessId());
                // An icon again: the manager came late; no use waiting.
                return answered || IsIconic(main);
            });
            if (answered) break;
        }
        // No manager answered: Wine's own foreground is what there is.
        if (IsIconic(main)) ShowWindow(main, SW_RESTORE);
        if (maximised && !IsZoomed(main)) ShowWindow(main, SW_SHOWMAXIMIZED);
        if (GetForegroundWindow() == window || !IsWindowVisible(window) || !IsWindowEnabled(window)) return;
    }
    SetForegroundWindow(window);
}

namespace {

// A hot-key control takes any key combination as its value: F1 and Alt
// with any key go to it, not to help or to a mnemonic. Tab, Enter and
// Escape (without Alt) still move on and close the dialog, as in any
// Windows dialog.
bool KeyForAHotKeyControl(const Form& form, const MSG& msg) {
    const ControlDef* d = form.DefinitionOf(msg.hwnd);
    if (!d || d->kind != ControlKind::HotKey) return false;
    const bool alt = msg.message == WM_SYSKEYDOWN || msg.message == WM_SYSKEYUP;
    const bool f1 = (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP) && msg.wParam == VK_F1;
    return alt || f1;
}

}  // namespace

void Application::ProcessMessage(MSG& msg) {
    // The system posts this for every F1 the keyboard gives, and the default
    // handling turns it into a help request. The forms answer F1 themselves
    // (and only a plain F1): a second request would show the help twice.
    constexpr UINT kKeyF1 = 0x004D;  // WM_KEYF1
    if (msg.message == kKeyF1) return;
    if (msg.hwnd && msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
        HWND root = GetAncestor(msg.hwnd, GA_ROOT);
        if (Form* f = Form::FromHandle(root)) {
            if (KeyForAHotKeyControl(*f, msg)) {
                // Untranslated: no character follows the key to become a mnemonic.
                DispatchMessageW(&msg);
                return;
            }
            bool consumed = false;
            try {
                consumed = f->PreviewKey(msg);
            } catch (...) {
                HandleCurrentException();
                consumed = true;
            }
            if (consumed) return;
            if (IsDialogMessageW(root, &msg)) return;
        }
    }
    if (msg.hwnd && msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) {
        if (Form* f = Form::FromHandle(GetAncestor(msg.hwnd, GA_ROOT))) f->RelayToHint(msg);
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void Application::ProcessMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            terminated_ = true;
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        ProcessMessage(msg);
    }
}

int Application::Run() {
    MSG msg;
#ifdef PELMARK_CHECKPOINTS
    bool reachedIdle = false;
#endif
    while (!terminated_) {
#ifdef PELMARK_CHECKPOINTS
        if (!reachedIdle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            reachedIdle = true;
            PELMARK_CHECKPOINT("first idle");
            PELMARK_WRITE_CHECKPOINTS();
        }
#endif
        const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r <= 0) {
            terminated_ = true;
            return r == 0 ? static_cast<int>(msg.wParam) : 1;
        }
        ProcessMessage(msg);
#ifdef PELMARK_CHECKPOINTS
        // Until the first idle, each message handled, by its number and
        // the class of its window: the first paint's share, control by control.
        static std::deque<std::string> names;  // the marks keep pointers to these
        if (!reachedIdle) {
            char cls[32] = {};
            GetClassNameA(msg.hwnd, cls, sizeof cls);
            names.push_back("message " + std::to_string(msg.message) + " to " + cls);
            PELMARK_CHECKPOINT(names.back().c_str());
        }
#endif
    }
    return 0;
}

HWND Application::MessageOwner() const {
    HWND active = GetActiveWindow();
    if (active) return active;
    return startupWindow_ && IsWindowVisible(startupWindow_) ? startupWindow_ : nullptr;
}

void Application::ShowException(const char* message) {
    HWND owner = MessageOwner();
    MessageBoxW(owner, Widened(message).c_str(), Widened(title_).c_str(),
                MB_OK | MB_ICONSTOP | (owner ? MB_SETFOREGROUND : 0));
}

void Application::ShowException(const std::exception& e) { ShowException(e.what()); }

void Application::HandleCurrentException() noexcept {
    try {
        throw;
    } catch (const std::exception& e) {
        try {
            ShowException(e);
        } catch (...) {
        }
    } catch (...) {
        try {
            ShowException("Unknown error");
        } catch (...) {
        }
    }
}

void Application::BeginBusy() {
    if (busy_++ == 0) SetCursor(LoadCursor(nullptr, IDC_WAIT));
}

int Application::SuspendBusy() {
    const int count = busy_;
    if (count > 0) {
        busy_ = 0;
        SetCursor(LoadCursor(nullptr, IDC_ARROW));
    }
    return count;
}

void Application::ResumeBusy(int count) {
    if (count <= 0) return;
    busy_ += count;
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
}

void Application::EndBusy() {
    if (busy_ > 0 && --busy_ == 0) SetCursor(LoadCursor(nullptr, IDC_ARROW));
}

}  // namespace platform
