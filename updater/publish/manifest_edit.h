// Editing a manifest's text as publish does: every byte the author wrote
// stays, lines taken as a client's reader takes them.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "manifest/ini_file.h"

// One line of the manifest with its own line ending, as read.
struct Line {
    std::string text;
    std::string ending;
};

std::vector<Line> SplitLines(const std::string& bytes);

// A line of the manifest as a client's reader takes it, cut where it cuts.
IniLine AsRead(const Line& line);

// The number (from 1) of the line the reader takes section's name from (the
// last one, as the last value wins), or 0 when there is none.
int LineOf(const std::string& manifest, const std::string& section, const std::string& name);

// What publish writes: per section, the entries it sets (replacing any
// earlier value of the same name).
using Settings = std::map<std::string, std::vector<std::pair<std::string, std::string>>>;

// The manifest with every setting in place: each goes right below the
// section's first header, lines of the same name elsewhere in the section
// are dropped, and every other byte stays as it was.
// dropped: per section, further names whose lines go (patch offers of an
// earlier publish, say).
std::string Rewrite(const std::string& manifest, Settings settings,
                    std::map<std::string, std::set<std::string>> replaced = {});
