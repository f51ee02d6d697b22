// Small rules for manifest and key-file texts, which are bytes: splitting at a
// separator, trimming blanks, folding ASCII case. Nothing else is converted.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The pieces of text between separators, empty pieces left out.
std::vector<std::string> NonEmptyPieces(const std::string& text, char separator);

// The lines of a key file or key list, the first at index 0: split at line
// feeds (a last line without one counts, no empty line follows a final one),
// each without its comment from "#" on and without blanks around it.
std::vector<std::string> CommentFreeLines(std::string_view text);

// text without the blanks (space, tab, carriage return, line feed) around it.
std::string Trimmed(std::string_view text);

// text with A-Z turned into a-z and every other byte kept.
std::string AsciiLower(std::string_view text);
