// The model database: one identification model in one SQLite file (plain, or
// encrypted at rest with a key through SQLCipher), shared by every program
// that opens it. Writers are transactions: each brings its model up to what
// was committed, changes it and commits, so concurrent writers never lose
// each other's changes; a reader works on a whole committed state; a process
// killed at any point leaves the last committed one. The schema is described
// in model_store.cpp, beside the code that writes it.
//
// An enrolment into a large gallery writes its own rows only (the images,
// the person, a line of the change log, the threshold); a model trained
// again (a small gallery, see gallery_refresh.h) is written whole.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "identifier/face_model.h"
#include "identifier/sqlite_handles.h"

// How a writer's change is to be written.
enum class ModelChange {
    None,       // nothing changed
    Enrolled,   // images appended to one person (the last ones of the model)
    Removed,    // a person taken out
    Threshold,  // the threshold or the calibration
    Whole,      // everything (trained again)
};

class ModelStore {
public:
    // The model database at path. Throws morlin::Error naming the file when
    // it cannot be opened, is not a model database (another SQLite file, a
    // model of the earlier format, anything else), is damaged, is of another
    // format version, or when key is wrong (or missing for an encrypted one).
    ModelStore(const std::string& path, const std::string& key);
    ~ModelStore();
    ModelStore(const ModelStore&) = delete;
    ModelStore& operator=(const ModelStore&) = delete;

    // The whole model, and the state it was read at remembered.
    FaceModel Load();

    // Whether another connection committed since this one last read or wrote.
    bool Outdated();
    // Brings model (this store's, as last read or written) up to what is
    // committed: nothing when nothing is new; the change log replayed when
    // only people were enrolled or removed since; a whole Load otherwise.
    // Within a transaction of the caller's, or a read transaction of its own.
    void Sync(FaceModel& model);

    // The writer's step: in one write transaction, model is brought up to
    // date (Sync), change(model) changes it in memory and tells what it did,
    // and that is written (person: whom Enrolled or Removed concerns; added:
    // how many images Enrolled added). When anything throws, the transaction
    // rolls back and model is read again whole (the caller's model is the
    // committed one again), and the exception passes on.
    using Change = std::function<ModelChange(FaceModel& model, std::string& person, int& added)>;
    void Write(FaceModel& model, const Change& change);

    // A copy of the database at destination, while others use it (SQLite's
    // online backup), encrypted with the same key. Throws naming either file.
    void Backup(const std::string& destination);

    const std::string& Path() const { return path; }
    // Counts the times Load or Sync took what another connection committed.
    uint64_t Taken() const { return taken; }

    // Writes model as the whole content of path: into the model database
    // there in one transaction (those who have it open see a new training),
    // or, where path is anything else or nothing, as a new database beside
    // it, flushed and renamed over it. Throws morlin::Error naming the file.
    static void WriteWhole(const FaceModel& model, const std::string& path, const std::string& key);

    // Whether path begins as a model of the earlier format (model_file.h).
    static bool IsEarlierFormat(const std::string& path);

private:
    void WriteAll(const FaceModel& model);
    void WriteEnrolment(const FaceModel& model, const std::string& person, int added);
    void WriteRemoval(const FaceModel& model, const std::string& person);
    void WriteThreshold(const FaceModel& model);
    void Remember();

    std::string path;
    std::string key;
    std::unique_ptr<SqliteConnection> connection;
    // What this connection last read or wrote.
    std::string training;
    int64_t generation = 0;
    int64_t seenChange = 0;
    int64_t dataVersion = -1;
    uint64_t taken = 0;
};
