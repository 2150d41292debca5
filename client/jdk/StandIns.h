// What the client's stand-ins on Windows (client/win32) do the way the Java programs of the
// demo installation do it: the console's argument record and auto-close, the updater's exit
// code and its report. Kept apart from the Win32 calls so both systems' tests can hold them
// to the Java programs' behaviour.
#pragma once

#include <string>
#include <vector>

namespace javaexe {

// The fully qualified names of the two programs the launcher starts.
inline constexpr const char* kConsoleClass = "Ostrel.Server.console.Skyvane";
inline constexpr const char* kUpdaterClass = "Ostrel.Server.updater.ZARuzivuz";
// The console's window title; the launcher's splash screen waits for exactly this.
inline constexpr const char* kConsoleTitle = "Ostrel Sky.Vane";

// The arguments one per line, each ending in '\n', as the argument record file holds them.
std::string ArgumentRecordText(const std::vector<std::string>& args);

// SKYVANE_CONSOLE_AUTOCLOSE_MS: a positive number of milliseconds (blanks around it allowed),
// else 0 (never), with *complaint set when the text was neither empty nor a positive number.
long long ParseAutoCloseMs(const char* text, std::string* complaint);

// The updater's exit code from the installation's "updater-exit-code" file: 0 without the file,
// the number it holds (blanks around it allowed, within the 32-bit range), else 1 with
// *complaint saying why.
int UpdaterExitCode(bool fileExists, const std::string& fileText, std::string* complaint);

// The updater's report line after "Sky.Vane updater: ".
std::string DescribeUpdate(int code);

// The java program's lines for a class it cannot run (on standard error, exit code 1).
std::string ClassNotFoundMessage(const std::string& className);

} // namespace javaexe
