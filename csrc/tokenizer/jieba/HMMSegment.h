// Cuts text without a dictionary: ASCII letters (with digits after the first
// letter) and ASCII numbers (with dots) are kept whole, any other ASCII
// character is a word of its own, and each run of non-ASCII characters is
// Viterbi-decoded with the HMM model.
#ifndef VORDA_TYPING_TEXT_JIEBA_HMM_SEGMENT_H_
#define VORDA_TYPING_TEXT_JIEBA_HMM_SEGMENT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tokenizer/jieba/HMMModel.h"
#include "tokenizer/jieba/PreFilter.h"
#include "tokenizer/jieba/SegmentBase.h"
#include "tokenizer/jieba/Unicode.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {

class HMMSegment : public SegmentBase {
 public:
  explicit HMMSegment(const HMMModel* model) : model_(model), isNeedDestroy_(false) {}

  // Builds and owns its own model.
  explicit HMMSegment(const std::string& modelPath)
      : model_(new HMMModel(modelPath)), isNeedDestroy_(true) {}

  // A copy of an owning segmenter owns a copy of the model, so that the two
  // destructors never delete the same one.
  HMMSegment(const HMMSegment& other)
      : SegmentBase(other),
        model_(other.isNeedDestroy_ ? new HMMModel(*other.model_) : other.model_),
        isNeedDestroy_(other.isNeedDestroy_) {}
  HMMSegment& operator=(const HMMSegment& other) {
    if (this != &other) {
      HMMSegment copy(other);
      symbols_.swap(copy.symbols_);
      std::swap(model_, copy.model_);
      std::swap(isNeedDestroy_, copy.isNeedDestroy_);
    }
    return *this;
  }

  ~HMMSegment() override {
    if (isNeedDestroy_) {
      delete model_;
    }
  }

  void Cut(const std::string& sentence, std::vector<std::string>& words) const override {
    std::vector<Word> tmp;
    Cut(sentence, tmp);
    GetStringsFromWords(tmp, words);
  }

  // Replaces words with the words of sentence.
  void Cut(const std::string& sentence, std::vector<Word>& words) const {
    PreFilter pre_filter(symbols_, sentence);
    std::vector<WordRange> wrs;
    wrs.reserve(sentence.size() / 2);
    while (pre_filter.HasNext()) {
      PreFilter::Range range = pre_filter.Next();
      Cut(range.begin, range.end, wrs);
    }
    words.clear();
    words.reserve(wrs.size());
    GetWordsFromWordRanges(sentence, wrs, words);
  }

  // Appends the words of [begin, end), as inclusive ranges, to res.
  void Cut(RuneStrArray::const_iterator begin, RuneStrArray::const_iterator end,
           std::vector<WordRange>& res) const {
    RuneStrArray::const_iterator left = begin;
    RuneStrArray::const_iterator right = begin;
    while (right != end) {
      if (right->rune < 0x80) {
        if (left != right) {
          InternalCut(left, right, res);
        }
        left = right;
        right = SequentialLetterRule(left, end);
        if (right == left) {
          right = NumbersRule(left, end);
        }
        if (right == left) {
          ++right;
        }
        res.push_back(WordRange(left, right - 1));
        left = right;
      } else {
        ++right;
      }
    }
    if (left != right) {
      InternalCut(left, right, res);
    }
  }

  // A letter followed by letters and digits.
  RuneStrArray::const_iterator SequentialLetterRule(RuneStrArray::const_iterator begin,
                                                    RuneStrArray::const_iterator end) const {
    if (begin == end || !IsAsciiLetter(begin->rune)) {
      return begin;
    }
    for (++begin; begin != end; ++begin) {
      if (!IsAsciiLetter(begin->rune) && !IsAsciiDigit(begin->rune)) {
        break;
      }
    }
    return begin;
  }

  // A digit followed by digits and dots.
  RuneStrArray::const_iterator NumbersRule(RuneStrArray::const_iterator begin,
                                           RuneStrArray::const_iterator end) const {
    if (begin == end || !IsAsciiDigit(begin->rune)) {
      return begin;
    }
    for (++begin; begin != end; ++begin) {
      if (!IsAsciiDigit(begin->rune) && begin->rune != '.') {
        break;
      }
    }
    return begin;
  }

  // Viterbi-decodes the non-empty range [begin, end) and appends its words.
  void InternalCut(RuneStrArray::const_iterator begin, RuneStrArray::const_iterator end,
                   std::vector<WordRange>& res) const {
    const size_t n = static_cast<size_t>(end - begin);
    size_t inline_status[INLINE_RUNES];
    std::unique_ptr<size_t[]> heap_status;
    size_t* status = inline_status;
    if (n > INLINE_RUNES) {
      heap_status.reset(new size_t[n]);
      status = heap_status.get();
    }
    Decode(begin, n, status);

    RuneStrArray::const_iterator left = begin;
    for (size_t i = 0; i < n; i++) {
      if (status[i] % 2) {  // E or S ends a word
        res.push_back(WordRange(left, begin + i));
        left = begin + i + 1;
      }
    }
  }

  // The most probable state of every character of the non-empty range.
  void Viterbi(RuneStrArray::const_iterator begin, RuneStrArray::const_iterator end,
               std::vector<size_t>& status) const {
    const size_t n = static_cast<size_t>(end - begin);
    status.resize(n);
    Decode(begin, n, status.data());
  }

 private:
  // Runs up to this many characters decode without touching the heap.
  static constexpr size_t INLINE_RUNES = 128;

  static bool IsAsciiLetter(Rune r) { return ('A' <= r && r <= 'Z') || ('a' <= r && r <= 'z'); }
  static bool IsAsciiDigit(Rune r) { return '0' <= r && r <= '9'; }

  // Viterbi over the n characters at begin, writing n states to status.
  // Only the previous position's scores are needed, so the score table is two
  // rows; the back pointers are kept for every position, state-major within a
  // position.
  void Decode(RuneStrArray::const_iterator begin, size_t n, size_t* status) const {
    if (n == 0) {
      return;
    }
    const size_t SUM = HMMModel::STATUS_SUM;
    int8_t inline_path[SUM * INLINE_RUNES];
    std::unique_ptr<int8_t[]> heap_path;
    int8_t* path = inline_path;
    if (n > INLINE_RUNES) {
      heap_path.reset(new int8_t[SUM * n]);
      path = heap_path.get();
    }

    double prev[SUM];
    double cur[SUM];
    for (size_t s = 0; s < SUM; s++) {
      prev[s] = model_->startProb[s] +
                model_->GetEmitProb(model_->emitProbVec[s], begin->rune, MIN_DOUBLE);
      path[s] = -1;
    }

    for (size_t x = 1; x < n; x++) {
      const Rune rune = begin[x].rune;
      int8_t* from = path + x * SUM;
      for (size_t s = 0; s < SUM; s++) {
        const double emit = model_->GetEmitProb(model_->emitProbVec[s], rune, MIN_DOUBLE);
        // Strictly greater: ties keep the smaller predecessor, and a state no
        // candidate beats MIN_DOUBLE for keeps the predecessor E.
        double best = MIN_DOUBLE;
        int8_t best_from = HMMModel::E;
        for (size_t p = 0; p < SUM; p++) {
          const double candidate = prev[p] + model_->transProb[p][s] + emit;
          if (candidate > best) {
            best = candidate;
            best_from = static_cast<int8_t>(p);
          }
        }
        cur[s] = best;
        from[s] = best_from;
      }
      for (size_t s = 0; s < SUM; s++) {
        prev[s] = cur[s];
      }
    }

    // Only E and S can end a run; a tie gives E.
    status[n - 1] = prev[HMMModel::E] < prev[HMMModel::S] ? HMMModel::S : HMMModel::E;
    for (size_t x = n - 1; x > 0; x--) {
      status[x - 1] = static_cast<size_t>(path[x * SUM + status[x]]);
    }
  }

  const HMMModel* model_;
  bool isNeedDestroy_;
};

}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda

#endif  // VORDA_TYPING_TEXT_JIEBA_HMM_SEGMENT_H_
