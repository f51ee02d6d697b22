// The accepted serial in the catalogue's own table, read, checked and stored.
#include "catalog/update_state.h"

#include <charconv>

#include "catalog/catalog_error.h"
#include "catalog/program_folder.h"
#include "catalog/sqlcipher_database.h"

namespace {

constexpr const char* createTable =
    "CREATE TABLE IF NOT EXISTS [updatestate] (name TEXT PRIMARY KEY, value TEXT)";

}  // namespace

std::optional<long long> ReadAcceptedSerial(const std::filesystem::path& programFolder) {
    SqlCipherDatabase database(CatalogPath(programFolder));
    Statement exists(
        database,
        "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'updatestate'");
    if (!exists.Step() || exists.Integer(0) == 0) return std::nullopt;
    Statement read(database, "SELECT value FROM [updatestate] WHERE name = 'serial'");
    if (!read.Step()) return std::nullopt;
    const std::string text = read.Text(0);
    long long serial = -1;
    const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), serial);
    // Only this program writes it; anything else there means the catalogue
    // was damaged or tampered with, and replays could no longer be told.
    if (fault != std::errc() || end != text.data() + text.size() || serial < 0)
        throw CatalogError("the catalogue " + CatalogPath(programFolder).string() +
                           " holds a damaged update serial \"" + text +
                           "\": restore the catalogue from a backup");
    return serial;
}

void WriteAcceptedSerial(SqlCipherDatabase& database, long long serial) {
    database.Execute(createTable);
    Statement write(database,
                    "INSERT OR REPLACE INTO [updatestate] (name, value) VALUES ('serial', ?1)");
    write.Bind(1, std::to_string(serial));
    write.Step();
}

void StoreAcceptedSerial(const std::filesystem::path& programFolder, long long serial) {
    SqlCipherDatabase database(CatalogPath(programFolder));
    database.InTransaction([&] { WriteAcceptedSerial(database, serial); });
}
