// The Windows 95 dialog look drawn with FLTK: system colours, 3-D edges, text with mnemonic
// underlines, and the dialog font with its base units.
#pragma once

#include "platform/windef.h"

#include <FL/Enumerations.H>

#include <string>

namespace platform::ui::fltk {

// The classic system colours.
inline const Fl_Color kFaceColor = fl_rgb_color(192, 192, 192);      // COLOR_BTNFACE
inline const Fl_Color kShadowColor = fl_rgb_color(128, 128, 128);    // COLOR_BTNSHADOW
inline const Fl_Color kHighlightColor = fl_rgb_color(255, 255, 255); // COLOR_BTNHIGHLIGHT
inline const Fl_Color kDarkShadowColor = fl_rgb_color(0, 0, 0);      // COLOR_3DDKSHADOW
inline const Fl_Color kFieldColor = fl_rgb_color(255, 255, 255);     // COLOR_WINDOW
inline const Fl_Color kSelectionColor = fl_rgb_color(0, 0, 128);     // COLOR_HIGHLIGHT

// Box types that draw the Windows edges; FLTK's own up and down boxes are replaced by them too,
// so that FLTK's internal widgets (scroll bars) match; and the dialog font. Call once with the
// display open, before any text is measured.
void InstallLook();
Fl_Boxtype SunkenBox(); // the client edge of edits and list boxes, white inside

// Edges, each two pixels wide, in the manner of DrawEdge.
void DrawRaisedEdge(int x, int y, int w, int h);
void DrawSunkenEdge(int x, int y, int w, int h);
void DrawEtchedRect(int x, int y, int w, int h);
void DrawFocusRect(int x, int y, int w, int h);
// A push button face: edges, the default frame and the pressed state.
void DrawPushButtonFrame(int x, int y, int w, int h, bool pressed, bool isDefault);

// Draws UTF-8 text within a box. With prefix, "&x" underlines x and "&&" is a literal '&'.
// Disabled text is drawn embossed, as Windows does.
void DrawText(const std::string& utf8, int x, int y, int w, int h, Fl_Align align, bool prefix,
              bool enabled, Fl_Color color = FL_BLACK);

// The dialog font: Wine's bitmap "MS Sans Serif" where fonts-wine is installed, which has the
// Windows 95 metrics (base units 6 x 13 at 8 points); else a sans-serif font shaped like Arial.
Fl_Font DialogFont();
// The size to ask FLTK for: the bitmap face's strike for the point size, or the pixel size
// Windows gives the point size at 96 dots per inch.
int FontPixels(int points);
// Dialog base units of the font at that pixel size, computed from its metrics as Windows does:
// the average width of "A".."Z" "a".."z" rounded, and the font height.
SIZE BaseUnitsOf(int pixels);

} // namespace platform::ui::fltk
