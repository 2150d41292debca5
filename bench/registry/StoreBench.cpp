// What the store file costs around the settings operations: opening stores of 10, 1,000 and
// 100,000 keys (each against the 10-key store, measured in turns), the syncs of a run's store
// traffic counted by strace, RegFlushKey while another process writes, and the slowest single
// write while two processes write at once. Prints one line per figure, medians of the turns.
//
//   bench_store [SECONDS]     (seconds for each of the two-process figures, 5 by default)
#include "platform/registry_sqlite.h"
#include "support/TempDir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using platform::RegistryValue;
using platform::SqliteRegistry;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

RegistryValue Text(const std::string& name, const std::string& text) {
    RegistryValue value{name, REG_SZ, std::vector<BYTE>(text.begin(), text.end())};
    value.data.push_back(0);
    return value;
}

std::unique_ptr<SqliteRegistry> OpenOrDie(const std::string& path) {
    std::string error;
    auto store = SqliteRegistry::Open(path, &error);
    if (store == nullptr) {
        std::fprintf(stderr, "bench_store: %s\n", error.c_str());
        std::exit(1);
    }
    return store;
}

const char* const kKey = "Software\\Bench";

// A store of `keys` keys with four values each, closed again.
void MakeStore(const std::string& path, int keys) {
    auto store = OpenOrDie(path);
    store->BeginBatch();
    bool created = false;
    store->CreateKey(HKEY_CURRENT_USER, kKey, "", &created);
    for (int i = 0; i < keys; ++i) {
        std::string key = std::string(kKey) + "\\Key" + std::to_string(i);
        store->CreateKey(HKEY_CURRENT_USER, key, "", &created);
        for (int v = 0; v < 4; ++v) {
            store->SetValue(HKEY_CURRENT_USER, key,
                            Text("Value" + std::to_string(v), "value number " + std::to_string(v)));
        }
    }
    store->CommitBatch();
    store->Flush(HKEY_CURRENT_USER);
}

void OpeningTime(const std::string& dir) {
    const int sizes[] = {10, 1000, 100000};
    std::vector<std::string> paths;
    for (int keys : sizes) {
        paths.push_back(dir + "/open" + std::to_string(keys) + ".db");
        MakeStore(paths.back(), keys);
    }
    std::vector<double> times[3];
    for (int round = 0; round < 41; ++round) {
        for (int i = 0; i < 3; ++i) {
            auto start = Clock::now();
            auto store = OpenOrDie(paths[i]);
            RegistryValue value;
            store->QueryValue(HKEY_CURRENT_USER, std::string(kKey) + "\\Key7", "Value1", &value);
            times[i].push_back(Ms(Clock::now() - start));
        }
    }
    double reference = Median(times[0]);
    for (int i = 0; i < 3; ++i) {
        std::printf("open a store of %6d keys and read one value: %7.3f ms  %5.2fx the 10-key store"
                    " (goal <= 2x)\n",
                    sizes[i], Median(times[i]), Median(times[i]) / reference);
    }
}

// What a run of the launcher does to the store: open, read the install and product values,
// switch three browser values and flush, put them back and flush, close.
int RunModel(const std::string& path) {
    auto store = OpenOrDie(path);
    RegistryValue value;
    store->QueryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ostrel Technologies\\Skyvane\\1.0",
                      "InstallDir", &value);
    store->QueryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ostrel Technologies\\Skyvane", "Browser exe",
                      &value);
    store->QueryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ostrel Technologies\\Skyvane", "Last Update",
                      &value);
    for (const char* state : {"proxy", "direct"}) {
        for (const char* name : {"ProxyEnable", "ProxyServer", "ProxyOverride"}) {
            store->SetValue(HKEY_CURRENT_USER, kKey, Text(name, state));
        }
        store->Flush(HKEY_CURRENT_USER);
    }
    return 0;
}

// Runs the run model under `strace -f -c` and gives the number of sync calls it made.
int CountSyncs(const std::string& self, const std::string& path, const std::string& dir) {
    std::string out = dir + "/strace.txt";
    std::string command = "strace -f -c -e trace=fsync,fdatasync,sync_file_range,msync -o '" + out +
                          "' '" + self + "' --run-model '" + path + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        return -1;
    }
    std::ifstream in(out);
    std::string line;
    int total = 0;
    while (std::getline(in, line)) {
        char name[64];
        double percent = 0;
        double seconds = 0;
        long usecs = 0;
        long calls = 0;
        if (std::sscanf(line.c_str(), "%lf %lf %ld %ld %*s %63s", &percent, &seconds, &usecs,
                        &calls, name) == 5 ||
            std::sscanf(line.c_str(), "%lf %lf %ld %ld %63s", &percent, &seconds, &usecs, &calls,
                        name) == 5) {
            if (std::strcmp(name, "total") != 0) {
                total += static_cast<int>(calls);
            }
        }
    }
    return total;
}

void SyncsPerRun(const std::string& self, const std::string& dir) {
    std::string path = dir + "/run.db";
    {
        auto store = OpenOrDie(path);
        bool created = false;
        store->CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ostrel Technologies\\Skyvane\\1.0", "",
                         &created);
        store->CreateKey(HKEY_CURRENT_USER, kKey, "", &created);
    }
    RunModel(path); // the first run after making the store is not a typical one
    // Enough runs that the occasional one that folds the grown journal into the store file
    // shows in the mean.
    std::vector<double> counts;
    for (int i = 0; i < 40; ++i) {
        int n = CountSyncs(self, path, dir);
        if (n < 0) {
            std::printf("syncs per run: strace did not run\n");
            return;
        }
        counts.push_back(n);
    }
    double sum = 0;
    for (double c : counts) {
        sum += c;
    }
    std::printf("syncs (fsync, fdatasync, ...) per run of the store traffic of a launcher run:"
                " median %.0f, mean %.2f, most %.0f in %zu runs (goal <= 2)\n",
                Median(counts), sum / counts.size(),
                *std::max_element(counts.begin(), counts.end()), counts.size());
}

// A child that writes values into its own key until `seconds` have passed; it reports its
// slowest write and median write in microseconds, and its count, through a pipe.
pid_t StartWriter(const std::string& path, const std::string& me, double seconds, int out) {
    pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    auto store = OpenOrDie(path);
    bool created = false;
    std::string key = std::string(kKey) + "\\" + me;
    store->CreateKey(HKEY_CURRENT_USER, key, "", &created);
    std::vector<double> times;
    long failures = 0;
    auto end = Clock::now() + std::chrono::duration<double>(seconds);
    for (long i = 0; Clock::now() < end; ++i) {
        auto start = Clock::now();
        if (store->SetValue(HKEY_CURRENT_USER, key, Text("n", std::to_string(i))) !=
            ERROR_SUCCESS) {
            ++failures;
        }
        times.push_back(Ms(Clock::now() - start));
    }
    double result[4] = {*std::max_element(times.begin(), times.end()), Median(times),
                        static_cast<double>(times.size()), static_cast<double>(failures)};
    (void)!write(out, result, sizeof result);
    store.reset();
    _exit(0);
}

void TwoWriters(const std::string& dir, double seconds) {
    std::string path = dir + "/two.db";
    OpenOrDie(path);
    int pipes[2][2];
    pid_t pids[2];
    for (int i = 0; i < 2; ++i) {
        if (pipe(pipes[i]) != 0) {
            return;
        }
        pids[i] = StartWriter(path, i == 0 ? "A" : "B", seconds, pipes[i][1]);
    }
    double worst = 0;
    for (int i = 0; i < 2; ++i) {
        double result[4] = {0, 0, 0, 0};
        (void)!read(pipes[i][0], result, sizeof result);
        waitpid(pids[i], nullptr, 0);
        std::printf("two processes writing at once, writer %c: %6.0f writes, %ld failed, median"
                    " %.3f ms, slowest %.1f ms\n",
                    'A' + i, result[2], static_cast<long>(result[3]), result[1], result[0]);
        worst = std::max(worst, result[0]);
    }
    std::printf(
        "slowest single write with two processes writing at once: %.1f ms (goal < 250 ms)\n",
        worst);
}

void FlushWhileAnotherWrites(const std::string& dir, double seconds) {
    std::string path = dir + "/flush.db";
    auto store = OpenOrDie(path);
    bool created = false;
    store->CreateKey(HKEY_CURRENT_USER, kKey, "", &created);
    int fds[2];
    if (pipe(fds) != 0) {
        return;
    }
    pid_t writer = StartWriter(path, "Other", seconds, fds[1]);
    std::vector<double> times;
    long failed = 0;
    long locked = 0;
    auto end = Clock::now() + std::chrono::duration<double>(seconds);
    for (int i = 0; Clock::now() < end; ++i) {
        store->SetValue(HKEY_CURRENT_USER, kKey, Text("mine", std::to_string(i)));
        auto start = Clock::now();
        LONG rc = store->Flush(HKEY_CURRENT_USER);
        times.push_back(Ms(Clock::now() - start));
        failed += rc != ERROR_SUCCESS;
        locked += rc == ERROR_LOCK_VIOLATION;
        usleep(5000);
    }
    double result[4];
    (void)!read(fds[0], result, sizeof result);
    waitpid(writer, nullptr, 0);
    std::printf("RegFlushKey while another process writes: %zu flushes, %ld failed (%ld with 33),"
                " median %.3f ms, slowest %.1f ms (goal: none fails with 33)\n",
                times.size(), failed, locked, Median(times),
                *std::max_element(times.begin(), times.end()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--run-model") == 0) {
        return RunModel(argv[2]);
    }
    double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    TempDir folder("store-bench");
    if (!folder.Ok()) {
        return 1;
    }
    const std::string pattern = folder.Path();
    std::string self = std::filesystem::canonical("/proc/self/exe");
    OpeningTime(pattern);
    SyncsPerRun(self, pattern);
    FlushWhileAnotherWrites(pattern, seconds);
    TwoWriters(pattern, seconds);
    return 0;
}
