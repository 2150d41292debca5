// The program's resources as the framework reads them: dialog templates (in dialog units, with
// their styles), icons and the string table. This is all that res/ needs of the ui service.
#pragma once

#include "platform/windef.h"
#include "platform/winuser.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace platform::ui {

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

// Reads an XPM image (the C array form, colours as "#RRGGBB" or "None") into an icon. False for
// data it cannot read.
bool IconFromXpm(UINT id, const char* const* xpm, IconImage* icon);

} // namespace platform::ui
