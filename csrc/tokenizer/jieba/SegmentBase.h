// The base of every segmenter: its own separator set and the string-level cut.
#ifndef VORDA_TYPING_TEXT_JIEBA_SEGMENT_BASE_H_
#define VORDA_TYPING_TEXT_JIEBA_SEGMENT_BASE_H_

#include <string>
#include <unordered_set>
#include <vector>

#include "tokenizer/jieba/PreFilter.h"
#include "tokenizer/jieba/Unicode.h"
#include "tokenizer/jieba/limonp/Logging.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {

// Space, tab, line feed, U+FF0C FULLWIDTH COMMA and U+3002 IDEOGRAPHIC FULL STOP.
inline constexpr char SPECIAL_SEPARATORS[] = " \t\n\xEF\xBC\x8C\xE3\x80\x82";

// The score of an impossible choice, and its opposite.
inline constexpr double MIN_DOUBLE = -3.14e+100;
inline constexpr double MAX_DOUBLE = 3.14e+100;

class SegmentBase {
 public:
  SegmentBase() { XCHECK(ResetSeparators(SPECIAL_SEPARATORS)); }
  virtual ~SegmentBase() {}

  // Replaces words with the words of sentence.
  virtual void Cut(const std::string& sentence, std::vector<std::string>& words) const = 0;

  // Makes the characters of s the separators. On a string that does not
  // decode, or that names a character twice, logs the problem and returns
  // false; the set then holds the characters taken before the problem.
  bool ResetSeparators(const std::string& s) {
    symbols_.clear();
    RuneStrArray runes;
    if (!DecodeRunesInString(s, runes)) {
      XLOG(ERROR) << "decode " << s << " failed";
      return false;
    }
    for (size_t i = 0; i < runes.size(); i++) {
      if (!symbols_.insert(runes[i].rune).second) {
        XLOG(ERROR) << s.substr(runes[i].offset, runes[i].len) << " already exists";
        return false;
      }
    }
    return true;
  }

 protected:
  std::unordered_set<Rune> symbols_;
};

}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda

#endif  // VORDA_TYPING_TEXT_JIEBA_SEGMENT_BASE_H_
