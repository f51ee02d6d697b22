// Looking for a cascade file: the folder a user named, then opencv-data's.
#include "faces/cascade_files.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "morlin/identifier.h"

namespace {

// Where Debian's opencv-data puts the Haar cascades, and where an OpenCV
// built from source installs them.
const char* const packageFolders[] = {"/usr/share/opencv4/haarcascades",
                                      "/usr/local/share/opencv4/haarcascades"};

}  // namespace

std::string CascadePath(const std::string& file) {
    std::vector<std::string> folders;
    if (const char* named = std::getenv("MORLIN_CASCADES"); named != nullptr && *named != '\0')
        folders.emplace_back(named);
    else
        folders.assign(std::begin(packageFolders), std::end(packageFolders));
    std::string lookedIn;
    for (const std::string& folder : folders) {
        const std::filesystem::path path = std::filesystem::path(folder) / file;
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) return path.string();
        lookedIn += (lookedIn.empty() ? "" : ", ") + folder;
    }
    throw morlin::Error("the face detector's file " + file + " is not in " + lookedIn +
                        ": install Debian's package opencv-data (sudo apt install opencv-data), "
                        "or name the folder that holds it in MORLIN_CASCADES");
}
