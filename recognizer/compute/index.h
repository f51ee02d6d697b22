// Indexing with the int counts of the recognizer's matrices and records:
// standard containers take size_t, and one checked conversion here says so
// once instead of a cast at every subscript. A negative index is a fault of
// the caller, caught in debug and sanitizer builds.
#pragma once

#include <cassert>
#include <cstddef>

// n as a container size or index; n must not be negative.
constexpr std::size_t AsSize(int n) {
    assert(n >= 0);
    return static_cast<std::size_t>(n);
}

// Element i of a vector, array or string.
template <class Container>
constexpr decltype(auto) At(Container& container, int i) {
    return container[AsSize(i)];
}

// Where element `within` of block `block` starts when blocks of `width`
// elements lie one after the other (a column of a column-major matrix, a
// face's signature among the model's).
constexpr std::size_t Offset(int block, int width, int within = 0) {
    return AsSize(block) * AsSize(width) + AsSize(within);
}
