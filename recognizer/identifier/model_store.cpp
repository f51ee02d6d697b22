// The model database.
//
// SCHEMA (format version 2: PRAGMA user_version = 2, application_id
// 0x4D524C4E "MRLN"). Numbers in blobs are little-endian IEEE floats (f32)
// or doubles (f64), one after the other; names are the bytes given, as
// blobs. Every table named "one" has at most one row (one = 1).
//
//   model        one row: training (16 random bytes, new with every model
//                written whole from elsewhere), generation (counts the
//                times it was written whole: trained again), the settings
//                (method, is_kernel, component_num, distance_type,
//                kernel_type, gamma, coef0, degree, given_threshold), how
//                faces are made (faces: 0 given crops, 1 found in pictures;
//                face_rows, face_columns) and follows (1 while the model is
//                trained again as people come and go)
//   basis        one row: feature_kind, faces F, components C, usable U, the
//                kernel (kernel_type, kernel_gamma, kernel_coef0,
//                kernel_degree), levels (F faces of face_rows x face_columns
//                bytes), eigenvalues (C f32), coordinates (C x F f32, face
//                after face), form (0 kernel, 1 scatter: see basis.h) and
//                what the form needs: the kernel form row_shares (F f32) and
//                all_share (the centring) and eigenvectors (F x C f32, column
//                after column), mean and projection empty; the scatter form
//                mean (L f64, L features per face) and projection (C x L
//                f32, image after image), row_shares and eigenvectors empty
//   basis_faces  the person of each basis face (face 0 .. F - 1)
//   stage        one row or none (no discriminant stage): inputs I (= U),
//                dimensions D, regularization, mean (I f32), directions
//                (I x D f32, direction after direction)
//   threshold    one row: threshold, calibrated (1: the calibration's,
//                following it), note (why not calibrated), typical_next
//   calibration  one row or none: target, threshold, people, searched_among,
//                scores (f64, ascending), basis_scores (f64, ascending),
//                basis_people, warning
//   people       id (never reused), name (unique)
//   images       id (never reused: enrolment order), person (its id),
//                signature (D f32, or U without a stage, or C for the
//                designed method), list (its list in the search index, or
//                NULL without one)
//   search_index one row or none (a gallery searched exactly): dimensions,
//                lists L, trained_on (the images the lists were learnt
//                from), centroids (L x D f32), scalar (the 8-bit codes'
//                trained ranges, f32): see search_index.h
//   changes      the log of enrolments and removals since the model was
//                last written whole: seq, kind (0 enrolled, 1 removed),
//                person, first_image and last_image (the enrolled ids)
//
// A reader remembers the training, the generation and the last change it
// has seen; PRAGMA data_version tells it cheaply that another connection
// committed. Then another training or generation reloads everything; new
// changes are replayed (the enrolled rows read, the removed people dropped)
// and the threshold and calibration read again.
//
// Reading checks everything against everything else before it is used:
// sizes against the blobs, the basis's and the stage's parts
// (Basis::FromParts, Discriminant::FromParts), each image's person, finite
// numbers; anything that does not fit is a damaged model, named.
#include "identifier/model_store.h"

#include <fcntl.h>
#include <sqlcipher/sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "identifier/model_file.h"

namespace {

constexpr int64_t formatVersion = 2;
constexpr int64_t applicationId = 0x4D524C4E;
// How long a writer waits for another's transaction (a model trained again
// and calibrated may hold it for seconds).
constexpr int busyWaitMs = 120000;
constexpr int64_t enrolled = 0, removed = 1;

const char* const schema = R"(
CREATE TABLE model (
  one INTEGER PRIMARY KEY CHECK (one = 1), training BLOB NOT NULL, generation INTEGER NOT NULL,
  method INTEGER NOT NULL, is_kernel INTEGER NOT NULL, component_num INTEGER NOT NULL,
  distance_type INTEGER NOT NULL, kernel_type INTEGER NOT NULL, gamma REAL NOT NULL,
  coef0 REAL NOT NULL, degree REAL NOT NULL, given_threshold REAL NOT NULL,
  faces INTEGER NOT NULL, face_rows INTEGER NOT NULL, face_columns INTEGER NOT NULL,
  follows INTEGER NOT NULL);
CREATE TABLE basis (
  one INTEGER PRIMARY KEY CHECK (one = 1), feature_kind INTEGER NOT NULL, faces INTEGER NOT NULL,
  components INTEGER NOT NULL, usable INTEGER NOT NULL, kernel_type INTEGER NOT NULL,
  kernel_gamma REAL NOT NULL, kernel_coef0 REAL NOT NULL, kernel_degree REAL NOT NULL,
  levels BLOB NOT NULL, row_shares BLOB NOT NULL, all_share REAL NOT NULL,
  eigenvectors BLOB NOT NULL, eigenvalues BLOB NOT NULL, coordinates BLOB NOT NULL,
  form INTEGER NOT NULL, mean BLOB NOT NULL, projection BLOB NOT NULL);
CREATE TABLE basis_faces (face INTEGER PRIMARY KEY, person BLOB NOT NULL);
CREATE TABLE stage (
  one INTEGER PRIMARY KEY CHECK (one = 1), inputs INTEGER NOT NULL, dimensions INTEGER NOT NULL,
  regularization REAL NOT NULL, mean BLOB NOT NULL, directions BLOB NOT NULL);
CREATE TABLE threshold (
  one INTEGER PRIMARY KEY CHECK (one = 1), threshold REAL NOT NULL, calibrated INTEGER NOT NULL,
  note BLOB NOT NULL, typical_next REAL NOT NULL);
CREATE TABLE calibration (
  one INTEGER PRIMARY KEY CHECK (one = 1), target REAL NOT NULL, threshold REAL NOT NULL,
  people INTEGER NOT NULL, searched_among REAL NOT NULL, scores BLOB NOT NULL,
  basis_scores BLOB NOT NULL, basis_people INTEGER NOT NULL, warning BLOB NOT NULL);
CREATE TABLE people (id INTEGER PRIMARY KEY AUTOINCREMENT, name BLOB NOT NULL UNIQUE);
CREATE TABLE images (
  id INTEGER PRIMARY KEY AUTOINCREMENT, person INTEGER NOT NULL REFERENCES people (id),
  signature BLOB NOT NULL, list INTEGER);
CREATE TABLE search_index (
  one INTEGER PRIMARY KEY CHECK (one = 1), dimensions INTEGER NOT NULL, lists INTEGER NOT NULL,
  trained_on INTEGER NOT NULL, centroids BLOB NOT NULL, scalar BLOB NOT NULL);
CREATE INDEX images_by_person ON images (person);
CREATE TABLE changes (
  seq INTEGER PRIMARY KEY AUTOINCREMENT, kind INTEGER NOT NULL, person BLOB NOT NULL,
  first_image INTEGER, last_image INTEGER);
)";

template <typename T>
std::vector<T> ArrayOf(std::string_view bytes, const std::string& path, const char* what) {
    if (bytes.size() % sizeof(T) != 0)
        throw morlin::Error(path + ": damaged: " + what + " holds a broken number");
    std::vector<T> values(bytes.size() / sizeof(T));
    if (!bytes.empty()) std::memcpy(values.data(), bytes.data(), bytes.size());
    return values;
}

std::string TextOf(std::string_view bytes) {
    return std::string(bytes);
}

std::string RandomTraining() {
    std::random_device device;
    std::string bytes(16, '\0');
    for (char& b : bytes) b = static_cast<char>(device() & 0xFF);
    return bytes;
}

// Opens a database and checks it is a model database of this format; a
// wrong key shows as a file SQLite cannot read.
std::unique_ptr<SqliteConnection> OpenModelDatabase(const std::string& path,
                                                    const std::string& key) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) throw morlin::Error(path + ": no such file");
    auto connection = std::make_unique<SqliteConnection>(path, SqliteConnection::Mode::ReadWrite,
                                                         key, busyWaitMs);
    int64_t application = 0, version = 0;
    try {
        application = connection->Integer("PRAGMA application_id");
        version = connection->Integer("PRAGMA user_version");
    } catch (const morlin::Error&) {
        const int code = connection->LastCode();
        if (code == SQLITE_NOTADB)
            throw morlin::Error(path + ": not a model database, or an encrypted one and " +
                                (key.empty() ? std::string("no key was given (give its key file)")
                                             : std::string("the key is wrong")));
        throw;
    }
    if (application != applicationId)
        throw morlin::Error(path + ": an SQLite database, but not a morlin model");
    if (version != formatVersion)
        throw morlin::Error(path + ": model format version " + std::to_string(version) +
                            "; this library reads version " + std::to_string(formatVersion));
    connection->Execute("PRAGMA journal_mode = WAL");
    connection->Execute("PRAGMA synchronous = FULL");
    connection->Execute("PRAGMA foreign_keys = ON");
    return connection;
}

// Writes enrolled image i of model as a row of person (image: the images
// table's INSERT of person, signature and list).
void InsertImage(SqliteStatement& image, const FaceModel& model, size_t i, int64_t person) {
    const size_t d = static_cast<size_t>(model.Dimensions());
    image.Reset();
    image.Bind(1, person).BindBytes(
        2, std::string_view(reinterpret_cast<const char*>(model.signatures.data() + i * d),
                            d * sizeof(float)));
    if (model.index)
        image.Bind(3, int64_t{model.index->ListOf(i)});
    else
        image.BindNull(3);
    image.Run();
}

}  // namespace

ModelStore::ModelStore(const std::string& file, const std::string& modelKey)
    : path(file), key(modelKey), connection(OpenModelDatabase(file, modelKey)) {}

ModelStore::~ModelStore() = default;

bool ModelStore::IsEarlierFormat(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    char begin[8] = {};
    return in.read(begin, sizeof begin) && std::memcmp(begin, "MORLINID", sizeof begin) == 0;
}

void ModelStore::Remember() {
    SqliteStatement model(*connection, "SELECT training, generation FROM model");
    if (!model.Step()) throw morlin::Error(path + ": damaged: no model row");
    training = TextOf(model.Bytes(0));
    generation = model.Integer(1);
    seenChange = connection->Integer("SELECT coalesce(max(seq), 0) FROM changes");
    dataVersion = connection->Integer("PRAGMA data_version");
}

bool ModelStore::Outdated() {
    return connection->Integer("PRAGMA data_version") != dataVersion;
}

FaceModel ModelStore::Load() {
    FaceModel model;
    const auto read = [&] {
        const auto damaged = [&](const std::string& what) {
            throw morlin::Error(path + ": damaged: " + what);
        };
        SqliteStatement row(
            *connection,
            "SELECT method, is_kernel, component_num, distance_type, kernel_type, "
            "gamma, coef0, degree, given_threshold, faces, face_rows, face_columns, "
            "follows FROM model");
        if (!row.Step()) damaged("no model row");
        const int64_t method = row.Integer(0);
        if (method < 0 || method > static_cast<int64_t>(morlin::Method::LbpDiscriminant))
            damaged("an unknown method");
        model.settings.method = static_cast<morlin::Method>(method);
        model.settings.designed.isKernel = row.Integer(1) != 0;
        model.settings.designed.componentNum = static_cast<int>(row.Integer(2));
        model.settings.designed.distanceType = static_cast<int>(row.Integer(3));
        model.settings.designed.kernelType = static_cast<int>(row.Integer(4));
        model.settings.designed.gamma = row.Real(5);
        model.settings.designed.coef0 = row.Real(6);
        model.settings.designed.degree = row.Real(7);
        model.settings.designed.threshold = row.Real(8);
        if (model.settings.designed.distanceType < 0 ||
            model.settings.designed.distanceType >= distanceMeasureCount ||
            model.settings.designed.kernelType < 0 ||
            model.settings.designed.kernelType >= kernelTypeCount)
            damaged("an unknown distance measure or kernel");
        const int64_t faces = row.Integer(9);
        if (faces != 0 && faces != 1) damaged("an unknown way of making faces");
        model.faces = static_cast<morlin::FaceSource>(faces);
        const int64_t rows = row.Integer(10), columns = row.Integer(11);
        model.follows = row.Integer(12) != 0;

        SqliteStatement basisRow(*connection,
                                 "SELECT feature_kind, faces, components, usable, kernel_type, "
                                 "kernel_gamma, kernel_coef0, kernel_degree, levels, row_shares, "
                                 "all_share, eigenvectors, eigenvalues, coordinates, form, mean, "
                                 "projection FROM basis");
        if (!basisRow.Step()) damaged("no basis");
        Basis::Parts basis{};
        const int64_t kind = basisRow.Integer(0);
        if (kind != static_cast<int64_t>(FeatureKind::EqualizedPixels) &&
            kind != static_cast<int64_t>(FeatureKind::LbpHistograms))
            damaged("an unknown feature kind");
        if (rows < 1 || columns < 1 || rows * columns > std::numeric_limits<int32_t>::max())
            damaged("an impossible face size");
        basis.kind = static_cast<FeatureKind>(kind);
        basis.rows = static_cast<int>(rows);
        basis.columns = static_cast<int>(columns);
        const auto count = [&](int column) {
            const int64_t value = basisRow.Integer(column);
            if (value < 0 || value > std::numeric_limits<int32_t>::max())
                damaged("an impossible count");
            return static_cast<int>(value);
        };
        basis.faces = count(1);
        basis.components = count(2);
        basis.usable = count(3);
        const int64_t kernelType = basisRow.Integer(4);
        if (kernelType < 0 || kernelType >= kernelTypeCount) damaged("an unknown kernel");
        basis.kernel.type = static_cast<KernelType>(kernelType);
        basis.kernel.gamma = basisRow.Real(5);
        basis.kernel.coef0 = basisRow.Real(6);
        basis.kernel.degree = basisRow.Real(7);
        basis.levels = ArrayOf<uint8_t>(basisRow.Bytes(8), path, "the basis's faces");
        basis.centring.rowShare = ArrayOf<float>(basisRow.Bytes(9), path, "the centring");
        basis.centring.allShare = static_cast<float>(basisRow.Real(10));
        basis.eigenvectors = ArrayOf<float>(basisRow.Bytes(11), path, "the eigenvectors");
        basis.eigenvalues = ArrayOf<float>(basisRow.Bytes(12), path, "the eigenvalues");
        basis.coordinates = ArrayOf<float>(basisRow.Bytes(13), path, "the coordinates");
        const int64_t form = basisRow.Integer(14);
        if (form != static_cast<int64_t>(Basis::Form::Kernel) &&
            form != static_cast<int64_t>(Basis::Form::Scatter))
            damaged("an unknown form of basis");
        basis.form = static_cast<Basis::Form>(form);
        basis.mean = ArrayOf<double>(basisRow.Bytes(15), path, "the mean features");
        basis.projection = ArrayOf<float>(basisRow.Bytes(16), path, "the projection images");
        try {
            model.basis = Basis::FromParts(std::move(basis));
        } catch (const morlin::Error& e) {
            damaged(e.what());
        }

        SqliteStatement basisFaces(*connection, "SELECT person FROM basis_faces ORDER BY face");
        while (basisFaces.Step()) {
            model.basisPeople.push_back(TextOf(basisFaces.Bytes(0)));
            if (model.basisPeople.back().empty()) damaged("an empty person name");
        }
        if (model.basisPeople.size() != static_cast<size_t>(model.basis.Faces()))
            damaged("the basis's people do not fit its faces");

        SqliteStatement stageRow(*connection,
                                 "SELECT inputs, dimensions, regularization, mean, "
                                 "directions FROM stage");
        if (stageRow.Step()) {
            if (model.settings.method == morlin::Method::Designed)
                damaged("a discriminant stage that does not fit the method");
            Discriminant::Parts stage{};
            stage.inputs = static_cast<int>(std::clamp<int64_t>(stageRow.Integer(0), -1, 1 << 30));
            stage.dimensions =
                static_cast<int>(std::clamp<int64_t>(stageRow.Integer(1), -1, 1 << 30));
            stage.regularization = stageRow.Real(2);
            stage.mean = ArrayOf<float>(stageRow.Bytes(3), path, "the stage");
            stage.directions = ArrayOf<float>(stageRow.Bytes(4), path, "the stage");
            if (stage.inputs != model.basis.Usable())
                damaged("a stage that does not fit the basis");
            try {
                model.discriminant = Discriminant::FromParts(std::move(stage));
            } catch (const morlin::Error& e) {
                damaged(e.what());
            }
        }

        std::map<int64_t, int> personIndex;
        SqliteStatement people(*connection, "SELECT id, name FROM people ORDER BY id");
        while (people.Step()) {
            personIndex[people.Integer(0)] = static_cast<int>(model.people.size());
            model.people.push_back(TextOf(people.Bytes(1)));
            if (model.people.back().empty()) damaged("an empty person name");
        }
        const size_t d = static_cast<size_t>(model.Dimensions());
        SqliteStatement images(*connection,
                               "SELECT person, signature, list FROM images ORDER BY id");
        std::vector<int> seen(model.people.size(), 0);
        std::vector<int32_t> lists;
        bool everyList = true;
        while (images.Step()) {
            if (images.IsNull(2)) {
                everyList = false;
            } else {
                const int64_t list = images.Integer(2);
                if (list < 0 || list > std::numeric_limits<int32_t>::max())
                    damaged("an impossible list");
                lists.push_back(static_cast<int32_t>(list));
            }
            const auto person = personIndex.find(images.Integer(0));
            if (person == personIndex.end()) damaged("an image of nobody enrolled");
            const std::string_view signature = images.Bytes(1);
            if (signature.size() != d * sizeof(float)) damaged("a signature of another size");
            const size_t at = model.signatures.size();
            model.signatures.resize(at + d);
            std::memcpy(model.signatures.data() + at, signature.data(), signature.size());
            model.personOf.push_back(person->second);
            seen[static_cast<size_t>(person->second)] = 1;
        }
        if (std::find(seen.begin(), seen.end(), 0) != seen.end())
            damaged("a person without images");
        if (!std::all_of(model.signatures.begin(), model.signatures.end(),
                         [](float v) { return std::isfinite(v); }))
            damaged("a signature that is not numbers");

        SqliteStatement indexRow(*connection,
                                 "SELECT dimensions, lists, trained_on, centroids, "
                                 "scalar FROM search_index");
        if (indexRow.Step() && everyList && model.Discriminating()) {
            SearchIndex::Parts parts;
            parts.dimensions =
                static_cast<int>(std::clamp<int64_t>(indexRow.Integer(0), 0, 1 << 20));
            parts.lists = static_cast<int>(std::clamp<int64_t>(indexRow.Integer(1), 0, 1 << 24));
            parts.trainedOn = static_cast<size_t>(std::max<int64_t>(indexRow.Integer(2), 0));
            parts.centroids = ArrayOf<float>(indexRow.Bytes(3), path, "the search index");
            parts.scalar = ArrayOf<float>(indexRow.Bytes(4), path, "the search index");
            parts.listOf = std::move(lists);
            if (parts.dimensions != model.Dimensions()) damaged("a search index of another size");
            try {
                model.index = std::make_shared<SearchIndex>(SearchIndex::FromParts(
                    std::move(parts), model.signatures.data(), model.personOf.size()));
            } catch (const morlin::Error& e) {
                damaged(e.what());
            }
        }

        SqliteStatement threshold(
            *connection, "SELECT threshold, calibrated, note, typical_next FROM threshold");
        if (!threshold.Step() || threshold.IsNull(0)) damaged("no threshold");
        model.threshold = threshold.Real(0);
        model.thresholdCalibrated = threshold.Integer(1) != 0;
        model.thresholdNote = TextOf(threshold.Bytes(2));
        model.typicalNextDistance = threshold.Real(3);
        if (!(model.typicalNextDistance > 0.0) || !std::isfinite(model.typicalNextDistance))
            damaged("an impossible typical distance");

        SqliteStatement calibration(*connection,
                                    "SELECT target, threshold, people, searched_among, scores, "
                                    "basis_scores, basis_people, warning FROM calibration");
        if (calibration.Step()) {
            StrangerCalibration c;
            c.target = calibration.Real(0);
            c.threshold = calibration.Real(1);
            c.people = static_cast<size_t>(std::max<int64_t>(calibration.Integer(2), 0));
            c.searchedAmong = calibration.Real(3);
            c.scores = ArrayOf<double>(calibration.Bytes(4), path, "the calibration");
            c.basisScores = ArrayOf<double>(calibration.Bytes(5), path, "the calibration");
            c.basisPeople = static_cast<size_t>(std::max<int64_t>(calibration.Integer(6), 0));
            c.warning = TextOf(calibration.Bytes(7));
            const auto sortedNumbers = [](const std::vector<double>& v) {
                return std::is_sorted(v.begin(), v.end()) &&
                       std::none_of(v.begin(), v.end(), [](double s) { return std::isnan(s); });
            };
            if (!(c.target > 0.0 && c.target < 1.0) || !sortedNumbers(c.scores) ||
                !sortedNumbers(c.basisScores) || !(c.searchedAmong >= 0.0))
                damaged("an impossible calibration");
            model.calibration = std::move(c);
        } else if (model.thresholdCalibrated) {
            damaged("a calibrated threshold without its calibration");
        }
        Remember();
    };
    if (connection->InTransaction())
        read();
    else
        connection->Transaction(false, read);
    model.Derive();
    // A large gallery stored without its index (or with one that no longer
    // fits) gets one learnt now; it is stored with the next whole write.
    if (!model.index) model.KeepIndex(model.personOf.size());
    ++taken;
    return model;
}

void ModelStore::Sync(FaceModel& model) {
    if (!Outdated()) return;
    const auto sync = [&] {
        SqliteStatement row(*connection, "SELECT training, generation, follows FROM model");
        if (!row.Step()) throw morlin::Error(path + ": damaged: no model row");
        if (TextOf(row.Bytes(0)) != training || row.Integer(1) != generation) {
            model = Load();
            return;
        }
        model.follows = row.Integer(2) != 0;
        // Replay what was enrolled and removed since.
        SqliteStatement changes(*connection,
                                "SELECT kind, person, first_image, last_image "
                                "FROM changes WHERE seq > ? ORDER BY seq");
        changes.Bind(1, seenChange);
        SqliteStatement images(*connection,
                               "SELECT signature FROM images WHERE id BETWEEN ? AND ? ORDER BY id");
        const size_t d = static_cast<size_t>(model.Dimensions());
        while (changes.Step()) {
            const std::string person = TextOf(changes.Bytes(1));
            if (changes.Integer(0) == removed) {
                model.Remove(person);
                continue;
            }
            images.Reset();
            images.Bind(1, changes.Integer(2)).Bind(2, changes.Integer(3));
            std::vector<float> signatures;
            while (images.Step()) {
                const std::string_view bytes = images.Bytes(0);
                if (bytes.size() != d * sizeof(float))
                    throw morlin::Error(path + ": damaged: a signature of another size");
                const std::vector<float> one = ArrayOf<float>(bytes, path, "a signature");
                signatures.insert(signatures.end(), one.begin(), one.end());
            }
            if (!signatures.empty()) model.Enrol(signatures, person);
        }
        // The threshold and the calibration, as they are now.
        SqliteStatement threshold(*connection, "SELECT threshold, calibrated FROM threshold");
        if (threshold.Step()) {
            model.threshold = threshold.Real(0);
            model.thresholdCalibrated = threshold.Integer(1) != 0;
        }
        SqliteStatement calibration(*connection,
                                    "SELECT threshold, people, searched_among, scores, warning "
                                    "FROM calibration");
        if (calibration.Step() && model.calibration) {
            model.calibration->threshold = calibration.Real(0);
            model.calibration->people =
                static_cast<size_t>(std::max<int64_t>(calibration.Integer(1), 0));
            model.calibration->searchedAmong = calibration.Real(2);
            model.calibration->scores =
                ArrayOf<double>(calibration.Bytes(3), path, "the calibration");
            model.calibration->warning = TextOf(calibration.Bytes(4));
        }
        ++taken;
        Remember();
    };
    if (connection->InTransaction())
        sync();
    else
        connection->Transaction(false, sync);
}

void ModelStore::Write(FaceModel& model, const Change& change) {
    try {
        connection->Transaction(true, [&] {
            Sync(model);
            std::string person;
            int added = 0;
            switch (change(model, person, added)) {
                case ModelChange::None:
                    break;
                case ModelChange::Enrolled:
                    WriteEnrolment(model, person, added);
                    break;
                case ModelChange::Removed:
                    WriteRemoval(model, person);
                    break;
                case ModelChange::Threshold:
                    WriteThreshold(model);
                    break;
                case ModelChange::Whole:
                    ++generation;
                    WriteAll(model);
                    break;
            }
            Remember();
        });
    } catch (...) {
        // The model in memory may hold what was not committed: the
        // committed one is read again (as late as the next call).
        try {
            model = Load();
        } catch (...) {
            dataVersion = -1;
            training.clear();
        }
        throw;
    }
}

void ModelStore::WriteThreshold(const FaceModel& model) {
    connection->Execute("DELETE FROM threshold; DELETE FROM calibration");
    SqliteStatement given(*connection, "UPDATE model SET given_threshold = ?");
    given.Bind(1, model.settings.designed.threshold).Run();
    SqliteStatement threshold(*connection,
                              "INSERT INTO threshold (one, threshold, calibrated, "
                              "note, typical_next) VALUES (1, ?, ?, ?, ?)");
    threshold.Bind(1, model.threshold)
        .Bind(2, int64_t{model.thresholdCalibrated ? 1 : 0})
        .BindBytes(3, model.thresholdNote)
        .Bind(4, model.typicalNextDistance)
        .Run();
    if (!model.calibration) return;
    const StrangerCalibration& c = *model.calibration;
    SqliteStatement calibration(*connection,
                                "INSERT INTO calibration (one, target, threshold, people, "
                                "searched_among, scores, basis_scores, basis_people, warning) "
                                "VALUES (1, ?, ?, ?, ?, ?, ?, ?, ?)");
    calibration.Bind(1, c.target)
        .Bind(2, c.threshold)
        .Bind(3, static_cast<int64_t>(c.people))
        .Bind(4, c.searchedAmong)
        .BindArray(5, c.scores)
        .BindArray(6, c.basisScores)
        .Bind(7, static_cast<int64_t>(c.basisPeople))
        .BindBytes(8, c.warning)
        .Run();
}

void ModelStore::WriteAll(const FaceModel& model) {
    connection->Execute(
        "DELETE FROM changes; DELETE FROM images; DELETE FROM people; DELETE FROM search_index; "
        "DELETE FROM basis_faces; "
        "DELETE FROM stage; DELETE FROM basis; DELETE FROM model");
    const morlin::Settings& s = model.settings;
    SqliteStatement row(*connection,
                        "INSERT INTO model (one, training, generation, method, is_kernel, "
                        "component_num, distance_type, kernel_type, gamma, coef0, degree, "
                        "given_threshold, faces, face_rows, face_columns, follows) VALUES "
                        "(1, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    row.BindBytes(1, training)
        .Bind(2, generation)
        .Bind(3, int64_t{static_cast<int>(s.method)})
        .Bind(4, int64_t{s.designed.isKernel ? 1 : 0})
        .Bind(5, int64_t{s.designed.componentNum})
        .Bind(6, int64_t{s.designed.distanceType})
        .Bind(7, int64_t{s.designed.kernelType})
        .Bind(8, s.designed.gamma)
        .Bind(9, s.designed.coef0)
        .Bind(10, s.designed.degree)
        .Bind(11, s.designed.threshold)
        .Bind(12, int64_t{static_cast<int>(model.faces)})
        .Bind(13, int64_t{model.Rows()})
        .Bind(14, int64_t{model.Columns()})
        .Bind(15, int64_t{model.follows ? 1 : 0})
        .Run();

    const Basis::Parts basis = model.basis.ToParts();
    SqliteStatement basisRow(*connection,
                             "INSERT INTO basis (one, feature_kind, faces, components, usable, "
                             "kernel_type, kernel_gamma, kernel_coef0, kernel_degree, levels, "
                             "row_shares, all_share, eigenvectors, eigenvalues, coordinates, form, "
                             "mean, projection) VALUES "
                             "(1, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    basisRow.Bind(1, int64_t{static_cast<int>(basis.kind)})
        .Bind(2, int64_t{basis.faces})
        .Bind(3, int64_t{basis.components})
        .Bind(4, int64_t{basis.usable})
        .Bind(5, int64_t{static_cast<int>(basis.kernel.type)})
        .Bind(6, basis.kernel.gamma)
        .Bind(7, basis.kernel.coef0)
        .Bind(8, basis.kernel.degree)
        .BindArray(9, basis.levels)
        .BindArray(10, basis.centring.rowShare)
        .Bind(11, double{basis.centring.allShare})
        .BindArray(12, basis.eigenvectors)
        .BindArray(13, basis.eigenvalues)
        .BindArray(14, basis.coordinates)
        .Bind(15, int64_t{static_cast<int>(basis.form)})
        .BindArray(16, basis.mean)
        .BindArray(17, basis.projection)
        .Run();
    SqliteStatement face(*connection, "INSERT INTO basis_faces (face, person) VALUES (?, ?)");
    for (size_t j = 0; j < model.basisPeople.size(); ++j) {
        face.Reset();
        face.Bind(1, static_cast<int64_t>(j)).BindBytes(2, model.basisPeople[j]).Run();
    }
    if (model.discriminant) {
        const Discriminant::Parts stage = model.discriminant->ToParts();
        SqliteStatement stageRow(*connection,
                                 "INSERT INTO stage (one, inputs, dimensions, regularization, "
                                 "mean, directions) VALUES (1, ?, ?, ?, ?, ?)");
        stageRow.Bind(1, int64_t{stage.inputs})
            .Bind(2, int64_t{stage.dimensions})
            .Bind(3, stage.regularization)
            .BindArray(4, stage.mean)
            .BindArray(5, stage.directions)
            .Run();
    }
    std::vector<int64_t> personIds;
    SqliteStatement person(*connection, "INSERT INTO people (name) VALUES (?)");
    for (const std::string& name : model.people) {
        person.Reset();
        person.BindBytes(1, name).Run();
        personIds.push_back(sqlite3_last_insert_rowid(connection->Handle()));
    }
    SqliteStatement image(*connection,
                          "INSERT INTO images (person, signature, list) VALUES (?, ?, ?)");
    for (size_t i = 0; i < model.personOf.size(); ++i)
        InsertImage(image, model, i, personIds[static_cast<size_t>(model.personOf[i])]);
    if (model.index) {
        const SearchIndex::Parts parts = model.index->ToParts();
        SqliteStatement indexRow(*connection,
                                 "INSERT INTO search_index (one, dimensions, lists, trained_on, "
                                 "centroids, scalar) VALUES (1, ?, ?, ?, ?, ?)");
        indexRow.Bind(1, int64_t{parts.dimensions})
            .Bind(2, int64_t{parts.lists})
            .Bind(3, static_cast<int64_t>(parts.trainedOn))
            .BindArray(4, parts.centroids)
            .BindArray(5, parts.scalar)
            .Run();
    }
    WriteThreshold(model);
}

void ModelStore::WriteEnrolment(const FaceModel& model, const std::string& person, int added) {
    SqliteStatement insertPerson(*connection, "INSERT OR IGNORE INTO people (name) VALUES (?)");
    insertPerson.BindBytes(1, person).Run();
    SqliteStatement findPerson(*connection, "SELECT id FROM people WHERE name = ?");
    findPerson.BindBytes(1, person);
    if (!findPerson.Step()) throw morlin::Error(path + ": " + person + " was not written");
    const int64_t personId = findPerson.Integer(0);
    const size_t first = model.personOf.size() - static_cast<size_t>(added);
    SqliteStatement image(*connection,
                          "INSERT INTO images (person, signature, list) VALUES (?, ?, ?)");
    int64_t firstId = 0, lastId = 0;
    for (size_t i = first; i < model.personOf.size(); ++i) {
        InsertImage(image, model, i, personId);
        lastId = sqlite3_last_insert_rowid(connection->Handle());
        if (i == first) firstId = lastId;
    }
    SqliteStatement change(*connection,
                           "INSERT INTO changes (kind, person, first_image, "
                           "last_image) VALUES (?, ?, ?, ?)");
    change.Bind(1, enrolled).BindBytes(2, person).Bind(3, firstId).Bind(4, lastId).Run();
    SqliteStatement follows(*connection, "UPDATE model SET follows = ?");
    follows.Bind(1, int64_t{model.follows ? 1 : 0}).Run();
    WriteThreshold(model);
}

void ModelStore::WriteRemoval(const FaceModel& model, const std::string& person) {
    SqliteStatement images(*connection,
                           "DELETE FROM images WHERE person = "
                           "(SELECT id FROM people WHERE name = ?)");
    images.BindBytes(1, person).Run();
    SqliteStatement people(*connection, "DELETE FROM people WHERE name = ?");
    people.BindBytes(1, person).Run();
    SqliteStatement change(*connection, "INSERT INTO changes (kind, person) VALUES (?, ?)");
    change.Bind(1, removed).BindBytes(2, person).Run();
    SqliteStatement follows(*connection, "UPDATE model SET follows = ?");
    follows.Bind(1, int64_t{model.follows ? 1 : 0}).Run();
    WriteThreshold(model);
}

void ModelStore::Backup(const std::string& destination) {
    std::error_code ec;
    std::filesystem::remove(destination, ec);
    SqliteConnection copy(destination, SqliteConnection::Mode::Create, key, busyWaitMs);
    sqlite3_backup* backup =
        sqlite3_backup_init(copy.Handle(), "main", connection->Handle(), "main");
    if (backup == nullptr) copy.Fail("cannot back up " + path);
    // All pages in one step: a consistent copy of one committed state.
    const int rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) copy.Fail("cannot back up " + path);
}

void ModelStore::WriteWhole(const FaceModel& model, const std::string& file,
                            const std::string& key) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(file, ec);
    if (exists && !IsEarlierFormat(file)) {
        // A model database there: replaced in one transaction, so those who
        // have it open see another training, not a file taken away.
        std::optional<ModelStore> store;
        try {
            store.emplace(file, key);
        } catch (const morlin::Error&) {
            store.reset();
        }
        if (store) {
            store->connection->Transaction(true, [&] {
                store->training = RandomTraining();
                store->generation = 1;
                store->WriteAll(model);
            });
            return;
        }
    }
    // A new database beside it, renamed over it once whole and flushed.
    std::string staged = file + ".new-XXXXXX";
    const int fd = ::mkstemp(staged.data());
    if (fd < 0) throw morlin::Error(file + ": cannot be written: " + std::strerror(errno));
    ::close(fd);
    try {
        {
            SqliteConnection connection(staged, SqliteConnection::Mode::ReadWrite, key, busyWaitMs);
            // Large pages: a model is mostly large arrays, written in few
            // pieces (an encrypted one keeps its cipher's own page size).
            if (key.empty()) connection.Execute("PRAGMA page_size = 65536");
            connection.Execute("PRAGMA journal_mode = WAL");
            connection.Execute("PRAGMA synchronous = FULL");
            connection.Execute("PRAGMA application_id = " + std::to_string(applicationId));
            connection.Execute("PRAGMA user_version = " + std::to_string(formatVersion));
            connection.Transaction(true, [&] { connection.Execute(schema); });
        }
        ModelStore store(staged, key);
        store.connection->Transaction(true, [&] {
            store.training = RandomTraining();
            store.generation = 1;
            store.WriteAll(model);
        });
        // Closing checkpoints the log into the file and removes it.
        store.connection.reset();
        const int written = ::open(staged.c_str(), O_RDONLY | O_CLOEXEC);
        if (written < 0 || ::fsync(written) != 0) {
            if (written >= 0) ::close(written);
            throw morlin::Error(file + ": cannot be flushed: " + std::strerror(errno));
        }
        ::close(written);
        if (::rename(staged.c_str(), file.c_str()) != 0)
            throw morlin::Error(file + ": cannot be replaced: " + std::strerror(errno));
        const std::string folder = std::filesystem::path(file).parent_path().empty()
                                       ? "."
                                       : std::filesystem::path(file).parent_path().string();
        const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (directory >= 0) {
            ::fsync(directory);
            ::close(directory);
        }
    } catch (...) {
        std::filesystem::remove(staged, ec);
        std::filesystem::remove(staged + "-wal", ec);
        std::filesystem::remove(staged + "-shm", ec);
        throw;
    }
}
