#pragma once

#include <pybind11/pybind11.h>

namespace vorda::typing::text::pybind {

// Registers the tokenizer family on the module.
void BindTokenizder(pybind11::module_& m);

}  // namespace vorda::typing::text::pybind
