#include "pybind/bind_tokenizer.h"

#include "pybind/bind_tokenizer/bind_jieba.h"

namespace vorda::typing::text::pybind {

void BindTokenizder(pybind11::module_& m) { BindJieba(m); }

}  // namespace vorda::typing::text::pybind
