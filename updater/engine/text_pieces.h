// Splitting manifest texts (versions, file names) at a separator.
#pragma once

#include <string>
#include <vector>

// The pieces of text between separators, empty pieces left out.
std::vector<std::string> NonEmptyPieces(const std::string& text, char separator);
