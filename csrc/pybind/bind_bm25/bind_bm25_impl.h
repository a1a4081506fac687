#pragma once

#include <pybind11/pybind11.h>

namespace vorda::typing::text::pybind {

// Registers class BM25.
void BindBM25Impl(pybind11::module_& m);

}  // namespace vorda::typing::text::pybind
