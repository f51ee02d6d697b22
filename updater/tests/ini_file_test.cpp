// The INI reader against the designed rules, one input class per test.
#include "manifest/ini_file.h"

#include <gtest/gtest.h>

#include <sstream>

#include "temp_folder.h"

namespace {

class IniFileTest : public ::testing::Test {
protected:
    IniFile& Loaded(const std::string& text) {
        ini = std::make_unique<IniFile>(folder.Write("autoupdate.txt", text).string());
        EXPECT_TRUE(ini->Load());
        return *ini;
    }

    TempFolder folder;
    std::unique_ptr<IniFile> ini;
};

TEST_F(IniFileTest, SectionsAndEntriesAreTakenAsWritten) {
    IniFile& f = Loaded("[Main]\nfilecount=2\n[File1]\nfilename=a.dll\nversion=1.0=beta\nempty=\n");
    EXPECT_EQ(f.GetValueInt("Main", "filecount"), 2);
    EXPECT_EQ(f.GetValue("File1", "filename"), "a.dll");
    EXPECT_EQ(f.GetValue("File1", "version"), "1.0=beta");
    EXPECT_EQ(f.GetValue("File1", "empty"), "");
    EXPECT_EQ(f.LastError(), "");
}

TEST_F(IniFileTest, BlanksAroundNamesAndValuesArePartOfThem) {
    IniFile& f = Loaded("[Main]\nfilecount = 3\n[ Main ]\nx=1\n");
    EXPECT_EQ(f.GetValue("Main", "filecount "), " 3");
    EXPECT_EQ(f.GetValueInt("Main", "filecount"), 0);
    EXPECT_EQ(f.LastError(), "Unable to locate specified value.");
    EXPECT_EQ(f.GetValue(" Main ", "x"), "1");
}

TEST_F(IniFileTest, HeaderRules) {
    IniFile& f = Loaded("top=0\n[[Main]]\na=1\n [Other]\n[]\nb=2\n[Lonely]\n[Main]\nc=3\n");
    // Doubled brackets name "Main"; a blank before "[" makes an entry line.
    EXPECT_EQ(f.GetValue("Main", "a"), "1");
    EXPECT_EQ(f.GetValue("Main", "c"), "3");
    EXPECT_EQ(f.GetValue("Main", " [Other]"), "");
    EXPECT_EQ(f.LastError(), "Unable to locate specified value.");
    // "[]" is the empty section, the same as the lines before the first header;
    // the header line without "=" became an entry of "Main" (name "", value
    // " [Other]" less its first byte).
    EXPECT_EQ(f.GetValue("", "top"), "0");
    EXPECT_EQ(f.GetValue("", "b"), "2");
    EXPECT_EQ(f.GetValue("Main", ""), "[Other]");
    // A header without entries creates no section.
    EXPECT_EQ(f.GetValue("Lonely", "x"), "");
    EXPECT_EQ(f.LastError(), "Unable to locate specified key.");
    EXPECT_EQ(f.SectionNames(), (std::vector<std::string>{"", "Main"}));
}

TEST_F(IniFileTest, RepeatedNamesKeepFirstPositionAndLastValue) {
    IniFile& f = Loaded("[S]\nfilename=a.dll\nother=x\nfilename=b.dll\n");
    EXPECT_EQ(f.GetValue("S", "filename"), "b.dll");
    EXPECT_EQ(f.Sections()[0].names, (std::vector<std::string>{"filename", "other"}));
}

TEST_F(IniFileTest, LookupsAreCaseSensitiveAndSemicolonsAreNoComments) {
    IniFile& f = Loaded("[Main]\nfilename=a\n; note=x\n");
    EXPECT_EQ(f.GetValue("main", "filename"), "");
    EXPECT_EQ(f.LastError(), "Unable to locate specified key.");
    EXPECT_EQ(f.GetValue("Main", "FileName"), "");
    EXPECT_EQ(f.LastError(), "Unable to locate specified value.");
    EXPECT_EQ(f.GetValue("Main", "; note"), "x");
}

TEST_F(IniFileTest, LineEndsAndTheLastLine) {
    IniFile& crlf = Loaded("[Main]\r\nfilecount=3\r\nname=a\rb\r\n\r\nlast=z");
    EXPECT_EQ(crlf.GetValue("Main", "filecount"), "3");
    EXPECT_EQ(crlf.GetValue("Main", "name"), "a\rb");
    EXPECT_EQ(crlf.GetValue("Main", "last"), "z");
}

TEST_F(IniFileTest, EmptyFileLoadsWithNothingToFind) {
    IniFile& f = Loaded("");
    EXPECT_EQ(f.GetValueInt("Main", "filecount"), 0);
    EXPECT_EQ(f.LastError(), "Unable to locate specified key.");
}

TEST_F(IniFileTest, HeaderWithoutEntriesMakesNoSection) {
    IniFile& f = Loaded("\n[Main]\n\n");
    EXPECT_EQ(f.GetValueInt("Main", "filecount"), 0);
    EXPECT_EQ(f.LastError(), "Unable to locate specified key.");
}

TEST_F(IniFileTest, GetValueIntFollowsAtoi) {
    IniFile& f = Loaded("[N]\na=12abc\nb=abc\nc=  -7\nd=+4\ne=99999999999\nf=-99999999999\n");
    EXPECT_EQ(f.GetValueInt("N", "a"), 12);
    EXPECT_EQ(f.GetValueInt("N", "b"), 0);
    EXPECT_EQ(f.GetValueInt("N", "c"), -7);
    EXPECT_EQ(f.GetValueInt("N", "d"), 4);
    EXPECT_EQ(f.GetValueInt("N", "e"), INT_MAX);
    EXPECT_EQ(f.GetValueInt("N", "f"), INT_MIN);
}

TEST_F(IniFileTest, LongLineIsCutAndItsRestNeverBecomesALine) {
    const std::string name(2040, 'n');
    // The tail would read as a header and an entry if it spilled into lines.
    IniFile& f = Loaded("[S]\n" + name + "=1234567890[Evil]\n[S]\nafter=ok\n");
    EXPECT_EQ(f.GetValue("S", name), "123456");
    EXPECT_EQ(f.GetValue("S", "after"), "ok");
    EXPECT_EQ(f.SectionNames(), (std::vector<std::string>{"S"}));
}

TEST_F(IniFileTest, ReadLineDeliversEmptyLinesAndFailsOnlyAtTheEnd) {
    IniFile f("unused");
    std::istringstream stream("a\n\nb");
    std::string line;
    ASSERT_TRUE(f.ReadLine(stream, line));
    EXPECT_EQ(line, "a");
    ASSERT_TRUE(f.ReadLine(stream, line));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(f.ReadLine(stream, line));
    EXPECT_EQ(line, "b");
    EXPECT_FALSE(f.ReadLine(stream, line));
}

TEST_F(IniFileTest, MissingFileFailsWithoutAMessageAndAFolderCannotBeOpened) {
    IniFile missing((folder.Path() / "none.txt").string());
    EXPECT_FALSE(missing.Load());
    EXPECT_EQ(missing.LastError(), "");
    IniFile directory(folder.Path().string());
    EXPECT_FALSE(directory.Load());
    EXPECT_EQ(directory.LastError(), "Unable to open ini file.");
}

TEST_F(IniFileTest, SecondLoadAddsToWhatIsHeld) {
    IniFile& f = Loaded("[S]\na=1\n");
    folder.Write("autoupdate.txt", "[S]\na=2\nb=3\n");
    ASSERT_TRUE(f.Load());
    EXPECT_EQ(f.GetValue("S", "a"), "2");
    EXPECT_EQ(f.GetValue("S", "b"), "3");
}

}  // namespace

namespace {

// A manifest of 300,000 sections loads in linear time (the quadratic reader
// took minutes at this size; the test's timeout bounds it), in first-appearance
// order, with the last value of a repeated entry winning.
TEST_F(IniFileTest, ManySectionsLoadAndKeepTheirOrder) {
    std::string text;
    const int count = 300000;
    for (int i = 0; i < count; ++i)
        text += "[F" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    text += "[F7]\nk=last\n";
    IniFile& f = Loaded(text);
    ASSERT_EQ(f.SectionNames().size(), static_cast<size_t>(count));
    EXPECT_EQ(f.SectionNames()[123456], "F123456");
    EXPECT_EQ(f.GetValue("F299999", "k"), "299999");
    EXPECT_EQ(f.GetValue("F7", "k"), "last");
}

}  // namespace
