#include "pybind/bind_tokenizer/bind_jieba.h"

#include <pybind11/stl.h>

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "tokenizer/jieba/Jieba.h"
#include "tokenizer/jieba/limonp/Logging.h"

namespace vorda::typing::text::pybind {

// A sentence as UTF-8 bytes, with the Python object it came from.
struct Sentence {
  std::string text;
  pybind11::object source;
};

// The words of a cut. They refer to the call's argument, which pybind11 keeps
// alive until the result has been converted.
struct CutWords {
  const Sentence& input;
  std::vector<jieba::Word> words;
};

}  // namespace vorda::typing::text::pybind

namespace pybind11::detail {

using vorda::typing::text::pybind::CutWords;
using vorda::typing::text::pybind::Sentence;

// Loads exactly as a str parameter does, and keeps the source object.
template <>
struct type_caster<Sentence> {
  PYBIND11_TYPE_CASTER(Sentence, _("str"));

  bool load(handle src, bool convert) {
    make_caster<std::string> text;
    if (!text.load(src, convert)) return false;
    value.text = cast_op<std::string&&>(std::move(text));
    value.source = reinterpret_borrow<object>(src);
    return true;
  }
};

// The list of the words. From a str sentence each word is cut out of the
// caller's str by its character offsets, which costs less than decoding its
// UTF-8 text again and keeps the interpreter lock for less time; words of a
// bytes sentence are decoded, and may fail to decode.
template <>
struct type_caster<CutWords> {
  static constexpr auto name = _("List[str]");

  static handle cast(const CutWords& result, return_value_policy, handle) {
    PyObject* source = result.input.source.ptr();
    const bool from_str = PyUnicode_Check(source);
    list words(result.words.size());
    for (std::size_t i = 0; i < result.words.size(); ++i) {
      const auto& word = result.words[i];
      PyObject* text =
          from_str ? PyUnicode_Substring(source, word.unicode_offset,
                                         word.unicode_offset + word.unicode_length)
                   : PyUnicode_DecodeUTF8(word.word.data(),
                                          static_cast<Py_ssize_t>(word.word.size()), nullptr);
      if (text == nullptr) throw error_already_set();
      PyList_SET_ITEM(words.ptr(), static_cast<Py_ssize_t>(i), text);
    }
    return words.release();
  }
};

}  // namespace pybind11::detail

namespace vorda::typing::text::pybind {

namespace py = pybind11;

using jieba::Jieba;

namespace {

CutWords Cut(const Jieba& tokenizer, const Sentence& sentence) {
  CutWords result{sentence, {}};
  tokenizer.Cut(sentence.text, result.words, true);
  return result;
}

CutWords CutForSearch(const Jieba& tokenizer, const Sentence& sentence) {
  CutWords result{sentence, {}};
  tokenizer.CutForSearch(sentence.text, result.words, true);
  return result;
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
