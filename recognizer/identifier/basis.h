// The identifier's (K)PCA basis: the kernel-PCA core trained on the feature
// vectors of a set of faces, and the coordinates of any face of their size in
// it. The training faces' grey levels are kept: the kernel of a new face is
// taken against their features, and a model file stores them.
//
// Invariants: features holds one column per training face, computed from
// levels (or nothing, once a linear basis's projection images are made and
// the features dropped: Project then is not to be called); the centring
// terms, eigenvectors and eigenvalues are those the core computed from
// exactly those columns; Components() coordinates per face, of which the
// first Usable() carry information and the rest are 0.
#pragma once

#include <cstdint>
#include <vector>

#include "identifier/face_features.h"
#include "kpca/centring.h"
#include "kpca/kernel_function.h"
#include "matrix/matrix.h"

class Workers;

class Basis {
public:
    Basis() = default;
    Basis(const Basis& other);
    Basis& operator=(const Basis& other);
    Basis(Basis&&) noexcept = default;
    Basis& operator=(Basis&&) noexcept = default;

    // Trains on count faces of rows x columns grey levels (levels holds them
    // one after the other), keeping components components. Throws
    // morlin::Error when the core refuses (no information, a kernel that
    // overflows) and MatrixAllocationError without memory.
    static Basis Train(FeatureKind kind, int rows, int columns, std::vector<uint8_t> levels,
                       int count, const KernelFunction& kernel, int components, Workers& workers);

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
    // For a linear kernel: coordinate c (c < Usable()) of a face with
    // features p is sum_i weights(c, i) (p . x_i) + offsets[c] over the
    // training faces' features x_i, the weights centred (each row sums to
    // 0). The same algebra as Project, summed in another order: equal up to
    // rounding. weights is Usable() rows of Faces().
    void LinearWeights(std::vector<double>& weights, std::vector<double>& offsets) const;
    // images(r) = sum_i weights(r, i) x_i for rows of Faces() weights: the
    // images whose dot products with a face's features give those sums. The
    // rows are shared among the helpers, when given.
    std::vector<double> ImagesOf(const std::vector<double>& weights, int rows,
                                 Workers* workers) const;
    // Frees the training faces' features, which a linear basis needs no more
    // once its images are made: a large gallery's model holds little besides
    // its signatures.
    void DropFeatures() { features = MatrixSpace::MatrixGuard(); }
    // The coordinates training gave training face j.
    const float* TrainingCoordinates(int j) const { return trainingCoordinates->col[j]; }

    const FeatureShape& Shape() const { return shape; }
    const KernelFunction& Kernel() const { return kernel; }
    int Faces() const { return faces; }
    int Components() const { return components; }
    int Usable() const { return usable; }
    const MatrixSpace::matrix* Eigenvalues() const { return eigenvalues.get(); }
    const std::vector<uint8_t>& Levels() const { return levels; }

    // What a model file keeps, and the basis rebuilt from it: the features
    // are extracted again from levels, the rest taken as stored. Throws
    // morlin::Error when the parts do not fit together.
    struct Parts {
        FeatureKind kind;
        int rows, columns, faces, components, usable;
        KernelFunction kernel;
        std::vector<uint8_t> levels;       // faces x rows x columns
        KernelCentring centring;           // faces shares
        std::vector<float> eigenvectors;   // faces x components, column after column
        std::vector<float> eigenvalues;    // components
        std::vector<float> coordinates;    // components x faces, column after column
    };
    Parts ToParts() const;
    static Basis FromParts(Parts parts);

private:
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
};
