// morlin enrol and morlin remove: people added or taken out of a model
// opened for the purpose, each change committed to it as it is made.
#include <algorithm>
#include <filesystem>

#include "commands.h"
#include "face_dataset.h"
#include "gallery_faces.h"
#include "terminal_progress.h"

using namespace morlin_command;

int RunEnrol(const CommandLine& line) {
    int status = ExitOk;
    std::optional<morlin::Identifier> identifier = LoadModel(line, status, true);
    if (!identifier) return status;
    const auto worse = [&status](int s) { status = std::max(status, s); };
    const Progress terminal = TerminalProgress();
    std::optional<morlin::FaceFinder> finder;
    for (const std::string& folder : line.operands) {
        std::error_code ec;
        if (!std::filesystem::is_directory(folder, ec)) {
            Tell(DisplayName(folder) + ": no such folder");
            worse(ReadStatus(folder));
            continue;
        }
        // What the model is now: another program may have changed it.
        const morlin::ModelInfo info = identifier->Info();
        const PersonFiles personFiles = PersonFolder(folder);
        const std::string& person = personFiles.person;
        const std::vector<std::string>& files = personFiles.files;
        std::vector<std::vector<uint8_t>> faces;
        try {
            if (info.faces == morlin::FaceSource::Found) {
                if (!finder) finder.emplace();
                const AlignedFaces aligned =
                    AlignedFacesOf(*finder, files, info.rows, info.columns, [&](int done) {
                        if (terminal)
                            terminal(done, static_cast<int>(files.size()),
                                     "finding " + DisplayName(person));
                    });
                for (const std::string& note : aligned.notes) Tell(note);
                if (aligned.unreadable > 0) worse(ExitDataError);
                faces = aligned.crops;
            } else {
                for (size_t k = 0; k < files.size(); ++k) {
                    if (terminal)
                        terminal(static_cast<int>(k), static_cast<int>(files.size()),
                                 "reading " + DisplayName(person));
                    int rows = info.rows, columns = info.columns;
                    std::vector<int> grey;
                    std::string error;
                    if (!ReadGreyImage(files[k], rows, columns, grey, error)) {
                        Tell(error);
                        worse(ExitDataError);
                        continue;
                    }
                    faces.emplace_back(grey.begin(), grey.end());
                }
            }
            if (terminal) terminal(1, 1, "");
            if (faces.empty()) {
                Tell(DisplayName(folder) + ": no image of " + DisplayName(person) + " to enrol");
                worse(ExitDataError);
                continue;
            }
            std::vector<morlin::Image> images;
            for (const std::vector<uint8_t>& face : faces)
                images.push_back({info.rows, info.columns, face.data(), nullptr});
            identifier->Enrol(images, person);
            std::printf("enrolled %s: %zu images\n", DisplayName(person).c_str(), images.size());
        } catch (const morlin::Error& e) {
            Tell(DisplayName(folder) + ": " + DisplayName(e.what()));
            worse(ExitDataError);
        }
    }
    return status;
}

int RunRemove(const CommandLine& line) {
    int status = ExitOk;
    std::optional<morlin::Identifier> identifier = LoadModel(line, status, true);
    if (!identifier) return status;
    for (const std::string& person : line.operands) {
        try {
            identifier->Remove(person);
            std::printf("removed %s\n", DisplayName(person).c_str());
        } catch (const morlin::Error& e) {
            Tell(DisplayName(e.what()));
            status = ExitDataError;
        }
    }
    return status;
}
