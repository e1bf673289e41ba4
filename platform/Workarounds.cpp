#include "platform/Workarounds.h"

#include <windows.h>

namespace platform {

namespace {

bool RunningUnderWine() {
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

const Workarounds& System() {
    static const Workarounds system = [] {
        Workarounds w;
        if (RunningUnderWine()) {
            w.managerActivatesOnlyRestoredWindows = true;
            w.managerMakesIconsLate = true;
            w.managerMinimisesAnyWindow = true;
            w.managerHandsTheKeyboardBackLate = true;
            w.hintPastItsWindowBlanksIt = true;
            w.linkCannotBeRemovedAlone = true;
            w.replaceLeavesAMomentWithoutTheFile = true;
            w.profileServiceRewritesEveryLine = true;
            w.profileServiceReadsUtf8Mark = true;
            w.profileServiceFoldsOnlyAscii = true;
            w.managerIgnoresSizeLimits = true;
        }
        return w;
    }();
    return system;
}

Workarounds& Current() {
    static Workarounds current = System();
    return current;
}

}  // namespace

const Workarounds& Needed() {
    // A link is never removed alone where the system cannot do it, whatever
    // a test sets: the removal would reach its target.
    static Workarounds needed;
    needed = Current();
    needed.linkCannotBeRemovedAlone = needed.linkCannotBeRemovedAlone || System().linkCannotBeRemovedAlone;
    return needed;
}

ScopedWorkarounds::ScopedWorkarounds() : saved_(Current()) {}

ScopedWorkarounds::~ScopedWorkarounds() { Current() = saved_; }

Workarounds* ScopedWorkarounds::operator->() { return &Current(); }

}  // namespace platform
