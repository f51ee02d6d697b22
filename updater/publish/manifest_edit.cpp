// Editing a manifest's text, line by line as the reader takes it.
#include "publish/manifest_edit.h"

std::vector<Line> SplitLines(const std::string& bytes) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t feed = bytes.find('\n', start);
        if (feed == std::string::npos) {
            lines.push_back({bytes.substr(start), ""});
            break;
        }
        const bool crlf = feed > start && bytes[feed - 1] == '\r';
        lines.push_back({bytes.substr(start, feed - start - (crlf ? 1 : 0)), crlf ? "\r\n" : "\n"});
        start = feed + 1;
    }
    return lines;
}

IniLine AsRead(const Line& line) {
    return IniFile::ClassifyLine(line.text.substr(0, IniFile::maxLineBytes));
}

int LineOf(const std::string& manifest, const std::string& section, const std::string& name) {
    std::string current;
    int number = 0;
    int found = 0;
    for (const Line& line : SplitLines(manifest)) {
        ++number;
        const IniLine read = AsRead(line);
        if (read.kind == IniLine::Kind::Header)
            current = read.section;
        else if (read.kind == IniLine::Kind::Entry && current == section && read.name == name)
            found = number;
    }
    return found;
}

std::string Rewrite(const std::string& manifest, Settings settings,
                    std::map<std::string, std::set<std::string>> replaced) {
    const std::string defaultEnding = manifest.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    for (const auto& [section, entries] : settings)
        for (const auto& entry : entries) replaced[section].insert(entry.first);
    std::string result;
    std::string section;
    for (const Line& line : SplitLines(manifest)) {
        const IniLine read = AsRead(line);
        if (read.kind == IniLine::Kind::Header) {
            section = read.section;
            const std::string ending = line.ending.empty() ? defaultEnding : line.ending;
            result += line.text + ending;
            const auto entries = settings.find(section);
            if (entries != settings.end()) {
                for (const auto& [name, value] : entries->second)
                    result += name + "=" + value + ending;
                settings.erase(entries);  // once, below the section's first header
            }
            continue;
        }
        const auto names = replaced.find(section);
        if (read.kind != IniLine::Kind::Entry || names == replaced.end() ||
            names->second.count(read.name) == 0)
            result += line.text + line.ending;
    }
    return result;
}
