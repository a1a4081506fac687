// Cuts text into the dictionary words whose summed weights (log
// probabilities) are largest. A character that is no word of its own is still
// covered, as a one-character word scored with the dictionary's smallest
// weight, so the words always tile the input.
#ifndef VORDA_TYPING_TEXT_JIEBA_MP_SEGMENT_H_
#define VORDA_TYPING_TEXT_JIEBA_MP_SEGMENT_H_

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "tokenizer/jieba/DictTrie.h"
#include "tokenizer/jieba/PosTagger.h"
#include "tokenizer/jieba/PreFilter.h"
#include "tokenizer/jieba/SegmentTagged.h"
#include "tokenizer/jieba/Trie.h"
#include "tokenizer/jieba/Unicode.h"
#include "tokenizer/jieba/limonp/Logging.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {

class MPSegment : public SegmentTagged {
 public:
  // Borrows the dictionary, which must outlive this segmenter. There is no
  // owning constructor, so copies share the dictionary safely.
  explicit MPSegment(const DictTrie* dictTrie) : dictTrie_(dictTrie), isNeedDestroy_(false) {
    XCHECK(dictTrie_ != nullptr);
  }

  ~MPSegment() override {
    if (isNeedDestroy_) {
      delete dictTrie_;
    }
  }

  void Cut(const std::string& sentence, std::vector<std::string>& words) const override {
    Cut(sentence, words, MAX_WORD_LENGTH);
  }

  void Cut(const std::string& sentence, std::vector<std::string>& words,
           size_t max_word_len) const {
    std::vector<Word> tmp;
    Cut(sentence, tmp, max_word_len);
    GetStringsFromWords(tmp, words);
  }

  // Replaces words with the words of sentence.
  void Cut(const std::string& sentence, std::vector<Word>& words,
           size_t max_word_len = MAX_WORD_LENGTH) const {
    PreFilter pre_filter(symbols_, sentence);
    std::vector<WordRange> wrs;
    wrs.reserve(sentence.size() / 2);
    while (pre_filter.HasNext()) {
      const PreFilter::Range range = pre_filter.Next();
      Cut(range.begin, range.end, wrs, max_word_len);
    }
    // The ranges point into the filter's decoded sentence: convert them while
    // it is alive.
    words.clear();
    words.reserve(wrs.size());
    GetWordsFromWordRanges(sentence, wrs, words);
  }

  // Appends the words of [begin, end), as inclusive ranges in text order, to
  // words; no word is longer than max_word_len runes, except that a single
  // character is always a candidate.
  void Cut(RuneStrArray::const_iterator begin, RuneStrArray::const_iterator end,
           std::vector<WordRange>& words, size_t max_word_len = MAX_WORD_LENGTH) const {
    const size_t n = static_cast<size_t>(end - begin);
    if (n > DAG_WINDOW && max_word_len <= DAG_WINDOW) {
      CutLongRange(begin, end, words, max_word_len);
      return;
    }
    std::vector<Dag> dags;
    dictTrie_->Find(begin, end, dags, max_word_len);
    CalcDP(dags);
    CutByDag(begin, end, dags, words);
  }

  bool Tag(const std::string& src,
           std::vector<std::pair<std::string, std::string>>& res) const override {
    return tagger_.Tag(src, res, *this);
  }

  const DictTrie* GetDictTrie() const override { return dictTrie_; }

  bool IsUserDictSingleChineseWord(const Rune& value) const {
    return dictTrie_->IsUserDictSingleChineseWord(value);
  }

  // Best score from each position to the end, from the last position down.
  // Strictly greater wins: a tie keeps the earlier (shorter) candidate, a
  // score that is not a number never wins, and a score no better than
  // MIN_DOUBLE leaves the position without a chosen word.
  void CalcDP(std::vector<Dag>& dags) const {
    const size_t n = dags.size();
    const double min_weight = dictTrie_->GetMinWeight();
    for (size_t i = n; i-- > 0;) {
      Dag& dag = dags[i];
      dag.pInfo = nullptr;
      dag.weight = MIN_DOUBLE;
      for (const std::pair<size_t, const DictUnit*>& next : dag.nexts) {
        const size_t j = next.first;
        const DictUnit* unit = next.second;
        double val = 0.0;
        if (j + 1 < n) {
          val += dags[j + 1].weight;
        }
        val += unit != nullptr ? unit->weight : min_weight;
        if (val > dag.weight) {
          dag.pInfo = unit;
          dag.weight = val;
        }
      }
    }
  }

  // Reads the chosen path from the start, appending to words.
  void CutByDag(RuneStrArray::const_iterator begin, RuneStrArray::const_iterator end,
                const std::vector<Dag>& dags, std::vector<WordRange>& words) const {
    const size_t runes = static_cast<size_t>(end - begin);
    const size_t n = dags.size() < runes ? dags.size() : runes;
    size_t i = 0;
    while (i < n) {
      const DictUnit* unit = dags[i].pInfo;
      size_t k = unit != nullptr ? unit->word.size() : 1;
      // A chosen word always fits (the candidates never pass the range's
      // end); stay inside the range even if it did not.
      if (k == 0 || k > n - i) {
        k = 1;
      }
      words.push_back(WordRange(begin + i, begin + i + k - 1));
      i += k;
    }
  }

 private:
  // A piece longer than this many characters is searched in windows of this
  // size: a Dag takes a few hundred bytes, which for a long piece without
  // separators (a 50 MB line) would come to hundreds of times the input.
  static constexpr size_t DAG_WINDOW = 8192;

  // The same path as CalcDP and CutByDag over the whole range, with the
  // candidate lists looked up one window at a time from the end; only the best
  // score and the chosen entry of each position are kept. A word starting in a
  // window ends at most max_word_len - 1 positions further on, so looking up
  // the window plus that much of what follows gives the very candidate lists
  // of a lookup over the whole range, and the scores are added up in the same
  // order as CalcDP adds them.
  void CutLongRange(RuneStrArray::const_iterator begin, RuneStrArray::const_iterator end,
                    std::vector<WordRange>& words, size_t max_word_len) const {
    const size_t n = static_cast<size_t>(end - begin);
    const size_t reach = max_word_len == 0 ? 0 : max_word_len - 1;
    const double min_weight = dictTrie_->GetMinWeight();
    std::vector<double> weight(n);
    std::vector<const DictUnit*> chosen(n);
    std::vector<Dag> dags;
    for (size_t hi = n; hi > 0;) {
      const size_t lo = hi > DAG_WINDOW ? hi - DAG_WINDOW : 0;
      const size_t stop = n - hi < reach ? n : hi + reach;
      dictTrie_->Find(begin + lo, begin + stop, dags, max_word_len);
      for (size_t i = hi; i-- > lo;) {
        const DictUnit* pick = nullptr;
        double best = MIN_DOUBLE;
        for (const std::pair<size_t, const DictUnit*>& next : dags[i - lo].nexts) {
          const size_t j = lo + next.first;
          const DictUnit* unit = next.second;
          double val = 0.0;
          if (j + 1 < n) {
            val += weight[j + 1];
          }
          val += unit != nullptr ? unit->weight : min_weight;
          if (val > best) {
            pick = unit;
            best = val;
          }
        }
        weight[i] = best;
        chosen[i] = pick;
      }
      hi = lo;
    }
    for (size_t i = 0; i < n;) {
      size_t k = chosen[i] != nullptr ? chosen[i]->word.size() : 1;
      if (k == 0 || k > n - i) {
        k = 1;
      }
      words.push_back(WordRange(begin + i, begin + i + k - 1));
      i += k;
    }
  }

  const DictTrie* dictTrie_;
  bool isNeedDestroy_;
  PosTagger tagger_;
};

}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda

#endif  // VORDA_TYPING_TEXT_JIEBA_MP_SEGMENT_H_
