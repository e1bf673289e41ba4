#include "shell/ZuMain.h"

#include "platform/Application.h"
#include "shell/KelPrevInst.h"

using platform::Application;

namespace shell {

platform::FormDef MainFormDef() {
    platform::FormDef d;
    d.windowClass = kMainClassName;
    d.name = "FrmZuMain";
    d.caption = "";
    d.place = {193, 123, 517, 388};
    d.minSize = {481, 156};
    d.sizeable = true;
    d.helpButton = true;
    d.keyPreview = true;
    return d;
}

TFrmZuMain::TFrmZuMain() : Form(MainFormDef(), nullptr) {
    Application::Instance().SetMainForm(this);
}

TFrmZuMain::~TFrmZuMain() {
    Destroy();
    if (Application::Instance().MainForm() == this) Application::Instance().SetMainForm(nullptr);
}

void TFrmZuMain::OnCreate() {
    wmGetID_ = RegisterWindowMessageA("wm_KelAppGetID");
    wmRestore_ = RegisterWindowMessageA("wm_KelAppRestore");
    wmPrevInstParm_ = RegisterWindowMessageA("wm_KelAppPrevInstParm");
}

bool TFrmZuMain::OnKeyDown(WPARAM key, unsigned shift) {
    if (key == VK_ESCAPE && shift == platform::ssNone) {
        Application::Instance().Terminate();
        return false;  // the focused control still sees the key
    }
    return false;
}

bool TFrmZuMain::OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
    if (msg == 0) return false;
    if (msg == wmGetID_) {
        result = kAppID;
        return true;
    }
    if (msg == wmRestore_) {
        Application::Instance().BringToFront();
        result = 0;
        return true;
    }
    // The handed-over parameters are not used: the hand-over keeps the
    // default reply.
    return false;
}

}  // namespace shell
