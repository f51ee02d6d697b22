// SQLCipher connection and statement owners.
#include "catalog/sqlcipher_database.h"

#include <sqlcipher/sqlite3.h>

#include "catalog/catalog_error.h"

SqlCipherDatabase::SqlCipherDatabase(const std::filesystem::path& file, Mode mode) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX |
                      (mode == Mode::CreateNew ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        const std::string message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        db = nullptr;
        throw CatalogError("cannot open catalogue " + file.string() + ": " + message);
    }
    sqlite3_busy_timeout(db, busyTimeoutMs);
    try {
        Execute(std::string("PRAGMA key = '") + catalogKey + "'");
        // The key is only tried at the first read: a wrong one fails here.
        Statement check(*this, "SELECT count(*) FROM sqlite_master");
        check.Step();
    } catch (...) {
        sqlite3_close(db);
        db = nullptr;
        throw;
    }
}

SqlCipherDatabase::~SqlCipherDatabase() {
    sqlite3_close(db);
}

void SqlCipherDatabase::Execute(const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) Fail("catalogue");
}

void SqlCipherDatabase::InTransaction(const std::function<void()>& work) {
    Execute("BEGIN IMMEDIATE");
    try {
        work();
        Execute("COMMIT");
    } catch (...) {
        Execute("ROLLBACK");
        throw;
    }
}

void SqlCipherDatabase::Fail(const std::string& what) const {
    throw CatalogError(what + ": " + sqlite3_errmsg(db));
}

Statement::Statement(const SqlCipherDatabase& owner, const std::string& sql) : database(owner) {
    if (sqlite3_prepare_v2(database.Handle(), sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        database.Fail("catalogue");
}

Statement::~Statement() {
    sqlite3_finalize(statement);
}

void Statement::Bind(int index, const std::string& text) {
    if (sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK)
        database.Fail("catalogue");
}

void Statement::Bind(int index, long long value) {
    if (sqlite3_bind_int64(statement, index, value) != SQLITE_OK) database.Fail("catalogue");
}

bool Statement::Step() {
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    database.Fail("catalogue");
}

std::string Statement::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement, column)))
                : std::string();
}

long long Statement::Integer(int column) const {
    return sqlite3_column_int64(statement, column);
}
