// skyvane-reg: query, add, delete, export and import registry keys and values of the launcher's
// store from a shell, with the verbs and options of the Windows registry tool. Unlike the
// launcher it creates keys: it is the installer's and the administrator's tool.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace regtool {

// Exit codes.
constexpr int EXIT_DONE = 0;
constexpr int EXIT_FAILED = 1; // the store, a key or value, or a .reg file said no; or cancelled
constexpr int EXIT_USAGE = 2;  // bad command line

// The whole program: the arguments without the program name. Results go to out, faults to err;
// questions (without /f) are answered from in.
int RunRegTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
               std::ostream& err);

} // namespace regtool
