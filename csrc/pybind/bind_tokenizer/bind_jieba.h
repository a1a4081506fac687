#pragma once

#include <pybind11/pybind11.h>

namespace vorda::typing::text::pybind {

// Registers class Jieba.
void BindJieba(pybind11::module_& m);

}  // namespace vorda::typing::text::pybind
