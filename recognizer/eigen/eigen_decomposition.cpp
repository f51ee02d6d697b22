// Eigen decomposition of a centred kernel matrix: the basis is the first m
// eigenvectors (columns of V), the eigenvalues the first m of E.
#include "eigen/eigen_decomposition.h"

#include "eigen/jacobi_eigen.h"
#include "matrix/matrix.h"

using namespace MatrixSpace;

namespace {
constexpr float decompositionTolerance = 0.001f;
}

EigenDecompositionImpl::EigenDecompositionImpl() : result(std::make_unique<EigenResult>()) {}

EigenDecompositionImpl::~EigenDecompositionImpl() {
    Release();
}

void EigenDecompositionImpl::Release() {
    if (!hasResult) return;
    FreeMatrix(result->eigenvectors);
    FreeMatrix(result->eigenvalues);
    *result = EigenResult{};
    hasResult = false;
}

void EigenDecompositionImpl::Decompose(matrix* a, int m, Workers* workers) {
    Release();
    const int n = a->rows;
    if (m > n) m = n;
    if (m < 1) m = 1;
    MatrixGuard v(MakeMatrix(n, n));
    MatrixGuard e(MakeMatrix(n, 1));
    JacobiEigen(a, v.get(), e.get(), n, decompositionTolerance, workers);
    result->eigenvectors = ColumnRange(v.get(), 1, m);
    result->eigenvalues = RowRange(e.get(), 1, m);
    result->componentCount = m;
    hasResult = true;
}

void EigenDecompositionImpl::GetResult(EigenResult& receiver) const {
    receiver.componentCount = result->componentCount;
    receiver.eigenvectors = hasResult ? CopyMatrix(result->eigenvectors) : nullptr;
    receiver.eigenvalues = hasResult ? CopyMatrix(result->eigenvalues) : nullptr;
}
