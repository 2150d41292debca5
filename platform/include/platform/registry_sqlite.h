// The registry store on disk: one SQLite file holding the keys below the three roots, their
// class strings and typed values, beside its journal (PATH-wal, PATH-shm, kept between runs)
// and its lock file (PATH-lock). Several processes may use one store at once: readers never
// wait, writers wait for each other up to a time-out and take turns. A file that is not a store,
// or a damaged one, is never written: opening it fails, and damage found later makes every call
// fail with ERROR_BADDB. The files are private to their owner (mode 0600).
#pragma once

#include "platform/registry.h"

#include <memory>
#include <string>

namespace platform {

// $SKYVANE_REGISTRY, else $XDG_DATA_HOME/skyvane/registry.db with the XDG default
// ~/.local/share; "" when no home directory is known.
std::string DefaultRegistryPath();

class SqliteRegistry : public RegistryBackend {
  public:
    struct Options {
        // Make a new, empty store when the file is missing (its folders too, mode 0700).
        bool create;
        // How long a call waits for another process that is writing, in milliseconds.
        int busyTimeoutMs;
    };
    static constexpr Options kDefaultOptions{true, 5000};

    // Opens the store at `path`. On failure: null, *error a sentence naming the file and what is
    // wrong with it, *code the Windows error code (ERROR_BADDB for a file that is not a store or
    // is damaged, ERROR_ACCESS_DENIED, ERROR_LOCK_VIOLATION, ERROR_PATH_NOT_FOUND, ...).
    // Opening takes the same time whatever the store holds: the store is checked for damage
    // only when it may have been damaged (its last user did not close it, or its files changed
    // while it was closed). A store that others may read is made private, and a store that
    // cannot be written is opened for reading; each with one line on standard error.
    static std::unique_ptr<SqliteRegistry> Open(const std::string& path, const Options& options,
                                                std::string* error, LONG* code = nullptr);
    static std::unique_ptr<SqliteRegistry> Open(const std::string& path, std::string* error,
                                                LONG* code = nullptr) {
        return Open(path, kDefaultOptions, error, code);
    }
    ~SqliteRegistry() override;
    SqliteRegistry(const SqliteRegistry&) = delete;
    SqliteRegistry& operator=(const SqliteRegistry&) = delete;

    // Calls that find the store locked by another process beyond the time-out report
    // ERROR_LOCK_VIOLATION and change nothing.
    KeyId RootKey(HKEY root) override;
    LONG FindKey(KeyId base, const std::string& path, REGSAM access, KeyId* id) override;
    LONG MakeKey(KeyId base, const std::string& path, const std::string& keyClass, KeyId* id,
                 bool* created) override;
    LONG GetValue(KeyId key, const std::string& name, RegistryValue* value) override;
    LONG PutValue(KeyId key, const RegistryValue& value) override;
    LONG RemoveValue(KeyId key, const std::string& name) override;
    LONG RemoveKey(KeyId base, const std::string& path) override;
    LONG ListKeys(KeyId key, std::vector<std::string>* names) override;
    LONG ListValues(KeyId key, std::vector<RegistryValue>* values) override;
    LONG GetKeyClass(KeyId key, std::string* keyClass) override;
    // Makes every committed write durable (one sync of the journal); takes no lock.
    LONG Flush(HKEY root) override;

    // The full integrity check of the store. ERROR_SUCCESS when sound; else ERROR_BADDB (or the
    // code of what kept the check from running) and *problems says what was found.
    LONG Check(std::string* problems);
    // Opened for reading only: writes fail with ERROR_ACCESS_DENIED.
    bool ReadOnly() const;

    // A batch is one store transaction: other processes wait for it. Destroying the store
    // drops it.
    LONG BeginBatch() override;
    LONG CommitBatch() override;
    void RollbackBatch() override;
    // Ends the read transaction a key lookup leaves for the call that follows it.
    void KeyClosed() override;

    const std::string& Path() const;

  private:
    struct Impl;
    explicit SqliteRegistry(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_pImpl;
};

} // namespace platform
