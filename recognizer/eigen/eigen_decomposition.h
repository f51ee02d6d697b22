// Runs the Jacobi solver with a fixed tolerance and keeps the leading results.
//
// Ownership: EigenDecompositionImpl owns its EigenResult record and, once
// Decompose has run (hasResult), the two matrices in it. GetResult hands out
// copies that belong to the receiver; destroying the decomposition never
// touches them.
#pragma once

#include <memory>

#include "morlin/morlin_records.h"

class Workers;

class EigenDecompositionImpl {
public:
    EigenDecompositionImpl();
    virtual ~EigenDecompositionImpl();
    EigenDecompositionImpl(const EigenDecompositionImpl&) = delete;
    EigenDecompositionImpl& operator=(const EigenDecompositionImpl&) = delete;

    void Decompose(MatrixSpace::matrix* a, int m, Workers* workers = nullptr);
    void GetResult(EigenResult& receiver) const;

private:
    void Release();

    std::unique_ptr<EigenResult> result;
    bool hasResult = false;
};

class EigenDecomposition {
public:
    EigenDecomposition() = default;
    virtual ~EigenDecomposition() = default;

    // Decomposes the square symmetric matrix a (overwritten, still the caller's)
    // and keeps m leading components; m outside 1..order is clamped to it.
    // workers, when given, may share the solver's work.
    void Decompose(MatrixSpace::matrix* a, int m, Workers* workers = nullptr) {
        impl.Decompose(a, m, workers);
    }
    // Sets receiver's count and new copies of the basis and eigenvalue column;
    // whatever receiver held before is not released here.
    void GetResult(EigenResult& receiver) const { impl.GetResult(receiver); }

private:
    EigenDecompositionImpl impl;
};
