// The run's own temporary folder: made afresh under the system temporary path
// with mode 0700 (mkdtemp), so no other run and no other local user shares it,
// and removed with everything in it when the run ends, whatever the outcome.
// A lock on the folder marks it as a live run's; making one removes the
// folders of this user's runs that died (killed, say) and left theirs.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "engine/file_descriptor.h"

class PrivateTempFolder {
public:
    // root/"tarvex-XXXXXX", an empty root meaning the system temporary path
    // (TMPDIR); nothing, with error saying why, when root is unusable,
    // missing, not a folder, or the folder cannot be made.
    static std::optional<PrivateTempFolder> Make(const std::filesystem::path& root,
                                                 std::string& error);
    ~PrivateTempFolder();
    PrivateTempFolder(PrivateTempFolder&& other) noexcept;
    PrivateTempFolder(const PrivateTempFolder&) = delete;
    PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;
    PrivateTempFolder& operator=(PrivateTempFolder&&) = delete;

    const std::filesystem::path& Path() const { return path; }

private:
    explicit PrivateTempFolder(std::filesystem::path folder) : path(std::move(folder)) {}

    std::filesystem::path path;  // empty once moved from
    FileDescriptor lock;         // holds the folder's lock while the run lives
};
