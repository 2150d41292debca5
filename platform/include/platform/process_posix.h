// The real process backend: children started with posix_spawn, never through a shell.
#pragma once

#include "platform/process.h"

namespace platform {

class PosixProcessBackend : public ProcessBackend {
  public:
    DWORD Start(const ProcessStart& request, std::shared_ptr<ChildProcess>* child) override;
    void Sleep(DWORD milliseconds) override;
};

// The file a program name stands for: backslashes become '/', and a name without a directory
// is looked up on PATH (directories that hold it but not as an executable file are passed by).
// ERROR_SUCCESS, ERROR_FILE_NOT_FOUND or ERROR_ACCESS_DENIED.
DWORD ResolveProgramPath(const std::string& program, std::string* path);

} // namespace platform
