// Reader of INI-form text files such as the update manifest: section headers
// in square brackets and name=value lines, read whole into memory. Text is
// bytes: nothing is trimmed, converted or folded in case.
#pragma once

#include <istream>
#include <string>
#include <unordered_map>
#include <vector>

// How the reader takes one line: nothing (an empty line), a header opening
// a section, or an entry of the current section.
struct IniLine {
    enum class Kind { Empty, Header, Entry };
    Kind kind = Kind::Empty;
    std::string section;  // Header: the section it opens ("" for "[]", "[[]]")
    std::string name;     // Entry: the bytes before the first "=" ("" without one)
    std::string value;    // Entry: the bytes after it (without one: all but the first byte)
};

// Entries of one section, names parallel to values, in first-appearance order.
struct IniSection {
    std::vector<std::string> values;
    std::vector<std::string> names;
};

class IniFile {
public:
    // A line holds at most this many bytes; the rest of a longer line is
    // skipped up to its line feed, so it never becomes a line of its own.
    static constexpr size_t maxLineBytes = 2047;

    explicit IniFile(std::string path);
    virtual ~IniFile() = default;
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    // Reads the whole file. false when it does not exist (lastError unchanged)
    // or cannot be opened ("Unable to open ini file."); the arrays are then
    // unchanged. A second Load adds to what is held.
    bool Load();
    // The same rules over bytes already in memory, such as a manifest whose
    // signature was checked on exactly these bytes. Always true.
    bool LoadText(const std::string& bytes);
    // The value of name in section, or "" with lastError set: "Unable to locate
    // specified key." (no such section) or "Unable to locate specified value.".
    std::string GetValue(std::string section, std::string name);
    // atoi of GetValue: leading blanks, a sign, digits up to the first other
    // byte; 0 without digits; clamped to the int range.
    int GetValueInt(std::string section, std::string name);
    // Stores one entry, creating section and name when missing; last value wins.
    void SetValue(std::string section, std::string name, std::string value);
    // Index of the section, or -1.
    int FindSection(std::string section) const;
    // Index of name within section index, or -1 (also for index -1).
    int FindEntry(int section, std::string name) const;
    // How the reader takes text, a line as ReadLine gives it (cut to
    // maxLineBytes): the one rule that writers of manifests apply too.
    static IniLine ClassifyLine(const std::string& text);
    // Reads one line without its line feed (and a carriage return right before
    // it). Fails only when the end of the stream comes before any byte.
    std::istream& ReadLine(std::istream& stream, std::string& text) const;

    const std::string& LastError() const { return lastError; }
    const std::vector<std::string>& SectionNames() const { return sectionNames; }
    const std::vector<IniSection>& Sections() const { return sections; }

private:
    // Takes every line of stream as a header or an entry.
    void ReadLines(std::istream& stream);

    std::string path;
    std::vector<IniSection> sections;
    std::vector<std::string> sectionNames;
    std::string lastError;
    // Positions in the arrays above by name, so that lookups take constant
    // time however many sections a manifest holds.
    std::unordered_map<std::string, int> sectionIndex;
    std::vector<std::unordered_map<std::string, int>> entryIndex;
};
