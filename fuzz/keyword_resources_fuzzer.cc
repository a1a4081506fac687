// The IDF and stop-word loaders on arbitrary file contents (the same bytes
// are given to both). Each either reads the whole file or fails its check
// with a message, keeping its old table then. A read IDF table holds the last
// value of every well-formed line and the average over all lines; the stop
// words are exactly the file's lines.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "tokenizer/jieba/DictTrie.h"
#include "tokenizer/jieba/HMMModel.h"
#include "tokenizer/jieba/KeywordExtractor.h"
#include "tokenizer/jieba/limonp/Logging.h"
#include "tokenizer/jieba/limonp/StringUtil.h"

using namespace vorda::typing::text::jieba;
namespace limonp = vorda::typing::text::limonp;

namespace {

// The file's lines as a line reader gives them: up to each LF, the last one
// without an LF only if it is not empty.
std::vector<std::string> Lines(const std::string& content) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    const size_t lf = content.find('\n', start);
    if (lf == std::string::npos) {
      lines.push_back(content.substr(start));
      break;
    }
    lines.push_back(content.substr(start, lf - start));
    start = lf + 1;
  }
  return lines;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vivividodor_fuzz::SilenceEngineLog();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vivividodor_fuzz::ScratchFile file("keywords.utf8");
  static const DictTrie dict(vivividodor_fuzz::Fixture("jieba_dict.utf8"));
  static const HMMModel model(vivividodor_fuzz::Fixture("jieba_hmm_model.utf8"));
  static KeywordExtractor extractor(&dict, &model, vivividodor_fuzz::Fixture("jieba_idf.utf8"),
                                    vivividodor_fuzz::Fixture("jieba_stop_words.utf8"));
  file.Write(data, size);
  const std::string content(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = Lines(content);

  const std::unordered_map<std::string, double> idf_before = extractor.GetIdfMap();
  const double average_before = extractor.GetIdfAverage();
  try {
    extractor.LoadIdfDict(file.path());
  } catch (const limonp::FatalError& e) {
    FUZZ_CHECK(vivividodor_fuzz::IsCheckMessage(e.what()));
    FUZZ_CHECK(extractor.GetIdfMap() == idf_before);
    FUZZ_CHECK(SameBits(extractor.GetIdfAverage(), average_before));
    return 0;
  }
  std::unordered_map<std::string, double> idf;
  double sum = 0.0;
  for (const std::string& line : lines) {
    const std::vector<std::string> fields = limonp::Split(line, " ");
    if (line.empty() || fields.size() != 2) continue;
    const double value = std::strtod(fields[1].c_str(), nullptr);
    idf[fields[0]] = value;
    sum += value;
  }
  FUZZ_CHECK(extractor.GetIdfMap().size() == idf.size());
  for (const auto& entry : idf) {
    const auto found = extractor.GetIdfMap().find(entry.first);
    FUZZ_CHECK(found != extractor.GetIdfMap().end() && SameBits(found->second, entry.second));
  }
  FUZZ_CHECK(SameBits(extractor.GetIdfAverage(), sum / static_cast<double>(lines.size())));

  const std::unordered_set<std::string> stop_before = extractor.GetStopWords();
  try {
    extractor.LoadStopWordDict(file.path());
  } catch (const limonp::FatalError& e) {
    FUZZ_CHECK(vivividodor_fuzz::IsCheckMessage(e.what()));
    FUZZ_CHECK(extractor.GetStopWords() == stop_before);
    return 0;
  }
  FUZZ_CHECK(extractor.GetStopWords() ==
             std::unordered_set<std::string>(lines.begin(), lines.end()));
  return 0;
}
