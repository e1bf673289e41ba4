// Start-up of Pelmark.exe with 20 and with 1,000 profiles, from process start
// until its main window shows with its grid filled, splash screen off and on,
// alternating in one run with three baselines: a program that only shows an
// empty window of the same size, the same program after it has read the same
// four keys of the same files, and the list-view floor (the plainest program
// that reads them and shows them in a list view with six buttons). Prints the
// ratios of the median times and of the peak working sets, what the splash
// adds, and the median time and share of each start-up checkpoint of the
// timed build. Given the Pelmark.exe of an earlier build ("--previous
// PATH"), starts it in each round too, with the splash off, and prints this
// build's time as a ratio of its.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
Result Start(const std::string& exe, int rows, const std::string& args = "", const std::string& waitFor = "") {
    Result r;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    const auto t0 = Clock::now();
    if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::printf("cannot start %s (%lu)\n", exe.c_str(), GetLastError());
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
    // The timed build writes its checkpoints at its first idle.
    for (int i = 0; !waitFor.empty() && GetFileAttributesA(waitFor.c_str()) == INVALID_FILE_ATTRIBUTES && i < 5000; ++i) {
        Sleep(1);
    }
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


// A folder of `count` profiles, each Agent.ini with the keys the listing reads.
std::string MakeProfiles(testing_support::TempFolder& dir, int count) {
    const std::string folder = dir.MakeFolder("Profiles");
    for (int i = 0; i < count; ++i) {
        const std::string name = "Profile " + std::to_string(i);
        dir.MakeFolder("Profiles\\" + name);
        dir.MakeFile("Profiles\\" + name + "\\Agent.ini",
                     "[View]\r\nTitle=Agent " + std::to_string(i) + "\r\n[Servers]\r\nNewsServer=news" +
                         std::to_string(i) + ".example.org\r\nMailServer=mail.example.org\r\n[Profile]\r\nLaunchMode=" +
                         std::to_string(i % 2) + "\r\n[URL]\r\nForceAgentClient=1\r\n");
    }
    return folder;
}

// The timed build's checkpoints over `runs` starts: name and median ms, in order.
std::vector<std::pair<std::string, double>> Checkpoints(const std::string& exe, int rows, int runs) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string file = std::string(temp) + "pelmark-checkpoints.txt";
    SetEnvironmentVariableA("PELMARK_CHECKPOINT_FILE", file.c_str());
    std::vector<std::string> order;
    std::map<std::string, std::vector<double>> times;
    for (int run = 0; run < runs; ++run) {
        DeleteFileA(file.c_str());
        Start(exe, rows, "", file);
        std::ifstream in(file);
        std::string line;
        std::map<std::string, int> seen;  // a step that comes again is numbered
        while (std::getline(in, line)) {
            const auto tab = line.find('\t');
            if (tab == std::string::npos) continue;
            std::string name = line.substr(tab + 1);
            if (const int n = ++seen[name]; n > 1) name += " (" + std::to_string(n) + ")";
            if (!times.count(name)) order.push_back(name);
            times[name].push_back(std::stod(line.substr(0, tab)));
        }
    }
    DeleteFileA(file.c_str());
    SetEnvironmentVariableA("PELMARK_CHECKPOINT_FILE", nullptr);
    std::vector<std::pair<std::string, double>> out;
    for (const auto& name : order) out.emplace_back(name, Median(times[name]));
    return out;
}

void SplashOn(bool on) {
    if (on) settings::DeleteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "SplashEnabled");
    else settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "SplashEnabled", false);
}

void Measure(int count, const std::string& previous) {
    testing_support::TempFolder dir;
    const std::string folder = MakeProfiles(dir, count);
    settings::WriteRegValue(HKEY_CURRENT_USER, settings::SettingsKey, "ProfileFolder", folder);
    const std::string pelmark = Beside("Pelmark.exe");
    const std::string baseline = Beside("baseline_window.exe");
    const std::string listFloor = Beside("baseline_list.exe");
    const std::string floorArgs = folder;  // the baselines read the profiles first
    std::vector<double> tp, ts, tb, tf, tl;
    // Each round's own ratio and difference too: the machine's speed drifts
    // between rounds, and a round's starts run side by side.
    std::vector<double> roundRatio, roundSplash, tq, roundPrevious;
    SIZE_T peakP = 0, peakB = 0, peakL = 0;
    Start(baseline, 0);  // warm everything up once
    Start(baseline, 0, floorArgs);
    Start(listFloor, count, floorArgs);
    SplashOn(false);
    Start(pelmark, count);
    const int rounds = count >= 1000 ? 9 : 21;
    for (int round = 0; round < rounds; ++round) {
        const Result b = Start(baseline, 0);
        const Result f = Start(baseline, 0, floorArgs);
        const Result l = Start(listFloor, count, floorArgs);
        SplashOn(false);
        const Result p = Start(pelmark, count);
        SplashOn(true);
        const Result s = Start(pelmark, count);
        if (!previous.empty()) {
            SplashOn(false);
            tq.push_back(Start(previous, count).seconds);
            roundPrevious.push_back(p.seconds / tq.back());
        }
        tb.push_back(b.seconds);
        tf.push_back(f.seconds);
        tl.push_back(l.seconds);
        tp.push_back(p.seconds);
        ts.push_back(s.seconds);
        roundRatio.push_back(p.seconds / l.seconds);
        roundSplash.push_back(s.seconds - p.seconds);
        peakB = std::max(peakB, b.peak);
        peakL = std::max(peakL, l.peak);
        peakP = std::max(peakP, p.peak);
    }
    const double mp = Median(tp), ms = Median(ts), mb = Median(tb), mf = Median(tf), ml = Median(tl);
    std::printf("%d profiles: Pelmark %.0f ms (splash on %.0f ms), empty window %.0f ms, empty window + reads %.0f ms, "
                "list-view floor %.0f ms\n",
                count, 1000 * mp, 1000 * ms, 1000 * mb, 1000 * mf, 1000 * ml);
    std::printf("  Pelmark / list-view floor %.2f, Pelmark / empty window %.2f, Pelmark / (empty window + reads) %.2f\n",
                mp / ml, mp / mb, mp / mf);
    std::printf("  median of the rounds' own: Pelmark / list-view floor %.2f, the splash adds %.0f ms\n",
                Median(roundRatio), 1000 * Median(roundSplash));
    std::printf("  the splash screen adds %.0f ms\n", 1000 * (ms - mp));
    if (!tq.empty()) {
        std::printf("  the previous build %.0f ms: this build / previous %.2f (median of the rounds' own %.2f), "
                    "previous / list-view floor %.2f\n",
                    1000 * Median(tq), mp / Median(tq), Median(roundPrevious), Median(tq) / ml);
    }
    std::printf("  peak working set: Pelmark %lu KiB, list-view floor %lu KiB (ratio %.2f), empty window %lu KiB\n",
                static_cast<unsigned long>(peakP / 1024), static_cast<unsigned long>(peakL / 1024),
                peakL ? static_cast<double>(peakP) / static_cast<double>(peakL) : 0.0,
                static_cast<unsigned long>(peakB / 1024));
    // The previous build's timed build, where it was built beside it.
    const std::string previousTimed = previous.substr(0, previous.find_last_of('\\') + 1) + "Pelmark_timed.exe";
    for (bool splash : {false, true}) {
        SplashOn(splash);
        std::printf("  checkpoints of the timed build, splash %s (median ms since the process was created; step; "
                    "share of the whole%s):\n",
                    splash ? "on" : "off", splash || previous.empty() ? "" : "; the previous build's");
        const auto points = Checkpoints(Beside("Pelmark_timed.exe"), count, 7);
        std::map<std::string, double> before;
        if (!splash && !previous.empty() && GetFileAttributesA(previousTimed.c_str()) != INVALID_FILE_ATTRIBUTES) {
            for (const auto& [name, at] : Checkpoints(previousTimed, count, 7)) before[name] = at;
        }
        const double whole = points.empty() ? 1 : points.back().second;
        double last = 0;
        for (const auto& [name, at] : points) {
            std::printf("  %8.1f  %+7.1f  %4.0f%%  %s", at, at - last, 100 * (at - last) / whole, name.c_str());
            if (before.count(name)) std::printf("  (%.1f)", before[name]);
            std::printf("\n");
            last = at;
        }
    }
}

}  // namespace

// [--previous PATH] [number]: with a number, measures that many profiles only.
int main(int argc, char** argv) {
    settings::KelUtilityStart();
    testing_support::RegistrySandbox registry;
    std::string previous;
    int arg = 1;
    if (argc > arg + 1 && std::string(argv[arg]) == "--previous") {
        previous = argv[arg + 1];
        arg += 2;
    }
    if (argc > arg) {
        Measure(std::atoi(argv[arg]), previous);
        return 0;
    }
    Measure(20, previous);
    Measure(1000, previous);
    return 0;
}
