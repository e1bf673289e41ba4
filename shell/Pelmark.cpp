// Start-up: settings, the single-instance guard, the splash screen, the main
// window and the message loop, in that order.
#include <windows.h>

#include <memory>
#include <string>

#include "platform/Application.h"
#include "platform/SystemLibrary.h"
#include "platform/Checkpoints.h"
#include "settings/KelUtility.h"
#include "settings/RegSpecial.h"
#include "shell/KelPrevInst.h"
#include "shell/KelSplash.h"
#include "shell/ZuMain.h"

using platform::Application;

#ifdef PELMARK_TEST_SEAMS
namespace {

// A seam for the tests of the guard, built into their copy of the program
// only: with PELMARK_TEST_MARKERS naming a path P, a start makes the file
// P.at-lock as it comes to the lock, and one that passed the guard makes
// P.held and waits (at most a minute) until that file is gone before it
// makes its main window. Where P.hang exists once the main window shows, the
// program stops answering until that file is gone (at most a minute).
std::string TestMarkers() {
    const DWORD size = GetEnvironmentVariableA("PELMARK_TEST_MARKERS", nullptr, 0);
    if (size == 0) return {};
    std::string p(size, '\0');
    p.resize(GetEnvironmentVariableA("PELMARK_TEST_MARKERS", p.data(), size));
    return p;
}

void Mark(const std::string& file) {
    CloseHandle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

void WhileThere(const std::string& file) {
    for (int i = 0; i < 1200 && GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
}

void MarkAtLock(const std::string& markers) {
    if (!markers.empty()) Mark(markers + ".at-lock");
}

void HoldForTests(const std::string& markers) {
    if (markers.empty()) return;
    Mark(markers + ".held");
    WhileThere(markers + ".held");
}

void HangForTests(const std::string& markers) {
    if (!markers.empty()) WhileThere(markers + ".hang");
}

}  // namespace
#else
namespace {
std::string TestMarkers() { return {}; }
void MarkAtLock(const std::string&) {}
void HoldForTests(const std::string&) {}
void HangForTests(const std::string&) {}
}  // namespace
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    PELMARK_CHECKPOINT("WinMain");
    // Before anything loads a library: none from the program's folder.
    platform::RestrictDllSearch();
    Application& app = Application::Instance();
    try {
        app.Initialize(instance);
        PELMARK_CHECKPOINT("common controls");
        if (!settings::CheckPlatform()) return 0;
        settings::KelUtilityStart();
        PELMARK_CHECKPOINT("settings read");
        const std::string markers = TestMarkers();
        MarkAtLock(markers);
        shell::StartLock startLock;
        shell::CheckPrevInstance(shell::kMainClassName, shell::kAppID);
        PELMARK_CHECKPOINT("single-instance guard");
        HoldForTests(markers);

        if (settings::SplashAllowed()) shell::ShowSplash("Pelmark", "Initializaing ...", true, nullptr);
        PELMARK_CHECKPOINT("splash shown");
        auto main = std::make_unique<shell::TFrmZuMain>();
        try {
            main->Create();
        } catch (...) {
            shell::HideSplash("Pelmark");
            throw;
        }
        startLock.Release();  // the window a later start looks for is there
        PELMARK_CHECKPOINT("main window made");
        shell::HideSplash("Pelmark");
        PELMARK_CHECKPOINT("splash hidden");
        main->Show();
        PELMARK_CHECKPOINT("main window shown");
        HangForTests(markers);
        const int code = app.Run();
        main.reset();
        settings::KelUtilityExit();
        return code;
    } catch (const std::exception& e) {
        app.ShowException(e);
        return 1;
    } catch (...) {
        app.ShowException("Unknown error");
        return 1;
    }
}
