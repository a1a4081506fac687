// The HMM model loader on arbitrary file contents. A load builds a model or
// fails its check with a message, and a failed load leaves a loaded model as
// it was. The HMM cut with a built model tiles any sentence (here the file
// itself and a fixed Chinese one), whatever numbers the file held.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/cut_properties.h"
#include "fuzz/fuzz_support.h"
#include "tokenizer/jieba/HMMModel.h"
#include "tokenizer/jieba/HMMSegment.h"
#include "tokenizer/jieba/limonp/Logging.h"

using namespace vorda::typing::text::jieba;
namespace limonp = vorda::typing::text::limonp;

namespace {

// Numbers compare bit for bit, so that NaN equals itself.
bool SameMap(const EmitProbMap& a, const EmitProbMap& b) {
  if (a.size() != b.size()) return false;
  for (const auto& entry : a) {
    const auto other = b.find(entry.first);
    if (other == b.end() || std::memcmp(&entry.second, &other->second, sizeof(double)) != 0) {
      return false;
    }
  }
  return true;
}

bool SameMaps(const HMMModel& a, const HMMModel& b) {
  return SameMap(a.emitProbB, b.emitProbB) && SameMap(a.emitProbE, b.emitProbE) &&
         SameMap(a.emitProbM, b.emitProbM) && SameMap(a.emitProbS, b.emitProbS);
}

bool SameNumbers(const HMMModel& a, const HMMModel& b) {
  return std::memcmp(a.startProb, b.startProb, sizeof a.startProb) == 0 &&
         std::memcmp(a.transProb, b.transProb, sizeof a.transProb) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vivividodor_fuzz::SilenceEngineLog();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vivividodor_fuzz::ScratchFile file("hmm.utf8");
  static const HMMModel fixture(vivividodor_fuzz::Fixture("jieba_hmm_model.utf8"));
  file.Write(data, size);

  HMMModel reloaded = fixture;
  try {
    reloaded.LoadModel(file.path());
  } catch (const limonp::FatalError& e) {
    FUZZ_CHECK(vivividodor_fuzz::IsCheckMessage(e.what()));
    FUZZ_CHECK(SameNumbers(reloaded, fixture) && SameMaps(reloaded, fixture));
    return 0;
  }
  FUZZ_CHECK(reloaded.emitProbVec.size() == HMMModel::STATUS_SUM);
  FUZZ_CHECK(reloaded.emitProbVec[HMMModel::B] == &reloaded.emitProbB);
  FUZZ_CHECK(reloaded.emitProbVec[HMMModel::S] == &reloaded.emitProbS);

  // A fresh model from the same file holds the same.
  const HMMModel fresh(file.path());
  FUZZ_CHECK(SameNumbers(fresh, reloaded) && SameMaps(fresh, reloaded));

  const HMMSegment segment(&fresh);
  const std::string content(reinterpret_cast<const char*>(data), size);
  for (const std::string& sentence : {content, std::string("云朵海洋蓝天小明 abc 12.5，北京")}) {
    std::vector<Word> words;
    segment.Cut(sentence, words);
    vivividodor_fuzz::CheckTiles(sentence, words);
  }
  return 0;
}
