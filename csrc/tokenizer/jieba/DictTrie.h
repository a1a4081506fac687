// The segmentation dictionary: loads the main and user
// dictionary files, turns frequencies into log-probability weights, keeps
// the weight statistics and the user dictionary's single characters, and
// builds the rune trie over all entries.
//
// Every loading failure is a check statement: a FATAL line on standard error,
// then limonp::FatalError, so a DictTrie is either complete or not built.
#ifndef VORDA_TYPING_TEXT_JIEBA_DICT_TRIE_H_
#define VORDA_TYPING_TEXT_JIEBA_DICT_TRIE_H_

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "tokenizer/jieba/Trie.h"
#include "tokenizer/jieba/Unicode.h"
#include "tokenizer/jieba/limonp/Logging.h"
#include "tokenizer/jieba/limonp/StdExtension.h"
#include "tokenizer/jieba/limonp/StringUtil.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {

inline constexpr size_t DICT_COLUMN_NUM = 3;
inline constexpr const char* UNKNOWN_TAG = "";

class DictTrie {
 public:
  enum UserWordWeightOption {
    WordWeightMin = 0,
    WordWeightMedian = 1,
    WordWeightMax = 2,
  };

  DictTrie(const std::string& dict_path, const std::string& user_dict_paths = "",
           UserWordWeightOption user_word_weight_opt = WordWeightMedian) {
    Init(dict_path, user_dict_paths, user_word_weight_opt);
  }

  // Members go in reverse order: the trie, then the entries.
  ~DictTrie() = default;

  DictTrie(const DictTrie&) = delete;
  DictTrie& operator=(const DictTrie&) = delete;

  const DictUnit* Find(RuneStrArray::const_iterator begin, RuneStrArray::const_iterator end) const {
    return trie_->Find(begin, end);
  }

  void Find(RuneStrArray::const_iterator begin, RuneStrArray::const_iterator end,
            std::vector<Dag>& res, size_t max_word_len = MAX_WORD_LENGTH) const {
    trie_->Find(begin, end, res, max_word_len);
  }

  // The entry of a whole word given as UTF-8; null if it is no word or cannot
  // be decoded.
  const DictUnit* Find(const std::string& word) const {
    RuneStrArray runes;
    if (!DecodeRunesInString(word, runes)) {
      return nullptr;
    }
    return trie_->Find(runes.begin(), runes.end());
  }

  bool IsUserDictSingleChineseWord(const Rune& word) const {
    return IsIn(user_dict_single_chinese_word_, word);
  }

  double GetMinWeight() const { return min_weight_; }

  // Statistics, for inspection and tests.
  double GetMaxWeight() const { return max_weight_; }
  double GetMedianWeight() const { return median_weight_; }
  double GetFreqSum() const { return freq_sum_; }
  double GetUserWordDefaultWeight() const { return user_word_default_weight_; }
  // All entries: the main dictionary's, then the user dictionaries'.
  const std::vector<DictUnit>& GetDictUnits() const { return static_node_infos_; }

  static bool WeightCompare(const DictUnit& lhs, const DictUnit& rhs) {
    return lhs.weight < rhs.weight;
  }

 private:
  void Init(const std::string& dict_path, const std::string& user_dict_paths,
            UserWordWeightOption user_word_weight_opt) {
    LoadDict(dict_path);
    freq_sum_ = CalcFreqSum(static_node_infos_);
    CalculateWeight(static_node_infos_, freq_sum_);
    SetStaticWordWeights(user_word_weight_opt);
    if (user_dict_paths.size()) {
      LoadUserDict(user_dict_paths);
    }
    Shrink(static_node_infos_);
    CreateTrie(static_node_infos_);
  }

  // The whole file. A read that fails part way (the path names a directory,
  // or the disk reports an error) is a failed check, not a shorter dictionary.
  static std::string ReadAll(std::ifstream& ifs, const std::string& path) {
    std::string content;
    char chunk[1 << 16];
    while (ifs.read(chunk, sizeof chunk) || ifs.gcount() > 0) {
      content.append(chunk, static_cast<size_t>(ifs.gcount()));
    }
    XCHECK(!ifs.bad()) << "read " << path << " failed";
    return content;
  }

  // The number of lines ForEachLine visits.
  static size_t CountLines(const std::string& content) {
    size_t lines = static_cast<size_t>(std::count(content.begin(), content.end(), '\n'));
    return lines + (!content.empty() && content.back() != '\n' ? 1 : 0);
  }

  // Calls f(line) for every line of content up to each LF; the last line
  // needs no LF, and an LF at the very end gives no extra line. A CR before
  // the LF stays in the line.
  template <class F>
  static void ForEachLine(const std::string& content, F&& f) {
    std::string line;
    const char* p = content.data();
    const char* const end = p + content.size();
    while (p < end) {
      const char* lf = static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(end - p)));
      const char* stop = lf == nullptr ? end : lf;
      line.assign(p, static_cast<size_t>(stop - p));
      f(line);
      p = lf == nullptr ? end : lf + 1;
    }
  }

  void LoadDict(const std::string& filePath) {
    std::ifstream ifs;
    if (limonp::IsFileName(filePath)) ifs.open(filePath.c_str(), std::ios::in | std::ios::binary);
    XCHECK(ifs.is_open()) << "open " << filePath << " failed.";
    const std::string content = ReadAll(ifs, filePath);
    ifs.close();
    // One entry per line at most: reserve once, so that Shrink has little
    // or nothing to give back.
    static_node_infos_.reserve(static_node_infos_.size() + CountLines(content));
    std::vector<std::string> buf;
    DictUnit node_info;
    ForEachLine(content, [&](const std::string& line) {
      limonp::Split(line, buf, " ");
      XCHECK(buf.size() == DICT_COLUMN_NUM) << "split result illegal, line:" << line;
      if (MakeNodeInfo(node_info, buf[0], strtod(buf[1].c_str(), nullptr), buf[2])) {
        static_node_infos_.push_back(std::move(node_info));
      }
    });
  }

  void LoadUserDict(const std::string& filePaths) {
    std::vector<std::string> files = limonp::Split(filePaths, "|;");
    for (size_t i = 0; i < files.size(); i++) {
      std::ifstream ifs;
      if (limonp::IsFileName(files[i])) ifs.open(files[i].c_str(), std::ios::in | std::ios::binary);
      XCHECK(ifs.is_open()) << "open " << files[i] << " failed";
      const std::string content = ReadAll(ifs, files[i]);
      ifs.close();
      static_node_infos_.reserve(static_node_infos_.size() + CountLines(content));
      ForEachLine(content, [this](const std::string& line) {
        if (line.size() == 0) {
          return;
        }
        InserUserDictNode(line);
      });
    }
  }

  void InserUserDictNode(const std::string& line) {
    std::vector<std::string> buf;
    DictUnit node_info;
    limonp::Split(line, buf, " ");
    if (buf.size() == 1) {
      MakeNodeInfo(node_info, buf[0], user_word_default_weight_, UNKNOWN_TAG);
    } else if (buf.size() == 2) {
      MakeNodeInfo(node_info, buf[0], user_word_default_weight_, buf[1]);
    } else if (buf.size() == 3) {
      int freq = static_cast<int>(strtol(buf[1].c_str(), nullptr, 10));
      double weight = log(1.0 * freq / freq_sum_);
      MakeNodeInfo(node_info, buf[0], weight, buf[2]);
    } else {
      return;
    }
    const bool single = node_info.word.size() == 1;
    const Rune rune = single ? node_info.word[0] : 0;
    static_node_infos_.push_back(std::move(node_info));
    if (single) {
      user_dict_single_chinese_word_.insert(rune);
    }
  }

  bool MakeNodeInfo(DictUnit& node_info, const std::string& word, double weight,
                    const std::string& tag) {
    if (!DecodeRunesInString(word, node_info.word)) {
      XLOG(ERROR) << "Decode " << word << " failed.";
      return false;
    }
    node_info.weight = weight;
    node_info.tag = tag;
    return true;
  }

  double CalcFreqSum(const std::vector<DictUnit>& node_infos) const {
    double sum = 0.0;
    for (size_t i = 0; i < node_infos.size(); i++) {
      sum += node_infos[i].weight;
    }
    return sum;
  }

  // weight = ln(frequency / sum). A dictionary whose frequencies do not sum
  // to a positive number, or that gives a weight that is not a number (a
  // negative or non-numeric frequency), is unusable and rejected. An empty
  // one is left to SetStaticWordWeights, which rejects it.
  void CalculateWeight(std::vector<DictUnit>& node_infos, double sum) const {
    if (node_infos.empty()) {
      return;
    }
    XCHECK(sum > 0.0) << "the frequencies of the main dictionary sum to " << sum
                      << "; they must sum to a positive number";
    for (size_t i = 0; i < node_infos.size(); i++) {
      DictUnit& node_info = node_infos[i];
      const double frequency = node_info.weight;
      node_info.weight = log(frequency / sum);
      XCHECK(!std::isnan(node_info.weight))
          << "the weight of main dictionary entry " << i + 1 << " (" << EncodeWord(node_info.word)
          << ", frequency " << frequency << ") is not a number";
    }
  }

  // min, max and the median (element n / 2 of the ascending weights). Only
  // the weights are ordered: the same values as sorting a copy of the
  // entries by WeightCompare, without copying the entries.
  void SetStaticWordWeights(UserWordWeightOption option) {
    XCHECK(!static_node_infos_.empty());
    std::vector<double> weights;
    weights.reserve(static_node_infos_.size());
    for (size_t i = 0; i < static_node_infos_.size(); i++) {
      weights.push_back(static_node_infos_[i].weight);
    }
    const size_t mid = weights.size() / 2;
    std::nth_element(weights.begin(), weights.begin() + mid, weights.end());
    median_weight_ = weights[mid];
    min_weight_ = *std::min_element(weights.begin(), weights.begin() + mid + 1);
    max_weight_ = *std::max_element(weights.begin() + mid, weights.end());
    switch (option) {
      case WordWeightMin:
        user_word_default_weight_ = min_weight_;
        break;
      case WordWeightMedian:
        user_word_default_weight_ = median_weight_;
        break;
      default:
        user_word_default_weight_ = max_weight_;
        break;
    }
  }

  // Gives back the excess capacity before the trie takes pointers into the
  // vector. The entries are moved, not copied.
  void Shrink(std::vector<DictUnit>& units) const {
    if (units.capacity() == units.size()) {
      return;
    }
    std::vector<DictUnit> temp(std::make_move_iterator(units.begin()),
                               std::make_move_iterator(units.end()));
    units.swap(temp);
  }

  // Inserts every entry, in vector order, straight from the entries (the
  // keys are not copied first); the trie skips empty words.
  void CreateTrie(const std::vector<DictUnit>& dictUnits) {
    trie_.reset(new Trie(std::vector<Unicode>(), std::vector<const DictUnit*>()));
    for (size_t i = 0; i < dictUnits.size(); i++) {
      trie_->InsertNode(dictUnits[i].word, &dictUnits[i]);
    }
  }

  // UTF-8 text of a word, for messages.
  static std::string EncodeWord(const Unicode& word) {
    std::string s;
    for (Unicode::const_iterator it = word.begin(); it != word.end(); ++it) {
      const Rune r = *it;
      if (r < 0x80) {
        s.push_back(static_cast<char>(r));
      } else if (r < 0x800) {
        s.push_back(static_cast<char>(0xC0 | (r >> 6)));
        s.push_back(static_cast<char>(0x80 | (r & 0x3F)));
      } else if (r < 0x10000) {
        s.push_back(static_cast<char>(0xE0 | (r >> 12)));
        s.push_back(static_cast<char>(0x80 | ((r >> 6) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | (r & 0x3F)));
      } else {
        s.push_back(static_cast<char>(0xF0 | ((r >> 18) & 0x07)));
        s.push_back(static_cast<char>(0x80 | ((r >> 12) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | ((r >> 6) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | (r & 0x3F)));
      }
    }
    return s;
  }

  std::vector<DictUnit> static_node_infos_;
  std::deque<DictUnit> active_node_infos_;  // nothing adds to it
  std::unique_ptr<Trie> trie_;

  double freq_sum_ = 0.0;
  double min_weight_ = 0.0;
  double max_weight_ = 0.0;
  double median_weight_ = 0.0;
  double user_word_default_weight_ = 0.0;
  std::unordered_set<Rune> user_dict_single_chinese_word_;
};

}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda

#endif  // VORDA_TYPING_TEXT_JIEBA_DICT_TRIE_H_
