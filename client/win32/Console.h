// The client's programs as jdk\java.exe runs them on Windows, where the installation has no
// Java runtime: the console and the updater, each behaving as its Java program does.
#pragma once

#include <string>
#include <vector>

namespace standin {

// The console: records its arguments in SKYVANE_CONSOLE_ARGS_FILE (when set), opens a
// top-level window titled "Ostrel Sky.Vane" that shows them, and returns 0 when the window is
// closed by the user or after SKYVANE_CONSOLE_AUTOCLOSE_MS; 1 when the record cannot be written.
int RunConsole(const std::vector<std::string>& args);

// The updater: records its arguments in SKYVANE_UPDATER_ARGS_FILE (when set) and returns the
// exit code that the installation's "updater-exit-code" file names (0 without the file).
// installDir ends with a backslash.
int RunUpdater(const std::string& installDir, const std::vector<std::string>& args);

// Writes the argument record so that it appears whole or not at all; false (with a line on
// standard error naming `who`) when it cannot.
bool WriteArgumentRecord(const char* who, const std::string& file,
                         const std::vector<std::string>& args);

} // namespace standin
