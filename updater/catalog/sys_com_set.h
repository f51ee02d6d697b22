// Recordset over the catalogue table [system]: system component rows, found by [component].
#pragma once

#include "catalog/program_folder.h"
#include "catalog/recordset.h"

class CSysComSet : public Recordset {
public:
    explicit CSysComSet(std::filesystem::path programFolder = RunningProgramFolder());

    std::string GetDefaultSQL() const override;
    void DoFieldExchange(FieldExchange& exchange) override;

    std::string m_component;
    std::string m_version;
};
