// The catalogue side of a run: which table records a module type, the one
// row of a destination under any spelling, and recording an installed file.
// Made at the start of a run over the engine's three recordsets; closes them
// on every way out.
#pragma once

#include "catalog/detector_set.h"
#include "catalog/recognizer_set.h"
#include "catalog/sys_com_set.h"
#include "engine/update_item.h"

class CatalogRows {
public:
    CatalogRows(CDetectorSet& detectors, CRecognizerSet& recognizers, CSysComSet& system);
    ~CatalogRows();
    CatalogRows(const CatalogRows&) = delete;
    CatalogRows& operator=(const CatalogRows&) = delete;

    // Opens the recordsets not yet open. May raise CatalogError.
    void Open();
    // Whether item replaces what the catalogue records for its destination:
    // it is newer (true when nothing is recorded), or older with a signed
    // downgrade; notes the recorded row in item. A stored version that is
    // empty or malformed never makes a file pending.
    bool Replaces(UpdateItem& item);
    // Writes item's version (and, for modules, author and name) into the row
    // Replaces found, or a new row of its type.
    void Record(const UpdateItem& item);
    // Raises CatalogError when the catalogue cannot be written.
    void CheckWritable();

private:
    // A table: its recordset, the column that holds the file name, and the
    // bound members of that column and the version.
    struct Table {
        Recordset& set;
        const char* keyColumn;
        std::string& key;
        std::string& version;
    };
    Table TableFor(ModuleType type);
    bool FindRecordedRow(UpdateItem& item);

    CDetectorSet& detectorSet;
    CRecognizerSet& recognizerSet;
    CSysComSet& systemSet;
};
