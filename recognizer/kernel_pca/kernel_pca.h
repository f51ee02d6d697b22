// The kernel-PCA core: a basis trained on feature columns (the kernel matrix,
// its centring in feature space, the Jacobi decomposition and the
// coordinates of every training column) and the coordinates of a new column
// in it. The designed recognizer trains and recognizes through it on its
// equalized images; the identifier through the same code on its features.
//
// Components whose eigenvalue is zero up to rounding carry no information
// (the centred kernel matrix always has one such eigenvalue); dividing by
// them would blow the coordinates up. They are kept with coordinate 0 for
// every column, and the usable count says how many lead.
#pragma once

#include "kernel_pca/centring.h"
#include "kernel_pca/kernel_function.h"
#include "matrix/matrix.h"

class Workers;

struct KernelPcaModel {
    MatrixSpace::MatrixGuard kernel;        // n x n uncentred kernel matrix
    KernelCentring centring;                // its centring terms
    MatrixSpace::MatrixGuard centred;       // n x n centred kernel matrix
    MatrixSpace::MatrixGuard eigenvectors;  // n x componentCount, unit columns
    MatrixSpace::MatrixGuard eigenvalues;   // componentCount x 1, largest |value| first
    int componentCount = 0;
    int usable = 0;  // leading components with a non-zero eigenvalue
    // componentCount x (n + spare): column j (< n) the coordinates of
    // training column j; the spare columns are left as allocated.
    MatrixSpace::MatrixGuard coordinates;
};

enum class KernelPcaOutcome {
    Trained,
    NonFiniteKernel,  // a kernel value is infinite or not a number (extreme parameters)
    Uninformative,    // nothing tells the columns apart: too few, identical, a saturated kernel
};

// How the centred kernel matrix is decomposed: the designed Jacobi solver
// (the designed recognizer and the identifier's designed method, bit for
// bit), or LAPACK's divide and conquer in double precision (the
// identifier's other methods), whose training coordinates are then one
// matrix product as well.
enum class EigenSolver { Jacobi, Lapack };

// Trains on columns 0..n-1 of features (each features->rows long) under
// kernel, keeping count components (clamped to 1..n) and spare columns
// beside the coordinates. On any outcome but Trained, model is left empty.
// Matrix allocations may throw MatrixAllocationError; model then holds
// nothing either.
KernelPcaOutcome TrainKernelPca(const MatrixSpace::matrix* features, int n,
                                const KernelFunction& kernel, int count, int spare,
                                Workers& workers, KernelPcaModel& model,
                                EigenSolver solver = EigenSolver::Jacobi);

// The kernel values of y (features->rows long) against training columns
// 0..n-1, centred as training centred its own: kc = k + Kq + Qk + QKq.
void CentredKernelColumn(const MatrixSpace::matrix* features, int n, const KernelFunction& kernel,
                         const KernelCentring& centring, const float* y, float* kc,
                         Workers* workers);

// Scales every row of m to unit length; a row of zeros is left as it is.
void NormalizeRows(MatrixSpace::matrix* m);
