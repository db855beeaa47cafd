#pragma once
// Python values as automation VARIANTs and back. Sequences become arrays of
// doubles when they hold only numbers, else arrays of VARIANTs; a sequence of
// equal-length sequences becomes a two-dimensional array whose first index
// runs along each inner sequence (the elements that lie side by side in
// memory), and arrays come back the same way, as lists of such rows.

#include <pybind11/pybind11.h>

#include "velkor/variant.h"

namespace velkor::python {

namespace py = pybind11;

// `variant` must be empty; raises TypeError or OverflowError for values the
// engine's interfaces cannot take.
void ToVariant(py::handle value, VARIANT& variant);

// Copies; the variant keeps what it holds.
py::object FromVariant(const VARIANT& variant);

}  // namespace velkor::python
