// Opening the INI file editor (LoadINIFile and its first layout) on files of
// 100 sections / 3,000 keys and 300 sections / 9,000 keys, against reading
// every value with GetPrivateProfileStringA, in the same run; then files of
// many sections, one section of many keys and a 10 MB file, against the
// service's own read of each section (GetPrivateProfileSectionA). With
// "save": a save of 1, 10 and 100 changed values of the 10 MB file and of
// files of 2,000 and 20,000 one-key sections, against opening the same file.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "inieditor/ZuEditINIFile.h"
#include "platform/Application.h"
#include "platform/IniFile.h"
#include "platform/IniSave.h"
#include "settings/KelUtility.h"
#include "support/RegistrySandbox.h"

namespace {

using Clock = std::chrono::steady_clock;

struct File {
    std::string path;
    std::vector<std::pair<std::string, std::vector<std::string>>> sections;
};

// Under Wine the service parses a file written in the last 2.1 seconds
// again at every call (file times on FAT are two seconds coarse). A file a
// user opens is older than that: each file here is dated a minute back.
std::string Settled(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
    t.QuadPart -= 60ull * 10000000;
    const FILETIME back{t.LowPart, t.HighPart};
    if (h == INVALID_HANDLE_VALUE || !SetFileTime(h, nullptr, nullptr, &back)) std::printf("cannot date %s\n", path.c_str());
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return path;
}

File Make(testing_support::TempFolder& dir, int sections, int keysPer) {
    File f;
    std::string text;
    for (int s = 0; s < sections; ++s) {
        const std::string name = "Section" + std::to_string(s);
        text.append("[").append(name).append("]\r\n");
        std::vector<std::string> keys;
        for (int k = 0; k < keysPer; ++k) {
            const std::string key = "Key" + std::to_string(k);
            text.append(key).append("=value ").append(std::to_string(s * 1000 + k)).append("\r\n");
            keys.push_back(key);
        }
        f.sections.emplace_back(name, keys);
    }
    f.path = Settled(dir.MakeFile("bench" + std::to_string(sections) + ".ini", text));
    return f;
}

// The service reading every section whole, once each.
double SectionReads(const File& f) {
    const auto t0 = Clock::now();
    std::vector<char> buf(1 << 22);
    size_t total = 0;
    for (const auto& [section, keys] : f.sections) {
        total += GetPrivateProfileSectionA(section.c_str(), buf.data(), static_cast<DWORD>(buf.size()), f.path.c_str());
    }
    if (total == 0) std::printf("nothing read\n");
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double Baseline(const File& f) {
    const auto t0 = Clock::now();
    char buf[2048];
    size_t total = 0;
    for (const auto& [section, keys] : f.sections) {
        for (const auto& k : keys) total += GetPrivateProfileStringA(section.c_str(), k.c_str(), "", buf, sizeof buf, f.path.c_str());
    }
    if (total == 0) std::printf("nothing read\n");
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

BOOL CALLBACK CountOne(HWND, LPARAM p) {
    ++*reinterpret_cast<int*>(p);
    return TRUE;
}

double Editor(const File& f, int* windows = nullptr) {
    const auto t0 = Clock::now();
    inieditor::TFrmZuEditINIFile e(nullptr);
    e.Create();
    if (!e.LoadINIFile(f.path) || e.SectionCount() != static_cast<int>(f.sections.size())) std::printf("load failed\n");
    const double t = std::chrono::duration<double>(Clock::now() - t0).count();
    if (windows) {
        *windows = 0;
        EnumChildWindows(e.Handle(), &CountOne, reinterpret_cast<LPARAM>(windows));
    }
    e.Destroy();
    return t;
}

void Measure(const File& f, double& editor, double& base) {
    editor = base = 1e9;
    for (int round = 0; round < 3; ++round) {
        base = std::min(base, Baseline(f));
        editor = std::min(editor, Editor(f));
    }
}

// A save of `count` values spread over the file, on a settled copy of it
// each time (a save leaves the file just written, which the service then
// parses again at every call for two seconds).
double Save(testing_support::TempFolder& dir, const File& f, int count) {
    const std::string path = dir.Path() + "saved.ini";
    CopyFileA(f.path.c_str(), path.c_str(), FALSE);
    Settled(path);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    const auto t0 = Clock::now();
    platform::IniSave save(path);
    for (int i = 0; i < count; ++i) {
        const auto& [section, keys] = f.sections[i * f.sections.size() / count];
        save.WriteString(section, keys[i % keys.size()], "changed " + std::to_string(i));
    }
    save.Commit();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

void MeasureSaves(testing_support::TempFolder& dir, const char* name, const File& f) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, f.path.c_str());
    const double open = Editor(f);
    std::printf("%s: open %.2f s; save of 1 / 10 / 100 values", name, open);
    for (int count : {1, 10, 100}) {
        const unsigned calls = platform::ProfileServiceCalls();
        const double t = Save(dir, f, count);
        std::printf("%s %.2f s (%.2f of the open, %u service calls)", count == 1 ? "" : " /", t, t / open,
                    platform::ProfileServiceCalls() - calls);
    }
    std::printf("\n");
}

File Big(testing_support::TempFolder& dir);

}  // namespace

int main() {
    platform::Application::Instance().Initialize(GetModuleHandleA(nullptr));
    settings::KelUtilityStart();
    testing_support::RegistrySandbox registry;  // the editor stores its placement
    testing_support::TempFolder dir;
    if (__argc > 1 && std::string(__argv[1]) == "save") {
        MeasureSaves(dir, "2000 one-key sections", Make(dir, 2000, 1));
        MeasureSaves(dir, "20000 one-key sections", Make(dir, 20000, 1));
        MeasureSaves(dir, "10 MB file", Big(dir));
        return 0;
    }
    if (__argc > 1) goto big_only;
    {
    const File small = Make(dir, 100, 30), large = Make(dir, 300, 30);
    double es = 0, bs = 0, el = 0, bl = 0;
    Measure(small, es, bs);
    Measure(large, el, bl);
    std::printf("100 sections, 3000 keys: editor %.3f s, baseline %.3f s, ratio %.2f (target <= 2.0)\n", es, bs, es / bs);
    std::printf("300 sections, 9000 keys: editor %.3f s, baseline %.3f s, ratio %.2f\n", el, bl, el / bl);
    std::printf("growth 300/100: editor %.2f, baseline %.2f (target <= 3.3)\n", el / es, bl / bs);
    // Files of thousands of one-key sections: the editor keeps windows only
    // for the blocks in view, so the count stays flat and the time follows
    // the file.
    const File many = Make(dir, 2000, 1), most = Make(dir, 20000, 1);
    int windowsMany = 0, windowsMost = 0;
    const double tm = Editor(many, &windowsMany), tM = Editor(most, &windowsMost);
    const double bm = Baseline(many), bM = Baseline(most);
    const double sm = SectionReads(many), sM = SectionReads(most);
    std::printf("2000 one-key sections: editor %.2f s, %d windows; 20000: editor %.2f s, %d windows\n", tm,
                windowsMany, tM, windowsMost);
    std::printf("growth 20000/2000: editor %.2f, baseline %.2f, the service reading each section %.2f (goal: at most 11)\n",
                tM / tm, bM / bm, sM / sm);
    // One section of many keys: the time follows the keys, not their square.
    double keysAt[3] = {};
    const int counts[3] = {5000, 10000, 20000};
    for (int i = 0; i < 3; ++i) keysAt[i] = Editor(Make(dir, 1, counts[i]));
    const double tenKeys = Editor(Make(dir, 2000, 10));
    std::printf("one section of 5000 / 10000 / 20000 keys: editor %.2f / %.2f / %.2f s; 2000 sections of 10 keys %.2f s;"
                " ratio %.2f (goal: at most 2)\n",
                keysAt[0], keysAt[1], keysAt[2], tenKeys, keysAt[2] / tenKeys);
    }
big_only:
    {
    const File big = Big(dir);
    // Each from a cold cache: the service parses the file at its first read
    // and keeps it until told to let go.
    auto cold = [&] { WritePrivateProfileStringA(nullptr, nullptr, nullptr, big.path.c_str()); };
    cold();
    const double tb = Editor(big);
    cold();
    const double sb = SectionReads(big);
    cold();
    {
        const auto t0 = Clock::now();
        const platform::IniFile ini(big.path);
        std::vector<std::string> lines;
        for (const auto& [section, keys] : big.sections) ini.ReadSectionValues(section, lines);
        std::printf("10 MB file: its values read section by section %.2f s\n",
                    std::chrono::duration<double>(Clock::now() - t0).count());
    }
    std::printf("10 MB file, each from a cold cache: editor %.2f s, the service reading each section %.2f s, ratio %.2f "
                "(goal: at most 2)\n", tb,
                sb, tb / sb);
    }
    return 0;
}

namespace {

// A file of 10 MB: 2000 sections of 100 keys with long values.
File Big(testing_support::TempFolder& dir) {
    File big;
    std::string text;
    const std::string filler(36, 'v');
    for (int s = 0; s < 2000; ++s) {
        const std::string name = "Big" + std::to_string(s);
        text.append("[").append(name).append("]\r\n");
        std::vector<std::string> keys;
        for (int k = 0; k < 100; ++k) {
            keys.push_back("LongerKeyName" + std::to_string(k));
            text.append(keys.back()).append("=").append(filler).append(std::to_string(k)).append("\r\n");
        }
        big.sections.emplace_back(name, keys);
    }
    big.path = Settled(dir.MakeFile("big10mb.ini", text));
    std::printf("the big file: %.1f MB\n", text.size() / 1e6);
    return big;
}

}  // namespace
