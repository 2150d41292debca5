// The test programs' own dialogs, laid out as the launcher's are: in "MS Sans Serif" 8, the
// template at the top left of its owner.
#pragma once

#include "platform/ui_resources.h"

#include <utility>
#include <vector>

inline platform::ui::DialogTemplate
TestTemplate(UINT id, DWORD style, const char* caption, int cx, int cy,
             std::vector<platform::ui::ControlTemplate> controls) {
    return {id, style, caption, "MS Sans Serif", 8, 0, 0, cx, cy, std::move(controls)};
}
