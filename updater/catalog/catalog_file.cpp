// Making an empty catalogue and listing its rows, for tarvex-cli.
#include "catalog/catalog_file.h"

#include "catalog/catalog_error.h"
#include "catalog/detector_set.h"
#include "catalog/recognizer_set.h"
#include "catalog/sqlcipher_database.h"
#include "catalog/sys_com_set.h"

void CreateCatalog(const std::filesystem::path& programFolder) {
    const std::filesystem::path file = CatalogPath(programFolder);
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(file, ec)))
        throw CatalogError("catalogue " + file.string() + " already exists");
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec) throw CatalogError("cannot make " + file.parent_path().string() + ": " + ec.message());
    SqlCipherDatabase database(file, SqlCipherDatabase::Mode::CreateNew);
    database.Execute(
        "BEGIN;"
        "CREATE TABLE detector (author TEXT, dllname TEXT, modulename TEXT, version TEXT);"
        "CREATE TABLE recognizer (author TEXT, dllname TEXT, modulename TEXT, version TEXT);"
        "CREATE TABLE system (component TEXT, version TEXT);"
        "COMMIT;");
}

namespace {

void ListModules(ModuleSet& set, const char* heading, std::ostream& out) {
    set.Open();
    out << heading << "\n";
    for (set.MoveFirst(); set.HasCurrentRow(); set.MoveNext())
        out << set.m_author << '\t' << set.m_dllname << '\t' << set.m_modulename << '\t'
            << set.m_version << "\n";
}

}  // namespace

void ListCatalog(const std::filesystem::path& programFolder, std::ostream& out) {
    CDetectorSet detectors(programFolder);
    ListModules(detectors, "[detector]", out);
    CRecognizerSet recognizers(programFolder);
    ListModules(recognizers, "[recognizer]", out);
    CSysComSet system(programFolder);
    system.Open();
    out << "[system]\n";
    for (system.MoveFirst(); system.HasCurrentRow(); system.MoveNext())
        out << system.m_component << '\t' << system.m_version << "\n";
}
