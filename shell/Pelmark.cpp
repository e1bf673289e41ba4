// Start-up: settings, the single-instance guard, the splash screen, the main
// window and the message loop, in that order.
#include <windows.h>

#include <memory>

#include "platform/Application.h"
#include "platform/Checkpoints.h"
#include "settings/KelUtility.h"
#include "settings/RegSpecial.h"
#include "shell/KelPrevInst.h"
#include "shell/KelSplash.h"
#include "shell/ZuMain.h"

using platform::Application;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    PELMARK_CHECKPOINT("WinMain");
    Application& app = Application::Instance();
    try {
        app.Initialize(instance);
        PELMARK_CHECKPOINT("common controls");
        if (!settings::CheckPlatform()) return 0;
        settings::KelUtilityStart();
        PELMARK_CHECKPOINT("settings read");
        shell::CheckPrevInstance(shell::kMainClassName, shell::kAppID);
        PELMARK_CHECKPOINT("single-instance guard");

        if (settings::SplashAllowed()) shell::ShowSplash("Pelmark", "Initializaing ...", true, nullptr);
        PELMARK_CHECKPOINT("splash shown");
        auto main = std::make_unique<shell::TFrmZuMain>();
        try {
            main->Create();
        } catch (...) {
            shell::HideSplash("Pelmark");
            throw;
        }
        PELMARK_CHECKPOINT("main window made");
        shell::HideSplash("Pelmark");
        PELMARK_CHECKPOINT("splash hidden");
        main->Show();
        PELMARK_CHECKPOINT("main window shown");
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
