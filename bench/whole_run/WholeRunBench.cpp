// What a whole run of the launcher costs beyond the program it runs: the launcher started with
// a command-line tail that ends at once (`skyvane-launcher true`) on a demo installation with a
// connection already up and no update due, under Xvfb with openbox, beside `true` started
// alone. Peak memory is the launcher's maximum resident set size.
#include "platform/windows/XServer.h"
#include "support/Spawn.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Runs a program to its end with the environment plus `extra`; its exit code (-1 when it
// could not start) and its usage.
int Run(const std::vector<std::string>& argv, const std::vector<std::string>& extra,
        rusage* usage = nullptr) {
    const pid_t pid = SpawnWithEnvironment(argv, extra, "/dev/null");
    if (pid < 0)
        return -1;
    int status = 0;
    rusage local{};
    wait4(pid, &status, 0, usage ? usage : &local);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The X server and the demo installation, made once for all benchmarks.
struct World {
    testx::XServer server;
    std::string dir;
    std::vector<std::string> env;
    std::string error;

    World() {
        if (!server.Start(true, &error))
            return;
        std::string pattern = (fs::temp_directory_path() / "skyvane-bench-run-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            error = "no temporary folder";
            return;
        }
        dir = pattern;
        if (Run({"bash", SETUP_SCRIPT, BUILD_DIR, "--dest", dir},
                {"SKYVANE_REG=" REG_PATH, "SKYVANE_LAUNCHER=" LAUNCHER_PATH}) != 0) {
            error = "the demo set-up failed";
            return;
        }
        env = {"DISPLAY=" + server.DisplayName(), "SKYVANE_REGISTRY=" + dir + "/registry.db",
               "SKYVANE_PHONEBOOK=" + dir + "/phonebook.pbk",
               "SKYVANE_DIALUP_STATE=" + dir + "/dialup-state", "SKYVANE_DIALUP_STEP_MS=1"};
        if (Run({RASDIAL_PATH, "Ostrel Online"}, env) != 0)
            error = "the connection could not be brought up";
    }
    ~World() {
        server.Stop();
        if (!dir.empty())
            fs::remove_all(dir);
    }
};

World& TheWorld() {
    static World world;
    return world;
}

void BM_TailAlone(benchmark::State& state) {
    World& world = TheWorld();
    if (!world.error.empty()) {
        state.SkipWithError(world.error.c_str());
        return;
    }
    long peakKb = 0;
    for (auto _ : state) {
        rusage usage{};
        if (Run({"true"}, world.env, &usage) != 0) {
            state.SkipWithError("true failed");
            return;
        }
        peakKb = std::max(peakKb, usage.ru_maxrss);
    }
    state.counters["peak_rss_MB"] = static_cast<double>(peakKb) / 1024.0;
}

void BM_WholeRunWithTailTrue(benchmark::State& state) {
    World& world = TheWorld();
    if (!world.error.empty()) {
        state.SkipWithError(world.error.c_str());
        return;
    }
    long peakKb = 0;
    for (auto _ : state) {
        rusage usage{};
        if (Run({LAUNCHER_PATH, "true"}, world.env, &usage) != 0) {
            state.SkipWithError("the launcher failed");
            return;
        }
        peakKb = std::max(peakKb, usage.ru_maxrss);
    }
    state.counters["peak_rss_MB"] = static_cast<double>(peakKb) / 1024.0;
}

BENCHMARK(BM_TailAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(50);
BENCHMARK(BM_WholeRunWithTailTrue)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);

} // namespace

BENCHMARK_MAIN();
