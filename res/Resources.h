// The launcher's resources: dialog templates, the application icon and the string table.
#pragma once

#include "platform/ui_resources.h"

// The resource table of the launcher, built on first use.
const platform::ui::ResourceTable& LauncherResources();
