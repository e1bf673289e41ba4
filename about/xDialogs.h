// Message dialogs: an icon for the kind, the text wrapped to half the screen
// width, and a centred row of the buttons the caller asks for. Two variants
// share everything but their look: plain push buttons in the system's message
// font, and glyph buttons with the hand cursor in a fixed font.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "platform/Layout.h"

namespace about {

enum class MsgKind { Warning, Error, Information, Confirmation, Custom };

// Buttons as bit flags, in their left-to-right order.
enum MsgButton : unsigned {
    mbYes = 1u << 0,
    mbNo = 1u << 1,
    mbOK = 1u << 2,
    mbCancel = 1u << 3,
    mbAbort = 1u << 4,
    mbRetry = 1u << 5,
    mbIgnore = 1u << 6,
    mbAll = 1u << 7,
    mbNoToAll = 1u << 8,
    mbYesToAll = 1u << 9,
    mbHelp = 1u << 10,
};
using MsgButtons = unsigned;
constexpr int kButtonCount = 11;
constexpr int kKindCount = 5;

// Result code of the button with bit `index` (Help: 0, it does not close).
int ButtonResult(int index);

// The caption table of the glyph variant: filled at start-up, read and written
// by other modules.
struct CaptionTable {
    std::array<std::string, kButtonCount> buttons;
    std::array<std::string, kKindCount> titles;
};
CaptionTable& DialogCaptions();
// The English texts both variants show.
CaptionTable EnglishCaptions();

// Everything a message dialog's layout needs, measured in its font.
struct MessageMetrics {
    int avgW = 0;         // average character width (52 letters / 52)
    int avgH = 0;         // height of those letters
    int textW = 0;        // the wrapped message
    int textH = 0;
    bool hasIcon = true;
    int buttonCount = 0;
    int widestCaption = 0;  // widest single-line caption of the asked buttons, plus 8
    bool glyph = false;
    int dpi = 96;           // the icon's size follows it; the rest follows the font
};

struct MessageLayout {
    platform::Size client;
    platform::Rect icon;
    platform::Rect text;
    std::vector<platform::Rect> buttons;  // the asked buttons, left to right
    int hMargin = 0, vMargin = 0, hSpacing = 0, vSpacing = 0, buttonSpacing = 0;
    int buttonWidth = 0, buttonHeight = 0;
};

MessageLayout LayoutMessageDialog(const MessageMetrics& m);

// Index (bit) of the button Enter presses (OK, else Yes, else Retry) and of
// the one Escape presses (Cancel, else No, else OK), or -1.
int DefaultButtonIndex(MsgButtons buttons);
int CancelButtonIndex(MsgButtons buttons);

// What Ctrl+C puts on the clipboard.
// The beep of Ctrl+C (the only sound a message dialog makes); tests put a
// recorder here.
extern BOOL(WINAPI* Beeper)(UINT type);

std::string MessageCopyText(const std::string& title, const std::string& message,
                            const std::vector<std::string>& captions);

// A value (a name, a path, text of the user or the file system) to put
// into a message: every "&" doubled, so that it is shown as written and
// not taken as a mnemonic.
std::string Literal(const std::string& value);

int ShowMessageDialog(const std::string& text, MsgKind kind, MsgButtons buttons, int helpContext);
// An error the user can only acknowledge: the error kind with Cancel alone.
void ShowError(const std::string& text);
int ShowGlyphMessageDialog(const std::string& text, MsgKind kind, MsgButtons buttons,
                           int helpContext);

}  // namespace about
