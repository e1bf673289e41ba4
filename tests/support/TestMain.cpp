// Test entry: the application object and the settings module start as in
// the program, so windows and messages behave as they do for the user.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/Application.h"
#include "platform/Form.h"
#include "settings/KelUtility.h"
#include "support/RegistrySandbox.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    platform::Application::Instance().Initialize(GetModuleHandleA(nullptr));
    // A control name a form does not have fails the test that used it.
    platform::Form::SetStrictNames(true);
    int rc;
    {
        // The start step reads the registry; the sandbox keeps it untouched.
        testing_support::RegistrySandbox sandbox;
        settings::KelUtilityStart();
        rc = RUN_ALL_TESTS();
    }
    return rc;
}
