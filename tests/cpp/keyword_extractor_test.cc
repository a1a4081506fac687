// Tests of the keyword resources: the IDF table and the stop words.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "tokenizer/jieba/KeywordExtractor.h"

using std::string;
using namespace vorda::typing::text::jieba;
namespace limonp = vorda::typing::text::limonp;

namespace {

string Fixture(const string& name) { return string(VIVIVIDODOR_FIXTURES) + "/" + name; }

size_t Count(const string& haystack, const string& needle) {
  size_t n = 0;
  for (size_t pos = haystack.find(needle); pos != string::npos;
       pos = haystack.find(needle, pos + needle.size())) {
    ++n;
  }
  return n;
}

class KeywordExtractorTest : public testing::Test {
 protected:
  KeywordExtractorTest()
      : dict_(Fixture("full_dict.utf8")), model_(Fixture("jieba_hmm_model.utf8")) {}

  // Builds an extractor; *log receives what it wrote on standard error.
  std::unique_ptr<KeywordExtractor> Load(const string& idf, const string& stop, string* log) {
    testing::internal::CaptureStderr();
    std::unique_ptr<KeywordExtractor> extractor(
        new KeywordExtractor(&dict_, &model_, Fixture(idf), Fixture(stop)));
    *log = testing::internal::GetCapturedStderr();
    return extractor;
  }

  // The message of the error that building an extractor throws, and the log.
  string LoadError(const string& idf, const string& stop, string* log) {
    testing::internal::CaptureStderr();
    string what = "(no exception)";
    try {
      KeywordExtractor extractor(&dict_, &model_, idf, stop);
    } catch (const limonp::FatalError& e) {
      what = e.what();
    }
    *log = testing::internal::GetCapturedStderr();
    return what;
  }

  DictTrie dict_;
  HMMModel model_;
};

TEST_F(KeywordExtractorTest, AverageCountsEveryLineRead) {
  string log;
  const std::unique_ptr<KeywordExtractor> extractor =
      Load("kw_idf.utf8", "kw_stop_words.utf8", &log);
  const std::unordered_map<string, double> expected = {{"中国", 2.0}, {"北京", 4.0}};
  EXPECT_EQ(extractor->GetIdfMap(), expected);
  // Two accepted values over four lines, the empty and the malformed one included.
  EXPECT_DOUBLE_EQ(extractor->GetIdfAverage(), 6.0 / 4);
  EXPECT_EQ(Count(log, " ERROR "), 2u) << log;
  EXPECT_EQ(Count(log, " ERROR lineno: 1 empty. skipped.\n"), 1u) << log;
  EXPECT_EQ(Count(log, " ERROR line: 上海 1.0 x, lineno: 3 empty. skipped.\n"), 1u) << log;
  // Each line names the loader's source file.
  EXPECT_EQ(Count(log, " csrc/tokenizer/jieba/KeywordExtractor.h:"), 2u) << log;
}

TEST_F(KeywordExtractorTest, IdfValuesAndMalformedLines) {
  string log;
  const std::unique_ptr<KeywordExtractor> extractor =
      Load("kw_idf_values.utf8", "kw_stop_words.utf8", &log);
  // 甲 first has no number (0.0), then 1.5, which replaces it; 丙 ends in CR;
  // 丁 has a number prefix; 己 a trailing space.
  const std::unordered_map<string, double> expected = {
      {"甲", 1.5}, {"丙", 3.5}, {"丁", 0.25}, {"己", 0.75}};
  EXPECT_EQ(extractor->GetIdfMap(), expected);
  // Both values of 甲 count: (0 + 3.5 + 1.5 + 0.25 + 0.75) over eight lines.
  EXPECT_DOUBLE_EQ(extractor->GetIdfAverage(), 6.0 / 8);
  // Two spaces, a leading space and a lone word are rejected.
  EXPECT_EQ(Count(log, " ERROR "), 3u) << log;
  EXPECT_EQ(Count(log, " ERROR line: 乙  2.0, lineno: 1 empty. skipped.\n"), 1u) << log;
  EXPECT_EQ(Count(log, " ERROR line:  戊 1.0, lineno: 5 empty. skipped.\n"), 1u) << log;
  EXPECT_EQ(Count(log, " ERROR line: 庚, lineno: 7 empty. skipped.\n"), 1u) << log;
}

TEST_F(KeywordExtractorTest, EmptyIdfFileHasNoAverage) {
  string log;
  const std::unique_ptr<KeywordExtractor> extractor =
      Load("kw_idf_empty.utf8", "kw_stop_words.utf8", &log);
  EXPECT_TRUE(extractor->GetIdfMap().empty());
  EXPECT_TRUE(std::isnan(extractor->GetIdfAverage()));
  EXPECT_EQ(log, "");
}

TEST_F(KeywordExtractorTest, StopWordsAreTheLinesAsRead) {
  string log;
  const std::unique_ptr<KeywordExtractor> extractor =
      Load("kw_idf.utf8", "kw_stop_words.utf8", &log);
  // The empty line, the CR and the spaces stay; 的 twice is one entry; the
  // last line has no LF.
  const std::unordered_set<string> expected = {"的", "", "了", "a\r", "  ", "末"};
  EXPECT_EQ(extractor->GetStopWords(), expected);
}

TEST_F(KeywordExtractorTest, UnreadableFilesFail) {
  const string dir = Fixture("");
  struct Case {
    string idf, stop, message;
  };
  const Case cases[] = {
      {"/no/such/idf", Fixture("kw_stop_words.utf8"),
       "exp: [ifs.is_open()] false. open /no/such/idf failed"},
      {Fixture("kw_idf.utf8"), "/no/such/stop",
       "exp: [ifs.is_open()] false. open /no/such/stop failed"},
      {"", Fixture("kw_stop_words.utf8"), "exp: [ifs.is_open()] false. open  failed"},
      // A directory opens but cannot be read.
      {dir, Fixture("kw_stop_words.utf8"), "exp: [!ifs.bad()] false. read " + dir + " failed"},
      {Fixture("kw_idf.utf8"), dir, "exp: [!ifs.bad()] false. read " + dir + " failed"},
  };
  for (const Case& c : cases) {
    string log;
    EXPECT_EQ(LoadError(c.idf, c.stop, &log), c.message);
    // The FATAL line is written before the error leaves the constructor.
    EXPECT_NE(log.find(" FATAL " + c.message + "\n"), string::npos) << log;
  }
}

}  // namespace
