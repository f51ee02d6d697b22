// Publishing a signed update site: a publisher key pair, and the manifest
// filled in with each file's size and SHA-256, its serial raised and signed.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>

// Writes a new key pair: the secret key to keyFile (mode 0600, never over an
// existing file) and the public key to keyFile.pub, in the form
// data/update-keys takes; prints the public key. false with error set.
bool GenerateKeyPair(const std::filesystem::path& keyFile, std::ostream& out, std::string& error);

// In site/autoupdate.txt sets "size" and "sha256" of every listed file (read
// from site/<filename>) and raises [Main] serial by one, keeping every other
// byte as it was, then writes site/autoupdate.txt.sig with keyFile's secret key.
bool PublishSite(const std::filesystem::path& site, const std::filesystem::path& keyFile,
                 std::ostream& out, std::string& error);
