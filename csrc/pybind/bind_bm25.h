#pragma once

#include <pybind11/pybind11.h>

namespace vorda::typing::text::pybind {

// Registers the BM25 family on the module.
void BindBM25(pybind11::module_& m);

}  // namespace vorda::typing::text::pybind
