// The identifier's model file: one trained model, written atomically and
// read back only when every byte is as written. The format is described in
// model_file.cpp, beside the code that writes it.
#pragma once

#include <string>
#include <string_view>

#include "identifier/face_model.h"

// The format this library writes and reads.
inline constexpr unsigned modelFormatVersion = 1;

// Writes model to path: a new file beside it, flushed, renamed over it, the
// folder flushed; path is the old file or the new one, never a mix. Throws
// morlin::Error naming the file when any step fails (the old file then stays).
void SaveModel(const FaceModel& model, const std::string& path);

// The model in path. Throws morlin::Error naming the file and what is wrong
// when it cannot be read, is not a model file, is of another format version,
// is truncated or damaged (checksum), or holds sizes that do not fit.
FaceModel LoadModel(const std::string& path);

// The same from bytes already read; name stands for the file in messages.
// checksum false skips the checksum, so that every other check can be tried
// on damaged bytes (fuzzing).
FaceModel ModelFromBytes(std::string_view bytes, const std::string& name, bool checksum = true);
// The bytes SaveModel writes.
std::string ModelBytes(const FaceModel& model);
