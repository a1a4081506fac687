// Cuts text into all its dictionary words: every word of two or more
// characters found at any position, plus the single characters that no such
// word covers. The output overlaps and does not tile the input.
#ifndef VORDA_TYPING_TEXT_JIEBA_FULL_SEGMENT_H_
#define VORDA_TYPING_TEXT_JIEBA_FULL_SEGMENT_H_

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "tokenizer/jieba/DictTrie.h"
#include "tokenizer/jieba/PreFilter.h"
#include "tokenizer/jieba/SegmentBase.h"
#include "tokenizer/jieba/Trie.h"
#include "tokenizer/jieba/Unicode.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {

class FullSegment : public SegmentBase {
 public:
  // Borrows dictTrie, which must outlive this segmenter.
  explicit FullSegment(const DictTrie* dictTrie) : dictTrie_(dictTrie), isNeedDestroy_(false) {}

  // Builds and owns a dictionary of its own (no user dictionary).
  explicit FullSegment(const std::string& dictPath)
      : dictTrie_(new DictTrie(dictPath)), isNeedDestroy_(true) {}

  // An owning copy would delete the dictionary twice.
  FullSegment(const FullSegment&) = delete;
  FullSegment& operator=(const FullSegment&) = delete;

  ~FullSegment() override {
    if (isNeedDestroy_) {
      delete dictTrie_;
    }
  }

  // Replaces words with the texts of the words of sentence.
  void Cut(const std::string& sentence, std::vector<std::string>& words) const override {
    PreFilter pre_filter(symbols_, sentence);
    std::vector<WordRange> wrs;
    CutRanges(sentence, pre_filter, wrs);
    GetStringsFromWordRanges(sentence, wrs, words);
  }

  // Replaces words with the words of sentence, with their offsets.
  void Cut(const std::string& sentence, std::vector<Word>& words) const {
    PreFilter pre_filter(symbols_, sentence);
    std::vector<WordRange> wrs;
    CutRanges(sentence, pre_filter, wrs);
    words.clear();
    words.reserve(wrs.size());
    GetWordsFromWordRanges(sentence, wrs, words);
  }

  // Appends the words of [begin, end), in order of start and then of length.
  void Cut(RuneStrArray::const_iterator begin, RuneStrArray::const_iterator end,
           std::vector<WordRange>& res) const {
    std::vector<Dag> dags;
    dictTrie_->Find(begin, end, dags, MAX_WORD_LENGTH);
    CutByDags(begin, dags, res);
  }

 private:
  // The ranges of all pieces of the filter, in order; the ranges point into
  // the filter's decoded sentence.
  void CutRanges(const std::string& sentence, PreFilter& pre_filter,
                 std::vector<WordRange>& wrs) const {
    wrs.reserve(sentence.size() / 2);
    std::vector<Dag> dags;  // reused by every piece
    while (pre_filter.HasNext()) {
      const PreFilter::Range range = pre_filter.Next();
      dags.clear();
      dictTrie_->Find(range.begin, range.end, dags, MAX_WORD_LENGTH);
      CutByDags(range.begin, dags, wrs);
    }
  }

  // maxIdx is one past the last character covered by a word emitted so far:
  // a lone character is emitted only where nothing longer starts and nothing
  // earlier reaches.
  static void CutByDags(RuneStrArray::const_iterator begin, const std::vector<Dag>& dags,
                        std::vector<WordRange>& res) {
    size_t maxIdx = 0;
    size_t wordLen = 0;
    for (size_t uIdx = 0; uIdx < dags.size(); ++uIdx) {
      const Dag& dag = dags[uIdx];
      const bool alone = dag.nexts.size() == 1 && maxIdx <= uIdx;
      for (size_t k = 0; k < dag.nexts.size(); ++k) {
        const size_t nextoffset = dag.nexts[k].first;
        const DictUnit* unit = dag.nexts[k].second;
        if (unit != nullptr) {
          wordLen = unit->word.size();
          if (wordLen >= 2 || alone) {
            res.push_back(WordRange(begin + uIdx, begin + nextoffset));
          }
        } else {
          // Only the first entry can lack a unit: the character itself.
          if (alone) {
            res.push_back(WordRange(begin + uIdx, begin + uIdx));
          }
          wordLen = 1;
        }
        maxIdx = std::max(maxIdx, uIdx + wordLen);
      }
    }
  }

  const DictTrie* dictTrie_;
  bool isNeedDestroy_;
};

}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda

#endif  // VORDA_TYPING_TEXT_JIEBA_FULL_SEGMENT_H_
