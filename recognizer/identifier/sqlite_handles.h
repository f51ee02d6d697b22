// Thin owners of an SQLite connection (SQLCipher's build, so a database may
// be encrypted with a key) and of a prepared statement. Every failure throws
// morlin::Error naming the database file and SQLite's reason.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

class SqliteConnection {
public:
    enum class Mode { ReadWrite, Create };

    // Opens path (Create: made when missing), applies key when not empty,
    // waits up to busyWaitMs for another connection's lock. Whether the key
    // fits is only known at the first read.
    SqliteConnection(const std::string& path, Mode mode, const std::string& key, int busyWaitMs);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    // Runs statements that return no rows.
    void Execute(const std::string& sql);
    // One integer: the first column of the first row of sql.
    int64_t Integer(const std::string& sql);
    // Runs work in a transaction (BEGIN IMMEDIATE for writers, which takes
    // the write lock at once, or BEGIN for a reader's snapshot): committed
    // when work returns, rolled back when it throws (and that passed on).
    void Transaction(bool write, const std::function<void()>& work);
    // Whether a transaction is open on this connection.
    bool InTransaction() const;

    sqlite3* Handle() const { return db; }
    const std::string& Path() const { return path; }
    // Throws morlin::Error: path, what was attempted, SQLite's message.
    [[noreturn]] void Fail(const std::string& what) const;
    // SQLite's result code of the last failure.
    int LastCode() const;

private:
    // Whether the functions this connection calls are SQLCipher's.
    bool IsSqlCipher();

    std::string path;
    sqlite3* db = nullptr;
};

class SqliteStatement {
public:
    SqliteStatement(SqliteConnection& connection, const std::string& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Parameters from 1; each copied.
    SqliteStatement& Bind(int index, int64_t value);
    SqliteStatement& Bind(int index, double value);
    SqliteStatement& BindBytes(int index, std::string_view bytes);
    SqliteStatement& BindNull(int index);
    template <typename T>
    SqliteStatement& BindArray(int index, const std::vector<T>& values) {
        return BindBytes(index, std::string_view(reinterpret_cast<const char*>(values.data()),
                                                 values.size() * sizeof(T)));
    }
    // true when a row is ready, false when done.
    bool Step();
    // Steps to the end, for statements that return no rows.
    void Run();
    // Ready to be stepped again, its bindings kept.
    void Reset();

    int64_t Integer(int column) const;
    double Real(int column) const;
    bool IsNull(int column) const;
    std::string_view Bytes(int column) const;

private:
    SqliteConnection& connection;
    sqlite3_stmt* statement = nullptr;
};
