#include "pybind/bind_bm25.h"

#include "pybind/bind_bm25/bind_bm25_impl.h"

namespace vorda::typing::text::pybind {

void BindBM25(pybind11::module_& m) { BindBM25Impl(m); }

}  // namespace vorda::typing::text::pybind
