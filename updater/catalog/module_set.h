// Rows of a module table ([detector] or [recognizer]): author, library file
// name, module name and version, found by [dllname].
#pragma once

#include "catalog/program_folder.h"
#include "catalog/recordset.h"

class ModuleSet : public Recordset {
public:
    using Recordset::Recordset;

    void DoFieldExchange(FieldExchange& exchange) override;

    std::string m_author;
    std::string m_dllname;
    std::string m_modulename;
    std::string m_version;
};
