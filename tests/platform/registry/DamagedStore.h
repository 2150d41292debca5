// A registry store with damage in it, as a failing disk leaves one, for the tests of the store
// and of its tools.
#pragma once

#include "platform/registry_sqlite.h"
#include "support/TextFiles.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>

namespace damaged {

// Makes a store at `path`, closed properly, and gives its bytes with the last pages (the
// overflow pages of a big value written last) overwritten; the file itself is not changed.
inline std::string MakeDamagedStore(const std::string& path) {
    {
        std::string error;
        auto store = platform::SqliteRegistry::Open(path, &error);
        EXPECT_NE(store, nullptr) << error;
        if (store == nullptr) {
            return "";
        }
        bool created = false;
        EXPECT_EQ(store->CreateKey(HKEY_CURRENT_USER, "Small", "", &created), ERROR_SUCCESS);
        EXPECT_EQ(store->SetValue(HKEY_CURRENT_USER, "Small", {"ok", REG_SZ, {'o', 'k', 0}}),
                  ERROR_SUCCESS);
        platform::RegistryValue big{"big", REG_BINARY, std::vector<BYTE>(40000, 0x5A)};
        EXPECT_EQ(store->SetValue(HKEY_CURRENT_USER, "Small", big), ERROR_SUCCESS);
    }
    // The store keeps its journal when closed; a plain connection folds it into the file...
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    // ...and the store is opened and closed properly once more.
    std::string error;
    EXPECT_NE(platform::SqliteRegistry::Open(path, &error), nullptr) << error;
    std::string bytes = ReadFile(path);
    EXPECT_GT(bytes.size(), 8u * 4096);
    std::fill(bytes.end() - std::min<size_t>(bytes.size(), 3 * 4096), bytes.end(), '\xFF');
    return bytes;
}

// Puts `bytes` into the file in place, keeping its modification time when asked to, as a
// failing disk would.
inline void Overwrite(const std::string& path, const std::string& bytes, bool keepTime) {
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    WriteFile(path, bytes);
    if (keepTime) {
        timespec times[2] = {st.st_atim, st.st_mtim};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
}

} // namespace damaged
