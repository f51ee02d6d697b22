// Public interface of libmorlin.so, the (K)PCA face recognizer module: the six
// exported functions, the records that cross the library boundary and the
// exported recognizer class. A host needs this header, morlin_records.h beside
// it, and the library; C++17 or later; no Qt.
//
// Images. Grey levels as int, 0 (black) to 255 (white); a value outside is
// taken as the nearest of the two, so a host may pass 16-bit or signed pixels
// only after scaling them itself. The gallery and the probe are laid out
// differently; both are the host's and stay the host's (the recognizer copies
// the values during the call and keeps no pointer):
//
//   gallery, Recognizer_SetSample(images, count, rows, columns):
//     images[j] --> one image, rows * columns ints, row after row:
//                   [ r0c0 r0c1 ... r0c(columns-1) r1c0 ... ]
//   probe, Recognizer_Recognize(image, rows, columns, result):
//     image[r]  --> row r of the probe, columns ints:
//                   image[0] -> [ r0c0 r0c1 ... ]
//                   image[1] -> [ r1c0 r1c1 ... ]
//
// A probe passed like a gallery image (one pointer to all its pixels) is read
// as rows pointers, which is wrong and reads past the host's array: pass
// &rowPointers[0], one pointer per row. The probe must have the gallery's
// rows * columns pixels; otherwise the recognizer says so and returns nothing.
//
// Calls. Recognizer_Init does nothing (the object exists once the library is
// loaded) and may be left out. Then Recognizer_SetSample with the whole
// gallery, Recognizer_Train once, Recognizer_Recognize per probe. A second
// Recognizer_Train in a row empties the recognizer (set the gallery again);
// accepting Recognizer_ParaSet's dialog marks the model out of date, and the
// old model recognizes until the next Recognizer_Train. Results are appended
// to the host's vector, which is then sorted by distance as a whole.
//
// Threads. The six exports act on the library's one object and take turns
// on it: any thread may call them, and a call waits for the one in progress
// (a thread inside an export, such as the modal dialog's event loop, may
// call again). fork() waits for an export in progress; the child can go on
// using the library, on one thread. The recognizer runs helper threads of
// its own within a call, never more than the host's OpenMP thread limit
// (omp_set_num_threads, OMP_NUM_THREADS) allows; unloading the library joins
// them. An object of the class serves one thread at a time: a host that
// shares one between threads serializes its calls itself.
//
// Messages. What the recognizer has to tell the user (a probe of the wrong
// size, an operation refused for lack of memory, parameters it cannot use)
// is a message box when the host runs a QApplication and the call comes from
// its thread, and a line on standard error otherwise. Calls return nothing.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "morlin_records.h"

class DistanceWeights;
class Workers;
struct KernelCentring;

// The recognizer object. State is the pair (hasSamples, trained):
//   Empty   (false, false)  construction, ResetTrain, a second Train in a row
//   Loaded  (true,  false)  SetSample; no model is held
//   Trained (true,  true)   Train; samples and model present
//   Stale   (true,  false)  parameters changed while a model is held: the old
//                           model still recognizes, the next Train replaces it
// "Model held" means eigen, centeredKernel and projections are all present;
// componentCount always describes the held model. Every matrix pointer is owned
// exclusively by this object and is null when nothing is held.
class MORLIN_API CNolt_PCARecognition {
public:
    CNolt_PCARecognition();
    CNolt_PCARecognition(const CNolt_PCARecognition& other);
    CNolt_PCARecognition& operator=(const CNolt_PCARecognition& other);
    virtual ~CNolt_PCARecognition();

    // Copies count images of rows x columns int grey levels (row after row) and
    // equalizes them; discards any earlier gallery and model.
    void SetSample(int** images, int count, int rows, int columns);
    // Stores the parameters. Without a model it also sizes projections for them;
    // with a model it only marks the model out of date (Stale).
    void SetPCAPara(PCAParameter p);
    // Trains on the stored samples; when already trained, resets instead.
    void Train();
    // Appends every gallery image closer than the threshold to result, then sorts
    // all of result by distance. Without a model nothing is added.
    void Recognition(int** image, int rows, int columns, std::vector<foundFace>& result);
    // Discards samples and model when trained; always clears trained.
    void ResetTrain();
    // Equalizes columns first..last (inclusive) of m in place; levels become 0..1.
    void HistEq(MatrixSpace::matrix*& m, int first, int last);
    // Shows the modal parameter dialog; accepting marks the model out of date.
    void ParaSet();

    // Read access for hosts and tests; the object keeps ownership.
    const PCAParameter& Parameters() const { return param; }
    bool HasSamples() const { return hasSamples; }
    bool IsTrained() const { return trained; }
    bool HoldsModel() const;
    int SampleCount() const { return sampleCount; }
    int ComponentCount() const { return componentCount; }
    int PixelCount() const { return pixelCount; }

private:
    // The recognizer's own tests read the held matrices through it.
    friend class RecognizerInternals;

    float dot(MatrixSpace::matrix* m, int i, int j);
    float kernel_linear(MatrixSpace::matrix* m, int i, int j);
    float kernel_poly(MatrixSpace::matrix* m, int i, int j);
    float kernel_rbf(MatrixSpace::matrix* m, int i, int j);
    float kernel_sigmoid(MatrixSpace::matrix* m, int i, int j);
    void IdentityMatrix(MatrixSpace::matrix* m);
    void ApplyPCAPara(const PCAParameter& p, int count);
    void TrainModel();
    void RecognizeProbe(int** image, int columns, std::vector<foundFace>& faces);
    void RefuseUninformativeModel(const char* reason);
    void ReleaseModel();
    void ReleaseSamples();
    void CopyFrom(const CNolt_PCARecognition& other);

    MatrixSpace::matrix* samples = nullptr;
    bool hasSamples = false;
    int sampleCount = 0;
    int componentCount = 0;
    int pixelCount = 0;
    PCAParameter param;
    EigenResult eigen;
    bool trained = false;
    MatrixSpace::matrix* centeredKernel = nullptr;
    MatrixSpace::matrix* kernelMatrix = nullptr;
    MatrixSpace::matrix* projections = nullptr;
    int usableComponents = 0;
    // Per-measure weight vectors of the held model, computed on first use.
    std::unique_ptr<DistanceWeights> weights;
    // The held model's centring terms (Kq and QKq), which recognition reuses.
    std::unique_ptr<KernelCentring> modelCentring;
    // The object's own helper threads, started on first use, joined with it.
    std::unique_ptr<Workers> workers;
};

extern "C" {
// Does nothing; the object is ready once the library is loaded.
MORLIN_API void Recognizer_Init();
// Writes author, module name, library file name, version and contact into
// slots 0..4 of the five consecutive strings at record.
MORLIN_API void Recognizer_Version(std::string* record);
// Shows the modal parameter dialog, owned by the host's active window.
MORLIN_API void Recognizer_ParaSet();
// count images of rows x columns, one pointer per image (see Images above).
MORLIN_API void Recognizer_SetSample(int** images, int count, int rows, int columns);
MORLIN_API void Recognizer_Train();
// The probe, one pointer per row (see Images above); appends the matches.
MORLIN_API void Recognizer_Recognize(int** image, int rows, int columns,
                                     std::vector<foundFace>& result);
}
