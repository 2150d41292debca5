// Closing another program's X window the way a window manager does for the user.
#pragma once

// Sends WM_DELETE_WINDOW to the window (by its X id). False when no display can be opened or
// the message cannot be sent.
bool RequestWindowClose(unsigned long window);
