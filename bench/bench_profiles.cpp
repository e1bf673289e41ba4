// Lists profile folders of 2,000 and 8,000 profiles with ListProfiles and,
// in the same run, with a baseline that reads the same four keys of the same
// files with direct GetPrivateProfileStringA calls and nothing else. Prints
// the ratio of the two and how the listing grows from 2,000 to 8,000.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "profiles/ZuGlobal.h"
#include "support/RegistrySandbox.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string MakeIni(int i) {
    std::string s;
    s.reserve(4096);
    s += "[Servers]\r\nNewsServer=news" + std::to_string(i) + ".example.org\r\nMailServer=mail.example.org\r\n";
    s += "NewsPort=119\r\nMailPort=25\r\n";
    s += "[View]\r\nTitle=Agent profile " + std::to_string(i) + "\r\n";
    for (int k = 0; k < 30; ++k) s += "ViewSetting" + std::to_string(k) + "=" + std::to_string(k * 7) + "\r\n";
    s += "[Directories]\r\nHome=\r\n";
    for (int k = 0; k < 30; ++k) s += "Folder" + std::to_string(k) + "=folder\\" + std::to_string(k) + "\r\n";
    s += "[URL]\r\nForceAgentClient=1\r\n";
    for (int k = 0; k < 30; ++k) s += "Handler" + std::to_string(k) + "=" + std::to_string(k % 2) + "\r\n";
    s += "[Profile]\r\nLaunchMode=" + std::to_string(i % 2) + "\r\n";
    return s;
}

struct Folder {
    testing_support::TempFolder temp;
    std::string path = temp.Path();
    std::vector<std::string> names;
    explicit Folder(int count) {
        for (int i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "Profile%05d", (i * 7919) % count);
            names.push_back(name);
            const std::string dir = path + name;
            CreateDirectoryA(dir.c_str(), nullptr);
            const std::string text = MakeIni(i);
            HANDLE h = CreateFileA((dir + "\\Agent.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD written = 0;
            WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
            CloseHandle(h);
        }
    }
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

size_t Baseline(const Folder& f) {
    size_t bytes = 0;
    char buf[2048];
    for (const auto& n : f.names) {
        const std::string file = f.path + n + "\\Agent.ini";
        bytes += GetPrivateProfileStringA("Profile", "LaunchMode", "", buf, sizeof buf, file.c_str());
        bytes += GetPrivateProfileStringA("View", "Title", "Agent", buf, sizeof buf, file.c_str());
        bytes += GetPrivateProfileStringA("Servers", "NewsServer", "", buf, sizeof buf, file.c_str());
        bytes += GetPrivateProfileStringA("Servers", "MailServer", "", buf, sizeof buf, file.c_str());
    }
    return bytes;
}

// Best of several alternating runs of both, so that both meet the same caches.
void Measure(const Folder& f, double& list, double& base) {
    list = base = 1e9;
    for (int round = 0; round < 3; ++round) {
        auto t0 = Clock::now();
        const size_t b = Baseline(f);
        auto t1 = Clock::now();
        const auto entries = profiles::ListProfilesIn(f.path);
        auto t2 = Clock::now();
        if (entries.size() != f.names.size() || b == 0) std::printf("unexpected result\n");
        base = std::min(base, Seconds(t1 - t0));
        list = std::min(list, Seconds(t2 - t1));
    }
}

}  // namespace

int main() {
    double list2 = 0, base2 = 0, list8 = 0, base8 = 0;
    {
        Folder f(2000);
        Measure(f, list2, base2);
    }
    {
        Folder f(8000);
        Measure(f, list8, base8);
    }
    std::printf("2000 profiles: ListProfiles %.3f s, baseline %.3f s, ratio %.2f (target <= 1.3)\n", list2, base2,
                list2 / base2);
    std::printf("8000 profiles: ListProfiles %.3f s, baseline %.3f s, ratio %.2f (target <= 1.3)\n", list8, base8,
                list8 / base8);
    std::printf("growth 8000/2000: ListProfiles %.2f, baseline %.2f (target <= 4.4)\n", list8 / list2,
                base8 / base2);
    return 0;
}
