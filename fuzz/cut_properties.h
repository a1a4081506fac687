// What every cut owes its sentence, checked by the fuzz targets: a sentence
// that decodes is covered exactly, word after word, with nothing empty; one
// that does not decode gives no words at all.
#ifndef VIVIVIDODOR_FUZZ_CUT_PROPERTIES_H_
#define VIVIVIDODOR_FUZZ_CUT_PROPERTIES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "tokenizer/jieba/Unicode.h"

namespace vivividodor_fuzz {

inline bool Decodes(const std::string& sentence) {
  vorda::typing::text::jieba::RuneStrArray runes;
  return vorda::typing::text::jieba::DecodeRunesInString(sentence, runes);
}

inline size_t RuneCount(const std::string& text) {
  vorda::typing::text::jieba::RuneStrArray runes;
  FUZZ_CHECK(vorda::typing::text::jieba::DecodeRunesInString(text, runes));
  return runes.size();
}

inline void CheckTiles(const std::string& sentence, const std::vector<std::string>& words) {
  if (!Decodes(sentence)) {
    FUZZ_CHECK(words.empty());
    return;
  }
  size_t offset = 0;
  for (const std::string& word : words) {
    FUZZ_CHECK(!word.empty());
    FUZZ_CHECK(sentence.compare(offset, word.size(), word) == 0);
    offset += word.size();
  }
  FUZZ_CHECK(offset == sentence.size());
}

// The same for words with positions: each starts where the one before ended,
// in bytes and in characters.
inline void CheckTiles(const std::string& sentence,
                       const std::vector<vorda::typing::text::jieba::Word>& words) {
  std::vector<std::string> texts;
  uint32_t offset = 0;
  uint32_t unicode_offset = 0;
  for (const auto& word : words) {
    FUZZ_CHECK(word.offset == offset);
    FUZZ_CHECK(word.unicode_offset == unicode_offset);
    FUZZ_CHECK(word.unicode_length == RuneCount(word.word));
    offset += static_cast<uint32_t>(word.word.size());
    unicode_offset += word.unicode_length;
    texts.push_back(word.word);
  }
  CheckTiles(sentence, texts);
}

}  // namespace vivividodor_fuzz

#endif  // VIVIVIDODOR_FUZZ_CUT_PROPERTIES_H_
