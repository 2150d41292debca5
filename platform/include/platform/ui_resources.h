// Helpers for building the program's resource table.
#pragma once

#include "platform/ui_backend.h"

namespace platform::ui {

// Reads an XPM image (the C array form, colours as "#RRGGBB" or "None") into an icon. False for
// data it cannot read.
bool IconFromXpm(UINT id, const char* const* xpm, IconImage* icon);

} // namespace platform::ui
