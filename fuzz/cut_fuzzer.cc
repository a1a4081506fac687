// The tokenizer's cuts on arbitrary bytes, with the small fixture dictionary
// and model. Every cut that covers its sentence tiles any sentence that
// decodes and gives nothing for one that does not; the search cut holds the
// mixed cut in order, adding only dictionary words of two or three characters
// found inside longer words. An input that starts with the bytes A5 5A is
// also cut repeated into one long piece, which the dictionary cut searches in
// windows: the words must be those of one search over the whole piece.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/cut_properties.h"
#include "fuzz/fuzz_support.h"
#include "tokenizer/jieba/Jieba.h"
#include "tokenizer/jieba/MPSegment.h"
#include "tokenizer/jieba/Unicode.h"

using namespace vorda::typing::text::jieba;
using vivividodor_fuzz::CheckTiles;
using vivividodor_fuzz::Fixture;

namespace {

const Jieba& Tokenizer() {
  static const Jieba jieba(Fixture("jieba_dict.utf8"), Fixture("jieba_hmm_model.utf8"),
                           Fixture("jieba_user.utf8") + "|" + Fixture("jieba_user_single.utf8"),
                           Fixture("jieba_idf.utf8"), Fixture("jieba_stop_words.utf8"));
  return jieba;
}

void CheckSearchCut(const Jieba& jieba, const std::string& sentence,
                    const std::vector<std::string>& cut) {
  std::vector<std::string> search = {"stale"};
  jieba.CutForSearch(sentence, search, true);
  size_t next = 0;
  for (const std::string& word : search) {
    FUZZ_CHECK(!word.empty());
    if (next < cut.size() && word == cut[next]) {
      next++;
      continue;
    }
    // An added sub-word: a dictionary word of two or three characters.
    const size_t runes = vivividodor_fuzz::RuneCount(word);
    FUZZ_CHECK(runes == 2 || runes == 3);
    FUZZ_CHECK(jieba.Find(word));
    FUZZ_CHECK(next < cut.size() && cut[next].find(word) != std::string::npos);
  }
  FUZZ_CHECK(next == cut.size());

  std::vector<Word> positioned;
  jieba.CutForSearch(sentence, positioned, true);
  FUZZ_CHECK(positioned.size() == search.size());
  for (size_t i = 0; i < positioned.size(); i++) {
    FUZZ_CHECK(positioned[i].word == search[i]);
    FUZZ_CHECK(sentence.compare(positioned[i].offset, search[i].size(), search[i]) == 0);
  }
}

// The dictionary cut of one long piece against the programme over all of it.
void CheckLongPiece(const Jieba& jieba, const std::string& input) {
  if (input.empty() || !vivividodor_fuzz::Decodes(input)) return;
  // Just past one window of 8192 characters, so that a window edge falls
  // inside the piece.
  const size_t per_copy = vivividodor_fuzz::RuneCount(input);
  std::string text;
  for (size_t runes = 0; runes < 8192 + 64; runes += per_copy) text += input;
  RuneStrArray runes;
  FUZZ_CHECK(DecodeRunesInString(text, runes));
  const MPSegment segment(jieba.GetDictTrie());
  std::vector<Dag> dags;
  jieba.GetDictTrie()->Find(runes.begin(), runes.end(), dags, MAX_WORD_LENGTH);
  segment.CalcDP(dags);
  std::vector<WordRange> expected;
  segment.CutByDag(runes.begin(), runes.end(), dags, expected);
  std::vector<WordRange> cut;
  segment.Cut(runes.begin(), runes.end(), cut, MAX_WORD_LENGTH);
  FUZZ_CHECK(cut.size() == expected.size());
  for (size_t i = 0; i < cut.size(); i++) {
    FUZZ_CHECK(cut[i].left == expected[i].left && cut[i].right == expected[i].right);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vivividodor_fuzz::SilenceEngineLog();
  Tokenizer();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Jieba& jieba = Tokenizer();
  const std::string sentence(reinterpret_cast<const char*>(data), size);

  std::vector<std::string> cut = {"stale"};
  jieba.Cut(sentence, cut, true);
  CheckTiles(sentence, cut);
  std::vector<Word> positioned;
  jieba.Cut(sentence, positioned, true);
  CheckTiles(sentence, positioned);
  FUZZ_CHECK(positioned.size() == cut.size());
  for (size_t i = 0; i < cut.size(); i++) FUZZ_CHECK(positioned[i].word == cut[i]);

  CheckSearchCut(jieba, sentence, cut);

  std::vector<std::string> words = {"stale"};
  jieba.Cut(sentence, words, false);
  CheckTiles(sentence, words);
  jieba.CutHMM(sentence, words);
  CheckTiles(sentence, words);
  const size_t max_word_len = size == 0 ? 0 : data[size - 1] % 5;
  std::vector<Word> small;
  jieba.CutSmall(sentence, small, max_word_len);
  CheckTiles(sentence, small);
  for (const Word& word : small) {
    FUZZ_CHECK(word.unicode_length <= std::max<size_t>(max_word_len, 1));
  }

  std::vector<std::string> all;
  jieba.CutAll(sentence, all);
  for (const std::string& word : all) {
    FUZZ_CHECK(!word.empty() && sentence.find(word) != std::string::npos);
  }
  std::vector<std::pair<std::string, std::string>> tagged;
  jieba.Tag(sentence, tagged);
  FUZZ_CHECK(tagged.size() == cut.size());
  for (size_t i = 0; i < cut.size(); i++) FUZZ_CHECK(tagged[i].first == cut[i]);

  if (size >= 2 && data[0] == 0xA5 && data[1] == 0x5A) CheckLongPiece(jieba, sentence);
  return 0;
}
