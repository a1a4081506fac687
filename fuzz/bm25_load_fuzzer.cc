// BM25::load on arbitrary model texts. A load either takes the text over, and
// then the model's own file loads back into an equal model, or it fails with
// one of its errors and leaves the model exactly as it was.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "search/bm25/_json.h"
#include "search/bm25/bm25.h"

using vorda::typing::text::BM25;
using vorda::typing::text::json::JSON;

namespace {

const vivividodor_fuzz::ScratchFile& ModelFile() {
  static const vivividodor_fuzz::ScratchFile file("model.json");
  return file;
}

std::string Text(const BM25& model) {
  model.dump(ModelFile().path());
  return ModelFile().Read();
}

// A model with a bit of everything: odd parameters, ids, bytes the writer
// must escape.
BM25 Trained() {
  BM25 model(0.5, 1.75);
  model.train(std::vector<std::string>{"北京", "天气", "北京", "a\"b", "c\\d"});
  model.train(std::vector<long long>{7, 7, -3});
  model.train(std::vector<std::string>{"x\ny", std::string("z\0z", 3)});
  return model;
}

// _b and _k1 are taken as they are, and "%f" writes a non-finite one as
// text that no load accepts.
bool FiniteParameters(const std::string& text) {
  JSON root = JSON::Load(text);
  bool ok = false;
  return std::isfinite(root["_b"].ToFloat(ok)) && std::isfinite(root["_k1"].ToFloat(ok));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vivividodor_fuzz::SilenceEngineLog();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const BM25 trained = Trained();
  static const std::string trained_text = Text(trained);
  const std::string input(reinterpret_cast<const char*>(data), size);

  BM25 model = trained;
  bool failed = true;
  try {
    model.load(input);
    failed = false;
  } catch (const std::invalid_argument&) {
  } catch (const std::out_of_range&) {
  } catch (const std::runtime_error& e) {
    FUZZ_CHECK(std::string(e.what()).rfind("load ", 0) == 0 ||
               std::string(e.what()) == "json data should not be empty");
  }

  if (failed) {
    FUZZ_CHECK(Text(model) == trained_text);
    // The length total is not in the file: training on shows it unchanged.
    BM25 reference = trained;
    const std::vector<std::string> document = {"北京", "新"};
    model.train(document);
    reference.train(document);
    FUZZ_CHECK(Text(model) == Text(reference));
    return 0;
  }

  const std::string text = Text(model);
  if (!FiniteParameters(text)) return 0;
  BM25 reloaded(0.1, 0.2);
  reloaded.load(text);
  FUZZ_CHECK(Text(reloaded) == text);
  return 0;
}
