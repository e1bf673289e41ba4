#include "support/UiDriver.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/Application.h"

namespace testing_support {

namespace {

std::string WindowText(HWND h) {
    char buf[4096] = {};
    GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

std::string NoAmpersand(std::string s) {
    std::string out;
    for (char c : s) {
        if (c != '&') out += c;
    }
    return out;
}

// A small window that puts the keyboard state back after posted key
// messages: messages posted to one thread are handled in order.
const char kRestoreClass[] = "PelmarkTestKeyRestore";
BYTE gSavedKeys[256];

LRESULT CALLBACK RestoreProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_APP) {
        SetKeyboardState(gSavedKeys);
        return 0;
    }
    return DefWindowProcA(h, m, w, l);
}

HWND RestoreWindow() {
    static HWND w = nullptr;
    if (w && IsWindow(w)) return w;
    WNDCLASSA wc{};
    wc.lpfnWndProc = RestoreProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kRestoreClass;
    RegisterClassA(&wc);
    w = CreateWindowA(kRestoreClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    return w;
}

struct FindState {
    HWND found = nullptr;
};

BOOL CALLBACK FindEnabledModal(HWND w, LPARAM lp) {
    auto* st = reinterpret_cast<FindState*>(lp);
    if (!IsWindowVisible(w) || !IsWindowEnabled(w)) return TRUE;
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    platform::Form* f = platform::Form::FromHandle(w);
    if ((f && f->Modal()) || std::strcmp(cls, "#32770") == 0) {
        st->found = w;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

UiDriver* UiDriver::current_ = nullptr;

DriverWindow::DriverWindow(HWND hwnd) : hwnd_(hwnd), form_(platform::Form::FromHandle(hwnd)) {}

std::string DriverWindow::Title() const { return WindowText(hwnd_); }

HWND DriverWindow::Control(const std::string& name) const {
    if (form_) {
        if (HWND h = form_->Control(name)) return h;
    }
    for (HWND c = GetWindow(hwnd_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (NoAmpersand(WindowText(c)) == NoAmpersand(name)) return c;
    }
    return nullptr;
}

std::string DriverWindow::Text(const std::string& name) const {
    HWND h = Control(name);
    return h ? WindowText(h) : std::string();
}

HWND DriverWindow::Focused() const { return GetFocus(); }

void DriverWindow::Press(const std::string& name) const {
    HWND b = Control(name);
    EXPECT_NE(b, nullptr) << "no control " << name << " in window \"" << Title() << "\"";
    if (b) PostMessageA(b, BM_CLICK, 0, 0);
}

void DriverWindow::Key(WPARAM vk, unsigned shift) const {
    HWND target = GetFocus();
    if (!target || GetAncestor(target, GA_ROOT) != hwnd_) target = hwnd_;
    BYTE keys[256];
    GetKeyboardState(keys);
    std::memcpy(gSavedKeys, keys, sizeof keys);
    keys[VK_SHIFT] = (shift & platform::ssShift) ? 0x80 : 0;
    keys[VK_CONTROL] = (shift & platform::ssCtrl) ? 0x80 : 0;
    keys[VK_MENU] = (shift & platform::ssAlt) ? 0x80 : 0;
    SetKeyboardState(keys);
    const UINT down = (shift & platform::ssAlt) ? WM_SYSKEYDOWN : WM_KEYDOWN;
    const UINT up = (shift & platform::ssAlt) ? WM_SYSKEYUP : WM_KEYUP;
    const UINT scan = MapVirtualKeyA(static_cast<UINT>(vk), 0);
    PostMessageA(target, down, vk, 1 | (scan << 16));
    PostMessageA(target, up, vk, 1 | (scan << 16) | 0xC0000000u);
    PostMessageA(RestoreWindow(), WM_APP, 0, 0);
}

void DriverWindow::CloseFrame() const { PostMessageA(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0); }

UiDriver::UiDriver(std::chrono::milliseconds timeout) : timeout_(timeout) { RestoreWindow(); }

UiDriver::~UiDriver() {
    if (timer_) KillTimer(nullptr, timer_);
    if (current_ == this) current_ = nullptr;
}

UiDriver& UiDriver::Then(std::function<void(DriverWindow&)> handler) {
    handlers_.push_back(std::move(handler));
    return *this;
}

void UiDriver::Start() {
    current_ = this;
    started_ = std::chrono::steady_clock::now();
    timedOut_ = false;
    timer_ = SetTimer(nullptr, 0, 25, &UiDriver::Tick);
}

void UiDriver::Finish() {
    if (timer_) KillTimer(nullptr, timer_);
    timer_ = 0;
    current_ = nullptr;
    EXPECT_TRUE(handlers_.empty()) << handlers_.size() << " expected window(s) never appeared";
    EXPECT_FALSE(timedOut_) << "the UI driver timed out";
}

HWND UiDriver::FindModal() const {
    FindState st;
    EnumThreadWindows(GetCurrentThreadId(), &FindEnabledModal, reinterpret_cast<LPARAM>(&st));
    return st.found;
}

void CALLBACK UiDriver::Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (current_) current_->OnTick();
}

void UiDriver::OnTick() {
    if (busy_) return;
    busy_ = true;
    for (auto it = handled_.begin(); it != handled_.end();) {
        it = IsWindow(*it) && IsWindowVisible(*it) ? std::next(it) : handled_.erase(it);
    }
    HWND w = FindModal();
    if (std::chrono::steady_clock::now() - started_ > timeout_) {
        // Nothing may hang: close whatever is up, the test has failed already.
        timedOut_ = true;
        if (w) {
            platform::Form* f = platform::Form::FromHandle(w);
            if (f) f->SetModalResult(platform::mrCancel);
            else PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
        }
    } else if (w && !handled_.count(w) && !handlers_.empty()) {
        handled_.insert(w);
        auto handler = std::move(handlers_.front());
        handlers_.pop_front();
        DriverWindow dw(w);
        seen_.push_back(dw.Title());
        try {
            handler(dw);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "driver handler threw: " << e.what();
        }
    }
    busy_ = false;
}

void PumpFor(std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    do {
        platform::Application::Instance().ProcessMessages();
        Sleep(5);
    } while (std::chrono::steady_clock::now() < end);
}

}  // namespace testing_support
