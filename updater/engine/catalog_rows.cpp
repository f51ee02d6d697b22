// The catalogue side of a run: which table records a module type, finding
// the one row of a destination under any spelling, and recording an
// installed file.
#include "engine/catalog_rows.h"

#include "engine/run_log.h"
#include "engine/version_compare.h"
#include "trust/module_path.h"

CatalogRows::CatalogRows(CDetectorSet& detectors, CRecognizerSet& recognizers, CSysComSet& system)
    : detectorSet(detectors), recognizerSet(recognizers), systemSet(system) {}

CatalogRows::~CatalogRows() {
    systemSet.Close();
    recognizerSet.Close();
    detectorSet.Close();
}

CatalogRows::Table CatalogRows::TableFor(ModuleType type) {
    switch (type) {
        case ModuleType::Detector:
            return {detectorSet, "dllname", detectorSet.m_dllname, detectorSet.m_version};
        case ModuleType::Recognizer:
            return {recognizerSet, "dllname", recognizerSet.m_dllname, recognizerSet.m_version};
        case ModuleType::System:
            break;
    }
    return {systemSet, "component", systemSet.m_component, systemSet.m_version};
}

void CatalogRows::Open() {
    if (!systemSet.IsOpen()) systemSet.Open();
    if (!detectorSet.IsOpen()) detectorSet.Open();
    if (!recognizerSet.IsOpen()) recognizerSet.Open();
}

void CatalogRows::CheckWritable() {
    systemSet.CheckWritable();
}

// Looks through every table for a row whose key names item's destination in
// any spelling; the first one found (system, detector, recognizer, each in
// rowid order) is current in its recordset and noted in item.
bool CatalogRows::FindRecordedRow(UpdateItem& item) {
    const std::string identity = ModuleIdentity(item.filename);
    for (ModuleType type : {ModuleType::System, ModuleType::Detector, ModuleType::Recognizer}) {
        const Table table = TableFor(type);
        // The designed lookup first: the same text, ignoring case.
        table.set.MoveFirst();
        bool found = table.set.FindFirst(table.keyColumn, item.filename);
        if (!found) {
            for (table.set.MoveFirst(); table.set.HasCurrentRow(); table.set.MoveNext()) {
                if (ModuleIdentity(table.key) == identity) {
                    found = true;
                    break;
                }
            }
        }
        if (found) {
            item.recordedIn = type;
            item.recordedKey = table.key;
            return true;
        }
    }
    return false;
}

bool CatalogRows::Replaces(UpdateItem& item) {
    // The recorded row, under any spelling or type, decides, as designed:
    // newer only when the comparison says exactly "newer". A stored version
    // that is empty or malformed never makes a file pending; the row is
    // left as it is, and said so, for its author to mend.
    if (!FindRecordedRow(item)) return true;
    const std::string& stored = TableFor(*item.recordedIn).version;
    const int order = CompareVersions(item.version, stored);
    if (order == versionBMalformed)
        RunLog::Warn("the catalogue records version \"" + stored + "\" for " + item.filename +
                     ", which is not one to three dot-separated numbers: " + item.filename +
                     " is left out until its row in the catalogue is mended");
    // A signed downgrade sends the file back too; only the same version stays.
    return order == 1 || (item.downgrade && order == -1);
}

void CatalogRows::Record(const UpdateItem& item) {
    // The row found by the check pass, in its own table; otherwise a new row
    // in the item's table, keyed by the manifest's text as written.
    const ModuleType type = item.recordedIn.value_or(item.moduletype);
    const Table table = TableFor(type);
    table.set.MoveFirst();
    const bool found = item.recordedIn && table.set.FindFirst(table.keyColumn, item.recordedKey);
    if (found) {
        table.set.Edit();
    } else {
        table.set.AddNew();
        table.key = item.filename;
    }
    table.version = item.version;
    if (type != ModuleType::System) {
        ModuleSet& set = static_cast<ModuleSet&>(table.set);
        set.m_author = item.author;
        set.m_modulename = item.modulename;
    }
    table.set.Update();
}
