// Model files.
//
// FORMAT (version 1). Every number is little-endian; f32 and f64 are IEEE
// floats; a string is a u32 byte count and that many bytes (no terminator).
//
//   offset   size  what
//   0        8     magic "MORLINID"
//   8        4     u32 format version (1)
//   12       8     u64 payload length P
//   20       P     payload, the fields below in this order
//   20 + P   4     u32 CRC-32 (zlib's) of bytes 0 .. 20 + P
//
//   settings    u32 method (0 designed, 1 discriminant, 2 lbp-discriminant);
//               u8 isKernel; i32 componentNum, distanceType, kernelType;
//               f64 gamma, coef0, degree, threshold (as given at training)
//   image       i32 rows, columns
//   basis       i32 feature kind (0 equalized pixels, 1 LBP histograms);
//               i32 faces F, components C, usable U; the kernel: i32 type,
//               f64 gamma, coef0, degree; F * rows * columns u8 grey levels
//               of the training faces; F strings, their people; F f32
//               centring shares and f32 the overall share; F * C f32
//               eigenvectors (column after column); C f32 eigenvalues;
//               C * F f32 training coordinates (face after face)
//   stage       u8 present; when 1: i32 inputs I, dimensions D; f64
//               regularization; I f32 mean; I * D f32 directions
//   gallery     u32 people P; P strings; u32 images N; N u32 person
//               indices; N * S f32 signatures (S = D, or C without a stage)
//   threshold   f64 threshold in use; f64 typical distance to the next person
//   calibration u8 present; when 1: f64 target, threshold; u64 people;
//               u32 count K; K f64 stranger scores, ascending; string warning
//
// Reading checks the magic, the version, that the payload fits the file,
// the checksum, and then every count against the bytes that are left
// before anything is allocated for it, so no size in a file can ask for
// more memory than the file itself holds. The parts are then checked to fit
// together (Basis::FromParts, Discriminant::FromParts and the gallery's
// indices). Anything else left over is a fault too.
#include "identifier/model_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string_view>
#include <limits>
#include <set>

namespace {

constexpr char magic[8] = {'M', 'O', 'R', 'L', 'I', 'N', 'I', 'D'};
constexpr size_t headerBytes = 20;
constexpr size_t checksumBytes = 4;
// A name longer than this is no person's name.
constexpr uint32_t maxStringBytes = 1 << 16;

uint32_t Crc32(const char* data, size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes at most a uInt at a time.
    while (size > 0) {
        const uInt chunk = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data), chunk);
        data += chunk;
        size -= chunk;
    }
    return static_cast<uint32_t>(crc);
}

class Writer {
public:
    template <typename T>
    void Number(T value) {
        char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        // The host is little-endian (x86-64, AArch64): the bytes go as they are.
        out.append(bytes, sizeof(T));
    }
    void U8(uint8_t v) { Number(v); }
    void U32(uint32_t v) { Number(v); }
    void I32(int32_t v) { Number(v); }
    void U64(uint64_t v) { Number(v); }
    void F64(double v) { Number(v); }
    void Floats(const std::vector<float>& values) {
        out.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(float));
    }
    void Doubles(const std::vector<double>& values) {
        out.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(double));
    }
    void Bytes(const std::vector<uint8_t>& values) {
        out.append(reinterpret_cast<const char*>(values.data()), values.size());
    }
    void String(const std::string& text) {
        U32(static_cast<uint32_t>(text.size()));
        out.append(text);
    }
    std::string out;
};

class Reader {
public:
    Reader(std::string_view bytes, size_t begin, size_t payloadEnd, const std::string& fileName)
        : data(bytes), at(begin), end(payloadEnd), name(fileName) {}

    [[noreturn]] void Fail(const std::string& what) const {
        throw morlin::Error(name + ": " + what + " (byte " + std::to_string(at) + ")");
    }
    void Need(size_t bytes, const char* what) const {
        if (bytes > end - at) Fail(std::string("truncated inside ") + what);
    }
    template <typename T>
    T Number(const char* what) {
        Need(sizeof(T), what);
        T value;
        std::memcpy(&value, data.data() + at, sizeof(T));
        at += sizeof(T);
        return value;
    }
    uint8_t U8(const char* what) { return Number<uint8_t>(what); }
    uint32_t U32(const char* what) { return Number<uint32_t>(what); }
    int32_t I32(const char* what) { return Number<int32_t>(what); }
    uint64_t U64(const char* what) { return Number<uint64_t>(what); }
    double F64(const char* what) { return Number<double>(what); }
    // count values of T, the count checked against what is left first.
    template <typename T>
    std::vector<T> Array(uint64_t count, const char* what) {
        if (count > (end - at) / sizeof(T))
            Fail(std::string("a size that does not fit the file in ") + what);
        std::vector<T> values(static_cast<size_t>(count));
        // An empty array has no storage to copy into (its data() may be null).
        if (count > 0)
            std::memcpy(values.data(), data.data() + at, static_cast<size_t>(count) * sizeof(T));
        at += static_cast<size_t>(count) * sizeof(T);
        return values;
    }
    std::string String(const char* what) {
        const uint32_t length = U32(what);
        if (length > maxStringBytes) Fail(std::string("a text too long in ") + what);
        Need(length, what);
        std::string text(data.substr(at, length));
        at += length;
        return text;
    }
    // A count of 0 .. limit.
    int Count(const char* what, int64_t limit = std::numeric_limits<int32_t>::max()) {
        const int32_t value = I32(what);
        if (value < 0 || value > limit) Fail(std::string("an impossible number in ") + what);
        return value;
    }
    bool AtEnd() const { return at == end; }

private:
    std::string_view data;
    size_t at;
    size_t end;
    const std::string& name;
};

void WriteSettings(Writer& w, const morlin::Settings& s) {
    w.U32(static_cast<uint32_t>(s.method));
    w.U8(s.designed.isKernel ? 1 : 0);
    w.I32(s.designed.componentNum);
    w.I32(s.designed.distanceType);
    w.I32(s.designed.kernelType);
    w.F64(s.designed.gamma);
    w.F64(s.designed.coef0);
    w.F64(s.designed.degree);
    w.F64(s.designed.threshold);
}

morlin::Settings ReadSettings(Reader& r) {
    morlin::Settings s;
    const uint32_t method = r.U32("the settings");
    if (method > static_cast<uint32_t>(morlin::Method::LbpDiscriminant))
        r.Fail("an unknown method " + std::to_string(method));
    s.method = static_cast<morlin::Method>(method);
    const uint8_t isKernel = r.U8("the settings");
    if (isKernel > 1) r.Fail("an impossible kernel switch");
    s.designed.isKernel = isKernel == 1;
    s.designed.componentNum = r.I32("the settings");
    s.designed.distanceType = r.I32("the settings");
    s.designed.kernelType = r.I32("the settings");
    s.designed.gamma = r.F64("the settings");
    s.designed.coef0 = r.F64("the settings");
    s.designed.degree = r.F64("the settings");
    s.designed.threshold = r.F64("the settings");
    if (s.designed.distanceType < 0 || s.designed.distanceType >= distanceMeasureCount ||
        s.designed.kernelType < 0 || s.designed.kernelType >= kernelTypeCount)
        r.Fail("an unknown distance measure or kernel");
    return s;
}

}  // namespace

std::string ModelBytes(const FaceModel& model) {
    Writer w;
    WriteSettings(w, model.settings);
    w.I32(model.Rows());
    w.I32(model.Columns());
    const Basis::Parts basis = model.basis.ToParts();
    if (basis.form != Basis::Form::Kernel)
        throw morlin::Error("the earlier model format holds no basis of the scatter form");
    w.I32(static_cast<int32_t>(basis.kind));
    w.I32(basis.faces);
    w.I32(basis.components);
    w.I32(basis.usable);
    w.I32(static_cast<int32_t>(basis.kernel.type));
    w.F64(basis.kernel.gamma);
    w.F64(basis.kernel.coef0);
    w.F64(basis.kernel.degree);
    w.Bytes(basis.levels);
    for (const std::string& person : model.basisPeople) w.String(person);
    w.Floats(basis.centring.rowShare);
    w.Number(basis.centring.allShare);
    w.Floats(basis.eigenvectors);
    w.Floats(basis.eigenvalues);
    w.Floats(basis.coordinates);
    w.U8(model.discriminant ? 1 : 0);
    if (model.discriminant) {
        const Discriminant::Parts stage = model.discriminant->ToParts();
        w.I32(stage.inputs);
        w.I32(stage.dimensions);
        w.F64(stage.regularization);
        w.Floats(stage.mean);
        w.Floats(stage.directions);
    }
    w.U32(static_cast<uint32_t>(model.people.size()));
    for (const std::string& person : model.people) w.String(person);
    w.U32(static_cast<uint32_t>(model.personOf.size()));
    for (int p : model.personOf) w.U32(static_cast<uint32_t>(p));
    w.Floats(model.signatures);
    w.F64(model.threshold);
    w.F64(model.typicalNextDistance);
    w.U8(model.calibration ? 1 : 0);
    if (model.calibration) {
        w.F64(model.calibration->target);
        w.F64(model.calibration->threshold);
        w.U64(model.calibration->people);
        w.U32(static_cast<uint32_t>(model.calibration->scores.size()));
        w.Doubles(model.calibration->scores);
        w.String(model.calibration->warning);
    }

    Writer file;
    file.out.append(magic, sizeof magic);
    file.U32(modelFormatVersion);
    file.U64(w.out.size());
    file.out += w.out;
    file.U32(Crc32(file.out.data(), file.out.size()));
    return file.out;
}

FaceModel ModelFromBytes(std::string_view bytes, const std::string& name, bool checksum) {
    const auto fail = [&](const std::string& what) { throw morlin::Error(name + ": " + what); };
    if (bytes.size() < sizeof magic || std::memcmp(bytes.data(), magic, sizeof magic) != 0)
        fail("not a model file (it does not begin with MORLINID)");
    if (bytes.size() < headerBytes + checksumBytes) fail("truncated: it ends inside its header");
    uint32_t version = 0;
    uint64_t payload = 0;
    std::memcpy(&version, bytes.data() + 8, sizeof version);
    std::memcpy(&payload, bytes.data() + 12, sizeof payload);
    if (version != modelFormatVersion)
        fail("model format version " + std::to_string(version) + "; this library reads version " +
             std::to_string(modelFormatVersion) + " (train the model again with this library)");
    if (payload > bytes.size() - headerBytes - checksumBytes)
        fail("truncated: " + std::to_string(bytes.size()) + " bytes where the header announces " +
             std::to_string(payload + headerBytes + checksumBytes));
    if (payload < bytes.size() - headerBytes - checksumBytes)
        fail("damaged: bytes follow the model's end");
    const size_t end = headerBytes + static_cast<size_t>(payload);
    uint32_t stored = 0;
    std::memcpy(&stored, bytes.data() + end, sizeof stored);
    if (checksum && stored != Crc32(bytes.data(), end))
        fail("damaged: its checksum does not match its contents");

    Reader r(bytes, headerBytes, end, name);
    FaceModel model;
    model.settings = ReadSettings(r);
    const int rows = r.Count("the image size");
    const int columns = r.Count("the image size");
    if (rows < 1 || columns < 1 || int64_t{rows} * columns > std::numeric_limits<int32_t>::max())
        r.Fail("an impossible image size");
    Basis::Parts basis{};
    const int32_t kind = r.I32("the basis");
    if (kind != static_cast<int32_t>(FeatureKind::EqualizedPixels) &&
        kind != static_cast<int32_t>(FeatureKind::LbpHistograms))
        r.Fail("an unknown feature kind");
    basis.kind = static_cast<FeatureKind>(kind);
    basis.rows = rows;
    basis.columns = columns;
    basis.faces = r.Count("the basis");
    basis.components = r.Count("the basis");
    basis.usable = r.Count("the basis");
    const int32_t kernelType = r.I32("the kernel");
    if (kernelType < 0 || kernelType >= kernelTypeCount) r.Fail("an unknown kernel");
    basis.kernel.type = static_cast<KernelType>(kernelType);
    basis.kernel.gamma = r.F64("the kernel");
    basis.kernel.coef0 = r.F64("the kernel");
    basis.kernel.degree = r.F64("the kernel");
    const uint64_t faces = static_cast<uint64_t>(basis.faces);
    const uint64_t components = static_cast<uint64_t>(basis.components);
    basis.levels =
        r.Array<uint8_t>(faces * static_cast<uint64_t>(rows) * columns, "the basis's faces");
    for (uint64_t j = 0; j < faces; ++j) {
        model.basisPeople.push_back(r.String("the basis's people"));
        if (model.basisPeople.back().empty()) r.Fail("an empty person name");
    }
    basis.centring.rowShare = r.Array<float>(faces, "the centring");
    basis.centring.allShare = r.Number<float>("the centring");
    basis.eigenvectors = r.Array<float>(faces * components, "the eigenvectors");
    basis.eigenvalues = r.Array<float>(components, "the eigenvalues");
    basis.coordinates = r.Array<float>(components * faces, "the coordinates");
    model.basis = Basis::FromParts(std::move(basis));

    const uint8_t staged = r.U8("the stage");
    if (staged > 1) r.Fail("an impossible stage switch");
    if (staged == 1 && model.settings.method == morlin::Method::Designed)
        r.Fail("a discriminant stage that does not fit the method");
    if (staged == 1) {
        Discriminant::Parts stage{};
        stage.inputs = r.Count("the stage", model.basis.Components());
        stage.dimensions = r.Count("the stage", stage.inputs);
        stage.regularization = r.F64("the stage");
        stage.mean = r.Array<float>(static_cast<uint64_t>(stage.inputs), "the stage");
        stage.directions =
            r.Array<float>(static_cast<uint64_t>(stage.inputs) * stage.dimensions, "the stage");
        if (stage.inputs != model.basis.Usable()) r.Fail("a stage that does not fit the basis");
        model.discriminant = Discriminant::FromParts(std::move(stage));
    }
    const uint32_t people = r.U32("the gallery");
    if (people > (end - headerBytes) / sizeof(uint32_t))
        r.Fail("a size that does not fit the file in the gallery");
    for (uint32_t p = 0; p < people; ++p) {
        model.people.push_back(r.String("the gallery's people"));
        if (model.people.back().empty()) r.Fail("an empty person name");
    }
    if (std::set<std::string>(model.people.begin(), model.people.end()).size() !=
        model.people.size())
        r.Fail("a person enrolled twice");
    const uint32_t images = r.U32("the gallery");
    const std::vector<uint32_t> personOf = r.Array<uint32_t>(images, "the gallery");
    std::vector<int> seen(people, 0);
    for (uint32_t p : personOf) {
        if (p >= people) r.Fail("an image of nobody enrolled");
        seen[p] = 1;
    }
    if (std::find(seen.begin(), seen.end(), 0) != seen.end()) r.Fail("a person without images");
    model.personOf.assign(personOf.begin(), personOf.end());
    model.signatures =
        r.Array<float>(static_cast<uint64_t>(images) * static_cast<uint64_t>(model.Dimensions()),
                       "the signatures");
    model.threshold = r.F64("the threshold");
    model.typicalNextDistance = r.F64("the threshold");
    if (std::isnan(model.threshold) || !(model.typicalNextDistance > 0.0))
        r.Fail("an impossible threshold");
    const uint8_t calibrated = r.U8("the calibration");
    if (calibrated > 1) r.Fail("an impossible calibration switch");
    if (calibrated == 1) {
        StrangerCalibration calibration;
        calibration.target = r.F64("the calibration");
        calibration.threshold = r.F64("the calibration");
        calibration.people = static_cast<size_t>(r.U64("the calibration"));
        const uint32_t count = r.U32("the calibration");
        calibration.scores = r.Array<double>(count, "the calibration");
        calibration.warning = r.String("the calibration");
        if (!(calibration.target > 0.0 && calibration.target < 1.0) || calibration.people < 2 ||
            !std::is_sorted(calibration.scores.begin(), calibration.scores.end()) ||
            std::any_of(calibration.scores.begin(), calibration.scores.end(),
                        [](double s) { return std::isnan(s); }))
            r.Fail("an impossible calibration");
        // Every search of this format was among the basis's other people.
        calibration.searchedAmong = static_cast<double>(calibration.people) - 1.0;
        calibration.basisScores = calibration.scores;
        calibration.basisPeople = calibration.people;
        model.thresholdCalibrated = model.threshold == calibration.threshold;
        model.calibration = std::move(calibration);
    }
    if (!r.AtEnd()) r.Fail("bytes left over after the model");
    model.Derive();
    return model;
}

FaceModel LoadModel(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw morlin::Error(path + ": cannot be opened: " + std::strerror(errno));
    struct Descriptor {
        int fd;
        ~Descriptor() { ::close(fd); }
    } descriptor{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        throw morlin::Error(path + ": cannot be read: " + std::strerror(errno));
    if (S_ISDIR(info.st_mode)) throw morlin::Error(path + ": is a folder, not a model file");
    if (!S_ISREG(info.st_mode)) throw morlin::Error(path + ": is not a regular file");
    const size_t size = static_cast<size_t>(info.st_size);
    if (size == 0) return ModelFromBytes(std::string_view(), path);
    // Mapped, not copied: a large gallery's model is read in place, and no
    // copy of it is left behind in the host's heap.
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped == MAP_FAILED)
        throw morlin::Error(path + ": cannot be read: " + std::strerror(errno));
    struct Mapping {
        void* at;
        size_t size;
        ~Mapping() { ::munmap(at, size); }
    } mapping{mapped, size};
    return ModelFromBytes(std::string_view(static_cast<const char*>(mapped), size), path);
}

void SaveModel(const FaceModel& model, const std::string& path) {
    const std::string bytes = ModelBytes(model);
    const auto fail = [&](const std::string& what) {
        throw morlin::Error(path + ": " + what + ": " + std::strerror(errno) +
                            "; the model was not saved");
    };
    // The guard exists before the staged file does, so that nothing which
    // can fail (not even copying its name) comes between creating it and
    // owning it: whatever fails, the staged file goes and path stays as it was.
    struct Staged {
        std::string name;
        int fd = -1;
        bool created = false;
        bool kept = false;
        ~Staged() {
            if (fd >= 0) ::close(fd);
            if (created && !kept) ::unlink(name.c_str());
        }
    } file{path + ".XXXXXX"};
    const int fd = ::mkostemp(file.name.data(), O_CLOEXEC);
    if (fd < 0) fail("cannot create a file beside it");
    file.fd = fd;
    file.created = true;
    const std::string& staged = file.name;
    for (size_t written = 0; written < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail("cannot be written");
        written += static_cast<size_t>(n);
    }
    if (::fchmod(fd, 0644) != 0 || ::fsync(fd) != 0) fail("cannot be flushed to disk");
    file.fd = -1;
    if (::close(fd) != 0) fail("cannot be written");
    if (::rename(staged.c_str(), path.c_str()) != 0) fail("cannot be put in place");
    file.kept = true;
    // The rename lasts only once the folder's entry is on disk too.
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        const bool synced = ::fsync(folderFd) == 0 || errno == EINVAL;
        ::close(folderFd);
        if (!synced)
            throw morlin::Error(path +
                                ": its folder cannot be flushed to disk: " + std::strerror(errno) +
                                "; the model is in place but may not "
                                "survive a power loss");
    }
}
