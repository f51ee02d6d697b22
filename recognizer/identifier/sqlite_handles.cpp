// SQLite connection and statement owners.
#include "identifier/sqlite_handles.h"

#include <sqlcipher/sqlite3.h>

#include "morlin/identifier.h"

SqliteConnection::SqliteConnection(const std::string& file, Mode mode, const std::string& key,
                                   int busyWaitMs)
    : path(file) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX |
                      (mode == Mode::Create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        const std::string message = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        db = nullptr;
        throw morlin::Error(path + ": cannot be opened: " + message);
    }
    sqlite3_busy_timeout(db, busyWaitMs);
    // A key needs SQLCipher's functions; in a process where another SQLite
    // came first they may not be the ones called, and the model would be
    // written in clear (or worse): refused instead.
    if (!key.empty() && !IsSqlCipher()) {
        sqlite3_close(db);
        db = nullptr;
        throw morlin::Error(path +
                            ": the SQLite this program runs is not SQLCipher, so the "
                            "model's key cannot be applied (another SQLite library was loaded "
                            "first)");
    }
    if (!key.empty() && sqlite3_key(db, key.data(), static_cast<int>(key.size())) != SQLITE_OK) {
        const std::string message = sqlite3_errmsg(db);
        sqlite3_close(db);
        db = nullptr;
        throw morlin::Error(path + ": the key cannot be applied: " + message);
    }
}

bool SqliteConnection::IsSqlCipher() {
    bool answered = false;
    sqlite3_exec(
        db, "PRAGMA cipher_version",
        [](void* seen, int, char**, char**) {
            *static_cast<bool*>(seen) = true;
            return 0;
        },
        &answered, nullptr);
    return answered;
}

SqliteConnection::~SqliteConnection() {
    sqlite3_close(db);
}

void SqliteConnection::Execute(const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) Fail(sql);
}

int64_t SqliteConnection::Integer(const std::string& sql) {
    SqliteStatement statement(*this, sql);
    return statement.Step() ? statement.Integer(0) : 0;
}

void SqliteConnection::Transaction(bool write, const std::function<void()>& work) {
    Execute(write ? "BEGIN IMMEDIATE" : "BEGIN");
    try {
        work();
        Execute("COMMIT");
    } catch (...) {
        // A failed COMMIT may have ended the transaction already.
        if (InTransaction()) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

bool SqliteConnection::InTransaction() const {
    return sqlite3_get_autocommit(db) == 0;
}

void SqliteConnection::Fail(const std::string& what) const {
    throw morlin::Error(path + ": " + what + ": " + sqlite3_errmsg(db));
}

int SqliteConnection::LastCode() const {
    return sqlite3_errcode(db);
}

SqliteStatement::SqliteStatement(SqliteConnection& owner, const std::string& sql)
    : connection(owner) {
    if (sqlite3_prepare_v2(connection.Handle(), sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        connection.Fail("cannot prepare " + sql);
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(statement);
}

SqliteStatement& SqliteStatement::Bind(int index, int64_t value) {
    if (sqlite3_bind_int64(statement, index, value) != SQLITE_OK) connection.Fail("bind");
    return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, double value) {
    if (sqlite3_bind_double(statement, index, value) != SQLITE_OK) connection.Fail("bind");
    return *this;
}

SqliteStatement& SqliteStatement::BindBytes(int index, std::string_view bytes) {
    // A zero-length blob, not NULL, for an empty array.
    const int rc = bytes.empty() ? sqlite3_bind_zeroblob(statement, index, 0)
                                 : sqlite3_bind_blob64(statement, index, bytes.data(), bytes.size(),
                                                       SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) connection.Fail("bind");
    return *this;
}

SqliteStatement& SqliteStatement::BindNull(int index) {
    if (sqlite3_bind_null(statement, index) != SQLITE_OK) connection.Fail("bind");
    return *this;
}

bool SqliteStatement::Step() {
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    connection.Fail(sqlite3_sql(statement));
}

void SqliteStatement::Run() {
    while (Step()) {
    }
}

void SqliteStatement::Reset() {
    sqlite3_reset(statement);
}

int64_t SqliteStatement::Integer(int column) const {
    return sqlite3_column_int64(statement, column);
}

double SqliteStatement::Real(int column) const {
    return sqlite3_column_double(statement, column);
}

bool SqliteStatement::IsNull(int column) const {
    return sqlite3_column_type(statement, column) == SQLITE_NULL;
}

std::string_view SqliteStatement::Bytes(int column) const {
    const void* data = sqlite3_column_blob(statement, column);
    const int size = sqlite3_column_bytes(statement, column);
    return data == nullptr
               ? std::string_view()
               : std::string_view(static_cast<const char*>(data), static_cast<size_t>(size));
}
