// Starting a real program from a test or a benchmark, with its own environment.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// This process's environment, in which each of `extra` ("NAME=value") replaces or adds a
// variable.
inline std::vector<std::string> EnvironmentWith(const std::vector<std::string>& extra) {
    std::vector<std::string> env = extra;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool overridden = false;
        for (const auto& x : extra)
            overridden = overridden || x.rfind(name, 0) == 0;
        if (!overridden)
            env.push_back(entry);
    }
    return env;
}

// The strings as exec and spawn take them, ending in a null pointer; valid while `strings` is.
inline std::vector<char*> NullTerminated(const std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (const auto& s : strings)
        pointers.push_back(const_cast<char*>(s.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

// Starts argv[0] (looked up on PATH) with EnvironmentWith(extra); standard output and error are
// appended to `output`. The process id, or -1 when it could not start.
inline pid_t SpawnWithEnvironment(const std::vector<std::string>& argv,
                                  const std::vector<std::string>& extra,
                                  const std::string& output) {
    const std::vector<std::string> env = EnvironmentWith(extra);
    std::vector<char*> args = NullTerminated(argv), envp = NullTerminated(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Starts argv[0] (looked up on PATH) with EnvironmentWith(extra), its standard output and error
// into pipes whose reading ends are put in *out and *err. The process id, or -1 when it could
// not start.
inline pid_t SpawnWithPipes(const std::vector<std::string>& argv,
                            const std::vector<std::string>& extra, int* out, int* err) {
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0)
        return -1;
    if (pipe(errPipe) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);

    const std::vector<std::string> environment = EnvironmentWith(extra);
    std::vector<char*> args = NullTerminated(argv), envp = NullTerminated(environment);

    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    if (rc != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        return -1;
    }
    *out = outPipe[0];
    *err = errPipe[0];
    return pid;
}
