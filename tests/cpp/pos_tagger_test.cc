#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tokenizer/jieba/DictTrie.h"
#include "tokenizer/jieba/PosTagger.h"
#include "tokenizer/jieba/SegmentTagged.h"
#include "tokenizer/jieba/Unicode.h"
#include "tokenizer/jieba/limonp/StringUtil.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {
namespace {

typedef std::vector<std::pair<std::string, std::string>> Tagged;

std::string Fixture(const std::string& name) {
  return std::string(VIVIVIDODOR_FIXTURES) + "/" + name;
}

// A segmenter whose words are the space-separated fields of its input, so
// that the tagger sees exactly the words a test chooses.
class SpaceSegment : public SegmentTagged {
 public:
  explicit SpaceSegment(const DictTrie* dict) : dict_(dict) {}

  void Cut(const std::string& sentence, std::vector<std::string>& words) const override {
    limonp::Split(sentence, words, " ");
  }
  bool Tag(const std::string& src, Tagged& res) const override {
    return tagger_.Tag(src, res, *this);
  }
  const DictTrie* GetDictTrie() const override { return dict_; }

 private:
  const DictTrie* dict_;
  PosTagger tagger_;
};

// The main dictionary tags 中国 ns, ab nz and 人 n; the user dictionary adds
// 12 and 中文字 without tags.
class PosTaggerTest : public testing::Test {
 protected:
  PosTaggerTest() : dict_(Fixture("pos_dict.utf8"), Fixture("pos_user.utf8")), segment_(&dict_) {}

  DictTrie dict_;
  SpaceSegment segment_;
  PosTagger tagger_;
};

TEST_F(PosTaggerTest, LookupTag) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      // Dictionary tags come first, also over the rules and for one character.
      {"中国", "ns"},
      {"ab", "nz"},
      {"人", "n"},
      // An empty dictionary tag falls back to the rules.
      {"12", "m"},
      {"中文字", "x"},
      // One character without a dictionary tag.
      {"1", "x"},
      {"a", "x"},
      {"中", "x"},
      {"", "x"},
      {"34", "m"},
      {"cd", "eng"},
      {"-1", "eng"},
      // Counting stops once half the length has been seen in ASCII.
      {"1a", "m"},
      {"a1", "eng"},
      {"1-", "m"},
      {"12ab", "m"},
      {"ab12", "eng"},
      {"a12", "eng"},
      {"1中中中", "m"},
      {"中1", "m"},
      {"中a", "eng"},
      {"中a1", "eng"},
      {"中中1", "m"},
      {"日本人", "x"},
  };
  for (const std::pair<std::string, std::string>& c : cases) {
    EXPECT_EQ(tagger_.LookupTag(c.first, segment_), c.second) << c.first;
  }
}

TEST_F(PosTaggerTest, SpecialRuleIgnoresTheDictionary) {
  RuneStrArray runes;
  ASSERT_TRUE(DecodeRunesInString(std::string("ab"), runes));
  EXPECT_STREQ(tagger_.SpecialRule(runes), POS_ENG);
  ASSERT_TRUE(DecodeRunesInString(std::string("12"), runes));
  EXPECT_STREQ(tagger_.SpecialRule(runes), POS_M);
  ASSERT_TRUE(DecodeRunesInString(std::string("中国"), runes));
  EXPECT_STREQ(tagger_.SpecialRule(runes), POS_X);
}

TEST_F(PosTaggerTest, UndecodableWordIsTaggedX) {
  testing::internal::CaptureStderr();
  const std::string tag = tagger_.LookupTag("a\xE4\xB8", segment_);
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(tag, "x");
  // time (19 characters), file and line, level, message
  auto digit = [](char c) { return '0' <= c && c <= '9'; };
  const std::string file = " csrc/tokenizer/jieba/PosTagger.h:";
  ASSERT_GT(log.size(), 19 + file.size());
  EXPECT_TRUE(digit(log[0]) && log[4] == '-' && log[10] == ' ' && log[13] == ':') << log;
  EXPECT_EQ(log.substr(19, file.size()), file) << log;
  size_t pos = 19 + file.size();
  EXPECT_TRUE(digit(log[pos])) << log;
  while (pos < log.size() && digit(log[pos])) {
    pos++;
  }
  EXPECT_EQ(log.substr(pos), " ERROR Decode failed.\n");
}

TEST_F(PosTaggerTest, TagAppendsOnePairPerWord) {
  Tagged res = {{"pre", "p"}};
  testing::internal::CaptureStderr();
  EXPECT_TRUE(tagger_.Tag("中国 12 cd \xE4 人", res, segment_));
  testing::internal::GetCapturedStderr();
  const Tagged expected = {{"pre", "p"},  {"中国", "ns"}, {"12", "m"},
                           {"cd", "eng"}, {"\xE4", "x"},  {"人", "n"}};
  EXPECT_EQ(res, expected);

  // Through the segmenter's own Tag, which passes itself in.
  Tagged own;
  EXPECT_TRUE(segment_.Tag("ab", own));
  EXPECT_EQ(own, (Tagged{{"ab", "nz"}}));

  // Nothing to tag: true only if res already held something.
  Tagged empty;
  EXPECT_FALSE(tagger_.Tag("", empty, segment_));
  EXPECT_TRUE(empty.empty());
  EXPECT_TRUE(tagger_.Tag("", res, segment_));
  EXPECT_EQ(res.size(), expected.size());
}

TEST_F(PosTaggerTest, SegmenterWithoutDictionaryUsesTheRules) {
  SpaceSegment bare(nullptr);
  EXPECT_EQ(tagger_.LookupTag("ab", bare), "eng");
  EXPECT_EQ(tagger_.LookupTag("中国", bare), "x");
}

}  // namespace
}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda
