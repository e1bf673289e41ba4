#include "shell/KelSplash.h"

#include "platform/Application.h"

namespace shell {

void ShowSplash(const std::string& title, const std::string& /*action*/, bool setAppTitle,
                HBITMAP /*logo*/) {
    HideSplash("");
    if (setAppTitle) platform::Application::Instance().SetTitle(title);
}

void HideSplash(const std::string& caption) {
    HWND main = platform::Application::Instance().MainWindow();
    if (!caption.empty() && main) SetWindowTextA(main, caption.c_str());
}

}  // namespace shell
