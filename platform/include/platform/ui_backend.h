// The seam between the framework (afxwin.h) and the backends that show its windows.
//
// The framework keeps each dialog and each control as a Window record: its kind, style, text,
// items, check state and geometry. System code changes the records through CWnd and the
// control messages; the framework then calls UiBackend::Update so that the backend shows the
// change. The backend reports the user's input by changing the record and calling one of the
// Deliver functions below, on the thread that runs the dialog.
#pragma once

#include "platform/afxwin.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform::ui {

// ---------------------------------------------------------------------------------------------
// Resources: dialog templates (in dialog units), icons and the string table.

struct ControlTemplate {
    int id;                // IDC_STATIC (-1) for none
    std::string className; // "BUTTON", "EDIT", "STATIC", "LISTBOX", "msctls_updown32"
    std::string text;
    DWORD style; // WS_CHILD | WS_VISIBLE are implied
    int x, y, cx, cy;
    int iconId = 0; // SS_ICON statics: the icon shown
};

struct DialogTemplate {
    UINT id;
    DWORD style;
    std::string caption;
    std::string fontName;
    int fontPoints;
    int x, y, cx, cy;
    std::vector<ControlTemplate> controls;
};

// An icon as 32-bit pixels, row by row from the top: 0xAARRGGBB; alpha 0 is transparent.
struct IconImage {
    UINT id;
    int width, height;
    std::vector<uint32_t> pixels;
};

struct ResourceTable {
    std::vector<DialogTemplate> dialogs;
    std::vector<IconImage> icons;
    std::map<UINT, std::string> strings;
};

// Makes the program's resources known to the framework (not owned; must outlive its use).
void SetResources(const ResourceTable* resources);
const ResourceTable* Resources();
const DialogTemplate* FindDialogTemplate(UINT id);
const IconImage* FindIcon(UINT id);

// ---------------------------------------------------------------------------------------------
// The framework's record of a window.

// Pixels of an owner-draw control: what its DrawItem painted, kept from one paint to the next
// (0xAARRGGBB, row by row from the top).
struct Surface {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

enum class Kind {
    Dialog,
    PushButton,
    DefPushButton,
    CheckBox,
    GroupBox,
    OwnerDrawButton,
    Static,     // text
    Icon,       // SS_ICON
    BlackRect,  // SS_BLACKRECT
    Edit,
    ListBox,
    UpDown,
};

struct Window {
    Kind kind = Kind::Static;
    int id = 0;
    DWORD style = 0;
    std::string text; // caption of a dialog, text of a control
    RECT rect{};      // pixels: a dialog's on the screen, a control's in its dialog
    Window* parent = nullptr;
    std::vector<std::unique_ptr<Window>> children; // a dialog's controls, in template order
    CWnd* object = nullptr;                         // the CWnd attached, if any
    bool enabled = true;
    bool visible = false;
    int iconId = 0;
    Surface surface; // owner-draw buttons

    // Controls.
    std::vector<std::string> items; // list box; sorted when LBS_SORT
    int curSel = -1;
    UINT check = BST_UNCHECKED;
    int rangeLow = 0, rangeHigh = 100; // up-down
    Window* buddy = nullptr;            // up-down: the edit it steps
    UINT limitText = 0;                 // edit: 0 = no limit

    // Dialogs.
    const DialogTemplate* dialogTemplate = nullptr;
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
    SIZE baseUnits{};                   // dialog font base units (x, y) used for the layout
    std::map<UINT_PTR, UINT> timers;    // id -> period in ms
    void* backendData = nullptr;        // the backend's own

    HWND handle() { return reinterpret_cast<HWND>(this); }
    Window* child(int controlId) const;
};

// The record of a live window of this process, or null.
Window* FromHandle(HWND hWnd);

// ---------------------------------------------------------------------------------------------
// Input from a backend, on the thread that runs the dialog.

// The user clicked a button (a check box toggles first); sends WM_COMMAND to the dialog.
void DeliverClick(Window& control);
// The user changed the list selection; sends LBN_SELCHANGE when the list has LBS_NOTIFY.
void DeliverSelection(Window& list, int index);
// The user changed an edit's text (cut to its limit); sends EN_CHANGE.
void DeliverText(Window& edit, const std::string& text);
// The user stepped an up-down control by delta within its range; updates the buddy edit.
void DeliverSpin(Window& updown, int delta);
// Enter (the default button's command), Escape (IDCANCEL) and the close box (IDCANCEL).
void DeliverEnter(Window& dialog);
void DeliverEscape(Window& dialog);
void DeliverClose(Window& dialog);
// A timer of the window is due.
void DeliverTimer(Window& window, UINT_PTR id);
// Delivers the messages posted so far (from any thread) to their windows, in order. Returns how
// many were delivered. Backends call it from their modal loop.
int DeliverPostedMessages();
// A paint request of an owner-draw button: its object's DrawItem draws into control.surface,
// which is first sized to the control; pixels it has not held yet show background (what lies
// beneath the control). Backends then show the surface.
void PaintOwnerDraw(Window& control, uint32_t background);

// ---------------------------------------------------------------------------------------------

class UiBackend {
public:
    virtual ~UiBackend() = default;

    // Dialog base units (pixels per 4 horizontal and 8 vertical dialog units) of a font.
    virtual SIZE DialogBaseUnits(const std::string& fontName, int points) = 0;
    virtual SIZE ScreenSize() = 0;
    virtual int GetSystemMetrics(int index) = 0;

    // The framework has created the records of a dialog and its controls; the backend makes
    // what it needs to show them. Called before WM_INITDIALOG.
    virtual void Realize(Window& dialog) = 0;
    // The dialog goes away: the backend releases what it made. The record lives until the call
    // returns.
    virtual void Unrealize(Window& dialog) = 0;
    // A record changed (text, items, selection, check, enabled, visible, geometry).
    virtual void Update(Window& window) = 0;
    // Paint now what is visible (UpdateWindow).
    virtual void Paint(Window& window) = 0;
    // Runs the loop of a modal dialog until dialog.ended: user input, timers and posted
    // messages.
    virtual void RunModalLoop(Window& dialog) = 0;
    // The set of timers of a window changed.
    virtual void TimersChanged(Window& window) = 0;
    // A message was posted from some thread: wake the loop so that it delivers it.
    virtual void Wake() = 0;
    // A modal message box; returns IDOK, IDYES, IDNO, ...
    virtual int MessageBox(const std::string& text, const std::string& caption, UINT type) = 0;
};

// Installs the ui backend (not owned; null uninstalls).
void InstallUi(UiBackend* backend);
UiBackend* InstalledUi();

} // namespace platform::ui
