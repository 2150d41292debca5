// How fast the settings operations run on the SQLite store, and how long opening the store
// takes (the launcher opens it at every start).
#include "settings/Registry.h"

#include "platform/registry_sqlite.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const kProductKey = "SOFTWARE\\Ostrel Technologies\\Skyvane";

class TempStore {
  public:
    TempStore() : m_dir("bench") {
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
    }
    std::string Path() const { return m_dir.File("registry.db"); }
    platform::SqliteRegistry& Store() { return *m_store; }

  private:
    TempDir m_dir;
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

// The reference: a plain SQLite program keeping the same key and value in its own file, with
// the same journal settings, that looks the key up by its path and then the value (two prepared
// statements), or looks the key up and upserts the value.
class PlainSqlite {
  public:
    explicit PlainSqlite(const std::string& path) {
        sqlite3_open(path.c_str(), &m_db);
        sqlite3_exec(
            m_db,
            "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;"
            "PRAGMA journal_size_limit = 1048576;"
            "CREATE TABLE keys(id INTEGER PRIMARY KEY, root INTEGER, path TEXT,"
            " UNIQUE(root, path));"
            "CREATE TABLE vals(key INTEGER, name TEXT, type INTEGER, data BLOB,"
            " UNIQUE(key, name));"
            "INSERT INTO keys(root, path) VALUES (2, 'software\\ostrel technologies\\skyvane');",
            nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(m_db, "SELECT id FROM keys WHERE root = ?1 AND path = ?2", -1, &m_key,
                           nullptr);
        sqlite3_prepare_v2(m_db, "SELECT type, data FROM vals WHERE key = ?1 AND name = ?2", -1,
                           &m_value, nullptr);
        sqlite3_prepare_v2(m_db,
                           "INSERT INTO vals(key, name, type, data) VALUES (?1, ?2, ?3, ?4) "
                           "ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, "
                           "data = excluded.data",
                           -1, &m_upsert, nullptr);
    }
    ~PlainSqlite() {
        sqlite3_finalize(m_key);
        sqlite3_finalize(m_value);
        sqlite3_finalize(m_upsert);
        sqlite3_close(m_db);
    }

    sqlite3_int64 FindKey(const std::string& path) {
        sqlite3_bind_int(m_key, 1, 2);
        sqlite3_bind_text(m_key, 2, path.data(), static_cast<int>(path.size()), SQLITE_STATIC);
        sqlite3_int64 id = sqlite3_step(m_key) == SQLITE_ROW ? sqlite3_column_int64(m_key, 0) : 0;
        sqlite3_reset(m_key);
        return id;
    }
    std::string Read(const std::string& path, const std::string& name) {
        sqlite3_int64 key = FindKey(path);
        sqlite3_bind_int64(m_value, 1, key);
        sqlite3_bind_text(m_value, 2, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
        std::string text;
        if (sqlite3_step(m_value) == SQLITE_ROW) {
            text.assign(static_cast<const char*>(sqlite3_column_blob(m_value, 1)),
                        sqlite3_column_bytes(m_value, 1));
        }
        sqlite3_reset(m_value);
        return text;
    }
    void Write(const std::string& path, const std::string& name, const std::string& text) {
        sqlite3_int64 key = FindKey(path);
        sqlite3_bind_int64(m_upsert, 1, key);
        sqlite3_bind_text(m_upsert, 2, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
        sqlite3_bind_int(m_upsert, 3, REG_SZ);
        sqlite3_bind_blob(m_upsert, 4, text.c_str(), static_cast<int>(text.size() + 1),
                          SQLITE_STATIC);
        sqlite3_step(m_upsert);
        sqlite3_reset(m_upsert);
    }

  private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_key = nullptr;
    sqlite3_stmt* m_value = nullptr;
    sqlite3_stmt* m_upsert = nullptr;
};

// Calls per second of `body` over about `ms` milliseconds.
template <class F> double Rate(int ms, F&& body) {
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    auto until = start + std::chrono::milliseconds(ms);
    long calls = 0;
    while (Clock::now() < until) {
        for (int i = 0; i < 64; ++i) {
            body(calls + i);
        }
        calls += 64;
    }
    return calls / std::chrono::duration<double>(Clock::now() - start).count();
}

// The store's operation against the plain program, in turns (A B A B ...) so that both see the
// same load; the ratio is the median of the rounds (above 1: the store is faster).
template <class Ours, class Plain>
void CompareInTurns(benchmark::State& state, Ours&& ours, Plain&& plain) {
    constexpr int kRounds = 15;
    constexpr int kRoundMs = 200;
    std::vector<double> ratios, oursRates, plainRates;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            double a = Rate(kRoundMs, ours);
            double b = Rate(kRoundMs, plain);
            oursRates.push_back(a);
            plainRates.push_back(b);
            ratios.push_back(a / b);
        }
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    state.counters["ratio"] = median(ratios);
    state.counters["ours/s"] = median(oursRates);
    state.counters["sqlite/s"] = median(plainRates);
}

void BM_ReadRegStringAgainstSqlite(benchmark::State& state) {
    TempStore store;
    const std::string text = "C:\\Program Files\\Netscape\\Communicator\\Program\\netscape.exe";
    WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe", text);
    PlainSqlite plain(store.Path() + ".plain");
    plain.Write("software\\ostrel technologies\\skyvane", "browser exe", text);
    CompareInTurns(
        state,
        [](long) {
            benchmark::DoNotOptimize(ReadRegString(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe"));
        },
        [&](long) {
            benchmark::DoNotOptimize(
                plain.Read("software\\ostrel technologies\\skyvane", "browser exe"));
        });
}
BENCHMARK(BM_ReadRegStringAgainstSqlite)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_WriteRegStringAgainstSqlite(benchmark::State& state) {
    TempStore store;
    PlainSqlite plain(store.Path() + ".plain");
    CompareInTurns(
        state,
        [](long n) {
            WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, "Last Update",
                           "2024 5 " + std::to_string(n % 28 + 1));
        },
        [&](long n) {
            plain.Write("software\\ostrel technologies\\skyvane", "last update",
                        "2024 5 " + std::to_string(n % 28 + 1));
        });
}
BENCHMARK(BM_WriteRegStringAgainstSqlite)->Iterations(1)->Unit(benchmark::kMillisecond);

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
