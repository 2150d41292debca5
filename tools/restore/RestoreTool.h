// skyvane-restore: puts back the browser values recorded in the Restore key, for a browser
// left switched to the local proxy by a run that was killed while the client ran.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace restore {

// Exit codes.
constexpr int EXIT_DONE = 0;       // every value written (or would be), or nothing recorded
constexpr int EXIT_REFUSED = 1;    // store unreadable or record set malformed; nothing changed
constexpr int EXIT_USAGE = 2;      // bad command line, as for the other tools
constexpr int EXIT_INCOMPLETE = 3; // some values not written (or not known); the others were

// Reports and writes the record set of the registry that is installed now.
int RestoreRecordedValues(bool bDryRun, std::ostream& out, std::ostream& err);

// The whole program: parses the arguments (without the program name), opens the store and
// restores. Reports go to out, faults to err.
int RunRestoreTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace restore
