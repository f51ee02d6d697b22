// A progress bar for long work, on standard error while it is a terminal.
#pragma once

#include "progress.h"

// A bar with the share done, what is being done and the time left; nothing
// (an empty Progress) when standard error is not a terminal.
Progress TerminalProgress();
