// The main dictionary loader on arbitrary file contents: it builds a usable
// dictionary or fails its check with a message. A built one has ordered
// statistics, finds the entry of every word it holds, and cuts any sentence
// (here the file itself) into words that tile it.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/cut_properties.h"
#include "fuzz/fuzz_support.h"
#include "tokenizer/jieba/DictTrie.h"
#include "tokenizer/jieba/MPSegment.h"
#include "tokenizer/jieba/limonp/Logging.h"

using namespace vorda::typing::text::jieba;
namespace limonp = vorda::typing::text::limonp;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vivividodor_fuzz::SilenceEngineLog();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vivividodor_fuzz::ScratchFile file("dict.utf8");
  file.Write(data, size);
  std::unique_ptr<DictTrie> dict;
  try {
    dict.reset(new DictTrie(file.path()));
  } catch (const limonp::FatalError& e) {
    FUZZ_CHECK(vivividodor_fuzz::IsCheckMessage(e.what()));
    return 0;
  }

  const std::vector<DictUnit>& units = dict->GetDictUnits();
  FUZZ_CHECK(!units.empty());
  FUZZ_CHECK(dict->GetFreqSum() > 0.0);
  FUZZ_CHECK(dict->GetMinWeight() <= dict->GetMedianWeight());
  FUZZ_CHECK(dict->GetMedianWeight() <= dict->GetMaxWeight());
  FUZZ_CHECK(dict->GetUserWordDefaultWeight() == dict->GetMedianWeight());
  for (const DictUnit& unit : units) {
    FUZZ_CHECK(!std::isnan(unit.weight));
    if (unit.word.empty()) continue;
    RuneStrArray runes;
    for (Rune r : unit.word) runes.push_back(RuneStr(r, 0, 1, 0, 1));
    const DictUnit* found = dict->Find(runes.begin(), runes.end());
    FUZZ_CHECK(found != nullptr);
    FUZZ_CHECK(found->word.size() == unit.word.size());
  }

  const std::string sentence(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> words;
  MPSegment(dict.get()).Cut(sentence, words);
  vivividodor_fuzz::CheckTiles(sentence, words);
  return 0;
}
