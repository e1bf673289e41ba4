#include "shell/KelPrevInst.h"

#include "about/xDialogs.h"
#include "platform/Error.h"

namespace shell {

std::string CommandLineSeparator = " ";

UINT MsgAppGetID() { return RegisterWindowMessageA("wm_KelAppGetID"); }
UINT MsgAppRestore() { return RegisterWindowMessageA("wm_KelAppRestore"); }
UINT MsgAppPrevInstParm() { return RegisterWindowMessageA("wm_KelAppPrevInstParm"); }

namespace {
template <class F>
F User32Function(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}
}  // namespace

MessageFilterCalls MessageFilter{
    User32Function<decltype(MessageFilterCalls::perWindow)>("ChangeWindowMessageFilterEx"),
    User32Function<decltype(MessageFilterCalls::perProcess)>("ChangeWindowMessageFilter"),
};

void LetProtocolMessagesThrough(HWND main) {
    for (UINT msg : {MsgAppGetID(), MsgAppRestore(), MsgAppPrevInstParm()}) {
        if (MessageFilter.perWindow) MessageFilter.perWindow(main, msg, MSGFLT_ALLOW, nullptr);
        else if (MessageFilter.perProcess) MessageFilter.perProcess(msg, MSGFLT_ADD);
    }
}

void ValidateSeparator(const std::string& separator) {
    if (separator.empty()) throw platform::Error("Command line seperater is empty!");
    for (unsigned char c : separator) {
        if (c > 32) {
            throw platform::Error(
                "Command line separater contains characters larger than character 32!");
        }
    }
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> out;
    size_t i = 0;
    const size_t n = commandLine.size();
    bool first = true;
    while (true) {
        while (i < n && static_cast<unsigned char>(commandLine[i]) <= 32) ++i;
        if (i >= n) break;
        std::string param;
        bool quoted = false;
        while (i < n && (quoted || static_cast<unsigned char>(commandLine[i]) > 32)) {
            if (commandLine[i] == '"') quoted = !quoted;
            else param += commandLine[i];
            ++i;
        }
        if (first) first = false;  // the program path is not a parameter
        else out.push_back(param);
    }
    return out;
}

std::string JoinParameters(const std::vector<std::string>& params, const std::string& separator) {
    std::string text;
    for (const auto& p : params) text += separator + p;
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
    return text.substr(b, e - b);
}

namespace {

struct Search {
    const char* className;
    LRESULT appID;
    HWND found;
    HWND silent;  // of the class, but gave no answer in time
};

BOOL CALLBACK Examine(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    try {
        const UINT getId = MsgAppGetID();
        char cls[30] = {};
        GetClassNameA(w, cls, sizeof cls);
        // The class is compared first, so only a window that could be the
        // running copy is asked; it is then waited for while it is busy, or
        // a busy copy would be taken for a stranger and a second copy start,
        // but not for ever: a copy that hangs must not hang this start too.
        // The whole wait, even for a copy the system already calls hung (no
        // message read for 5 s): a first start still listing thousands of
        // profiles is only busy.
        if (lstrcmpiA(cls, s->className) != 0) return TRUE;
        DWORD_PTR reply = 0;
        if (!SendMessageTimeoutA(w, getId, 0, 0, SMTO_NORMAL, kAnswerWaitMs, &reply)) {
            if (!s->silent) s->silent = w;
            return TRUE;
        }
        if (static_cast<LRESULT>(reply) == s->appID) {
            s->found = w;
            return FALSE;
        }
    } catch (...) {
        // Nothing may cross back into the system; this window is simply not it.
    }
    return TRUE;
}

}  // namespace

HWND FindRunningCopy(const char* className, LRESULT appID, HWND* silent) {
    Search s{className, appID, nullptr, nullptr};
    EnumWindows(&Examine, reinterpret_cast<LPARAM>(&s));
    if (silent) *silent = s.found ? nullptr : s.silent;
    return s.found;
}

BOOL(WINAPI* AllowForeground)(DWORD processId) = &AllowSetForegroundWindow;

void HandOver(HWND running, const std::vector<std::string>& params) {
    // The system lets a process take the foreground only under its rules,
    // which the start the user just made meets and the running copy, asked
    // from outside, does not: this start passes its right on, or the copy
    // could only flash its taskbar button.
    DWORD runningProcess = 0;
    GetWindowThreadProcessId(running, &runningProcess);
    if (runningProcess) AllowForeground(runningProcess);
    PostMessageA(running, MsgAppRestore(), 0, 0);
    if (params.empty()) return;
    const std::string text = JoinParameters(params, CommandLineSeparator);
    const ATOM atom = GlobalAddAtomA(text.c_str());
    if (!atom) platform::RaiseLastOSError();
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(running, MsgAppPrevInstParm(), atom, 0, SMTO_NORMAL, kAnswerWaitMs, &ignored);
    GlobalDeleteAtom(atom);
}

const char* const kNotAnswering =
    "Pelmark is already running, but it does not answer.\rWait for it, or end it, and start Pelmark again.";

void CheckPrevInstance(const char* className, LRESULT appID) {
    ValidateSeparator(CommandLineSeparator);
    HWND silent = nullptr;
    HWND running = FindRunningCopy(className, appID, &silent);
    if (!running && silent) {
        // A second copy beside one that hangs would only add to the trouble:
        // the user is told, and this start ends as a hand-over would.
        about::ShowMessageDialog(kNotAnswering, about::MsgKind::Warning, about::mbOK, 0);
        ExitProcess(0);
    }
    if (!running) return;
    HandOver(running, SplitCommandLine(GetCommandLineA()));
    ExitProcess(0);
}

std::string StartLockName() {
    std::string desktop = "Default";
    HDESK d = GetThreadDesktop(GetCurrentThreadId());
    DWORD needed = 0;
    GetUserObjectInformationA(d, UOI_NAME, nullptr, 0, &needed);
    if (needed > 0) {
        std::string name(needed, '\0');
        if (GetUserObjectInformationA(d, UOI_NAME, name.data(), needed, &needed)) {
            name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));
            if (!name.empty()) desktop = name;
        }
    }
    for (char& c : desktop) {
        if (c == '\\') c = '_';  // a backslash would name a namespace
    }
    return "Local\\Pelmark.Start." + desktop;
}

StartLock::StartLock() : mutex_(CreateMutexA(nullptr, FALSE, StartLockName().c_str())) {
    if (!mutex_) return;  // no lock to be had: the guard as it always was
    const DWORD r = WaitForSingleObject(mutex_, kStartLockWaitMs);
    owned_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;  // abandoned: that start ended
}

StartLock::~StartLock() {
    Release();
    if (mutex_) CloseHandle(mutex_);
}

void StartLock::Release() {
    if (owned_) ReleaseMutex(mutex_);
    owned_ = false;
}

}  // namespace shell
