// The accepted serial in the catalogue's own table, read, checked and stored.
#include "catalog/update_state.h"

#include <charconv>
#include <random>

#include "catalog/catalog_error.h"
#include "catalog/program_folder.h"
#include "catalog/sqlcipher_database.h"

namespace {

constexpr const char* createTable =
    "CREATE TABLE IF NOT EXISTS [updatestate] (name TEXT PRIMARY KEY, value TEXT)";

// The value stored under name, or nothing.
std::optional<std::string> ReadState(const std::filesystem::path& programFolder, const char* name) {
    SqlCipherDatabase database(CatalogPath(programFolder));
    Statement exists(
        database,
        "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'updatestate'");
    if (!exists.Step() || exists.Integer(0) == 0) return std::nullopt;
    Statement read(database, "SELECT value FROM [updatestate] WHERE name = ?1");
    read.Bind(1, name);
    if (!read.Step()) return std::nullopt;
    return read.Text(0);
}

void WriteState(SqlCipherDatabase& database, const char* name, const std::string& value) {
    database.Execute(createTable);
    Statement write(database, "INSERT OR REPLACE INTO [updatestate] (name, value) VALUES (?1, ?2)");
    write.Bind(1, name);
    write.Bind(2, value);
    write.Step();
}

std::string SerialName(const std::string& channel) {
    return channel == "stable" ? "serial" : "serial@" + channel;
}

}  // namespace

std::optional<long long> ReadAcceptedSerial(const std::filesystem::path& programFolder,
                                            const std::string& channel) {
    const std::optional<std::string> stored = ReadState(programFolder, SerialName(channel).c_str());
    if (!stored) return std::nullopt;
    const std::string& text = *stored;
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

void WriteAcceptedSerial(SqlCipherDatabase& database, long long serial,
                         const std::string& channel) {
    WriteState(database, SerialName(channel).c_str(), std::to_string(serial));
}

void StoreAcceptedSerial(const std::filesystem::path& programFolder, long long serial,
                         const std::string& channel) {
    SqlCipherDatabase database(CatalogPath(programFolder));
    database.InTransaction([&] { WriteAcceptedSerial(database, serial, channel); });
}

std::optional<std::string> ReadChannel(const std::filesystem::path& programFolder) {
    return ReadState(programFolder, "channel");
}

void StoreChannel(const std::filesystem::path& programFolder, const std::string& channel) {
    SqlCipherDatabase database(CatalogPath(programFolder));
    database.InTransaction([&] { WriteState(database, "channel", channel); });
}

std::optional<std::string> ReadAcceptedKeyList(const std::filesystem::path& programFolder) {
    return ReadState(programFolder, "keylist");
}

void StoreAcceptedKeyList(const std::filesystem::path& programFolder, const std::string& text) {
    SqlCipherDatabase database(CatalogPath(programFolder));
    database.InTransaction([&] { WriteState(database, "keylist", text); });
}

std::optional<std::string> ReadInstallId(const std::filesystem::path& programFolder) {
    return ReadState(programFolder, "installid");
}

std::string InstallId(const std::filesystem::path& programFolder) {
    if (std::optional<std::string> id = ReadInstallId(programFolder)) return *id;
    std::random_device random;  // the kernel's random source
    static constexpr char hex[] = "0123456789abcdef";
    std::string id;
    for (int i = 0; i < 8; ++i) {
        const unsigned value = random();
        for (int nibble = 0; nibble < 4; ++nibble) id += hex[(value >> (4 * nibble)) & 0xF];
    }
    SqlCipherDatabase database(CatalogPath(programFolder));
    database.InTransaction([&] { WriteState(database, "installid", id); });
    return id;
}
