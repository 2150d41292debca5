// The program's resources as the framework reads them: the table the program installs, its
// dialog templates, icons and strings, and the XPM reader that makes the icons.
#include "platform/afxwin.h"
#include "platform/ascii.h"
#include "platform/ui_resources.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {

const platform::ui::ResourceTable* g_resources = nullptr;

} // namespace

namespace platform::ui {

void SetResources(const ResourceTable* resources) {
    g_resources = resources;
}
const ResourceTable* Resources() {
    return g_resources;
}

namespace {

// The resource of this id among the program's templates or icons; null when there is none.
template <class T> const T* FindById(std::vector<T> ResourceTable::*kind, UINT id) {
    if (!g_resources)
        return nullptr;
    for (const T& resource : g_resources->*kind)
        if (resource.id == id)
            return &resource;
    return nullptr;
}

} // namespace

const DialogTemplate* FindDialogTemplate(UINT id) {
    return FindById(&ResourceTable::dialogs, id);
}

const IconImage* FindIcon(UINT id) {
    return FindById(&ResourceTable::icons, id);
}

bool IconFromXpm(UINT id, const char* const* xpm, IconImage* icon) {
    if (!xpm || !xpm[0])
        return false;
    int width = 0, height = 0, colours = 0, cpp = 0;
    if (std::sscanf(xpm[0], "%d %d %d %d", &width, &height, &colours, &cpp) != 4 || width <= 0 ||
        height <= 0 || colours <= 0 || cpp <= 0 || cpp > 4)
        return false;
    std::map<std::string, uint32_t> palette;
    for (int i = 0; i < colours; ++i) {
        const char* line = xpm[1 + i];
        if (!line || static_cast<int>(std::strlen(line)) < cpp)
            return false;
        std::string key(line, static_cast<size_t>(cpp));
        std::string rest(line + cpp);
        size_t c = rest.find(" c ");
        if (c == std::string::npos)
            c = rest.find("\tc ");
        if (c == std::string::npos)
            return false;
        std::string value = rest.substr(c + 3);
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t") + 1);
        uint32_t argb = 0;
        const std::string lower = platform::AsciiLowered(value);
        if (lower == "none") {
            argb = 0;
        } else if (value.size() == 7 && value[0] == '#') {
            argb =
                0xFF000000u | static_cast<uint32_t>(std::strtoul(value.c_str() + 1, nullptr, 16));
        } else {
            return false;
        }
        palette[key] = argb;
    }
    icon->id = id;
    icon->width = width;
    icon->height = height;
    icon->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        const char* row = xpm[1 + colours + y];
        if (!row || static_cast<int>(std::strlen(row)) < width * cpp)
            return false;
        for (int x = 0; x < width; ++x) {
            auto it = palette.find(std::string(row + x * cpp, static_cast<size_t>(cpp)));
            if (it == palette.end())
                return false;
            icon->pixels[static_cast<size_t>(y) * static_cast<size_t>(width) +
                         static_cast<size_t>(x)] = it->second;
        }
    }
    return true;
}

} // namespace platform::ui

std::string AfxLoadString(UINT nID) {
    if (!g_resources)
        return std::string();
    auto it = g_resources->strings.find(nID);
    return it == g_resources->strings.end() ? std::string() : it->second;
}
