// The main window: alive from start-up to shut-down, answers the
// single-instance protocol and ends the program on Escape.
#pragma once

#include "platform/Form.h"

namespace shell {

platform::FormDef MainFormDef();

class TFrmZuMain : public platform::Form {
public:
    TFrmZuMain();
    ~TFrmZuMain() override;

protected:
    void OnCreate() override;
    bool OnKeyDown(WPARAM key, unsigned shift) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    UINT wmGetID_ = 0;
    UINT wmRestore_ = 0;
    UINT wmPrevInstParm_ = 0;
};

}  // namespace shell
