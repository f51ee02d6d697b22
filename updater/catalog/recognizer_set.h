// Recordset over the catalogue table [recognizer].
#pragma once

#include "catalog/module_set.h"

class CRecognizerSet : public ModuleSet {
public:
    explicit CRecognizerSet(std::filesystem::path programFolder = RunningProgramFolder())
        : ModuleSet(std::move(programFolder)) {}

    std::string GetDefaultSQL() const override { return "[recognizer]"; }
};
