// The records of libmorlin.so's interface: parameters, matches, eigen results,
// and the designed numbering of kernels and distance measures. No dependencies,
// so every layer of the recognizer can use them.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// What libmorlin.so exports; a host that defines it first keeps its own.
#ifndef MORLIN_API
#define MORLIN_API __attribute__((visibility("default")))
#endif

namespace MatrixSpace {
struct matrix;
}

// The recognizer's parameters; passed by value.
struct PCAParameter {
    bool isKernel = false;  // kernel PCA with kernelType; false: plain PCA
    int componentNum = 30;  // principal components kept, 1 .. sampleCount
    int distanceType = 0;   // distance measure 0..9, as in the dialog's list
    int kernelType = 0;     // 0 linear, 1 polynomial, 2 rbf, 3 sigmoid
    double gamma = 1.0;
    double coef0 = 0.0;
    double degree = 2.0;
    double threshold = 3.0;  // a match needs a distance strictly below it
};

// PCAParameter::kernelType.
enum class KernelType : int { Linear = 0, Polynomial = 1, Rbf = 2, Sigmoid = 3 };
inline constexpr int kernelTypeCount = 4;

// PCAParameter::distanceType; the position in the parameter dialog's list.
enum class DistanceMeasure : int {
    CityBlock = 0,
    Euclidean = 1,
    Covariance = 2,
    Correlation = 3,
    MahCosine = 4,
    YamborAngle = 5,
    YamborDistance = 6,
    MahL1 = 7,
    MahL2 = 8,
    LDASoft = 9,
};

// Every measure with its text in the parameter dialog's list, in list order.
// "Euclidean " carries the list's trailing blank; MeasureName trims it.
struct DistanceMeasureEntry {
    DistanceMeasure measure;
    std::string_view listText;
};
inline constexpr std::array<DistanceMeasureEntry, 10> distanceMeasures = {{
    {DistanceMeasure::CityBlock, "CityBlock"},
    {DistanceMeasure::Euclidean, "Euclidean "},
    {DistanceMeasure::Covariance, "Covariance"},
    {DistanceMeasure::Correlation, "Correlation"},
    {DistanceMeasure::MahCosine, "MahCosine"},
    {DistanceMeasure::YamborAngle, "YamborAngle"},
    {DistanceMeasure::YamborDistance, "YamborDistance"},
    {DistanceMeasure::MahL1, "MahL1"},
    {DistanceMeasure::MahL2, "MahL2"},
    {DistanceMeasure::LDASoft, "LDASoft"},
}};
inline constexpr int distanceMeasureCount = static_cast<int>(distanceMeasures.size());

// The measure's name without the list's blanks; index must be 0..9.
constexpr std::string_view MeasureName(int index) {
    std::string_view name = distanceMeasures[static_cast<size_t>(index)].listText;
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return name;
}

// Short names of the kernels by PCAParameter::kernelType, for command lines.
inline constexpr std::array<std::string_view, kernelTypeCount> kernelNames = {"linear", "poly",
                                                                              "rbf", "sigmoid"};

// One reported match: 0-based gallery position and its distance to the probe.
struct foundFace {
    int index;
    double distance;
};

// Leading results of one eigen decomposition; the holder owns both matrices.
struct EigenResult {
    int componentCount = 0;
    MatrixSpace::matrix* eigenvectors = nullptr;  // n x componentCount basis
    MatrixSpace::matrix* eigenvalues = nullptr;   // componentCount x 1, largest |value| first
};
