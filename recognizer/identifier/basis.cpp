// Training and projecting through the kernel-PCA core.
#include "identifier/basis.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "compute/threads.h"
#include "compute/workers.h"
#include "morlin/identifier.h"
#include "kernel_pca/kernel_pca.h"
#include "kernel_pca/projection.h"

using namespace MatrixSpace;

namespace {

matrix* CopyOrNull(const matrix* m) {
    return m == nullptr ? nullptr : CopyMatrix(m);
}

// A rows x cols matrix holding values, column after column.
matrix* MatrixOf(int rows, int cols, const std::vector<float>& values) {
    matrix* m = MakeMatrix(rows, cols);
    std::copy(values.begin(), values.end(), m->data);
    return m;
}

std::vector<float> ValuesOf(const matrix* m) {
    return std::vector<float>(m->data, m->data + static_cast<size_t>(m->rows) * m->cols);
}

// The feature columns of count faces, shared among the helpers when given
// (each face on its own).
matrix* FeaturesOf(const FeatureShape& shape, const std::vector<uint8_t>& levels, int count,
                   Workers* workers = nullptr) {
    MatrixGuard features(MakeMatrix(shape.length, count));
    const size_t pixels = static_cast<size_t>(shape.rows) * static_cast<size_t>(shape.columns);
    const auto extract = [&](int j, int) {
        ExtractFeatures(shape, levels.data() + pixels * static_cast<size_t>(j), features->col[j]);
    };
    ForEachPiece(workers, count,
                 WorthThreads(count, int64_t{count} * static_cast<int64_t>(pixels) * 16), extract);
    return features.release();
}

}  // namespace

Basis::Basis(const Basis& other)
    : form(other.form),
      shape(other.shape),
      kernel(other.kernel),
      faces(other.faces),
      components(other.components),
      usable(other.usable),
      levels(other.levels),
      features(CopyOrNull(other.features.get())),
      centring(other.centring),
      eigenvectors(CopyOrNull(other.eigenvectors.get())),
      eigenvalues(CopyOrNull(other.eigenvalues.get())),
      trainingCoordinates(CopyOrNull(other.trainingCoordinates.get())),
      mean(other.mean),
      projection(other.projection) {}

Basis& Basis::operator=(const Basis& other) {
    if (this != &other) {
        Basis copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Basis Basis::Train(FeatureKind kind, int rows, int columns, std::vector<uint8_t> levels, int count,
                   const KernelFunction& kernel, int components, Workers& workers,
                   EigenSolver solver) {
    Basis basis;
    basis.shape = ShapeOf(kind, rows, columns);
    if (basis.shape.length == 0)
        throw morlin::Error("images of " + std::to_string(columns) + "x" + std::to_string(rows) +
                            " pixels are too " + (rows < 3 || columns < 3 ? "small" : "large") +
                            " for this method");
    basis.kernel = kernel;
    basis.faces = count;
    basis.levels = std::move(levels);
    basis.features = MatrixGuard(FeaturesOf(basis.shape, basis.levels, count, &workers));
    if (solver == EigenSolver::Lapack && basis.Linear() && count > basis.shape.length)
        return TrainScatter(std::move(basis), workers);
    KernelPcaModel model;
    switch (TrainKernelPca(basis.features.get(), count, kernel, components, 0, workers, model,
                           solver)) {
        case KernelPcaOutcome::NonFiniteKernel:
            throw morlin::Error(
                "the kernel matrix holds infinite or undefined values: check the kernel's "
                "parameters (gamma, coef0, degree)");
        case KernelPcaOutcome::Uninformative:
            throw morlin::Error(
                "nothing tells the training images apart (too few of them, identical ones, or "
                "a kernel whose parameters saturate it)");
        case KernelPcaOutcome::Trained:
            break;
    }
    basis.components = model.componentCount;
    basis.usable = model.usable;
    basis.centring = std::move(model.centring);
    basis.eigenvectors = std::move(model.eigenvectors);
    basis.eigenvalues = std::move(model.eigenvalues);
    basis.trainingCoordinates = std::move(model.coordinates);
    return basis;
}

void Basis::Project(const uint8_t* faceLevels, float* coordinates, Workers* workers) const {
    std::vector<float> feature(static_cast<size_t>(shape.length));
    ExtractFeatures(shape, faceLevels, feature.data());
    if (form == Form::Scatter) {
        ProjectScatter(feature.data(), coordinates);
        return;
    }
    if (features.get() == nullptr)
        throw std::logic_error("Basis::Project after the features were dropped");
    MatrixGuard kc(MakeMatrix(faces, 1));
    CentredKernelColumn(features.get(), faces, kernel, centring, feature.data(), kc->col[0],
                        workers);
    MatrixGuard out(MakeMatrix(components, 1));
    ProjectCentredColumns(eigenvectors.get(), eigenvalues.get(), usable, kc.get(), out.get(), 0);
    std::memcpy(coordinates, out->col[0], sizeof(float) * static_cast<size_t>(components));
}

void Basis::ProjectMany(const uint8_t* faceLevels, int count, float* coordinates,
                        Workers* workers) const {
    constexpr int block = 4;
    const size_t pixels = static_cast<size_t>(shape.rows) * static_cast<size_t>(shape.columns);
    const size_t length = static_cast<size_t>(shape.length);
    if (form == Form::Scatter) {
        std::vector<float> feature(length);
        for (int j = 0; j < count; ++j) {
            ExtractFeatures(shape, faceLevels + static_cast<size_t>(j) * pixels, feature.data());
            ProjectScatter(feature.data(),
                           coordinates + static_cast<size_t>(j) * static_cast<size_t>(components));
        }
        return;
    }
    if (features.get() == nullptr)
        throw std::logic_error("Basis::ProjectMany after the features were dropped");
    const int blocks = (count + block - 1) / block;
    const auto run = [&](int b, int) {
        const int first = b * block;
        const int size = std::min(block, count - first);
        std::vector<float> probes(block * length);
        const float* x[block];
        for (int s = 0; s < block; ++s) {
            x[s] = probes.data() + static_cast<size_t>(std::min(s, size - 1)) * length;
            if (s < size)
                ExtractFeatures(shape, faceLevels + static_cast<size_t>(first + s) * pixels,
                                probes.data() + static_cast<size_t>(s) * length);
        }
        // kernel(probe s, basis face i) for the four probes against each basis
        // face: products and squared differences do not depend on the order
        // of their two factors, so each value is the one Project takes.
        MatrixGuard kc(MakeMatrix(faces, block));
        for (int i = 0; i < faces; ++i) {
            float values[block];
            kernel.Against(x, size, features->col[i], shape.length, values);
            for (int s = 0; s < size; ++s) kc->col[s][i] = values[s];
        }
        MatrixGuard out(MakeMatrix(components, 1));
        for (int s = 0; s < size; ++s) {
            CentreKernelColumn(kc->col[s], faces, centring);
            MatrixGuard column(MakeMatrix(faces, 1));
            std::copy(kc->col[s], kc->col[s] + faces, column->col[0]);
            ProjectCentredColumns(eigenvectors.get(), eigenvalues.get(), usable, column.get(),
                                  out.get(), 0);
            std::copy(
                out->col[0], out->col[0] + components,
                coordinates + static_cast<size_t>(first + s) * static_cast<size_t>(components));
        }
    };
    ForEachPiece(workers, blocks, blocks >= 2, run);
}

void Basis::LinearWeights(std::vector<double>& weights, std::vector<double>& offsets) const {
    // coordinate c = sum_i w_ic kc_i with w_ic = V(i, c) / lambda_c and
    // kc_i = p.x_i + rowShare_i + allShare - (1/n) sum_k p.x_k: the weight
    // of p.x_i is w_ic - W_c / n (W_c = sum_i w_ic), and the offset
    // sum_i w_ic (rowShare_i + allShare).
    const size_t n = static_cast<size_t>(faces);
    weights.assign(static_cast<size_t>(usable) * n, 0.0);
    offsets.assign(static_cast<size_t>(usable), 0.0);
    const float* lambda = eigenvalues->col[0];
    for (int c = 0; c < usable; ++c) {
        double* row = weights.data() + static_cast<size_t>(c) * n;
        double total = 0.0;
        for (size_t i = 0; i < n; ++i) {
            row[i] = double{eigenvectors->col[c][i]} / lambda[c];
            total += row[i];
            offsets[static_cast<size_t>(c)] +=
                row[i] * (double{centring.rowShare[i]} + centring.allShare);
        }
        for (size_t i = 0; i < n; ++i) row[i] -= total / static_cast<double>(n);
    }
}

std::vector<double> Basis::ImagesOf(const std::vector<double>& weights, int rows,
                                    Workers* workers) const {
    const size_t length = static_cast<size_t>(shape.length);
    std::vector<double> images(static_cast<size_t>(rows) * length, 0.0);
    // Four rows at a time, so that each face's features are read once for
    // the four; each row on its own, so the blocks may go to several threads
    // in any order.
    constexpr int block = 4;
    const int blocks = (rows + block - 1) / block;
    const auto run = [&](int b, int) {
        const int first = b * block;
        const int count = std::min(block, rows - first);
        double* image[block];
        const double* w[block];
        for (int k = 0; k < block; ++k) {
            const int r = first + std::min(k, count - 1);
            image[k] = images.data() + static_cast<size_t>(r) * length;
            w[k] = weights.data() + static_cast<size_t>(r) * static_cast<size_t>(faces);
        }
        for (int i = 0; i < faces; ++i) {
            const float* x = features->col[i];
            if (count == block) {
                const double w0 = w[0][i], w1 = w[1][i], w2 = w[2][i], w3 = w[3][i];
                for (size_t f = 0; f < length; ++f) {
                    const double v = x[f];
                    image[0][f] += w0 * v;
                    image[1][f] += w1 * v;
                    image[2][f] += w2 * v;
                    image[3][f] += w3 * v;
                }
            } else {
                for (int k = 0; k < count; ++k)
                    for (size_t f = 0; f < length; ++f) image[k][f] += w[k][i] * x[f];
            }
        }
    };
    ForEachPiece(workers, blocks, WorthThreads(blocks, int64_t{rows} * faces * shape.length), run);
    return images;
}

void Basis::LinearImages(const std::vector<double>& mix, int rows,
                         const std::vector<double>& shifts, std::vector<double>& images,
                         std::vector<double>& offsets, Workers* workers) const {
    if (form == Form::Scatter) {
        ScatterImages(mix, rows, shifts, images, offsets);
        return;
    }
    if (features.get() == nullptr)
        throw std::logic_error("Basis::LinearImages after the features were dropped");
    std::vector<double> weights, own;
    LinearWeights(weights, own);
    const size_t n = static_cast<size_t>(faces);
    std::vector<double> faceWeights(static_cast<size_t>(rows) * n, 0.0);
    offsets.assign(static_cast<size_t>(rows), 0.0);
    if (mix.empty()) {
        // The coordinates themselves (the designed method's beyond the
        // usable ones stay 0).
        const int kept = std::min(rows, usable);
        std::copy(weights.begin(), weights.begin() + static_cast<ptrdiff_t>(kept * n),
                  faceWeights.begin());
        std::copy(own.begin(), own.begin() + kept, offsets.begin());
    } else {
        for (int r = 0; r < rows; ++r) {
            const double* m = mix.data() + static_cast<size_t>(r) * static_cast<size_t>(usable);
            double* row = faceWeights.data() + static_cast<size_t>(r) * n;
            double shift = shifts.empty() ? 0.0 : shifts[static_cast<size_t>(r)];
            for (int c = 0; c < usable; ++c) {
                const double* w = weights.data() + static_cast<size_t>(c) * n;
                for (size_t i = 0; i < n; ++i) row[i] += m[c] * w[i];
                shift += m[c] * own[static_cast<size_t>(c)];
            }
            offsets[static_cast<size_t>(r)] = shift;
        }
    }
    images = ImagesOf(faceWeights, rows, workers);
}

Basis::Parts Basis::ToParts() const {
    Parts parts{shape.kind, shape.rows, shape.columns, faces, components,
                usable,     kernel,     levels,        {},    {},
                {},         {},         form,          {},    {}};
    parts.eigenvalues = ValuesOf(eigenvalues.get());
    parts.coordinates = ValuesOf(trainingCoordinates.get());
    if (form == Form::Kernel) {
        parts.centring = centring;
        parts.eigenvectors = ValuesOf(eigenvectors.get());
    } else {
        parts.mean = mean;
        parts.projection = projection;
    }
    return parts;
}

Basis Basis::FromParts(Parts parts) {
    Basis basis;
    basis.shape = ShapeOf(parts.kind, parts.rows, parts.columns);
    const size_t pixels = static_cast<size_t>(parts.rows) * static_cast<size_t>(parts.columns);
    const size_t faces = static_cast<size_t>(parts.faces);
    const size_t components = static_cast<size_t>(parts.components);
    const size_t length = static_cast<size_t>(basis.shape.length);
    const bool scatter = parts.form == Form::Scatter;
    const bool formParts =
        scatter
            ? parts.kernel.type == KernelType::Linear && parts.components == parts.usable &&
                  parts.mean.size() == length && parts.projection.size() == components * length &&
                  parts.centring.rowShare.empty() && parts.eigenvectors.empty()
            : parts.form == Form::Kernel && parts.centring.rowShare.size() == faces &&
                  parts.eigenvectors.size() == faces * components && parts.mean.empty() &&
                  parts.projection.empty();
    if (basis.shape.length == 0 || parts.faces < 1 || parts.components < 1 || parts.usable < 1 ||
        parts.usable > parts.components || parts.components > parts.faces ||
        parts.levels.size() != pixels * faces || !formParts ||
        parts.eigenvalues.size() != components || parts.coordinates.size() != components * faces)
        throw morlin::Error("the basis's parts do not fit together");
    const auto finite = [](const auto& values) {
        return std::all_of(values.begin(), values.end(), [](auto v) { return std::isfinite(v); });
    };
    if (!finite(parts.centring.rowShare) || !std::isfinite(parts.centring.allShare) ||
        !finite(parts.eigenvectors) || !finite(parts.eigenvalues) || !finite(parts.coordinates) ||
        !finite(parts.mean) || !finite(parts.projection) ||
        std::any_of(parts.eigenvalues.begin(), parts.eigenvalues.begin() + parts.usable,
                    [](float v) { return v == 0.0f; }))
        throw morlin::Error("the basis holds values that are not numbers");
    basis.form = parts.form;
    basis.kernel = parts.kernel;
    basis.faces = parts.faces;
    basis.components = parts.components;
    basis.usable = parts.usable;
    basis.levels = std::move(parts.levels);
    basis.eigenvalues = MatrixGuard(MatrixOf(parts.components, 1, parts.eigenvalues));
    basis.trainingCoordinates =
        MatrixGuard(MatrixOf(parts.components, parts.faces, parts.coordinates));
    if (scatter) {
        // The projection images stand for the features: nothing to extract.
        basis.mean = std::move(parts.mean);
        basis.projection = std::move(parts.projection);
        return basis;
    }
    basis.features = MatrixGuard(FeaturesOf(basis.shape, basis.levels, parts.faces));
    basis.centring = std::move(parts.centring);
    basis.eigenvectors = MatrixGuard(MatrixOf(parts.faces, parts.components, parts.eigenvectors));
    return basis;
}
