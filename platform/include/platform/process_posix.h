// The real process backend: children started with posix_spawn, never through a shell.
#pragma once

#include "platform/process.h"

#include <string>

namespace platform {

class PosixProcessBackend : public ProcessBackend {
  public:
    DWORD Start(const ProcessStart& request, std::shared_ptr<ChildProcess>* child) override;
    void Sleep(DWORD milliseconds) override;
};

// Where a program named without a folder is looked for, in this order, as Windows does: the
// folder of the running program, the current directory, then each folder of PATH (an empty
// entry is the current directory). Windows would look in its system folders before PATH; there
// is nothing here that stands for them.
struct ProgramSearch {
    std::string ownDirectory;     // "" for none
    std::string currentDirectory; // "" for none
    std::string path;             // folders separated by ':'
};

// This process's places: the folder of /proc/self/exe, ".", and $PATH (the system's default
// search path when PATH is not set).
ProgramSearch DefaultProgramSearch();

// The file a program name stands for: backslashes become '/'; a name with a folder is taken as
// it stands (relative to the current directory), a name without one is looked for in places
// (a folder that holds it but not as an executable file is passed by).
// ERROR_SUCCESS, ERROR_FILE_NOT_FOUND or ERROR_ACCESS_DENIED.
DWORD FindProgram(const std::string& program, const ProgramSearch& places, std::string* path);

// FindProgram in this process's places.
DWORD ResolveProgramPath(const std::string& program, std::string* path);

} // namespace platform
