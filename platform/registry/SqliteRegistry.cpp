#include "platform/registry_sqlite.h"

#include "KeyPath.h"
#include "platform/posix_errors.h"
#include "platform/xdg.h"

#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>

namespace platform {

namespace {

// Marks a file as a registry store ("SkVR"); a database without it is some other program's.
constexpr int kApplicationId = 0x536B5652;
constexpr int kSchemaVersion = 2;

// Names are kept as they were created and, beside them, folded by the ANSI code page (the
// column "folded", a key's whole path), which is what lookups compare. Key ids are never reused,
// so a handle to a deleted key cannot come to mean another; values keep the order in which they
// were created (their rowid).
constexpr const char* kTables = R"sql(
CREATE TABLE keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    root INTEGER NOT NULL,
    parent INTEGER,
    path TEXT NOT NULL,
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    class TEXT NOT NULL DEFAULT '',
    UNIQUE(root, folded));
CREATE INDEX keys_by_parent ON keys(parent, folded);
CREATE TABLE vals(
    id INTEGER PRIMARY KEY,
    key INTEGER NOT NULL,
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key, folded));
)sql";

constexpr const char* kSchemaEnd = R"sql(
PRAGMA application_id = 1399543378;
PRAGMA user_version = 2;
)sql";

// A store of the first version (names compared by ASCII case only, values by name) brought to
// this one in one transaction; its values keep their old order.
constexpr const char* kUpgradeFrom1 = R"sql(
ALTER TABLE keys RENAME TO keys_v1;
ALTER TABLE vals RENAME TO vals_v1;
DROP INDEX keys_by_parent;
)sql";
constexpr const char* kUpgradeCopy = R"sql(
INSERT INTO keys(id, root, parent, path, name, folded, class)
    SELECT id, root, parent, path, name, fold_name(path), class FROM keys_v1;
INSERT INTO vals(key, name, folded, type, data)
    SELECT key, name, fold_name(name), type, data FROM vals_v1 ORDER BY key, name;
DROP TABLE keys_v1;
DROP TABLE vals_v1;
)sql";

static_assert(kApplicationId == 1399543378);

// A store file that is missing is created, so ENOENT means a missing folder on its path.
LONG CodeFromErrno(int err) {
    return err == ENOENT ? ERROR_PATH_NOT_FOUND : WindowsErrorFromErrno(err, ERROR_CANTOPEN);
}

// Creates the missing folders of a file's path, mode 0700 as XDG asks for data folders, whatever
// the umask (a umask may take bits away from mkdir's mode, never add them back).
int MakeParentFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) == 0) {
            if (chmod(folder.c_str(), 0700) != 0) {
                return errno;
            }
        } else if (errno != EEXIST) {
            return errno;
        }
    }
    return 0;
}

// The name this process was started by, for the lines it prints about the store.
const char* ProgramName() {
    return program_invocation_short_name != nullptr ? program_invocation_short_name : "skyvane";
}

// The store holds the saved dial-up password: a store (or its journal) that others may read is
// made private, and the user is told in one line.
void MakePrivate(const std::string& path) {
    mode_t wide = 0;
    mode_t tight = 0;
    int failed = 0;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::string file = path + suffix;
        struct stat st;
        if (stat(file.c_str(), &st) != 0 || (st.st_mode & 077) == 0) {
            continue;
        }
        if (wide == 0) {
            wide = st.st_mode & 07777;
            tight = st.st_mode & 0600;
        }
        if (chmod(file.c_str(), st.st_mode & 0600) != 0 && failed == 0) {
            failed = errno;
        }
    }
    if (wide == 0) {
        return;
    }
    if (failed != 0) {
        std::fprintf(stderr,
                     "%s: the registry store %s may be read by other users (mode %04o)"
                     " and could not be made private: %s\n",
                     ProgramName(), path.c_str(), static_cast<unsigned>(wide),
                     std::strerror(failed));
        return;
    }
    std::fprintf(stderr,
                 "%s: the registry store %s could be read by other users (mode %04o);"
                 " it is now private (mode %04o)\n",
                 ProgramName(), path.c_str(), static_cast<unsigned>(wide),
                 static_cast<unsigned>(tight));
}

using Clock = std::chrono::steady_clock;

// Sets or clears an open-file-description lock on one byte. Such locks belong to the
// descriptor, so SQLite's own locks (process-wide, on the store and its -shm file) and these
// never disturb each other.
bool LockByte(int fd, short type, off_t byte) {
    struct flock fl = {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = byte;
    fl.l_len = 1;
    return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// The store's lock file (PATH-lock). Byte 0 is held shared by every process that has the store
// open, and exclusive by the first one while it reads how the store was left (and checks it when
// needed) and by the last one while it writes that down. Byte 1 is held shared by each writer
// waiting for the write lock, so that a writer that just had its turn lets the waiting ones go
// first. The file holds "clean" and a fingerprint of the store files when the last user closed the
// store properly, "open" while it is in use: anything else after a first open means an unclean end.
class StoreLock {
  public:
    ~StoreLock() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }

    // Joins the users of the store; false when there is no lock file to be had (a folder that
    // cannot be written), and then nothing is known about how the store was left.
    bool Join(const std::string& path, int timeoutMs) {
        m_fd = open((path + "-lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        struct stat st;
        if (m_fd < 0 || fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            Drop();
            return false;
        }
        fchmod(m_fd, 0600);
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (LockByte(m_fd, F_WRLCK, 0)) {
                m_first = true;
                char text[512];
                ssize_t n = pread(m_fd, text, sizeof text, 0);
                m_leftAs.assign(text, n > 0 ? static_cast<size_t>(n) : 0);
                Write("open\n");
                return true; // Settle lets the others in, once the store has been looked at
            } else if (LockByte(m_fd, F_RDLCK, 0)) {
                return true; // others have it open, and the first of them looked
            }
            // Another process is just arriving or leaving.
            if (Clock::now() >= deadline) {
                Drop();
                return false;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }

    // The first user shares the store from now on (converting keeps the lock throughout).
    void Settle() {
        if (m_fd >= 0 && m_first) {
            LockByte(m_fd, F_RDLCK, 0);
        }
    }
    bool First() const { return m_fd >= 0 && m_first; }
    const std::string& LeftAs() const { return m_leftAs; }

    // Leaves the users of the store; the last one writes down `clean` when it is not empty.
    void Leave(const std::string& clean) {
        if (m_fd >= 0 && !clean.empty() && LockByte(m_fd, F_WRLCK, 0)) {
            Write(clean);
        }
        Drop();
    }

    bool OthersWaiting() const {
        if (m_fd < 0) {
            return false;
        }
        struct flock fl = {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = 1;
        fl.l_len = 1;
        return fcntl(m_fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
    }
    void Waiting(bool waiting) {
        if (m_fd >= 0) {
            LockByte(m_fd, waiting ? F_RDLCK : F_UNLCK, 1);
        }
    }

  private:
    void Write(const std::string& text) {
        // Not synced: after a crash of the machine the boot id in the fingerprint differs.
        if (pwrite(m_fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size())) {
            (void)!ftruncate(m_fd, static_cast<off_t>(text.size()));
        }
    }
    void Drop() {
        if (m_fd >= 0) {
            close(m_fd);
        }
        m_fd = -1;
    }

    int m_fd = -1;
    bool m_first = false;
    std::string m_leftAs;
};

// What the store files look like now, and in which boot of the machine: equal fingerprints at
// the last close and the next first open mean nobody touched the files in between.
std::string Fingerprint(const std::string& path) {
    std::string text = "clean";
    char boot[64] = "";
    if (std::FILE* f = std::fopen("/proc/sys/kernel/random/boot_id", "r")) {
        if (std::fgets(boot, sizeof boot, f) == nullptr) {
            boot[0] = '\0';
        }
        std::fclose(f);
    }
    text += " boot " + std::string(boot, strcspn(boot, "\n"));
    for (const char* suffix : {"", "-wal"}) {
        struct stat st;
        char line[160] = " -";
        if (stat((path + suffix).c_str(), &st) == 0) {
            std::snprintf(line, sizeof line, " %llu:%llu:%lld:%lld.%09ld",
                          static_cast<unsigned long long>(st.st_dev),
                          static_cast<unsigned long long>(st.st_ino),
                          static_cast<long long>(st.st_size),
                          static_cast<long long>(st.st_mtim.tv_sec), st.st_mtim.tv_nsec);
        }
        text += line;
    }
    return text + "\n";
}

// A journal larger than this is folded into the store file when a process that wrote closes the
// store, and cut back to this size by the next writer. The first user of the store reads the
// whole journal, so this bounds what opening costs; a run of the launcher adds a few pages.
constexpr sqlite3_int64 kLargeJournal = 512 * 1024;

// How long a writer that just had its turn lets writers that wait go first, at most.
constexpr auto kLongestYield = std::chrono::milliseconds(100);

// A prepared statement in use; resets it when done so that the cached statement can be reused.
class Statement {
  public:
    Statement(sqlite3_stmt* stmt) : m_stmt(stmt) {}
    ~Statement() {
        if (m_stmt != nullptr) {
            sqlite3_reset(m_stmt);
            sqlite3_clear_bindings(m_stmt);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return m_stmt != nullptr; }
    Statement& Bind(int i, sqlite3_int64 v) {
        sqlite3_bind_int64(m_stmt, i, v);
        return *this;
    }
    Statement& Bind(int i, const std::string& s) {
        sqlite3_bind_text(m_stmt, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // Binds text without copying it: it must outlive the statement's use (its reset).
    Statement& BindStatic(int i, const std::string& s) {
        sqlite3_bind_text(m_stmt, i, s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
        return *this;
    }
    Statement& BindBlob(int i, const std::vector<BYTE>& bytes) {
        static const BYTE kNothing = 0; // a non-null pointer keeps empty data a blob, not NULL
        sqlite3_bind_blob(m_stmt, i, bytes.empty() ? &kNothing : bytes.data(),
                          static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
        return *this;
    }
    int Step() { return sqlite3_step(m_stmt); }
    sqlite3_stmt* Raw() const { return m_stmt; }
    sqlite3_int64 Int(int col) const { return sqlite3_column_int64(m_stmt, col); }
    std::string Text(int col) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
        return text != nullptr ? std::string(text, sqlite3_column_bytes(m_stmt, col)) : "";
    }
    std::vector<BYTE> Blob(int col) const {
        const auto* data = static_cast<const BYTE*>(sqlite3_column_blob(m_stmt, col));
        return data != nullptr ? std::vector<BYTE>(data, data + sqlite3_column_bytes(m_stmt, col))
                               : std::vector<BYTE>();
    }

  private:
    sqlite3_stmt* m_stmt;
};

} // namespace

struct SqliteRegistry::Impl {
    sqlite3* db = nullptr;
    std::string storePath;
    // Damage was seen: from then on nothing is read or written.
    bool broken = false;
    bool inBatch = false;
    sqlite3_int64 rootIds[3] = {0, 0, 0};
    std::unordered_map<const char*, sqlite3_stmt*> statements;

    StoreLock lock;
    int busyTimeoutMs = 0;
    // The store could only be opened for reading: every write is refused with
    // ERROR_ACCESS_DENIED.
    bool readOnly = false;
    // Open succeeded, and the store is known to be sound or was checked.
    bool sound = false;
    bool wrote = false;
    // Set while a write waits for the write lock; when the wait began.
    bool takingWriteLock = false;
    bool saidWaiting = false;
    Clock::time_point busySince;

    ~Impl() {
        Settle();
        if (inBatch) {
            Exec("ROLLBACK");
        }
        for (auto& [sql, stmt] : statements) {
            sqlite3_finalize(stmt);
        }
        // Closing leaves the journal as it is (no sync); only one grown large is folded in.
        if (db != nullptr && wrote && !broken && JournalSize() > kLargeJournal) {
            busyTimeoutMs = 0; // fold it in only if nobody else is in the way
            sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
        }
        sqlite3_close_v2(db);
        db = nullptr;
        lock.Leave(sound && !broken ? Fingerprint(storePath) : "");
    }

    std::string JournalPath() const {
        const char* name = db != nullptr ? sqlite3_db_filename(db, "main") : nullptr;
        return name != nullptr && name[0] != '\0' ? sqlite3_filename_wal(name) : storePath + "-wal";
    }
    sqlite3_int64 JournalSize() const {
        struct stat st;
        return stat(JournalPath().c_str(), &st) == 0 ? st.st_size : 0;
    }

    // Waits for a busy store in short steps up to the time-out, so that a writer gets the lock
    // soon after it is free; a waiting writer says so on the lock file.
    static int Busy(void* self, int count) {
        Impl& d = *static_cast<Impl*>(self);
        auto now = Clock::now();
        if (count == 0) {
            d.busySince = now;
            if (d.takingWriteLock) {
                d.lock.Waiting(true);
                d.saidWaiting = true;
            }
        }
        if (now - d.busySince >= std::chrono::milliseconds(d.busyTimeoutMs)) {
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(250));
        return 1;
    }

    // Takes the write lock (BEGIN IMMEDIATE) fairly: a writer that finds others waiting lets
    // them go first, so that two busy writers take turns instead of one starving.
    int BeginWrite() {
        auto until = Clock::now() + kLongestYield;
        while (lock.OthersWaiting() && Clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::microseconds(250));
        }
        takingWriteLock = true;
        int rc = Run("BEGIN IMMEDIATE");
        takingWriteLock = false;
        if (saidWaiting) {
            lock.Waiting(false);
            saidWaiting = false;
        }
        return rc;
    }

    int Exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

    sqlite3_stmt* Prepare(const char* sql) {
        auto it = statements.find(sql);
        if (it != statements.end()) {
            return it->second;
        }
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
            SQLITE_OK) {
            return nullptr;
        }
        statements.emplace(sql, stmt);
        return stmt;
    }

    // The Windows code for an SQLite result. Damage is remembered so that nothing touches the
    // file again.
    LONG Fail(int rc, bool writing) {
        switch (rc & 0xFF) {
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            broken = true;
            return ERROR_BADDB;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return ERROR_LOCK_VIOLATION;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return ERROR_ACCESS_DENIED;
        case SQLITE_NOMEM:
            return ERROR_OUTOFMEMORY;
        case SQLITE_FULL:
        case SQLITE_IOERR:
            return writing ? ERROR_CANTWRITE : ERROR_CANTREAD;
        case SQLITE_CANTOPEN:
            return CodeFromErrno(sqlite3_system_errno(db));
        case SQLITE_TOOBIG:
            return ERROR_INVALID_PARAMETER;
        default:
            // A missing table or column: the file is a store no more.
            return ERROR_BADDB;
        }
    }

    LONG PrepareFailed(bool writing) { return Fail(sqlite3_errcode(db), writing); }

    // Runs one write as a transaction of its own, or as a savepoint inside a batch, so that a
    // failed write leaves nothing behind.
    template <class F> LONG Write(F&& body) {
        if (broken) {
            return ERROR_BADDB;
        }
        if (readOnly) {
            return ERROR_ACCESS_DENIED;
        }
        int rc = inBatch ? Run("SAVEPOINT op") : BeginWrite();
        if (rc != SQLITE_OK) {
            return Fail(rc, true);
        }
        LONG result = body();
        if (result == ERROR_SUCCESS) {
            rc = Run(inBatch ? "RELEASE op" : "COMMIT");
            if (rc == SQLITE_OK) {
                wrote = wrote || !inBatch;
                return ERROR_SUCCESS;
            }
            result = Fail(rc, true);
        }
        if (inBatch) {
            Run("ROLLBACK TO op");
            Run("RELEASE op");
        } else {
            Run("ROLLBACK");
        }
        return result;
    }

    // A key lookup leaves its read transaction open for the call that follows on the key (a read
    // or a write of one value), so that the two share one transaction and take the store's lock
    // once. Any other call, or one that comes later than kLinger, ends it first: no call sees
    // the store as it was more than that long before.
    static constexpr auto kLinger = std::chrono::milliseconds(1);
    bool lingering = false;
    Clock::time_point lingerSince;
    sqlite3_int64 lingerKey = 0; // the key the lookup found

    void Linger() {
        Settle();
        if (!inBatch && !broken && Run("BEGIN") == SQLITE_OK) {
            lingering = true;
            lingerSince = Clock::now();
        }
    }
    // Ends a lingering read transaction.
    void Settle() {
        if (lingering) {
            lingering = false;
            Run("COMMIT");
        }
    }
    // Whether the lingering transaction may serve this call; it is ended otherwise.
    bool Lingers() {
        if (lingering && Clock::now() - lingerSince < kLinger) {
            return true;
        }
        Settle();
        return false;
    }

    // Runs a prepared statement that returns no rows (BEGIN, COMMIT, ...).
    int Run(const char* sql) {
        sqlite3_stmt* stmt = Prepare(sql);
        if (stmt == nullptr) {
            return sqlite3_errcode(db);
        }
        int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        return rc == SQLITE_DONE || rc == SQLITE_ROW ? SQLITE_OK : rc;
    }

    // Brings a store of an older version up to date.
    int Upgrade(sqlite3_int64 version);

    // The root index (0-2) of a root's id, -1 for another key.
    int RootOf(sqlite3_int64 id) const {
        for (int i = 0; i < 3; ++i) {
            if (rootIds[i] == id) {
                return i;
            }
        }
        return -1;
    }

    // Root, stored path and folded path of a key; ERROR_KEY_DELETED when it is gone.
    LONG Describe(sqlite3_int64 id, int* root, std::string* path, std::string* folded);
    // The key at a folded path below `base`.
    LONG Lookup(sqlite3_int64 base, const std::string& foldedPath, sqlite3_int64* id);
    // ERROR_SUCCESS when the key exists, else ERROR_KEY_DELETED.
    LONG Exists(sqlite3_int64 id);
    // The key id in the first column of the row `rc` stepped to: `noRow` when there was no
    // row, ERROR_FILE_NOT_FOUND when the id is NULL.
    LONG KeyIdOfRow(const Statement& st, int rc, LONG noRow, sqlite3_int64* id);
    // Lists the rows `sql` gives for an existing key (?1) into *out, one `row(statement)` each,
    // in the order of `sql`; *out is left empty when the listing fails.
    template <class T, class Row>
    LONG ListRows(KeyId key, const char* sql, std::vector<T>* out, Row&& row) {
        Settle();
        if (broken) {
            return ERROR_BADDB;
        }
        LONG rc = Exists(key);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        Statement st(Prepare(sql));
        if (!st.Ok()) {
            return PrepareFailed(false);
        }
        st.Bind(1, key);
        out->clear();
        int step;
        while ((step = st.Step()) == SQLITE_ROW) {
            out->push_back(row(st));
        }
        if (step != SQLITE_DONE) {
            out->clear();
            return Fail(step, false);
        }
        return ERROR_SUCCESS;
    }

    // Opens or creates the schema, and runs the quick integrity check when `check`; a file that
    // is not a store is left as it was. *rc receives the SQLite result of a failure.
    LONG OpenSchema(bool check, std::string* error, int* rc);
    // Opens the connection; the store is read-only for it when `readOnly`, and also `immutable`
    // (nothing can change it: its folder cannot be written and it has no journal).
    LONG Connect(bool readOnly, bool immutable, std::string* error);
    // The integrity check: the first problems found, "" when there are none.
    int CheckIntegrity(const char* pragma, std::string* problems);
};

namespace {

// The first number a pragma returns, or the SQLite error.
int QueryPragma(sqlite3* db, const char* sql, sqlite3_int64* value) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            *value = sqlite3_column_int64(stmt, 0);
            rc = SQLITE_OK;
        }
    }
    if (rc == SQLITE_OK) {
        sqlite3_finalize(stmt);
        return rc;
    }
    rc = sqlite3_errcode(db); // the statement's error, before finalize forgets it
    sqlite3_finalize(stmt);
    return rc;
}

} // namespace

int SqliteRegistry::Impl::CheckIntegrity(const char* pragma, std::string* problems) {
    problems->clear();
    sqlite3_stmt* check = nullptr;
    int rc = sqlite3_prepare_v2(db, pragma, -1, &check, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(check)) == SQLITE_ROW) {
        const auto* line = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
        std::string text = line != nullptr ? line : "";
        if (text != "ok") {
            *problems += (problems->empty() ? "" : "; ") + text;
        }
        rc = SQLITE_OK;
    }
    if (rc == SQLITE_DONE) {
        rc = problems->empty() ? SQLITE_OK : SQLITE_CORRUPT;
    } else if (rc != SQLITE_OK) {
        rc = sqlite3_errcode(db);
    }
    sqlite3_finalize(check);
    return rc;
}

LONG SqliteRegistry::Impl::OpenSchema(bool check, std::string* error, int* lastRc) {
    auto fail = [&](int rc, const std::string& what) {
        *lastRc = rc;
        LONG code = Fail(rc, false);
        if (code == ERROR_BADDB) {
            *error = "the registry store " + storePath + " " + what + "; it was left unchanged";
        } else if (code == ERROR_LOCK_VIOLATION) {
            *error = "the registry store " + storePath + " is locked by another program";
        } else {
            *error = "cannot read the registry store " + storePath + ": " + sqlite3_errstr(rc);
        }
        return code;
    };

    sqlite3_int64 appId = 0;
    sqlite3_int64 version = 0;
    sqlite3_int64 objects = 0;
    // One read transaction, so that a store another process is making at this moment is seen
    // either empty or made, never half way (its id still 0 but its tables there).
    int rc = Exec("BEGIN");
    if (rc == SQLITE_OK) {
        rc = QueryPragma(db, "PRAGMA application_id", &appId);
    }
    if (rc == SQLITE_OK) {
        rc = QueryPragma(db, "PRAGMA user_version", &version);
    }
    if (rc == SQLITE_OK && appId != kApplicationId) {
        rc = QueryPragma(db, "SELECT count(*) FROM sqlite_schema", &objects);
    }
    Exec(rc == SQLITE_OK ? "COMMIT" : "ROLLBACK");
    if (rc != SQLITE_OK) {
        return fail(rc, "is not a database or is damaged");
    }
    // An empty file, or an SQLite file with no schema and no version of its own, becomes a store;
    // anything else belongs to another program.
    if (appId != kApplicationId && (appId != 0 || objects != 0 || version != 0)) {
        return fail(SQLITE_NOTADB, "is a database of another program");
    }
    if (appId == kApplicationId && version > kSchemaVersion) {
        return fail(SQLITE_NOTADB, "was made by a newer version of this program");
    }

    if (appId != kApplicationId) {
        // An empty file: make the store. Another process may be doing the same; the write lock
        // decides, and the loser finds the store made.
        rc = Exec("PRAGMA journal_mode = WAL");
        if (rc == SQLITE_OK) {
            rc = Exec("BEGIN IMMEDIATE");
        }
        if (rc != SQLITE_OK) {
            return fail(rc, "cannot be made");
        }
        rc = QueryPragma(db, "PRAGMA application_id", &appId);
        if (rc == SQLITE_OK && appId != kApplicationId) {
            rc = Exec(kTables);
            if (rc == SQLITE_OK) {
                rc = Exec("INSERT INTO keys(root, parent, path, name, folded) VALUES "
                          "(0, NULL, '', '', ''), (1, NULL, '', '', ''), (2, NULL, '', '', '')");
            }
            if (rc == SQLITE_OK) {
                rc = Exec(kSchemaEnd);
            }
        }
        if (rc == SQLITE_OK) {
            rc = Exec("COMMIT");
        }
        if (rc != SQLITE_OK) {
            Exec("ROLLBACK");
            return fail(rc, "cannot be made");
        }
    } else if (!readOnly) {
        sqlite3_int64 unused = 0;
        // journal_mode answers with text; only its success matters here.
        rc = QueryPragma(db, "PRAGMA journal_mode = WAL", &unused);
        if (rc != SQLITE_OK && (rc & 0xFF) != SQLITE_READONLY) {
            return fail(rc, "is damaged");
        }
    }
    // Commits reach the journal without a sync: safe against a kill, and the journal's checksums
    // keep the store whole through a crash of the machine. RegFlushKey syncs the journal.
    Exec("PRAGMA synchronous = NORMAL");
    Exec("PRAGMA journal_size_limit = 524288");
    if (appId == kApplicationId && version >= 1 && version < kSchemaVersion) {
        rc = Upgrade(version);
        if (rc != SQLITE_OK) {
            return fail(rc, readOnly ? "was made by an older version of this program and cannot "
                                       "be brought up to date while it is read-only"
                                     : "cannot be brought up to date");
        }
    }
    static_assert(kLargeJournal == 524288);

    // Damage must be found before the first write: a write to a damaged file would reach the
    // file at the next checkpoint. The check reads every page, so it runs only when damage is
    // possible: after an unclean end, or when the files changed while the store was closed.
    if (check) {
        std::string problems;
        rc = CheckIntegrity("PRAGMA quick_check(1)", &problems);
        if (rc != SQLITE_OK) {
            return fail(rc, "is damaged");
        }
        sqlite3_db_release_memory(db); // later calls read only what they need
    }

    sqlite3_stmt* roots = nullptr;
    rc = sqlite3_prepare_v2(db, "SELECT root, id FROM keys WHERE parent IS NULL AND path = ''", -1,
                            &roots, nullptr);
    int found = 0;
    while (rc == SQLITE_OK && (rc = sqlite3_step(roots)) == SQLITE_ROW) {
        sqlite3_int64 index = sqlite3_column_int64(roots, 0);
        if (index >= 0 && index < 3) {
            rootIds[index] = sqlite3_column_int64(roots, 1);
            ++found;
        }
        rc = SQLITE_OK;
    }
    if (rc != SQLITE_DONE) {
        rc = sqlite3_errcode(db);
    }
    sqlite3_finalize(roots);
    if (rc != SQLITE_DONE) {
        return fail(rc, "is damaged");
    }
    if (found != 3) {
        return fail(SQLITE_NOTADB, "is damaged (a root key is missing)");
    }
    return ERROR_SUCCESS;
}

LONG SqliteRegistry::Impl::Connect(bool asReadOnly, bool immutable, std::string* error) {
    if (db != nullptr) {
        sqlite3_close_v2(db);
        db = nullptr;
    }
    std::string name = storePath;
    int flags = asReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (immutable) {
        // As a URI, with the characters that mean something there escaped.
        name = "file:";
        for (char c : storePath) {
            if (c == '%' || c == '?' || c == '#') {
                char escaped[4];
                std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
                name += escaped;
            } else {
                name += c;
            }
        }
        name += "?immutable=1";
        flags |= SQLITE_OPEN_URI;
    }
    int rc = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        int err = sqlite3_system_errno(db);
        *error = "cannot open the registry store " + storePath + ": " +
                 (err != 0 ? std::strerror(err) : sqlite3_errstr(rc));
        return err != 0 ? CodeFromErrno(err) : ERROR_CANTOPEN;
    }
    // A store file that cannot be written is opened for reading by SQLite itself.
    readOnly = sqlite3_db_readonly(db, "main") == 1;
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_handler(db, &Impl::Busy, this);
    // The journal stays between runs, so it is neither made (with a sync of its folder) nor
    // folded into the store file (two more syncs) at every run.
    int on = 1;
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &on);
    return ERROR_SUCCESS;
}

std::unique_ptr<SqliteRegistry> SqliteRegistry::Open(const std::string& path,
                                                     const Options& options, std::string* error,
                                                     LONG* code) {
    LONG unusedCode = 0;
    if (code == nullptr) {
        code = &unusedCode;
    }
    auto failWith = [&](LONG c, const std::string& message) {
        *code = c;
        *error = message;
        return nullptr;
    };
    if (path.empty()) {
        return failWith(ERROR_PATH_NOT_FOUND,
                        "no place for the registry store: set SKYVANE_REGISTRY or HOME");
    }

    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        int err = errno;
        if (err != ENOENT) {
            return failWith(CodeFromErrno(err),
                            "cannot open the registry store " + path + ": " + std::strerror(err));
        }
        if (!options.create) {
            return failWith(ERROR_FILE_NOT_FOUND, "the registry store " + path + " does not exist");
        }
        err = MakeParentFolders(path);
        if (err == 0) {
            // The file is made here rather than by SQLite so that it is private from the start;
            // SQLite gives its -wal and -shm files the same mode.
            int fd = open(path.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
            if (fd >= 0) {
                fchmod(fd, 0600);
                close(fd);
            } else if (errno != EEXIST) {
                err = errno;
            }
        }
        if (err != 0) {
            return failWith(CodeFromErrno(err),
                            "cannot make the registry store " + path + ": " + std::strerror(err));
        }
    } else if (!S_ISREG(st.st_mode)) {
        return failWith(ERROR_CANTOPEN, "the registry store " + path + " is not a file");
    }

    auto impl = std::make_unique<Impl>();
    impl->storePath = path;
    impl->busyTimeoutMs = options.busyTimeoutMs;
    // Whether the files may have been damaged since they were last known sound: the first user
    // finds out from the lock file, and others wait until it has looked; without a lock file (a
    // folder that cannot be written) a process cannot tell.
    bool joined = impl->lock.Join(path, options.busyTimeoutMs);
    bool check = !joined || (impl->lock.First() && impl->lock.LeftAs() != Fingerprint(path));

    std::string message;
    LONG prepared = impl->Connect(false, false, &message);
    int rc = SQLITE_OK;
    if (prepared == ERROR_SUCCESS) {
        prepared = impl->OpenSchema(check && !impl->readOnly, &message, &rc);
    }
    // A folder that cannot be written keeps SQLite from making the journal files it needs to
    // write: the store is then read as it is.
    if (prepared != ERROR_SUCCESS &&
        ((rc & 0xFF) == SQLITE_READONLY || (rc & 0xFF) == SQLITE_CANTOPEN ||
         prepared == ERROR_ACCESS_DENIED)) {
        struct stat journal;
        bool noJournal = stat((path + "-wal").c_str(), &journal) != 0 || journal.st_size == 0;
        std::string retry;
        prepared = impl->Connect(true, false, &retry);
        if (prepared == ERROR_SUCCESS) {
            prepared = impl->OpenSchema(false, &retry, &rc);
        }
        if (prepared != ERROR_SUCCESS && noJournal && access(path.c_str(), R_OK) == 0) {
            prepared = impl->Connect(true, true, &retry);
            if (prepared == ERROR_SUCCESS) {
                prepared = impl->OpenSchema(false, &retry, &rc);
            }
        }
        if (prepared == ERROR_SUCCESS) {
            impl->readOnly = true;
        } else if (prepared != ERROR_BADDB && access(path.c_str(), R_OK) != 0) {
            prepared = ERROR_ACCESS_DENIED; // the file cannot even be read: as it was said first
        } else if (prepared != ERROR_BADDB) {
            prepared = ERROR_ACCESS_DENIED;
            message = "cannot read the registry store " + path +
                      ": it cannot be written, and its folder cannot be written either to hold"
                      " the journal files SQLite needs";
        } else {
            message = retry;
        }
    }
    if (prepared != ERROR_SUCCESS) {
        return failWith(prepared, message); // a file that is not a store keeps its mode too
    }
    impl->lock.Settle();
    MakePrivate(path);
    if (impl->readOnly) {
        std::fprintf(stderr,
                     "%s: the registry store %s cannot be written (%s); its values can be read,"
                     " changes to it are refused\n",
                     ProgramName(), path.c_str(),
                     access(path.c_str(), W_OK) != 0 ? "the file is read-only"
                                                     : "its folder is read-only");
    }
    impl->sound = !check || !impl->readOnly;
    return std::unique_ptr<SqliteRegistry>(new SqliteRegistry(std::move(impl)));
}

SqliteRegistry::SqliteRegistry(std::unique_ptr<Impl> impl) : m_pImpl(std::move(impl)) {}
SqliteRegistry::~SqliteRegistry() = default;

const std::string& SqliteRegistry::Path() const {
    return m_pImpl->storePath;
}

namespace {

// fold_name(text): the name folded as lookups compare it, for bringing old stores up to date.
void FoldName(sqlite3_context* context, int, sqlite3_value** args) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
    std::string folded =
        keypath::Fold(text != nullptr ? std::string_view(text, sqlite3_value_bytes(args[0]))
                                      : std::string_view());
    sqlite3_result_text(context, folded.data(), static_cast<int>(folded.size()), SQLITE_TRANSIENT);
}

// The folded form of a path below a key whose folded path is `base`.
std::string FoldedBelow(const std::string& base, const std::vector<std::string>& names) {
    std::string folded = base;
    for (const std::string& name : names) {
        folded = keypath::Join(folded, keypath::Fold(name));
    }
    return folded;
}

} // namespace

int SqliteRegistry::Impl::Upgrade(sqlite3_int64 version) {
    if (version != 1 || readOnly) {
        return SQLITE_READONLY;
    }
    int rc = sqlite3_create_function(db, "fold_name", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                     nullptr, &FoldName, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        rc = BeginWrite();
    }
    if (rc != SQLITE_OK) {
        return rc;
    }
    sqlite3_int64 current = 0;
    rc = QueryPragma(db, "PRAGMA user_version", &current);
    if (rc == SQLITE_OK && current == 1) { // another process may have done it meanwhile
        for (const char* sql : {kUpgradeFrom1, kTables, kUpgradeCopy, kSchemaEnd}) {
            if (rc == SQLITE_OK) {
                rc = Exec(sql);
            }
        }
    }
    rc = rc == SQLITE_OK ? Run("COMMIT") : rc;
    if (rc != SQLITE_OK) {
        Exec("ROLLBACK");
    }
    return rc;
}

LONG SqliteRegistry::Impl::Describe(sqlite3_int64 id, int* root, std::string* path,
                                    std::string* folded) {
    Statement st(Prepare("SELECT root, path, folded FROM keys WHERE id = ?1"));
    if (!st.Ok()) {
        return PrepareFailed(false);
    }
    int rc = st.Bind(1, id).Step();
    if (rc == SQLITE_DONE) {
        return ERROR_KEY_DELETED;
    }
    if (rc != SQLITE_ROW) {
        return Fail(rc, false);
    }
    *root = static_cast<int>(st.Int(0));
    *path = st.Text(1);
    *folded = st.Text(2);
    return ERROR_SUCCESS;
}

LONG SqliteRegistry::Impl::Exists(sqlite3_int64 id) {
    Statement st(Prepare("SELECT 1 FROM keys WHERE id = ?1"));
    if (!st.Ok()) {
        return PrepareFailed(false);
    }
    int rc = st.Bind(1, id).Step();
    return rc == SQLITE_ROW    ? ERROR_SUCCESS
           : rc == SQLITE_DONE ? ERROR_KEY_DELETED
                               : Fail(rc, false);
}

LONG SqliteRegistry::Impl::Lookup(sqlite3_int64 base, const std::string& foldedPath,
                                  sqlite3_int64* id) {
    if (broken) {
        return ERROR_BADDB;
    }
    int root = RootOf(base);
    if (root >= 0) {
        if (foldedPath.empty()) {
            *id = base;
            return ERROR_SUCCESS;
        }
        // The common case, one statement: a path from a root.
        Statement st(Prepare("SELECT id FROM keys WHERE root = ?1 AND folded = ?2"));
        if (!st.Ok()) {
            return PrepareFailed(false);
        }
        int rc = st.Bind(1, root).BindStatic(2, foldedPath).Step();
        return KeyIdOfRow(st, rc, ERROR_FILE_NOT_FOUND, id);
    }
    if (foldedPath.empty()) {
        LONG rc = Exists(base);
        if (rc == ERROR_SUCCESS) {
            *id = base;
        }
        return rc;
    }
    // Below another key, which may have been deleted: one joined statement tells both.
    Statement st(Prepare("SELECT k.id FROM keys b LEFT JOIN keys k ON k.root = b.root AND "
                         "k.folded = b.folded || '\\' || ?2 WHERE b.id = ?1"));
    if (!st.Ok()) {
        return PrepareFailed(false);
    }
    int rc = st.Bind(1, base).Bind(2, foldedPath).Step();
    return KeyIdOfRow(st, rc, ERROR_KEY_DELETED, id);
}

LONG SqliteRegistry::Impl::KeyIdOfRow(const Statement& st, int rc, LONG noRow, sqlite3_int64* id) {
    if (rc == SQLITE_DONE) {
        return noRow;
    }
    if (rc != SQLITE_ROW) {
        return Fail(rc, false);
    }
    if (sqlite3_column_type(st.Raw(), 0) == SQLITE_NULL) {
        return ERROR_FILE_NOT_FOUND;
    }
    *id = st.Int(0);
    return ERROR_SUCCESS;
}

KeyId SqliteRegistry::RootKey(HKEY root) {
    int index = keypath::RootIndex(root);
    return index >= 0 ? m_pImpl->rootIds[index] : 0;
}

LONG SqliteRegistry::FindKey(KeyId base, const std::string& path, REGSAM access, KeyId* id) {
    constexpr REGSAM kChanges = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | 0x00010000 /* DELETE */;
    if (m_pImpl->readOnly && (access & kChanges) != 0) {
        return ERROR_ACCESS_DENIED;
    }
    std::vector<std::string> names;
    if (!keypath::Split(path, &names)) {
        return ERROR_BAD_PATHNAME;
    }
    Impl& d = *m_pImpl;
    d.Linger();
    LONG rc = d.Lookup(base, FoldedBelow("", names), id);
    if (rc != ERROR_SUCCESS) {
        d.Settle();
    }
    d.lingerKey = rc == ERROR_SUCCESS ? *id : 0;
    return rc;
}

LONG SqliteRegistry::MakeKey(KeyId base, const std::string& path, const std::string& keyClass,
                             KeyId* id, bool* created) {
    std::vector<std::string> names;
    if (!keypath::Split(path, &names)) {
        return ERROR_BAD_PATHNAME;
    }
    Impl& d = *m_pImpl;
    d.Settle();
    bool isNew = false;
    LONG rc = d.Write([&]() -> LONG {
        isNew = false;
        int root = 0;
        std::string stored;
        std::string folded;
        LONG found = d.Describe(base, &root, &stored, &folded);
        if (found != ERROR_SUCCESS) {
            return found;
        }
        sqlite3_int64 key = base;
        for (size_t i = 0; i < names.size(); ++i) {
            std::string foldedName = keypath::Fold(names[i]);
            folded = keypath::Join(folded, foldedName);
            {
                Statement st(
                    d.Prepare("SELECT id, path FROM keys WHERE root = ?1 AND folded = ?2"));
                if (!st.Ok()) {
                    return d.PrepareFailed(true);
                }
                int step = st.Bind(1, root).Bind(2, folded).Step();
                if (step == SQLITE_ROW) {
                    key = st.Int(0);
                    stored = st.Text(1);
                    continue;
                }
                if (step != SQLITE_DONE) {
                    return d.Fail(step, true);
                }
            }
            // A new key keeps the case of the names given; its parents keep theirs.
            stored = keypath::Join(stored, names[i]);
            Statement st(d.Prepare("INSERT INTO keys(root, parent, path, name, folded, class) "
                                   "VALUES (?1, ?2, ?3, ?4, ?5, ?6)"));
            if (!st.Ok()) {
                return d.PrepareFailed(true);
            }
            st.Bind(1, root).Bind(2, key).Bind(3, stored).Bind(4, names[i]).Bind(5, folded);
            st.Bind(6, i + 1 == names.size() ? keyClass : std::string());
            int step = st.Step();
            if (step != SQLITE_DONE) {
                return d.Fail(step, true);
            }
            key = sqlite3_last_insert_rowid(d.db);
            isNew = true;
        }
        *id = key;
        return ERROR_SUCCESS;
    });
    if (rc == ERROR_SUCCESS && created != nullptr) {
        *created = isNew;
    }
    return rc;
}

LONG SqliteRegistry::GetValue(KeyId key, const std::string& name, RegistryValue* value) {
    Impl& d = *m_pImpl;
    d.Lingers();
    struct EndRead {
        Impl& d;
        ~EndRead() { d.Settle(); }
    } endRead{d};
    if (d.broken) {
        return ERROR_BADDB;
    }
    {
        const std::string folded = keypath::Fold(name);
        Statement st(d.Prepare("SELECT name, type, data FROM vals WHERE key = ?1 AND folded = ?2"));
        if (!st.Ok()) {
            return d.PrepareFailed(false);
        }
        int step = st.Bind(1, key).BindStatic(2, folded).Step();
        if (step == SQLITE_ROW) {
            value->name = st.Text(0);
            value->type = static_cast<DWORD>(st.Int(1));
            value->data = st.Blob(2);
            return ERROR_SUCCESS;
        }
        if (step != SQLITE_DONE) {
            return d.Fail(step, false);
        }
    }
    // A deleted key has no values left; tell it from a missing value.
    LONG rc = d.Exists(key);
    return rc == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : rc;
}

LONG SqliteRegistry::PutValue(KeyId key, const RegistryValue& value) {
    Impl& d = *m_pImpl;
    // One statement that also proves the key is there. The value keeps the name (and the place)
    // it was created with.
    const std::string folded = keypath::Fold(value.name);
    // `known`: the key was found in this very transaction, so it needs no proof.
    auto upsert = [&](bool known) -> int {
        Statement st(d.Prepare(
            known ? "INSERT INTO vals(key, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5) "
                    "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, "
                    "data = excluded.data"
                  : "INSERT INTO vals(key, name, folded, type, data) "
                    "SELECT id, ?2, ?3, ?4, ?5 FROM keys WHERE id = ?1 "
                    "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, "
                    "data = excluded.data"));
        if (!st.Ok()) {
            return sqlite3_errcode(d.db);
        }
        st.Bind(1, key).BindStatic(2, value.name).BindStatic(3, folded);
        st.Bind(4, static_cast<sqlite3_int64>(value.type)).BindBlob(5, value.data);
        return st.Step();
    };
    // Right after the key's lookup, the lookup's read transaction becomes the write, unless
    // another writer waits for its turn or has written since: then the write queues as usual.
    if (d.Lingers() && !d.readOnly && !d.lock.OthersWaiting()) {
        d.lingering = false;
        int busyTimeout = d.busyTimeoutMs;
        d.busyTimeoutMs = 0; // a writer in the way sends this one to the queue at once
        int step = upsert(d.lingerKey == key);
        d.busyTimeoutMs = busyTimeout;
        if (step == SQLITE_DONE) {
            if (sqlite3_changes(d.db) == 0) {
                d.Run("ROLLBACK");
                return ERROR_KEY_DELETED;
            }
            int rc = d.Run("COMMIT");
            if (rc == SQLITE_OK) {
                d.wrote = true;
                return ERROR_SUCCESS;
            }
            step = rc;
        }
        d.Run("ROLLBACK");
        if ((step & 0xFF) != SQLITE_BUSY && (step & 0xFF) != SQLITE_LOCKED) {
            return d.Fail(step, true);
        }
    }
    d.Settle();
    return d.Write([&]() -> LONG {
        int step = upsert(false);
        if (step != SQLITE_DONE) {
            return d.Fail(step, true);
        }
        return sqlite3_changes(d.db) > 0 ? ERROR_SUCCESS : ERROR_KEY_DELETED;
    });
}

LONG SqliteRegistry::RemoveValue(KeyId key, const std::string& name) {
    Impl& d = *m_pImpl;
    d.Settle();
    return d.Write([&]() -> LONG {
        Statement st(d.Prepare("DELETE FROM vals WHERE key = ?1 AND folded = ?2"));
        if (!st.Ok()) {
            return d.PrepareFailed(true);
        }
        int step = st.Bind(1, key).Bind(2, keypath::Fold(name)).Step();
        if (step != SQLITE_DONE) {
            return d.Fail(step, true);
        }
        if (sqlite3_changes(d.db) > 0) {
            return ERROR_SUCCESS;
        }
        LONG rc = d.Exists(key);
        return rc == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : rc;
    });
}

LONG SqliteRegistry::RemoveKey(KeyId base, const std::string& path) {
    std::vector<std::string> names;
    if (!keypath::Split(path, &names)) {
        return ERROR_BAD_PATHNAME;
    }
    Impl& d = *m_pImpl;
    d.Settle();
    return d.Write([&]() -> LONG {
        sqlite3_int64 id = 0;
        LONG rc = d.Lookup(base, FoldedBelow("", names), &id);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (d.RootOf(id) >= 0) {
            return ERROR_ACCESS_DENIED; // a root is never deleted
        }
        {
            Statement st(d.Prepare("SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1"));
            if (!st.Ok()) {
                return d.PrepareFailed(true);
            }
            int step = st.Bind(1, id).Step();
            if (step == SQLITE_ROW) {
                return ERROR_ACCESS_DENIED; // as on Windows: subkeys go first
            }
            if (step != SQLITE_DONE) {
                return d.Fail(step, true);
            }
        }
        for (const char* sql :
             {"DELETE FROM vals WHERE key = ?1", "DELETE FROM keys WHERE id = ?1"}) {
            Statement st(d.Prepare(sql));
            if (!st.Ok()) {
                return d.PrepareFailed(true);
            }
            int step = st.Bind(1, id).Step();
            if (step != SQLITE_DONE) {
                return d.Fail(step, true);
            }
        }
        return ERROR_SUCCESS;
    });
}

LONG SqliteRegistry::ListKeys(KeyId key, std::vector<std::string>* names) {
    return m_pImpl->ListRows(key, "SELECT name FROM keys WHERE parent = ?1 ORDER BY folded", names,
                             [](const Statement& st) { return st.Text(0); });
}

LONG SqliteRegistry::ListValues(KeyId key, std::vector<RegistryValue>* values) {
    return m_pImpl->ListRows(
        key, "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY id", values,
        [](const Statement& st) {
            return RegistryValue{st.Text(0), static_cast<DWORD>(st.Int(1)), st.Blob(2)};
        });
}

LONG SqliteRegistry::GetKeyClass(KeyId key, std::string* keyClass) {
    Impl& d = *m_pImpl;
    d.Settle();
    if (d.broken) {
        return ERROR_BADDB;
    }
    Statement st(d.Prepare("SELECT class FROM keys WHERE id = ?1"));
    if (!st.Ok()) {
        return d.PrepareFailed(false);
    }
    int step = st.Bind(1, key).Step();
    if (step == SQLITE_DONE) {
        return ERROR_KEY_DELETED;
    }
    if (step != SQLITE_ROW) {
        return d.Fail(step, false);
    }
    *keyClass = st.Text(0);
    return ERROR_SUCCESS;
}

LONG SqliteRegistry::Flush(HKEY root) {
    Impl& d = *m_pImpl;
    d.Settle();
    if (keypath::RootIndex(root) < 0) {
        return ERROR_INVALID_HANDLE;
    }
    if (d.broken) {
        return ERROR_BADDB;
    }
    // Every commit is in the journal already; one sync of the journal puts it on the disk. This
    // takes no lock, so another process's reads or writes never make it fail. A journal that is
    // gone was folded into the store file, and synced there, by the process that removed it.
    int fd = open(d.JournalPath().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT || d.readOnly ? ERROR_SUCCESS : ERROR_CANTWRITE;
    }
    int rc;
    while ((rc = fdatasync(fd)) != 0 && errno == EINTR) {
    }
    close(fd);
    return rc == 0 ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

LONG SqliteRegistry::Check(std::string* problems) {
    Impl& d = *m_pImpl;
    d.Settle();
    problems->clear();
    if (d.broken) {
        *problems = "damage was found earlier";
        return ERROR_BADDB;
    }
    int rc = d.CheckIntegrity("PRAGMA integrity_check(20)", problems);
    if (rc == SQLITE_OK) {
        sqlite3_db_release_memory(d.db);
        return ERROR_SUCCESS;
    }
    if (problems->empty()) {
        *problems = sqlite3_errstr(rc);
    }
    return d.Fail(rc, false);
}

void SqliteRegistry::KeyClosed() {
    m_pImpl->Settle();
}

bool SqliteRegistry::ReadOnly() const {
    return m_pImpl->readOnly;
}

LONG SqliteRegistry::BeginBatch() {
    Impl& d = *m_pImpl;
    d.Settle();
    if (d.broken) {
        return ERROR_BADDB;
    }
    if (d.inBatch) {
        return ERROR_INVALID_FUNCTION;
    }
    if (d.readOnly) {
        return ERROR_ACCESS_DENIED;
    }
    int rc = d.BeginWrite();
    if (rc != SQLITE_OK) {
        return d.Fail(rc, true);
    }
    d.inBatch = true;
    return ERROR_SUCCESS;
}

LONG SqliteRegistry::CommitBatch() {
    Impl& d = *m_pImpl;
    if (!d.inBatch) {
        return ERROR_INVALID_FUNCTION;
    }
    d.inBatch = false;
    int rc = d.Run("COMMIT");
    if (rc != SQLITE_OK) {
        LONG code = d.Fail(rc, true);
        d.Exec("ROLLBACK");
        return code;
    }
    d.wrote = true;
    return ERROR_SUCCESS;
}

void SqliteRegistry::RollbackBatch() {
    Impl& d = *m_pImpl;
    if (d.inBatch) {
        d.inBatch = false;
        d.Exec("ROLLBACK");
    }
}

std::string DefaultRegistryPath() {
    const char* explicitPath = std::getenv("SKYVANE_REGISTRY");
    if (explicitPath != nullptr && explicitPath[0] != '\0') {
        return explicitPath;
    }
    std::string home;
    const char* homeVar = std::getenv("HOME");
    if (homeVar != nullptr && homeVar[0] != '\0') {
        home = homeVar;
    } else if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        home = pw->pw_dir;
    }
    const std::string dataHome = XdgBaseFolder("XDG_DATA_HOME", BelowHome(home, ".local/share"));
    return dataHome.empty() ? "" : dataHome + "/skyvane/registry.db";
}

} // namespace platform
