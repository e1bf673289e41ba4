// The application object: title, hint switch, termination, bringing the
// program forward, the message loop every window shares, and the top-level
// error report.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

namespace platform {

class Form;
class PlacementKeeper;

class Application {
public:
    static Application& Instance();

    // Registers the common controls and the window classes the forms use.
    void Initialize(HINSTANCE instance);
    HINSTANCE InstanceHandle() const { return instance_; }

    // The application's title: the task-bar text of the main window and the
    // title of the error report and of untyped messages.
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title);

    // Whether controls pop up their hints: the one switch every form follows,
    // those alive now and those made later.
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool show);

    // What keeps the forms' places; none: forms stand where they are made.
    PlacementKeeper* Placement() const { return placement_; }
    void SetPlacement(PlacementKeeper* keeper) { placement_ = keeper; }

    // How an information message is shown (a control's help): the message
    // dialogs live above the form layer, and the settings module hands the
    // application the way at start. None: nothing is shown.
    using InformationShower = void (*)(const std::string& text);
    void SetInformationShower(InformationShower shower) { informationShower_ = shower; }
    InformationShower GetInformationShower() const { return informationShower_; }
    void ShowInformation(const std::string& text) const {
        if (informationShower_) informationShower_(text);
    }

    // A window shown while the program starts (the splash screen), or none.
    // A message with no active window to belong to belongs to it: owned by
    // a window that stays on top, the message stands in front of it.
    void SetStartupWindow(HWND window) { startupWindow_ = window; }
    // The window a message belongs to: the active one, else the start-up one.
    HWND MessageOwner() const;

    Form* MainForm() const { return mainForm_; }
    HWND MainWindow() const;
    void SetMainForm(Form* form) { mainForm_ = form; }

    // Ends the main loop at its next turn; modal loops pass the request on.
    void Terminate();
    bool Terminated() const { return terminated_; }
    // Forgets an earlier Terminate (tests run several sessions in one process).
    void ResetTerminated();

    // Restores a minimised program, otherwise makes its last active window
    // (the main window or the modal dialog over it) the foreground window.
    void BringToFront();
    // Makes a window of this program the active one, on the screen the user sees.
    void ComeForward(HWND window);
    // Under Wine: lets Wine handle what the X window manager sends (it does
    // so as the thread peeks at its queue), dispatching nothing, until `done`
    // answers true or `limitMs` has passed. `done` is told whether the last
    // wait, of at most `stepMs`, passed with nothing arriving.
    static void WaitForWindowManager(DWORD limitMs, DWORD stepMs, const std::function<bool(bool quiet)>& done);

    // Runs the main loop until Terminate or WM_QUIT; returns the exit code.
    int Run();
    // Handles one message the way every loop of the program does: key preview
    // of the form it belongs to, dialog keys, then dispatch.
    void ProcessMessage(MSG& msg);
    // Dispatches all pending messages without waiting.
    void ProcessMessages();

    // The top-level error report: a message box with the application's title,
    // a stop sign and OK.
    void ShowException(const std::exception& e);
    void ShowException(const char* message);
    // For catch(...) blocks at Win32 callbacks: reports whatever was thrown.
    void HandleCurrentException() noexcept;

    // Busy pointer for the whole application; counted, see BusyCursor.
    void BeginBusy();
    void EndBusy();
    bool Busy() const { return busy_ > 0; }
    // A modal window waits for the user: no busy pointer over it. Returns
    // the count to give back to ResumeBusy when it closes.
    int SuspendBusy();
    void ResumeBusy(int count);

private:
    Application() = default;

    HINSTANCE instance_ = nullptr;
    std::string title_;
    bool showHint_ = true;
    bool terminated_ = false;
    int busy_ = 0;
    Form* mainForm_ = nullptr;
    HWND startupWindow_ = nullptr;
    InformationShower informationShower_ = nullptr;
    PlacementKeeper* placement_ = nullptr;
};

// Shows the hourglass for the whole application while alive; the normal
// pointer comes back on every way out of the scope.
class BusyCursor {
public:
    BusyCursor() { Application::Instance().BeginBusy(); }
    ~BusyCursor() { Application::Instance().EndBusy(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace platform
