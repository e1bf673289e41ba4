// The INI file editor, driven through its window.
#include <gtest/gtest.h>

#include <chrono>

#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <sstream>

#include "inieditor/ZuEditINIFile.h"
#include "platform/Application.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Text.h"
#include "platform/Workarounds.h"
#include "platform/IniSave.h"
#include "support/Helpers.h"
#include "support/RegistrySandbox.h"
#include "support/UiDriver.h"

using inieditor::IniRow;
using inieditor::TFrmZuEditINIFile;
using testing_support::DriverWindow;
using testing_support::RectIn;
using testing_support::TempFolder;
using testing_support::UiDriver;

using testing_support::Slurp;

namespace {


struct Session {
    testing_support::RegistrySandbox registry;
    TempFolder dir;
    std::string path;
    std::unique_ptr<TFrmZuEditINIFile> editor;

    explicit Session(const std::string& text) {
        path = dir.MakeFile("test.ini", text);
        editor = std::make_unique<TFrmZuEditINIFile>(nullptr);
        editor->Create();
        EXPECT_TRUE(editor->LoadINIFile(path));
    }
    int Run(std::function<void(DriverWindow&)> steps, std::vector<std::function<void(DriverWindow&)>> more = {}) {
        return testing_support::RunModal(*editor, std::move(steps), std::move(more));
    }
    // Types into the value cell of `row` of section n and leaves the cell.
    void Type(DriverWindow& w, int n, int row, const std::string& text) {
        if (!editor->Expanded(n)) w.Press("AButton" + std::to_string(n));  // open the section
        editor->SetCurrentRow(n, row);
        HWND e = editor->ValueEditor(n);
        SetFocus(e);
        SetWindowTextW(e, platform::Widened(text).c_str());  // as typing does, with its change note
        w.FocusOn("BitBtnReload");        // leaving the cell
    }
};

std::string TenKeys() {
    std::string t = "; a comment that stays\r\n[Ten]\r\n";
    for (int i = 0; i < 10; ++i) {
        const std::string n = std::to_string(i);
        t.append("k").append(n).append("=v").append(n).append("\r\n");
    }
    t += "[Other]\r\nx=1\r\n";
    return t;
}

}  // namespace

TEST(IniEditorRows, EachChangedKeyIsWrittenOnceFromItsFirstRow) {
    auto rows = inieditor::RowsFromLines({"a=1", "Dup=first", "b=2", "dup=second"});
    EXPECT_TRUE(rows[3].duplicate);
    for (auto& r : rows) r.changed = r.key != "a";
    EXPECT_EQ(inieditor::ChangedValues(rows),
              (std::vector<std::pair<std::string, std::string>>{{"Dup", "first"}, {"b", "2"}}));
    EXPECT_EQ(inieditor::RowsFromLines({}).size(), 1u);  // the one empty row
    const auto r = inieditor::RowsFromLines({"k=v=w", "e="});
    EXPECT_EQ(r[0].key, "k");
    EXPECT_EQ(r[0].value, "v=w");
    EXPECT_EQ(r[1].value, "");
    EXPECT_TRUE(inieditor::ChangedValues(inieditor::RowsFromLines({})).empty());
}

TEST(IniEditor, SectionsInNameOrderWithTheFirstExpanded) {
    Session s("[zeta]\r\nz=1\r\n[Alpha]\r\na=1\r\n[beta]\r\nb=1\r\n");
    ASSERT_EQ(s.editor->SectionCount(), 3);
    EXPECT_EQ(s.editor->SectionName(1), "Alpha");
    EXPECT_EQ(s.editor->SectionName(2), "beta");
    EXPECT_EQ(s.editor->SectionName(3), "zeta");
    EXPECT_TRUE(s.editor->Expanded(1));
    EXPECT_FALSE(s.editor->Expanded(2));
    EXPECT_FALSE(s.editor->Expanded(3));
    EXPECT_TRUE(GetWindowLongA(s.editor->FindControl("AValList1"), GWL_STYLE) & WS_VISIBLE);  // shown in its panel
    char caption[64] = {};
    GetWindowTextA(s.editor->FindControl("AButton2"), caption, sizeof caption);
    EXPECT_STREQ(caption, "beta");
    EXPECT_EQ(s.editor->DefinitionOf(s.editor->FindControl("AButton2"))->helpContext, 1001);
    EXPECT_EQ(s.editor->FindControl("AValList3"), nullptr);  // a grid is made when first shown
    SendMessageA(s.editor->FindControl("AButton3"), BM_SETCHECK, BST_CHECKED, 0);
    s.editor->SBtnSectionClick(3);
    ASSERT_NE(s.editor->FindControl("AValList3"), nullptr);
    EXPECT_EQ(s.editor->DefinitionOf(s.editor->FindControl("AValList3"))->helpContext, 2002);
    EXPECT_TRUE(s.editor->Expanded(3));
    EXPECT_EQ(s.editor->DefinitionOf(s.editor->FindControl("AButton1"))->hint,
              "Collapse/Expand the 'Alpha' section|Toggles the visibility of the section attached to this button.");
    EXPECT_EQ(platform::WindowText(s.editor->Handle()), "Edit .INI file");
    // A file that starts with a byte-order mark: the caption says what
    // Agent and Windows miss.
    Session marked("\xEF\xBB\xBF[First]\r\nk=1\r\n");
    EXPECT_EQ(platform::WindowText(marked.editor->Handle()),
              "Edit .INI file - it starts with a byte-order mark: Agent and Windows do not see its first section");
}

TEST(IniEditor, AMissingFileLoadsNothing) {
    TempFolder dir;
    TFrmZuEditINIFile e(nullptr);
    e.Create();
    EXPECT_FALSE(e.LoadINIFile(dir.Path() + "none.ini"));
    EXPECT_EQ(e.SectionCount(), 0);
}

TEST(IniEditor, AFileWithoutSectionsSavesNothingAndClosesWithOK) {
    Session s("; only a comment\r\n");
    const std::string before = Slurp(s.path);
    EXPECT_EQ(s.Run([](DriverWindow& w) { w.Press("BitBtnSave"); }), 1);
    EXPECT_EQ(Slurp(s.path), before);
}

TEST(IniEditor, ABigSectionKeepsItsGridHeight) {
    std::string text = "[Big]\r\n";
    for (int i = 0; i < 30; ++i) text += "key" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    Session s(text);
    RECT r;
    GetWindowRect(s.editor->FindControl("AValList1"), &r);
    EXPECT_EQ(r.bottom - r.top, 150);
    EXPECT_EQ(s.editor->Rows(1).size(), 30u);
}

TEST(IniEditor, SavingOneEditChangesThatValueOnly) {
    Session s(TenKeys());
    const int r = s.Run([&](DriverWindow& w) {
        s.Type(w, 2, 3, "changed");  // "Ten" sorts after "Other"
        w.Press("BitBtnSave");
    });
    EXPECT_EQ(r, 1);
    platform::IniFile ini(s.path);
    std::vector<std::string> lines;
    ini.ReadSectionValues("Ten", lines);
    std::vector<std::string> expected;
    for (int i = 0; i < 10; ++i) {
        const std::string n = std::to_string(i);
        std::string line;
        line.append("k").append(n).append("=").append(i == 3 ? "changed" : "v").append(i == 3 ? "" : n);
        expected.push_back(line);
    }
    EXPECT_EQ(lines, expected);
    EXPECT_NE(Slurp(s.path).find("; a comment that stays"), std::string::npos);
    EXPECT_EQ(ini.ReadString("Other", "x", ""), "1");
}

TEST(IniEditor, ASaveLeavesEveryLineButTheEditedOneByteForByte) {
    const std::string text = "; keep\r\n[A]\r\nk = spaced\r\n\r\n[B]\r\n\tx\t=\t1\r\n";
    Session s(text);
    // With nothing typed the file is not even written again.
    auto written = [&] {
        WIN32_FILE_ATTRIBUTE_DATA a{};
        GetFileAttributesExA(s.path.c_str(), GetFileExInfoStandard, &a);
        return (static_cast<uint64_t>(a.ftLastWriteTime.dwHighDateTime) << 32) | a.ftLastWriteTime.dwLowDateTime;
    };
    const uint64_t before = written();
    Sleep(20);
    EXPECT_EQ(s.Run([](DriverWindow& w) { w.Press("BitBtnSave"); }), 1);
    EXPECT_EQ(Slurp(s.path), text);
    EXPECT_EQ(written(), before);
    // A typed value keeps the blanks it was typed with.
    Session edited(text);
    edited.Run([&](DriverWindow& w) {
        edited.Type(w, 1, 0, "  padded ");
        w.Press("BitBtnSave");
    });
    EXPECT_EQ(Slurp(edited.path), "; keep\r\n[A]\r\nk = \"  padded \"\r\n\r\n[B]\r\n\tx\t=\t1\r\n");
    EXPECT_EQ(platform::IniFile(edited.path).ReadString("A", "k", ""), "  padded ");
    // A file the service reads as UTF-8 is written in UTF-8, behind its mark.
    if (!platform::Needed().profileServiceReadsUtf8Mark) return;
    Session marked("\xEF\xBB\xBF[A]\r\nk=old\r\n");
    marked.Run([&](DriverWindow& w) {
        marked.Type(w, 1, 0, "Café");
        w.Press("BitBtnSave");
    });
    EXPECT_EQ(Slurp(marked.path), "\xEF\xBB\xBF[A]\r\nk=Café\r\n");
    EXPECT_EQ(platform::IniFile(marked.path).ReadString("A", "k", ""), "Café");
}

TEST(IniEditor, TypingTheOldTextBackStillWritesIt) {
    Session s("[A]\r\nk=old\r\n");
    s.Run([&](DriverWindow& w) {
        s.Type(w, 1, 0, "old");
        EXPECT_TRUE(s.editor->Rows(1)[0].changed);
        // Now make the file differ behind the dialog: the save must write "old" again.
        platform::IniFile(s.path).WriteString("A", "k", "other");
        w.Press("BitBtnSave");
    });
    EXPECT_EQ(platform::IniFile(s.path).ReadString("A", "k", ""), "old");
}

TEST(IniEditor, ALaterRowOfADuplicateKeyIsReadOnlySoNoEditIsLost) {
    Session s("[A]\r\nk=first\r\nK=second\r\n");
    if (s.editor->Rows(1).size() < 2) GTEST_SKIP() << "this private-profile service lists a key once";
    EXPECT_TRUE(s.editor->Rows(1)[1].duplicate);
    s.Run([&](DriverWindow& w) {
        s.Type(w, 1, 0, "edited");
        s.editor->SetCurrentRow(1, 1);
        EXPECT_TRUE(GetWindowLongA(s.editor->ValueEditor(1), GWL_STYLE) & ES_READONLY);
        w.Press("BitBtnSave");
    });
    EXPECT_EQ(platform::IniFile(s.path).ReadString("A", "k", ""), "edited");
    // Keys and sections the service tells apart are each their own: under
    // Wine it matches letter case aside for A to Z alone.
    Session letters(platform::ToAnsi("[Été]\r\nÜ=1\r\nü=2\r\n[été]\r\nk=3\r\n"));
    const bool apart = platform::Needed().profileServiceFoldsOnlyAscii;
    EXPECT_EQ(letters.editor->Rows(1)[1].duplicate, !apart);
    EXPECT_EQ(letters.editor->Rows(2)[0].duplicate, !apart);
    EXPECT_EQ(letters.editor->Rows(2)[0].value, apart ? "3" : "");
}

TEST(IniEditor, ALaterSectionOfANameShowsItsOwnKeysReadOnly) {
    Session s("[Servers]\r\nNewsServer=a\r\n[View]\r\nTitle=t\r\n[servers]\r\n; note\r\nNewsServer=b\r\nExtra=c\r\n"
              "[SERVERS]\r\nThird=d\r\n");
    ASSERT_EQ(s.editor->SectionCount(), 4) << "this private-profile service lists a section name once";
    // The third block of the name shows the third section's own keys.
    ASSERT_EQ(s.editor->Rows(3).size(), 1u);
    EXPECT_EQ(s.editor->Rows(3)[0].key, "Third");
    ASSERT_EQ(s.editor->Rows(1).size(), 1u);
    EXPECT_EQ(s.editor->Rows(1)[0].value, "a");
    EXPECT_FALSE(s.editor->Rows(1)[0].duplicate);
    ASSERT_EQ(s.editor->Rows(2).size(), 2u);
    EXPECT_EQ(s.editor->Rows(2)[0].value, "b");
    EXPECT_EQ(s.editor->Rows(2)[1].key, "Extra");
    EXPECT_TRUE(s.editor->Rows(2)[0].duplicate && s.editor->Rows(2)[1].duplicate);
    s.Run([&](DriverWindow& w) {
        s.Type(w, 2, 0, "typed where it is refused");
        EXPECT_TRUE(GetWindowLongA(s.editor->ValueEditor(2), GWL_STYLE) & ES_READONLY);
        s.Type(w, 1, 0, "edited");
        w.Press("BitBtnReload");  // reads both again, each its own
        EXPECT_EQ(s.editor->Rows(2)[0].value, "b");
        s.Type(w, 1, 0, "edited");
        w.Press("BitBtnSave");
    });
    const std::string text = Slurp(s.path);
    EXPECT_NE(text.find("NewsServer=edited"), std::string::npos) << text;
    EXPECT_NE(text.find("NewsServer=b"), std::string::npos) << text;
    EXPECT_EQ(text.find("typed"), std::string::npos) << text;
    EXPECT_EQ(platform::SectionLinesIn("[a]\r\nx=1\r\n [ A ] \r\n y = 2 \r\n[b]\r\nz=3", "A", 1),
              std::vector<std::string>{"y = 2"});
    // As the service reads lines: to the last "]", controls trimmed, "[" alone a key.
    EXPECT_EQ(platform::SectionLinesIn("[a]b]\r\nx=1\r\n\f[A]B]\v\r[k=2\r\n", "a]b", 1), std::vector<std::string>{"[k=2"});
}

TEST(IniEditor, ReloadDiscardsEditsAndASaveThenWritesNothing) {
    Session s("[A]\r\nk=1\r\nj=2\r\n");
    s.Run([&](DriverWindow& w) {
        s.Type(w, 1, 0, "edited");
        w.Press("BitBtnReload");
        EXPECT_EQ(s.editor->Rows(1)[0].value, "1");
        EXPECT_FALSE(s.editor->Rows(1)[0].changed);
        platform::IniFile(s.path).WriteString("A", "j", "meanwhile");
        w.Press("BitBtnSave");
    });
    EXPECT_EQ(platform::IniFile(s.path).ReadString("A", "k", ""), "1");
    EXPECT_EQ(platform::IniFile(s.path).ReadString("A", "j", ""), "meanwhile");
}

TEST(IniEditor, CtrlTabMovesLikeAnAccordionAndWraps) {
    Session s("[a]\r\nk=1\r\n[b]\r\nk=1\r\n[c]\r\nk=1\r\n");
    s.Run([&](DriverWindow& w) {
        auto& e = *s.editor;
        w.FocusOn("BitBtnSave");
        w.Key(VK_TAB, platform::ssCtrl);  // from a button: the first section, nothing closed
        EXPECT_TRUE(e.Expanded(1));
        w.Key(VK_TAB, platform::ssCtrl | platform::ssShift);  // backward from the first: the last
        EXPECT_TRUE(e.Expanded(3));
        EXPECT_FALSE(e.Expanded(1));
        w.Key(VK_TAB, platform::ssCtrl);  // forward from the last: the first
        EXPECT_TRUE(e.Expanded(1));
        EXPECT_FALSE(e.Expanded(3));
        EXPECT_EQ(GetFocus(), e.ValueEditor(1));
        w.Key(VK_TAB, platform::ssCtrl);
        EXPECT_TRUE(e.Expanded(2));
        EXPECT_FALSE(e.Expanded(1));
        w.Press("BitBtnCancel");
    });
    Session one("[only]\r\nk=1\r\n");
    one.Run([&](DriverWindow& w) {
        SetFocus(one.editor->ValueEditor(1));
        w.Key(VK_TAB, platform::ssCtrl);
        EXPECT_TRUE(one.editor->Expanded(1));
        EXPECT_EQ(GetFocus(), one.editor->ValueEditor(1));
        w.Press("BitBtnCancel");
    });
}

TEST(IniEditor, FirstEscapeUndoesTheEditSecondCloses) {
    Session s("[A]\r\nk=old\r\n");
    const int r = s.Run([&](DriverWindow& w) {
        HWND e = s.editor->ValueEditor(1);
        SetFocus(e);
        SetWindowTextA(e, "typing");
        w.Key(VK_ESCAPE);
        char text[32] = {};
        GetWindowTextA(e, text, sizeof text);
        EXPECT_STREQ(text, "old");
        EXPECT_TRUE(IsWindowVisible(w.Handle()));
        w.Key(VK_ESCAPE);
    });
    EXPECT_EQ(r, 3);
    EXPECT_EQ(platform::IniFile(s.path).ReadString("A", "k", ""), "old");
    Session frame("[A]\r\nk=1\r\n");
    EXPECT_EQ(frame.Run([](DriverWindow& w) { w.CloseFrame(); }), 2);
    // Entered by the keyboard, a cell's whole value is selected: typing
    // replaces it.
    Session keys("[A]\r\nk=one\r\nl=two\r\n");
    keys.Run([&](DriverWindow& w) {
        HWND e = keys.editor->ValueEditor(1);
        SetFocus(e);
        w.Key(VK_DOWN);
        SendMessageA(e, WM_CHAR, 'X', 0);
        EXPECT_EQ(platform::WindowText(e), "X");
        w.Key(VK_ESCAPE);
        w.Key(VK_ESCAPE);
    });
    // Closed through its frame with a value typed, it asks first.
    Session typed("[A]\r\nk=1\r\n");
    std::vector<std::string> asked;
    auto answer = [&](const char* button) {
        return [&asked, button](DriverWindow& q) {
            asked.push_back(q.Text("Message"));
            q.Press(button);
        };
    };
    EXPECT_EQ(typed.Run([&](DriverWindow& w) {
        typed.Type(w, 1, 0, "new");
        w.CloseFrame();
        EXPECT_TRUE(IsWindowVisible(w.Handle()));
        w.CloseFrame();
    }, {answer("No"), answer("Yes")}), 2);
    EXPECT_EQ(asked, (std::vector<std::string>{"Cancel all changes ?", "Cancel all changes ?"}));
    EXPECT_EQ(platform::IniFile(typed.path).ReadString("A", "k", ""), "1");
}

TEST(IniEditor, CollapseAllThenExpandAllStacksEverySection) {
    Session s("[c]\r\nk=1\r\n[a]\r\nk=1\r\n[b]\r\nk=1\r\n");
    s.Run([&](DriverWindow& w) {
        w.Press("BitBtnCollapseAll");
        for (int n = 1; n <= 3; ++n) EXPECT_FALSE(s.editor->Expanded(n));
        w.Press("BitBtnExpandAll");
        int lastTop = -1000;
        for (int n = 1; n <= 3; ++n) {
            EXPECT_TRUE(s.editor->Expanded(n));
            RECT p = RectIn(s.editor->SectionPanel(n), s.editor->Control("ScrollBoxINIFile"));
            EXPECT_EQ(p.bottom - p.top, 22 + 150);
            EXPECT_GT(p.top, lastTop);
            lastTop = p.top;
        }
        w.Press("BitBtnCancel");
    });
}

TEST(IniEditor, AFailedSaveWritesNothingSaysWhyAndKeepsTheDialog) {
    Session s("[A]\r\na=1\r\n[B]\r\nb=1\r\n");
    const std::string before = testing_support::Slurp(s.path);
    std::vector<std::string> errors;
    auto box = [&](DriverWindow& box) {
        errors.push_back(testing_support::MessageIn(box.Handle()));
        box.Press("OK");
    };
    const int r = s.Run([&](DriverWindow& w) {
        s.Type(w, 1, 0, "new a");
        s.Type(w, 2, 0, std::string(40000, 'x'));  // more than the service holds
        w.Press("BitBtnSave");
        EXPECT_TRUE(IsWindowVisible(w.Handle()));
        EXPECT_EQ(testing_support::Slurp(s.path), before);  // not even the first value
        s.Type(w, 2, 0, "page\f");  // the service would drop the form feed
        w.Press("BitBtnSave");
        EXPECT_EQ(testing_support::Slurp(s.path), before);
        s.Type(w, 2, 0, "new b");
        HANDLE h = CreateFileA(s.path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        w.Press("BitBtnSave");
        EXPECT_TRUE(IsWindowVisible(w.Handle()));
        CloseHandle(h);
        w.Press("BitBtnCancel");
    }, {box, box, box});
    EXPECT_EQ(r, 3);
    EXPECT_EQ(errors, (std::vector<std::string>{
                          "Unable to write to " + s.path + "\rThe value of \"b\" is too long to be written (40000 "
                          "characters).",
                          "Unable to write to " + s.path + "\rThe value of \"b\" begins or ends with a control character "
                          "(form feed, vertical tab or end of file), which the file cannot keep: take it away and save "
                          "again.",
                          "Unable to write to " + s.path + "\r" + platform::SystemErrorText(ERROR_SHARING_VIOLATION)}));
    EXPECT_EQ(testing_support::Slurp(s.path), before);
    EXPECT_FALSE(platform::FileExists(platform::IniSave::CopyPathFor(s.path)));
}

TEST(IniEditor, AFileGoneAtReloadOrSaveIsReportedAndTheDialogStays) {
    Session s("[A]\r\nk=1\r\n");
    std::vector<std::string> seen;
    auto answer = [&](DriverWindow& box) {
        seen.push_back(box.Text("Message"));
        box.Press("Cancel");
    };
    const int r = s.Run([&](DriverWindow& w) {
        DeleteFileA(s.path.c_str());
        w.Press("BitBtnReload");
        w.Press("BitBtnSave");
        EXPECT_TRUE(IsWindowVisible(w.Handle()));
        EXPECT_EQ(s.editor->Rows(1)[0].value, "1");  // the grid keeps what it shows
        w.Press("BitBtnCancel");
    }, {answer, answer});
    EXPECT_EQ(r, 3);
    EXPECT_EQ(seen, (std::vector<std::string>{"Problems loading .INI file !", "Problems loading .INI file !"}));
}

TEST(IniEditor, ASectionWithoutKeysTakesNoValueAndHelpShowsTheHeadersHint) {
    Session s("[Empty]\r\n[Full]\r\nk=1\r\n");
    ASSERT_EQ(s.editor->Rows(1).size(), 1u);
    EXPECT_EQ(s.editor->Rows(1)[0].key, "");
    std::string help;
    s.Run([&](DriverWindow& w) {
        EXPECT_TRUE(GetWindowLongA(s.editor->ValueEditor(1), GWL_STYLE) & ES_READONLY);
        w.FocusOn("AButton2");
        w.Key(VK_F1);
        w.Press("BitBtnSave");
    }, {[&](DriverWindow& info) {
            help = info.Text("Message");
            info.Press("OK");
        }});
    EXPECT_EQ(help, "Collapse/Expand the 'Full' section\rToggles the visibility of the section attached to this button.");
    EXPECT_EQ(Slurp(s.path), "[Empty]\r\n[Full]\r\nk=1\r\n");
}

namespace {
// Real input through the system's queue, as the mouse and keyboard give it.
void ClickAt(POINT screen) {
    SetCursorPos(screen.x, screen.y);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
}
template <typename F>
bool SettleUntil(F done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done() && std::chrono::steady_clock::now() < end) UiDriver::Settle();
    return done();
}
}  // namespace

TEST(IniEditor, TheValueEditorFollowsTheWheelAndAClickTypesIntoTheRowSeen) {
    std::string text = "[Big]\r\n";
    for (int i = 0; i < 40; ++i) text += "key" + std::to_string(100 + i) + "=v\r\n";
    Session s(text);
    int top = -1;
    s.Run([&](DriverWindow& w) {
        HWND grid = s.editor->FindControl("AValList1"), editor = s.editor->ValueEditor(1);
        SetForegroundWindow(w.Handle());
        SetFocus(editor);
        RECT gr;
        GetWindowRect(grid, &gr);
        SetCursorPos((gr.left + gr.right) / 2, (gr.top + gr.bottom) / 2);
        for (int i = 0; i < 3; ++i) mouse_event(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(-WHEEL_DELTA), 0);
        ASSERT_TRUE(SettleUntil([&] { return ListView_GetTopIndex(grid) > 0; })) << "the wheel did not scroll";
        top = ListView_GetTopIndex(grid);
        EXPECT_FALSE(IsWindowVisible(editor));  // its row is out of view
        RECT cell{};
        cell.top = 1;
        cell.left = LVIR_BOUNDS;
        SendMessageA(grid, LVM_GETSUBITEMRECT, top, reinterpret_cast<LPARAM>(&cell));
        MapWindowPoints(grid, nullptr, reinterpret_cast<POINT*>(&cell), 2);
        ClickAt({(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2});
        ASSERT_TRUE(SettleUntil([&] { return GetFocus() == editor && IsWindowVisible(editor); }));
        EXPECT_EQ(s.editor->CurrentRow(1), top);
        RECT er;
        GetWindowRect(editor, &er);
        EXPECT_TRUE(er.top >= cell.top && er.bottom <= cell.bottom) << "the editor is not in the row clicked";
        testing_support::KeyboardKey('Z');
        SettleUntil([&] { return platform::WindowText(editor).find('z') != std::string::npos; });
        w.Press("BitBtnSave");
    });
    ASSERT_GT(top, 0);
    const platform::IniFile ini(s.path);
    EXPECT_NE(ini.ReadString("Big", "key" + std::to_string(100 + top), ""), "v");
    EXPECT_EQ(ini.ReadString("Big", "key100", ""), "v");
}

TEST(IniEditor, EscapeUndoesALongEditAndTheEdgesOfTheGridKeepTheCell) {
    Session s("[A]\r\nfirst=1\r\nlast=2\r\n");
    const std::string longText(5000, 'x');
    const int r = s.Run([&](DriverWindow& w) {
        HWND e = s.editor->ValueEditor(1);
        SetFocus(e);
        SetWindowTextA(e, longText.c_str());
        EXPECT_EQ(platform::WindowText(e), longText);  // not cut by the edit's limit
        w.Key(VK_UP);  // the first row: nothing above it
        EXPECT_FALSE(s.editor->Rows(1)[0].changed);
        w.Key(VK_ESCAPE);
        EXPECT_EQ(platform::WindowText(e), "1");
        EXPECT_TRUE(IsWindowVisible(w.Handle()));
        s.editor->SetCurrentRow(1, 1);
        SetFocus(e);
        SetWindowTextA(e, "typed");
        w.Key(VK_DOWN);  // the last row: nothing below it
        EXPECT_FALSE(s.editor->Rows(1)[1].changed);
        w.Key(VK_ESCAPE);
        EXPECT_EQ(platform::WindowText(e), "2");
        EXPECT_TRUE(IsWindowVisible(w.Handle()));
        w.Key(VK_ESCAPE);
    });
    EXPECT_EQ(r, 3);
}

TEST(IniEditor, AHeaderClickLeavesTheFocusWhereItWas) {
    Session s("[a]\r\nk=1\r\n[b]\r\nk=1\r\n[c]\r\nk=1\r\n");
    s.Run([&](DriverWindow& w) {
        auto& e = *s.editor;
        SetFocus(e.ValueEditor(1));
        HWND header = e.Control("AButton3");
        PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        PostMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        UiDriver::Settle();
        EXPECT_TRUE(e.Expanded(3));
        EXPECT_EQ(GetFocus(), e.ValueEditor(1));
        w.Key(VK_TAB, platform::ssCtrl);  // the accordion goes on from section 1
        EXPECT_TRUE(e.Expanded(2));
        EXPECT_FALSE(e.Expanded(1));
        w.Press("BitBtnCancel");
    });
}

TEST(IniEditorRows, TheBlocksInViewFollowTheExpandedSet) {
    const auto tops = inieditor::SectionTops({true, false, false, true}, 22, 150);
    EXPECT_EQ(tops, (std::vector<int>{0, 172, 194, 216, 388}));
    EXPECT_EQ(inieditor::SectionsInView(tops, 0, 100, 0), std::pair(0, 1));
    EXPECT_EQ(inieditor::SectionsInView(tops, 180, 30, 0), std::pair(1, 3));   // 180..210 touches blocks 1 and 2
    EXPECT_EQ(inieditor::SectionsInView(tops, 180, 30, 1), std::pair(0, 4));
    EXPECT_EQ(inieditor::SectionsInView({0}, 0, 100, 4), std::pair(0, 0));  // no sections
}

TEST(IniEditor, AFileOfThousandsOfSectionsKeepsWindowsOnlyForTheView) {
    std::string text;
    for (int i = 0; i < 1500; ++i) text += "[S" + std::to_string(10000 + i) + "]\r\nk=v\r\n";
    Session s(text);
    ASSERT_EQ(s.editor->SectionCount(), 1500);
    auto windows = [&] {
        struct Count {
            static BOOL CALLBACK One(HWND, LPARAM p) {
                ++*reinterpret_cast<int*>(p);
                return TRUE;
            }
        };
        int n = 0;
        EnumChildWindows(s.editor->Handle(), &Count::One, reinterpret_cast<LPARAM>(&n));
        return n;
    };
    int opened = 0, expandedAll = 0;
    s.Run([&](DriverWindow& w) {
        opened = windows();
        w.Press("BitBtnExpandAll");
        expandedAll = windows();
        SendMessageA(w.Handle(), WM_VSCROLL, SB_BOTTOM, 0);  // the scroll area's bar
        EXPECT_NE(s.editor->FindControl("AValList1500"), nullptr);
        EXPECT_EQ(s.editor->FindControl("AButton1"), nullptr);
        s.Type(w, 1500, 0, "last");
        w.FocusOn("BitBtnSave");
        w.Key(VK_TAB, platform::ssCtrl);  // the first section, scrolled back into view
        EXPECT_NE(s.editor->FindControl("AValList1"), nullptr);
        EXPECT_EQ(GetFocus(), s.editor->ValueEditor(1));
        EXPECT_EQ(windows(), expandedAll);  // the blocks at the end, now far below the view, went
        w.Press("BitBtnSave");
    });
    EXPECT_LT(opened, 300);
    EXPECT_LT(expandedAll, 300);
    EXPECT_EQ(platform::IniFile(s.path).ReadString("S11499", "k", ""), "last");
    EXPECT_EQ(platform::IniFile(s.path).ReadString("S10000", "k", ""), "v");
}

TEST(IniEditor, TheWheelScrollsTheSectionsWhereTheGridUnderThePointerHasNoMore) {
    std::string text = "[A Big]\r\n";
    for (int i = 0; i < 40; ++i) text += "key" + std::to_string(100 + i) + "=v\r\n";
    for (int i = 10; i < 40; ++i) text += "[S" + std::to_string(i) + "]\r\nk=v\r\nq=w\r\n";
    Session s(text);
    s.Run([&](DriverWindow& w) {
        w.Press("BitBtnExpandAll");
        SetForegroundWindow(w.Handle());
        auto top = [&](const char* control) {
            RECT r;
            GetWindowRect(s.editor->Control(control), &r);
            return r.top;
        };
        auto wheelOver = [&](const char* control) {
            RECT r;
            GetWindowRect(s.editor->Control(control), &r);
            SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
            mouse_event(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(-WHEEL_DELTA), 0);
        };
        HWND big = s.editor->Control("AValList1");
        const int bigTop = top("AValList1");
        wheelOver("AValList1");  // a grid with more rows below: it scrolls, the sections stay
        EXPECT_TRUE(SettleUntil([&] { return ListView_GetTopIndex(big) > 0; }));
        EXPECT_EQ(top("AValList1"), bigTop);
        for (const char* over : {"AButton2", "AValList2"}) {  // a header; a grid with nothing more
            const int before = top("AButton3");
            wheelOver(over);
            EXPECT_TRUE(SettleUntil([&] { return top("AButton3") < before; })) << over;
        }
        w.Press("BitBtnCancel");
    });
}

TEST(IniEditor, TabMovesFromSectionToSectionAndWhatIsTypedAfterItIsKept) {
    std::string text;
    for (int i = 10; i < 40; ++i) text += "[S" + std::to_string(i) + "]\r\nk=v\r\n";
    Session s(text);
    s.Run([&](DriverWindow& w) {
        w.Press("BitBtnExpandAll");
        SetForegroundWindow(w.Handle());
        SetFocus(s.editor->ValueEditor(1));
        for (int i = 1; i <= 10; ++i) {
            testing_support::KeyboardKey(VK_TAB);
            EXPECT_TRUE(SettleUntil([&] { return GetFocus() == s.editor->ValueEditor(i + 1); })) << "Tab " << i;
            EXPECT_TRUE(IsWindowVisible(GetFocus())) << "Tab " << i;
            testing_support::KeyboardKey(static_cast<WORD>('0' + i % 10));
            SettleUntil([&] { return platform::WindowText(GetFocus()).find(char('0' + i % 10)) != std::string::npos; });
        }
        testing_support::KeyboardKey(VK_TAB, {VK_SHIFT});  // and back
        EXPECT_TRUE(SettleUntil([&] { return GetFocus() == s.editor->ValueEditor(10); }));
        w.Press("AButton11");  // a collapsed section is passed by
        SetFocus(s.editor->ValueEditor(10));
        testing_support::KeyboardKey(VK_TAB);
        EXPECT_TRUE(SettleUntil([&] { return GetFocus() == s.editor->ValueEditor(12); }));
        w.Press("BitBtnSave");
    });
    const platform::IniFile ini(s.path);
    for (int i = 1; i <= 10; ++i) {
        const std::string section = std::string("S").append(std::to_string(10 + i));
        EXPECT_NE(ini.ReadString(section, "k", "").find(char('0' + i % 10)), std::string::npos)
            << "what was typed after Tab " << i;
    }
    EXPECT_EQ(ini.ReadString("S10", "k", ""), "v");
    EXPECT_EQ(ini.ReadString("S21", "k", ""), "v");
}

TEST(IniEditor, TheValueBeingEditedStandsWhereTheCellDrawsIt) {
    Session s("[A]\r\nValue=Value\r\nValues=Value\r\n");
    POINT edited{}, drawn{}, key{};
    s.Run([&](DriverWindow& w) {
        SetForegroundWindow(w.Handle());
        w.FocusOn("BitBtnReload");  // the editor shows its text unselected
        HWND grid = s.editor->FindControl("AValList1");
        RedrawWindow(w.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        UiDriver::Settle();
        // Read from the screen, which Wine brings up to date in its own time.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        do {
            UiDriver::Settle();
            edited = testing_support::ValueInk(grid, 0);  // the current row: its editor
            drawn = testing_support::ValueInk(grid, 1);   // drawn by the cell
            key = testing_support::CellInk(grid, 1, 0);   // and its row's key
        } while ((edited.x > 40 || drawn.x > 40 || key.x > 40) && std::chrono::steady_clock::now() < end);
        w.Press("BitBtnCancel");
    });
    EXPECT_EQ(edited.x, drawn.x);
    EXPECT_EQ(edited.y, drawn.y);
    EXPECT_EQ(key.y, drawn.y) << "a value stands on the line of its key";
    EXPECT_LT(drawn.x, 40) << "no text found";
}
