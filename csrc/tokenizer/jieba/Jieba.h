// The tokenizer: owns the dictionary and the HMM model, builds every
// segmenter on them and loads the keyword resources. After construction it is
// only read, so any number of threads may cut with one Jieba at once.
#ifndef VORDA_TYPING_TEXT_JIEBA_JIEBA_H_
#define VORDA_TYPING_TEXT_JIEBA_JIEBA_H_

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "tokenizer/jieba/DictTrie.h"
#include "tokenizer/jieba/FullSegment.h"
#include "tokenizer/jieba/HMMModel.h"
#include "tokenizer/jieba/HMMSegment.h"
#include "tokenizer/jieba/KeywordExtractor.h"
#include "tokenizer/jieba/MPSegment.h"
#include "tokenizer/jieba/MixSegment.h"
#include "tokenizer/jieba/QuerySegment.h"
#include "tokenizer/jieba/Unicode.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {

class Jieba {
 public:
  // Reads, in this order, the main dictionary, the user dictionaries (paths
  // separated by "|" or ";"; none if empty), the HMM model, the IDF file and
  // the stop-word file. A file that cannot be opened or a malformed main
  // dictionary or model throws limonp::FatalError after its FATAL log line;
  // the members built so far are destroyed again.
  Jieba(const std::string& dict_path, const std::string& model_path,
        const std::string& user_dict_path, const std::string& idfPath,
        const std::string& stopWordPath)
      : dict_trie_(dict_path, user_dict_path, DictTrie::WordWeightMedian),
        model_(model_path),
        mp_seg_(&dict_trie_),
        hmm_seg_(&model_),
        mix_seg_(&dict_trie_, &model_),
        full_seg_(&dict_trie_),
        query_seg_(&dict_trie_, &model_),
        extractor(&dict_trie_, &model_, idfPath, stopWordPath) {}

  // The segmenters point at dict_trie_ and model_: never copied or moved.
  Jieba(const Jieba&) = delete;
  Jieba& operator=(const Jieba&) = delete;

  ~Jieba() {}

  // The mixed cut (dictionary, then HMM when hmm is set); words is replaced.
  // Joining the words gives the sentence back.
  void Cut(const std::string& sentence, std::vector<std::string>& words, bool hmm = true) const {
    mix_seg_.Cut(sentence, words, hmm);
  }
  void Cut(const std::string& sentence, std::vector<Word>& words, bool hmm = true) const {
    mix_seg_.Cut(sentence, words, hmm);
  }

  // The mixed cut with the two- and three-character dictionary words of each
  // longer word before it; words is replaced.
  void CutForSearch(const std::string& sentence, std::vector<std::string>& words,
                    bool hmm = true) const {
    query_seg_.Cut(sentence, words, hmm);
  }
  void CutForSearch(const std::string& sentence, std::vector<Word>& words, bool hmm = true) const {
    query_seg_.Cut(sentence, words, hmm);
  }

  // Every dictionary word of the sentence; words is replaced.
  void CutAll(const std::string& sentence, std::vector<std::string>& words) const {
    full_seg_.Cut(sentence, words);
  }
  void CutAll(const std::string& sentence, std::vector<Word>& words) const {
    full_seg_.Cut(sentence, words);
  }

  // The HMM cut alone, without the dictionary; words is replaced.
  void CutHMM(const std::string& sentence, std::vector<std::string>& words) const {
    hmm_seg_.Cut(sentence, words);
  }
  void CutHMM(const std::string& sentence, std::vector<Word>& words) const {
    hmm_seg_.Cut(sentence, words);
  }

  // The dictionary cut with words of at most max_word_len characters; words
  // is replaced.
  void CutSmall(const std::string& sentence, std::vector<std::string>& words,
                size_t max_word_len) const {
    mp_seg_.Cut(sentence, words, max_word_len);
  }
  void CutSmall(const std::string& sentence, std::vector<Word>& words, size_t max_word_len) const {
    mp_seg_.Cut(sentence, words, max_word_len);
  }

  // Appends (word, part of speech) for every word of the mixed cut to words.
  bool Tag(const std::string& sentence,
           std::vector<std::pair<std::string, std::string>>& words) const {
    return mix_seg_.Tag(sentence, words);
  }

  // The part of speech of one word.
  std::string LookupTag(const std::string& str) const { return mix_seg_.LookupTag(str); }

  // Whether word is in the main or a user dictionary.
  bool Find(const std::string& word) const { return dict_trie_.Find(word) != nullptr; }

  const DictTrie* GetDictTrie() const { return &dict_trie_; }
  const HMMModel* GetHMMModel() const { return &model_; }
  const KeywordExtractor& GetKeywordExtractor() const { return extractor; }

 private:
  // Built in this order, destroyed in the reverse one.
  DictTrie dict_trie_;
  HMMModel model_;
  MPSegment mp_seg_;
  HMMSegment hmm_seg_;
  MixSegment mix_seg_;
  FullSegment full_seg_;
  QuerySegment query_seg_;
  KeywordExtractor extractor;
};

}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda

#endif  // VORDA_TYPING_TEXT_JIEBA_JIEBA_H_
