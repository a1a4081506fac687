// Tests of dictionary loading and weights.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>
#include <string>
#include <vector>

#include "tokenizer/jieba/DictTrie.h"

using std::string;
using std::vector;
using namespace vorda::typing::text::jieba;
namespace limonp = vorda::typing::text::limonp;

namespace {

string Fixture(const string& name) { return string(VIVIVIDODOR_FIXTURES) + "/" + name; }

Rune FirstRune(const string& s) {
  Unicode u;
  EXPECT_TRUE(DecodeRunesInString(s, u));
  EXPECT_FALSE(u.empty());
  return u.empty() ? 0 : u[0];
}

// Constructs a DictTrie that must fail; returns the exception's message and,
// in *log, what was written on standard error.
string LoadError(const string& dict, const string& user = "", string* log = nullptr) {
  testing::internal::CaptureStderr();
  string what = "(no exception)";
  try {
    DictTrie trie(dict, user, DictTrie::WordWeightMedian);
  } catch (const limonp::FatalError& e) {
    what = e.what();
  }
  const string err = testing::internal::GetCapturedStderr();
  if (log != nullptr) *log = err;
  return what;
}

TEST(DictTrieTest, TwoWordStatistics) {
  DictTrie trie(Fixture("dict_two_words.utf8"), "", DictTrie::WordWeightMedian);
  EXPECT_DOUBLE_EQ(trie.GetFreqSum(), 4.0);
  ASSERT_EQ(trie.GetDictUnits().size(), 2u);
  EXPECT_DOUBLE_EQ(trie.GetDictUnits()[0].weight, std::log(0.75));
  EXPECT_DOUBLE_EQ(trie.GetDictUnits()[1].weight, std::log(0.25));
  EXPECT_DOUBLE_EQ(trie.GetMinWeight(), std::log(0.25));
  EXPECT_DOUBLE_EQ(trie.GetMaxWeight(), std::log(0.75));
  EXPECT_DOUBLE_EQ(trie.GetMedianWeight(), std::log(0.75));  // index 2 / 2 = 1
  EXPECT_DOUBLE_EQ(trie.GetUserWordDefaultWeight(), std::log(0.75));

  const DictUnit* zhongguo = trie.Find(string("中国"));
  ASSERT_NE(zhongguo, nullptr);
  EXPECT_EQ(zhongguo->tag, "ns");
  EXPECT_EQ(zhongguo->word.size(), 2u);
  EXPECT_EQ(trie.Find(string("中")), nullptr);
  EXPECT_EQ(trie.Find(string("人"))->tag, "n");
}

TEST(DictTrieTest, FourWordStatisticsAndWeightOptions) {
  const string dict = Fixture("dict_four_words.utf8");  // frequencies 1 to 4, no final LF
  DictTrie median(dict, "", DictTrie::WordWeightMedian);
  EXPECT_DOUBLE_EQ(median.GetFreqSum(), 10.0);
  EXPECT_DOUBLE_EQ(median.GetMinWeight(), std::log(0.1));
  EXPECT_DOUBLE_EQ(median.GetMedianWeight(), std::log(0.3));  // the third smallest of four
  EXPECT_DOUBLE_EQ(median.GetMaxWeight(), std::log(0.4));
  EXPECT_DOUBLE_EQ(median.GetUserWordDefaultWeight(), std::log(0.3));
  EXPECT_EQ(median.Find(string("四"))->tag, "m");

  DictTrie min(dict, "", DictTrie::WordWeightMin);
  EXPECT_DOUBLE_EQ(min.GetUserWordDefaultWeight(), std::log(0.1));
  DictTrie max(dict, "", DictTrie::WordWeightMax);
  EXPECT_DOUBLE_EQ(max.GetUserWordDefaultWeight(), std::log(0.4));
}

TEST(DictTrieTest, RepeatedMainWordCountsButLastLineWins) {
  DictTrie trie(Fixture("dict_repeat_main.utf8"));
  EXPECT_DOUBLE_EQ(trie.GetFreqSum(), 8.0);
  EXPECT_EQ(trie.GetDictUnits().size(), 3u);
  const DictUnit* zhong = trie.Find(string("中"));
  ASSERT_NE(zhong, nullptr);
  EXPECT_EQ(zhong->tag, "x");
  EXPECT_DOUBLE_EQ(zhong->weight, std::log(0.5));
  // Sorted weights ln(1/8), ln(3/8), ln(4/8): the median is element 3 / 2 = 1.
  EXPECT_DOUBLE_EQ(trie.GetMedianWeight(), std::log(3.0 / 8));
}

TEST(DictTrieTest, UserLineForms) {
  DictTrie trie(Fixture("dict_two_words.utf8"), Fixture("dict_user_forms.utf8"),
                DictTrie::WordWeightMedian);
  const double median = std::log(0.75);

  const DictUnit* word_only = trie.Find(string("云计算"));
  ASSERT_NE(word_only, nullptr);
  EXPECT_DOUBLE_EQ(word_only->weight, median);
  EXPECT_EQ(word_only->tag, "");

  const DictUnit* word_tag = trie.Find(string("区块链"));
  ASSERT_NE(word_tag, nullptr);
  EXPECT_DOUBLE_EQ(word_tag->weight, median);
  EXPECT_EQ(word_tag->tag, "nz");

  const DictUnit* word_freq_tag = trie.Find(string("大数据"));
  ASSERT_NE(word_freq_tag, nullptr);
  EXPECT_DOUBLE_EQ(word_freq_tag->weight, std::log(2.0 / 4.0));
  EXPECT_EQ(word_freq_tag->tag, "vn");

  // 'X Y 1 n' has four fields and adds nothing; the empty line is skipped.
  EXPECT_EQ(trie.Find(string("机器")), nullptr);
  EXPECT_EQ(trie.Find(string("学习")), nullptr);
  EXPECT_EQ(trie.GetDictUnits().size(), 2u + 5u);

  // One-character user words go into the single-character set.
  EXPECT_TRUE(trie.IsUserDictSingleChineseWord(FirstRune("云")));
  EXPECT_FALSE(trie.IsUserDictSingleChineseWord(FirstRune("区")));
  EXPECT_FALSE(trie.IsUserDictSingleChineseWord(FirstRune("人")));  // a main word

  // A user word repeating a main word replaces it in the trie; the sum and
  // the statistics still count only the main entries.
  const DictUnit* zhongguo = trie.Find(string("中国"));
  ASSERT_NE(zhongguo, nullptr);
  EXPECT_EQ(zhongguo->tag, "user");
  EXPECT_DOUBLE_EQ(zhongguo->weight, std::log(5.0 / 4.0));
  EXPECT_DOUBLE_EQ(trie.GetFreqSum(), 4.0);
  EXPECT_DOUBLE_EQ(trie.GetMinWeight(), std::log(0.25));
  EXPECT_DOUBLE_EQ(trie.GetMaxWeight(), std::log(0.75));
  EXPECT_DOUBLE_EQ(trie.GetMedianWeight(), median);

  // Candidate lists come from the trie over all entries.
  RuneStrArray runes;
  ASSERT_TRUE(DecodeRunesInString(string("云计算人"), runes));
  vector<Dag> dags;
  trie.Find(runes.begin(), runes.end(), dags);
  ASSERT_EQ(dags.size(), 4u);
  ASSERT_EQ(dags[0].nexts.size(), 2u);
  EXPECT_EQ(dags[0].nexts[0].second, trie.Find(string("云")));
  EXPECT_EQ(dags[0].nexts[1].first, 2u);
  EXPECT_EQ(dags[0].nexts[1].second, word_only);
  EXPECT_EQ(dags[3].nexts[0].second, trie.Find(string("人")));
  EXPECT_EQ(trie.Find(runes.begin(), runes.begin() + 3), word_only);
}

TEST(DictTrieTest, UserFrequencyIsAnInteger) {
  string log;
  testing::internal::CaptureStderr();
  DictTrie trie(Fixture("dict_two_words.utf8"), Fixture("dict_user_numbers.utf8"));
  log = testing::internal::GetCapturedStderr();
  EXPECT_DOUBLE_EQ(trie.Find(string("乙"))->weight, std::log(12.0 / 4.0));  // '12.9' counts as 12
  EXPECT_EQ(trie.Find(string("丙"))->weight, -std::numeric_limits<double>::infinity());
  // The undecodable word is reported and adds an entry with an empty word.
  EXPECT_NE(log.find(" ERROR Decode \xE4\xB8 failed.\n"), string::npos) << log;
  EXPECT_EQ(trie.GetDictUnits().size(), 2u + 3u);
  EXPECT_TRUE(trie.GetDictUnits().back().word.empty());
}

TEST(DictTrieTest, UserDictionaryPathsInOrder) {
  const string first = Fixture("dict_user_first.utf8");    // 深度 without tag
  const string second = Fixture("dict_user_second.utf8");  // 深度 ns
  const string main = Fixture("dict_two_words.utf8");
  EXPECT_EQ(DictTrie(main, first + "|" + second).Find(string("深度"))->tag, "ns");
  EXPECT_EQ(DictTrie(main, first + ";" + second).Find(string("深度"))->tag, "ns");
  EXPECT_EQ(DictTrie(main, second + "|" + first).Find(string("深度"))->tag, "");
  EXPECT_EQ(DictTrie(main, "").GetDictUnits().size(), 2u);
}

TEST(DictTrieTest, EmptyPathBetweenSeparatorsCannotBeOpened) {
  const string paths = Fixture("dict_user_first.utf8") + "|;" + Fixture("dict_user_second.utf8");
  EXPECT_EQ(LoadError(Fixture("dict_two_words.utf8"), paths),
            "exp: [ifs.is_open()] false. open  failed");
}

TEST(DictTrieTest, MissingMainDictionary) {
  const string path = Fixture("dict_does_not_exist.utf8");
  string log;
  EXPECT_EQ(LoadError(path, "", &log), "exp: [ifs.is_open()] false. open " + path + " failed.");
  const std::regex line(
      R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} csrc/tokenizer/jieba/DictTrie\.h:\d+ FATAL exp: \[ifs\.is_open\(\)\] false\. open .*dict_does_not_exist\.utf8 failed\.\n$)");
  EXPECT_TRUE(std::regex_match(log, line)) << log;
}

TEST(DictTrieTest, MissingUserDictionary) {
  const string path = Fixture("dict_user_does_not_exist.utf8");
  EXPECT_EQ(LoadError(Fixture("dict_two_words.utf8"), Fixture("dict_user_first.utf8") + "|" + path),
            "exp: [ifs.is_open()] false. open " + path + " failed");
}

// A path that opens but cannot be read, such as a directory, is an error and
// not an empty dictionary; without the check a directory as user dictionary
// gave a dictionary without the user words and no message.
TEST(DictTrieTest, UnreadableDictionaryFailsTheLoad) {
  const string directory = VIVIVIDODOR_FIXTURES;
  const string message = "exp: [!ifs.bad()] false. read " + directory + " failed";
  string log;
  EXPECT_EQ(LoadError(directory, "", &log), message);
  EXPECT_NE(log.find(" FATAL " + message + "\n"), string::npos) << log;
  EXPECT_EQ(
      LoadError(Fixture("dict_two_words.utf8"), Fixture("dict_user_first.utf8") + "|" + directory),
      message);
}

TEST(DictTrieTest, MalformedMainDictionaries) {
  struct Case {
    const char* fixture;
    string message;
  };
  const vector<Case> cases = {
      {"dict_empty.utf8", "exp: [!static_node_infos_.empty()] false. "},
      {"dict_empty_line.utf8",
       "exp: [buf.size() == DICT_COLUMN_NUM] false. split result illegal, line:"},
      {"dict_two_final_lf.utf8",
       "exp: [buf.size() == DICT_COLUMN_NUM] false. split result illegal, line:"},
      {"dict_tab_separator.utf8",
       "exp: [buf.size() == DICT_COLUMN_NUM] false. split result illegal, line:\xE5\x9B\xBD\t1 n"},
      {"dict_zero_sum.utf8",
       "exp: [sum > 0.0] false. the frequencies of the main dictionary sum to 0; they must sum to "
       "a positive number"},
      {"dict_nan_frequency.utf8",
       "exp: [sum > 0.0] false. the frequencies of the main dictionary sum to nan; they must sum "
       "to a positive number"},
      {"dict_negative_frequency.utf8",
       "exp: [!std::isnan(node_info.weight)] false. the weight of main dictionary entry 2 "
       "(\xE5\x9B\xBD, frequency -1) is not a number"},
  };
  for (const Case& c : cases) {
    string log;
    EXPECT_EQ(LoadError(Fixture(c.fixture), "", &log), c.message) << c.fixture;
    // The line is written in full before the exception.
    EXPECT_NE(log.find(" FATAL " + c.message + "\n"), string::npos) << log;
  }
}

TEST(DictTrieTest, UndecodableMainWordIsSkipped) {
  testing::internal::CaptureStderr();
  DictTrie trie(Fixture("dict_bad_utf8_word.utf8"));
  const string log = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(std::regex_search(log, std::regex(" ERROR Decode \xE5\x9B failed\\.\n"))) << log;
  EXPECT_EQ(trie.GetDictUnits().size(), 2u);
  EXPECT_DOUBLE_EQ(trie.GetFreqSum(), 4.0);  // the skipped line does not count
  EXPECT_DOUBLE_EQ(trie.Find(string("人"))->weight, std::log(0.5));
}

TEST(DictTrieTest, CarriageReturnStaysInLastField) {
  DictTrie trie(Fixture("dict_crlf.utf8"));
  EXPECT_EQ(trie.Find(string("中"))->tag, "n\r");
  EXPECT_EQ(trie.Find(string("国"))->tag, "v");  // a single trailing space is harmless
}

TEST(DictTrieTest, FrequenciesAreReadByPrefix) {
  DictTrie trie(Fixture("dict_prefix_numbers.utf8"));  // 1.5e1, 5, x
  EXPECT_DOUBLE_EQ(trie.GetFreqSum(), 20.0);
  EXPECT_DOUBLE_EQ(trie.Find(string("中"))->weight, std::log(0.75));
  EXPECT_EQ(trie.GetMinWeight(), -std::numeric_limits<double>::infinity());
  EXPECT_DOUBLE_EQ(trie.GetMedianWeight(), std::log(0.25));
}

TEST(DictTrieTest, WeightCompare) {
  DictUnit a;
  a.weight = -2.0;
  DictUnit b;
  b.weight = -1.0;
  EXPECT_TRUE(DictTrie::WeightCompare(a, b));
  EXPECT_FALSE(DictTrie::WeightCompare(b, a));
  EXPECT_FALSE(DictTrie::WeightCompare(a, a));
}

}  // namespace
