// The one home of the processor's vector level. The recognizer's vector code
// is built for three instruction sets, and every build adds in the same order,
// so all give the same bits; each call runs the widest one the processor has.
// Tests may run a narrower one (ScopedCpuLevel) to compare them all.
#pragma once

// Widest last.
enum class CpuLevel : int { Baseline = 0, Avx2 = 1, Avx512 = 2 };

// The widest level this processor runs.
CpuLevel SupportedCpuLevel();
// The level vector code runs now: the supported one, or a narrower one a
// test has chosen.
CpuLevel ActiveCpuLevel();

// One function (or table of them) per level, the entry for the active level
// picked at each call.
template <typename Entry>
struct PerCpuLevel {
    Entry baseline;
    Entry avx2;
    Entry avx512;

    const Entry& Active() const {
        switch (ActiveCpuLevel()) {
            case CpuLevel::Avx512:
                return avx512;
            case CpuLevel::Avx2:
                return avx2;
            case CpuLevel::Baseline:
                break;
        }
        return baseline;
    }
};

// For tests: vector code runs at level (never wider than the processor's)
// while the object lives, on every thread.
class ScopedCpuLevel {
public:
    explicit ScopedCpuLevel(CpuLevel level);
    ~ScopedCpuLevel();
    ScopedCpuLevel(const ScopedCpuLevel&) = delete;
    ScopedCpuLevel& operator=(const ScopedCpuLevel&) = delete;

private:
    CpuLevel previous;
};
