// What an Identifier holds, and the helpers of the files that make its calls
// (identifier.cpp: the model's life and crops; picture_faces.cpp: pictures).
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <shared_mutex>
#include <string>

#include "compute/workers.h"
#include "identifier/face_model.h"
#include "identifier/model_file.h"
#include "identifier/model_store.h"
#include "matrix/matrix.h"
#include "morlin/faces.h"
#include "morlin/identifier.h"

namespace morlin {

std::string Megabytes(size_t bytes);
// columns "x" rows.
std::string SizeText(int rows, int columns);

// Runs call, turning every failure into an Error: the caller sees one kind.
template <typename Call>
auto AsMorlinError(Call call) -> decltype(call()) {
    try {
        return call();
    } catch (const Error&) {
        throw;
    } catch (const MatrixSpace::MatrixAllocationError& e) {
        throw Error("not enough memory: a matrix of " + Megabytes(e.Bytes()) +
                    " cannot be allocated; nothing was changed");
    } catch (const std::bad_alloc&) {
        throw Error("not enough memory; nothing was changed");
    } catch (const std::exception& e) {
        throw Error(e.what());
    }
}

// Appends the grey levels of image, which must be rows x columns when those
// are given (not 0); what names the image in messages.
void AppendLevels(const Image& image, int rows, int columns, const std::string& what,
                  std::vector<uint8_t>& levels);
// "image N", counted from 1.
std::string ImageName(size_t index);

struct Identifier::Impl {
    explicit Impl(Settings given) : settings(given) {}

    Settings settings;
    std::optional<FaceModel> model;
    // Counts the changes of model, so a calibration can tell it still fits.
    unsigned long generation = 0;
    mutable std::shared_mutex lock;
    mutable std::mutex helpersInUse;
    mutable Workers workers;
    // An opened model's database; or the file of the earlier format it came
    // from, converted on the first change; and the model's key.
    std::unique_ptr<ModelStore> store;
    std::string earlierFile;
    std::string key;
    // One use of the database at a time (its statements are not shared).
    mutable std::mutex storeUse;
    // The face finder, made at the first picture.
    mutable std::unique_ptr<FaceFinder> finder;
    mutable std::mutex finderMade;

    const FaceFinder& Finder() const {
        std::lock_guard<std::mutex> making(finderMade);
        if (!finder) finder = std::make_unique<FaceFinder>();
        return *finder;
    }

    const FaceModel& Held() const {
        if (!model) throw Error("the identifier holds no model: train it or load one first");
        return *model;
    }
    FaceModel& Held() {
        if (!model) throw Error("the identifier holds no model: train it or load one first");
        return *model;
    }
    // The helpers, when free; null otherwise (the call then works alone).
    Workers* Helpers(std::unique_lock<std::mutex>& held) const {
        held = std::unique_lock<std::mutex>(helpersInUse, std::try_to_lock);
        return held.owns_lock() ? &workers : nullptr;
    }

    // Whether another program committed to the opened model since it was
    // last taken. Under the lock, shared or alone.
    bool Outdated() const {
        if (!store) return false;
        std::lock_guard<std::mutex> using_(storeUse);
        return store->Outdated();
    }
    // Takes what other programs committed. Under the lock alone.
    void TakeCommitted() {
        if (!store || !model) return;
        std::lock_guard<std::mutex> using_(storeUse);
        store->Sync(*model);
        ++generation;
    }

    // Makes change on the held model (or, for training, on an empty one) as
    // a whole: within a write transaction of an opened model's database
    // (ModelStore::Write), converting a model of the earlier format first;
    // in memory otherwise. Under the lock alone.
    void Change(const ModelStore::Change& change) {
        if (!earlierFile.empty() && Converted(change)) {
            ++generation;
            return;
        }
        if (store) {
            std::lock_guard<std::mutex> using_(storeUse);
            store->Write(Held(), change);
        } else {
            const bool fresh = !model;
            if (fresh) model.emplace();
            std::string person;
            int added = 0;
            try {
                change(*model, person, added);
            } catch (...) {
                if (fresh) model.reset();
                throw;
            }
        }
        ++generation;
    }

    // Converts the file of the earlier format with change made: locked
    // against other converters, read again, changed, written as a model
    // database renamed over it, then opened. false, with the database
    // opened and the change not made, when another converter got there
    // first.
    bool Converted(const ModelStore::Change& change) {
        const int fd = ::open(earlierFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            throw Error(earlierFile + ": cannot be opened to convert it: " + std::strerror(errno));
        struct Closing {
            int fd;
            ~Closing() { ::close(fd); }
        } closing{fd};
        if (::flock(fd, LOCK_EX) != 0)
            throw Error(earlierFile + ": cannot be locked to convert it: " + std::strerror(errno));
        struct stat locked {
        }, now{};
        const bool same = ::fstat(fd, &locked) == 0 && ::stat(earlierFile.c_str(), &now) == 0 &&
                          locked.st_ino == now.st_ino && locked.st_dev == now.st_dev;
        if (!same || !ModelStore::IsEarlierFormat(earlierFile)) {
            store = std::make_unique<ModelStore>(earlierFile, key);
            model = store->Load();
            earlierFile.clear();
            return false;
        }
        FaceModel converted = LoadModel(earlierFile);
        std::string person;
        int added = 0;
        change(converted, person, added);
        ModelStore::WriteWhole(converted, earlierFile, key);
        auto opened = std::make_unique<ModelStore>(earlierFile, key);
        model = opened->Load();
        store = std::move(opened);
        earlierFile.clear();
        return true;
    }
};

}  // namespace morlin
