// How the recognizer's operations refuse work they cannot do. The user learns
// why on the recognizer's message channel; the recognizer keeps what it held.
#pragma once

#include <cstddef>
#include <new>
#include <string>

#include "matrix/matrix.h"
#include "kpca/recognizer_message.h"

// Tells the user that an allocation of bytes failed (0: size unknown).
void ReportOutOfMemory(size_t bytes);

// Runs operation, which makes its matrices under guards and commits them to
// the recognizer only at its end. A matrix that cannot be allocated ends it:
// the guards release what it made, nothing it had not committed changes, and
// the message says how much memory was needed. Nothing is thrown on.
template <typename Operation>
void RefusedWithoutMemory(Operation operation) {
    try {
        operation();
    } catch (const MatrixSpace::MatrixAllocationError& e) {
        ReportOutOfMemory(e.Bytes());
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory(0);
    }
}
