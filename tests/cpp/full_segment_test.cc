// Tests of the cut into all dictionary words.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tokenizer/jieba/FullSegment.h"

using std::string;
using std::vector;
using namespace vorda::typing::text::jieba;
namespace limonp = vorda::typing::text::limonp;

namespace {

string Fixture(const string& name) { return string(VIVIVIDODOR_FIXTURES) + "/" + name; }

// Words: 中 中国 中国人 国人 人 北京 市.
class FullSegmentTest : public testing::Test {
 protected:
  FullSegmentTest() : dict_(Fixture("full_dict.utf8")), seg_(&dict_) {}

  DictTrie dict_;
  FullSegment seg_;
};

struct FullCase {
  const char* sentence;
  vector<string> words;
};

TEST_F(FullSegmentTest, CutsIntoAllWords) {
  const FullCase cases[] = {
      // 中 is a word, but longer words start with it; 人 lies inside 中国人.
      {"中国人", {"中国", "中国人", "国人"}},
      // No word starts at 京, which 北京 covers; 市 stands alone.
      {"北京市", {"北京", "市"}},
      // Nothing is in the dictionary: one word per character.
      {"你好吗", {"你", "好", "吗"}},
      {"人", {"人"}},
      {"ab", {"a", "b"}},
      // Separators are words of their own and end the pieces.
      {"中国人，北京市", {"中国", "中国人", "国人", "，", "北京", "市"}},
      {"中国 人", {"中国", " ", "人"}},
      {"北京。。", {"北京", "。", "。"}},
      // The same word twice, and a word right after an uncovered character.
      {"中国中国", {"中国", "中国"}},
      {"你中国人", {"你", "中国", "中国人", "国人"}},
      {"", {}},
  };
  for (const FullCase& c : cases) {
    vector<string> words = {"stale"};
    seg_.Cut(c.sentence, words);
    EXPECT_EQ(words, c.words) << c.sentence;
  }
}

TEST_F(FullSegmentTest, UndecodableSentenceGivesNoWords) {
  testing::internal::CaptureStderr();
  vector<string> words = {"stale"};
  seg_.Cut(string("中国\xE4\xB8"), words);
  const string log = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(words.empty());
  EXPECT_NE(log.find(" ERROR decode failed. \n"), string::npos) << log;
}

TEST_F(FullSegmentTest, WordsCarryTheirOffsets) {
  vector<Word> words;
  seg_.Cut("a中国人 北京", words);
  struct Expected {
    const char* word;
    uint32_t offset, unicode_offset, unicode_length;
  };
  const Expected expected[] = {
      {"a", 0, 0, 1},    {"中国", 1, 1, 2}, {"中国人", 1, 1, 3},
      {"国人", 4, 2, 2}, {" ", 10, 4, 1},   {"北京", 11, 5, 2},
  };
  ASSERT_EQ(words.size(), sizeof(expected) / sizeof(expected[0]));
  for (size_t i = 0; i < words.size(); ++i) {
    EXPECT_EQ(words[i].word, expected[i].word) << i;
    EXPECT_EQ(words[i].offset, expected[i].offset) << i;
    EXPECT_EQ(words[i].unicode_offset, expected[i].unicode_offset) << i;
    EXPECT_EQ(words[i].unicode_length, expected[i].unicode_length) << i;
  }
}

TEST_F(FullSegmentTest, RangeCutAppends) {
  RuneStrArray runes;
  ASSERT_TRUE(DecodeRunesInString(string("北京市中国人"), runes));
  vector<WordRange> res;
  seg_.Cut(runes.begin(), runes.begin() + 3, res);
  seg_.Cut(runes.begin() + 3, runes.end(), res);
  seg_.Cut(runes.end(), runes.end(), res);  // an empty range adds nothing
  ASSERT_EQ(res.size(), 5u);
  const size_t expected[][2] = {{0, 1}, {2, 2}, {3, 4}, {3, 5}, {4, 5}};
  for (size_t i = 0; i < res.size(); ++i) {
    EXPECT_EQ(res[i].left - runes.begin(), static_cast<long>(expected[i][0])) << i;
    EXPECT_EQ(res[i].right - runes.begin(), static_cast<long>(expected[i][1])) << i;
  }
}

TEST(FullSegmentOwnDictTest, BuildsAndFreesItsOwnDictionary) {
  FullSegment seg(Fixture("full_dict.utf8"));
  vector<string> words;
  seg.Cut("北京市", words);
  EXPECT_EQ(words, (vector<string>{"北京", "市"}));
}

TEST(FullSegmentOwnDictTest, MissingDictionaryFails) {
  testing::internal::CaptureStderr();
  try {
    FullSegment seg(string("/no/such/file"));
    ADD_FAILURE() << "no exception";
  } catch (const limonp::FatalError& e) {
    EXPECT_STREQ(e.what(), "exp: [ifs.is_open()] false. open /no/such/file failed.");
  }
  testing::internal::GetCapturedStderr();
}

}  // namespace
