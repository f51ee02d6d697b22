// The inverted file over a large gallery, on FAISS.
#include "identifier/search_index.h"

#include <faiss/IndexFlat.h>
#include <faiss/IndexScalarQuantizer.h>
#include <faiss/invlists/InvertedLists.h>

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "identifier/bulk_distances.h"
#include "morlin/morlin_error.h"

namespace {

using Id = faiss::Index::idx_t;

// About four lists per square root of the gallery: a probe visits a few
// thousand codes of a million.
int ListsFor(std::size_t images) {
    const double lists = 4.0 * std::sqrt(static_cast<double>(images));
    return static_cast<int>(std::clamp(lists, 64.0, 16384.0));
}

// Lists a probe visits: enough that its nearest images and the nearest of
// the next person lie in them (measured against exact search; bench/).
int ProbesFor(int lists) {
    return std::max(16, lists / 32);
}

// Samples k-means learns the lists from, at most.
constexpr int samplesPerList = 64;

std::unique_ptr<faiss::IndexIVFScalarQuantizer> MakeIndex(faiss::IndexFlatL2& quantizer,
                                                          int dimensions, int lists) {
    auto index = std::make_unique<faiss::IndexIVFScalarQuantizer>(
        &quantizer, static_cast<std::size_t>(dimensions), static_cast<std::size_t>(lists),
        faiss::ScalarQuantizer::QT_8bit, faiss::METRIC_L2, true);
    index->nprobe = static_cast<std::size_t>(ProbesFor(lists));
    return index;
}

// FAISS's work on one probe or one person's few images, on the calling
// thread alone: a parallel region costs more there than the work, and its
// helpers spin on cores that the library's own helpers (and the host) need.
// The thread limit is the calling thread's own, restored on leaving.
class OnThisThread {
public:
    OnThisThread() : before(omp_get_max_threads()) { omp_set_num_threads(1); }
    ~OnThisThread() { omp_set_num_threads(before); }
    OnThisThread(const OnThisThread&) = delete;
    OnThisThread& operator=(const OnThisThread&) = delete;

private:
    int before;
};

// Images added at once beyond which FAISS may share the work among threads.
constexpr std::size_t addedOnThisThread = 4096;

}  // namespace

bool SearchIndex::ExactWanted() {
    const char* exact = std::getenv("MORLIN_EXACT_SEARCH");
    return exact != nullptr && std::string_view(exact) == "1";
}

SearchIndex::SearchIndex() = default;
SearchIndex::~SearchIndex() = default;
SearchIndex::SearchIndex(SearchIndex&&) noexcept = default;
SearchIndex& SearchIndex::operator=(SearchIndex&&) noexcept = default;

SearchIndex SearchIndex::Train(const float* signatures, std::size_t count, int dimensions) {
    SearchIndex made;
    made.dimensions = dimensions;
    made.trainedOn = count;
    const int lists = ListsFor(count);
    made.quantizer = std::make_unique<faiss::IndexFlatL2>(dimensions);
    made.index = MakeIndex(*made.quantizer, dimensions, lists);
    // An even spread of the gallery to learn from.
    const std::size_t samples = std::min(count, static_cast<std::size_t>(lists) * samplesPerList);
    const std::size_t d = static_cast<std::size_t>(dimensions);
    std::vector<float> sample(samples * d);
    for (std::size_t s = 0; s < samples; ++s)
        std::copy_n(signatures + (s * count / samples) * d, d, sample.data() + s * d);
    made.index->train(static_cast<Id>(samples), sample.data());
    made.Add(signatures, count);
    return made;
}

SearchIndex SearchIndex::FromParts(Parts parts, const float* signatures, std::size_t count) {
    const std::size_t d = static_cast<std::size_t>(parts.dimensions);
    if (parts.dimensions < 1 || parts.lists < 1 ||
        parts.centroids.size() != static_cast<std::size_t>(parts.lists) * d ||
        parts.listOf.size() != count || parts.trainedOn < 1 ||
        std::any_of(parts.listOf.begin(), parts.listOf.end(),
                    [&](int32_t list) { return list < 0 || list >= parts.lists; }) ||
        !std::all_of(parts.centroids.begin(), parts.centroids.end(),
                     [](float v) { return std::isfinite(v); }))
        throw morlin::Error("the search index's parts do not fit together");
    SearchIndex made;
    made.dimensions = parts.dimensions;
    made.trainedOn = parts.trainedOn;
    made.quantizer = std::make_unique<faiss::IndexFlatL2>(parts.dimensions);
    made.quantizer->add(parts.lists, parts.centroids.data());
    made.index = MakeIndex(*made.quantizer, parts.dimensions, parts.lists);
    // 8-bit codes keep a low end and a range per dimension.
    if (parts.scalar.size() != 2 * d || !std::all_of(parts.scalar.begin(), parts.scalar.end(),
                                                     [](float v) { return std::isfinite(v); }))
        throw morlin::Error("the search index's parts do not fit together");
    made.index->sq.trained = std::move(parts.scalar);
    made.index->is_trained = true;
    std::vector<Id> ids(count), lists(count);
    for (std::size_t i = 0; i < count; ++i) {
        ids[i] = static_cast<Id>(i);
        lists[i] = parts.listOf[i];
    }
    made.index->add_core(static_cast<Id>(count), signatures, ids.data(), lists.data());
    made.listOf = std::move(parts.listOf);
    return made;
}

SearchIndex::Parts SearchIndex::ToParts() const {
    Parts parts;
    parts.dimensions = dimensions;
    parts.lists = static_cast<int>(index->nlist);
    parts.trainedOn = trainedOn;
    parts.centroids.assign(
        quantizer->get_xb(),
        quantizer->get_xb() + index->nlist * static_cast<std::size_t>(dimensions));
    parts.scalar = index->sq.trained;
    parts.listOf = listOf;
    return parts;
}

std::vector<int32_t> SearchIndex::Add(const float* signatures, std::size_t count) {
    std::optional<OnThisThread> alone;
    if (count <= addedOnThisThread) alone.emplace();
    std::vector<Id> lists(count), ids(count);
    // Each image's nearest list by one matrix product (FAISS's own
    // assignment runs a scalar loop per centroid).
    const int nlist = static_cast<int>(index->nlist);
    ForEachProbeDistances(signatures, static_cast<int>(count), quantizer->get_xb(), nlist,
                          dimensions, [&](int i, const double* distances) {
                              lists[static_cast<std::size_t>(i)] =
                                  std::min_element(distances, distances + nlist) - distances;
                          });
    for (std::size_t i = 0; i < count; ++i) ids[i] = static_cast<Id>(listOf.size() + i);
    std::vector<int32_t> added(lists.begin(), lists.end());
    listOf.reserve(listOf.size() + count);
    index->add_core(static_cast<Id>(count), signatures, ids.data(), lists.data());
    listOf.insert(listOf.end(), added.begin(), added.end());
    return added;
}

void SearchIndex::Remove(const std::vector<std::size_t>& removed) {
    if (removed.empty()) return;
    // Each id's new value, or -1 for a removed one.
    std::vector<Id> renumbered(listOf.size());
    std::size_t gone = 0;
    for (std::size_t i = 0; i < listOf.size(); ++i) {
        const bool drop = gone < removed.size() && removed[gone] == i;
        renumbered[i] = drop ? -1 : static_cast<Id>(i - gone);
        gone += drop ? 1 : 0;
    }
    auto* lists = dynamic_cast<faiss::ArrayInvertedLists*>(index->invlists);
    const std::size_t codeSize = lists->code_size;
    for (std::size_t l = 0; l < lists->nlist; ++l) {
        std::vector<Id>& ids = lists->ids[l];
        std::vector<uint8_t>& codes = lists->codes[l];
        std::size_t kept = 0;
        for (std::size_t e = 0; e < ids.size(); ++e) {
            const Id now = renumbered[static_cast<std::size_t>(ids[e])];
            if (now < 0) continue;
            ids[kept] = now;
            std::copy_n(codes.begin() + static_cast<std::ptrdiff_t>(e * codeSize), codeSize,
                        codes.begin() + static_cast<std::ptrdiff_t>(kept * codeSize));
            ++kept;
        }
        ids.resize(kept);
        codes.resize(kept * codeSize);
    }
    index->ntotal -= static_cast<Id>(removed.size());
    std::size_t kept = 0;
    for (std::size_t i = 0; i < listOf.size(); ++i)
        if (renumbered[i] >= 0) listOf[kept++] = listOf[i];
    listOf.resize(kept);
}

std::vector<std::int64_t> SearchIndex::Candidates(const float* probe, int count) const {
    std::vector<float> distances(static_cast<std::size_t>(count));
    std::vector<Id> labels(static_cast<std::size_t>(count));
    const OnThisThread alone;
    index->search(1, probe, count, distances.data(), labels.data());
    std::vector<std::int64_t> found;
    for (Id label : labels)
        if (label >= 0) found.push_back(label);
    return found;
}
