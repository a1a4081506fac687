#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "expect_tiles.h"
#include "tokenizer/jieba/DictTrie.h"
#include "tokenizer/jieba/HMMModel.h"
#include "tokenizer/jieba/HMMSegment.h"
#include "tokenizer/jieba/MPSegment.h"
#include "tokenizer/jieba/MixSegment.h"
#include "tokenizer/jieba/Unicode.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {
namespace {

typedef std::vector<std::string> Words;

std::string Fixture(const std::string& name) {
  return std::string(VIVIVIDODOR_FIXTURES) + "/" + name;
}

// The dictionary knows the words 乙甲, 北京, 的 and 甲 (the last with the
// smallest weight); the user dictionary adds the single character 丙. The
// model joins 甲 乙 (B E) and 甲 丙 乙 (B M E), and keeps 丁 and 的 alone.
class MixSegmentTest : public testing::Test {
 protected:
  MixSegmentTest()
      : dict_(Fixture("mix_dict.utf8")),
        user_dict_(Fixture("mix_dict.utf8"), Fixture("mix_user.utf8")),
        model_(Fixture("mix_hmm_model.utf8")),
        segment_(&dict_, &model_),
        user_segment_(&user_dict_, &model_) {}

  DictTrie dict_;
  DictTrie user_dict_;
  HMMModel model_;
  MixSegment segment_;
  MixSegment user_segment_;
};

struct CutCase {
  bool user;  // cut with the user dictionary
  bool hmm;
  std::string sentence;
  Words words;
};

TEST_F(MixSegmentTest, Cuts) {
  const std::vector<CutCase> cases = {
      {false, true, "甲乙", {"甲乙"}},
      {false, false, "甲乙", {"甲", "乙"}},
      // The dictionary word 乙甲 stays whole although the model alone would
      // cut 甲乙 甲乙.
      {false, true, "甲乙甲乙", {"甲", "乙甲", "乙"}},
      {false, true, "北京的", {"北京", "的"}},
      {false, true, "甲丙乙", {"甲丙乙"}},
      {false, true, "丁丁", {"丁", "丁"}},
      {false, true, "abc12甲乙", {"abc12", "甲乙"}},
      {false, false, "abc12甲乙", {"a", "b", "c", "1", "2", "甲", "乙"}},
      {false, true, "3.14的x1.2", {"3.14", "的", "x1", ".", "2"}},
      {false, true, "甲乙 甲乙，abc", {"甲乙", " ", "甲乙", "，", "abc"}},
      {false, true, "甲\t乙\n丁。。", {"甲", "\t", "乙", "\n", "丁", "。", "。"}},
      {false, true, "", {}},
      {false, false, "", {}},
      // A single user character is never joined with its neighbours, and the
      // stretches on either side are cut on their own.
      {true, true, "甲丙乙", {"甲", "丙", "乙"}},
      {true, true, "甲乙丙甲乙", {"甲乙", "丙", "甲乙"}},
      {true, true, "丙丙", {"丙", "丙"}},
      {true, false, "甲丙乙", {"甲", "丙", "乙"}},
      {true, true, "甲乙甲乙", {"甲", "乙甲", "乙"}},
  };
  for (const CutCase& c : cases) {
    SCOPED_TRACE(c.sentence + (c.hmm ? " hmm" : " no hmm") + (c.user ? " user" : ""));
    const MixSegment& segment = c.user ? user_segment_ : segment_;
    Words words = {"stale"};
    segment.Cut(c.sentence, words, c.hmm);
    EXPECT_EQ(words, c.words);
    if (c.hmm) {
      Words by_default = {"stale"};
      segment.Cut(c.sentence, by_default);
      EXPECT_EQ(by_default, c.words);
    }
  }

  // The contrast for the dictionary word above: the model alone joins 甲乙.
  HMMSegment hmm(&model_);
  Words words;
  hmm.Cut("甲乙甲乙", words);
  EXPECT_EQ(words, (Words{"甲乙", "甲乙"}));
}

TEST_F(MixSegmentTest, RangeCutAppendsInTextOrder) {
  const std::string text = "北京甲乙丙";
  RuneStrArray runes;
  ASSERT_TRUE(DecodeRunesInString(text, runes));
  std::vector<WordRange> ranges;
  segment_.Cut(runes.begin(), runes.begin(), ranges, true);
  EXPECT_TRUE(ranges.empty());
  segment_.Cut(runes.begin(), runes.begin() + 1, ranges, true);
  segment_.Cut(runes.begin() + 1, runes.end(), ranges, true);
  Words words;
  for (const WordRange& range : ranges) {
    words.push_back(GetWordFromRunes(text, range.left, range.right).word);
  }
  // 北 alone, then 京 甲 乙 丙 re-cut as one stretch of single characters.
  std::vector<WordRange> hmm_ranges;
  HMMSegment(&model_).Cut(runes.begin() + 1, runes.end(), hmm_ranges);
  ASSERT_EQ(ranges.size(), 1 + hmm_ranges.size());
  EXPECT_EQ(words[0], "北");
  for (size_t i = 0; i < hmm_ranges.size(); i++) {
    EXPECT_EQ(ranges[i + 1].left, hmm_ranges[i].left);
    EXPECT_EQ(ranges[i + 1].right, hmm_ranges[i].right);
  }
}

TEST_F(MixSegmentTest, WordOffsets) {
  std::vector<Word> words(1, Word("stale", 9));
  segment_.Cut("ab，甲乙北京", words, true);
  ASSERT_EQ(words.size(), 4u);
  const Words texts = {"ab", "，", "甲乙", "北京"};
  const std::vector<uint32_t> offsets = {0, 2, 5, 11};
  const std::vector<uint32_t> unicode_offsets = {0, 2, 3, 5};
  for (size_t i = 0; i < words.size(); i++) {
    EXPECT_EQ(words[i].word, texts[i]);
    EXPECT_EQ(words[i].offset, offsets[i]);
    EXPECT_EQ(words[i].unicode_offset, unicode_offsets[i]);
    EXPECT_EQ(words[i].unicode_length, 2u - (i == 1));
  }
}

TEST_F(MixSegmentTest, UndecodableSentenceGivesNoWords) {
  Words words = {"stale"};
  testing::internal::CaptureStderr();
  segment_.Cut("甲乙\xE4", words);
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(words.empty());
  EXPECT_NE(log.find(" ERROR decode failed. \n"), std::string::npos) << log;
}

TEST_F(MixSegmentTest, TagsWords) {
  EXPECT_EQ(segment_.GetDictTrie(), &dict_);
  EXPECT_EQ(user_segment_.GetDictTrie(), &user_dict_);
  std::vector<std::pair<std::string, std::string>> res;
  EXPECT_TRUE(segment_.Tag("北京甲乙abc12的7", res));
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"北京", "ns"}, {"甲乙", "x"}, {"abc12", "eng"}, {"的", "uj"}, {"7", "x"}};
  EXPECT_EQ(res, expected);
  EXPECT_EQ(segment_.LookupTag("甲"), "d");
  EXPECT_EQ(segment_.LookupTag("12"), "m");
}

// Random text over the fixture's characters, ASCII and separators.
std::vector<std::string> RandomSentences() {
  const Words alphabet = {"甲", "乙", "丙", "丁", "北", "京", "的", "中",      "a",
                          "Z",  "1",  ".",  " ",  "，", "。", "-",  "\xC3\xA9"};
  std::vector<std::string> sentences;
  uint32_t state = 2024;
  for (int round = 0; round < 300; round++) {
    std::string sentence;
    for (int i = 0; i < round % 50; i++) {
      state = state * 1103515245u + 12345u;
      sentence += alphabet[(state >> 16) % alphabet.size()];
    }
    sentences.push_back(sentence);
  }
  return sentences;
}

// Every cut covers its input exactly once, in order; without the HMM it is
// the dictionary cut.
TEST_F(MixSegmentTest, CutsTileTheInputAndWithoutHmmMatchTheDictionaryCut) {
  for (const std::string& sentence : RandomSentences()) {
    SCOPED_TRACE(sentence);
    for (const MixSegment* segment : {&segment_, &user_segment_}) {
      for (bool hmm : {true, false}) {
        std::vector<Word> words;
        segment->Cut(sentence, words, hmm);
        ExpectTiles(sentence, words);
      }
      Words mixed;
      segment->Cut(sentence, mixed, false);
      Words dictionary;
      MPSegment(segment->GetDictTrie()).Cut(sentence, dictionary);
      EXPECT_EQ(mixed, dictionary);
    }
  }
}

TEST_F(MixSegmentTest, ManyThreadsShareOneSegmenter) {
  const std::vector<std::string> sentences = RandomSentences();
  std::vector<Words> expected(sentences.size());
  for (size_t i = 0; i < sentences.size(); i++) {
    user_segment_.Cut(sentences[i], expected[i]);
  }
  const size_t kThreads = 4;
  std::vector<size_t> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < kThreads; t++) {
    threads.emplace_back([&, t] {
      for (int pass = 0; pass < 20; pass++) {
        for (size_t i = 0; i < sentences.size(); i++) {
          Words words;
          user_segment_.Cut(sentences[i], words);
          mismatches[t] += words != expected[i];
        }
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(mismatches, std::vector<size_t>(kThreads, 0));
}

}  // namespace
}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda
