// How fast the settings operations run on the SQLite store, and how long opening the store
// takes (the launcher opens it at every start).
#include "settings/Registry.h"

#include "platform/registry_sqlite.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

const char* const kProductKey = "SOFTWARE\\Ostrel Technologies\\Skyvane";

class TempStore {
  public:
    TempStore() {
        std::string pattern = std::filesystem::temp_directory_path() / "skyvane-bench-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) {
            m_dir = pattern;
        }
        std::string error;
        m_store = platform::SqliteRegistry::Open(Path(), &error);
        if (m_store == nullptr) {
            std::abort();
        }
        bool created = false;
        m_store->CreateKey(HKEY_LOCAL_MACHINE, kProductKey, "", &created);
        platform::InstallRegistry(m_store.get());
    }
    ~TempStore() {
        platform::InstallRegistry(nullptr);
        m_store.reset();
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    std::string Path() const { return m_dir + "/registry.db"; }
    platform::SqliteRegistry& Store() { return *m_store; }

  private:
    std::string m_dir;
    std::unique_ptr<platform::SqliteRegistry> m_store;
};

void CountOps(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations());
    state.counters["ops/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ReadRegString(benchmark::State& state) {
    TempStore store;
    WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe",
                   "C:\\Program Files\\Netscape\\Communicator\\Program\\netscape.exe");
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadRegString(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe"));
    }
    CountOps(state);
}
BENCHMARK(BM_ReadRegString)->UseRealTime();

void BM_WriteRegString(benchmark::State& state) {
    TempStore store;
    int n = 0;
    for (auto _ : state) {
        WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, "Last Update",
                       "2024 5 " + std::to_string(n++ % 28 + 1));
    }
    CountOps(state);
}
BENCHMARK(BM_WriteRegString)->UseRealTime();

// Opening a store of state.range(0) keys with four values each, as the launcher does at start.
void BM_OpenStore(benchmark::State& state) {
    TempStore store;
    store.Store().BeginBatch();
    for (int i = 0; i < state.range(0); ++i) {
        std::string key = std::string(kProductKey) + "\\Key" + std::to_string(i);
        bool created = false;
        store.Store().CreateKey(HKEY_CURRENT_USER, key, "", &created);
        for (int v = 0; v < 4; ++v) {
            std::string text = "value number " + std::to_string(v);
            const char* bytes = text.c_str();
            platform::RegistryValue value{"Value" + std::to_string(v), REG_SZ,
                                          std::vector<BYTE>(bytes, bytes + text.size() + 1)};
            store.Store().SetValue(HKEY_CURRENT_USER, key, value);
        }
    }
    store.Store().CommitBatch();
    store.Store().Flush(HKEY_CURRENT_USER);
    for (auto _ : state) {
        std::string error;
        auto opened = platform::SqliteRegistry::Open(store.Path(), &error);
        if (opened == nullptr) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    CountOps(state);
}
BENCHMARK(BM_OpenStore)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
