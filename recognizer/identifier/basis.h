// The identifier's (K)PCA basis: the kernel-PCA core trained on the feature
// vectors of a set of faces, and the coordinates of any face of their size in
// it. The training faces' grey levels are kept: the kernel of a new face is
// taken against their features, a model stores them, and a gallery that
// follows who is enrolled is trained again from them.
//
// Two forms. Kernel: the core's own parts (the training faces' features, the
// centring, the eigenvectors of the n x n kernel matrix), for every kernel
// and for the designed method always. Scatter: for a linear kernel trained
// (by LAPACK) on more faces than features, the features' scatter matrix is
// decomposed instead, far smaller than the kernel matrix: with m the mean
// features and u_c, lambda_c its eigenpairs, coordinate c of a face with
// features p is u_c . (p - m) / sqrt(lambda_c), which is what the kernel
// form gives (the centred kernel matrix has the same eigenvalues, and
// eigenvectors Xc' u_c / sqrt(lambda_c)) up to sign and rounding.
//
// Invariants: in the kernel form, features holds one column per training
// face, computed from levels (or nothing, once a linear basis's projection
// images are made and the features dropped: Project must not be called
// then, and says so), and the centring terms, eigenvectors and eigenvalues
// are those the core computed from exactly those columns. In the scatter
// form mean and projection (one image u_c / sqrt(lambda_c) per component)
// come from exactly the training faces' features, and Components() equals
// Usable(). Either way Components() coordinates per face, of which the first
// Usable() carry information and the rest are 0.
#pragma once

#include <cstdint>
#include <vector>

#include "identifier/face_features.h"
#include "kernel_pca/centring.h"
#include "kernel_pca/kernel_function.h"
#include "kernel_pca/kernel_pca.h"
#include "matrix/matrix.h"

class Workers;

class Basis {
public:
    enum class Form { Kernel = 0, Scatter = 1 };

    Basis() = default;
    Basis(const Basis& other);
    Basis& operator=(const Basis& other);
    Basis(Basis&&) noexcept = default;
    Basis& operator=(Basis&&) noexcept = default;

    // Trains on count faces of rows x columns grey levels (levels holds them
    // one after the other), keeping components components, decomposed by
    // solver (the scatter form for a linear kernel, LAPACK and more faces
    // than features). Throws morlin::Error when the core refuses (no
    // information, a kernel that overflows) and MatrixAllocationError without
    // memory.
    static Basis Train(FeatureKind kind, int rows, int columns, std::vector<uint8_t> levels,
                       int count, const KernelFunction& kernel, int components, Workers& workers,
                       EigenSolver solver = EigenSolver::Jacobi);

    // coordinates[0 .. Components()) of the face with these grey levels,
    // through the kernel against every training face, as the designed
    // recognizer projects a probe.
    void Project(const uint8_t* faceLevels, float* coordinates, Workers* workers) const;

    // The coordinates of count faces (levels one after the other) into
    // coordinates, one face after the other: each exactly what Project gives
    // it, every basis face read once for four faces, the faces shared among
    // the helpers.
    void ProjectMany(const uint8_t* faceLevels, int count, float* coordinates,
                     Workers* workers) const;

    // Whether the kernel is the linear one (plain PCA): then every coordinate
    // is one dot product of the face's features with a basis image.
    bool Linear() const { return kernel.type == KernelType::Linear && !kernel.unknown; }
    // For a linear kernel: numbers r = sum_c mix(r, c) coordinate_c + shifts[r]
    // (mix rows x Usable(), row after row) as images and offsets, number r
    // of a face with features p being images(r) . p + offsets[r]: the same
    // algebra as Project, summed in another order, equal up to rounding. In
    // the kernel form through the training faces' features (the rows shared
    // among the helpers, when given), in the scatter form through the
    // projection images.
    void LinearImages(const std::vector<double>& mix, int rows, const std::vector<double>& shifts,
                      std::vector<double>& images, std::vector<double>& offsets,
                      Workers* workers) const;
    // Frees the training faces' features, which a linear basis needs no more
    // once its images are made: a large gallery's model holds little besides
    // its signatures.
    void DropFeatures() { features = MatrixSpace::MatrixGuard(); }
    // The coordinates training gave training face j.
    const float* TrainingCoordinates(int j) const { return trainingCoordinates->col[j]; }

    Form HeldAs() const { return form; }
    const FeatureShape& Shape() const { return shape; }
    const KernelFunction& Kernel() const { return kernel; }
    int Faces() const { return faces; }
    int Components() const { return components; }
    int Usable() const { return usable; }
    const MatrixSpace::matrix* Eigenvalues() const { return eigenvalues.get(); }
    const std::vector<uint8_t>& Levels() const { return levels; }

    // What a model keeps, and the basis rebuilt from it: in the kernel form
    // the features are extracted again from levels, the rest taken as
    // stored. Throws morlin::Error when the parts do not fit together.
    struct Parts {
        FeatureKind kind;
        int rows, columns, faces, components, usable;
        KernelFunction kernel;
        std::vector<uint8_t> levels;      // faces x rows x columns
        KernelCentring centring;          // faces shares (kernel form)
        std::vector<float> eigenvectors;  // faces x components, column after column (kernel form)
        std::vector<float> eigenvalues;   // components
        std::vector<float> coordinates;   // components x faces, column after column
        Form form = Form::Kernel;
        std::vector<double> mean;       // features (scatter form)
        std::vector<float> projection;  // components x features, image after image (scatter form)
    };
    Parts ToParts() const;
    static Basis FromParts(Parts parts);

private:
    // The scatter form's training, from the features of count faces.
    static Basis TrainScatter(Basis basis, Workers& workers);
    // Scatter form: coordinates[0 .. Components()) of a face's features.
    void ProjectScatter(const float* feature, float* coordinates) const;
    // Scatter form: LinearImages through the projection images.
    void ScatterImages(const std::vector<double>& mix, int rows, const std::vector<double>& shifts,
                       std::vector<double>& images, std::vector<double>& offsets) const;
    // Weights over the training faces' dot products for each coordinate
    // (kernel form): coordinate c (c < Usable()) of a face with features p
    // is sum_i weights(c, i) (p . x_i) + offsets[c], each row of weights
    // summing to 0.
    void LinearWeights(std::vector<double>& weights, std::vector<double>& offsets) const;
    // images(r) = sum_i weights(r, i) x_i for rows of Faces() weights (kernel form).
    std::vector<double> ImagesOf(const std::vector<double>& weights, int rows,
                                 Workers* workers) const;

    Form form = Form::Kernel;
    FeatureShape shape;
    KernelFunction kernel;
    int faces = 0;
    int components = 0;
    int usable = 0;
    std::vector<uint8_t> levels;
    MatrixSpace::MatrixGuard features;  // shape.length x faces
    KernelCentring centring;
    MatrixSpace::MatrixGuard eigenvectors;
    MatrixSpace::MatrixGuard eigenvalues;
    MatrixSpace::MatrixGuard trainingCoordinates;  // components x faces
    std::vector<double> mean;                      // scatter form
    std::vector<float> projection;                 // scatter form: components x shape.length
};
