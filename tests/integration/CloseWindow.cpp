#include "CloseWindow.h"

#include "support/XClose.h"

bool RequestWindowClose(unsigned long window) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        return false;
    }
    bool sent = SendWindowClose(display, window);
    XCloseDisplay(display);
    return sent;
}
