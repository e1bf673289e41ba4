// Start-up of Pelmark.exe with 1,000 profiles, from process start until its
// main window is idle and its grid filled, against a program that only shows
// an empty window of the same size; alternately, in one run. Prints the
// ratio of the median times and the peak working sets of both.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "profiles/ZuGlobal.h"
#include "settings/KelUtility.h"
#include "settings/RegSpecial.h"
#include "support/RegistrySandbox.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Beside(const char* name) {
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string p = exe;
    return p.substr(0, p.find_last_of('\\') + 1) + name;
}

struct Found {
    DWORD pid;
    HWND window = nullptr;
};

BOOL CALLBACK FindVisible(HWND w, LPARAM lp) {
    auto* f = reinterpret_cast<Found*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == f->pid && IsWindowVisible(w)) {
        f->window = w;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindList(HWND w, LPARAM lp) {
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpA(cls, "SysListView32") == 0) {
        *reinterpret_cast<HWND*>(lp) = w;
        return FALSE;
    }
    return TRUE;
}

struct Result {
    double seconds = 0;
    SIZE_T peak = 0;
};

// Starts the program and waits until its window shows (and, for Pelmark,
// its grid holds `rows` rows).
Result Start(const std::string& exe, int rows) {
    Result r;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + exe + "\"";
    const auto t0 = Clock::now();
    if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::printf("cannot start %s\n", exe.c_str());
        return r;
    }
    WaitForInputIdle(pi.hProcess, 30000);
    Found f{pi.dwProcessId};
    for (;;) {
        EnumWindows(&FindVisible, reinterpret_cast<LPARAM>(&f));
        if (f.window) {
            if (rows <= 0) break;
            HWND list = nullptr;
            EnumChildWindows(f.window, &FindList, reinterpret_cast<LPARAM>(&list));
            if (list && SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == rows) break;
        }
        if (std::chrono::duration<double>(Clock::now() - t0).count() > 60) break;
        Sleep(1);
    }
    r.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    if (K32GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof pmc)) r.peak = pmc.PeakWorkingSetSize;
    if (f.window) PostMessageA(f.window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return r;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    settings::KelUtilityStart();
    testing_support::RegistrySandbox registry;
    testing_support::TempFolder dir;
    const std::string folder = dir.MakeFolder("Profiles");
    for (int i = 0; i < 1000; ++i) {
        const std::string name = "Profile " + std::to_string(i);
        dir.MakeFolder("Profiles\\" + name);
        dir.MakeFile("Profiles\\" + name + "\\Agent.ini",
                     "[View]\r\nTitle=Agent " + std::to_string(i) + "\r\n[Servers]\r\nNewsServer=news" +
                         std::to_string(i) + ".example.org\r\nMailServer=mail.example.org\r\n[Profile]\r\nLaunchMode=" +
                         std::to_string(i % 2) + "\r\n[URL]\r\nForceAgentClient=1\r\n");
    }
    settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "ProfileFolder", folder);

    const std::string pelmark = Beside("Pelmark.exe");
    const std::string baseline = Beside("baseline_window.exe");
    std::vector<double> tp, tb;
    SIZE_T peakP = 0, peakB = 0;
    Start(baseline, 0);  // warm both up once
    Start(pelmark, 1000);
    for (int round = 0; round < 7; ++round) {
        const Result b = Start(baseline, 0);
        const Result p = Start(pelmark, 1000);
        tb.push_back(b.seconds);
        tp.push_back(p.seconds);
        peakB = std::max(peakB, b.peak);
        peakP = std::max(peakP, p.peak);
    }
    const double mp = Median(tp), mb = Median(tb);
    // Where the time goes: reading the 1000 profiles' Agent.ini files alone.
    std::vector<double> tl;
    for (int round = 0; round < 3; ++round) {
        const auto t0 = Clock::now();
        profiles::ListProfilesIn(folder);
        tl.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
    }
    std::printf("start-up with 1000 profiles: Pelmark %.3f s, baseline %.3f s, ratio %.2f (target <= 2.0)\n", mp, mb,
                mp / mb);
    std::printf("  of which listing the 1000 profiles in-process takes %.3f s\n", Median(tl));
    std::printf("peak working set: Pelmark %lu KiB, baseline %lu KiB, ratio %.2f (target <= 1.5)\n",
                static_cast<unsigned long>(peakP / 1024), static_cast<unsigned long>(peakB / 1024),
                peakB ? static_cast<double>(peakP) / static_cast<double>(peakB) : 0.0);
    return 0;
}
