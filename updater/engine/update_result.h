// Result codes of an update run; the numbers are what the dialog and the
// command line report.
#pragma once

enum UpdateResult : int {
    UpdateSucceeded = 0,
    UpdateNoConnection = 1,
    UpdateRequestFailed = 2,
    UpdateManifestFailed = 3,
    UpdateModuleFailed = 4,
    UpdateUpToDate = 6,
    UpdateNotCompleted = 7,
};
