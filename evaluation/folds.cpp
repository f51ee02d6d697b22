// Gallery folds and models trained on part of the gallery.
#include "folds.h"

#include <algorithm>
#include <limits>
#include <map>

#include "scores/leave_person_out.h"

std::vector<Fold> GalleryFolds(const FaceDataset& dataset) {
    // Each image's place among its person's, and the fewest any person has.
    std::vector<int> place(dataset.gallery.size());
    std::map<std::string, int> count;
    for (size_t i = 0; i < dataset.gallery.size(); ++i)
        place[i] = count[dataset.gallery[i].person]++;
    int fewest = count.empty() ? 0 : std::numeric_limits<int>::max();
    for (const auto& [person, images] : count) fewest = std::min(fewest, images);
    std::vector<Fold> folds;
    if (fewest < 2) return folds;
    folds.resize(static_cast<size_t>(fewest));
    for (int i = 0; i < static_cast<int>(dataset.gallery.size()); ++i)
        for (int f = 0; f < fewest; ++f)
            (place[static_cast<size_t>(i)] == f ? folds[static_cast<size_t>(f)].heldOut
                                                : folds[static_cast<size_t>(f)].training)
                .push_back(i);
    return folds;
}

std::vector<int*> FacePointers(FaceDataset& dataset, const std::vector<int>& positions) {
    std::vector<int*> faces;
    for (int i : positions) faces.push_back(dataset.gallery[static_cast<size_t>(i)].grey.data());
    return faces;
}

morlin::Settings DesignedSettings(const PCAParameter& param) {
    morlin::Settings settings;
    settings.designed = param;
    settings.method = morlin::Method::Designed;
    return settings;
}

TrainedModel::TrainedModel(FaceDataset& data, const std::vector<int>& training,
                           const morlin::Settings& given)
    : dataset(data), settings(given) {
    if (settings.method == morlin::Method::Designed) {
        PCAParameter ranking = settings.designed;
        ranking.threshold = std::numeric_limits<double>::infinity();
        std::vector<int*> faces = FacePointers(dataset, training);
        recognizer.SetSample(faces.data(), static_cast<int>(faces.size()), dataset.rows,
                             dataset.columns);
        recognizer.SetPCAPara(ranking);
        recognizer.Train();
        trained = recognizer.IsTrained();
        return;
    }
    std::vector<morlin::Image> images;
    std::vector<std::string> names;
    for (int i : training) {
        FaceImage& face = dataset.gallery[static_cast<size_t>(i)];
        images.push_back({dataset.rows, dataset.columns, nullptr, face.grey.data()});
        names.push_back(face.person);
    }
    // Ranks, with no threshold: nothing to calibrate.
    morlin::Settings ranking = settings;
    ranking.strangerRate = 0.0;
    identifier.emplace(ranking);
    try {
        identifier->Train(images, names);
    } catch (const morlin::Error&) {
        return;  // a gallery the method cannot train on ranks nothing
    }
    people = static_cast<int>(identifier->Info().people.size());
    trained = true;
}

std::vector<foundFace> TrainedModel::Rank(FaceImage& image) {
    std::vector<foundFace> ranked;
    if (!trained) return ranked;
    if (!identifier) {
        recognizer.Recognition(RowPointers(dataset, image).data(), dataset.rows, dataset.columns,
                               ranked);
        return ranked;
    }
    const morlin::Identification answer =
        identifier->Identify({dataset.rows, dataset.columns, nullptr, image.grey.data()}, people);
    for (const morlin::Candidate& candidate : answer.candidates)
        ranked.push_back({candidate.image, candidate.score});
    return ranked;
}

void RankHeldOut(FaceDataset& dataset, const std::vector<int>& training,
                 const std::vector<int>& heldOut, const morlin::Settings& settings,
                 const std::function<void(int held, const std::vector<foundFace>& ranked)>& take) {
    std::vector<FaceImage*> images;
    for (int held : heldOut) images.push_back(&dataset.gallery[static_cast<size_t>(held)]);
    RankImages(dataset, training, images, settings,
               [&](size_t k, const std::vector<foundFace>& ranked) { take(heldOut[k], ranked); });
}

void RankImages(FaceDataset& dataset, const std::vector<int>& training,
                const std::vector<FaceImage*>& images, const morlin::Settings& settings,
                const std::function<void(size_t k, const std::vector<foundFace>& ranked)>& take) {
    TrainedModel model(dataset, training, settings);
    if (!model.Trained()) return;
    for (size_t k = 0; k < images.size(); ++k) take(k, model.Rank(*images[k]));
}

std::vector<PersonLeftOut> PeopleLeftOut(const FaceDataset& dataset) {
    std::vector<int> personOf;
    for (const FaceImage& face : dataset.gallery)
        personOf.push_back(static_cast<int>(
            std::find(dataset.enrolled.begin(), dataset.enrolled.end(), face.person) -
            dataset.enrolled.begin()));
    std::vector<PersonLeftOut> people;
    for (const LeftOutPerson& split :
         LeaveEachPersonOut(personOf, static_cast<int>(dataset.enrolled.size()))) {
        PersonLeftOut left;
        left.person = dataset.enrolled[static_cast<size_t>(split.person)];
        left.own.assign(split.own.begin(), split.own.end());
        left.others.assign(split.others.begin(), split.others.end());
        people.push_back(std::move(left));
    }
    return people;
}

CrossValidation CrossValidate(FaceDataset& dataset, const std::vector<Fold>& folds,
                              const morlin::Settings& settings) {
    CrossValidation result;
    for (const Fold& fold : folds) {
        int correct = 0;
        RankHeldOut(dataset, fold.training, fold.heldOut, settings,
                    [&](int held, const std::vector<foundFace>& ranked) {
                        const std::string& person =
                            dataset.gallery[static_cast<size_t>(held)].person;
                        for (const foundFace& face : ranked)
                            (PersonAt(dataset, fold.training, face.index) == person
                                 ? result.comparisons.genuine
                                 : result.comparisons.impostor)
                                .push_back(face.distance);
                        if (!ranked.empty() &&
                            PersonAt(dataset, fold.training, ranked.front().index) == person)
                            ++correct;
                    });
        result.foldRank1.push_back(fold.heldOut.empty()
                                       ? 0.0
                                       : static_cast<double>(correct) /
                                             static_cast<double>(fold.heldOut.size()));
    }
    double sum = 0.0;
    for (double r : result.foldRank1) sum += r;
    if (!result.foldRank1.empty())
        result.meanRank1 = sum / static_cast<double>(result.foldRank1.size());
    return result;
}

const std::string& PersonAt(const FaceDataset& dataset, const std::vector<int>& positions,
                            int index) {
    return dataset.gallery[static_cast<size_t>(positions[static_cast<size_t>(index)])].person;
}

std::vector<int*> RowPointers(const FaceDataset& dataset, FaceImage& image) {
    std::vector<int*> rows(static_cast<size_t>(dataset.rows));
    for (int r = 0; r < dataset.rows; ++r)
        rows[static_cast<size_t>(r)] =
            image.grey.data() + static_cast<ptrdiff_t>(r) * dataset.columns;
    return rows;
}
