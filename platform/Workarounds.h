// What the program works around in the system it runs on, each named as the
// behaviour it answers, with its reason. Windows shows none of them; Wine
// (on a Linux desktop, under its window manager) shows each. The program
// asks these, never which system it runs on; a test may set any of them for
// its own run (ScopedWorkarounds), so that either half of a branch runs.
#pragma once

namespace platform {

struct Workarounds {
    // The window manager activates only a window restored from its icon: a
    // program's own request to come forward never reaches it.
    bool managerActivatesOnlyRestoredWindows = false;
    // The window manager makes a window an icon in its own time, after the
    // program already takes it for one: a restore that comes first is lost.
    bool managerMakesIconsLate = false;
    // The window manager offers to minimise any window, but the program
    // hears of it only for a window that has the minimise style.
    bool managerMinimisesAnyWindow = false;
    // The keyboard goes back to the window a modal one leaves only once the
    // window manager has handed it on, a moment after the modal one hides.
    bool managerHandsTheKeyboardBackLate = false;
    // A hint reaching past the edge of its window blanks that window on
    // screen until the hint goes: hints are kept inside their window.
    bool hintPastItsWindowBlanksIt = false;
    // Removing a link acts on its target (empties a target folder, deletes
    // a target file): no link can be removed alone.
    bool linkCannotBeRemovedAlone = false;
    // The system's replace of a file deletes the old file before the new
    // one takes its name: a crash between leaves no file of that name. A
    // rename that replaces in one step is used instead.
    bool replaceLeavesAMomentWithoutTheFile = false;
    // The private-profile service writes every line of a file again, from
    // its own reading of it, at each write: blank lines go, and blanks
    // around "=". The program writes a save's lines itself instead.
    bool profileServiceRewritesEveryLine = false;
    // The private-profile service reads a file that starts with UTF-8's
    // byte-order mark as UTF-8, where Windows' reads every file without
    // UTF-16's mark in the ANSI code page. The program's own writer writes
    // only for the service that rewrites every line, so it reads as that
    // one does: the first section's header behind the mark, and the values
    // written there in UTF-8.
    bool profileServiceReadsUtf8Mark = false;
    // The private-profile service matches section and key names letter
    // case aside for A to Z alone ("[Été]" is not "[été]"),
    // where Windows' folds every letter. The writer and the save's check
    // match names as the service they write for does, or a write lands in
    // a section the service never reads it from.
    bool profileServiceFoldsOnlyAscii = false;
    // The window manager maximises a window and sizes it past the least and
    // greatest size the program gives: the program puts it back.
    bool managerIgnoresSizeLimits = false;
};

// Those of the system the program runs on.
const Workarounds& Needed();

// For a test's own run: the workarounds as the test sets them, until the
// object goes. (Never a link removed alone where the system cannot.)
class ScopedWorkarounds {
public:
    ScopedWorkarounds();
    ~ScopedWorkarounds();
    ScopedWorkarounds(const ScopedWorkarounds&) = delete;
    ScopedWorkarounds& operator=(const ScopedWorkarounds&) = delete;
    Workarounds* operator->();

private:
    Workarounds saved_;
};

}  // namespace platform
