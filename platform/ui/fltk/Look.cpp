#include "Look.h"

#include "Text.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <string>

namespace platform::ui::fltk {

namespace {

// Two-pixel edge: outer and inner lines, each with a top-left and a bottom-right colour.
void DrawEdge(int x, int y, int w, int h, Fl_Color outerTopLeft, Fl_Color outerBottomRight,
              Fl_Color innerTopLeft, Fl_Color innerBottomRight) {
    if (w < 2 || h < 2)
        return;
    fl_color(outerTopLeft);
    fl_xyline(x, y, x + w - 2);
    fl_yxline(x, y, y + h - 2);
    fl_color(outerBottomRight);
    fl_xyline(x, y + h - 1, x + w - 1);
    fl_yxline(x + w - 1, y, y + h - 1);
    if (w < 4 || h < 4)
        return;
    fl_color(innerTopLeft);
    fl_xyline(x + 1, y + 1, x + w - 3);
    fl_yxline(x + 1, y + 1, y + h - 3);
    fl_color(innerBottomRight);
    fl_xyline(x + 1, y + h - 2, x + w - 2);
    fl_yxline(x + w - 2, y + 1, y + h - 2);
}

// FLTK box types: an edge around a face of the box's colour, and the edge alone.
template <void (*Edge)(int, int, int, int)> void EdgedBox(int x, int y, int w, int h, Fl_Color c) {
    fl_color(c);
    fl_rectf(x + 2, y + 2, w - 4, h - 4);
    Edge(x, y, w, h);
}

template <void (*Edge)(int, int, int, int)> void EdgeFrame(int x, int y, int w, int h, Fl_Color) {
    Edge(x, y, w, h);
}

} // namespace

void DrawRaisedEdge(int x, int y, int w, int h) {
    // A push button's edge: white and face colour at the top left, black and grey at the
    // bottom right.
    DrawEdge(x, y, w, h, kHighlightColor, kDarkShadowColor, kFaceColor, kShadowColor);
}

void DrawSunkenEdge(int x, int y, int w, int h) {
    DrawEdge(x, y, w, h, kShadowColor, kHighlightColor, kDarkShadowColor, kFaceColor);
}

void DrawEtchedRect(int x, int y, int w, int h) {
    if (w < 2 || h < 2)
        return;
    fl_color(kShadowColor);
    fl_rect(x, y, w - 1, h - 1);
    fl_color(kHighlightColor);
    fl_xyline(x + 1, y + 1, x + w - 3);
    fl_yxline(x + 1, y + 1, y + h - 3);
    fl_xyline(x, y + h - 1, x + w - 1);
    fl_yxline(x + w - 1, y, y + h - 1);
}

void DrawFocusRect(int x, int y, int w, int h) {
    if (w < 1 || h < 1)
        return;
    // Every other pixel, as Windows' DrawFocusRect.
    fl_color(kDarkShadowColor);
    for (int i = 0; i < w; i += 2) {
        fl_point(x + i, y);
        fl_point(x + i, y + h - 1);
    }
    for (int j = 0; j < h; j += 2) {
        fl_point(x, y + j);
        fl_point(x + w - 1, y + j);
    }
}

void DrawPushButtonFrame(int x, int y, int w, int h, bool pressed, bool isDefault) {
    fl_color(kFaceColor);
    fl_rectf(x, y, w, h);
    if (isDefault || pressed) {
        fl_color(kDarkShadowColor);
        fl_rect(x, y, w, h);
        x += 1;
        y += 1;
        w -= 2;
        h -= 2;
    }
    if (pressed) {
        fl_color(kShadowColor);
        fl_rect(x, y, w, h);
        return;
    }
    DrawRaisedEdge(x, y, w, h);
}

void DrawText(const std::string& utf8, int x, int y, int w, int h, Fl_Align align, bool prefix,
              bool enabled, Fl_Color color) {
    const char saved = fl_draw_shortcut;
    fl_draw_shortcut = prefix ? 1 : 0;
    const std::string text = prefix ? PrefixedLabel(utf8) : utf8;
    if (!enabled) {
        fl_color(kHighlightColor);
        fl_draw(text.c_str(), x + 1, y + 1, w, h, align, nullptr, 0);
        color = kShadowColor;
    }
    fl_color(color);
    fl_draw(text.c_str(), x, y, w, h, align, nullptr, 0);
    fl_draw_shortcut = saved;
}

namespace {

// Wine's free "MS Sans Serif" (Debian's fonts-wine): the Windows 95 dialog font as bitmap strikes
// of 13, 16 and 20 pixels, the cells of 8, 10 and 12 points at 96 DPI, in a TrueType file that
// maps Unicode. The same faces as .fon files are useless here: they carry no Unicode map, so
// Xft finds no glyph in them.
constexpr const char kBitmapFaceFile[] = SKYVANE_WINE_FONT_DIR "/ms_sans_serif.ttf";
constexpr const char kBitmapFamily[] = "MS Sans Serif";

// Whether the dialog font is that bitmap face (else an outline stand-in).
bool g_bitmapFace = false;

// Whether "MS Sans Serif" resolves to a bitmap face in the configuration.
bool ResolvesToBitmapFace(FcConfig* config) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(kBitmapFamily));
    FcPatternAddDouble(pattern, FC_PIXEL_SIZE, 13.0);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    bool found = false;
    if (match) {
        FcChar8* family = nullptr;
        FcBool outline = FcTrue;
        found = FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch &&
                std::strcmp(reinterpret_cast<const char*>(family), kBitmapFamily) == 0 &&
                FcPatternGetBool(match, FC_OUTLINE, 0, &outline) == FcResultMatch && !outline;
        FcPatternDestroy(match);
    }
    return found;
}

// Gives fontconfig a configuration that holds the bitmap face and nothing else, before
// anything has read the system's. Every text the launcher shows is Windows-1252, which the
// face covers; and the system's configuration (some forty XML files, the caches of every font
// folder, and Debian's 70-no-bitmaps.conf, which would reject the face) was most of the cost
// of setting fonts up. False, leaving fontconfig alone, when the face is not installed.
bool UseBitmapFaceAlone() {
    if (access(kBitmapFaceFile, R_OK) != 0)
        return false;
    FcConfig* config = FcConfigCreate();
    if (!config)
        return false;
    bool ok = FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(kBitmapFaceFile)) &&
              ResolvesToBitmapFace(config) && FcConfigSetCurrent(config);
    // The current configuration holds its own reference.
    FcConfigDestroy(config);
    return ok;
}

} // namespace

void InstallLook() {
    Fl::scheme(nullptr);
    Fl::background(192, 192, 192);
    Fl::background2(255, 255, 255);
    Fl::foreground(0, 0, 0);
    Fl::set_color(FL_SELECTION_COLOR, 0, 0, 128);
    Fl::set_boxtype(FL_UP_BOX, EdgedBox<DrawRaisedEdge>, 2, 2, 4, 4);
    Fl::set_boxtype(FL_UP_FRAME, EdgeFrame<DrawRaisedEdge>, 2, 2, 4, 4);
    Fl::set_boxtype(FL_DOWN_BOX, EdgedBox<DrawSunkenEdge>, 2, 2, 4, 4);
    Fl::set_boxtype(FL_DOWN_FRAME, EdgeFrame<DrawSunkenEdge>, 2, 2, 4, 4);
    Fl::scrollbar_size(16);
    // Without the bitmap face: "MS Sans Serif" has the proportions of Arial, and fontconfig
    // gives Arial's metric twin where one is installed (Liberation Sans, Nimbus Sans) and its
    // default sans-serif font otherwise.
    g_bitmapFace = UseBitmapFaceAlone();
    Fl::set_font(DialogFont(), g_bitmapFace ? " MS Sans Serif" : " Arial");
}

Fl_Boxtype SunkenBox() {
    return FL_DOWN_BOX;
}

Fl_Font DialogFont() {
    return FL_FREE_FONT;
}

int FontPixels(int points) {
    if (g_bitmapFace) {
        // The bitmap face is asked for by its strike, the cell height Windows gives it.
        switch (points) {
        case 8:
            return 13;
        case 10:
            return 16;
        case 12:
            return 20;
        default:
            break;
        }
    }
    return (points * 96 + 36) / 72;
}

SIZE BaseUnitsOf(int pixels) {
    fl_font(DialogFont(), pixels);
    const double width = fl_width("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const long total = std::lround(width);
    return SIZE{static_cast<LONG>((total / 26 + 1) / 2), static_cast<LONG>(fl_height())};
}

} // namespace platform::ui::fltk
