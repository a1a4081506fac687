// The segmenter behind cut: the dictionary cut first, then every stretch it
// left as single characters is re-cut by the HMM, so that words missing from
// the dictionary are still found. Single characters of the user dictionary
// are kept as they are.
#ifndef VORDA_TYPING_TEXT_JIEBA_MIX_SEGMENT_H_
#define VORDA_TYPING_TEXT_JIEBA_MIX_SEGMENT_H_

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "tokenizer/jieba/DictTrie.h"
#include "tokenizer/jieba/HMMModel.h"
#include "tokenizer/jieba/HMMSegment.h"
#include "tokenizer/jieba/MPSegment.h"
#include "tokenizer/jieba/PosTagger.h"
#include "tokenizer/jieba/PreFilter.h"
#include "tokenizer/jieba/SegmentTagged.h"
#include "tokenizer/jieba/Trie.h"
#include "tokenizer/jieba/Unicode.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {

class MixSegment : public SegmentTagged {
 public:
  // Borrows the dictionary and the model, which must outlive this segmenter.
  MixSegment(const DictTrie* dictTrie, const HMMModel* model) : mpSeg_(dictTrie), hmmSeg_(model) {}

  ~MixSegment() override {}

  void Cut(const std::string& sentence, std::vector<std::string>& words) const override {
    Cut(sentence, words, true);
  }

  // Replaces words with the texts of the words of sentence.
  void Cut(const std::string& sentence, std::vector<std::string>& words, bool hmm) const {
    PreFilter pre_filter(symbols_, sentence);
    std::vector<WordRange> wrs;
    CutRanges(pre_filter, wrs, hmm);
    GetStringsFromWordRanges(sentence, wrs, words);
  }

  // Replaces words with the words of sentence.
  void Cut(const std::string& sentence, std::vector<Word>& words, bool hmm) const {
    PreFilter pre_filter(symbols_, sentence);
    std::vector<WordRange> wrs;
    CutRanges(pre_filter, wrs, hmm);
    words.clear();
    words.reserve(wrs.size());
    GetWordsFromWordRanges(sentence, wrs, words);
  }

  // Appends the words of [begin, end), as inclusive ranges in text order, to
  // res. A dictionary word of several runes is never split, and a single rune
  // of the user dictionary is never joined with its neighbours.
  void Cut(RuneStrArray::const_iterator begin, RuneStrArray::const_iterator end,
           std::vector<WordRange>& res, bool hmm) const {
    if (!hmm) {
      mpSeg_.Cut(begin, end, res, MAX_WORD_LENGTH);
      return;
    }
    std::vector<WordRange> words;
    words.reserve(static_cast<size_t>(end - begin));
    mpSeg_.Cut(begin, end, words, MAX_WORD_LENGTH);

    const size_t n = words.size();
    size_t i = 0;
    while (i < n) {
      if (!IsLoneRune(words[i])) {
        res.push_back(words[i]);
        ++i;
        continue;
      }
      size_t j = i + 1;
      while (j < n && IsLoneRune(words[j])) {
        ++j;
      }
      // The HMM cut appends straight to res: its words are the stretch's
      // words in order, so a staging vector would only copy them.
      hmmSeg_.Cut(words[i].left, words[j - 1].left + 1, res);
      i = j;
    }
  }

  bool Tag(const std::string& src,
           std::vector<std::pair<std::string, std::string>>& res) const override {
    return tagger_.Tag(src, res, *this);
  }

  std::string LookupTag(const std::string& str) const { return tagger_.LookupTag(str, *this); }

  const DictTrie* GetDictTrie() const override { return mpSeg_.GetDictTrie(); }

 private:
  // The ranges point into the filter's decoded sentence: the caller converts
  // them while the filter is alive.
  void CutRanges(PreFilter& pre_filter, std::vector<WordRange>& wrs, bool hmm) const {
    while (pre_filter.HasNext()) {
      const PreFilter::Range range = pre_filter.Next();
      Cut(range.begin, range.end, wrs, hmm);
    }
  }

  // A one-rune word that the HMM may join with its neighbours: anything but a
  // single character of the user dictionary.
  bool IsLoneRune(const WordRange& word) const {
    return word.left == word.right && !mpSeg_.IsUserDictSingleChineseWord(word.left->rune);
  }

  MPSegment mpSeg_;
  HMMSegment hmmSeg_;
  PosTagger tagger_;
};

}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda

#endif  // VORDA_TYPING_TEXT_JIEBA_MIX_SEGMENT_H_
