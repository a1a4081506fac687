// Tests of the cut for search: the mixed cut plus the dictionary sub-words of
// each long word.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tokenizer/jieba/QuerySegment.h"

using std::string;
using std::vector;
using namespace vorda::typing::text::jieba;

namespace {

string Fixture(const string& name) { return string(VIVIVIDODOR_FIXTURES) + "/" + name; }

// The long words 中华人民, 北京市, 大学 and 天天向天天 outweigh any cut into
// their parts. The user words ab, bc and abc are so rare that the dictionary
// cut leaves those letters single, and the HMM rules then keep each run of
// letters whole.
class QuerySegmentTest : public testing::Test {
 protected:
  QuerySegmentTest()
      : dict_(Fixture("query_dict.utf8"), Fixture("query_user.utf8"), DictTrie::WordWeightMedian),
        model_(Fixture("jieba_hmm_model.utf8")),
        seg_(&dict_, &model_) {}

  vector<string> Cut(const string& sentence, bool hmm = true) const {
    vector<string> words = {"stale"};
    seg_.Cut(sentence, words, hmm);
    return words;
  }

  DictTrie dict_;
  HMMModel model_;
  QuerySegment seg_;
};

struct QueryCase {
  const char* sentence;
  vector<string> words;
};

TEST_F(QuerySegmentTest, EmitsSubWordsBeforeEachLongWord) {
  const QueryCase cases[] = {
      // Two-character parts left to right, then three-character ones, then the word.
      {"中华人民", {"中华", "华人", "人民", "中华人", "华人民", "中华人民"}},
      // A three-character word has no three-character part to add.
      {"北京市", {"北京", "京市", "北京市"}},
      // A two-character word comes alone, although 大 and 学 are words.
      {"大学", {"大学"}},
      // A part found twice is emitted twice.
      {"天天向天天", {"天天", "天天", "天天向天天"}},
      // An ASCII run kept whole by the HMM rules gets its user-dictionary parts.
      {"xabcab", {"ab", "bc", "ab", "abc", "xabcab"}},
      {"的了", {"的", "了"}},
      {"中华人民，大学 北京市",
       {"中华", "华人", "人民", "中华人", "华人民", "中华人民", "，", "大学", " ", "北京", "京市",
        "北京市"}},
      {"", {}},
  };
  for (const QueryCase& c : cases) {
    EXPECT_EQ(Cut(c.sentence), c.words) << c.sentence;
  }
}

TEST_F(QuerySegmentTest, HmmFlagReachesTheMixedCut) {
  // Without the HMM step the letters stay single and have no parts.
  EXPECT_EQ(Cut("xabcab", false), (vector<string>{"x", "a", "b", "c", "a", "b"}));
  EXPECT_EQ(Cut("中华人民", false), Cut("中华人民", true));

  // The plain virtual cut runs with the HMM step.
  const SegmentBase& base = seg_;
  vector<string> words;
  base.Cut("xabcab", words);
  EXPECT_EQ(words, Cut("xabcab", true));
}

TEST_F(QuerySegmentTest, EveryWordCarriesItsOwnOffsets) {
  vector<Word> words;
  seg_.Cut("北京市 中华人民", words, true);
  struct Expected {
    const char* word;
    uint32_t offset, unicode_offset, unicode_length;
  };
  const Expected expected[] = {
      {"北京", 0, 0, 2},    {"京市", 3, 1, 2},      {"北京市", 0, 0, 3}, {" ", 9, 3, 1},
      {"中华", 10, 4, 2},   {"华人", 13, 5, 2},     {"人民", 16, 6, 2},  {"中华人", 10, 4, 3},
      {"华人民", 13, 5, 3}, {"中华人民", 10, 4, 4},
  };
  ASSERT_EQ(words.size(), sizeof(expected) / sizeof(expected[0]));
  for (size_t i = 0; i < words.size(); ++i) {
    EXPECT_EQ(words[i].word, expected[i].word) << i;
    EXPECT_EQ(words[i].offset, expected[i].offset) << i;
    EXPECT_EQ(words[i].unicode_offset, expected[i].unicode_offset) << i;
    EXPECT_EQ(words[i].unicode_length, expected[i].unicode_length) << i;
  }
}

TEST_F(QuerySegmentTest, RangeCutAppends) {
  RuneStrArray runes;
  ASSERT_TRUE(DecodeRunesInString(string("大学北京市"), runes));
  vector<WordRange> res;
  seg_.Cut(runes.begin(), runes.begin() + 2, res, true);
  seg_.Cut(runes.begin() + 2, runes.end(), res, true);
  ASSERT_EQ(res.size(), 4u);
  const long expected[][2] = {{0, 1}, {2, 3}, {3, 4}, {2, 4}};
  for (size_t i = 0; i < res.size(); ++i) {
    EXPECT_EQ(res[i].left - runes.begin(), expected[i][0]) << i;
    EXPECT_EQ(res[i].right - runes.begin(), expected[i][1]) << i;
  }
}

TEST_F(QuerySegmentTest, UndecodableSentenceGivesNoWords) {
  testing::internal::CaptureStderr();
  const vector<string> words = Cut("中华人民\xF8");
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(words.empty());
}

TEST_F(QuerySegmentTest, IsAllAscii) {
  Unicode ascii, mixed, empty;
  ASSERT_TRUE(DecodeRunesInString(string("ab1\x7F"), ascii));
  ASSERT_TRUE(DecodeRunesInString(string("ab\xC2\x80"), mixed));
  EXPECT_TRUE(seg_.IsAllAscii(ascii));
  EXPECT_FALSE(seg_.IsAllAscii(mixed));
  EXPECT_TRUE(seg_.IsAllAscii(empty));
}

}  // namespace
