// Recordset over the catalogue table [detector].
#pragma once

#include "catalog/module_set.h"

class CDetectorSet : public ModuleSet {
public:
    explicit CDetectorSet(std::filesystem::path programFolder = RunningProgramFolder())
        : ModuleSet(std::move(programFolder)) {}

    std::string GetDefaultSQL() const override { return "[detector]"; }
};
