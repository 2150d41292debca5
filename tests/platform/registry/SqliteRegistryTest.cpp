// The SQLite store as a file: privacy, persistence, files that are not stores, locks held by
// other processes, concurrent writers and flushing.
#include "DamagedStore.h"
#include "platform/registry_sqlite.h"
#include "support/Child.h"
#include "support/Environment.h"
#include "support/RegistryDump.h"
#include "support/TempDir.h"
#include "support/TextFiles.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using damaged::MakeDamagedStore;
using damaged::Overwrite;
using platform::RegistryValue;
using platform::SqliteRegistry;

int Mode(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

std::string TextOf(const RegistryValue& value) {
    return std::string(value.data.begin(), value.data.end() - (value.data.empty() ? 0 : 1));
}

// A line the store prints on standard error, as this program prints it.
std::string ProgramLine(const std::string& text) {
    return std::string(program_invocation_short_name) + ": " + text;
}

// Waits for the children; each must end with 0.
void ExpectAllEndWell(const std::vector<pid_t>& pids) {
    for (pid_t pid : pids) {
        EXPECT_EQ(WaitChild(pid), 0);
    }
}

std::unique_ptr<SqliteRegistry> OpenStore(const std::string& path, int busyMs = 5000) {
    std::string error;
    auto store = SqliteRegistry::Open(path, {true, busyMs}, &error);
    EXPECT_NE(store, nullptr) << error;
    return store;
}

// Makes an empty store at `path` and closes it.
void MakeStore(const std::string& path) {
    auto store = OpenStore(path);
    ASSERT_NE(store, nullptr);
}

TEST(SqliteRegistry, NewStoreAndItsFoldersArePrivate) {
    // Whatever the umask, and whatever mode a file found in the store's place had.
    struct Row {
        mode_t umask;
        int foundMode;   // -1: no file there yet
        int journalMode; // -1: an empty file, no store yet
        const char* says;
    } rows[] = {
        {022, -1, -1, ""},
        {0, -1, -1, ""},
        {0777, -1, -1, ""},
        {022, 0644, -1,
         "could be read by other users (mode 0644); it is now private (mode 0600)\n"},
        {0, 0666, 0666,
         "could be read by other users (mode 0666); it is now private (mode 0600)\n"},
        {022, 0600, 0644,
         "could be read by other users (mode 0644); it is now private (mode 0600)\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "umask " << row.umask << " mode " << row.foundMode);
        TempDir dir;
        std::string top = dir.File("data");
        std::string folder = top + "/skyvane";
        std::string path = folder + "/registry.db";
        if (row.foundMode >= 0) {
            ASSERT_EQ(mkdir(top.c_str(), 0755), 0);
            ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
            WriteFile(path, "");
            if (row.journalMode >= 0) {
                OpenStore(path);
                for (const char* suffix : {"-wal", "-shm"}) {
                    ASSERT_EQ(chmod((path + suffix).c_str(), row.journalMode), 0);
                }
            }
            ASSERT_EQ(chmod(path.c_str(), row.foundMode), 0);
        }
        mode_t saved = umask(row.umask);
        testing::internal::CaptureStderr();
        auto store = OpenStore(path);
        std::string said = testing::internal::GetCapturedStderr();
        umask(saved);
        ASSERT_NE(store, nullptr);
        bool created = false;
        ASSERT_EQ(store->CreateKey(HKEY_CURRENT_USER, "Software", "", &created), ERROR_SUCCESS);
        ASSERT_EQ(store->SetValue(HKEY_CURRENT_USER, "Software", SzValue("a", "b")), ERROR_SUCCESS);

        if (row.foundMode < 0) {
            EXPECT_EQ(Mode(top), 0700); // parents too
            EXPECT_EQ(Mode(folder), 0700);
            EXPECT_EQ(said, "");
        } else {
            EXPECT_EQ(Mode(folder), 0755); // a folder that was there is the user's own
            EXPECT_NE(said.find("the registry store " + path + " " + row.says), std::string::npos)
                << said;
            EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        }
        for (const char* suffix : {"", "-wal", "-shm", "-lock"}) {
            EXPECT_EQ(Mode(path + suffix), 0600) << suffix;
        }
    }
}

TEST(SqliteRegistry, KeepsEverythingAcrossReopening) {
    TempDir dir;
    std::string path = dir.File("registry.db");
    {
        auto store = OpenStore(path);
        ASSERT_NE(store, nullptr);
        bool created = false;
        ASSERT_EQ(
            store->CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ostrel Technologies", "Cls", &created),
            ERROR_SUCCESS);
        EXPECT_TRUE(created);
        RegistryValue binary{"Bin", REG_BINARY, {0, 1, 0xFF, 0}};
        ASSERT_EQ(store->SetValue(HKEY_LOCAL_MACHINE, "software\\ostrel technologies", binary),
                  ERROR_SUCCESS);
    }
    auto store = OpenStore(path);
    ASSERT_NE(store, nullptr);
    std::vector<std::string> names;
    ASSERT_EQ(store->EnumKeys(HKEY_LOCAL_MACHINE, "SOFTWARE", &names), ERROR_SUCCESS);
    EXPECT_EQ(names, std::vector<std::string>{"Ostrel Technologies"});
    RegistryValue value;
    ASSERT_EQ(store->QueryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\OSTREL TECHNOLOGIES", "bin", &value),
              ERROR_SUCCESS);
    EXPECT_EQ(value.name, "Bin");
    EXPECT_EQ(value.type, REG_BINARY);
    EXPECT_EQ(value.data, (std::vector<BYTE>{0, 1, 0xFF, 0}));
    std::string keyClass;
    ASSERT_EQ(store->QueryKeyClass(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ostrel Technologies", &keyClass),
              ERROR_SUCCESS);
    EXPECT_EQ(keyClass, "Cls");
}

// Builds an SQLite file that some other program could own.
std::string ForeignDatabase(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return ReadFile(path);
}

TEST(SqliteRegistry, FilesThatAreNotStoresAreNeverWritten) {
    TempDir dir;
    std::string text = dir.File("text.db");
    WriteFile(text, "This is not a database.\n");
    std::string garbage = dir.File("garbage.db");
    std::string bytes(8192, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7 + 3);
    }
    WriteFile(garbage, bytes);
    std::string foreign = dir.File("foreign.db");
    ForeignDatabase(foreign, "CREATE TABLE mail(id INTEGER); INSERT INTO mail VALUES (1);");
    std::string newer = dir.File("newer.db");
    ASSERT_NO_FATAL_FAILURE(MakeStore(newer));
    ForeignDatabase(newer, "PRAGMA user_version = 99");
    // No schema, but a version of its own: another program's database all the same.
    std::string versioned = dir.File("versioned.db");
    ForeignDatabase(versioned, "PRAGMA user_version = 7");

    struct Row {
        std::string path;
        const char* says;
    } rows[] = {
        {text, "is not a database or is damaged"},
        {garbage, "is not a database or is damaged"},
        {foreign, "is a database of another program"},
        {newer, "was made by a newer version of this program"},
        {versioned, "is a database of another program"},
    };
    for (const Row& row : rows) {
        const std::string& path = row.path;
        SCOPED_TRACE(path);
        ASSERT_EQ(chmod(path.c_str(), 0644), 0);
        std::string before = ReadFile(path);
        std::string error;
        LONG code = 0;
        auto store = SqliteRegistry::Open(path, &error, &code);
        EXPECT_EQ(store, nullptr);
        EXPECT_EQ(code, ERROR_BADDB);
        EXPECT_EQ(error, "the registry store " + path + " " + row.says + "; it was left unchanged");
        EXPECT_TRUE(ReadFile(path) == before) << "the file was changed";
        EXPECT_EQ(Mode(path), 0644); // not even its mode
    }
}

TEST(SqliteRegistry, AStoreOfTheFirstVersionIsBroughtUpToDate) {
    TempDir dir;
    std::string path = dir.File("v1.db");
    // The tables of the first version: names compared by ASCII case only, values by name.
    ForeignDatabase(path,
                    "PRAGMA journal_mode = WAL;"
                    "CREATE TABLE keys(id INTEGER PRIMARY KEY, root INTEGER NOT NULL,"
                    " parent INTEGER, path TEXT NOT NULL COLLATE NOCASE,"
                    " name TEXT NOT NULL COLLATE NOCASE, class TEXT NOT NULL DEFAULT '',"
                    " UNIQUE(root, path));"
                    "CREATE INDEX keys_by_parent ON keys(parent, name);"
                    "CREATE TABLE vals(key INTEGER NOT NULL, name TEXT NOT NULL COLLATE NOCASE,"
                    " type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, name))"
                    " WITHOUT ROWID;"
                    "INSERT INTO keys(root, parent, path, name) VALUES (0, NULL, '', ''),"
                    " (1, NULL, '', ''), (2, NULL, '', '');"
                    "INSERT INTO keys(root, parent, path, name, class) VALUES"
                    " (2, 3, 'SOFTWARE', 'SOFTWARE', ''),"
                    " (2, 4, 'SOFTWARE\\\xC4x', '\xC4x', 'Cls');"
                    "INSERT INTO vals VALUES (5, 'b', 1, x'6200'), (5, 'A', 4, x'01000000');"
                    "PRAGMA application_id = 1399543378;"
                    "PRAGMA user_version = 1;");
    auto store = OpenStore(path);
    ASSERT_NE(store, nullptr);
    RegistryValue value;
    ASSERT_EQ(store->QueryValue(HKEY_LOCAL_MACHINE, "software\\\xE4X", "a", &value), ERROR_SUCCESS);
    EXPECT_EQ(value.name, "A");
    EXPECT_EQ(value.data, (std::vector<BYTE>{1, 0, 0, 0}));
    std::vector<RegistryValue> values;
    ASSERT_EQ(store->EnumValues(HKEY_LOCAL_MACHINE, "SOFTWARE\\\xC4x", &values), ERROR_SUCCESS);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].name, "A"); // in the order the first version gave them
    std::string keyClass;
    EXPECT_EQ(store->QueryKeyClass(HKEY_LOCAL_MACHINE, "SOFTWARE\\\xC4x", &keyClass),
              ERROR_SUCCESS);
    EXPECT_EQ(keyClass, "Cls");
    bool created = true;
    EXPECT_EQ(store->CreateKey(HKEY_LOCAL_MACHINE, "software\\\xE4x\\New", "", &created),
              ERROR_SUCCESS);
    EXPECT_TRUE(created);
}

TEST(SqliteRegistry, EmptyFileBecomesAStore) {
    TempDir dir;
    std::string path = dir.File("empty.db");
    WriteFile(path, "");
    auto store = OpenStore(path);
    ASSERT_NE(store, nullptr);
    bool created = false;
    EXPECT_EQ(store->CreateKey(HKEY_CURRENT_USER, "k", "", &created), ERROR_SUCCESS);
}

TEST(SqliteRegistry, DamagedStoreIsRefusedAndLeftAsItWas) {
    // Opening checks the store only when it may have been damaged: after its last user ended
    // without closing it, or when its files changed while it was closed. Otherwise the damage
    // is found by `Check` and by the first read of a damaged page.
    struct Row {
        const char* how;
        bool killedBefore; // a process had the store open and was killed
        bool keepTime;     // the damage left the file's time as it was
        bool refused;
    } rows[] = {
        {"changed while closed", false, false, true},
        {"after a process was killed", true, true, true},
        {"changed behind a clean close's back", false, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.how);
        TempDir dir;
        std::string path = dir.File("registry.db");
        std::string bytes = MakeDamagedStore(path);
        if (row.killedBefore) {
            EXPECT_EQ(InChild([&] {
                          std::string error;
                          auto store = SqliteRegistry::Open(path, &error).release();
                          _exit(store != nullptr ? 0 : 1); // ends without closing
                          return 0;
                      }),
                      0);
        }
        Overwrite(path, bytes, row.keepTime);
        std::string error;
        LONG code = 0;
        auto store = SqliteRegistry::Open(path, &error, &code);
        if (row.refused) {
            EXPECT_EQ(store, nullptr);
            EXPECT_EQ(code, ERROR_BADDB);
            EXPECT_EQ(error, "the registry store " + path + " is damaged; it was left unchanged");
        } else {
            ASSERT_NE(store, nullptr) << error;
            std::string problems;
            EXPECT_EQ(store->Check(&problems), ERROR_BADDB);
            EXPECT_NE(problems.find("page"), std::string::npos) << problems;
            RegistryValue value;
            EXPECT_EQ(store->QueryValue(HKEY_CURRENT_USER, "Small", "big", &value), ERROR_BADDB);
            store.reset();
            // A damaged store is not taken for a sound one at the next open.
            EXPECT_EQ(SqliteRegistry::Open(path, &error, &code), nullptr);
            EXPECT_EQ(code, ERROR_BADDB);
        }
        EXPECT_TRUE(ReadFile(path) == bytes) << "the file was changed";
    }
}

TEST(SqliteRegistry, DamageFoundLaterStopsEveryCallAndTheFileStaysAsItWas) {
    TempDir dir;
    std::string path = dir.File("registry.db");
    std::string bytes = MakeDamagedStore(path);
    auto store = OpenStore(path);
    ASSERT_NE(store, nullptr);
    WriteFile(path, bytes); // damaged while in use

    RegistryValue value;
    EXPECT_EQ(store->QueryValue(HKEY_CURRENT_USER, "Small", "big", &value), ERROR_BADDB);
    // From then on nothing is read or written, not even what was sound.
    EXPECT_EQ(store->QueryValue(HKEY_CURRENT_USER, "Small", "ok", &value), ERROR_BADDB);
    EXPECT_EQ(store->SetValue(HKEY_CURRENT_USER, "Small", SzValue("ok", "new")), ERROR_BADDB);
    bool created = false;
    EXPECT_EQ(store->CreateKey(HKEY_CURRENT_USER, "Other", "", &created), ERROR_BADDB);
    EXPECT_EQ(store->DeleteKey(HKEY_CURRENT_USER, "Small"), ERROR_BADDB);
    EXPECT_EQ(store->Flush(HKEY_CURRENT_USER), ERROR_BADDB);
    store.reset();
    EXPECT_TRUE(ReadFile(path) == bytes) << "the file was changed";
}

TEST(SqliteRegistry, FolderThatIsAFileGivesAClearError) {
    TempDir dir;
    WriteFile(dir.File("plain"), "x");
    std::string path = dir.File("plain") + "/registry.db";
    std::string error;
    LONG code = 0;
    EXPECT_EQ(SqliteRegistry::Open(path, &error, &code), nullptr);
    EXPECT_EQ(code, ERROR_PATH_NOT_FOUND);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_EQ(ReadFile(dir.File("plain")), "x");
}

TEST(SqliteRegistry, MissingStoreIsNotMadeWhenNotAskedFor) {
    TempDir dir;
    std::string path = dir.File("none.db");
    std::string error;
    LONG code = 0;
    EXPECT_EQ(SqliteRegistry::Open(path, {false, 100}, &error, &code), nullptr);
    EXPECT_EQ(code, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Mode(path), -1);
}

// Permission bits do not stop root, so as root the check runs in a child that has given up
// root for "nobody".
int OpenAsUnprivileged(const std::string& path) {
    return InChild([&] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            return 100;
        }
        std::string error;
        LONG code = 0;
        auto store = SqliteRegistry::Open(path, &error, &code);
        return store != nullptr ? 0 : static_cast<int>(code);
    });
}

TEST(SqliteRegistry, UnreadableFolderOrFileIsAccessDenied) {
    TempDir dir;
    std::string closed = dir.File("closed");
    ASSERT_EQ(mkdir(closed.c_str(), 0700), 0);
    std::string inClosed = closed + "/registry.db";
    ASSERT_NO_FATAL_FAILURE(MakeStore(inClosed));
    std::string open = dir.File("open");
    ASSERT_EQ(mkdir(open.c_str(), 0711), 0);
    std::string unreadable = open + "/registry.db";
    ASSERT_NO_FATAL_FAILURE(MakeStore(unreadable));
    ASSERT_EQ(chmod(unreadable.c_str(), 0), 0);
    ASSERT_EQ(chmod(dir.Path().c_str(), 0711), 0);
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(closed.c_str(), 0), 0);
    }
    std::string before = ReadFile(inClosed);

    EXPECT_EQ(OpenAsUnprivileged(inClosed), ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenAsUnprivileged(unreadable), ERROR_ACCESS_DENIED);
    chmod(closed.c_str(), 0700);
    EXPECT_TRUE(ReadFile(inClosed) == before) << "the file was changed";
}

// Runs `body` in a child that has given up root for "nobody" (when root) and gives what it
// printed on standard error, then the text it returned.
template <class F> std::string AsUnprivilegedSays(F&& body) {
    return OutputOfChild({2}, [&] {
        std::string result = "could not give up root";
        if (geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0)) {
            result = body();
        }
        (void)!write(2, result.data(), result.size());
        return 0;
    });
}

TEST(SqliteRegistry, ReadOnlyStoreOrFolderIsReadAndChangesAreRefused) {
    TempDir dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0711), 0);
    const std::string kFolderLine = "cannot be written (its folder is read-only); its values can"
                                    " be read, changes to it are refused\n";
    const std::string kFileLine = "cannot be written (the file is read-only); its values can be"
                                  " read, changes to it are refused\n";
    struct Row {
        const char* name;
        bool folderReadOnly;
        mode_t fileMode;  // 0600: as made
        bool journalKept; // a store closed by this program keeps its journal files
        std::string says;
        LONG writes; // -1: refused, `says` is the error
    } rows[] = {
        {"folder", true, 0600, false, kFolderLine, ERROR_ACCESS_DENIED},
        {"folder-with-journal", true, 0600, true, "", ERROR_SUCCESS}, // the files can be written
        {"file", false, 0400, true, kFileLine, ERROR_ACCESS_DENIED},
        {"both", true, 0400, false, kFileLine, ERROR_ACCESS_DENIED},
        {"unreadable", true, 0, false, "cannot open the registry store ", -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string folder = dir.File(row.name);
        std::string path = folder + "/registry.db";
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
        ASSERT_EQ(chown(folder.c_str(), geteuid() == 0 ? 65534 : geteuid(), static_cast<gid_t>(-1)),
                  0);
        std::string said = AsUnprivilegedSays([&]() -> std::string {
            {
                std::string error;
                auto store = SqliteRegistry::Open(path, &error);
                bool created = false;
                if (store == nullptr ||
                    store->CreateKey(HKEY_CURRENT_USER, "Software", "", &created) != 0 ||
                    store->SetValue(HKEY_CURRENT_USER, "Software", SzValue("v", "kept")) != 0) {
                    return "no store: " + error;
                }
            }
            if (!row.journalKept) { // as a store copied here, or left by an older version
                ForeignDatabase(path, "PRAGMA wal_checkpoint(TRUNCATE)");
                unlink((path + "-wal").c_str());
                unlink((path + "-shm").c_str());
                unlink((path + "-lock").c_str());
            }
            if (chmod(path.c_str(), row.fileMode) != 0 ||
                (row.folderReadOnly && chmod(folder.c_str(), 0500) != 0)) {
                return "no chmod";
            }
            std::string error;
            auto store = SqliteRegistry::Open(path, &error);
            if (store == nullptr) {
                return "refused: " + error;
            }
            RegistryValue value;
            LONG read = store->QueryValue(HKEY_CURRENT_USER, "Software", "v", &value);
            LONG opened = store->OpenKey(HKEY_CURRENT_USER, "Software", KEY_WRITE);
            LONG written = store->SetValue(HKEY_CURRENT_USER, "Software", SzValue("v", "new"));
            bool created = false;
            LONG made = store->CreateKey(HKEY_CURRENT_USER, "Other", "", &created);
            return "read " + std::to_string(read) + " " + TextOf(value) + ", open for writing " +
                   std::to_string(opened) + ", write " + std::to_string(written) + ", create " +
                   std::to_string(made);
        });
        chmod(folder.c_str(), 0700);
        if (row.writes < 0) {
            EXPECT_EQ(said, "refused: " + row.says + path + ": Permission denied");
            continue;
        }
        std::string code = std::to_string(row.writes);
        std::string summary =
            "read 0 kept, open for writing " + code + ", write " + code + ", create " + code;
        std::string line =
            row.says.empty() ? "" : ProgramLine("the registry store " + path + " " + row.says);
        EXPECT_EQ(said, line + summary);
    }
}

// A child that holds the store's write lock until told to let go.
class LockHolder {
  public:
    explicit LockHolder(const std::string& path) {
        if (pipe(m_ready) != 0 || pipe(m_release) != 0) {
            return;
        }
        m_pid = StartChild([&] {
            std::string error;
            auto store = SqliteRegistry::Open(path, &error);
            int rc =
                store == nullptr || store->BeginBatch() != ERROR_SUCCESS ||
                store->SetValue(HKEY_CURRENT_USER, "", SzValue("child", "held")) != ERROR_SUCCESS;
            char c = 'r';
            (void)!write(m_ready[1], &c, 1);
            (void)!read(m_release[0], &c, 1);
            if (rc == 0 && store->CommitBatch() != ERROR_SUCCESS) {
                rc = 2;
            }
            return rc;
        });
        char c = 0;
        m_holding = m_pid > 0 && read(m_ready[0], &c, 1) == 1;
    }
    bool Holding() const { return m_holding; }
    // Lets the child commit and gives its exit status.
    int Release() {
        char c = 'g';
        (void)!write(m_release[1], &c, 1);
        const int code = WaitChild(m_pid);
        for (int fd : {m_ready[0], m_ready[1], m_release[0], m_release[1]}) {
            close(fd);
        }
        return code;
    }

  private:
    int m_ready[2] = {-1, -1};
    int m_release[2] = {-1, -1};
    pid_t m_pid = -1;
    bool m_holding = false;
};

TEST(SqliteRegistry, StoreLockedByAnotherProcessGivesAClearCodeAndLosesNothing) {
    TempDir dir;
    std::string path = dir.File("registry.db");
    auto store = OpenStore(path, 200);
    ASSERT_NE(store, nullptr);
    ASSERT_EQ(store->SetValue(HKEY_CURRENT_USER, "", SzValue("mine", "before")), ERROR_SUCCESS);

    LockHolder holder(path);
    ASSERT_TRUE(holder.Holding());
    EXPECT_EQ(store->SetValue(HKEY_CURRENT_USER, "", SzValue("mine", "after")),
              ERROR_LOCK_VIOLATION);
    bool created = false;
    EXPECT_EQ(store->CreateKey(HKEY_CURRENT_USER, "New", "", &created), ERROR_LOCK_VIOLATION);
    // Reading goes on while the other process writes.
    RegistryValue value;
    ASSERT_EQ(store->QueryValue(HKEY_CURRENT_USER, "", "mine", &value), ERROR_SUCCESS);
    EXPECT_EQ(TextOf(value), "before");
    EXPECT_EQ(store->QueryValue(HKEY_CURRENT_USER, "", "child", &value), ERROR_FILE_NOT_FOUND);
    // Flushing takes no lock.
    EXPECT_EQ(store->Flush(HKEY_CURRENT_USER), ERROR_SUCCESS);
    // A store opened while the lock is held opens at once.
    std::string error;
    EXPECT_NE(SqliteRegistry::Open(path, {true, 200}, &error), nullptr) << error;

    EXPECT_EQ(holder.Release(), 0);
    ASSERT_EQ(store->QueryValue(HKEY_CURRENT_USER, "", "child", &value), ERROR_SUCCESS);
    EXPECT_EQ(TextOf(value), "held");
    ASSERT_EQ(store->QueryValue(HKEY_CURRENT_USER, "", "mine", &value), ERROR_SUCCESS);
    EXPECT_EQ(TextOf(value), "before");
    EXPECT_EQ(store->SetValue(HKEY_CURRENT_USER, "", SzValue("mine", "after")), ERROR_SUCCESS);
    EXPECT_EQ(store->CreateKey(HKEY_CURRENT_USER, "New", "", &created), ERROR_SUCCESS);
}

TEST(SqliteRegistry, TwoProcessesWriteTheSameRowsWithoutErrors) {
    TempDir dir;
    std::string path = dir.File("registry.db");
    ASSERT_NO_FATAL_FAILURE(MakeStore(path));
    constexpr int kRounds = 150;
    auto writer = [&](const std::string& me) {
        return [&path, me] {
            std::string error;
            auto store = SqliteRegistry::Open(path, &error);
            if (store == nullptr) {
                return 1;
            }
            for (int i = 0; i < kRounds; ++i) {
                bool created = false;
                std::string key = "Shared\\K" + std::to_string(i % 7);
                if (store->CreateKey(HKEY_LOCAL_MACHINE, key, "", &created) != ERROR_SUCCESS ||
                    store->SetValue(HKEY_LOCAL_MACHINE, "Shared",
                                    SzValue("last", me + std::to_string(i))) != ERROR_SUCCESS ||
                    store->SetValue(HKEY_LOCAL_MACHINE, key, SzValue(me, std::to_string(i))) !=
                        ERROR_SUCCESS) {
                    return 2;
                }
                LONG deleted = store->DeleteValue(HKEY_LOCAL_MACHINE, "Shared\\K0", "gone");
                if (deleted != ERROR_FILE_NOT_FOUND) {
                    return 3;
                }
            }
            return 0;
        };
    };
    ExpectAllEndWell({StartChild(writer("a")), StartChild(writer("b"))});
    auto store = OpenStore(path);
    ASSERT_NE(store, nullptr);
    std::vector<std::string> keys;
    ASSERT_EQ(store->EnumKeys(HKEY_LOCAL_MACHINE, "Shared", &keys), ERROR_SUCCESS);
    EXPECT_EQ(keys.size(), 7u);
    RegistryValue value;
    int last = (kRounds - 1) % 7;
    for (const char* me : {"a", "b"}) {
        ASSERT_EQ(
            store->QueryValue(HKEY_LOCAL_MACHINE, "Shared\\K" + std::to_string(last), me, &value),
            ERROR_SUCCESS);
        EXPECT_EQ(TextOf(value), std::to_string(kRounds - 1));
    }
    ASSERT_EQ(store->QueryValue(HKEY_LOCAL_MACHINE, "Shared", "last", &value), ERROR_SUCCESS);
    std::string final = TextOf(value);
    EXPECT_TRUE(final == "a" + std::to_string(kRounds - 1) ||
                final == "b" + std::to_string(kRounds - 1))
        << final;
}

TEST(SqliteRegistry, ProcessesMakingTheStoreAtOnceAllSucceed) {
    TempDir dir;
    std::string path = dir.File("new/registry.db");
    std::vector<pid_t> pids;
    for (int i = 0; i < 4; ++i) {
        pids.push_back(StartChild([&path, i] {
            std::string error;
            auto store = SqliteRegistry::Open(path, &error);
            if (store == nullptr)
                std::fprintf(stderr, "child %d: %s\n", i, error.c_str());
            bool created = false;
            return store == nullptr ? 1
                   : store->CreateKey(HKEY_CURRENT_USER, "K" + std::to_string(i), "", &created) !=
                           ERROR_SUCCESS
                       ? 2
                       : 0;
        }));
    }
    ExpectAllEndWell(pids);
    auto store = OpenStore(path);
    ASSERT_NE(store, nullptr);
    std::vector<std::string> keys;
    ASSERT_EQ(store->EnumKeys(HKEY_CURRENT_USER, "", &keys), ERROR_SUCCESS);
    EXPECT_EQ(keys, (std::vector<std::string>{"K0", "K1", "K2", "K3"}));
}

TEST(SqliteRegistry, FlushKeepsEarlierWritesInTheJournalAndTakesNoLock) {
    TempDir dir;
    std::string path = dir.File("registry.db");
    auto store = OpenStore(path, 200);
    ASSERT_NE(store, nullptr);
    ASSERT_EQ(store->SetValue(HKEY_CURRENT_USER, "", SzValue("flushed", "yes")), ERROR_SUCCESS);

    // What a crash of the machine leaves when the files' contents are on the disk: the store
    // file, and its journal where one is kept.
    auto filesAlone = [&](const std::string& name, bool withJournal) {
        std::string copy = dir.File(name);
        WriteFile(copy, ReadFile(path));
        if (withJournal) {
            WriteFile(copy + "-wal", ReadFile(path + "-wal"));
        }
        return OpenStore(copy);
    };
    RegistryValue value;
    auto before = filesAlone("before.db", false);
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(before->QueryValue(HKEY_CURRENT_USER, "", "flushed", &value), ERROR_FILE_NOT_FOUND);

    std::string storeFile = ReadFile(path);
    // Another process writing at the time does not make the flush wait or fail.
    LockHolder holder(path);
    ASSERT_TRUE(holder.Holding());
    EXPECT_EQ(store->Flush(HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_EQ(holder.Release(), 0);
    // The writes stay in the journal (one sync, no copying into the store file)...
    EXPECT_TRUE(ReadFile(path) == storeFile) << "the flush rewrote the store file";
    auto alone = filesAlone("alone.db", false);
    ASSERT_NE(alone, nullptr);
    EXPECT_EQ(alone->QueryValue(HKEY_CURRENT_USER, "", "flushed", &value), ERROR_FILE_NOT_FOUND);
    // ...which holds them for the next opener, and is kept when the store is closed.
    store.reset();
    auto after = filesAlone("after.db", true);
    ASSERT_NE(after, nullptr);
    ASSERT_EQ(after->QueryValue(HKEY_CURRENT_USER, "", "flushed", &value), ERROR_SUCCESS);
    EXPECT_EQ(TextOf(value), "yes");
    EXPECT_GT(ReadFile(path + "-wal").size(), 0u);
    EXPECT_TRUE(ReadFile(path) == storeFile) << "closing folded a small journal into the file";
}

TEST(SqliteRegistry, BatchLandsWholeOrNotAtAll) {
    TempDir dir;
    auto store = OpenStore(dir.File("registry.db"));
    ASSERT_NE(store, nullptr);
    bool created = false;
    ASSERT_EQ(store->BeginBatch(), ERROR_SUCCESS);
    EXPECT_EQ(store->BeginBatch(), ERROR_INVALID_FUNCTION);
    ASSERT_EQ(store->CreateKey(HKEY_CURRENT_USER, "A\\B", "", &created), ERROR_SUCCESS);
    ASSERT_EQ(store->SetValue(HKEY_CURRENT_USER, "A\\B", SzValue("v", "1")), ERROR_SUCCESS);
    // A failed write inside the batch leaves the rest of the batch alone.
    EXPECT_EQ(store->SetValue(HKEY_CURRENT_USER, "A\\Missing", SzValue("v", "1")),
              ERROR_FILE_NOT_FOUND);
    store->RollbackBatch();
    EXPECT_EQ(store->OpenKey(HKEY_CURRENT_USER, "A", KEY_READ), ERROR_FILE_NOT_FOUND);

    ASSERT_EQ(store->BeginBatch(), ERROR_SUCCESS);
    ASSERT_EQ(store->CreateKey(HKEY_CURRENT_USER, "A\\B", "", &created), ERROR_SUCCESS);
    ASSERT_EQ(store->SetValue(HKEY_CURRENT_USER, "A\\B", SzValue("v", "1")), ERROR_SUCCESS);
    EXPECT_EQ(store->DeleteKey(HKEY_CURRENT_USER, "A\\Missing"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(store->CommitBatch(), ERROR_SUCCESS);
    RegistryValue value;
    EXPECT_EQ(store->QueryValue(HKEY_CURRENT_USER, "a\\b", "V", &value), ERROR_SUCCESS);
}

TEST(SqliteRegistry, DefaultPathFollowsTheEnvironment) {
    const char* const kNames[] = {"SKYVANE_REGISTRY", "XDG_DATA_HOME", "HOME"};
    EnvironmentGuard guard({kNames[0], kNames[1], kNames[2]});
    TempDir dir;
    const std::string store = dir.File("store.db");
    const std::string data = dir.File("data");
    const std::string home = dir.File("home");
    const std::string inData = data + "/skyvane/registry.db";
    const std::string inHome = home + "/.local/share/skyvane/registry.db";
    struct Row {
        const char* skyvane;
        const char* xdg;
        const char* home;
        std::string expected;
    } rows[] = {
        {store.c_str(), data.c_str(), home.c_str(), store},
        {"", data.c_str(), home.c_str(), inData},
        {nullptr, data.c_str(), home.c_str(), inData},
        {nullptr, "", home.c_str(), inHome},
        {nullptr, "relative", home.c_str(), inHome}, // XDG ignores relative folders
        {nullptr, nullptr, home.c_str(), inHome},
    };
    for (const Row& row : rows) {
        const char* values[] = {row.skyvane, row.xdg, row.home};
        for (int i = 0; i < 3; ++i) {
            SetOrUnset(kNames[i], values[i]);
        }
        EXPECT_EQ(platform::DefaultRegistryPath(), row.expected);
    }
}

} // namespace
