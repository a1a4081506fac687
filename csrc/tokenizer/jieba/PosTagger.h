// Part-of-speech tags for the words of a cut: the tag the dictionary gives a
// word, or a fallback from the word's ASCII characters.
#ifndef VORDA_TYPING_TEXT_JIEBA_POS_TAGGER_H_
#define VORDA_TYPING_TEXT_JIEBA_POS_TAGGER_H_

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "tokenizer/jieba/DictTrie.h"
#include "tokenizer/jieba/SegmentTagged.h"
#include "tokenizer/jieba/Trie.h"
#include "tokenizer/jieba/Unicode.h"
#include "tokenizer/jieba/limonp/Logging.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {

// A word whose counted ASCII characters are all digits.
inline constexpr const char* POS_M = "m";
// A word whose counted ASCII characters include a non-digit.
inline constexpr const char* POS_ENG = "eng";
// Anything else: no counted ASCII character, a single character, undecodable.
inline constexpr const char* POS_X = "x";

// Stateless, so one tagger may serve any number of threads.
class PosTagger {
 public:
  PosTagger() {}
  ~PosTagger() {}

  // Cuts src with segment and appends (word, tag) for every word to res,
  // which is not cleared. True when res is not empty afterwards.
  bool Tag(const std::string& src, std::vector<std::pair<std::string, std::string>>& res,
           const SegmentTagged& segment) const {
    std::vector<std::string> words;
    segment.Cut(src, words);
    res.reserve(res.size() + words.size());
    for (size_t i = 0; i < words.size(); ++i) {
      std::string tag = LookupTag(words[i], segment);
      res.emplace_back(std::move(words[i]), std::move(tag));
    }
    return !res.empty();
  }

  std::string LookupTag(const std::string& str, const SegmentTagged& segment) const {
    const DictTrie* dict = segment.GetDictTrie();
    RuneStrArray runes;
    if (!DecodeRunesInString(str, runes)) {
      XLOG(ERROR) << "Decode failed.";
      return POS_X;
    }
    // A segmenter without a dictionary can still be tagged by the rules.
    const DictUnit* unit = dict == nullptr ? nullptr : dict->Find(runes.begin(), runes.end());
    if (unit == nullptr || unit->tag.empty()) {
      return SpecialRule(runes);
    }
    return unit->tag;
  }

  // Only the first runes decide: counting stops once half of the word's
  // length has been seen in ASCII characters.
  const char* SpecialRule(const RuneStrArray& unicode) const {
    const size_t half = unicode.size() / 2;
    if (half == 0) {
      return POS_X;
    }
    size_t m = 0;
    size_t eng = 0;
    for (size_t i = 0; i < unicode.size() && eng < half; ++i) {
      const Rune rune = unicode[i].rune;
      if (rune < 0x80) {
        ++eng;
        if ('0' <= rune && rune <= '9') {
          ++m;
        }
      }
    }
    if (eng == 0) {
      return POS_X;
    }
    if (m == eng) {
      return POS_M;
    }
    return POS_ENG;
  }
};

}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda

#endif  // VORDA_TYPING_TEXT_JIEBA_POS_TAGGER_H_
