#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tokenizer/jieba/HMMModel.h"
#include "tokenizer/jieba/HMMSegment.h"
#include "tokenizer/jieba/Unicode.h"
#include "tokenizer/jieba/limonp/Logging.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {
namespace {

const std::string kFixtures = VIVIVIDODOR_FIXTURES;

typedef std::vector<std::string> Words;

std::string Repeat(const std::string& s, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; i++) {
    out += s;
  }
  return out;
}

// The fixture model: B emits 中 北, E emits 国 京, M emits 华, S emits 人 的 中.
class HMMSegmentTest : public testing::Test {
 protected:
  HMMSegmentTest() : model_(kFixtures + "/hmm_model.utf8"), segment_(&model_) {}

  Words Cut(const std::string& sentence) const {
    Words words;
    segment_.Cut(sentence, words);
    return words;
  }

  std::vector<size_t> Viterbi(const HMMSegment& segment, const std::string& text) const {
    RuneStrArray runes;
    EXPECT_TRUE(DecodeRunesInString(text, runes));
    std::vector<size_t> status;
    segment.Viterbi(runes.begin(), runes.end(), status);
    return status;
  }

  HMMModel model_;
  HMMSegment segment_;
};

struct CutCase {
  std::string sentence;
  Words words;
};

TEST_F(HMMSegmentTest, AsciiTokenRules) {
  const std::vector<CutCase> cases = {
      {"abc123def", {"abc123def"}},
      {"123abc", {"123", "abc"}},
      {"x1.2", {"x1", ".", "2"}},
      {"2024.03.05", {"2024.03.05"}},
      {"3.14.15", {"3.14.15"}},
      {"1.", {"1."}},
      {".5", {".", "5"}},
      {"a b", {"a", " ", "b"}},
      {"AB_cd-9", {"AB", "_", "cd", "-", "9"}},
      {"!?", {"!", "?"}},
      {"a\r\nb", {"a", "\r", "\n", "b"}},
      {"Z9.9", {"Z9", ".", "9"}},
  };
  for (const CutCase& c : cases) {
    EXPECT_EQ(Cut(c.sentence), c.words) << c.sentence;
  }
}

TEST_F(HMMSegmentTest, NonAsciiRunsGoToTheModel) {
  const std::vector<CutCase> cases = {
      {"", {}},
      {"中国人", {"中国", "人"}},
      {"中华国", {"中华国"}},
      {"人的", {"人", "的"}},
      {"中国的北京", {"中国", "的", "北京"}},
      {"中国abc人", {"中国", "abc", "人"}},
      {"a中b", {"a", "中", "b"}},
      {"中国，北京", {"中国", "，", "北京"}},
      // Nothing emits these: one word per character.
      {"天地", {"天", "地"}},
      // After a character nothing emits, every state falls back to E.
      {"中国天北京", {"中国", "天", "北", "京"}},
      // Letters outside ASCII are no letters for the token rules.
      {"café", {"caf", "é"}},
      {"aé1", {"a", "é", "1"}},
      {"ＡＢ", {"Ａ", "Ｂ"}},
  };
  for (const CutCase& c : cases) {
    EXPECT_EQ(Cut(c.sentence), c.words) << c.sentence;
  }
}

TEST_F(HMMSegmentTest, LongRunsDecodeLikeShortOnes) {
  // 128 characters fit the inline tables; the others do not.
  for (size_t pairs : {1, 63, 64, 65, 300}) {
    EXPECT_EQ(Cut(Repeat("中国", pairs)), Words(pairs, "中国")) << pairs;
  }
  EXPECT_EQ(Cut(Repeat("天", 200)), Words(200, "天"));
  EXPECT_EQ(Viterbi(segment_, Repeat("天", 129)), std::vector<size_t>(129, HMMModel::E));
}

TEST_F(HMMSegmentTest, UndecodableSentenceGivesNoWords) {
  Words words = {"stale"};
  testing::internal::CaptureStderr();
  segment_.Cut("中国\xE4\xB8", words);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(words.empty());
  EXPECT_NE(err.find(" ERROR decode failed. \n"), std::string::npos) << err;
}

TEST_F(HMMSegmentTest, WordsCarryTheirOffsets) {
  std::vector<Word> words(1, Word("stale", 9));
  segment_.Cut("ab中国 人", words);
  ASSERT_EQ(words.size(), 4u);
  const struct {
    const char* word;
    uint32_t offset, unicode_offset, unicode_length;
  } expected[] = {{"ab", 0, 0, 2}, {"中国", 2, 2, 2}, {" ", 8, 4, 1}, {"人", 9, 5, 1}};
  for (size_t i = 0; i < 4; i++) {
    EXPECT_EQ(words[i].word, expected[i].word);
    EXPECT_EQ(words[i].offset, expected[i].offset) << i;
    EXPECT_EQ(words[i].unicode_offset, expected[i].unicode_offset) << i;
    EXPECT_EQ(words[i].unicode_length, expected[i].unicode_length) << i;
  }
}

TEST_F(HMMSegmentTest, RangeCutAppends) {
  const std::string text = "中国x北";
  RuneStrArray runes;
  ASSERT_TRUE(DecodeRunesInString(text, runes));
  std::vector<WordRange> res(1, WordRange(runes.begin(), runes.begin()));
  segment_.Cut(runes.begin(), runes.end(), res);
  ASSERT_EQ(res.size(), 4u);
  EXPECT_EQ(res[1].left, runes.begin());
  EXPECT_EQ(res[1].right, runes.begin() + 1);
  EXPECT_EQ(res[2].left, runes.begin() + 2);
  EXPECT_EQ(res[2].right, runes.begin() + 2);
  EXPECT_EQ(res[3].left, runes.begin() + 3);
  EXPECT_EQ(res[3].right, runes.begin() + 3);
}

TEST_F(HMMSegmentTest, ViterbiStates) {
  const size_t B = HMMModel::B, E = HMMModel::E, M = HMMModel::M, S = HMMModel::S;
  EXPECT_EQ(Viterbi(segment_, "中华国的"), (std::vector<size_t>{B, M, E, S}));
  EXPECT_EQ(Viterbi(segment_, "人"), (std::vector<size_t>{S}));
  EXPECT_EQ(Viterbi(segment_, "天地天"), (std::vector<size_t>{E, E, E}));
  // An empty range has no states and reads nothing.
  RuneStrArray none;
  std::vector<size_t> status(3, B);
  segment_.Viterbi(none.begin(), none.end(), status);
  EXPECT_TRUE(status.empty());
  std::vector<WordRange> res;
  segment_.Cut(none.begin(), none.end(), res);
  EXPECT_TRUE(res.empty());
}

TEST_F(HMMSegmentTest, ViterbiTieRules) {
  const size_t B = HMMModel::B, E = HMMModel::E;
  // B and S reach E at 甲乙 with the same score: the smaller state, B, wins.
  HMMModel predecessor(kFixtures + "/hmm_tie_predecessor.utf8");
  HMMSegment by_predecessor(&predecessor);
  EXPECT_EQ(Viterbi(by_predecessor, "甲乙"), (std::vector<size_t>{B, E}));
  Words words;
  by_predecessor.Cut("甲乙", words);
  EXPECT_EQ(words, Words{"甲乙"});

  // B-E and S-S end with the same score: the run ends in E.
  HMMModel final_state(kFixtures + "/hmm_tie_final.utf8");
  HMMSegment by_final_state(&final_state);
  EXPECT_EQ(Viterbi(by_final_state, "甲乙"), (std::vector<size_t>{B, E}));
  by_final_state.Cut("甲乙", words);
  EXPECT_EQ(words, Words{"甲乙"});
}

TEST(HMMSegmentOwnershipTest, OwnsTheModelItLoads) {
  std::unique_ptr<HMMSegment> owner(new HMMSegment(kFixtures + "/hmm_model.utf8"));
  HMMSegment copy(*owner);
  HMMSegment assigned(kFixtures + "/hmm_tie_final.utf8");
  assigned = *owner;
  owner.reset();  // the copies must not share the deleted model
  Words words;
  copy.Cut("中国人", words);
  EXPECT_EQ(words, (Words{"中国", "人"}));
  assigned.Cut("中国人", words);
  EXPECT_EQ(words, (Words{"中国", "人"}));
}

TEST(HMMSegmentOwnershipTest, MissingModelThrows) {
  const std::string path = kFixtures + "/hmm_no_such_model.utf8";
  testing::internal::CaptureStderr();
  try {
    HMMSegment segment(path);
    ADD_FAILURE() << "constructed";
  } catch (const limonp::FatalError& e) {
    EXPECT_EQ(std::string(e.what()), "exp: [ifile.is_open()] false. open " + path + " failed");
  }
  testing::internal::GetCapturedStderr();
}

}  // namespace
}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda
