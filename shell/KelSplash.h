// The splash screen: a small borderless, semi-transparent, always-on-top
// window that names the program and says what it is doing while the main
// window is being made.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/Application.h"
#include "platform/Form.h"

namespace shell {

// The splash screen's pieces, by their names. The window draws them itself,
// the panel's bevel included: under Wine every child window costs
// milliseconds to make, to move, to paint and to destroy, and the splash
// is there only while the main window is made.
struct SplashControls {
    CONTROL_NAMES(PanelMain, ImageAppLogo, LabelAppTitle, BevelButtom, LabelAppAction)
};

class TFrmKelSplash : public platform::Form {
public:
    TFrmKelSplash();

    // One piece: its text (the labels'), where it stands in the client area,
    // and its font (the labels').
    struct Piece {
        std::string text;
        platform::Rect place;
        HFONT font = nullptr;
    };
    // The panel (the whole client area, inside its raised edge), the logo,
    // the title, the line or the action, by its name.
    const Piece& PieceNamed(const std::string& name) const;

    void UpdateSplashLayout();
    void SetTitle(const std::string& title);
    void SetAction(const std::string& action);
    void SetLogo(HBITMAP logo);  // takes ownership

protected:
    void OnCreate() override;
    void OnDpiChanged(int oldDpi) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    void SetLabel(Piece& label, const std::string& text);
    void FitLabel(Piece& label);
    void MovePiece(Piece& piece, const platform::Rect& place);
    void Redraw(const platform::Rect& box);  // drawn again, background first
    void Paint(HDC dc);
    void MakeFonts();
    Piece panel_, logoPiece_, title_, line_, action_;
    platform::UniqueFont titleFont_, actionFont_;
    platform::UniqueBitmap logo_;
    platform::UniqueBrush background_;
    UINT wmAction_ = 0, wmTitle_ = 0, wmLogo_ = 0;
    std::optional<platform::BusyCursor> busy_;  // the hourglass while the splash is up
};

// The layout width: starts at 0 and only ever grows while the program runs.
int SplashLayoutWidth();

// What the splash's layout starts from: the layout width so far, the sizes
// of the logo, title and action, the line's height, where the logo stands,
// the window frame (outer less client) and the screen.
struct SplashMeasures {
    int widest = 0;
    platform::Size logo, title, action;
    int lineHeight = 2;
    int logoTop = 8;
    platform::Size frame, screen;
    int dpi = 96;  // the spacings are design pixels
};
// Where everything goes: the new layout width; the window, centred on the
// screen; and the four pieces, each centred in the client, one below the
// other 5 pixels apart (the line as wide as the layout).
struct SplashPlaces {
    int widest = 0;
    platform::Rect window, logo, title, line, action;
};
SplashPlaces SplashLayout(const SplashMeasures& m);
// The splash window shown now, or null.
TFrmKelSplash* CurrentSplash();

// Shows the splash (replacing one already shown); with `setAppTitle` the
// application's title becomes `title`. `logo` may be null (the design logo).
void ShowSplash(const std::string& title, const std::string& action, bool setAppTitle, HBITMAP logo);
// Sets the main window's caption (when non-empty) and removes the splash.
void HideSplash(const std::string& caption);

}  // namespace shell
