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
#include <vector>

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
    // Further secret keys that sign too: each a release key of the site's
    // newest key list (keys/), when it has one.
    std::vector<std::filesystem::path> otherKeyFiles;
    // The release channel: its manifest and files lie in site/channels/NAME
    // (stable: site itself); key lists are the site's, for every channel.
    std::string channel = "stable";
    // Folders holding earlier releases' files (an old copy of the site):
    // for each file that changed, a delta patch from each earlier version is
    // written into patches/ and offered in the manifest.
    std::vector<std::filesystem::path> previous = {};
};

// In site/autoupdate.txt sets "size" and "sha256" of every listed file (read
// from the site), [Main] serial and, with validFor, expires, keeping every
// other byte as it was; then records the serial in
// site/autoupdate.txt.last-serial and writes site/autoupdate.txt.sig, each
// replaced in place. Nothing is written, and error names the file and line
// and what to do, when the manifest breaks a rule the update run applies or
// the serial record is damaged. When the site has key lists (keys/), every
// key must be a release key of the newest, [Main] keys names it, and each
// signature line carries its key's fingerprint.
bool PublishSite(const PublishOptions& options, std::ostream& out, std::string& error);

// Adds the signature of keyFile to site/autoupdate.txt.sig, so release keys
// kept on separate machines sign one at a time. Refuses a key that is no
// release key of the site's newest key list, a manifest that names another
// list, and a key that signed already; says how many signatures desktops
// still need.
bool SignManifest(const std::filesystem::path& site, const std::filesystem::path& keyFile,
                  const std::string& channel, std::ostream& out, std::string& error);

// "30d", "12h", "90m", "3600s", "2w": a positive whole number and one unit.
std::optional<std::chrono::seconds> ParseDuration(std::string_view text);
