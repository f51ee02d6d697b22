// A large gallery's search: an inverted file over the enrolled signatures
// (FAISS's IndexIVFScalarQuantizer). The signatures are split into lists
// around centroids learnt by k-means; a probe visits the lists of its
// nearest centroids only, through 8-bit codes of the signatures (a quarter
// of their size), and gets the images nearest to it there. The identifier
// then measures those candidates exactly from the signatures themselves:
// the index only decides which images are looked at.
//
// Costs (1,000,000 signatures of 39 numbers, on this project's two-core
// machine): the codes and ids take 47 bytes an image beside the signatures'
// 156; training the lists takes some seconds and is done when a gallery
// first reaches minimumImages and again whenever it has grown retrainGrowth
// times since; each image's list is stored with it, so opening a model
// rebuilds the index without learning anything.
//
// Invariants: image i of the gallery (in enrolment order) has id i in the
// index and listOf[i] is its list; ids run 0 .. Images() - 1 without gaps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace faiss {
struct IndexFlatL2;
struct IndexIVFScalarQuantizer;
}  // namespace faiss

class SearchIndex {
public:
    // Galleries of at least this many images are searched through an index;
    // smaller ones exactly, which is then as fast.
    static constexpr std::size_t minimumImages = 50000;
    // Lists learnt from n images serve until the gallery holds this many
    // times n.
    static constexpr std::size_t retrainGrowth = 8;
    // Candidates taken from the index for each probe, at least.
    static constexpr int minimumCandidates = 64;

    struct Parts {
        int dimensions = 0;
        int lists = 0;
        std::size_t trainedOn = 0;
        std::vector<float> centroids;  // lists x dimensions
        std::vector<float> scalar;     // the 8-bit codes' trained ranges
        std::vector<int32_t> listOf;   // per image
    };

    SearchIndex();
    ~SearchIndex();
    SearchIndex(SearchIndex&&) noexcept;
    SearchIndex& operator=(SearchIndex&&) noexcept;
    SearchIndex(const SearchIndex&) = delete;
    SearchIndex& operator=(const SearchIndex&) = delete;

    // Lists learnt from (a sample of) count signatures (dimensions numbers
    // each, one after the other), every one of them added.
    static SearchIndex Train(const float* signatures, std::size_t count, int dimensions);
    // As stored: the lists as they were learnt, each image into its list,
    // its code made again from its signature. Throws morlin::Error when the
    // parts do not fit together.
    static SearchIndex FromParts(Parts parts, const float* signatures, std::size_t count);
    Parts ToParts() const;

    // Appends count images (their ids continue from Images()) and returns
    // their lists.
    std::vector<int32_t> Add(const float* signatures, std::size_t count);
    // Removes the images at the sorted positions removed; the later ones
    // move down to close the gaps, as the gallery's do.
    void Remove(const std::vector<std::size_t>& removed);

    std::size_t Images() const { return listOf.size(); }
    int32_t ListOf(std::size_t image) const { return listOf[image]; }
    std::size_t TrainedOn() const { return trainedOn; }
    int Dimensions() const { return dimensions; }
    // Whether the environment asks for exact search whatever the gallery's
    // size (MORLIN_EXACT_SEARCH=1): to compare the index's answers with.
    static bool ExactWanted();
    // Whether a gallery of images images has outgrown these lists.
    bool Outgrown(std::size_t images) const { return images > retrainGrowth * trainedOn; }

    // Up to count images near probe (what the lists visited hold), nearest
    // first by their codes.
    std::vector<std::int64_t> Candidates(const float* probe, int count) const;

private:
    int dimensions = 0;
    std::size_t trainedOn = 0;
    std::unique_ptr<faiss::IndexFlatL2> quantizer;
    std::unique_ptr<faiss::IndexIVFScalarQuantizer> index;
    std::vector<int32_t> listOf;
};
