#include "pybind/bind_bm25/bind_bm25_impl.h"

#include <pybind11/stl.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "search/bm25/bm25.h"

namespace vorda::typing::text::pybind {

// String tokens together with the Python sequence they came from, so that
// results can be keyed by the caller's own str objects.
struct StringTokens {
  std::vector<std::string> tokens;
  pybind11::object source;
};

// A string-keyed result: weights by input position, turned into a dict. It
// refers to the call's argument, which pybind11 keeps alive until the result
// has been converted.
struct StringWeights {
  const StringTokens& input;
  BM25::PositionWeights weights;
};

}  // namespace vorda::typing::text::pybind

namespace pybind11::detail {

using vorda::typing::text::pybind::StringTokens;
using vorda::typing::text::pybind::StringWeights;

// Loads exactly as a list of str does, and keeps the source sequence.
template <>
struct type_caster<StringTokens> {
  PYBIND11_TYPE_CASTER(StringTokens, _("List[str]"));

  bool load(handle src, bool convert) {
    if (LoadExactStrings(src)) return true;
    make_caster<std::vector<std::string>> tokens;
    if (!tokens.load(src, convert)) return false;
    value.tokens = cast_op<std::vector<std::string>&&>(std::move(tokens));
    value.source = reinterpret_borrow<object>(src);
    return true;
  }

 private:
  // The common case, a list or tuple of exact str, read straight from the
  // items; anything else goes the general way.
  bool LoadExactStrings(handle src) {
    if (!PyList_CheckExact(src.ptr()) && !PyTuple_CheckExact(src.ptr())) return false;
    const Py_ssize_t size = PySequence_Fast_GET_SIZE(src.ptr());
    PyObject** items = PySequence_Fast_ITEMS(src.ptr());
    std::vector<std::string> tokens;
    tokens.reserve(static_cast<std::size_t>(size));
    for (Py_ssize_t i = 0; i < size; ++i) {
      if (!PyUnicode_CheckExact(items[i])) return false;
      Py_ssize_t length = 0;
      const char* text = PyUnicode_AsUTF8AndSize(items[i], &length);
      if (text == nullptr) {
        PyErr_Clear();
        return false;
      }
      tokens.emplace_back(text, static_cast<std::size_t>(length));
    }
    value.tokens = std::move(tokens);
    value.source = reinterpret_borrow<object>(src);
    return true;
  }
};

// The dict of a string-keyed result, filled in ascending token order. A token
// that arrived as an exact str in a list or tuple is its own key: the text
// would decode to an equal str, at the price of a new object and its hash.
// Other tokens (bytes, bytearray, str subclasses, other sequences) are
// decoded from their UTF-8 bytes.
template <>
struct type_caster<StringWeights> {
  static constexpr auto name = _("Dict[str, float]");

  static handle cast(const StringWeights& result, return_value_policy, handle) {
    PyObject* source = result.input.source.ptr();
    const bool indexable = PyList_CheckExact(source) || PyTuple_CheckExact(source);
    dict weights;
    for (const auto& [position, weight] : result.weights) {
      PyObject* item = indexable ? PySequence_Fast_GET_ITEM(source, position) : nullptr;
      object key = item != nullptr && PyUnicode_CheckExact(item)
                       ? reinterpret_borrow<object>(item)
                       : reinterpret_steal<object>(make_caster<std::string>::cast(
                             result.input.tokens[position], return_value_policy::move, {}));
      if (!key) throw error_already_set();
      weights[key] = float_(weight);
    }
    return weights.release();
  }
};

}  // namespace pybind11::detail

namespace vorda::typing::text::pybind {

namespace py = pybind11;

using Ids = std::vector<long long>;

namespace {

void Train(BM25& model, const StringTokens& corpus) { model.train(corpus.tokens); }

StringWeights EncodeDocument(const BM25& model, const StringTokens& tokens) {
  return {tokens, model.encode_document_positions(tokens.tokens)};
}

StringWeights EncodeQuery(const BM25& model, const StringTokens& tokens) {
  return {tokens, model.encode_query_positions(tokens.tokens)};
}

}  // namespace

// Each name registers its string overload before its id overload: an empty
// list therefore resolves to the string form.
void BindBM25Impl(py::module_& m) {
  py::class_<BM25, std::shared_ptr<BM25>>(m, "BM25")
      .def(py::init<double, double>(), py::arg("b") = 0.75, py::arg("k1") = 1.2)
      .def("train", &Train)
      .def("train", py::overload_cast<const Ids&>(&BM25::train))
      .def("load", &BM25::load)
      .def("dump", &BM25::dump)
      .def("encode_document", &EncodeDocument)
      .def("encode_document", py::overload_cast<const Ids&>(&BM25::encode_document, py::const_))
      .def("encode_query", &EncodeQuery)
      .def("encode_query", py::overload_cast<const Ids&>(&BM25::encode_query, py::const_));
}

}  // namespace vorda::typing::text::pybind
