// The single-instance guard, with real processes of Pelmark.exe.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Handles.h"
#include "shell/KelPrevInst.h"
#include "support/Helpers.h"
#include "support/RegistrySandbox.h"
#include "support/UiDriver.h"

using namespace shell;
using testing_support::ErrorOf;

namespace {


// A window that claims to be (or not to be) a running copy, and records what
// a second start sends it.
class StandIn {
public:
    StandIn(const char* className, LRESULT reply) : reply_(reply) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &StandIn::Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = className;
        RegisterClassA(&wc);
        hwnd_ = CreateWindowA(className, "stand-in", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                              wc.hInstance, nullptr);
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        className_ = className;
    }
    ~StandIn() {
        DestroyWindow(hwnd_);
        UnregisterClassA(className_.c_str(), GetModuleHandleA(nullptr));
    }
    HWND Handle() const { return hwnd_; }
    int restores = 0;
    DWORD busyMs = 0;
    std::vector<std::string> handedOver;

private:
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        auto* self = reinterpret_cast<StandIn*>(GetWindowLongPtrA(h, GWLP_USERDATA));
        if (self && m != 0) {
            if (m == MsgAppGetID()) {
                Sleep(self->busyMs);  // a copy busy with a long refresh
                return self->reply_;
            }
            if (m == MsgAppRestore()) {
                ++self->restores;
                return 0;
            }
            if (m == MsgAppPrevInstParm()) {
                char buf[512] = {};
                GlobalGetAtomNameA(static_cast<ATOM>(w), buf, sizeof buf);
                self->handedOver.push_back(buf);
                return 0;
            }
        }
        return DefWindowProcA(h, m, w, l);
    }
    HWND hwnd_;
    LRESULT reply_;
    std::string className_;
};

DWORD gAllowed = 0;
int gRestoresWhenAllowed = -1;
StandIn* gAllowedBeforeRestore = nullptr;
BOOL WINAPI RecordAllowForeground(DWORD pid) {
    gAllowed = pid;
    testing_support::PumpFor(std::chrono::milliseconds(50));  // a restore posted already would arrive now
    gRestoresWhenAllowed = gAllowedBeforeRestore->restores;
    return TRUE;
}

// The program beside the test: the shipped one, or the one with the seams
// that hold a start where a test wants it.
std::string PelmarkPath(const char* program) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p = path;
    return p.substr(0, p.find_last_of('\\') + 1) + program;
}

struct Process {
    PROCESS_INFORMATION pi{};
    explicit Process(const std::string& args, const char* program = "Pelmark.exe") {
        std::string cmd = "\"" + PelmarkPath(program) + "\"" + (args.empty() ? "" : " " + args);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            ADD_FAILURE() << "cannot start " << cmd;
        }
    }
    ~Process() {
        if (pi.hProcess) {
            if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 99);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
    // Waits while this thread keeps answering messages; -1 on time-out.
    long Wait(int ms = 30000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            const DWORD r = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 50, QS_ALLINPUT);
            if (r == WAIT_OBJECT_0) {
                DWORD code = 0;
                GetExitCodeProcess(pi.hProcess, &code);
                return static_cast<long>(code);
            }
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        return -1;
    }
};

struct ProcWindows {
    DWORD pid;
    const char* cls;
    HWND found = nullptr;
};

BOOL CALLBACK FindProcWindow(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<ProcWindows*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (pid == s->pid && lstrcmpA(cls, s->cls) == 0 && IsWindowVisible(w)) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

struct WindowsOf {
    DWORD pid;
    std::string text;
};

BOOL CALLBACK DescribeWindow(HWND w, LPARAM lp) {
    auto* of = reinterpret_cast<WindowsOf*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != of->pid) return TRUE;
    char cls[64] = {}, text[128] = {};
    GetClassNameA(w, cls, sizeof cls);
    GetWindowTextA(w, text, sizeof text);
    of->text += std::string("; ") + cls + " \"" + text + "\"" + (IsWindowVisible(w) ? " shown" : " hidden");
    return TRUE;
}

// What a started copy shows, for a failure's report: whether it still runs,
// and each of its top-level windows with its class, text and visibility.
std::string Showing(const Process& p) {
    DWORD code = 0;
    GetExitCodeProcess(p.pi.hProcess, &code);
    WindowsOf of{p.pi.dwProcessId, code == STILL_ACTIVE ? "still running" : "ended with " + std::to_string(code)};
    EnumWindows(&DescribeWindow, reinterpret_cast<LPARAM>(&of));
    return of.text;
}

HWND WaitForWindow(DWORD pid, const char* cls, int ms = 30000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        ProcWindows s{pid, cls};
        EnumWindows(&FindProcWindow, reinterpret_cast<LPARAM>(&s));
        if (s.found) return s.found;
        testing_support::PumpFor(std::chrono::milliseconds(50));
    }
    return nullptr;
}

}  // namespace

TEST(PrevInstance, SeparatorChecks) {
    EXPECT_EQ(ErrorOf([] { ValidateSeparator(""); }), "Command line seperater is empty!");
    EXPECT_EQ(ErrorOf([] { ValidateSeparator(" ,"); }),
              "Command line separater contains characters larger than character 32!");
    EXPECT_EQ(ErrorOf([] { ValidateSeparator(" \t"); }), "(no error)");
    EXPECT_EQ(ErrorOf([] { ValidateSeparator(CommandLineSeparator); }), "(no error)");
}

TEST(PrevInstance, ParametersAreSplitAndJoinedBySingleSpaces) {
    EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\Pelmark.exe\" a  b\tc"),
              (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(SplitCommandLine("Pelmark.exe"), std::vector<std::string>{});
    EXPECT_EQ(SplitCommandLine("p.exe \"two words\" x\"y z\""), (std::vector<std::string>{"two words", "xy z"}));
    EXPECT_EQ(JoinParameters({"a", "b", "c"}, " "), "a b c");
    EXPECT_EQ(JoinParameters({"two words", "x"}, " "), "two words x");  // joined as they are
    EXPECT_EQ(JoinParameters({" padded "}, " "), "padded");
    EXPECT_EQ(JoinParameters({}, " "), "");
}

TEST(PrevInstance, OnlyTheRightClassWithTheRightAnswerIsTheRunningCopy) {
    {
        StandIn wrongReply(kMainClassName, 42);
        StandIn wrongClass("TFrmSomethingElse", kAppID);
        EXPECT_EQ(FindRunningCopy(kMainClassName, kAppID), nullptr);
    }
    {
        StandIn lower("tfrmzumain", kAppID);  // class names compare without case
        EXPECT_EQ(FindRunningCopy(kMainClassName, kAppID), lower.Handle());
    }
}

TEST(PrevInstance, SecondStartHandsOverParametersJoinedAndExitsZero) {
    StandIn running(kMainClassName, kAppID);
    Process second("a b c");
    EXPECT_EQ(second.Wait(), 0);
    testing_support::PumpFor(std::chrono::milliseconds(100));  // the posted restore
    EXPECT_EQ(running.restores, 1);
    EXPECT_EQ(running.handedOver, (std::vector<std::string>{"a b c"}));
}

TEST(PrevInstance, ASecondStartWaitsForABusyRunningCopyAndHandsOver) {
    StandIn running(kMainClassName, kAppID);
    running.busyMs = 4000;  // longer than any short time-out
    Process second("p");
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_EQ(WaitForWindow(second.pi.dwProcessId, kMainClassName, 10), nullptr);
    testing_support::PumpFor(std::chrono::milliseconds(100));
    EXPECT_EQ(running.handedOver, (std::vector<std::string>{"p"}));
}

TEST(PrevInstance, SecondStartWithoutParametersOnlyAsksToRestore) {
    StandIn running(kMainClassName, kAppID);
    Process second("");
    EXPECT_EQ(second.Wait(), 0);
    testing_support::PumpFor(std::chrono::milliseconds(100));
    EXPECT_EQ(running.restores, 1);
    EXPECT_TRUE(running.handedOver.empty());
    // The running copy is let take the foreground before it is asked to come forward.
    gAllowed = 0;
    gAllowedBeforeRestore = &running;
    AllowForeground = &RecordAllowForeground;
    HandOver(running.Handle(), {});
    AllowForeground = &AllowSetForegroundWindow;
    testing_support::PumpFor(std::chrono::milliseconds(100));
    EXPECT_EQ(gAllowed, GetCurrentProcessId());
    EXPECT_EQ(gRestoresWhenAllowed, 1);  // the restore was not posted yet
    EXPECT_EQ(running.restores, 2);
}

TEST(PrevInstance, OverlongParametersEndWithExitCodeOneAfterTheRestore) {
    StandIn running(kMainClassName, kAppID);
    Process second(std::string(300, 'x'));
    // The error is reported in a message box of the second process.
    HWND box = nullptr;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!box && std::chrono::steady_clock::now() < end) {
        box = WaitForWindow(second.pi.dwProcessId, "#32770", 200);
        if (WaitForSingleObject(second.pi.hProcess, 0) == WAIT_OBJECT_0) break;
    }
    ASSERT_NE(box, nullptr) << "no error message";
    char title[128] = {};
    GetWindowTextA(box, title, sizeof title);
    EXPECT_STREQ(title, "Pelmark");
    std::string text;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char buf[512] = {};
        GetWindowTextA(c, buf, sizeof buf);
        text += std::string(buf) + "|";
    }
    EXPECT_NE(text.find("System Error.  Code: "), std::string::npos) << text;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(second.Wait(), 1);
    testing_support::PumpFor(std::chrono::milliseconds(100));
    EXPECT_EQ(running.restores, 1);  // the running copy still came forward
    EXPECT_TRUE(running.handedOver.empty());
}

static DWORD WINAPI TakeAndEnd(void* held) {
    *static_cast<HANDLE*>(held) = CreateMutexA(nullptr, TRUE, StartLockName().c_str());
    return 0;  // ended holding it: the lock is abandoned
}

TEST(PrevInstance, RealSecondStartRestoresAMinimisedFirstCopy) {
    testing_support::RegistrySandbox sandbox;
    // A start that ended while it held the lock leaves it to the next.
    HANDLE held = nullptr;
    HANDLE taker = CreateThread(nullptr, 0, &TakeAndEnd, &held, 0, nullptr);
    ASSERT_NE(taker, nullptr);
    WaitForSingleObject(taker, INFINITE);
    CloseHandle(taker);
    platform::UniqueKernelHandle abandoned(held);
    ASSERT_NE(abandoned.get(), nullptr);
    Process first("");
    HWND main = WaitForWindow(first.pi.dwProcessId, kMainClassName);
    ASSERT_NE(main, nullptr);
    char caption[64] = {};
    GetWindowTextA(main, caption, sizeof caption);
    EXPECT_STREQ(caption, "Pelmark");
    EXPECT_EQ(FindRunningCopy(kMainClassName, kAppID), main);

    ShowWindow(main, SW_MINIMIZE);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!IsIconic(main) && std::chrono::steady_clock::now() < until) Sleep(20);
    ASSERT_TRUE(IsIconic(main));
    {
        // Handed over at once, well within the lock's wait of 15 s.
        Process second("x y");
        EXPECT_EQ(second.Wait(7000), 0);
        EXPECT_EQ(WaitForWindow(second.pi.dwProcessId, kMainClassName, 10), nullptr);
    }
    const auto restored = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (IsIconic(main) && std::chrono::steady_clock::now() < restored) Sleep(20);
    EXPECT_FALSE(IsIconic(main));

    // Escape in the main window ends the program normally.
    PostMessageA(main, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(first.Wait(), 0);
}

TEST(PrevInstance, TwoStartsAtOnceLeaveOneCopy) {
    testing_support::RegistrySandbox sandbox;
    testing_support::TempFolder dir;
    auto start = [&](const char* name) {
        SetEnvironmentVariableA("PELMARK_TEST_MARKERS", (dir.Path() + name).c_str());
        auto p = std::make_unique<Process>("", "Pelmark_test.exe");
        SetEnvironmentVariableA("PELMARK_TEST_MARKERS", nullptr);
        return p;
    };
    auto marked = [&](const std::string& file) {
        return testing_support::PumpUntil([&] { return platform::FileExists(dir.Path() + file); },
                                          std::chrono::seconds(30));
    };
    // The first start is held between the guard and its main window, where a
    // second start finds no running copy; the second comes to the lock then.
    auto first = start("first");
    ASSERT_TRUE(marked("first.held"));
    auto second = start("second");
    ASSERT_TRUE(marked("second.at-lock"));
    EXPECT_EQ(second->Wait(3000), -1) << "the second start did not wait at the lock";
    EXPECT_EQ(WaitForWindow(first->pi.dwProcessId, kMainClassName, 10), nullptr) << "the first start was not held";
    DeleteFileA((dir.Path() + "first.held").c_str());
    HWND main = WaitForWindow(first->pi.dwProcessId, kMainClassName);
    ASSERT_NE(main, nullptr) << "the first copy: " << Showing(*first);
    EXPECT_EQ(second->Wait(15000), 0) << "the second start went on as a copy of its own";
    EXPECT_FALSE(platform::FileExists(dir.Path() + "second.held"));
    DeleteFileA((dir.Path() + "second.held").c_str());
    PostMessageA(main, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(first->Wait(), 0);
}

TEST(PrevInstance, ASecondStartWaitsOutABusyCopyAndSpeaksOnlyOfOneThatHangs) {
    testing_support::RegistrySandbox sandbox;
    testing_support::TempFolder dir;
    // A first copy that stops answering once its main window shows.
    auto hangingCopy = [&](std::unique_ptr<Process>& first) {
        dir.MakeFile("first.hang", "");
        SetEnvironmentVariableA("PELMARK_TEST_MARKERS", (dir.Path() + "first").c_str());
        first = std::make_unique<Process>("", "Pelmark_test.exe");
        SetEnvironmentVariableA("PELMARK_TEST_MARKERS", nullptr);
        EXPECT_TRUE(testing_support::PumpUntil([&] { return platform::FileExists(dir.Path() + "first.held"); },
                                               std::chrono::seconds(30)));
        DeleteFileA((dir.Path() + "first.held").c_str());  // not held before its window
        HWND main = WaitForWindow(first->pi.dwProcessId, kMainClassName);
        EXPECT_NE(main, nullptr) << "the first copy: " << Showing(*first);
        return main;
    };
    std::unique_ptr<Process> first;
    // Busy for 7 s, and started again once the system calls it hung (no
    // message read for 5 s): the second start waits, says nothing and
    // hands over.
    HWND main = hangingCopy(first);
    ASSERT_NE(main, nullptr);
    testing_support::PumpFor(std::chrono::milliseconds(5500));
    {
        Process second("");
        EXPECT_EQ(WaitForWindow(second.pi.dwProcessId, "TMessageForm", 1500), nullptr);
        DeleteFileA((dir.Path() + "first.hang").c_str());
        EXPECT_EQ(second.Wait(15000), 0);
        EXPECT_EQ(WaitForWindow(second.pi.dwProcessId, kMainClassName, 10), nullptr);
    }
    PostMessageA(main, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(first->Wait(), 0);
    // Silent for longer than the wait: the second start says so.
    main = hangingCopy(first);
    ASSERT_NE(main, nullptr);
    Process second("");
    // Told, within the wait the guard allows, and not a copy of its own.
    HWND told = nullptr;
    for (const char* cls : {"TMessageForm", "TxMessageForm"}) {
        if (!told) told = WaitForWindow(second.pi.dwProcessId, cls, cls[1] == 'M' ? 30000 : 10);
    }
    ASSERT_NE(told, nullptr) << "the second start waits without a word";
    EXPECT_EQ(WaitForWindow(second.pi.dwProcessId, kMainClassName, 10), nullptr);
    char text[256] = {};
    for (HWND c = GetWindow(told, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (GetWindowTextLengthA(c) > 40) GetWindowTextA(c, text, sizeof text);
    }
    EXPECT_STREQ(text, kNotAnswering);
    PostMessageA(told, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(second.Wait(10000), 0);
    DeleteFileA((dir.Path() + "first.hang").c_str());
    PostMessageA(main, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(first->Wait(), 0);
}
