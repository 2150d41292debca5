// The dialog templates of the launcher, one function per template.
#pragma once

#include "platform/ui_resources.h"

platform::ui::DialogTemplate AboutTemplate();
platform::ui::DialogTemplate SplashTemplate();
platform::ui::DialogTemplate DialerTemplate();
platform::ui::DialogTemplate ConnectTemplate();
