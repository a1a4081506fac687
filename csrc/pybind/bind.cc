#include <pybind11/pybind11.h>

#include "pybind/bind_bm25.h"
#include "pybind/bind_tokenizer.h"

namespace vorda::typing::pybind {

PYBIND11_MODULE(vivividodor, m) {
  m.doc() = pybind11::none();
  text::pybind::BindBM25(m);
  text::pybind::BindTokenizder(m);
}

}  // namespace vorda::typing::pybind
