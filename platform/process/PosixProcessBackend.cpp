// Children on Linux: posix_spawn with the Windows command line split into argv, descriptors 3
// and up closed in the child (FLTK's wake-up pipe must not leak into it), signals reset to
// their defaults, errno turned into Windows error codes.
#include "platform/process_posix.h"

#include "platform/posix_errors.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <mutex>
#include <thread>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {
namespace {

std::string WithSlashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string CurrentDirectory() {
    std::string buffer(PATH_MAX, '\0');
    if (getcwd(buffer.data(), buffer.size()) == nullptr) {
        return ".";
    }
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return buffer;
}

// errno of a failed start, for the program at path.
DWORD StartError(int error, const std::string& path) {
    // A missing program in a missing folder is a missing path, as CreateProcess reports it.
    if (error == ENOENT && !IsDirectory(DirectoryOf(path)))
        return ERROR_PATH_NOT_FOUND;
    return static_cast<DWORD>(WindowsErrorFromErrno(error, ERROR_INVALID_FUNCTION));
}

DWORD ExitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return static_cast<DWORD>(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return 128 + static_cast<DWORD>(WTERMSIG(status));
    }
    return 1;
}

// A descriptor that becomes readable when the child ends, or -1 where the kernel has none.
// Called directly: glibc 2.36's <sys/pidfd.h> declares pidfd_open without C linkage.
int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

class PosixChild : public ChildProcess {
  public:
    explicit PosixChild(pid_t pid) : m_pid(pid), m_pidfd(OpenPidFd(pid)) {}

    ~PosixChild() override {
        if (m_pidfd >= 0) {
            close(m_pidfd);
        }
        std::lock_guard lock(m_mutex);
        if (!m_reaped && !m_lost) {
            ReapLater(m_pid);
        }
    }

    DWORD Wait(DWORD milliseconds, DWORD* error) override {
        using Clock = std::chrono::steady_clock;
        const bool forever = milliseconds == INFINITE;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
        for (;;) {
            {
                std::lock_guard lock(m_mutex);
                if (TryReap()) {
                    return WAIT_OBJECT_0;
                }
                if (m_lost) {
                    // Reaped elsewhere (SIGCHLD ignored, say): it has ended all the same.
                    return WAIT_OBJECT_0;
                }
            }
            int remaining = INT_MAX;
            if (!forever) {
                auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
                if (left.count() <= 0) {
                    return WAIT_TIMEOUT;
                }
                remaining = static_cast<int>(std::min<long long>(left.count(), INT_MAX));
            }
            if (m_pidfd >= 0) {
                pollfd target{m_pidfd, POLLIN, 0};
                int ready = poll(&target, 1, remaining);
                if (ready < 0 && errno != EINTR) {
                    *error = ERROR_INVALID_HANDLE;
                    return WAIT_FAILED;
                }
            } else {
                // Without pidfd (older kernels) poll the child's state a few times a second.
                std::this_thread::sleep_for(std::chrono::milliseconds(std::min(remaining, 5)));
            }
        }
    }

    DWORD ExitCode(DWORD* exitCode) override {
        std::lock_guard lock(m_mutex);
        if (TryReap()) {
            *exitCode = m_exitCode;
            return ERROR_SUCCESS;
        }
        if (m_lost) {
            return ERROR_INVALID_HANDLE;
        }
        *exitCode = STILL_ACTIVE;
        return ERROR_SUCCESS;
    }

    DWORD ProcessId() const override { return static_cast<DWORD>(m_pid); }

  private:
    // Collects the child's status if it has ended; true once it has. Called under m_mutex.
    bool TryReap() {
        if (m_reaped || m_lost) {
            return m_reaped;
        }
        int status = 0;
        pid_t result;
        do {
            result = waitpid(m_pid, &status, WNOHANG);
        } while (result < 0 && errno == EINTR);
        if (result == m_pid) {
            m_reaped = true;
            m_exitCode = ExitCodeOf(status);
        } else if (result < 0) {
            m_lost = true;
        }
        return m_reaped;
    }

    // A child whose handles are all closed runs on; someone must still collect it so that it
    // does not stay a zombie for the rest of this process's life.
    static void ReapLater(pid_t pid) {
        try {
            std::thread([pid] {
                int status = 0;
                while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
                }
            }).detach();
        } catch (...) {
            // No thread to spare: the zombie is collected when this process ends.
        }
    }

    const pid_t m_pid;
    const int m_pidfd;
    std::mutex m_mutex;
    bool m_reaped = false;
    bool m_lost = false;
    DWORD m_exitCode = 0;
};

std::vector<char*> PointersTo(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (std::string& s : strings) {
        pointers.push_back(s.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// posix_spawn's attribute and file-action objects, released on every path.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

} // namespace

ProgramSearch DefaultProgramSearch() {
    ProgramSearch places;
    std::string self(PATH_MAX, '\0');
    ssize_t length = readlink("/proc/self/exe", self.data(), self.size());
    if (length > 0 && static_cast<size_t>(length) < self.size()) {
        self.resize(static_cast<size_t>(length));
        places.ownDirectory = DirectoryOf(self);
    }
    places.currentDirectory = ".";
    if (const char* env = getenv("PATH")) {
        places.path = env;
    } else {
        size_t size = confstr(_CS_PATH, nullptr, 0);
        places.path.assign(size, '\0');
        confstr(_CS_PATH, places.path.data(), size);
        places.path.resize(size > 0 ? size - 1 : 0);
    }
    return places;
}

DWORD FindProgram(const std::string& program, const ProgramSearch& places, std::string* path) {
    std::string name = WithSlashes(program);
    if (name.empty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (name.find('/') != std::string::npos) {
        *path = name;
        return ERROR_SUCCESS;
    }
    std::vector<std::string> dirs;
    if (!places.ownDirectory.empty()) {
        dirs.push_back(places.ownDirectory);
    }
    if (!places.currentDirectory.empty()) {
        dirs.push_back(places.currentDirectory);
    }
    size_t start = 0;
    for (;;) {
        size_t end = places.path.find(':', start);
        std::string dir =
            places.path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        dirs.push_back(dir.empty() ? "." : dir);
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    bool deniedOnTheWay = false;
    for (const std::string& dir : dirs) {
        std::string candidate = dir == "/" ? "/" + name : dir + "/" + name;
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            if (access(candidate.c_str(), X_OK) == 0) {
                *path = candidate;
                return ERROR_SUCCESS;
            }
            deniedOnTheWay = true;
        }
    }
    return deniedOnTheWay ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
}

DWORD ResolveProgramPath(const std::string& program, std::string* path) {
    return FindProgram(program, DefaultProgramSearch(), path);
}

DWORD PosixProcessBackend::Start(const ProcessStart& request,
                                 std::shared_ptr<ChildProcess>* child) {
    std::vector<std::string> args = SplitCommandLine(request.commandLine);
    std::string program = request.applicationName.empty()
                              ? (args.empty() ? std::string() : args.front())
                              : request.applicationName;
    std::string path;
    DWORD resolved = ResolveProgramPath(program, &path);
    if (resolved != ERROR_SUCCESS) {
        return resolved;
    }
    if (args.empty()) {
        args.push_back(program);
    }
    args.front() = WithSlashes(args.front());

    SpawnSetup setup;
    if (request.hasCurrentDirectory) {
        std::string dir = WithSlashes(request.currentDirectory);
        if (!IsDirectory(dir)) {
            return ERROR_DIRECTORY;
        }
        // A relative program path names a file below the caller's directory, not the child's.
        if (path.front() != '/') {
            path = CurrentDirectory() + "/" + path;
        }
        posix_spawn_file_actions_addchdir_np(&setup.actions, dir.c_str());
    }
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);

    sigset_t noSignals;
    sigemptyset(&noSignals);
    sigset_t allSignals;
    sigfillset(&allSignals);
    posix_spawnattr_setsigmask(&setup.attributes, &noSignals);
    posix_spawnattr_setsigdefault(&setup.attributes, &allSignals);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv = PointersTo(args);
    std::vector<std::string> environment = request.environment;
    std::vector<char*> envp = PointersTo(environment);

    pid_t pid = 0;
    int error = posix_spawn(&pid, path.c_str(), &setup.actions, &setup.attributes, argv.data(),
                            request.hasEnvironment ? envp.data() : environ);
    if (error != 0) {
        return StartError(error, path);
    }
    *child = std::make_shared<PosixChild>(pid);
    return ERROR_SUCCESS;
}

void PosixProcessBackend::Sleep(DWORD milliseconds) {
    if (milliseconds == INFINITE) {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::hours(24));
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace platform
