// Reading another window's properties on an open X connection, for the tests that look at the
// windows of the display.
#pragma once

#include <X11/Xlib.h>

#include <vector>

// The items of a 32-bit property (a list of windows, atoms or numbers) of the window, asked for
// as `type`; empty when the window has no such property of that type.
inline std::vector<unsigned long> PropertyItems(Display* display, Window window, const char* name,
                                                Atom type = AnyPropertyType) {
    std::vector<unsigned long> items;
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 4096, False, type,
                           &actual, &format, &count, &after, &data) == Success &&
        data && format == 32) {
        // Xlib hands 32-bit items over as longs.
        const long* values = reinterpret_cast<const long*>(data);
        for (unsigned long i = 0; i < count; ++i)
            items.push_back(static_cast<unsigned long>(values[i]));
    }
    if (data)
        XFree(data);
    return items;
}
