// Face identification with libmorlin.so: people, not gallery indices. An
// Identifier learns a basis from labelled face images, enrols people (more
// can come later, without retraining), answers who a probe is, or that it is
// nobody enrolled, with a score and a stranger rate a person can read, and
// keeps all of it in a model file. A host needs this header, faces.h,
// morlin_error.h and morlin_records.h beside it, and the library; C++17 or
// later; no Qt. Everything here is beside the six designed exports, which it
// never changes.
//
// Pictures. A model is trained on crops (Image: faces of one size, used as
// they are: ORL and the other crop sets) or on pictures (Picture: ordinary
// photos, colour or grey, any size): each training picture gives its
// largest face, found and aligned (faces.h) to Settings' face size. The
// model keeps how its faces are made, and IdentifyFaces prepares a probe
// picture the same way: every face found in it, or for a crop model the
// picture as the crop it must be.
//
// Images. Grey levels 0 (black) to 255 (white), row after row, rows * columns
// of them: 8-bit in Image::pixels, or int in Image::levels (a value outside
// 0..255 counts as the nearer end). Every image of one identifier has the
// size of the images it was trained on. The library copies what it needs
// during the call and keeps no pointer.
//
// Methods. How a face becomes the numbers that are compared, and what a
// score is (Method below; MethodName and MethodDescription say the same):
//   designed          the designed recognizer: equalized pixels, (K)PCA with
//                     the designed kernel, components and distance measure;
//                     the score is the distance to the nearest enrolled image.
//   discriminant      equalized pixels, (K)PCA keeping every informative
//                     component, then a linear discriminant stage learnt from
//                     the people's labels; the score compares people.
//   lbp-discriminant  the default: local binary pattern histograms (a texture
//                     code that a change of light does not move), (K)PCA
//                     with a discriminant stage; the score compares people.
// For the discriminant methods the score of a person is the distance to
// their nearest image divided by the distance to the next person's nearest
// image: below 1 the person stands out, near 1 the face is about as far from
// everybody. They keep every (K)PCA component that carries information and
// compare in the discriminant space by Euclidean distance, so
// PCAParameter::componentNum and distanceType apply to the designed method
// only; the kernel applies to all.
//
// Threshold and stranger rate. A probe is named when its score is strictly
// below the threshold (PCAParameter::threshold until Calibrate sets one),
// and is "unknown" otherwise. Calibrate(R) sets the threshold at which a
// share R of strangers would be named, estimated from the gallery alone:
// each enrolled person is left out in turn, a model is trained on everybody
// else, and that person's images are searched as a stranger's would be. The
// scores of those searches are kept in the model: a probe's stranger rate is
// the share of them at or below its score (after a correction for the
// gallery having one person fewer), so it rises with the score, reads as
// "this share of strangers comes this close", and equals about R at the
// threshold. Before any calibration it is NaN.
//
// Threads. Identify may run on any number of threads at once on one object
// (a server shares one model). Train, Enrol, Remove, Calibrate, SetThreshold
// and assignment take the object for themselves and wait for the
// identifications under way. The library's helper threads work within a
// call, never more than the host's OpenMP thread limit allows.
//
// Failures. Every failure is a morlin::Error carrying the reason; a call that
// fails changes nothing. Nothing here shows a message box.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "faces.h"
#include "morlin_error.h"
#include "morlin_records.h"

namespace morlin {

// One grey image, the host's: rows * columns levels, row after row, in
// pixels (8-bit) or levels (int; when pixels is null).
struct Image {
    int rows = 0;
    int columns = 0;
    const std::uint8_t* pixels = nullptr;
    const int* levels = nullptr;
};

enum class Method { Designed = 0, Discriminant = 1, LbpDiscriminant = 2 };
inline constexpr Method allMethods[] = {Method::Designed, Method::Discriminant,
                                        Method::LbpDiscriminant};

// "designed", "discriminant", "lbp-discriminant".
MORLIN_API std::string MethodName(Method method);
// The method of that name; nothing for any other text.
MORLIN_API std::optional<Method> MethodNamed(const std::string& name);
// One or two sentences on what the method does.
MORLIN_API std::string MethodDescription(Method method);

// How the faces of a model are made, for training and for probes alike.
enum class FaceSource {
    Crops = 0,  // given as images of one size, each a face, used as they are
    Found = 1,  // found in pictures and aligned to the face size (faces.h)
};

// The share of strangers Train calibrates for unless told otherwise.
inline constexpr double defaultStrangerRate = 0.05;

struct Settings {
    // Kernel (isKernel, kernelType, gamma, coef0, degree) for every method;
    // componentNum and distanceType for the designed method; threshold until
    // a calibration replaces it.
    PCAParameter designed;
    Method method = Method::LbpDiscriminant;
    // The aligned faces' size, for a model trained on pictures.
    int faceRows = 112;
    int faceColumns = 92;
    // The share of strangers Train calibrates the threshold for (0 < rate
    // < 1, as Calibrate does, but never refusing for too few people), or 0
    // to keep designed.threshold. Unset: defaultStrangerRate for the
    // discriminant methods, whose scores never reach the designed threshold
    // (a model that turned no stranger away); the designed method keeps its
    // designed threshold.
    std::optional<double> strangerRate;
};

// One enrolled person as an answer: the person, their score against the
// probe and the enrolled image nearest to it (its position among the
// enrolled images, in enrolment order, at the time of the call).
struct Candidate {
    std::string person;
    double score = 0.0;
    int image = -1;
};

// The face a training or enrolment picture gave, and how many it held.
struct TakenFace {
    Face face;
    int found = 0;
};

struct Identification {
    std::optional<std::string> person;  // nothing: unknown (nobody under the threshold)
    double score = 0.0;                 // of the nearest person; lower is more alike
    double distance = 0.0;              // to the nearest enrolled image
    double strangerRate = 0.0;          // share of strangers this close; NaN uncalibrated
    std::vector<Candidate> candidates;  // the nearest people, nearest first, one each
};

// One face of a picture and who it is.
struct FaceIdentification {
    Face face;  // for a crop model, the whole picture
    Identification identification;
};

// What Calibrate set.
struct Calibration {
    double target = 0.0;       // the stranger rate asked for
    double threshold = 0.0;    // the threshold set
    std::size_t people = 0;    // people left out in turn
    std::size_t searches = 0;  // stranger searches the threshold rests on
    std::string warning;       // set when the estimate rests on too little
};

// Where the threshold in use comes from.
enum class ThresholdOrigin {
    Given = 0,       // designed.threshold, or SetThreshold
    Calibrated = 1,  // a calibration, following the people enrolled since
};

// One enrolled person.
struct Person {
    std::string name;
    int images = 0;
};

// What a model holds, for a person to read.
struct ModelInfo {
    Settings settings;  // threshold: the one in use
    FaceSource faces = FaceSource::Crops;
    int rows = 0;  // the faces' size
    int columns = 0;
    int basisImages = 0;         // images the basis was trained on
    int components = 0;          // (K)PCA components kept with information
    int dimensions = 0;          // numbers compared per image
    std::vector<Person> people;  // enrolled, in enrolment order
    int enrolledImages = 0;
    std::vector<int> imagePeople;  // per enrolled image, its person's place in people
    std::optional<Calibration> calibration;
    ThresholdOrigin thresholdOrigin = ThresholdOrigin::Given;
    // Why the threshold is not calibrated when Train was to calibrate it
    // (nobody to leave out); empty otherwise.
    std::string thresholdNote;
    // Whether the discriminant stage is learnt again as people are enrolled
    // and removed (a gallery small enough for that to be cheap), and whether
    // the model has one (a gallery of one face per person has none).
    bool stageFollowsGallery = false;
    bool hasStage = false;
};

// Told how far long work has come: done of total steps. Returning false
// stops the work; the call then throws Error("cancelled") and changes nothing.
using Progress = std::function<bool(int done, int total)>;

class MORLIN_API Identifier {
public:
    explicit Identifier(Settings settings = {});
    ~Identifier();
    Identifier(Identifier&& other) noexcept;
    Identifier& operator=(Identifier&& other) noexcept;
    Identifier(const Identifier&) = delete;
    Identifier& operator=(const Identifier&) = delete;

    // Trains the basis on images, people[i] naming images[i], and enrols every
    // one of them, replacing any earlier model. The designed method's basis
    // is exactly the designed recognizer's for the same images and parameters.
    // Then calibrates for Settings::strangerRate (progress told again from 0):
    // a warning in Info().calibration when the estimate is rough, and Info()
    // .thresholdNote when nobody can be left out (one person).
    void Train(const std::vector<Image>& images, const std::vector<std::string>& people,
               const Progress& progress = {});
    // Adds images of person (new or enrolled) with the held basis, without
    // retraining it. While the gallery is small enough for it to be cheap
    // (Info().stageFollowsGallery), the discriminant stage, every signature
    // and the calibration's searches of the people not trained on are learnt
    // again, as training on everybody would learn them; beyond that the
    // stage stays as learnt from a gallery that large. A calibrated threshold
    // follows the number of people enrolled.
    void Enrol(const std::vector<Image>& images, const std::string& person,
               const Progress& progress = {});
    // Trains on pictures, people[i] naming pictures[i]: the largest face of
    // each, found and aligned to the Settings' face size, as Train on those
    // faces would; the model then finds and aligns the faces of its probes
    // the same way. Returns the face taken from each picture. Error naming
    // the picture for one without a face (or without pixels).
    std::vector<TakenFace> Train(const std::vector<Picture>& pictures,
                                 const std::vector<std::string>& people,
                                 const Progress& progress = {});
    // Enrols pictures of person as Enrol does: for a model of found faces the
    // largest face of each (Error naming a picture without one), for a crop
    // model each picture as a crop of its size.
    std::vector<TakenFace> Enrol(const std::vector<Picture>& pictures, const std::string& person,
                                 const Progress& progress = {});
    // Trains on faces found and aligned already (AlignFace, at the
    // Settings' face size), people[i] naming faces[i]: the model then finds
    // and aligns its probes' faces the same way, as Train on pictures does.
    // For a host that reads many photos and keeps only their faces.
    void TrainOnAligned(const std::vector<Image>& faces, const std::vector<std::string>& people,
                        const Progress& progress = {});
    // The same with the face to take from each picture given (as
    // FaceFinder::Find gave it: a host that found them already, or lets a
    // person choose).
    void Train(const std::vector<Picture>& pictures, const std::vector<Face>& faces,
               const std::vector<std::string>& people, const Progress& progress = {});
    void Enrol(const std::vector<Picture>& pictures, const std::vector<Face>& faces,
               const std::string& person, const Progress& progress = {});
    // Removes every image of person; the basis stays, the rest as Enrol.
    void Remove(const std::string& person);

    // Who probe is: the nearest people, top of them (at least 1) as
    // candidates, and the answer under the threshold.
    Identification Identify(const Image& probe, int top = 1) const;
    // Each probe, in order, exactly as one at a time.
    std::vector<Identification> Identify(const std::vector<Image>& probes, int top = 1) const;
    // Every face of picture and who it is, largest first: for a model of
    // found faces each face the finder finds (none for a picture without
    // one), aligned as training did; for a crop model the picture itself,
    // made grey, which must be a crop of the model's size (Error otherwise),
    // its box the whole picture.
    std::vector<FaceIdentification> IdentifyFaces(const Picture& picture, int top = 1) const;

    // Sets the threshold at which strangerRate (0 < rate < 1) of strangers
    // would be named, from the enrolled images alone (see above). Error when
    // fewer than two people are enrolled or their images cannot resolve the
    // rate; a warning when the estimate rests on few people or searches.
    Calibration Calibrate(double strangerRate, const Progress& progress = {});
    // Sets the threshold by hand; the stranger scores of a calibration stay
    // and still give each score its rate.
    void SetThreshold(double threshold);

    // Writes the model to path as a model database (an SQLite file; with a
    // key, encrypted at rest, holding no name or signature in clear): into
    // the model database there in one transaction (programs that have it
    // open take the new model at their next call), or as a new file beside
    // it, flushed, renamed over it, the folder flushed. An identifier opened
    // from path has every change there already.
    void Save(const std::string& path) const;
    void Save(const std::string& path, const std::string& key) const;
    // A copy of the model in path (a model database, or a model file of the
    // earlier format), held in memory: changes stay here until saved. Error,
    // naming the file and what is wrong, for anything damaged, truncated,
    // foreign, of another format version, with sizes that do not fit, or a
    // wrong or missing key.
    static Identifier Load(const std::string& path);
    static Identifier Load(const std::string& path, const std::string& key);
    // The model in path, opened for this identifier's life and shared with
    // every other program that opens it: each change (Train, Enrol, Remove,
    // Calibrate, SetThreshold) is a transaction of the model database, made
    // on the model as last committed by anyone and committed before the call
    // returns, so concurrent writers never lose each other's changes, and
    // each call first takes what others committed since. Enrolling k faces
    // into a large gallery writes those k (a small one, trained again, is
    // written whole). A model file of the earlier format is read, and
    // converted into a model database on its first change. Errors as Load.
    static Identifier Open(const std::string& path, const std::string& key = {});
    // A copy of the model database model at copy, made while others use it
    // (a whole committed state), encrypted with the same key: how to back a
    // model up. Error naming either file.
    static void Backup(const std::string& model, const std::string& copy,
                       const std::string& key = {});

    bool Trained() const;
    ModelInfo Info() const;

private:
    // Takes what other programs committed to an opened model.
    void BringUpToDate() const;
    // Train, the faces made as faces says.
    void TrainOn(const std::vector<Image>& images, const std::vector<std::string>& people,
                 const Progress& progress, FaceSource faces);

    struct Impl;
    std::unique_ptr<Impl> impl;
};

// Opens the designed parameter dialog over parameters, its component list
// offering 1..componentChoices, inside the host's QApplication on its thread.
// true when the user accepted it (parameters then hold the new values).
// Error without a QApplication or from another thread.
MORLIN_API bool EditParameters(PCAParameter& parameters, int componentChoices);

}  // namespace morlin
