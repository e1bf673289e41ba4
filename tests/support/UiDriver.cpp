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

namespace {
// Lets the window act on what was just sent to it before the next step, so
// a handler's steps happen in order, as a user's would.
void Settle() {
    for (int i = 0; i < 3; ++i) platform::Application::Instance().ProcessMessages();
}
}  // namespace

void DriverWindow::Press(const std::string& name) const {
    HWND b = Control(name);
    EXPECT_NE(b, nullptr) << "no control " << name << " in window \"" << Title() << "\"";
    if (!b) return;
    PostMessageA(b, BM_CLICK, 0, 0);
    Settle();
}

void DriverWindow::FocusOn(const std::string& name) const {
    HWND c = Control(name);
    EXPECT_NE(c, nullptr) << "no control " << name;
    if (!c) return;
    SendMessageA(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(c), TRUE);
    Settle();
}

void DriverWindow::Key(WPARAM vk, unsigned shift) const {
    HWND target = GetFocus();
    if (!target || GetAncestor(target, GA_ROOT) != hwnd_) target = hwnd_;
    BYTE saved[256];
    GetKeyboardState(saved);
    BYTE keys[256];
    std::memcpy(keys, saved, sizeof keys);
    keys[VK_SHIFT] = (shift & platform::ssShift) ? 0x80 : 0;
    keys[VK_CONTROL] = (shift & platform::ssCtrl) ? 0x80 : 0;
    keys[VK_MENU] = (shift & platform::ssAlt) ? 0x80 : 0;
    SetKeyboardState(keys);
    const UINT down = (shift & platform::ssAlt) ? WM_SYSKEYDOWN : WM_KEYDOWN;
    const UINT up = (shift & platform::ssAlt) ? WM_SYSKEYUP : WM_KEYUP;
    const UINT scan = MapVirtualKeyA(static_cast<UINT>(vk), 0);
    PostMessageA(target, down, vk, 1 | (scan << 16));
    PostMessageA(target, up, vk, 1 | (scan << 16) | 0xC0000000u);
    Settle();
    SetKeyboardState(saved);
}

void DriverWindow::CloseFrame() const {
    PostMessageA(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
    Settle();
}

UiDriver::UiDriver(std::chrono::milliseconds timeout) : timeout_(timeout) {}

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
    // Ticks also come while a handler waits for its steps to settle; a modal
    // window opened by one of those steps is then the next one handled.
    for (auto it = handled_.begin(); it != handled_.end();) {
        it = IsWindow(*it) && IsWindowVisible(*it) ? std::next(it) : handled_.erase(it);
    }
    HWND w = FindModal();
    if (std::chrono::steady_clock::now() - started_ > timeout_) {
        // Nothing may hang: close whatever is up, the test has failed already.
        timedOut_ = true;
        if (w) {
            platform::Form* f = platform::Form::FromHandle(w);
            if (f) f->EndModal(platform::mrCancel);
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
}

void PumpFor(std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    do {
        platform::Application::Instance().ProcessMessages();
        Sleep(5);
    } while (std::chrono::steady_clock::now() < end);
}

}  // namespace testing_support
