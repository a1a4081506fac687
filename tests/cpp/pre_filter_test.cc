#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "tokenizer/jieba/PreFilter.h"
#include "tokenizer/jieba/SegmentBase.h"
#include "tokenizer/jieba/SegmentTagged.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {
namespace {

// A segmenter that only exposes its separator set.
class SeparatorHolder : public SegmentBase {
 public:
  void Cut(const std::string&, std::vector<std::string>& words) const override { words.clear(); }
  const std::unordered_set<Rune>& Symbols() const { return symbols_; }
};

// The pieces of sentence, as byte strings cut out of it.
std::vector<std::string> Pieces(const std::unordered_set<Rune>& symbols,
                                const std::string& sentence) {
  std::vector<std::string> pieces;
  PreFilter filter(symbols, sentence);
  while (filter.HasNext()) {
    PreFilter::Range range = filter.Next();
    EXPECT_LT(range.begin, range.end) << "empty piece";
    if (range.begin >= range.end) {
      break;
    }
    const uint32_t begin = range.begin->offset;
    const uint32_t end = (range.end - 1)->offset + (range.end - 1)->len;
    pieces.push_back(sentence.substr(begin, end - begin));
  }
  return pieces;
}

const std::string kComma = "\xEF\xBC\x8C";  // U+FF0C
const std::string kStop = "\xE3\x80\x82";   // U+3002

TEST(SegmentBaseTest, BuiltInSeparatorsAreExactlyFiveCharacters) {
  EXPECT_EQ(std::string(SPECIAL_SEPARATORS), " \t\n" + kComma + kStop);
  SeparatorHolder holder;
  EXPECT_EQ(holder.Symbols(), (std::unordered_set<Rune>{0x20, 0x09, 0x0A, 0xFF0C, 0x3002}));
}

struct PiecesCase {
  const char* name;
  std::string sentence;
  std::vector<std::string> pieces;
};

TEST(PreFilterTest, BuiltInSeparatorsCutSentences) {
  const std::vector<PiecesCase> cases = {
      {"empty", "", {}},
      {"no separator", "abc", {"abc"}},
      {"fullwidth comma", "ab" + kComma + "cd", {"ab", kComma, "cd"}},
      {"two stops in a row", kStop + kStop, {kStop, kStop}},
      {"only a space", " ", {" "}},
      {"two spaces", "a  b", {"a", " ", " ", "b"}},
      {"carriage return is no separator", "a\r\nb", {"a\r", "\n", "b"}},
      {"tab", "\tx\t", {"\t", "x", "\t"}},
      {"chinese text", "中" + kStop + "国人", {"中", kStop, "国人"}},
      // U+3000 IDEOGRAPHIC SPACE and ASCII punctuation are not separators.
      {"other spaces and punctuation", "a\u3000b,c.", {"a\u3000b,c."}},
  };
  SeparatorHolder holder;
  for (const PiecesCase& c : cases) {
    EXPECT_EQ(Pieces(holder.Symbols(), c.sentence), c.pieces) << c.name;
  }
}

TEST(PreFilterTest, PiecesPointIntoOneDecodedSentence) {
  SeparatorHolder holder;
  const std::string sentence = "ab 中";
  PreFilter filter(holder.Symbols(), sentence);
  std::vector<PreFilter::Range> ranges;
  while (filter.HasNext()) {
    ranges.push_back(filter.Next());
  }
  ASSERT_EQ(ranges.size(), 3u);
  // The pieces tile the sentence: each starts where the previous one ended.
  EXPECT_EQ(ranges[0].end, ranges[1].begin);
  EXPECT_EQ(ranges[1].end, ranges[2].begin);
  EXPECT_EQ(ranges[0].begin->unicode_offset, 0u);
  EXPECT_EQ(ranges[2].begin->rune, 0x4E2Du);
  EXPECT_EQ(ranges[2].begin->offset, 3u);
  EXPECT_EQ(ranges[2].end - ranges[2].begin, 1);
  EXPECT_FALSE(filter.HasNext());
}

TEST(PreFilterTest, UndecodableSentenceGivesNoPiecesAndOneErrorLine) {
  SeparatorHolder holder;
  for (const std::string& sentence : {std::string("abc \xE4\xB8"), std::string("a\xF8") + "b"}) {
    testing::internal::CaptureStderr();
    std::vector<std::string> pieces = Pieces(holder.Symbols(), sentence);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(pieces.empty());
    // time, path:line, level, message
    EXPECT_TRUE(std::regex_match(
        err, std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "
                        "csrc/tokenizer/jieba/PreFilter\\.h:\\d+ ERROR decode failed\\. \n")))
        << err;
  }
}

TEST(SegmentBaseTest, ResetSeparators) {
  struct Case {
    std::string separators;
    bool ok;
    std::unordered_set<Rune> symbols;
    std::string error;  // message of the ERROR line, empty for none
  };
  const std::vector<Case> cases = {
      {"ab", true, {'a', 'b'}, ""},
      {"", true, {}, ""},
      // The set keeps what was taken before the duplicate.
      {"aba", false, {'a', 'b'}, "a already exists"},
      {"x" + kStop + kStop, false, {'x', 0x3002}, kStop + " already exists"},
      {"a\xFF", false, {}, "decode a\xFF failed"},
  };
  for (const Case& c : cases) {
    SeparatorHolder holder;
    testing::internal::CaptureStderr();
    EXPECT_EQ(holder.ResetSeparators(c.separators), c.ok) << c.separators;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(holder.Symbols(), c.symbols) << c.separators;
    if (c.error.empty()) {
      EXPECT_EQ(err, "") << c.separators;
    } else {
      EXPECT_NE(err.find(" ERROR " + c.error + "\n"), std::string::npos) << err;
    }
  }
}

TEST(SegmentBaseTest, NoSeparatorsMakeTheSentenceOnePiece) {
  SeparatorHolder holder;
  ASSERT_TRUE(holder.ResetSeparators(""));
  EXPECT_EQ(Pieces(holder.Symbols(), "a b" + kComma + "c"),
            (std::vector<std::string>{"a b" + kComma + "c"}));
}

TEST(SegmentBaseTest, EachSegmenterHasItsOwnSeparators) {
  SeparatorHolder changed;
  SeparatorHolder untouched;
  ASSERT_TRUE(changed.ResetSeparators("|"));
  EXPECT_EQ(Pieces(changed.Symbols(), "a|b c"), (std::vector<std::string>{"a", "|", "b c"}));
  EXPECT_EQ(Pieces(untouched.Symbols(), "a|b c"), (std::vector<std::string>{"a|b", " ", "c"}));
}

class TaggedStub : public SegmentTagged {
 public:
  void Cut(const std::string& sentence, std::vector<std::string>& words) const override {
    words.assign(1, sentence);
  }
  bool Tag(const std::string& src,
           std::vector<std::pair<std::string, std::string>>& res) const override {
    res.assign(1, std::make_pair(src, std::string("x")));
    return true;
  }
  const DictTrie* GetDictTrie() const override { return nullptr; }
};

TEST(SegmentTaggedTest, IsASegmenterWithBuiltInSeparators) {
  TaggedStub stub;
  const SegmentBase& base = stub;
  std::vector<std::string> words = {"old"};
  base.Cut("ab", words);
  EXPECT_EQ(words, std::vector<std::string>{"ab"});
  const SegmentTagged& tagged = stub;
  std::vector<std::pair<std::string, std::string>> tags;
  EXPECT_TRUE(tagged.Tag("ab", tags));
  EXPECT_EQ(tags.size(), 1u);
  EXPECT_EQ(tagged.GetDictTrie(), nullptr);
}

}  // namespace
}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda
