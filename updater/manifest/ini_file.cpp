// INI reader. Every non-empty line is a header ("[" first and "]" last) or an
// entry (name before the first "=", value after it); there are no comments.
#include "manifest/ini_file.h"

#include <cctype>
#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>

IniFile::IniFile(std::string filePath) : path(std::move(filePath)) {}

bool IniFile::Load() {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) return false;
    std::ifstream stream;
    // A folder opens as a stream on Linux but reads nothing: refuse it as
    // unopenable instead of reporting an empty manifest.
    if (!std::filesystem::is_directory(status)) stream.open(path, std::ios::in);
    if (!stream.is_open() || stream.fail()) {
        lastError = "Unable to open ini file.";
        return false;
    }
    ReadLines(stream);
    return true;
}

bool IniFile::LoadText(const std::string& bytes) {
    std::istringstream stream(bytes);
    ReadLines(stream);
    return true;
}

void IniFile::ReadLines(std::istream& stream) {
    std::string section;
    std::string text;
    while (ReadLine(stream, text)) {
        IniLine line = ClassifyLine(text);
        if (line.kind == IniLine::Kind::Header)
            section = std::move(line.section);
        else if (line.kind == IniLine::Kind::Entry)
            SetValue(section, std::move(line.name), std::move(line.value));
    }
}

IniLine IniFile::ClassifyLine(const std::string& text) {
    IniLine line;
    if (text.empty()) return line;
    if (text.front() == '[' && text.back() == ']') {
        line.kind = IniLine::Kind::Header;
        const size_t first = text.find_first_not_of('[');
        const size_t last = text.find_last_not_of(']');
        if (first != std::string::npos && last >= first)
            line.section = text.substr(first, last - first + 1);
        return line;
    }
    line.kind = IniLine::Kind::Entry;
    const size_t equals = text.find('=');
    if (equals != std::string::npos) line.name = text.substr(0, equals);
    // The last (length - name length - 1) bytes: after "=" when there is one;
    // the line without its first byte when there is none.
    line.value =
        text.substr(line.name.size() + 1 <= text.size() ? line.name.size() + 1 : text.size());
    return line;
}

std::istream& IniFile::ReadLine(std::istream& stream, std::string& text) const {
    text.clear();
    bool readAny = false;
    std::istream::int_type c;
    while ((c = stream.get()) != std::istream::traits_type::eof()) {
        readAny = true;
        if (c == '\n') break;
        if (c == '\r' && stream.peek() == '\n') {
            stream.get();
            break;
        }
        if (text.size() < maxLineBytes) text.push_back(static_cast<char>(c));
    }
    // A last line without a line feed is still a line: clear the failure that
    // meeting the end of the file set, so the caller sees a good read.
    if (readAny && stream.eof()) stream.clear(std::ios::eofbit);
    return stream;
}

void IniFile::SetValue(std::string section, std::string name, std::string value) {
    int i = FindSection(section);
    if (i == -1) {
        i = static_cast<int>(sections.size());
        sectionIndex.emplace(section, i);
        sectionNames.push_back(std::move(section));
        sections.emplace_back();
        entryIndex.emplace_back();
    }
    IniSection& s = sections[static_cast<size_t>(i)];
    int j = FindEntry(i, name);
    if (j == -1) {
        j = static_cast<int>(s.names.size());
        entryIndex[static_cast<size_t>(i)].emplace(name, j);
        s.names.push_back(std::move(name));
        s.values.resize(s.names.size());
    }
    s.values[static_cast<size_t>(j)] = std::move(value);
}

int IniFile::FindSection(std::string section) const {
    const auto found = sectionIndex.find(section);
    return found == sectionIndex.end() ? -1 : found->second;
}

int IniFile::FindEntry(int section, std::string name) const {
    if (section < 0) return -1;
    const auto& names = entryIndex[static_cast<size_t>(section)];
    const auto found = names.find(name);
    return found == names.end() ? -1 : found->second;
}

std::string IniFile::GetValue(std::string section, std::string name) {
    const int i = FindSection(std::move(section));
    const int j = FindEntry(i, std::move(name));
    if (i == -1) {
        lastError = "Unable to locate specified key.";
        return "";
    }
    if (j == -1) {
        lastError = "Unable to locate specified value.";
        return "";
    }
    return sections[static_cast<size_t>(i)].values[static_cast<size_t>(j)];
}

int IniFile::GetValueInt(std::string section, std::string name) {
    const std::string text = GetValue(std::move(section), std::move(name));
    size_t k = 0;
    while (k < text.size() && std::isspace(static_cast<unsigned char>(text[k]))) ++k;
    bool negative = false;
    if (k < text.size() && (text[k] == '+' || text[k] == '-')) negative = text[k++] == '-';
    long long value = 0;
    for (; k < text.size() && std::isdigit(static_cast<unsigned char>(text[k])); ++k) {
        value = value * 10 + (text[k] - '0');
        // atoi's overflow is undefined; saturate instead.
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    return static_cast<int>(value);
}
