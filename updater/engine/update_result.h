// Result codes of an update run; the numbers are what the dialog and the
// command line report.
#pragma once

enum UpdateResult : int {
    UpdateSucceeded = 0,
    UpdateNoConnection = 1,
    UpdateRequestFailed = 2,
    UpdateManifestFailed = 3,
    // The designed code of a run that cannot start at all (no owner attached,
    // no usable temporary folder): not the manifest's fault, the same number.
    UpdateCannotStart = 3,
    UpdateModuleFailed = 4,
    UpdateUpToDate = 6,
    UpdateNotCompleted = 7,
};

// What each result code means, in the order of the codes: the one list the
// front ends explain the codes from.
struct ResultMeaning {
    UpdateResult code;
    const char* meaning;
};
inline constexpr ResultMeaning resultMeanings[] = {
    {UpdateSucceeded, "updated"},
    {UpdateNoConnection, "no connection"},
    {UpdateRequestFailed, "a file cannot be requested"},
    {UpdateManifestFailed, "manifest failed or not trusted"},
    {UpdateModuleFailed, "bad entry, or a module transfer failed"},
    {UpdateUpToDate, "up to date"},
    {UpdateNotCompleted, "declined or not installed"},
};
