// A program folder with a fresh catalogue and a private temporary root, for
// whole update runs: manifests written from entries, rows registered and read.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "catalog/catalog_file.h"
#include "catalog/detector_set.h"
#include "catalog/recognizer_set.h"
#include "catalog/sys_com_set.h"
#include "engine/update_engine.h"
#include "recording_owner.h"
#include "run_outcome.h"
#include "temp_folder.h"

struct Entry {
    std::string filename;
    std::string version;
    int moduletype;
    std::string author = "Dorsk";
    std::string modulename = "module";
};

class CatalogueFixture : public ::testing::Test {
protected:
    CatalogueFixture() {
        std::filesystem::create_directories(program());
        CreateCatalog(program());
        environment.programFolder = program();
        environment.tempRoot = folder.Path() / "tmp";
        std::filesystem::create_directories(environment.tempRoot);
    }

    std::filesystem::path program() const { return folder.Path() / "program"; }

    // The open recordset of a detector (1) or recognizer (2) table.
    std::unique_ptr<ModuleSet> OpenModuleSet(int moduletype) const {
        std::unique_ptr<ModuleSet> set;
        if (moduletype == 1)
            set = std::make_unique<CDetectorSet>(program());
        else
            set = std::make_unique<CRecognizerSet>(program());
        set->Open();
        return set;
    }

    static std::string Manifest(const std::vector<Entry>& entries) {
        std::string text = "[Main]\r\nfilecount=" + std::to_string(entries.size()) + "\r\n";
        for (size_t i = 0; i < entries.size(); ++i) {
            const Entry& e = entries[i];
            text += "[File" + std::to_string(i + 1) + "]\r\nfilename=" + e.filename +
                    "\r\nversion=" + e.version +
                    "\r\nsavedpath=ignored\\\r\nmoduletype=" + std::to_string(e.moduletype) +
                    "\r\nauthor=" + e.author + "\r\nmodulename=" + e.modulename + "\r\n";
        }
        return text;
    }

    RunOutcome RunAgainst(const std::string& baseUrl, RecordingOwner& owner) {
        UpdateEngine engine(environment);
        engine.AttachDialog(&owner);
        return RunEngine(engine, baseUrl);
    }

    void Register(int moduletype, const std::string& name, const std::string& version,
                  const std::string& author = "old author") {
        if (moduletype == 0) {
            CSysComSet set(program());
            set.Open();
            set.AddNew();
            set.m_component = name;
            set.m_version = version;
            set.Update();
            return;
        }
        std::unique_ptr<ModuleSet> set = OpenModuleSet(moduletype);
        set->AddNew();
        set->m_author = author;
        set->m_dllname = name;
        set->m_modulename = "old name";
        set->m_version = version;
        set->Update();
    }

    // The row of name as "author|modulename|version", or "" when there is none.
    std::string Row(int moduletype, const std::string& name) {
        if (moduletype == 0) {
            CSysComSet set(program());
            set.Open();
            return set.FindFirst("component", name) ? set.m_component + "|" + set.m_version : "";
        }
        std::unique_ptr<ModuleSet> set = OpenModuleSet(moduletype);
        if (!set->FindFirst("dllname", name)) return "";
        return set->m_author + "|" + set->m_dllname + "|" + set->m_modulename + "|" +
               set->m_version;
    }

    TempFolder folder;
    EngineEnvironment environment;
};
