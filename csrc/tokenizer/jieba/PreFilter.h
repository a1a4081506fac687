// Cuts a decoded sentence into the pieces the segmenters work on: every
// maximal run of non-separator characters, and every separator on its own.
#ifndef VORDA_TYPING_TEXT_JIEBA_PRE_FILTER_H_
#define VORDA_TYPING_TEXT_JIEBA_PRE_FILTER_H_

#include <string>
#include <unordered_set>

#include "tokenizer/jieba/Unicode.h"
#include "tokenizer/jieba/limonp/Logging.h"
#include "tokenizer/jieba/limonp/StdExtension.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {

class PreFilter {
 public:
  // Half-open range [begin, end) of the decoded sentence.
  struct Range {
    RuneStrArray::const_iterator begin;
    RuneStrArray::const_iterator end;
  };

  PreFilter(const std::unordered_set<Rune>& symbols, const std::string& sentence)
      : cursor_(nullptr), symbols_(symbols) {
    if (!DecodeRunesInString(sentence, sentence_)) {
      XLOG(ERROR) << "decode failed. ";
    }
    cursor_ = sentence_.begin();
  }
  // The filter keeps a reference to the separator set; a temporary would dangle.
  PreFilter(std::unordered_set<Rune>&&, const std::string&) = delete;

  // cursor_ and the ranges handed out point into sentence_, so a copy would
  // point into the original's storage.
  PreFilter(const PreFilter&) = delete;
  PreFilter& operator=(const PreFilter&) = delete;

  ~PreFilter() {}

  bool HasNext() const { return cursor_ < sentence_.end(); }

  // Call only after HasNext() returned true.
  Range Next() {
    Range range;
    range.begin = cursor_;
    const RuneStrArray::const_iterator end = sentence_.end();
    while (cursor_ != end) {
      if (IsIn(symbols_, cursor_->rune)) {
        if (range.begin == cursor_) {
          ++cursor_;
        }
        range.end = cursor_;
        return range;
      }
      ++cursor_;
    }
    range.end = end;
    return range;
  }

 private:
  RuneStrArray::const_iterator cursor_;
  RuneStrArray sentence_;
  const std::unordered_set<Rune>& symbols_;
};

}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda

#endif  // VORDA_TYPING_TEXT_JIEBA_PRE_FILTER_H_
