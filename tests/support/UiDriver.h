// Drives modal windows the way a user would, from inside the modal loop the
// code under test runs: queue what to do with each window as it appears, run
// the action that opens it, and get the action's result back. A window that
// does not turn up, or does not close, within the time-out fails the test and
// is closed, so no test hangs.
//
// Each handler runs on a fiber of its own. A step posts its input and hands
// control back to the window's own modal loop; the handler goes on only when
// that loop has acted on the step (its close check included) and the window
// is the active modal one again, or has closed. So a check written after a
// step sees the window as the user would then see it.
#pragma once

#include <windows.h>

#include <chrono>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <vector>

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
    // Each step below has been acted on by the window's modal loop when it
    // returns, so steps keep their order and checks see their outcome.
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
    // The same for a window that may or may not appear; only after the Thens.
    UiDriver& ThenMaybe(std::function<void(DriverWindow&)> handler);

    // Runs the action; every queued handler must have run by the time it
    // returns, and a modal window that no handler is left for fails the test.
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

    // Inside a handler: lets the modal loops run until they have acted on
    // what was just sent. Elsewhere: handles what is pending.
    static void Settle();

private:
    struct Job;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    static void CALLBACK RunJob(void* job);
    void OnTick();
    void Start();
    void Finish();
    void Resume(Job& job);
    HWND FindModal() const;

    std::chrono::milliseconds timeout_;
    std::chrono::steady_clock::time_point started_;
    std::deque<std::function<void(DriverWindow&)>> handlers_;
    std::set<HWND> handled_;
    std::vector<std::unique_ptr<Job>> jobs_;  // handlers begun and not yet ended
    std::vector<std::string> seen_;
    std::vector<std::string> unexpected_;
    size_t optional_ = 0;  // how many handlers at the end may go unused
    UINT_PTR timer_ = 0;
    bool timedOut_ = false;
    static UiDriver* current_;
    static Job* running_;  // the handler whose fiber runs now, if any
};

// Shows a form the test has made as a modal dialog, with what to do with it
// and then with each window it opens; returns its modal result.
int RunModal(platform::Form& form, std::function<void(DriverWindow&)> steps,
             std::vector<std::function<void(DriverWindow&)>> more = {});

// Lets every pending message be handled (and gives timers a chance to fire).
void PumpFor(std::chrono::milliseconds time);

// A key pressed and released with these modifiers held, through the
// system's input queue as the keyboard gives it, to whatever has the focus.
void KeyboardKey(WORD vk, std::initializer_list<WORD> modifiers = {});

// Handles messages until `done()` holds or the time-out passes; says which.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(5));

}  // namespace testing_support
