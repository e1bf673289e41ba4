// Drives modal windows the way a user would, from inside the modal loop the
// code under test runs: queue what to do with each window as it appears, run
// the action that opens it, and get the action's result back. A window that
// does not turn up, or does not close, within the time-out fails the test and
// is closed, so no test hangs.
#pragma once

#include <windows.h>

#include <chrono>
#include <deque>
#include <functional>
#include <set>
#include <string>

#include "platform/Form.h"

namespace testing_support {

class DriverWindow {
public:
    explicit DriverWindow(HWND hwnd);
    HWND Handle() const { return hwnd_; }
    platform::Form* Form() const { return form_; }
    std::string Title() const;
    // A control by its name (forms), or by its caption without "&" (system dialogs).
    HWND Control(const std::string& name) const;
    std::string Text(const std::string& name) const;
    HWND Focused() const;
    // Each step below is acted on before it returns, so steps keep their order.
    // Clicks a button, as a mouse click would.
    void Press(const std::string& name) const;
    // Moves the keyboard focus, as Tab or a click would.
    void FocusOn(const std::string& name) const;
    // A key press with exactly these modifiers, delivered to the focused control.
    void Key(WPARAM vk, unsigned shift = platform::ssNone) const;
    // As the close button of the window frame.
    void CloseFrame() const;

private:
    HWND hwnd_;
    platform::Form* form_;
};

class UiDriver {
public:
    explicit UiDriver(std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
    ~UiDriver();
    UiDriver(const UiDriver&) = delete;
    UiDriver& operator=(const UiDriver&) = delete;

    // What to do with the next modal window that appears.
    UiDriver& Then(std::function<void(DriverWindow&)> handler);

    // Runs the action; every queued handler must have run by the time it returns.
    template <typename F>
    auto Run(F&& action) -> decltype(action()) {
        Start();
        struct Stop {
            UiDriver* d;
            ~Stop() { d->Finish(); }
        } stop{this};
        return action();
    }

    bool TimedOut() const { return timedOut_; }
    // The windows seen, in order, by their titles.
    const std::vector<std::string>& Seen() const { return seen_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void OnTick();
    void Start();
    void Finish();
    HWND FindModal() const;

    std::chrono::milliseconds timeout_;
    std::chrono::steady_clock::time_point started_;
    std::deque<std::function<void(DriverWindow&)>> handlers_;
    std::set<HWND> handled_;
    std::vector<std::string> seen_;
    UINT_PTR timer_ = 0;
    bool timedOut_ = false;
    static UiDriver* current_;
};

// Lets every pending message be handled (and gives timers a chance to fire).
void PumpFor(std::chrono::milliseconds time);

}  // namespace testing_support
