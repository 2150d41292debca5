#include "res/Resources.h"

#include "platform/afxwin.h"
#include "platform/ui_resources.h"
#include "res/Templates.h"
#include "res/resource.h"

namespace {
#include "res/icon128.xpm"
} // namespace

const platform::ui::ResourceTable& LauncherResources() {
    static const platform::ui::ResourceTable table = [] {
        platform::ui::ResourceTable t;
        t.dialogs = {AboutTemplate(), SplashTemplate(), DialerTemplate(), ConnectTemplate()};
        platform::ui::IconImage icon;
        if (platform::ui::IconFromXpm(IDR_MAINFRAME, icon128_xpm, &icon))
            t.icons.push_back(std::move(icon));
        t.strings[AFX_IDS_APP_TITLE] = "Ostrel Sky.Vane";
        return t;
    }();
    return table;
}
