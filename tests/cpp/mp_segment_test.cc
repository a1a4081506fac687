#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "expect_tiles.h"
#include "tokenizer/jieba/DictTrie.h"
#include "tokenizer/jieba/MPSegment.h"
#include "tokenizer/jieba/Unicode.h"
#include "tokenizer/jieba/limonp/Logging.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {
namespace {

typedef std::vector<std::string> Words;

std::string Fixture(const std::string& name) {
  return std::string(VIVIVIDODOR_FIXTURES) + "/" + name;
}

// The words of text as the range cut gives them.
Words CutRange(const MPSegment& segment, const std::string& text, size_t max_word_len) {
  RuneStrArray runes;
  EXPECT_TRUE(DecodeRunesInString(text, runes));
  std::vector<WordRange> ranges;
  segment.Cut(runes.begin(), runes.end(), ranges, max_word_len);
  Words words;
  for (const WordRange& range : ranges) {
    words.push_back(GetWordFromRunes(text, range.left, range.right).word);
  }
  return words;
}

// mp_dict: A, B, AB and PQR, all of weight ln(1/4). mp_dict_tie: A and B of
// weight ln(1/4), AB of weight ln(1/16), exactly their sum.
class MPSegmentTest : public testing::Test {
 protected:
  MPSegmentTest()
      : dict_(Fixture("mp_dict.utf8")),
        tie_dict_(Fixture("mp_dict_tie.utf8")),
        segment_(&dict_),
        tie_segment_(&tie_dict_) {}

  DictTrie dict_;
  DictTrie tie_dict_;
  MPSegment segment_;
  MPSegment tie_segment_;
};

TEST_F(MPSegmentTest, FixtureWeights) {
  const double quarter = std::log(0.25);
  EXPECT_EQ(dict_.Find(std::string("AB"))->weight, quarter);
  EXPECT_EQ(dict_.GetMinWeight(), quarter);
  const double a = tie_dict_.Find(std::string("A"))->weight;
  const double b = tie_dict_.Find(std::string("B"))->weight;
  EXPECT_EQ(tie_dict_.Find(std::string("AB"))->weight, a + b);  // an exact tie
}

// The programme on hand-built candidates for the two positions of A B:
// position 0 holds A (or no entry) and AB, position 1 holds B.
struct DPCase {
  const char* name;
  double a;
  double b;
  double ab;
  bool a_known;        // false: position 0 lists A without an entry
  const char* chosen;  // the entry chosen at position 0: "A", "AB" or "" (none)
  double score;        // the best score at position 0
  Words words;
};

TEST_F(MPSegmentTest, DynamicProgramme) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double min_weight = dict_.GetMinWeight();
  const double impossible = MIN_DOUBLE;
  const std::vector<DPCase> cases = {
      {"longer word wins", -1, -1, -1.5, true, "AB", -1.5, {"AB"}},
      {"tie keeps the shorter", -1, -1, -2, true, "A", -2, {"A", "B"}},
      {"shorter loses", -1, -1, -2.5, true, "A", -2, {"A", "B"}},
      {"NaN never wins", -1, -1, nan, true, "A", -2, {"A", "B"}},
      {"NaN never wins, first", nan, -1, -3, true, "AB", -3, {"AB"}},
      {"minus infinity is never taken", -inf, -1, -inf, true, "", impossible, {"A", "B"}},
      {"no entry scores the minimum", nan, -1, -5, false, "", -1 + min_weight, {"A", "B"}},
  };
  const std::string text = "AB";
  RuneStrArray runes;
  ASSERT_TRUE(DecodeRunesInString(text, runes));
  for (const DPCase& c : cases) {
    SCOPED_TRACE(c.name);
    DictUnit a, b, ab;
    ASSERT_TRUE(DecodeRunesInString(std::string("A"), a.word));
    ASSERT_TRUE(DecodeRunesInString(std::string("B"), b.word));
    ASSERT_TRUE(DecodeRunesInString(std::string("AB"), ab.word));
    a.weight = c.a;
    b.weight = c.b;
    ab.weight = c.ab;
    std::vector<Dag> dags(2);
    dags[0].nexts.push_back(std::make_pair(size_t(0), c.a_known ? &a : nullptr));
    dags[0].nexts.push_back(std::make_pair(size_t(1), &ab));
    dags[1].nexts.push_back(std::make_pair(size_t(1), &b));
    dags[0].weight = dags[1].weight = 7.0;  // stale values must not matter

    segment_.CalcDP(dags);
    const std::string chosen = c.chosen;
    const DictUnit* expected = chosen == "A" ? &a : chosen == "AB" ? &ab : nullptr;
    EXPECT_EQ(dags[0].pInfo, expected);
    EXPECT_EQ(dags[0].weight, c.score);
    EXPECT_EQ(dags[1].pInfo, &b);
    EXPECT_EQ(dags[1].weight, -1);

    std::vector<WordRange> ranges;
    segment_.CutByDag(runes.begin(), runes.end(), dags, ranges);
    Words words;
    for (const WordRange& range : ranges) {
      words.push_back(GetWordFromRunes(text, range.left, range.right).word);
    }
    EXPECT_EQ(words, c.words);
  }
}

struct CutCase {
  bool tie;  // cut with mp_dict_tie instead of mp_dict
  std::string sentence;
  size_t max_word_len;
  Words words;
};

TEST_F(MPSegmentTest, Cuts) {
  const std::vector<CutCase> cases = {
      {false, "AB", MAX_WORD_LENGTH, {"AB"}},
      {false, "AB", 1, {"A", "B"}},
      {false, "AB", 0, {"A", "B"}},
      {false, "XAB", MAX_WORD_LENGTH, {"X", "AB"}},
      {false, "ABAB", MAX_WORD_LENGTH, {"AB", "AB"}},
      {false, "BAB", MAX_WORD_LENGTH, {"B", "AB"}},
      // P only starts PQR: it is an unknown character unless PQR fits.
      {false, "PQ", MAX_WORD_LENGTH, {"P", "Q"}},
      {false, "PQA", MAX_WORD_LENGTH, {"P", "Q", "A"}},
      {false, "PQR", MAX_WORD_LENGTH, {"PQR"}},
      {false, "PQR", 3, {"PQR"}},
      {false, "PQR", 2, {"P", "Q", "R"}},
      {false, "PQRAB", MAX_WORD_LENGTH, {"PQR", "AB"}},
      {false, "", MAX_WORD_LENGTH, {}},
      {true, "AB", MAX_WORD_LENGTH, {"A", "B"}},
      {true, "AB", 1, {"A", "B"}},
      {true, "ZAB", MAX_WORD_LENGTH, {"Z", "A", "B"}},
  };
  for (const CutCase& c : cases) {
    SCOPED_TRACE(c.sentence + " / " + std::to_string(c.max_word_len));
    const MPSegment& segment = c.tie ? tie_segment_ : segment_;
    EXPECT_EQ(CutRange(segment, c.sentence, c.max_word_len), c.words);
    Words strings = {"stale"};
    segment.Cut(c.sentence, strings, c.max_word_len);
    EXPECT_EQ(strings, c.words);
    if (c.max_word_len == MAX_WORD_LENGTH) {
      Words by_default = {"stale"};
      segment.Cut(c.sentence, by_default);
      EXPECT_EQ(by_default, c.words);
    }
  }
}

TEST_F(MPSegmentTest, RangeCutAppends) {
  RuneStrArray runes;
  ASSERT_TRUE(DecodeRunesInString(std::string("XAB"), runes));
  std::vector<WordRange> ranges;
  segment_.Cut(runes.begin(), runes.begin(), ranges);
  EXPECT_TRUE(ranges.empty());
  segment_.Cut(runes.begin(), runes.begin() + 1, ranges);
  segment_.Cut(runes.begin() + 1, runes.end(), ranges);
  ASSERT_EQ(ranges.size(), 2u);
  EXPECT_EQ(ranges[0].left, runes.begin());
  EXPECT_EQ(ranges[0].right, runes.begin());
  EXPECT_EQ(ranges[1].left, runes.begin() + 1);
  EXPECT_EQ(ranges[1].right, runes.begin() + 2);
}

TEST_F(MPSegmentTest, SentenceWordsAndOffsets) {
  const std::string sentence = "AB，AB";  // the comma is U+FF0C
  std::vector<Word> words(1, Word("stale", 9));
  segment_.Cut(sentence, words);
  ASSERT_EQ(words.size(), 3u);
  const std::vector<std::string> texts = {"AB", "，", "AB"};
  const std::vector<uint32_t> offsets = {0, 2, 5};
  const std::vector<uint32_t> unicode_offsets = {0, 2, 3};
  const std::vector<uint32_t> unicode_lengths = {2, 1, 2};
  for (size_t i = 0; i < words.size(); i++) {
    EXPECT_EQ(words[i].word, texts[i]);
    EXPECT_EQ(words[i].offset, offsets[i]);
    EXPECT_EQ(words[i].unicode_offset, unicode_offsets[i]);
    EXPECT_EQ(words[i].unicode_length, unicode_lengths[i]);
  }
}

TEST_F(MPSegmentTest, SeparatorsAreWordsOfTheirOwn) {
  Words words;
  segment_.Cut("A B\tAB\n。AB  X", words);
  EXPECT_EQ(words, (Words{"A", " ", "B", "\t", "AB", "\n", "。", "AB", " ", " ", "X"}));
}

TEST_F(MPSegmentTest, UndecodableSentenceGivesNoWords) {
  Words words = {"stale"};
  testing::internal::CaptureStderr();
  segment_.Cut("AB\xE4\xB8", words);
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(words.empty());
  EXPECT_NE(log.find(" ERROR decode failed. \n"), std::string::npos) << log;
}

TEST_F(MPSegmentTest, UserWordsTakePart) {
  // The user dictionary lifts AB to weight ln(16 / 16) = 0 and adds Q.
  DictTrie dict(Fixture("mp_dict_tie.utf8"), Fixture("mp_user.utf8"));
  MPSegment segment(&dict);
  Words words;
  segment.Cut("ABQ", words);
  EXPECT_EQ(words, (Words{"AB", "Q"}));
  EXPECT_TRUE(segment.IsUserDictSingleChineseWord('Q'));
  EXPECT_FALSE(segment.IsUserDictSingleChineseWord('A'));
  EXPECT_FALSE(segment_.IsUserDictSingleChineseWord('Q'));
}

TEST_F(MPSegmentTest, TagsWords) {
  EXPECT_EQ(segment_.GetDictTrie(), &dict_);
  std::vector<std::pair<std::string, std::string>> res = {{"pre", "p"}};
  EXPECT_TRUE(segment_.Tag("AB，XPQR12", res));
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"pre", "p"}, {"AB", "ab"}, {"，", "x"}, {"X", "x"}, {"PQR", "pqr"}, {"1", "x"}, {"2", "x"}};
  EXPECT_EQ(res, expected);
  res.clear();
  EXPECT_FALSE(segment_.Tag("", res));
}

TEST_F(MPSegmentTest, NullDictionaryIsRefused) {
  testing::internal::CaptureStderr();
  EXPECT_THROW(MPSegment segment(nullptr), limonp::FatalError);
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find(" FATAL exp: [dictTrie_ != nullptr] false. "), std::string::npos) << log;
}

// Every cut covers its input exactly once, in order, whatever the text and
// the length bound.
TEST_F(MPSegmentTest, CutsTileTheInput) {
  const std::vector<std::string> alphabet = {"A", "B", "P",  "Q",  "R", "X",
                                             "Z", " ", "，", "中", "1", "\xF0\x9F\x98\x80"};
  uint32_t state = 12345;
  for (int round = 0; round < 300; round++) {
    std::string sentence;
    const int length = round % 40;
    for (int i = 0; i < length; i++) {
      state = state * 1103515245u + 12345u;
      sentence += alphabet[(state >> 16) % alphabet.size()];
    }
    SCOPED_TRACE(sentence);
    for (size_t max_word_len : {size_t(1), size_t(2), MAX_WORD_LENGTH}) {
      for (const MPSegment* segment : {&segment_, &tie_segment_}) {
        std::vector<Word> words;
        segment->Cut(sentence, words, max_word_len);
        ExpectTiles(sentence, words);
        for (const Word& word : words) {
          EXPECT_LE(word.unicode_length, std::max<size_t>(max_word_len, 1));
        }
      }
    }
  }
}

// A long piece is searched in windows to bound its memory; the words must be
// those of the programme over the whole piece at once, also across window
// edges and with exact ties.
TEST_F(MPSegmentTest, LongPiecesCutAsAWhole) {
  DictTrie words_dict(Fixture("jieba_dict.utf8"));
  MPSegment words_segment(&words_dict);
  const std::vector<std::string> pieces = {
      "我们", "喜欢", "北京",   "大学", "北京大学", "学生", "中华人民共和国",
      "共和", "人民", "研究生", "生命", "起源",     "的",   "x",
      "中",   "A",    "B",      "AB"};
  uint32_t state = 2024;
  for (size_t runes : {size_t(8191), size_t(8192), size_t(8193), size_t(20000), size_t(40001)}) {
    std::string sentence;
    for (size_t count = 0; count < runes;) {
      state = state * 1103515245u + 12345u;
      RuneStrArray piece;
      ASSERT_TRUE(DecodeRunesInString(pieces[(state >> 16) % pieces.size()], piece));
      for (const RuneStr& rune : piece) {
        if (count == runes) break;
        sentence += pieces[(state >> 16) % pieces.size()].substr(rune.offset, rune.len);
        count++;
      }
    }
    RuneStrArray decoded;
    ASSERT_TRUE(DecodeRunesInString(sentence, decoded));
    ASSERT_EQ(decoded.size(), runes);
    for (const MPSegment* segment : {&words_segment, &tie_segment_}) {
      for (size_t max_word_len : {size_t(0), size_t(1), size_t(2), size_t(3), MAX_WORD_LENGTH}) {
        SCOPED_TRACE(testing::Message() << decoded.size() << " runes, max " << max_word_len);
        std::vector<Dag> dags;
        segment->GetDictTrie()->Find(decoded.begin(), decoded.end(), dags, max_word_len);
        segment->CalcDP(dags);
        std::vector<WordRange> expected;
        segment->CutByDag(decoded.begin(), decoded.end(), dags, expected);

        std::vector<WordRange> cut;
        segment->Cut(decoded.begin(), decoded.end(), cut, max_word_len);
        ASSERT_EQ(cut.size(), expected.size());
        for (size_t i = 0; i < cut.size(); i++) {
          ASSERT_EQ(cut[i].left, expected[i].left) << "word " << i;
          ASSERT_EQ(cut[i].right, expected[i].right) << "word " << i;
        }
      }
    }
  }
}

}  // namespace
}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda
