// What a whole run of the launcher on the demo installation (demo/demo.reg, Netscape Navigator
// as the browser) must give, on Linux and under Wine alike.
#pragma once

// The console's arguments, one per line: the browser program as the launcher found it under
// the App Paths key (in lower case) and the bookmark file of the browser's settings.
inline constexpr const char kDemoConsoleArguments[] =
    "c:\\program files\\netscape\\communicator\\program\\netscape.exe\n"
    "C:\\Program Files\\Netscape\\Users\\default\\bookmark.htm\n";

// The caption of the console's window, which ends the splash.
inline constexpr const char kConsoleWindowTitle[] = "Ostrel Sky.Vane";
