// The processor's vector level, found once, and the narrower one a test may choose.
#include "compute/cpu_level.h"

#include <algorithm>
#include <atomic>

namespace {

CpuLevel Detected() {
    if (__builtin_cpu_supports("avx512f")) return CpuLevel::Avx512;
    if (__builtin_cpu_supports("avx2")) return CpuLevel::Avx2;
    return CpuLevel::Baseline;
}

// The level a test chose, or -1 for the processor's own. The one setting of
// the numeric layer, and only for tests.
std::atomic<int> chosenLevel{-1};

}  // namespace

CpuLevel SupportedCpuLevel() {
    static const CpuLevel supported = Detected();
    return supported;
}

CpuLevel ActiveCpuLevel() {
    const int chosen = chosenLevel.load(std::memory_order_relaxed);
    return chosen < 0 ? SupportedCpuLevel() : static_cast<CpuLevel>(chosen);
}

ScopedCpuLevel::ScopedCpuLevel(CpuLevel level) : previous(ActiveCpuLevel()) {
    chosenLevel.store(std::min(static_cast<int>(level), static_cast<int>(SupportedCpuLevel())));
}

ScopedCpuLevel::~ScopedCpuLevel() {
    chosenLevel.store(previous == SupportedCpuLevel() ? -1 : static_cast<int>(previous));
}
