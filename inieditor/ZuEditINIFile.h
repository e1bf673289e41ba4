// The INI file editor: every section of one INI file as a collapsible block,
// a header button above a key/value grid. Only the values the user edited are
// written back, key by key, so every other line of the file stays as it was.
#pragma once

#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/Form.h"
#include "platform/IniFile.h"

namespace inieditor {

// The INI file editor's controls, by the names its table and its code use; a section's own controls take its number after the name.
struct EditINIFileControls {
    CONTROL_NAMES(ScrollBoxINIFile, PanelBottom, BitBtnCancel, BitBtnCollapseAll, BitBtnExpandAll, BitBtnReload,
                  BitBtnSave, PanelSection, AButton, AValList, AValEdit, AValName)
};

platform::FormDef EditINIFileFormDef();

struct IniRow {
    std::string key;
    std::string value;
    bool changed = false;
    // A later row with the key of an earlier one (letter case aside): the
    // file service reads and writes only the first, so this one is shown
    // but cannot be edited.
    bool duplicate = false;
};

// The writes a Save makes for one section: each key once, from its first
// row, when that row was changed.
std::vector<std::pair<std::string, std::string>> ChangedValues(const std::vector<IniRow>& rows);

// Rows from "key=value" lines, later rows of a key marked as duplicates; a
// section without keys gets one empty row.
std::vector<IniRow> RowsFromLines(const std::vector<std::string>& lines);

// Where each section's block starts in the scroll area, from the top: a block
// is its header, and its grid while expanded. One entry more than there are
// sections: the last is the height of them all.
std::vector<int> SectionTops(const std::vector<bool>& expanded, int headerHeight, int gridHeight);

// The blocks [first, last) that a view `height` high, scrolled to
// `scrollPos`, shows at least in part, widened by `margin` blocks each way.
std::pair<int, int> SectionsInView(const std::vector<int>& tops, int scrollPos, int height, int margin);

class TFrmZuEditINIFile : public platform::Form {
public:
    explicit TFrmZuEditINIFile(HWND owner);

    bool LoadINIFile(const std::string& path);
    void SBtnSectionClick(int n);
    void BitBtnCollapseAllClick();
    void BitBtnExpandAllClick();
    void BitBtnReloadClick();
    void BitBtnSaveClick();
    void MoveToSection(bool forward);

    int SectionCount() const { return static_cast<int>(sections_.size()); }
    const std::string& SectionName(int n) const { return sections_[n - 1].name; }
    bool Expanded(int n) const;
    const std::vector<IniRow>& Rows(int n) const { return sections_[n - 1].rows; }
    // The grid's current row (0-based data row) and the value editor over it
    // (made when the section is first expanded).
    int CurrentRow(int n) const { return sections_[n - 1].current; }
    void SetCurrentRow(int n, int row);
    HWND ValueEditor(int n) const { return sections_[n - 1].editor; }
    HWND SectionPanel(int n) const { return sections_[n - 1].panel; }

protected:
    void OnCreate() override;
    void OnResize() override;
    void OnDpiChanged(int oldDpi) override;
    bool OnKeyDown(WPARAM key, unsigned shift) override;
    bool OnCloseQuery() override;
    bool OnNotify(NMHDR* hdr, LRESULT& result) override;
    void OnControlCommand(HWND control, WORD code) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    struct Section {
        std::string name;
        HWND panel = nullptr, header = nullptr, grid = nullptr, editor = nullptr;
        HWND label = nullptr;  // names the value field for a screen reader
        std::vector<IniRow> rows;
        int current = 0;
        bool expanded = false;
        // How many sections of the same name come before it in the list: a
        // later one is read-only, as the file service sees only the first.
        int occurrence = 0;
        std::string entered;  // the value when the cell was entered
        bool typed = false;
    };

    int SectionOf(HWND control) const;  // 1-based, 0 when none
    int FocusedSection() const;
    void EnsureBlock(int n);   // the block's windows, as it comes into view
    void ReleaseBlock(int n);  // and without them, far out of view
    void EnsureGrid(int n);
    void SetExpanded(int n, bool expanded);
    std::vector<int> BlockTops() const;  // SectionTops of the sections as they are
    void SetAllSections(bool expanded);
    void LayoutSections();
    void MakeBoldFont();
    // The editor's place across a value cell, and where its text starts
    // there; each value is drawn from that point of its cell, on the line
    // the grid centres its row's text on (RowTextTop), as is the editor's.
    static constexpr int kEditorInset = 2;
    int EditorTextLeft(int n) const;
    int RowTextTop(int n, const RECT& cell) const;
    void DrawValueAsEdited(int n, HDC dc, int row);
    void PlaceEditor(int n);
    void EnterRow(int n, int row);
    void Commit(int n);
    void CommitAll();
    void FillGrid(int n);
    void ReadRows(const platform::IniFile& ini);
    void FocusScrollArea();
    void ScrollIntoView(int n);
    bool TabToSection(int from, bool forward);
    // The wheel turned by `delta` with the pointer at `at` (screen).
    void Wheel(int delta, POINT at);
    bool ReadOnlyRow(const Section& s) const;
    static LRESULT CALLBACK GridProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    static LRESULT CALLBACK EditorProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    static LRESULT CALLBACK HeaderProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

    std::string path_;
    std::vector<Section> sections_;
    std::set<int> live_;                          // 0-based blocks that have windows
    std::unordered_map<HWND, int> windowSection_;  // grid, editor, column header -> n
    platform::UniqueFont bold_;
    int scrollPos_ = 0;
    bool loading_ = false;
};

// Opens the editor on a file, owned by `owner`, as both callers do: false
// (and nothing shown) when the file cannot be loaded.
// `saved` (when given) tells whether the user saved the file.
bool EditIniFile(platform::Form& owner, const std::string& path, bool* saved = nullptr);
// What an ".INI file" button does: says so when the file is not there yet
// (`exists` false), otherwise opens the editor on it, and says so when the
// file cannot be loaded.
// True when the user saved the file in the editor.
// `why`: one more line for the message when the file is not there to edit.
bool EditIniFileButton(platform::Form& owner, const std::string& path, bool exists, const std::string& why = {});

}  // namespace inieditor
