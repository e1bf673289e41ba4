// The single-instance guard: a second start finds the running copy's main
// window, asks it to come forward, hands over its command-line parameters and
// ends with exit code 0.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace shell {

constexpr LRESULT kAppID = 123470;
constexpr char kMainClassName[] = "TFrmZuMain";

// Joins the handed-over parameters; non-empty, only characters up to code 32.
extern std::string CommandLineSeparator;

// The three registered messages of the protocol.
UINT MsgAppGetID();
UINT MsgAppRestore();
UINT MsgAppPrevInstParm();

// A copy started "as administrator" would not hear a normal second start:
// the system drops messages above WM_USER that come from a lower integrity
// level. The main window lets the protocol's three messages through, per
// window where the system can (Windows 7 on), per process on Vista.
void LetProtocolMessagesThrough(HWND main);
// The system's two filters, looked up in user32 at run time (null where the
// system has none); a test may record the calls instead.
struct MessageFilterCalls {
    BOOL(WINAPI* perWindow)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);  // ChangeWindowMessageFilterEx
    BOOL(WINAPI* perProcess)(UINT, DWORD);                           // ChangeWindowMessageFilter
};
extern MessageFilterCalls MessageFilter;

// Raises an error for an empty separator or one with a character above 32.
void ValidateSeparator(const std::string& separator);

// The parameters of a command line, program path excluded: separated by
// blanks, double quotes group and are dropped.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Each parameter preceded by the separator, then trimmed of characters up to
// code 32 at both ends.
std::string JoinParameters(const std::vector<std::string>& params, const std::string& separator);

// How long a start waits for the running copy to answer, at most.
constexpr UINT kAnswerWaitMs = 15000;

// The top-level window of class `className` (ignoring case) that answers the
// identification query with `appID`, or null. Only windows of that class are
// asked, each for at most kAnswerWaitMs, however busy; when none answers,
// `silent` (if given) names a window of the class that gave no answer.
HWND FindRunningCopy(const char* className, LRESULT appID, HWND* silent = nullptr);

// What a start says when the running copy does not answer; it then ends
// with exit code 0.
extern const char* const kNotAnswering;

// Brings `running` forward and hands over `params`; raises the system's error
// when the joined text cannot be stored as an atom. First lets the running
// copy's process take the foreground, through AllowForeground (the system's
// AllowSetForegroundWindow; a test may record the call instead).
void HandOver(HWND running, const std::vector<std::string>& params);
extern BOOL(WINAPI* AllowForeground)(DWORD processId);

// Returns when no copy runs; otherwise hands over and ends the process with 0.
void CheckPrevInstance(const char* className, LRESULT appID);

// Starts on one desktop one at a time: held from before the guard looks for a
// running copy until the main window exists, so that two starts at the same
// moment cannot both find none. A start that finds it held waits (at most
// kStartLockWaitMs, then goes on regardless) and then finds the window.
class StartLock {
public:
    static constexpr DWORD kStartLockWaitMs = 15000;
    StartLock();
    ~StartLock();
    StartLock(const StartLock&) = delete;
    StartLock& operator=(const StartLock&) = delete;
    void Release();

private:
    HANDLE mutex_ = nullptr;
    bool owned_ = false;
};

// The lock's name: one per desktop of the session.
std::string StartLockName();

}  // namespace shell
