#include <gtest/gtest.h>

#include "platform/Dpi.h"

#include "about/xDialogs.h"
#include "platform/Application.h"
#include "settings/KelUtility.h"
#include "support/Helpers.h"
#include "support/UiDriver.h"

using namespace about;
using testing_support::DriverWindow;
using testing_support::RectIn;
using testing_support::UiDriver;

namespace {

using Shower = int (*)(const std::string&, MsgKind, MsgButtons, int);
const Shower kVariants[] = {&ShowMessageDialog, &ShowGlyphMessageDialog};

int Answer(Shower show, const std::string& text, MsgKind kind, MsgButtons buttons,
           std::function<void(DriverWindow&)> act) {
    UiDriver d;
    d.Then(std::move(act));
    return d.Run([&] { return show(text, kind, buttons, 0); });
}


}  // namespace

TEST(MessageLayout, ShortMessageWithIconAndTwoButtons) {
    // The widest caption is narrower than the minimum.
    const MessageLayout l = LayoutMessageDialog(
        {.avgW = 6, .avgH = 13, .textW = 100, .textH = 13, .hasIcon = true, .buttonCount = 2, .widestCaption = 30});
    EXPECT_EQ(l.hMargin, 12);
    EXPECT_EQ(l.vMargin, 13);
    EXPECT_EQ(l.hSpacing, 15);
    EXPECT_EQ(l.vSpacing, 16);
    EXPECT_EQ(l.buttonWidth, 75);
    EXPECT_EQ(l.buttonHeight, 22);
    EXPECT_EQ(l.buttonSpacing, 6);
    // Icon and text: 100 + 32 + 15 = 147 wide, 32 high; buttons 75 + 6 + 75 = 156.
    EXPECT_EQ(l.client.width, 156 + 24);
    EXPECT_EQ(l.client.height, 32 + 22 + 16 + 26);
    EXPECT_EQ(l.icon, (platform::Rect{12, 13, 32, 32}));
    EXPECT_EQ(l.text, (platform::Rect{12 + 47, 13, 100, 13}));
    ASSERT_EQ(l.buttons.size(), 2u);
    EXPECT_EQ(l.buttons[0], (platform::Rect{12, 32 + 13 + 16, 75, 22}));
    EXPECT_EQ(l.buttons[1], (platform::Rect{12 + 81, 61, 75, 22}));
}

TEST(MessageLayout, LongTextGlyphButtonsAndNoIcon) {
    // The widest caption is wider than 50 * 5 / 4 = 62.
    MessageMetrics m{.avgW = 5, .avgH = 13, .textW = 600, .textH = 65, .hasIcon = false, .buttonCount = 1,
                     .widestCaption = 90, .glyph = true};
    const MessageLayout l = LayoutMessageDialog(m);
    EXPECT_EQ(l.buttonWidth, 90);
    EXPECT_EQ(l.buttonHeight, 26);
    EXPECT_EQ(l.client.width, 600 + 2 * 10);
    EXPECT_EQ(l.client.height, 65 + 26 + 16 + 26);
    EXPECT_EQ(l.text.left, l.hMargin);  // no icon: the text starts at the margin
    EXPECT_EQ(l.buttons[0].left, (620 - 90) / 2);
    EXPECT_EQ(l.buttons[0].top, 65 + 13 + 16);

    m.buttonCount = 0;
    EXPECT_EQ(LayoutMessageDialog(m).client.width, 620);
}

TEST(MessageLayout, AtHalfAgainTheDpiEveryMeasureIsHalfAgain) {
    // The figures of the first layout above, in a font measured at 144 DPI.
    const MessageLayout l = LayoutMessageDialog(
        {.avgW = 9, .avgH = 20, .textW = 150, .textH = 20, .buttonCount = 2, .widestCaption = 45, .dpi = 144});
    EXPECT_EQ(l.icon, (platform::Rect{18, 20, 48, 48}));
    EXPECT_EQ(l.buttonWidth, 112);  // 75 at 96
    EXPECT_EQ(l.buttonHeight, 35);  // 22
    // Icon and text: 150 + 48 + 22 = 220 wide, 48 high; buttons 112 + 9 + 112 = 233.
    EXPECT_EQ(l.client.width, 233 + 36);
    EXPECT_EQ(l.client.height, 48 + 35 + 25 + 40);
    EXPECT_EQ(l.text, (platform::Rect{18 + 70, 20, 150, 20}));
}

TEST(MessageLayout, DefaultAndCancelButtons) {
    EXPECT_EQ(DefaultButtonIndex(mbOK | mbYes | mbRetry), 2);
    EXPECT_EQ(DefaultButtonIndex(mbYes | mbNo), 0);
    EXPECT_EQ(DefaultButtonIndex(mbAbort | mbRetry | mbIgnore), 5);
    EXPECT_EQ(DefaultButtonIndex(mbCancel), -1);
    EXPECT_EQ(CancelButtonIndex(mbYes | mbNo | mbCancel), 3);
    EXPECT_EQ(CancelButtonIndex(mbYes | mbNo), 1);
    EXPECT_EQ(CancelButtonIndex(mbOK), 2);
    EXPECT_EQ(CancelButtonIndex(mbYes | mbYesToAll), -1);
}

TEST(MessageDialogs, ErrorWithCancelGivesTwoForEnterEscapeAndFrame) {
    for (Shower show : kVariants) {
        EXPECT_EQ(Answer(show, "Failed", MsgKind::Error, mbCancel, [](DriverWindow& w) {
            EXPECT_EQ(w.Title(), "Error");
            EXPECT_EQ(w.Focused(), w.Control("Cancel"));
            w.Key(VK_RETURN);
        }), 2);
        EXPECT_EQ(Answer(show, "Failed", MsgKind::Error, mbCancel, [](DriverWindow& w) { w.Key(VK_ESCAPE); }), 2);
        EXPECT_EQ(Answer(show, "Failed", MsgKind::Error, mbCancel, [](DriverWindow& w) { w.CloseFrame(); }), 2);
    }
}

TEST(MessageDialogs, ConfirmationAnswersSixForEnterSevenForEscape) {
    for (Shower show : kVariants) {
        EXPECT_EQ(Answer(show, "Delete it ?", MsgKind::Confirmation, mbYes | mbNo, [](DriverWindow& w) {
            EXPECT_EQ(w.Title(), "Confirm");
            EXPECT_EQ(w.Text("Yes"), "&Yes");
            EXPECT_EQ(w.Text("No"), "&No");
            w.Key(VK_RETURN);
        }), 6);
        EXPECT_EQ(Answer(show, "Delete it ?", MsgKind::Confirmation, mbYes | mbNo,
                         [](DriverWindow& w) { w.Key(VK_ESCAPE); }), 7);
        // Without a Cancel or No button, closing from the title bar still gives 2.
        EXPECT_EQ(Answer(show, "Note", MsgKind::Information, mbOK, [](DriverWindow& w) {
            EXPECT_EQ(w.Title(), "Information");
            w.CloseFrame();
        }), 2);
        EXPECT_EQ(Answer(show, "Note", MsgKind::Information, mbOK, [](DriverWindow& w) { w.Key(VK_ESCAPE); }), 1);
    }
}

TEST(MessageDialogs, ButtonsAndResultsOfTheWholeRow) {
    const MsgButtons all = mbYes | mbNo | mbOK | mbCancel | mbAbort | mbRetry | mbIgnore | mbAll | mbNoToAll |
                           mbYesToAll | mbHelp;
    const char* names[] = {"Yes", "No", "OK", "Cancel", "Abort", "Retry", "Ignore", "All", "NoToAll", "YesToAll"};
    const int results[] = {6, 7, 1, 2, 3, 4, 5, 8, 9, 10};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(Answer(&ShowGlyphMessageDialog, "Which ?", MsgKind::Warning, all, [&](DriverWindow& w) {
            if (i == 0) {
                // Help leaves the dialog open; the row stays in its fixed order.
                w.Press("Help");
                int last = -1;
                for (const char* n : names) {
                    RECT r = RectIn(w.Control(n), w.Handle());
                    EXPECT_GT(r.left, last) << n;
                    last = r.left;
                }
            }
            w.Press(names[i]);
        }), results[i]) << names[i];
    }
}

TEST(MessageDialogs, GeometryFollowsTheLayoutRules) {
    for (Shower show : kVariants) {
        Answer(show, "Short", MsgKind::Warning, mbYes | mbNo, [](DriverWindow& w) {
            RECT client;
            GetClientRect(w.Handle(), &client);
            RECT icon = RectIn(w.Control("Image"), w.Handle());
            RECT text = RectIn(w.Control("Message"), w.Handle());
            RECT yes = RectIn(w.Control("Yes"), w.Handle());
            RECT no = RectIn(w.Control("No"), w.Handle());
            const int hMargin = icon.left;
            EXPECT_GT(hMargin, 0);
            EXPECT_GT(text.left, icon.right);  // text right of the icon
            EXPECT_EQ(yes.top, no.top);
            EXPECT_EQ(yes.right - yes.left, no.right - no.left);
            // The row is centred and the window is just wide enough for it.
            EXPECT_EQ(yes.left - client.left, client.right - no.right);
            const int row = no.right - yes.left;
            const int block = text.right - icon.left;
            EXPECT_EQ(client.right, std::max(row, block) + 2 * hMargin);
            // The frame is the one the window has: its client area is the layout's.
            EXPECT_EQ(client.bottom, yes.bottom + icon.top);
            w.Press("No");
        });
    }
}

namespace {
BOOL WINAPI TallTaskbar(HMONITOR monitor, LPMONITORINFO info) {
    if (!GetMonitorInfoA(monitor, info)) return FALSE;
    info->rcWork.bottom = info->rcWork.top + 300;
    return TRUE;
}
}  // namespace

TEST(MessageDialogs, LongTextWrapsAtHalfTheScreenAndLineBreaksStay) {
    std::string longText;
    for (int i = 0; i < 60; ++i) longText += "wrapping words ";
    const int half = GetSystemMetrics(SM_CXSCREEN) / 2;
    Answer(&ShowMessageDialog, longText, MsgKind::Information, mbOK, [&](DriverWindow& w) {
        RECT text = RectIn(w.Control("Message"), w.Handle());
        EXPECT_LE(text.right - text.left, half);
        EXPECT_GT(text.right - text.left, half / 2);
        EXPECT_GT(text.bottom - text.top, 40);  // several lines
        w.Press("OK");
    });
    int oneLine = 0, threeLines = 0;
    Answer(&ShowMessageDialog, "one", MsgKind::Information, mbOK, [&](DriverWindow& w) {
        RECT t = RectIn(w.Control("Message"), w.Handle());
        oneLine = t.bottom - t.top;
        w.Press("OK");
    });
    Answer(&ShowMessageDialog, "one\rtwo\rthree", MsgKind::Information, mbOK, [&](DriverWindow& w) {
        RECT t = RectIn(w.Control("Message"), w.Handle());
        threeLines = t.bottom - t.top;
        w.Press("OK");
    });
    EXPECT_EQ(threeLines, 3 * oneLine);
    // A message opens within the screen's work area, clear of a taskbar
    // that takes all but its top 300 pixels.
    platform::MonitorInfoCall = &TallTaskbar;
    Answer(&ShowMessageDialog, "one\rtwo\rthree", MsgKind::Information, mbOK, [&](DriverWindow& w) {
        RECT r;
        GetWindowRect(w.Handle(), &r);
        EXPECT_GE(r.top, 0);
        EXPECT_LE(r.bottom, 300);
        w.Press("OK");
    });
    platform::MonitorInfoCall = &GetMonitorInfoA;
}

TEST(MessageDialogs, CustomKindHasNoIconAndTheApplicationTitle) {
    Answer(&ShowGlyphMessageDialog, "Custom text", MsgKind::Custom, mbOK, [](DriverWindow& w) {
        EXPECT_EQ(w.Title(), platform::Application::Instance().Title());
        EXPECT_EQ(w.Control("Image"), nullptr);
        RECT text = RectIn(w.Control("Message"), w.Handle());
        RECT ok = RectIn(w.Control("OK"), w.Handle());
        EXPECT_GT(text.left, 0);
        EXPECT_LT(text.left, ok.left + 1);
        w.Press("OK");
    });
}

namespace {
int gBeeps = 0;
BOOL WINAPI CountBeep(UINT) {
    ++gBeeps;
    return TRUE;
}
}  // namespace

TEST(MessageDialogs, CtrlCCopiesTheExactTextBlockWithTheOnlyBeep) {
    const std::string dashes(27, '-');
    auto* savedBeeper = about::Beeper;
    about::Beeper = &CountBeep;
    for (Shower show : kVariants) {
        gBeeps = 0;
        int beepsBeforeCtrlC = -1;
        OpenClipboard(nullptr);
        EmptyClipboard();
        CloseClipboard();
        const int r = Answer(show, "Remove \"x\" ?", MsgKind::Confirmation, mbYes | mbNo, [&](DriverWindow& w) {
            w.Key('C', platform::ssShift | platform::ssCtrl);  // not Ctrl alone: nothing
            beepsBeforeCtrlC = gBeeps;
            w.Key('C', platform::ssCtrl);
            w.Press("No");
        });
        EXPECT_EQ(r, 7);
        EXPECT_EQ(beepsBeforeCtrlC, 0);  // none on opening
        EXPECT_EQ(gBeeps, 1);
        ASSERT_TRUE(OpenClipboard(nullptr));
        HANDLE h = GetClipboardData(CF_TEXT);
        std::string got = h ? static_cast<const char*>(GlobalLock(h)) : "";
        if (h) GlobalUnlock(h);
        CloseClipboard();
        EXPECT_EQ(got, dashes + "\r\nConfirm\r\n" + dashes + "\r\nRemove \"x\" ?\r\n" + dashes + "\r\nYes   No   \r\n" +
                           dashes + "\r\n");
    }
    about::Beeper = savedBeeper;
    EXPECT_EQ(MessageCopyText("T", "a\rb\r\nc\nd", {"N&o to All", "&Help"}),
              dashes + "\r\nT\r\n" + dashes + "\r\na\r\nb\r\nc\r\nd\r\n" + dashes + "\r\nNo to All   Help   \r\n" +
                  dashes + "\r\n");
}

TEST(MessageDialogs, GlyphVariantTakesItsCaptionsFromTheTable) {
    auto& table = DialogCaptions();
    const CaptionTable saved = table;
    table.buttons[2] = "&Fine";
    table.titles[2] = "Note";
    Answer(&ShowGlyphMessageDialog, "x", MsgKind::Information, mbOK, [](DriverWindow& w) {
        EXPECT_EQ(w.Title(), "Note");
        EXPECT_EQ(w.Text("OK"), "&Fine");
        BUTTON_IMAGELIST bil{};
        SendMessageA(w.Control("OK"), BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&bil));
        EXPECT_GT(bil.margin.left, 8);  // centred with its caption, not at the edge
        EXPECT_EQ(bil.margin.right, 2);
        w.Press("OK");
    });
    Answer(&ShowMessageDialog, "x", MsgKind::Information, mbOK, [](DriverWindow& w) {
        EXPECT_EQ(w.Title(), "Information");  // the plain variant keeps its fixed texts
        EXPECT_EQ(w.Text("OK"), "OK");
        w.Press("OK");
    });
    table = saved;
}

TEST(MessageDialogs, AnAmpersandOfAValueIsShownAsWrittenAndACaptionsMarksItsLetter) {
    // The clear-registry question quotes the button captions: "&Yes" shows
    // an underlined Y. A name put into a message ("a&b") shows its "&".
    int question = -2, named = -2;
    std::string copied;
    UiDriver d;
    d.Then([&](DriverWindow& w) {
         question = testing_support::LabelDrawsMnemonics(w.Control("Message"));
         w.Press("Cancel");
     }).Then([&](DriverWindow& w) {
        named = testing_support::LabelDrawsMnemonics(w.Control("Message"));
        EXPECT_EQ(w.Text("Message"), "Profile \"a&&b\"");
        w.Press("OK");
    });
    d.Run([] {
        settings::ClearAllSettings();
        return ShowGlyphMessageDialog("Profile \"" + Literal("a&b") + "\"", MsgKind::Error, mbOK, 0);
    });
    EXPECT_EQ(question, 1) << "\"&Yes\" was shown as written";
    EXPECT_EQ(named, 1);
    EXPECT_NE(MessageCopyText("Error", "Profile \"" + Literal("a&b") + "\"", {"OK"}).find("\r\nProfile \"a&b\"\r\n"),
              std::string::npos);
}
