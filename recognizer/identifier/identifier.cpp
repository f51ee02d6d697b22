// The Identifier: its lock, the checks of what a caller passes, the commit of
// every change as a whole, and for a model opened from its file the
// database's transactions around them.
//
// Locking: identifications share the lock; everything that changes the model
// takes it alone. Training and calibration compute their new model without
// the lock (identifications go on meanwhile) and take it only to put the
// result in place; a calibration whose model changed under it is refused.
// The helper threads serve one call at a time: a call that finds them busy
// works on its own thread.
//
// An opened model: every call first takes what other programs committed
// (ModelStore::Sync, only when the database says something is new), and
// every change is made within a write transaction after that, then written.
// A model of the earlier format is converted on its first change, under an
// exclusive lock on the old file so that two converters cannot both win.
#include "morlin/identifier.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cmath>
#include <limits>
#include <mutex>
#include <new>
#include <shared_mutex>

#include "compute/workers.h"
#include "identifier/calibration.h"
#include "identifier/face_model.h"
#include "identifier/gallery_refresh.h"
#include "identifier/identifier_impl.h"
#include "identifier/model_file.h"
#include "identifier/model_store.h"
#include "matrix/matrix.h"

namespace morlin {

namespace {

// Train's calibration, by settings.strangerRate (see Settings).
void CalibrateAfterTraining(FaceModel& model, const Settings& settings, Workers& workers,
                            const Progress& progress) {
    const double rate = settings.strangerRate.value_or(
        settings.method == Method::Designed ? 0.0 : defaultStrangerRate);
    if (rate == 0.0) return;
    if (!(rate > 0.0 && rate < 1.0))
        throw Error("a stranger rate is a share between 0 and 1 (0.05 for 5 %), or 0 for none");
    const size_t fewest = model.Discriminating() ? 3 : 2;
    if (model.people.size() < fewest) {
        model.thresholdNote =
            std::to_string(model.people.size()) +
            (model.people.size() == 1 ? " person" : " people") +
            " enrolled: too few to leave one out as a stranger (" +
            (fewest == 3 ? "two must be left to tell apart" : "one must be left") +
            "), so the threshold is not calibrated; enrol more people and calibrate";
        return;
    }
    model.calibration = CalibrateForStrangers(model, rate, workers, progress);
    model.threshold = model.calibration->threshold;
    model.thresholdCalibrated = true;
}

// Whether a and b name the same file (both existing).
bool SameFile(const std::string& a, const std::string& b) {
    struct stat one {
    }, other{};
    return ::stat(a.c_str(), &one) == 0 && ::stat(b.c_str(), &other) == 0 &&
           one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

}  // namespace

std::string Megabytes(size_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

std::string SizeText(int rows, int columns) {
    return std::to_string(columns) + "x" + std::to_string(rows);
}

void AppendLevels(const Image& image, int rows, int columns, const std::string& what,
                  std::vector<uint8_t>& levels) {
    if (image.rows <= 0 || image.columns <= 0 ||
        int64_t{image.rows} * image.columns > std::numeric_limits<int>::max())
        throw Error(what + " has no usable size (" + std::to_string(image.rows) + " rows, " +
                    std::to_string(image.columns) + " columns)");
    if (image.pixels == nullptr && image.levels == nullptr) throw Error(what + " has no pixels");
    if (rows != 0 && (image.rows != rows || image.columns != columns))
        throw Error(what + " is " + SizeText(image.rows, image.columns) +
                    " pixels; the model's images are " + SizeText(rows, columns));
    const size_t count = static_cast<size_t>(image.rows) * static_cast<size_t>(image.columns);
    const size_t start = levels.size();
    levels.resize(start + count);
    if (image.pixels != nullptr)
        std::copy(image.pixels, image.pixels + count,
                  levels.begin() + static_cast<ptrdiff_t>(start));
    else
        // The levels GreyLevel gives, straight from the ints: clamped to 0..255.
        for (size_t i = 0; i < count; ++i)
            levels[start + i] = static_cast<uint8_t>(std::clamp(image.levels[i], 0, 255));
}

std::string ImageName(size_t index) {
    return "image " + std::to_string(index + 1);
}

Identifier::Identifier(Settings settings) : impl(std::make_unique<Impl>(settings)) {}
Identifier::~Identifier() = default;
Identifier::Identifier(Identifier&& other) noexcept = default;
Identifier& Identifier::operator=(Identifier&& other) noexcept = default;

void Identifier::Train(const std::vector<Image>& images, const std::vector<std::string>& people,
                       const Progress& progress) {
    AsMorlinError([&] { TrainOn(images, people, progress, FaceSource::Crops); });
}

void Identifier::TrainOn(const std::vector<Image>& images, const std::vector<std::string>& people,
                         const Progress& progress, FaceSource faces) {
    {
        if (images.empty()) throw Error("no images to train on");
        if (images.size() != people.size())
            throw Error(std::to_string(images.size()) + " images but " +
                        std::to_string(people.size()) + " person names: give one name per image");
        for (size_t i = 0; i < people.size(); ++i)
            if (people[i].empty()) throw Error(ImageName(i) + " has an empty person name");
        if (images.size() > static_cast<size_t>(std::numeric_limits<int>::max() - 1))
            throw Error("too many images for one basis");
        std::vector<uint8_t> levels;
        const int rows = images.front().rows, columns = images.front().columns;
        for (size_t i = 0; i < images.size(); ++i)
            AppendLevels(images[i], i == 0 ? 0 : rows, columns, ImageName(i), levels);
        std::unique_lock<std::mutex> helpers(impl->helpersInUse);
        FaceModel fresh =
            FaceModel::Train(impl->settings, rows, columns, std::move(levels),
                             static_cast<int>(images.size()), people, impl->workers, progress);
        fresh.faces = faces;
        CalibrateAfterTraining(fresh, impl->settings, impl->workers, progress);
        std::unique_lock<std::shared_mutex> exclusive(impl->lock);
        impl->Change([&](FaceModel& model, std::string&, int&) {
            model = std::move(fresh);
            return ModelChange::Whole;
        });
    }
}

void Identifier::Enrol(const std::vector<Image>& images, const std::string& person,
                       const Progress& progress) {
    AsMorlinError([&] {
        if (person.empty()) throw Error("the person's name is empty");
        if (images.empty()) throw Error("no images of " + person + " to enrol");
        std::unique_lock<std::shared_mutex> exclusive(impl->lock);
        impl->Held();
        std::unique_lock<std::mutex> helpers(impl->helpersInUse);
        impl->Change([&](FaceModel& model, std::string& enrolled, int& added) {
            const size_t d = static_cast<size_t>(model.Dimensions());
            const size_t pixels =
                static_cast<size_t>(model.Rows()) * static_cast<size_t>(model.Columns());
            std::vector<float> signatures(images.size() * d);
            // In pieces, so that progress is told and a cancel heard between
            // them; a model that follows its gallery keeps every face's
            // levels to train on.
            constexpr size_t piece = 256;
            std::vector<uint8_t> levels;
            for (size_t first = 0; first < images.size(); first += piece) {
                if (progress && !progress(static_cast<int>(first), static_cast<int>(images.size())))
                    throw Error("cancelled");
                const size_t count = std::min(piece, images.size() - first);
                if (!model.follows) levels.clear();
                for (size_t i = first; i < first + count; ++i)
                    AppendLevels(images[i], model.Rows(), model.Columns(), ImageName(i), levels);
                model.Signatures(levels.data() + levels.size() - count * pixels,
                                 static_cast<int>(count), signatures.data() + first * d,
                                 &impl->workers);
            }
            const bool trainedAgain = EnrolIntoModel(model, levels, static_cast<int>(images.size()),
                                                     signatures, person, impl->workers);
            enrolled = person;
            added = static_cast<int>(images.size());
            return trainedAgain ? ModelChange::Whole : ModelChange::Enrolled;
        });
        if (progress) progress(static_cast<int>(images.size()), static_cast<int>(images.size()));
    });
}

void Identifier::Remove(const std::string& person) {
    AsMorlinError([&] {
        std::unique_lock<std::shared_mutex> exclusive(impl->lock);
        impl->Held();
        std::unique_lock<std::mutex> helpers(impl->helpersInUse);
        impl->Change([&](FaceModel& model, std::string& removed, int&) {
            if (std::find(model.people.begin(), model.people.end(), person) == model.people.end())
                throw Error("nobody named \"" + person + "\" is enrolled");
            removed = person;
            return RemoveFromModel(model, person, impl->workers) ? ModelChange::Whole
                                                                 : ModelChange::Removed;
        });
    });
}

Identification Identifier::Identify(const Image& probe, int top) const {
    return AsMorlinError([&] {
        BringUpToDate();
        std::shared_lock<std::shared_mutex> shared(impl->lock);
        const FaceModel& model = impl->Held();
        std::vector<uint8_t> levels;
        AppendLevels(probe, model.Rows(), model.Columns(), "the probe", levels);
        std::vector<float> signature(static_cast<size_t>(model.Dimensions()));
        std::unique_lock<std::mutex> helpers;
        model.Signature(levels.data(), signature.data(), impl->Helpers(helpers));
        return model.Identify(signature.data(), top);
    });
}

std::vector<Identification> Identifier::Identify(const std::vector<Image>& probes, int top) const {
    return AsMorlinError([&] {
        BringUpToDate();
        std::shared_lock<std::shared_mutex> shared(impl->lock);
        const FaceModel& model = impl->Held();
        std::vector<uint8_t> levels;
        for (size_t i = 0; i < probes.size(); ++i)
            AppendLevels(probes[i], model.Rows(), model.Columns(), "probe " + std::to_string(i + 1),
                         levels);
        const int count = static_cast<int>(probes.size());
        std::vector<float> signatures(probes.size() * static_cast<size_t>(model.Dimensions()));
        std::unique_lock<std::mutex> helpers;
        Workers* workers = impl->Helpers(helpers);
        model.Signatures(levels.data(), count, signatures.data(), workers);
        return model.IdentifyMany(signatures.data(), count, top, workers);
    });
}

void Identifier::BringUpToDate() const {
    {
        std::shared_lock<std::shared_mutex> shared(impl->lock);
        if (!impl->Outdated()) return;
    }
    std::unique_lock<std::shared_mutex> exclusive(impl->lock);
    impl->TakeCommitted();
}

Calibration Identifier::Calibrate(double strangerRate, const Progress& progress) {
    return AsMorlinError([&] {
        if (!(strangerRate > 0.0 && strangerRate < 1.0))
            throw Error("a stranger rate is a share between 0 and 1 (0.05 for 5 %)");
        BringUpToDate();
        FaceModel snapshot;
        unsigned long generation = 0;
        {
            std::shared_lock<std::shared_mutex> shared(impl->lock);
            snapshot = impl->Held();
            generation = impl->generation;
        }
        StrangerCalibration calibration;
        {
            std::unique_lock<std::mutex> helpers(impl->helpersInUse);
            calibration = CalibrateForStrangers(snapshot, strangerRate, impl->workers, progress);
        }
        // What is returned is made before the model changes, and the change
        // itself only moves: once made, it cannot fail half-way.
        Calibration result{calibration.target, calibration.threshold, calibration.people,
                           calibration.scores.size(), calibration.warning};
        std::unique_lock<std::shared_mutex> exclusive(impl->lock);
        if (!impl->model || impl->generation != generation)
            throw Error("the model changed while it was being calibrated; calibrate it again");
        const uint64_t taken = impl->store ? impl->store->Taken() : 0;
        impl->Change([&](FaceModel& model, std::string&, int&) {
            // Written by another program meanwhile: the calibration no longer fits.
            if (impl->store && impl->store->Taken() != taken)
                throw Error("the model changed while it was being calibrated; calibrate it again");
            model.threshold = calibration.threshold;
            model.thresholdCalibrated = true;
            model.thresholdNote.clear();
            model.calibration = std::move(calibration);
            return ModelChange::Threshold;
        });
        return result;
    });
}

void Identifier::SetThreshold(double threshold) {
    AsMorlinError([&] {
        if (std::isnan(threshold)) throw Error("the threshold is not a number");
        std::unique_lock<std::shared_mutex> exclusive(impl->lock);
        impl->settings.designed.threshold = threshold;
        if (!impl->model) return;
        impl->Change([&](FaceModel& model, std::string&, int&) {
            model.threshold = threshold;
            model.thresholdCalibrated = false;
            model.settings.designed.threshold = threshold;
            return ModelChange::Threshold;
        });
    });
}

void Identifier::Save(const std::string& path) const {
    Save(path, std::string());
}

void Identifier::Save(const std::string& path, const std::string& key) const {
    AsMorlinError([&] {
        BringUpToDate();
        std::shared_lock<std::shared_mutex> shared(impl->lock);
        const FaceModel& model = impl->Held();
        // An opened model is its file already, every change committed.
        if (impl->store && SameFile(impl->store->Path(), path)) return;
        ModelStore::WriteWhole(model, path, key);
    });
}

Identifier Identifier::Load(const std::string& path) {
    return Load(path, std::string());
}

Identifier Identifier::Load(const std::string& path, const std::string& key) {
    return AsMorlinError([&] {
        FaceModel model =
            ModelStore::IsEarlierFormat(path) ? LoadModel(path) : ModelStore(path, key).Load();
        Identifier loaded(model.settings);
        loaded.impl->model = std::move(model);
        return loaded;
    });
}

Identifier Identifier::Open(const std::string& path, const std::string& key) {
    return AsMorlinError([&] {
        Identifier opened;
        if (ModelStore::IsEarlierFormat(path)) {
            opened.impl->model = LoadModel(path);
            opened.impl->earlierFile = path;
        } else {
            opened.impl->store = std::make_unique<ModelStore>(path, key);
            opened.impl->model = opened.impl->store->Load();
        }
        opened.impl->key = key;
        opened.impl->settings = opened.impl->model->settings;
        return opened;
    });
}

void Identifier::Backup(const std::string& model, const std::string& copy, const std::string& key) {
    AsMorlinError([&] {
        if (ModelStore::IsEarlierFormat(model))
            throw Error(model + ": a model of the earlier format, a file to copy as it is");
        if (SameFile(model, copy)) throw Error(copy + ": is the model itself");
        ModelStore(model, key).Backup(copy);
    });
}

bool Identifier::Trained() const {
    BringUpToDate();
    std::shared_lock<std::shared_mutex> shared(impl->lock);
    return impl->model.has_value();
}

ModelInfo Identifier::Info() const {
    return AsMorlinError([&] {
        BringUpToDate();
        std::shared_lock<std::shared_mutex> shared(impl->lock);
        ModelInfo info;
        info.settings = impl->settings;
        if (!impl->model) return info;
        const FaceModel& model = *impl->model;
        info.settings = model.settings;
        info.settings.designed.threshold = model.threshold;
        info.faces = model.faces;
        info.rows = model.Rows();
        info.columns = model.Columns();
        info.basisImages = model.basis.Faces();
        info.components = model.basis.Usable();
        info.dimensions = model.Dimensions();
        info.enrolledImages = model.EnrolledImages();
        info.imagePeople = model.personOf;
        std::vector<int> images(model.people.size(), 0);
        for (int p : model.personOf) ++images[static_cast<size_t>(p)];
        for (size_t p = 0; p < model.people.size(); ++p)
            info.people.push_back({model.people[p], images[p]});
        if (model.calibration)
            info.calibration = Calibration{
                model.calibration->target, model.calibration->threshold, model.calibration->people,
                model.calibration->scores.size(), model.calibration->warning};
        info.thresholdOrigin =
            model.thresholdCalibrated ? ThresholdOrigin::Calibrated : ThresholdOrigin::Given;
        info.thresholdNote = model.thresholdNote;
        info.stageFollowsGallery = model.follows;
        info.hasStage = model.discriminant.has_value();
        return info;
    });
}

}  // namespace morlin
