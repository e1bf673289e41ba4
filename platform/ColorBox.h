// The colour box: an owner-drawn drop-down list of colours with a swatch and
// a plain name each: "Custom..." (which opens the colour picker), the 16
// standard colours, the extended colours and the system colours. Values are
// 32-bit colour values: 0x00BBGGRR, or 0x80000000 + a system colour index.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct NamedColor {
    uint32_t value;
    const char* name;
};

// Every listed colour after "Custom...", in list order.
const std::vector<NamedColor>& ListedColors();

// The colour a value stands for on this desktop.
COLORREF ColorToRGB(uint32_t value);

// How far apart two colours are to the eye: the ratio of their relative
// luminances (each plus 0.05), from 1 (the same) to 21 (black and white).
double ContrastRatio(COLORREF a, COLORREF b);
// A mark drawn on a cell of colour `cell`: `text`, the colour it would
// have, where that stands out well enough; otherwise black or white,
// whichever stands out more (high-contrast themes put dark text colours
// on dark cells).
COLORREF MarkerColor(COLORREF cell, COLORREF text);

void FillColorBox(HWND combo);
void SetColorBoxValue(HWND combo, uint32_t value);
uint32_t ColorBoxValue(HWND combo);
// For the owner's WM_MEASUREITEM and WM_DRAWITEM.
void MeasureColorBoxItem(MEASUREITEMSTRUCT* mis, int dpi);
void DrawColorBoxItem(const DRAWITEMSTRUCT* dis, int dpi);
// The plain name an item is drawn with.
std::string ColorBoxItemText(HWND combo, int item);
// For CBN_SELCHANGE: "Custom..." opens the colour picker; a picked colour
// becomes the custom entry's value, a cancelled one restores the last value.
void ColorBoxSelChange(HWND owner, HWND combo);
// A colour box's notifications: in its open list the keys only move, and
// the choice (Enter, or a click) is taken as it closes; in a closed box a
// change is a choice at once.
void ColorBoxCommand(HWND owner, HWND combo, WORD code);
// Makes a closed colour box `height` pixels high, frame included.
void SetColorBoxHeight(HWND combo, int height);

}  // namespace platform
