#include "pybind/bind_tokenizer/bind_jieba.h"

#include <pybind11/stl.h>

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "tokenizer/jieba/Jieba.h"
#include "tokenizer/jieba/limonp/Logging.h"

namespace vorda::typing::text::pybind {

namespace py = pybind11;

using jieba::Jieba;

namespace {

std::vector<std::string> Cut(const Jieba& tokenizer, const std::string& sentence) {
  std::vector<std::string> words;
  tokenizer.Cut(sentence, words, true);
  return words;
}

std::vector<std::string> CutForSearch(const Jieba& tokenizer, const std::string& sentence) {
  std::vector<std::string> words;
  tokenizer.CutForSearch(sentence, words, true);
  return words;
}

// A failed check quotes the offending line of a resource file, which need not
// be UTF-8. Its bytes that do not decode are shown as \xNN escapes, so the
// caller still gets the RuntimeError with the message rather than a
// UnicodeDecodeError about the message.
void TranslateFatalError(std::exception_ptr error) {
  try {
    if (error) std::rethrow_exception(error);
  } catch (const limonp::FatalError& e) {
    const std::string& message = e.message();
    PyObject* text = PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()),
                                          "backslashreplace");
    if (text == nullptr) return;  // the decoder's own error (out of memory) stands
    PyErr_SetObject(PyExc_RuntimeError, text);
    Py_DECREF(text);
  }
}

}  // namespace

// The constructor reads the resource files with the GIL held; the cuts only
// read the built engine, so they let other Python threads run meanwhile.
void BindJieba(py::module_& m) {
  py::register_exception_translator(&TranslateFatalError);
  py::class_<Jieba, std::shared_ptr<Jieba>>(m, "Jieba")
      .def(py::init<const std::string&, const std::string&, const std::string&,
                    const std::string&, const std::string&>(),
           py::arg("dict_path"), py::arg("hmm_path"), py::arg("user_dict_path"),
           py::arg("idf_path"), py::arg("stop_word_path"))
      .def("cut", &Cut, py::arg("sentence"), py::call_guard<py::gil_scoped_release>())
      .def("cut_for_search", &CutForSearch, py::arg("sentence"),
           py::call_guard<py::gil_scoped_release>());
}

}  // namespace vorda::typing::text::pybind
