// Publishing a signed update site: a publisher key pair, and the manifest
// filled in with each file's size and SHA-256, a serial that never goes back
// and an optional expiry, then signed. Publish applies every rule a client
// applies and signs nothing a client would refuse or read differently.
#pragma once

#include <chrono>
#include <ctime>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

// Writes a new key pair: the secret key to keyFile (mode 0600) and the public
// key to keyFile.pub, in the form data/update-keys takes. Neither file may
// exist yet. Prints the public key and its fingerprint. false with error set.
bool GenerateKeyPair(const std::filesystem::path& keyFile, std::ostream& out, std::string& error);

struct PublishOptions {
    std::filesystem::path site;     // holds autoupdate.txt and the listed files
    std::filesystem::path keyFile;  // the secret key
    // The serial to publish; it must be above the manifest's and above the
    // last one published for the site (site/autoupdate.txt.last-serial).
    // Nothing: the larger of those + 1 and the current time in seconds since
    // 1970, so a manifest written afresh from a template still rises.
    std::optional<long long> serial;
    // Writes [Main] expires this long after now.
    std::optional<std::chrono::seconds> validFor;
    std::time_t now = 0;  // 0: the clock
};

// In site/autoupdate.txt sets "size" and "sha256" of every listed file (read
// from the site), [Main] serial and, with validFor, expires, keeping every
// other byte as it was; then records the serial in
// site/autoupdate.txt.last-serial and writes site/autoupdate.txt.sig, each
// replaced in place. Nothing is written, and error names the file and line
// and what to do, when the manifest breaks a rule the update run applies or
// the serial record is damaged.
bool PublishSite(const PublishOptions& options, std::ostream& out, std::string& error);

// "30d", "12h", "90m", "3600s", "2w": a positive whole number and one unit.
std::optional<std::chrono::seconds> ParseDuration(std::string_view text);
