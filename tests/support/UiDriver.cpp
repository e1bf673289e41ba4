#include "support/UiDriver.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/Application.h"
#include "platform/Form.h"

namespace testing_support {

namespace {

std::string WindowText(HWND h) { return platform::WindowText(h); }  // UTF-8, as the program's own

// The header's GetCurrentFiber reads the thread block through an intrinsic
// that GCC 12 takes for a read past an empty array. Kept out of line, its
// warning is silenced here alone.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
[[gnu::noinline]] void* CurrentFiber() { return GetCurrentFiber(); }
#pragma GCC diagnostic pop

void* ThreadFiber() {
    static void* fiber = IsThreadAFiber() ? CurrentFiber() : ConvertThreadToFiber(nullptr);
    return fiber;
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

struct UiDriver::Job {
    UiDriver* driver;
    HWND window;
    std::function<void(DriverWindow&)> handler;
    void* fiber = nullptr;
    void* caller = nullptr;  // the fiber that resumed it, and that it yields to
    bool running = false;
    bool done = false;
};

UiDriver* UiDriver::current_ = nullptr;
UiDriver::Job* UiDriver::running_ = nullptr;

void UiDriver::Settle() {
    if (Job* job = running_) {
        // Back to the modal loop; a later tick resumes this handler.
        SwitchToFiber(job->caller);
        return;
    }
    for (int i = 0; i < 3; ++i) platform::Application::Instance().ProcessMessages();
}

void CALLBACK UiDriver::RunJob(void* p) {
    auto* job = static_cast<Job*>(p);
    try {
        DriverWindow dw(job->window);
        job->handler(dw);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "driver handler threw: " << e.what();
    } catch (...) {
        ADD_FAILURE() << "driver handler threw";
    }
    job->done = true;
    SwitchToFiber(job->caller);
}

void UiDriver::Resume(Job& job) {
    Job* outer = running_;
    job.caller = CurrentFiber();
    job.running = true;
    running_ = &job;
    SwitchToFiber(job.fiber);
    running_ = outer;
    job.running = false;
    if (job.done) {
        DeleteFiber(job.fiber);
        std::erase_if(jobs_, [&](const auto& j) { return j.get() == &job; });
    }
}

DriverWindow::DriverWindow(HWND hwnd) : hwnd_(hwnd), form_(platform::Form::FromHandle(hwnd)) {}

std::string DriverWindow::Title() const { return WindowText(hwnd_); }

HWND DriverWindow::Control(const std::string& name) const {
    if (form_) {
        if (HWND h = form_->FindControl(name)) return h;
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
    if (!b) return;
    PostMessageA(b, BM_CLICK, 0, 0);
    UiDriver::Settle();
}

void DriverWindow::FocusOn(const std::string& name) const {
    HWND c = Control(name);
    EXPECT_NE(c, nullptr) << "no control " << name;
    if (!c) return;
    SendMessageA(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(c), TRUE);
    UiDriver::Settle();
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
    const LPARAM context = (shift & platform::ssAlt) ? (1u << 29) : 0;  // Alt held, as the keyboard says
    PostMessageA(target, down, vk, 1 | (scan << 16) | context);
    PostMessageA(target, up, vk, 1 | (scan << 16) | context | 0xC0000000u);
    UiDriver::Settle();
    SetKeyboardState(saved);
}

void DriverWindow::CloseFrame() const {
    PostMessageA(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
    UiDriver::Settle();
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

UiDriver& UiDriver::ThenMaybe(std::function<void(DriverWindow&)> handler) {
    handlers_.push_back(std::move(handler));
    ++optional_;
    return *this;
}

void UiDriver::Start() {
    ThreadFiber();
    current_ = this;
    started_ = std::chrono::steady_clock::now();
    timedOut_ = false;
    timer_ = SetTimer(nullptr, 0, 25, &UiDriver::Tick);
}

void UiDriver::Finish() {
    if (timer_) KillTimer(nullptr, timer_);
    timer_ = 0;
    // Handlers whose window has closed go on to their last checks.
    for (int guard = 0; guard < 10000 && !jobs_.empty(); ++guard) {
        Job* job = nullptr;
        for (auto& j : jobs_) {
            if (!j->running) job = j.get();
        }
        if (!job) break;
        Resume(*job);
    }
    current_ = nullptr;
    EXPECT_TRUE(jobs_.empty()) << "a handler never ended";
    EXPECT_LE(handlers_.size(), optional_) << handlers_.size() << " expected window(s) never appeared";
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
        return;
    }
    // A waiting handler goes on once its window is the active modal one
    // again (its loop has acted on the step) or has closed; the newest first.
    for (auto it = jobs_.rbegin(); it != jobs_.rend(); ++it) {
        Job& job = **it;
        if (job.running || job.done) continue;
        if (job.window == w || !IsWindow(job.window) || !IsWindowVisible(job.window)) {
            Resume(job);
            return;
        }
    }
    if (w && !handled_.count(w) && handlers_.empty()) {
        // A window nobody expected is a fault of its own; it is closed so the
        // test goes on to its other checks.
        handled_.insert(w);
        unexpected_.push_back(DriverWindow(w).Title());
        ADD_FAILURE() << "an unexpected window appeared: \"" << unexpected_.back() << "\"";
        platform::Form* f = platform::Form::FromHandle(w);
        if (f && f->Modal()) f->EndModal(platform::mrCancel);
        else PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    if (w && !handled_.count(w) && !handlers_.empty()) {
        handled_.insert(w);
        auto job = std::make_unique<Job>();
        job->driver = this;
        job->window = w;
        job->handler = std::move(handlers_.front());
        handlers_.pop_front();
        job->fiber = CreateFiber(0, &UiDriver::RunJob, job.get());
        seen_.push_back(DriverWindow(w).Title());
        jobs_.push_back(std::move(job));
        Resume(*jobs_.back());
    }
}

void KeyboardKey(WORD vk, std::initializer_list<WORD> modifiers) {
    for (WORD m : modifiers) keybd_event(static_cast<BYTE>(m), 0, 0, 0);
    keybd_event(static_cast<BYTE>(vk), 0, 0, 0);
    keybd_event(static_cast<BYTE>(vk), 0, KEYEVENTF_KEYUP, 0);
    for (auto m = std::rbegin(modifiers); m != std::rend(modifiers); ++m) {
        keybd_event(static_cast<BYTE>(*m), 0, KEYEVENTF_KEYUP, 0);
    }
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done() && std::chrono::steady_clock::now() < end) PumpFor(std::chrono::milliseconds(10));
    return done();
}

int RunModal(platform::Form& form, std::function<void(DriverWindow&)> steps,
             std::vector<std::function<void(DriverWindow&)>> more) {
    UiDriver d;
    d.Then(std::move(steps));
    for (auto& m : more) d.Then(std::move(m));
    return d.Run([&] { return form.ShowModal(); });
}

void PumpFor(std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    do {
        platform::Application::Instance().ProcessMessages();
        Sleep(5);
    } while (std::chrono::steady_clock::now() < end);
}

}  // namespace testing_support
