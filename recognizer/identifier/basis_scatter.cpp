// The scatter form of a linear basis: the features' scatter matrix
// decomposed by LAPACK, for more faces than features.
#include <algorithm>
#include <cmath>

#include "dense/dense_matrix.h"
#include "identifier/basis.h"
#include "kernel_pca/zero_eigenvalue.h"
#include "morlin/identifier.h"

using namespace MatrixSpace;

namespace {

// Faces centred and multiplied at a time: the scatter matrix is summed
// block by block, so no copy of every face's features in double is needed.
constexpr int faceBlock = 1024;

// Columns first .. first + size of features, less the mean, in double.
DenseMatrix CentredBlock(const matrix* features, const std::vector<double>& mean, int first,
                         int size) {
    const int length = features->rows;
    DenseMatrix block(length, size);
    for (int j = 0; j < size; ++j) {
        const float* x = features->col[first + j];
        double* column = block.Column(j);
        for (int i = 0; i < length; ++i) column[i] = x[i] - mean[static_cast<size_t>(i)];
    }
    return block;
}

}  // namespace

Basis Basis::TrainScatter(Basis basis, Workers&) {
    const matrix* features = basis.features.get();
    const int n = basis.faces, length = basis.shape.length;
    basis.mean.assign(static_cast<size_t>(length), 0.0);
    // The largest kernel value is on the diagonal (|x.y| <= max(x.x, y.y)):
    // the scale the kernel form judges noise by.
    double largestKernel = 0.0;
    for (int j = 0; j < n; ++j) {
        const float* x = features->col[j];
        double own = 0.0;
        for (int i = 0; i < length; ++i) {
            basis.mean[static_cast<size_t>(i)] += x[i];
            own += double{x[i]} * x[i];
        }
        largestKernel = std::max(largestKernel, own);
    }
    for (double& v : basis.mean) v /= n;

    DenseMatrix scatter(length, length);
    for (int first = 0; first < n; first += faceBlock)
        AddOuterGramUpper(CentredBlock(features, basis.mean, first, std::min(faceBlock, n - first)),
                          scatter);
    MirrorUpper(scatter);
    const EigenPairs pairs = SymmetricEigen(std::move(scatter), length, true);

    // The kernel form's rule for components that carry information.
    const double largest = pairs.values.empty() ? 0.0 : std::fabs(pairs.values.front());
    int usable = 0;
    if (largest > kernelNoiseRelative * n * largestKernel)
        while (usable < static_cast<int>(pairs.values.size()) &&
               std::fabs(pairs.values[static_cast<size_t>(usable)]) >
                   zeroEigenvalueRelative * largest)
            ++usable;
    if (usable == 0)
        throw morlin::Error(
            "nothing tells the training images apart (too few of them, identical ones, or "
            "a kernel whose parameters saturate it)");

    // Projection images u_c / sqrt(lambda_c), as columns of a length x usable
    // matrix for the products below, and kept image after image.
    DenseMatrix images(length, usable);
    basis.projection.resize(static_cast<size_t>(usable) * static_cast<size_t>(length));
    basis.eigenvalues = MatrixGuard(MakeMatrix(usable, 1));
    for (int c = 0; c < usable; ++c) {
        const double lambda = pairs.values[static_cast<size_t>(c)];
        basis.eigenvalues->col[0][c] = static_cast<float>(lambda);
        const double* u = pairs.vectors.Column(c);
        double* image = images.Column(c);
        for (int i = 0; i < length; ++i) {
            image[i] = u[i] / std::sqrt(lambda);
            basis.projection[static_cast<size_t>(c) * length + i] = static_cast<float>(image[i]);
        }
    }
    basis.trainingCoordinates = MatrixGuard(MakeMatrix(usable, n));
    for (int first = 0; first < n; first += faceBlock) {
        const int size = std::min(faceBlock, n - first);
        const DenseMatrix coordinates =
            Product(images, true, CentredBlock(features, basis.mean, first, size), false);
        for (int j = 0; j < size; ++j)
            for (int c = 0; c < usable; ++c)
                basis.trainingCoordinates->col[first + j][c] =
                    static_cast<float>(coordinates(c, j));
    }
    basis.form = Form::Scatter;
    basis.components = usable;
    basis.usable = usable;
    // The projection images stand for the features from now on.
    basis.features = MatrixGuard();
    return basis;
}

void Basis::ProjectScatter(const float* feature, float* coordinates) const {
    const size_t length = static_cast<size_t>(shape.length);
    for (int c = 0; c < usable; ++c) {
        const float* image = projection.data() + static_cast<size_t>(c) * length;
        double sum = 0.0;
        for (size_t i = 0; i < length; ++i)
            sum += double{image[i]} * (double{feature[i]} - mean[i]);
        coordinates[c] = static_cast<float>(sum);
    }
}

void Basis::ScatterImages(const std::vector<double>& mix, int rows,
                          const std::vector<double>& shifts, std::vector<double>& images,
                          std::vector<double>& offsets) const {
    const int length = shape.length;
    images.assign(static_cast<size_t>(rows) * static_cast<size_t>(length), 0.0);
    if (mix.empty()) {
        // The coordinates themselves.
        for (int r = 0; r < std::min(rows, usable); ++r)
            std::copy_n(projection.begin() + static_cast<ptrdiff_t>(r) * length, length,
                        images.begin() + static_cast<ptrdiff_t>(r) * length);
    } else {
        // images' = P' mix': each image the projection images mixed.
        DenseMatrix projected(length, usable), mixed(usable, rows);
        std::copy(projection.begin(), projection.end(), projected.values.begin());
        std::copy(mix.begin(), mix.end(), mixed.values.begin());
        const DenseMatrix product = Product(projected, false, mixed, false);
        std::copy(product.values.begin(), product.values.end(), images.begin());
    }
    // number r = images(r) . (p - mean) + shifts[r].
    offsets.assign(static_cast<size_t>(rows), 0.0);
    for (int r = 0; r < rows; ++r) {
        const double* image = images.data() + static_cast<size_t>(r) * length;
        double sum = 0.0;
        for (int i = 0; i < length; ++i) sum += image[i] * mean[static_cast<size_t>(i)];
        offsets[static_cast<size_t>(r)] =
            (shifts.empty() ? 0.0 : shifts[static_cast<size_t>(r)]) - sum;
    }
}
