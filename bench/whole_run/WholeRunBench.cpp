// What a whole run of the launcher costs, each figure against a bare FLTK program that maps one
// window of 12 widgets (bench_bare_window), under Xvfb with openbox on a demo installation:
//
//   - CPU (user + system, the run's own and its children's) of `skyvane-launcher true` with a
//     connection already up and no update due, against the bare program's;
//   - the time from exec to the Dialer mapped (no connection up), against exec to the bare
//     window mapped;
//   - the peak resident memory of the `true` run.
//
// The programs run in turns (bare, whole run, Dialer, bare, ...) so that a load that comes and
// goes on the machine falls on all of them alike; each figure is the median of its turns.
//
//   bench_whole_run [TURNS]     (20 by default)
#include "platform/windows/XServer.h"
#include "support/Spawn.h"
#include "support/TempDir.h"
#include "support/XClose.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Called on the way out of a failed run: stops the X server and removes the demo.
void (*g_cleanUp)() = nullptr;

[[noreturn]] void Die(const std::string& why) {
    std::fprintf(stderr, "bench_whole_run: %s\n", why.c_str());
    if (g_cleanUp)
        g_cleanUp();
    std::exit(1);
}

// Starts a program with the environment plus `extra`, its output to /dev/null. By fork rather
// than posix_spawn: a child that shares the parent's memory until exec (vfork) inherits the
// parent's peak resident size in its own usage, which would hide the program's.
pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& extra) {
    const std::vector<std::string> env = EnvironmentWith(extra);
    std::vector<char*> args = NullTerminated(argv), envp = NullTerminated(env);
    const int devnull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(devnull, 1);
        dup2(devnull, 2);
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    close(devnull);
    return pid;
}

struct Usage {
    int status = -1; // the exit code; -1 when killed or not started
    double cpuMs = 0;
    double peakMb = 0;
};

// Waits for the program up to `seconds`, then kills it.
Usage Finish(pid_t pid, double seconds = 30) {
    Usage usage;
    if (pid < 0)
        return usage;
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    rusage ru{};
    while (wait4(pid, &status, WNOHANG, &ru) == 0) {
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &ru);
            return usage;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    usage.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    usage.cpuMs = (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 +
                  (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
    usage.peakMb = static_cast<double>(ru.ru_maxrss) / 1024.0;
    return usage;
}

// Watches the root window for top-level windows being mapped (with openbox: the frames it
// puts around the clients) on its own connection.
class MapWatch {
  public:
    explicit MapWatch(const std::string& display) : m_d(XOpenDisplay(display.c_str())) {
        if (!m_d)
            Die("cannot open the display " + display);
        // A window may be gone by the time it is looked at (the bare program ends at once).
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        XSelectInput(m_d, DefaultRootWindow(m_d), SubstructureNotifyMask);
        XSync(m_d, False);
    }
    ~MapWatch() { XCloseDisplay(m_d); }

    // Waits until the window manager has let go of every window of the programs before (it
    // would take a new window that gets an old one's id for the old one), then forgets the
    // maps seen so far.
    void Clear() {
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (Managed() && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        m_frames.clear();
        XSync(m_d, False);
        XEvent event;
        while (XPending(m_d))
            XNextEvent(m_d, &event);
    }

    // When a window titled `title` was mapped, waiting up to `seconds`, and its client window;
    // nothing when none came. A window manager maps a frame around the client: the client's
    // reparenting into it, seen first, tells whose frame it is.
    std::optional<std::pair<Clock::time_point, Window>> WaitFor(const std::string& title,
                                                                double seconds) {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < deadline) {
            while (XPending(m_d)) {
                XEvent event;
                XNextEvent(m_d, &event);
                const auto seen = Clock::now();
                if (event.type == ReparentNotify && Title(event.xreparent.window) == title)
                    m_frames.emplace_back(event.xreparent.parent, event.xreparent.window);
                if (event.type != MapNotify || event.xmap.override_redirect)
                    continue;
                const Window w = event.xmap.window;
                for (const auto& [frame, client] : m_frames) {
                    if (frame == w)
                        return std::make_pair(seen, client);
                }
                if (Title(w) == title)
                    return std::make_pair(seen, w);
            }
            pollfd p{ConnectionNumber(m_d), POLLIN, 0};
            poll(&p, 1, 5);
        }
        return std::nullopt;
    }

    Display* display() { return m_d; }

  private:
    // Whether the window manager lists a client (_NET_CLIENT_LIST).
    bool Managed() {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(m_d, DefaultRootWindow(m_d), XInternAtom(m_d, "_NET_CLIENT_LIST", False),
                           0, 1024, False, XA_WINDOW, &type, &format, &count, &after, &data);
        if (data)
            XFree(data);
        return count > 0;
    }

    std::string Title(Window w) {
        char* name = nullptr;
        std::string title;
        if (XFetchName(m_d, w, &name) && name)
            title = name;
        if (name)
            XFree(name);
        return title;
    }

    std::vector<std::pair<Window, Window>> m_frames; // frame, client
    Display* m_d;
};

// The X server, the demo installation and the two dial-up states (a connection up, none).
struct World {
    testx::XServer server;
    std::unique_ptr<TempDir> temp;
    std::string dir;
    std::vector<std::string> up, down;

    World() {
        std::string error;
        if (!server.Start(true, &error))
            Die(error);
        TheWorld() = this;
        g_cleanUp = [] { TheWorld()->CleanUp(); };
        temp = std::make_unique<TempDir>("bench-run");
        if (!temp->Ok())
            Die("no temporary folder");
        dir = temp->Path();
        if (Finish(Start({"bash", SETUP_SCRIPT, BUILD_DIR, "--dest", dir},
                         {"SKYVANE_REG=" REG_PATH, "SKYVANE_LAUNCHER=" LAUNCHER_PATH}))
                .status != 0)
            Die("the demo set-up failed");
        const std::vector<std::string> common = {
            "DISPLAY=" + server.DisplayName(), "SKYVANE_REGISTRY=" + dir + "/registry.db",
            "SKYVANE_PHONEBOOK=" + dir + "/phonebook.pbk", "SKYVANE_DIALUP_STEP_MS=1"};
        up = down = common;
        up.push_back("SKYVANE_DIALUP_STATE=" + dir + "/dialup-state");
        fs::create_directory(dir + "/no-connection");
        down.push_back("SKYVANE_DIALUP_STATE=" + dir + "/no-connection");
        if (Finish(Start({RASDIAL_PATH, "Ostrel Online"}, up)).status != 0)
            Die("the connection could not be brought up");
    }
    ~World() { CleanUp(); }
    void CleanUp() {
        server.Stop();
        temp.reset();
        dir.clear();
    }
    static World*& TheWorld() {
        static World* world = nullptr;
        return world;
    }
};

struct Figures {
    std::vector<double> bareCpu, bareMap, barePeak, runCpu, runPeak, dialerMap, truePeak;
};

void Turn(World& world, MapWatch& watch, Figures& f) {
    // The bare program: CPU, exec to mapped, memory.
    watch.Clear();
    auto start = Clock::now();
    pid_t pid = Start({BARE_WINDOW_PATH}, world.up);
    auto mapped = watch.WaitFor("Bare FLTK window", 30);
    Usage bare = Finish(pid);
    if (!mapped || bare.status != 0)
        Die("the bare FLTK program did not map its window and end");
    f.bareMap.push_back(Ms(mapped->first - start));
    f.bareCpu.push_back(bare.cpuMs);
    f.barePeak.push_back(bare.peakMb);

    // The whole run with a connection up.
    watch.Clear();
    Usage run = Finish(Start({LAUNCHER_PATH, "true"}, world.up));
    if (run.status != 0)
        Die("skyvane-launcher true failed");
    f.runCpu.push_back(run.cpuMs);
    f.runPeak.push_back(run.peakMb);

    // No connection: exec to the Dialer mapped; then its close box ends the run.
    watch.Clear();
    start = Clock::now();
    pid = Start({LAUNCHER_PATH, "true"}, world.down);
    mapped = watch.WaitFor("Ostrel Sky.Vane Dialer", 30);
    if (mapped) {
        SendWindowClose(watch.display(), mapped->second);
        f.dialerMap.push_back(Ms(mapped->first - start));
    }
    if (!mapped) {
        const int status = Finish(pid, 0).status;
        Die(status < 0 ? "the Dialer did not come up"
                       : "the launcher ended with " + std::to_string(status) + " without a Dialer");
    }
    if (Finish(pid).status < 0)
        Die("the launcher did not end when the Dialer was closed");

    // How far the measurement's own floor is: `true` started the same way.
    watch.Clear();
    f.truePeak.push_back(Finish(Start({"true"}, world.up)).peakMb);
}

void Line(const char* what, double value, const char* unit, double reference, const char* ref,
          const char* goal) {
    std::printf("%-34s %7.2f %s  against %-24s %7.2f %s  %5.2fx  (goal %s)\n", what, value, unit,
                ref, reference, unit, value / reference, goal);
}

} // namespace

int main(int argc, char** argv) {
    const int turns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    World world;
    MapWatch watch(world.server.DisplayName());
    Figures f;
    // One turn first to warm the caches, not counted.
    Figures warm;
    Turn(world, watch, warm);
    for (int i = 0; i < turns; ++i)
        Turn(world, watch, f);

    std::printf("whole run of the launcher against a bare FLTK program, %d turns, medians:\n",
                turns);
    Line("CPU of `skyvane-launcher true`", Median(f.runCpu), "ms", Median(f.bareCpu),
         "the bare program", "<= 1.3x");
    Line("exec to the Dialer mapped", Median(f.dialerMap), "ms", Median(f.bareMap),
         "exec to its window mapped", "<= 1.1x");
    std::printf("%-34s %7.2f MB  (most %.2f MB; goal <= 10 MB); the bare program %.2f MB, "
                "`true` %.2f MB\n",
                "peak resident memory of the run", Median(f.runPeak),
                *std::max_element(f.runPeak.begin(), f.runPeak.end()), Median(f.barePeak),
                Median(f.truePeak));
    return 0;
}
