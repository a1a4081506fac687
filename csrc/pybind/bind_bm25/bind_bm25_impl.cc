#include "pybind/bind_bm25/bind_bm25_impl.h"

#include <pybind11/stl.h>

#include <memory>
#include <string>
#include <vector>

#include "search/bm25/bm25.h"

namespace vorda::typing::text::pybind {

namespace py = pybind11;

using Strings = std::vector<std::string>;
using Ids = std::vector<long long>;

// Each name registers its string overload before its id overload: an empty
// list therefore resolves to the string form.
void BindBM25Impl(py::module_& m) {
  py::class_<BM25, std::shared_ptr<BM25>>(m, "BM25")
      .def(py::init<double, double>(), py::arg("b") = 0.75, py::arg("k1") = 1.2)
      .def("train", py::overload_cast<const Strings&>(&BM25::train))
      .def("train", py::overload_cast<const Ids&>(&BM25::train))
      .def("load", &BM25::load)
      .def("dump", &BM25::dump)
      .def("encode_document", py::overload_cast<const Strings&>(&BM25::encode_document, py::const_))
      .def("encode_document", py::overload_cast<const Ids&>(&BM25::encode_document, py::const_))
      .def("encode_query", py::overload_cast<const Strings&>(&BM25::encode_query, py::const_))
      .def("encode_query", py::overload_cast<const Ids&>(&BM25::encode_query, py::const_));
}

}  // namespace vorda::typing::text::pybind
