// The cut for search indexing: the mixed cut, with the two- and
// three-character dictionary words found inside each longer word emitted
// before it, so that a query for a part finds the whole.
#ifndef VORDA_TYPING_TEXT_JIEBA_QUERY_SEGMENT_H_
#define VORDA_TYPING_TEXT_JIEBA_QUERY_SEGMENT_H_

#include <cstddef>
#include <string>
#include <vector>

#include "tokenizer/jieba/DictTrie.h"
#include "tokenizer/jieba/HMMModel.h"
#include "tokenizer/jieba/MixSegment.h"
#include "tokenizer/jieba/PreFilter.h"
#include "tokenizer/jieba/SegmentBase.h"
#include "tokenizer/jieba/Unicode.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {

class QuerySegment : public SegmentBase {
 public:
  // Borrows the dictionary and the model, which must outlive this segmenter.
  QuerySegment(const DictTrie* dictTrie, const HMMModel* model)
      : mixSeg_(dictTrie, model), trie_(dictTrie) {}

  ~QuerySegment() override {}

  void Cut(const std::string& sentence, std::vector<std::string>& words) const override {
    Cut(sentence, words, true);
  }

  // Replaces words with the texts of the words of sentence.
  void Cut(const std::string& sentence, std::vector<std::string>& words, bool hmm) const {
    PreFilter pre_filter(symbols_, sentence);
    std::vector<WordRange> wrs;
    CutRanges(sentence, pre_filter, wrs, hmm);
    GetStringsFromWordRanges(sentence, wrs, words);
  }

  // Replaces words with the words of sentence, each with its own offsets.
  void Cut(const std::string& sentence, std::vector<Word>& words, bool hmm) const {
    PreFilter pre_filter(symbols_, sentence);
    std::vector<WordRange> wrs;
    CutRanges(sentence, pre_filter, wrs, hmm);
    words.clear();
    words.reserve(wrs.size());
    GetWordsFromWordRanges(sentence, wrs, words);
  }

  // Appends the query cut of [begin, end) to res.
  void Cut(RuneStrArray::const_iterator begin, RuneStrArray::const_iterator end,
           std::vector<WordRange>& res, bool hmm) const {
    std::vector<WordRange> mixRes;
    CutRange(begin, end, res, hmm, mixRes);
  }

  bool IsAllAscii(const Unicode& s) const {
    for (Unicode::const_iterator it = s.begin(); it != s.end(); ++it) {
      if (*it >= 0x80) {
        return false;
      }
    }
    return true;
  }

 private:
  // The ranges of all pieces of the filter, in order; they point into the
  // filter's decoded sentence.
  void CutRanges(const std::string& sentence, PreFilter& pre_filter, std::vector<WordRange>& wrs,
                 bool hmm) const {
    wrs.reserve(sentence.size() / 2);
    std::vector<WordRange> mixRes;  // reused by every piece
    while (pre_filter.HasNext()) {
      const PreFilter::Range range = pre_filter.Next();
      CutRange(range.begin, range.end, wrs, hmm, mixRes);
    }
  }

  // mixRes is scratch space for the mixed cut; its contents are replaced.
  void CutRange(RuneStrArray::const_iterator begin, RuneStrArray::const_iterator end,
                std::vector<WordRange>& res, bool hmm, std::vector<WordRange>& mixRes) const {
    mixRes.clear();
    mixSeg_.Cut(begin, end, mixRes, hmm);
    for (const WordRange& wr : mixRes) {
      const size_t len = wr.Length();
      if (len > 2) {
        for (size_t i = 0; i + 1 < len; ++i) {
          if (trie_->Find(wr.left + i, wr.left + i + 2) != nullptr) {
            res.push_back(WordRange(wr.left + i, wr.left + i + 1));
          }
        }
      }
      if (len > 3) {
        for (size_t i = 0; i + 2 < len; ++i) {
          if (trie_->Find(wr.left + i, wr.left + i + 3) != nullptr) {
            res.push_back(WordRange(wr.left + i, wr.left + i + 2));
          }
        }
      }
      res.push_back(wr);
    }
  }

  MixSegment mixSeg_;
  const DictTrie* trie_;
};

}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda

#endif  // VORDA_TYPING_TEXT_JIEBA_QUERY_SEGMENT_H_
