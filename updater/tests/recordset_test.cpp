// Recordsets over a real SQLCipher catalogue: finding, adding, editing, locking.
#include "catalog/recordset.h"

#include <gtest/gtest.h>

#include <sqlcipher/sqlite3.h>

#include <cstdio>
#include <memory>

#include "catalog/catalog_error.h"
#include "catalog/catalog_file.h"
#include "catalog/detector_set.h"
#include "catalog/recognizer_set.h"
#include "catalog/sqlcipher_database.h"
#include "catalog/sys_com_set.h"
#include "temp_folder.h"

namespace {

class RecordsetTest : public ::testing::Test {
protected:
    RecordsetTest() { CreateCatalog(folder.Path()); }

    void AddRecognizer(const std::string& author, const std::string& dll, const std::string& name,
                       const std::string& version) {
        CRecognizerSet set(folder.Path());
        set.Open();
        set.AddNew();
        set.m_author = author;
        set.m_dllname = dll;
        set.m_modulename = name;
        set.m_version = version;
        set.Update();
    }

    TempFolder folder;
};

TEST_F(RecordsetTest, RowsAddedAndEditedAsTheUpdateRunDoes) {
    AddRecognizer("Dorsk", "libmorlin.so", "(K)PCA人脸识别", "2.0.051208");
    CRecognizerSet set(folder.Path());
    set.Open();
    set.MoveFirst();
    ASSERT_TRUE(set.FindFirst("dllname", "LIBMORLIN.SO"));
    EXPECT_EQ(set.m_version, "2.0.051208");
    EXPECT_EQ(set.m_modulename, "(K)PCA人脸识别");
    set.Edit();
    set.m_author = "";
    set.m_modulename = "";
    set.m_version = "2.1";
    set.Update();
    set.Close();

    CRecognizerSet reread(folder.Path());
    reread.Open();
    ASSERT_TRUE(reread.FindFirst("dllname", "libmorlin.so"));
    EXPECT_EQ(reread.m_dllname, "libmorlin.so");  // the key stays as stored
    EXPECT_EQ(reread.m_author, "");
    EXPECT_EQ(reread.m_modulename, "");
    EXPECT_EQ(reread.m_version, "2.1");
}

TEST_F(RecordsetTest, SystemRowsAreFoundByComponent) {
    CSysComSet set(folder.Path());
    set.Open();
    set.MoveFirst();
    EXPECT_FALSE(set.FindFirst("component", "core.so"));  // empty table
    set.AddNew();
    set.m_component = "core.so";
    set.m_version = "1.0";
    set.Update();
    set.MoveFirst();
    ASSERT_TRUE(set.FindFirst("component", "Core.So"));
    EXPECT_EQ(set.m_version, "1.0");
    EXPECT_FALSE(set.FindFirst("component", "core"));
}

TEST_F(RecordsetTest, PatternAndQuoteCharactersMatchOnlyThemselves) {
    for (const char* name : {"it's.so", "a%.so", "a_.so", "a*.so", "a?.so", "a#.so", "[a].so"})
        AddRecognizer("x", name, "m", "1");
    AddRecognizer("x", "ab.so", "m", "1");
    CRecognizerSet set(folder.Path());
    set.Open();
    for (const char* name : {"it's.so", "a%.so", "a_.so", "a*.so", "a?.so", "a#.so", "[a].so"}) {
        set.MoveFirst();
        ASSERT_TRUE(set.FindFirst("dllname", name)) << name;
        EXPECT_EQ(set.m_dllname, name);
    }
    // As patterns they would match stored names; as text they match none.
    for (const char* pattern : {"a%", "a_", "%", "*", "a?.so'", "'", "a_.s_", "' OR '1'='1"}) {
        set.MoveFirst();
        EXPECT_FALSE(set.FindFirst("dllname", pattern)) << pattern << " found " << set.m_dllname;
    }
}

TEST_F(RecordsetTest, FirstOfTwoEqualKeysInRowidOrderIsFound) {
    AddRecognizer("first", "dup.so", "m", "1");
    AddRecognizer("second", "DUP.so", "m", "2");
    CRecognizerSet set(folder.Path());
    set.Open();
    ASSERT_TRUE(set.FindFirst("dllname", "dup.SO"));
    EXPECT_EQ(set.m_author, "first");
    set.Edit();
    set.m_version = "3";
    set.Update();
    set.MoveFirst();
    EXPECT_EQ(set.m_version, "3");
    ASSERT_TRUE(set.MoveNext());
    EXPECT_EQ(set.m_version, "2");
    EXPECT_FALSE(set.MoveNext());
}

TEST_F(RecordsetTest, TablesAreSeparateAndListed) {
    CDetectorSet detectors(folder.Path());
    detectors.Open();
    detectors.AddNew();
    detectors.m_dllname = "face.so";
    detectors.m_version = "1.2";
    detectors.Update();
    AddRecognizer("a", "rec.so", "r", "3");
    CRecognizerSet recognizers(folder.Path());
    recognizers.Open();
    EXPECT_FALSE(recognizers.FindFirst("dllname", "face.so"));
    std::ostringstream listing;
    ListCatalog(folder.Path(), listing);
    EXPECT_EQ(listing.str(),
              "[detector]\n\tface.so\t\t1.2\n[recognizer]\na\trec.so\tr\t3\n[system]\n");
}

TEST_F(RecordsetTest, CatalogueIsEncryptedAndOpensWithThePasswordOnly) {
    AddRecognizer("Dorsk", "libmorlin.so", "m", "1");
    const std::string bytes = TempFolder::Read(CatalogPath(folder.Path()));
    ASSERT_GT(bytes.size(), 1000u);
    EXPECT_EQ(bytes.find("recognizer"), std::string::npos);
    EXPECT_EQ(bytes.find("SQLite format 3"), std::string::npos);
    EXPECT_EQ(bytes.find("libmorlin"), std::string::npos);

    // The command-line shell opens it with the key.
    const std::string command =
        "printf \"PRAGMA key = 'qzmtv';\\nSELECT dllname FROM recognizer;\\n\" | sqlcipher " +
        CatalogPath(folder.Path()).string() + " 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) out += buffer;
    EXPECT_NE(out.find("libmorlin.so"), std::string::npos) << out;
}

TEST_F(RecordsetTest, WrongPasswordRaisesCatalogError) {
    TempFolder other;
    std::filesystem::create_directories(CatalogPath(other.Path()).parent_path());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(CatalogPath(other.Path()).c_str(), &db), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(db,
                     "PRAGMA key = 'other'; CREATE TABLE recognizer (author TEXT, dllname TEXT, "
                     "modulename TEXT, version TEXT);",
                     nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);
    CRecognizerSet set(other.Path());
    try {
        set.Open();
        FAIL() << "opened with the wrong password";
    } catch (const CatalogError& e) {
        EXPECT_NE(std::string(e.what()).find("not a database"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(set.IsOpen());
}

TEST_F(RecordsetTest, MissingCatalogueIsNeverCreated) {
    TempFolder empty;
    CSysComSet set(empty.Path());
    EXPECT_THROW(set.Open(), CatalogError);
    EXPECT_FALSE(std::filesystem::exists(CatalogPath(empty.Path())));
    EXPECT_THROW(CreateCatalog(folder.Path()), CatalogError);  // exists already
}

TEST_F(RecordsetTest, MissingTableOrColumnRaisesCatalogError) {
    {
        SqlCipherDatabase db(CatalogPath(folder.Path()));
        db.Execute(
            "DROP TABLE system; CREATE TABLE system (component TEXT);"
            "DROP TABLE detector;");
    }
    CSysComSet system(folder.Path());
    try {
        system.Open();
        FAIL();
    } catch (const CatalogError& e) {
        EXPECT_NE(std::string(e.what()).find("no such column: version"), std::string::npos)
            << e.what();
    }
    CDetectorSet detectors(folder.Path());
    try {
        detectors.Open();
        FAIL();
    } catch (const CatalogError& e) {
        EXPECT_NE(std::string(e.what()).find("no such table: detector"), std::string::npos)
            << e.what();
    }
}

TEST_F(RecordsetTest, LockedCatalogueRaisesCatalogErrorAfterTheBusyTimeout) {
    AddRecognizer("a", "x.so", "m", "1");
    SqlCipherDatabase holder(CatalogPath(folder.Path()));
    holder.Execute("BEGIN EXCLUSIVE");
    CRecognizerSet set(folder.Path());
    try {
        set.Open();
        FAIL();
    } catch (const CatalogError& e) {
        EXPECT_NE(std::string(e.what()).find("database is locked"), std::string::npos) << e.what();
    }
    holder.Execute("ROLLBACK");
}

TEST_F(RecordsetTest, MisuseRaisesCatalogError) {
    CRecognizerSet set(folder.Path());
    EXPECT_THROW(set.MoveFirst(), CatalogError);
    set.Open();
    EXPECT_THROW(set.Update(), CatalogError);
    EXPECT_THROW(set.Edit(), CatalogError);  // empty table: no current row
    EXPECT_THROW(set.FindFirst("nosuch", "x"), CatalogError);
    EXPECT_NO_THROW(set.Open(0, ""));  // already open: nothing happens
    set.Close();
    EXPECT_THROW(set.Open(0, ""), CatalogError);  // only the default type
}

}  // namespace
