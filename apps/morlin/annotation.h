// Photos with their faces drawn on: every face boxed and named, strangers in
// another colour, for a person to check what identify said.
#pragma once

#include <QImage>

#include <optional>
#include <string>
#include <vector>

#include "morlin/faces.h"

struct NamedFace {
    morlin::Box box;
    std::optional<std::string> person;  // nothing: unknown
};

// photo with faces drawn on it (a new image; photo is left as it is).
QImage Annotated(const QImage& photo, const std::vector<NamedFace>& faces);
