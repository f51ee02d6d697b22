#include "cross_validation.h"

#include <limits>

std::vector<Fold> GalleryFolds(const FaceDataset& dataset, int perPerson) {
    std::vector<Fold> folds;
    if (perPerson < 2) return folds;
    folds.resize(static_cast<size_t>(perPerson));
    for (int i = 0; i < static_cast<int>(dataset.gallery.size()); ++i)
        for (int f = 0; f < perPerson; ++f)
            (i % perPerson == f ? folds[static_cast<size_t>(f)].heldOut
                                : folds[static_cast<size_t>(f)].training)
                .push_back(i);
    return folds;
}

std::vector<int*> FacePointers(FaceDataset& dataset, const std::vector<int>& positions) {
    std::vector<int*> faces;
    for (int i : positions) faces.push_back(dataset.gallery[static_cast<size_t>(i)].grey.data());
    return faces;
}

CrossValidation CrossValidate(FaceDataset& dataset, const std::vector<Fold>& folds,
                              const PCAParameter& param) {
    CrossValidation result;
    PCAParameter ranking = param;
    ranking.threshold = std::numeric_limits<double>::infinity();
    std::vector<int*> rows(static_cast<size_t>(dataset.rows));
    for (const Fold& fold : folds) {
        std::vector<int*> training = FacePointers(dataset, fold.training);
        CNolt_PCARecognition recognizer;
        recognizer.SetSample(training.data(), static_cast<int>(training.size()), dataset.rows,
                             dataset.columns);
        recognizer.SetPCAPara(ranking);
        recognizer.Train();
        int correct = 0;
        for (int held : fold.heldOut) {
            const FaceImage& probe = dataset.gallery[static_cast<size_t>(held)];
            for (int r = 0; r < dataset.rows; ++r)
                rows[static_cast<size_t>(r)] = const_cast<int*>(probe.grey.data()) +
                                               static_cast<ptrdiff_t>(r) * dataset.columns;
            std::vector<foundFace> ranked;
            recognizer.Recognition(rows.data(), dataset.rows, dataset.columns, ranked);
            for (const foundFace& face : ranked) {
                const FaceImage& image = dataset.gallery[static_cast<size_t>(
                    fold.training[static_cast<size_t>(face.index)])];
                (image.person == probe.person ? result.comparisons.genuine
                                              : result.comparisons.impostor)
                    .push_back(face.distance);
            }
            if (!ranked.empty() &&
                dataset.gallery[static_cast<size_t>(
                                    fold.training[static_cast<size_t>(ranked.front().index)])]
                        .person == probe.person)
                ++correct;
        }
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
