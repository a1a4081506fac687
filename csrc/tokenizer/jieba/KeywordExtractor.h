// The resources for keyword weighting: the IDF table with its average, the
// stop words, and a mixed segmenter of its own. Loaded once, then only read.
#ifndef VORDA_TYPING_TEXT_JIEBA_KEYWORD_EXTRACTOR_H_
#define VORDA_TYPING_TEXT_JIEBA_KEYWORD_EXTRACTOR_H_

#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "tokenizer/jieba/DictTrie.h"
#include "tokenizer/jieba/HMMModel.h"
#include "tokenizer/jieba/MixSegment.h"
#include "tokenizer/jieba/limonp/Logging.h"
#include "tokenizer/jieba/limonp/StringUtil.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {

class KeywordExtractor {
 public:
  // A keyword with the byte offsets of its occurrences and its weight.
  struct Word {
    std::string word;
    std::vector<size_t> offsets;
    double weight;
  };

  // Borrows the dictionary and the model, which must outlive the extractor.
  // A file that cannot be opened or read throws limonp::FatalError.
  KeywordExtractor(const DictTrie* dictTrie, const HMMModel* model, const std::string& idfPath,
                   const std::string& stopWordPath)
      : segment_(dictTrie, model) {
    LoadIdfDict(idfPath);
    LoadStopWordDict(stopWordPath);
  }

  ~KeywordExtractor() {}

  // Replaces the IDF table with the file's. Lines are "word value"; an empty
  // or malformed line is logged and skipped but still counts in the average.
  void LoadIdfDict(const std::string& idfPath) {
    std::ifstream ifs;
    if (limonp::IsFileName(idfPath)) ifs.open(idfPath.c_str(), std::ios::in | std::ios::binary);
    XCHECK(ifs.is_open()) << "open " << idfPath << " failed";
    std::unordered_map<std::string, double> idfMap;
    std::string line;
    std::vector<std::string> buf;
    double idfSum = 0.0;
    size_t lineno = 0;
    for (; std::getline(ifs, line); lineno++) {
      if (line.empty()) {
        XLOG(ERROR) << "lineno: " << lineno << " empty. skipped.";
        continue;
      }
      limonp::Split(line, buf, " ");
      if (buf.size() != 2) {
        XLOG(ERROR) << "line: " << line << ", lineno: " << lineno << " empty. skipped.";
        continue;
      }
      const double idf = strtod(buf[1].c_str(), nullptr);
      idfMap[buf[0]] = idf;
      idfSum += idf;
    }
    // getline stops at the end of the file and on a read error alike; only
    // the end of the file means the whole table was read.
    XCHECK(!ifs.bad()) << "read " << idfPath << " failed";
    // An empty file gives 0 / 0, NaN: there is no average to give.
    idfAverage_ = idfSum / static_cast<double>(lineno);
    idfMap_.swap(idfMap);
  }

  // Replaces the stop words with the lines of the file, taken as they are.
  void LoadStopWordDict(const std::string& filePath) {
    std::ifstream ifs;
    if (limonp::IsFileName(filePath)) ifs.open(filePath.c_str(), std::ios::in | std::ios::binary);
    XCHECK(ifs.is_open()) << "open " << filePath << " failed";
    std::unordered_set<std::string> stopWords;
    std::string line;
    while (std::getline(ifs, line)) {
      stopWords.insert(line);
    }
    XCHECK(!ifs.bad()) << "read " << filePath << " failed";
    stopWords_.swap(stopWords);
  }

  const std::unordered_map<std::string, double>& GetIdfMap() const { return idfMap_; }
  double GetIdfAverage() const { return idfAverage_; }
  const std::unordered_set<std::string>& GetStopWords() const { return stopWords_; }

 private:
  MixSegment segment_;
  std::unordered_map<std::string, double> idfMap_;
  double idfAverage_ = 0.0;
  std::unordered_set<std::string> stopWords_;
};

}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda

#endif  // VORDA_TYPING_TEXT_JIEBA_KEYWORD_EXTRACTOR_H_
