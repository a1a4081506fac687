// The user dictionary loader on arbitrary file contents, over the fixture
// main dictionary. Any content loads (lines it cannot use are skipped); every
// usable line becomes a word the dictionary finds, its one-character words
// join the set that the mixed cut keeps whole, and the mixed cut of the file
// itself tiles it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/cut_properties.h"
#include "fuzz/fuzz_support.h"
#include "tokenizer/jieba/DictTrie.h"
#include "tokenizer/jieba/HMMModel.h"
#include "tokenizer/jieba/MixSegment.h"
#include "tokenizer/jieba/limonp/Logging.h"
#include "tokenizer/jieba/limonp/StringUtil.h"

using namespace vorda::typing::text::jieba;
namespace limonp = vorda::typing::text::limonp;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vivividodor_fuzz::SilenceEngineLog();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vivividodor_fuzz::ScratchFile file("user.utf8");
  static const HMMModel model(vivividodor_fuzz::Fixture("jieba_hmm_model.utf8"));
  static const std::string main_dict = vivividodor_fuzz::Fixture("jieba_dict.utf8");
  file.Write(data, size);
  std::unique_ptr<DictTrie> dict;
  try {
    // Now and then the same file twice, through either separator.
    const char separator = size > 0 && data[0] % 2 ? '|' : ';';
    const std::string paths = size % 2 ? file.path() + separator + file.path() : file.path();
    dict.reset(new DictTrie(main_dict, paths));
  } catch (const limonp::FatalError& e) {
    FUZZ_CHECK(vivividodor_fuzz::IsCheckMessage(e.what()));
    return 0;
  }

  const std::string content(reinterpret_cast<const char*>(data), size);
  for (const std::string& line : limonp::Split(content, "\n")) {
    const std::vector<std::string> fields = limonp::Split(line, " ");
    if (fields.empty() || fields.size() > 3) continue;
    RuneStrArray runes;
    if (!DecodeRunesInString(fields[0], runes) || runes.empty()) continue;
    FUZZ_CHECK(dict->Find(runes.begin(), runes.end()) != nullptr);
    if (runes.size() == 1) FUZZ_CHECK(dict->IsUserDictSingleChineseWord(runes[0].rune));
  }

  const MixSegment segment(dict.get(), &model);
  std::vector<std::string> words;
  segment.Cut(content, words, true);
  vivividodor_fuzz::CheckTiles(content, words);
  return 0;
}
