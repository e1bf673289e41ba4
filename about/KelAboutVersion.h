// The About window and its reader of the program file's version resource.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Form.h"

namespace about {

// The About window's controls, by the names its table and its code use.
struct AboutControls {
    CONTROL_NAMES(ListViewVersion, ImageAppIcon, BitBtnOK, BitBtnMemory, BitBtnVersion, PanelMain, PanelInfo,
                  LabelVersionTxt, LabelVersion, LabelProductTxt, LabelProduct, LabelDescriptionTxt, LabelDescription,
                  PanelAdditionalInfo, PanelButtons)
};

// "key=value" lines of the first string table of a version resource, in
// resource order. Every read is bounded by the resource's size: a zero or
// overrunning length ends the walk. Raises "Unrecognised version block" when
// the resource is not laid out as a version resource starting with its
// string-file-info block.
std::vector<std::string> WalkVersionResource(const uint8_t* data, size_t size);

// The version strings of a program file; empty without a readable resource.
std::vector<std::string> ReadVersionStrings(const std::wstring& path);
// This program's own file, however its folder is named.
std::wstring ProgramPath();

// A byte count with the user's thousands separators and no decimals.
std::string FormatByteCount(uint64_t bytes);

class TFrmKelVersionAbout : public platform::Form {
public:
    explicit TFrmKelVersionAbout(HWND owner);

    void SetExtraCaptions(const std::vector<std::string>& lines);
    void BitBtnVersionClick();
    void BitBtnMemoryClick();
    // The list's rows as "caption=value".
    std::vector<std::string> Rows() const;

protected:
    void OnCreate() override;

private:
    void SetColumns(const char* first, const char* second, bool rightAligned);
    void AddRow(const std::string& caption, const std::string& value, bool sorted);
    void FitColumns();
    std::wstring exePath_;
    std::vector<std::string> extra_;  // "key=caption", sorted
    platform::UniqueIcon icon_;
};

void ShowAboutWindow(HWND owner, const std::vector<std::string>& extraKeyCaptions);

}  // namespace about
