// What the catalogue keeps about update runs besides the modules: the serial
// of the last signed manifest a run accepted, so that an older one replayed
// later is refused, and the newest key list it accepted, so that it never
// goes back to an older one. Kept in the catalogue's own table [updatestate] (name,
// value), encrypted with everything else; catalogues made before it have no
// such table until a run first writes it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

class SqlCipherDatabase;

// The stored serial, or nothing when none was ever stored. Raises CatalogError
// as opening the catalogue does, and for a stored value that is not a serial.
// Each channel keeps its own serial, so a desktop can go back to the stable one.
std::optional<long long> ReadAcceptedSerial(const std::filesystem::path& programFolder,
                                            const std::string& channel = "stable");
// Stores serial through database, inside whatever transaction it has open.
void WriteAcceptedSerial(SqlCipherDatabase& database, long long serial,
                         const std::string& channel = "stable");
// Stores serial in a transaction of its own.
void StoreAcceptedSerial(const std::filesystem::path& programFolder, long long serial,
                         const std::string& channel = "stable");

// The channel the desktop chose, or nothing (stable).
std::optional<std::string> ReadChannel(const std::filesystem::path& programFolder);
void StoreChannel(const std::filesystem::path& programFolder, const std::string& channel);

// The text of the newest key list a run accepted, or nothing when none was.
// Raises CatalogError as ReadAcceptedSerial does.
std::optional<std::string> ReadAcceptedKeyList(const std::filesystem::path& programFolder);
// Stores the key list's text in a transaction of its own.
void StoreAcceptedKeyList(const std::filesystem::path& programFolder, const std::string& text);

// The desktop's install id (32 hex digits), drawn at random the first time it
// is asked for and kept; a desktop's place in staged rollouts hangs on it.
std::string InstallId(const std::filesystem::path& programFolder);
// The install id when one was drawn; a dry run never draws one.
std::optional<std::string> ReadInstallId(const std::filesystem::path& programFolder);
