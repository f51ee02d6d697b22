// The Identifier: its lock, the checks of what a caller passes, and the
// commit of every change as a whole.
//
// Locking: identifications share the lock; everything that changes the model
// takes it alone. Training and calibration compute their new model without
// the lock (identifications go on meanwhile) and take it only to put the
// result in place; a calibration whose model changed under it is refused.
// The helper threads serve one call at a time: a call that finds them busy
// works on its own thread.
#include "morlin/identifier.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <new>
#include <shared_mutex>

#include "compute/workers.h"
#include "identifier/calibration.h"
#include "identifier/face_model.h"
#include "identifier/model_file.h"
#include "matrix/matrix.h"

namespace morlin {

namespace {

std::string Megabytes(size_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

// Runs call, turning every failure into an Error: the caller sees one kind.
template <typename Call>
auto Guarded(Call call) -> decltype(call()) {
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

std::string SizeText(int rows, int columns) {
    return std::to_string(columns) + "x" + std::to_string(rows);
}

// The grey levels of image, which must be rows x columns when those are
// given (not 0). what names the image in messages.
void AppendLevels(const Image& image, int rows, int columns, const std::string& what,
                  std::vector<uint8_t>& levels) {
    if (image.rows <= 0 || image.columns <= 0 ||
        int64_t{image.rows} * image.columns > std::numeric_limits<int>::max())
        throw Error(what + " has no usable size (" + std::to_string(image.rows) + " rows, " +
                    std::to_string(image.columns) + " columns)");
    if (image.pixels == nullptr && image.levels == nullptr)
        throw Error(what + " has no pixels");
    if (rows != 0 && (image.rows != rows || image.columns != columns))
        throw Error(what + " is " + SizeText(image.rows, image.columns) +
                    " pixels; the model's images are " + SizeText(rows, columns));
    const size_t count = static_cast<size_t>(image.rows) * static_cast<size_t>(image.columns);
    const size_t start = levels.size();
    levels.resize(start + count);
    if (image.pixels != nullptr)
        std::copy(image.pixels, image.pixels + count, levels.begin() + static_cast<ptrdiff_t>(start));
    else
        // The levels GreyLevel gives, straight from the ints: clamped to 0..255.
        for (size_t i = 0; i < count; ++i)
            levels[start + i] = static_cast<uint8_t>(std::clamp(image.levels[i], 0, 255));
}

std::string ImageName(size_t index) {
    return "image " + std::to_string(index + 1);
}

}  // namespace

struct Identifier::Impl {
    explicit Impl(Settings given) : settings(given) {}

    Settings settings;
    std::optional<FaceModel> model;
    // Counts the changes of model, so a calibration can tell it still fits.
    unsigned long generation = 0;
    mutable std::shared_mutex lock;
    mutable std::mutex helpersInUse;
    mutable Workers workers;

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
};

Identifier::Identifier(Settings settings) : impl(std::make_unique<Impl>(settings)) {}
Identifier::~Identifier() = default;
Identifier::Identifier(Identifier&& other) noexcept = default;
Identifier& Identifier::operator=(Identifier&& other) noexcept = default;

void Identifier::Train(const std::vector<Image>& images, const std::vector<std::string>& people,
                       const Progress& progress) {
    Guarded([&] {
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
        FaceModel fresh = FaceModel::Train(impl->settings, rows, columns, std::move(levels),
                                           static_cast<int>(images.size()), people, impl->workers,
                                           progress);
        std::unique_lock<std::shared_mutex> exclusive(impl->lock);
        impl->model = std::move(fresh);
        ++impl->generation;
    });
}

void Identifier::Enrol(const std::vector<Image>& images, const std::string& person,
                       const Progress& progress) {
    Guarded([&] {
        if (person.empty()) throw Error("the person's name is empty");
        if (images.empty()) throw Error("no images of " + person + " to enrol");
        std::unique_lock<std::shared_mutex> exclusive(impl->lock);
        FaceModel& model = impl->Held();
        const size_t d = static_cast<size_t>(model.Dimensions());
        std::vector<float> signatures(images.size() * d);
        std::unique_lock<std::mutex> helpers;
        Workers* workers = impl->Helpers(helpers);
        // In pieces, so that progress is told and a cancel heard between them.
        constexpr size_t piece = 256;
        std::vector<uint8_t> levels;
        for (size_t first = 0; first < images.size(); first += piece) {
            if (progress && !progress(static_cast<int>(first), static_cast<int>(images.size())))
                throw Error("cancelled");
            const size_t count = std::min(piece, images.size() - first);
            levels.clear();
            for (size_t i = first; i < first + count; ++i)
                AppendLevels(images[i], model.Rows(), model.Columns(), ImageName(i), levels);
            model.Signatures(levels.data(), static_cast<int>(count), signatures.data() + first * d,
                             workers);
        }
        model.Enrol(signatures, person);
        ++impl->generation;
        if (progress) progress(static_cast<int>(images.size()), static_cast<int>(images.size()));
    });
}

void Identifier::Remove(const std::string& person) {
    Guarded([&] {
        std::unique_lock<std::shared_mutex> exclusive(impl->lock);
        FaceModel& model = impl->Held();
        if (!model.Remove(person)) throw Error("nobody named \"" + person + "\" is enrolled");
        ++impl->generation;
    });
}

Identification Identifier::Identify(const Image& probe, int top) const {
    return Guarded([&] {
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
    return Guarded([&] {
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

Calibration Identifier::Calibrate(double strangerRate, const Progress& progress) {
    return Guarded([&] {
        if (!(strangerRate > 0.0 && strangerRate < 1.0))
            throw Error("a stranger rate is a share between 0 and 1 (0.05 for 5 %)");
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
        impl->model->threshold = calibration.threshold;
        impl->model->calibration = std::move(calibration);
        ++impl->generation;
        return result;
    });
}

void Identifier::SetThreshold(double threshold) {
    Guarded([&] {
        if (std::isnan(threshold)) throw Error("the threshold is not a number");
        std::unique_lock<std::shared_mutex> exclusive(impl->lock);
        impl->settings.designed.threshold = threshold;
        if (impl->model) {
            impl->model->threshold = threshold;
            impl->model->settings.designed.threshold = threshold;
            ++impl->generation;
        }
    });
}

void Identifier::Save(const std::string& path) const {
    Guarded([&] {
        std::shared_lock<std::shared_mutex> shared(impl->lock);
        SaveModel(impl->Held(), path);
    });
}

Identifier Identifier::Load(const std::string& path) {
    return Guarded([&] {
        FaceModel model = LoadModel(path);
        Identifier loaded(model.settings);
        loaded.impl->model = std::move(model);
        return loaded;
    });
}

bool Identifier::Trained() const {
    std::shared_lock<std::shared_mutex> shared(impl->lock);
    return impl->model.has_value();
}

ModelInfo Identifier::Info() const {
    return Guarded([&] {
        std::shared_lock<std::shared_mutex> shared(impl->lock);
        ModelInfo info;
        info.settings = impl->settings;
        if (!impl->model) return info;
        const FaceModel& model = *impl->model;
        info.settings = model.settings;
        info.settings.designed.threshold = model.threshold;
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
            info.calibration = Calibration{model.calibration->target, model.calibration->threshold,
                                           model.calibration->people,
                                           model.calibration->scores.size(),
                                           model.calibration->warning};
        return info;
    });
}

}  // namespace morlin
