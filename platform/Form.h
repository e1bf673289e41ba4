// The small form layer every window of the program is built on: a window
// described by a table of named controls, with anchors, minimum and fixed
// sizes, hints in a tooltip, help contexts, tab order, key preview, default
// and cancel buttons and modal display with a close check.
//
// A form is a dialog-manager window (created from an empty in-memory template
// under its own window class), so Tab, Enter, Escape and mnemonics behave as
// in any Windows dialog; the controls are created from the table in pixels.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <unordered_map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Handles.h"
#include "platform/Layout.h"
#include "platform/ListViewText.h"

namespace platform {

// Modal results, as the dialog command codes.
enum ModalResult : int {
    mrNone = 0,
    mrOk = IDOK,          // 1
    mrCancel = IDCANCEL,  // 2: also "closed through the window frame"
    mrAbort = IDABORT,    // 3
    mrRetry = IDRETRY,
    mrIgnore = IDIGNORE,
    mrYes = IDYES,        // 6
    mrNo = IDNO,          // 7
    mrAll = 8,
    mrNoToAll = 9,
    mrYesToAll = 10,
};

enum class ControlKind { Panel, Label, Button, Edit, CheckBox, Icon, ListView, ComboBox, HotKey, Custom };

enum class Bevel { None, Lowered, Raised };

// Shift state of a key press: the modifiers held, exactly.
enum Shift : unsigned { ssNone = 0, ssShift = 1, ssCtrl = 2, ssAlt = 4 };
unsigned CurrentShiftState();

// A window's whole text, however long.
std::string WindowText(HWND window);
void PutWindowText(HWND window, const std::string& text);

// Registers a window class with the arrow pointer and the dialog background,
// unless the process has it already.
void RegisterClassOnce(WNDCLASSEXW wc);

// Answers WM_CTLCOLORSTATIC for a read-only field that stands out in the
// selection colours: sets them on `dc` and gives the brush to return.
LRESULT SelectionColours(HDC dc);

// Constants for a form's control names, each spelled once: inside a struct,
// CONTROL_NAMES(EditName, EditTitle) declares EditName = "EditName" and
// EditTitle = "EditTitle", so a name and its text can never differ (up to
// 81 names; the expansion steps bound the recursion).
#define CONTROL_NAMES(...) __VA_OPT__(CONTROL_NAMES_EXPAND_(CONTROL_NAMES_ONE_(__VA_ARGS__)))
#define CONTROL_NAMES_ONE_(name, ...) \
    static constexpr const char* name = #name; __VA_OPT__(CONTROL_NAMES_AGAIN_ CONTROL_NAMES_PARENS_(__VA_ARGS__))
#define CONTROL_NAMES_AGAIN_() CONTROL_NAMES_ONE_
#define CONTROL_NAMES_PARENS_ ()
#define CONTROL_NAMES_EXPAND_(...) CONTROL_NAMES_E4_(CONTROL_NAMES_E4_(CONTROL_NAMES_E4_(__VA_ARGS__)))
#define CONTROL_NAMES_E4_(...) CONTROL_NAMES_E3_(CONTROL_NAMES_E3_(CONTROL_NAMES_E3_(__VA_ARGS__)))
#define CONTROL_NAMES_E3_(...) CONTROL_NAMES_E2_(CONTROL_NAMES_E2_(CONTROL_NAMES_E2_(__VA_ARGS__)))
#define CONTROL_NAMES_E2_(...) CONTROL_NAMES_E1_(CONTROL_NAMES_E1_(CONTROL_NAMES_E1_(__VA_ARGS__)))
#define CONTROL_NAMES_E1_(...) __VA_ARGS__

struct ControlDef {
    std::string name{};
    ControlKind kind = ControlKind::Label;
    std::string parent{};  // name of the enclosing panel; empty for the form itself
    Rect place{};
    unsigned anchors = akLeft | akTop;
    std::string caption{};
    std::string hint{};
    int helpContext = 0;
    int tabOrder = -1;     // position among its siblings' tab stops; -1: no tab stop
    int modalResult = 0;   // a button with a modal result closes a modal form with it
    bool handCursor = false;
    Bevel bevel = Bevel::None;  // panels
    DWORD style = 0;            // extra window styles
    DWORD exStyle = 0;
    std::string windowClass{};  // ControlKind::Custom
    std::string focusControl{};  // labels: the control their mnemonic focuses
    // What a screen reader says for a control that shows no text of its own
    // (a list view, a hot-key field): its window text, never drawn. Empty:
    // the caption of the label that focuses it.
    std::string spoken{};
    bool managed = false;       // placed by the form's own code, not by its anchors
};

// A push button with the hand cursor, as every button of the program has.
ControlDef Button(ControlDef def);

// Where a form stands when it opens, and whether it remembers that.
enum class Placement {
    Free,              // where its definition or its own code puts it
    Centred,           // over the window it belongs to
    Remembered,        // as it was left (stored under its name), kept on a screen; zooms open and shut
    RememberedCentred  // the remembered size, centred over the window it belongs to; zooms open and shut
};

struct FormDef {
    std::string windowClass{};  // e.g. "TFrmZuMain": the class other programs see
    std::string name{};         // e.g. "FrmZuMain": the name placement values use
    std::string caption{};
    Rect place{};               // outer bounds at design time
    Size minSize{};             // 0: no minimum
    Size maxSize{};             // 0: no maximum
    bool sizeable = true;
    bool helpButton = true;   // the "?" in the caption (no minimise/maximise then)
    bool minimizeBox = false;
    bool maximizeBox = false;
    bool toolWindow = false;
    bool keyPreview = false;
    bool topMost = false;
    bool popup = false;       // no caption and no border at all
    std::string defaultButton{};
    std::string cancelButton{};
    Placement placement = Placement::Free;
    std::string fontName = "MS Sans Serif";
    int fontPoints = 8;
    std::vector<ControlDef> controls{};
    // 0: the sizes above are design pixels, scaled to the window's DPI.
    // Otherwise they were measured at run time at this DPI and stand as they are.
    int measuredAtDpi = 0;
};

class Form;

// The text a control's help shows for its hint: the short part, or the
// short part, "\r" and the long part when they differ.
std::string ContextHelpText(const std::string& hint);

// Keeps forms' places: restores and centres a form as it opens, zooms it
// open and shut, and stores where it was as it closes. The settings module
// provides it (the places live in the registry), through the application.
class PlacementKeeper {
public:
    virtual ~PlacementKeeper() = default;
    virtual void Place(Form& form) = 0;
    virtual void Zoom(Form& form, bool opening) = 0;
    virtual void Store(Form& form) = 0;
};

class Form {
public:
    Form(FormDef def, HWND owner);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // Builds the window and its controls and runs OnCreate.
    void Create();
    HWND Handle() const { return hwnd_; }
    const FormDef& Definition() const { return def_; }
    const std::string& Name() const { return def_.name; }
    HWND Owner() const { return owner_; }

    // The control with this name. A name the form does not have is a
    // programming fault: it asserts in debug builds and throws once strict
    // names are asked for (the tests do), and gives null otherwise.
    HWND Control(const std::string& name) const;
    // The control with this name, or null: for controls that come and go.
    HWND FindControl(const std::string& name) const;
    static void SetStrictNames(bool strict);
    // The table entry of a control window, or null for windows not in the table.
    const ControlDef* DefinitionOf(HWND control) const;
    // Controls in creation order.
    std::vector<HWND> Controls() const;
    // The first control (in creation order) with this help context, or null.
    HWND ControlByHelpContext(int context) const;

    std::string Text(const std::string& control) const;
    void SetText(const std::string& control, const std::string& text);
    void SetCaption(const std::string& caption);
    std::string Caption() const;
    HFONT Font() const { return font_.get(); }
    // The DPI the form is laid out at, and a design length (pixels at 96
    // DPI) at that DPI.
    int Dpi() const { return dpi_; }
    int Scale(int value) const;
    // The outer size limits of the table at the form's DPI; 0: no limit.
    Size MinimumSize() const;
    Size MaximumSize() const;
    // A form of a fixed width or height: never maximised.
    bool FixedSize() const { return def_.maxSize.width > 0 || def_.maxSize.height > 0; }
    // The outer size the form takes at another DPI: its client area scaled,
    // the frame at that DPI, its limits there bounding it.
    Size ScaledOuterSize(int dpi) const;

    // Adds a control at run time (after Create), placed and anchored like the
    // table's; returns its window.
    HWND AddControl(const ControlDef& def);
    // Destroys a control added at run time, with the controls inside it.
    void RemoveControl(const std::string& name);

    void Show();
    int ShowModal();
    // How Show shows the window: SW_SHOW, SW_SHOWMINIMIZED or SW_SHOWMAXIMIZED.
    void SetShowCommand(int cmd) { showCommand_ = cmd; }
    bool Modal() const { return modal_; }
    int ModalResultValue() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }
    // Ends modal display with `result` without asking the close check.
    void EndModal(int result) {
        modalResult_ = result;
        closeApproved_ = true;
    }
    // As a click on the frame's close button: a modal form ends with 2 after
    // its close check; the main form ends the application.
    void Close();
    // Destroys the window now: OnDestroy runs, then the form stores its place.
    // The destructor does the same for a window still alive, but by then the
    // derived form is gone and only the form layer's own steps run: a form's
    // own clean-up that must always happen goes in its own destructor.
    void Destroy();

    // Shows a two-image glyph bitmap (normal, disabled) on a button.
    void SetGlyph(const std::string& control, const char* bitmapResource);
    void SetTabStop(const std::string& control, bool tabStop);

    // Whether the hints pop up: the application's one switch, applied here.
    void ApplyShowHint(bool show);
    void Focus(const std::string& control);

    // Called by the message loops for every key press meant for this form,
    // before the focused control; true consumes the key.
    bool PreviewKey(const MSG& msg);
    // Called by the message loops for every mouse message meant for this
    // form, before it is dispatched: the hints follow the pointer.
    void RelayToHint(const MSG& msg);

    // Click handlers by control name; called after a button's modal result is set.
    void OnClick(const std::string& control, std::function<void()> handler);

    static Form* FromHandle(HWND hwnd);

protected:
    virtual void OnCreate() {}
    virtual void OnShow() {}
    // At WM_DESTROY, while the controls are still there.
    virtual void OnDestroy() {}
    // The close check: false keeps the form open. ModalResultValue() tells why it closes.
    virtual bool OnCloseQuery() { return true; }
    // Key preview (only when the definition asks for it): true consumes the key.
    virtual bool OnKeyDown(WPARAM /*key*/, unsigned /*shift*/) { return false; }
    // A help request for a control with this help context (F1, or "?" then
    // a click). By default the hint of the first control (in creation
    // order) with that context is shown as an information message: its
    // short part, or both parts on two lines when they differ; a control
    // without a hint, or a negative context, shows nothing.
    virtual void OnHelp(int context);
    virtual void OnResize() {}
    // After the form and its table's controls were laid out again at a new
    // DPI: the form's own pieces (fonts, pictures, placed controls) follow.
    virtual void OnDpiChanged(int /*oldDpi*/) {}
    // Any other message; return true and set `result` to answer it.
    virtual bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    // A WM_COMMAND from a control that is not a button click.
    virtual void OnControlCommand(HWND /*control*/, WORD /*code*/) {}
    // WM_NOTIFY from a control.
    virtual bool OnNotify(NMHDR* /*hdr*/, LRESULT& /*result*/) { return false; }

private:
    bool PutBackWithinLimits(WPARAM how);
    void PutBack();
    static UINT PutBackMessage();
    bool putBackPosted_ = false;
    struct ControlState {
        ControlDef def;
        HWND hwnd = nullptr;
        Size designParent;
        Rect place;  // the table's place at the form's DPI
    };

    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp, bool& handled);
    HWND CreateControl(ControlState& c);
    Size ClientSizeOf(const std::string& parent) const;
    void ApplyAnchors();
    void MakeFont();
    void SetIcons();
    Rect TablePlace(const Rect& r) const;  // a table's place at the form's DPI
    void DpiChanged(int dpi, const RECT* suggested);
    void ApplyTabOrder();
    void AddTool(HWND control, const std::string& hint);
    void MakeTooltip();
    void MakeTooltipNow();  // at the timer a relayed message set
    static constexpr UINT_PTR kMakeTooltipTimer = 0x7E57;
    static LRESULT CALLBACK TipProc(HWND, UINT, WPARAM, LPARAM);
    void KeepTipInside(WINDOWPOS& pos);  // as the hint takes its place
    int TipOverhang();
    void FitHintWidth();
    void HandleCommand(WPARAM wp, LPARAM lp);
    void HelpRequest(HWND from);
    void ClickButton(const std::string& name);
    bool RunCloseCheck();
    bool Zooms() const;
    void Closing();  // at WM_DESTROY: OnDestroy, then the place is stored

    FormDef def_;
    HWND owner_;
    HWND hwnd_ = nullptr;
    HWND tooltip_ = nullptr;
    std::vector<HWND> pendingTools_;  // controls with hints, until the tooltip is made
    bool hintsShown_ = true;          // as last applied
    MSG firstHintMessage_{};          // the mouse message that asked for the tooltip
    UniqueFont font_;
    int dpi_ = 96;
    std::vector<std::unique_ptr<ControlState>> controls_;  // in creation order
    // Lookups stay cheap with thousands of controls.
    std::unordered_map<std::string, ControlState*> byName_;
    std::unordered_map<HWND, ControlState*> byWindow_;
    std::map<std::string, std::function<void()>> clickHandlers_;
    bool modal_ = false;
    bool created_ = false;
    int modalResult_ = mrNone;
    bool closeApproved_ = false;
    int nextId_ = 1000;
    int showCommand_ = SW_SHOW;
    std::vector<UniqueImageList> glyphs_;
    std::vector<UniqueIcon> glyphIcons_;  // of picture-only buttons
    std::map<std::string, const char*> glyphSources_;  // button name to glyph resource
};

}  // namespace platform
