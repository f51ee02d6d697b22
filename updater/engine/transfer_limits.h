// How much and how slowly a run lets a server send. A server that drips bytes
// or sends without end must not hold the run, nor fill the disk.
#pragma once

#include <chrono>
#include <cstdint>

#include "trust/update_site.h"

#ifndef TARVEX_MAX_MODULE_BYTES
#define TARVEX_MAX_MODULE_BYTES 1073741824ULL
#endif

struct TransferLimits {
    // A module file larger than this is refused (the build sets it).
    uint64_t maxModuleBytes = TARVEX_MAX_MODULE_BYTES;
    // The manifest is small text; anything larger is not one.
    uint64_t maxManifestBytes = update_site::maxManifestBytes;
    // The final status line and headers must have arrived within this time.
    std::chrono::milliseconds headerTimeout{30000};
    // A transfer slower than this many bytes a second, averaged over the
    // window, has failed.
    long lowSpeedBytesPerSecond = 1024;
    std::chrono::seconds lowSpeedWindow{30};
    // How long a run waits for another run on the same program folder.
    std::chrono::milliseconds lockWait{3000};
};
