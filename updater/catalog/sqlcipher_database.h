// Thin owners of a SQLCipher connection and of a prepared statement. Every
// failure raises CatalogError with SQLCipher's message.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

class SqlCipherDatabase {
public:
    // The catalogue's password.
    static constexpr const char* catalogKey = "qzmtv";
    // How long a write waits for another connection's lock before failing.
    static constexpr int busyTimeoutMs = 1500;

    enum class Mode { OpenExisting, CreateNew };

    // Opens (never creates, with OpenExisting) the encrypted file read-write and
    // shared, applies the key and checks it by reading the schema.
    SqlCipherDatabase(const std::filesystem::path& file, Mode mode = Mode::OpenExisting);
    ~SqlCipherDatabase();
    SqlCipherDatabase(const SqlCipherDatabase&) = delete;
    SqlCipherDatabase& operator=(const SqlCipherDatabase&) = delete;

    // Runs statements that return no rows.
    void Execute(const std::string& sql);
    // Runs work inside BEGIN IMMEDIATE ... COMMIT; anything it throws rolls
    // the transaction back and passes on.
    void InTransaction(const std::function<void()>& work);
    sqlite3* Handle() const { return db; }
    // SQLCipher's message for the last failure, prefixed by what was attempted.
    [[noreturn]] void Fail(const std::string& what) const;

private:
    sqlite3* db = nullptr;
};

class Statement {
public:
    Statement(const SqlCipherDatabase& database, const std::string& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds text to parameter index (1-based), copied.
    void Bind(int index, const std::string& text);
    void Bind(int index, long long value);
    // true when a row is ready, false when done.
    bool Step();
    std::string Text(int column) const;
    long long Integer(int column) const;

private:
    const SqlCipherDatabase& database;
    sqlite3_stmt* statement = nullptr;
};
