#include "platform/registry_sqlite.h"

#include "KeyPath.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace platform {

namespace {

// Marks a file as a registry store ("SkVR"); a database without it is some other program's.
constexpr int kApplicationId = 0x536B5652;
constexpr int kSchemaVersion = 1;

constexpr const char* kSchema = R"sql(
CREATE TABLE keys(
    id INTEGER PRIMARY KEY,
    root INTEGER NOT NULL,
    parent INTEGER,
    path TEXT NOT NULL COLLATE NOCASE,
    name TEXT NOT NULL COLLATE NOCASE,
    class TEXT NOT NULL DEFAULT '',
    UNIQUE(root, path));
CREATE INDEX keys_by_parent ON keys(parent, name);
CREATE TABLE vals(
    key INTEGER NOT NULL,
    name TEXT NOT NULL COLLATE NOCASE,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    PRIMARY KEY(key, name)) WITHOUT ROWID;
INSERT INTO keys(root, parent, path, name) VALUES (0, NULL, '', ''), (1, NULL, '', ''),
    (2, NULL, '', '');
PRAGMA application_id = 1399543378;
PRAGMA user_version = 1;
)sql";
static_assert(kApplicationId == 1399543378);

LONG CodeFromErrno(int err) {
    switch (err) {
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    default:
        return ERROR_CANTOPEN;
    }
}

// Creates the missing folders of a file's path, mode 0700 as XDG asks for data folders.
int MakeParentFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            return errno;
        }
    }
    return 0;
}

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
    Statement& BindBlob(int i, const std::vector<BYTE>& bytes) {
        static const BYTE kNothing = 0; // a non-null pointer keeps empty data a blob, not NULL
        sqlite3_bind_blob(m_stmt, i, bytes.empty() ? &kNothing : bytes.data(),
                          static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
        return *this;
    }
    int Step() { return sqlite3_step(m_stmt); }
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

    ~Impl() {
        if (inBatch) {
            Exec("ROLLBACK");
        }
        for (auto& [sql, stmt] : statements) {
            sqlite3_finalize(stmt);
        }
        sqlite3_close_v2(db);
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
        int rc = Exec(inBatch ? "SAVEPOINT op" : "BEGIN IMMEDIATE");
        if (rc != SQLITE_OK) {
            return Fail(rc, true);
        }
        LONG result = body();
        if (result == ERROR_SUCCESS) {
            rc = Exec(inBatch ? "RELEASE op" : "COMMIT");
            if (rc == SQLITE_OK) {
                return ERROR_SUCCESS;
            }
            result = Fail(rc, true);
        }
        Exec(inBatch ? "ROLLBACK TO op; RELEASE op" : "ROLLBACK");
        return result;
    }

    // Looks a key up by its path (names compared without ASCII case); ERROR_FILE_NOT_FOUND when
    // it is missing. *storedPath receives the path as it was created.
    LONG FindKey(HKEY root, const std::string& path, sqlite3_int64* id,
                 std::string* storedPath = nullptr) {
        int index = keypath::RootIndex(root);
        if (index < 0) {
            return ERROR_INVALID_HANDLE;
        }
        if (broken) {
            return ERROR_BADDB;
        }
        if (path.empty()) {
            *id = rootIds[index];
            if (storedPath != nullptr) {
                storedPath->clear();
            }
            return ERROR_SUCCESS;
        }
        Statement st(Prepare("SELECT id, path FROM keys WHERE root = ?1 AND path = ?2"));
        if (!st.Ok()) {
            return PrepareFailed(false);
        }
        st.Bind(1, index).Bind(2, path);
        int rc = st.Step();
        if (rc == SQLITE_DONE) {
            return ERROR_FILE_NOT_FOUND;
        }
        if (rc != SQLITE_ROW) {
            return Fail(rc, false);
        }
        *id = st.Int(0);
        if (storedPath != nullptr) {
            *storedPath = st.Text(1);
        }
        return ERROR_SUCCESS;
    }

    // Opens or creates the schema; a file that is not a store is left as it was.
    LONG OpenSchema(std::string* error);
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

LONG SqliteRegistry::Impl::OpenSchema(std::string* error) {
    auto fail = [&](int rc, const std::string& what) {
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
    if (appId != kApplicationId && (appId != 0 || objects != 0)) {
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
            rc = Exec(kSchema);
        }
        if (rc == SQLITE_OK) {
            rc = Exec("COMMIT");
        }
        if (rc != SQLITE_OK) {
            Exec("ROLLBACK");
            return fail(rc, "cannot be made");
        }
    } else {
        sqlite3_int64 unused = 0;
        // journal_mode answers with text; only its success matters here.
        rc = QueryPragma(db, "PRAGMA journal_mode = WAL", &unused);
        if (rc != SQLITE_OK && (rc & 0xFF) != SQLITE_READONLY) {
            return fail(rc, "is damaged");
        }
    }
    Exec("PRAGMA synchronous = NORMAL");

    // Damage must be found before the first write: a write to a damaged file would reach the
    // file at the next checkpoint. The store is small, so the check costs little.
    sqlite3_stmt* check = nullptr;
    rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &check, nullptr);
    if (rc == SQLITE_OK && (rc = sqlite3_step(check)) == SQLITE_ROW) {
        const auto* verdict = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
        rc = verdict != nullptr && std::strcmp(verdict, "ok") == 0 ? SQLITE_OK : SQLITE_CORRUPT;
    } else if (rc != SQLITE_OK) {
        rc = sqlite3_errcode(db);
    }
    sqlite3_finalize(check);
    if (rc != SQLITE_OK) {
        return fail(rc, "is damaged");
    }
    sqlite3_db_release_memory(db); // the check read every page; later calls read what they need

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
    int rc = sqlite3_open_v2(path.c_str(), &impl->db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        int err = sqlite3_system_errno(impl->db);
        return failWith(err != 0 ? CodeFromErrno(err) : ERROR_CANTOPEN,
                        "cannot open the registry store " + path + ": " +
                            (err != 0 ? std::strerror(err) : sqlite3_errstr(rc)));
    }
    sqlite3_extended_result_codes(impl->db, 1);
    sqlite3_busy_timeout(impl->db, options.busyTimeoutMs);
    std::string message;
    LONG prepared = impl->OpenSchema(&message);
    if (prepared != ERROR_SUCCESS) {
        return failWith(prepared, message);
    }
    return std::unique_ptr<SqliteRegistry>(new SqliteRegistry(std::move(impl)));
}

SqliteRegistry::SqliteRegistry(std::unique_ptr<Impl> impl) : m_pImpl(std::move(impl)) {}
SqliteRegistry::~SqliteRegistry() = default;

const std::string& SqliteRegistry::Path() const {
    return m_pImpl->storePath;
}

LONG SqliteRegistry::OpenKey(HKEY root, const std::string& path, REGSAM /*access*/) {
    sqlite3_int64 id = 0;
    return m_pImpl->FindKey(root, path, &id);
}

LONG SqliteRegistry::CreateKey(HKEY root, const std::string& path, const std::string& keyClass,
                               bool* created) {
    int index = keypath::RootIndex(root);
    if (index < 0) {
        return ERROR_INVALID_HANDLE;
    }
    std::vector<std::string> names;
    if (!keypath::Split(path, &names)) {
        return ERROR_BAD_PATHNAME;
    }
    Impl& d = *m_pImpl;
    bool isNew = false;
    LONG rc = d.Write([&]() -> LONG {
        isNew = false;
        sqlite3_int64 id = d.rootIds[index];
        std::string wanted;
        std::string stored;
        for (size_t i = 0; i < names.size(); ++i) {
            wanted = keypath::Join(wanted, names[i]);
            std::string storedChild;
            LONG found = d.FindKey(root, wanted, &id, &storedChild);
            if (found == ERROR_SUCCESS) {
                stored = storedChild;
                continue;
            }
            if (found != ERROR_FILE_NOT_FOUND) {
                return found;
            }
            // A new key keeps the case of the names given; its parents keep theirs.
            stored = keypath::Join(stored, names[i]);
            Statement st(d.Prepare("INSERT INTO keys(root, parent, path, name, class) "
                                   "VALUES (?1, ?2, ?3, ?4, ?5)"));
            if (!st.Ok()) {
                return d.PrepareFailed(true);
            }
            st.Bind(1, index).Bind(2, id).Bind(3, stored).Bind(4, names[i]);
            st.Bind(5, i + 1 == names.size() ? keyClass : std::string());
            int step = st.Step();
            if (step != SQLITE_DONE) {
                return d.Fail(step, true);
            }
            id = sqlite3_last_insert_rowid(d.db);
            isNew = true;
        }
        return ERROR_SUCCESS;
    });
    if (rc == ERROR_SUCCESS && created != nullptr) {
        *created = isNew;
    }
    return rc;
}

LONG SqliteRegistry::QueryValue(HKEY root, const std::string& path, const std::string& name,
                                RegistryValue* value) {
    Impl& d = *m_pImpl;
    sqlite3_int64 id = 0;
    LONG rc = d.FindKey(root, path, &id);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    Statement st(d.Prepare("SELECT name, type, data FROM vals WHERE key = ?1 AND name = ?2"));
    if (!st.Ok()) {
        return d.PrepareFailed(false);
    }
    st.Bind(1, id).Bind(2, name);
    int step = st.Step();
    if (step == SQLITE_DONE) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (step != SQLITE_ROW) {
        return d.Fail(step, false);
    }
    value->name = st.Text(0);
    value->type = static_cast<DWORD>(st.Int(1));
    value->data = st.Blob(2);
    return ERROR_SUCCESS;
}

LONG SqliteRegistry::SetValue(HKEY root, const std::string& path, const RegistryValue& value) {
    Impl& d = *m_pImpl;
    return d.Write([&]() -> LONG {
        sqlite3_int64 id = 0;
        LONG rc = d.FindKey(root, path, &id);
        if (rc != ERROR_SUCCESS) {
            return rc; // a missing key is not made
        }
        // The value keeps the name it was created with.
        Statement st(d.Prepare("INSERT INTO vals(key, name, type, data) VALUES (?1, ?2, ?3, ?4) "
                               "ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, "
                               "data = excluded.data"));
        if (!st.Ok()) {
            return d.PrepareFailed(true);
        }
        st.Bind(1, id).Bind(2, value.name).Bind(3, static_cast<sqlite3_int64>(value.type));
        st.BindBlob(4, value.data);
        int step = st.Step();
        return step == SQLITE_DONE ? ERROR_SUCCESS : d.Fail(step, true);
    });
}

LONG SqliteRegistry::DeleteValue(HKEY root, const std::string& path, const std::string& name) {
    Impl& d = *m_pImpl;
    return d.Write([&]() -> LONG {
        sqlite3_int64 id = 0;
        LONG rc = d.FindKey(root, path, &id);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        Statement st(d.Prepare("DELETE FROM vals WHERE key = ?1 AND name = ?2"));
        if (!st.Ok()) {
            return d.PrepareFailed(true);
        }
        st.Bind(1, id).Bind(2, name);
        int step = st.Step();
        if (step != SQLITE_DONE) {
            return d.Fail(step, true);
        }
        return sqlite3_changes(d.db) > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

LONG SqliteRegistry::DeleteKey(HKEY root, const std::string& path) {
    Impl& d = *m_pImpl;
    if (path.empty()) {
        return keypath::RootIndex(root) < 0 ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED;
    }
    return d.Write([&]() -> LONG {
        sqlite3_int64 id = 0;
        LONG rc = d.FindKey(root, path, &id);
        if (rc != ERROR_SUCCESS) {
            return rc;
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

LONG SqliteRegistry::EnumKeys(HKEY root, const std::string& path, std::vector<std::string>* names) {
    Impl& d = *m_pImpl;
    sqlite3_int64 id = 0;
    LONG rc = d.FindKey(root, path, &id);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    Statement st(d.Prepare("SELECT name FROM keys WHERE parent = ?1 ORDER BY name"));
    if (!st.Ok()) {
        return d.PrepareFailed(false);
    }
    st.Bind(1, id);
    names->clear();
    int step;
    while ((step = st.Step()) == SQLITE_ROW) {
        names->push_back(st.Text(0));
    }
    if (step != SQLITE_DONE) {
        names->clear();
        return d.Fail(step, false);
    }
    return ERROR_SUCCESS;
}

LONG SqliteRegistry::EnumValues(HKEY root, const std::string& path,
                                std::vector<RegistryValue>* values) {
    Impl& d = *m_pImpl;
    sqlite3_int64 id = 0;
    LONG rc = d.FindKey(root, path, &id);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    Statement st(d.Prepare("SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY name"));
    if (!st.Ok()) {
        return d.PrepareFailed(false);
    }
    st.Bind(1, id);
    values->clear();
    int step;
    while ((step = st.Step()) == SQLITE_ROW) {
        values->push_back({st.Text(0), static_cast<DWORD>(st.Int(1)), st.Blob(2)});
    }
    if (step != SQLITE_DONE) {
        values->clear();
        return d.Fail(step, false);
    }
    return ERROR_SUCCESS;
}

LONG SqliteRegistry::QueryKeyClass(HKEY root, const std::string& path, std::string* keyClass) {
    Impl& d = *m_pImpl;
    sqlite3_int64 id = 0;
    LONG rc = d.FindKey(root, path, &id);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    Statement st(d.Prepare("SELECT class FROM keys WHERE id = ?1"));
    if (!st.Ok()) {
        return d.PrepareFailed(false);
    }
    int step = st.Bind(1, id).Step();
    if (step == SQLITE_DONE) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (step != SQLITE_ROW) {
        return d.Fail(step, false);
    }
    *keyClass = st.Text(0);
    return ERROR_SUCCESS;
}

LONG SqliteRegistry::Flush(HKEY root) {
    Impl& d = *m_pImpl;
    if (keypath::RootIndex(root) < 0) {
        return ERROR_INVALID_HANDLE;
    }
    if (d.broken) {
        return ERROR_BADDB;
    }
    // A full checkpoint syncs the journal, copies it into the store file and syncs that; it
    // waits (up to the time-out) for readers of older data to finish.
    int rc = sqlite3_wal_checkpoint_v2(d.db, nullptr, SQLITE_CHECKPOINT_FULL, nullptr, nullptr);
    return rc == SQLITE_OK ? ERROR_SUCCESS : d.Fail(rc, true);
}

LONG SqliteRegistry::BeginBatch() {
    Impl& d = *m_pImpl;
    if (d.broken) {
        return ERROR_BADDB;
    }
    if (d.inBatch) {
        return ERROR_INVALID_FUNCTION;
    }
    int rc = d.Exec("BEGIN IMMEDIATE");
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
    int rc = d.Exec("COMMIT");
    if (rc != SQLITE_OK) {
        LONG code = d.Fail(rc, true);
        d.Exec("ROLLBACK");
        return code;
    }
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
    // XDG: a relative XDG_DATA_HOME is invalid and ignored.
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        return std::string(dataHome) + "/skyvane/registry.db";
    }
    std::string home;
    const char* homeVar = std::getenv("HOME");
    if (homeVar != nullptr && homeVar[0] != '\0') {
        home = homeVar;
    } else if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        home = pw->pw_dir;
    }
    if (home.empty()) {
        return "";
    }
    return home + "/.local/share/skyvane/registry.db";
}

} // namespace platform
