// Small rules for manifest and key-file texts, which are bytes: splitting at a
// separator, trimming blanks, folding ASCII case. Nothing else is converted.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The pieces of text between separators, empty pieces left out.
std::vector<std::string> NonEmptyPieces(const std::string& text, char separator);

// text without the blanks (space, tab, carriage return, line feed) around it.
std::string Trimmed(std::string_view text);

// text with A-Z turned into a-z and every other byte kept.
std::string AsciiLower(std::string_view text);
