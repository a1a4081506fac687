// Tests of the dictionary trie.
#include "tokenizer/jieba/Trie.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

using std::string;
using std::vector;
using namespace vorda::typing::text::jieba;

namespace {

typedef std::pair<size_t, const DictUnit*> Candidate;

Unicode U(const string& s) {
  Unicode u;
  EXPECT_TRUE(DecodeRunesInString(s, u)) << s;
  return u;
}

DictUnit Unit(const string& word, double weight, const string& tag = "") {
  DictUnit unit;
  unit.word = U(word);
  unit.weight = weight;
  unit.tag = tag;
  return unit;
}

vector<Candidate> Nexts(const Dag& dag) {
  return vector<Candidate>(dag.nexts.begin(), dag.nexts.end());
}

// Words AB, ABC and B; A, B, C, D stand for CJK runes.
class ABTrieTest : public testing::Test {
 protected:
  const string A = "\xE4\xB8\xAD";  // U+4E2D
  const string B = "\xE5\x9B\xBD";  // U+56FD
  const string C = "\xE4\xBA\xBA";  // U+4EBA
  const string D = "d";

  void SetUp() override {
    units_ = {Unit(A + B, -1.0), Unit(A + B + C, -2.0), Unit(B, -3.0)};
    vector<Unicode> keys;
    vector<const DictUnit*> values;
    for (const DictUnit& u : units_) {
      keys.push_back(u.word);
      values.push_back(&u);
    }
    trie_.reset(new Trie(keys, values));
    ASSERT_TRUE(DecodeRunesInString(A + B + C + D, sentence_));
  }

  const DictUnit* Lookup(const string& s) const {
    RuneStrArray runes;
    EXPECT_TRUE(DecodeRunesInString(s, runes));
    return trie_->Find(runes.begin(), runes.end());
  }

  vector<DictUnit> units_;
  std::unique_ptr<Trie> trie_;
  RuneStrArray sentence_;
};

TEST_F(ABTrieTest, CandidatesByMaxWordLength) {
  const DictUnit* ab = &units_[0];
  const DictUnit* abc = &units_[1];
  const DictUnit* b = &units_[2];
  struct Case {
    size_t max_word_len;
    vector<vector<Candidate>> expected;
  };
  const vector<Case> cases = {
      {512, {{{0, nullptr}, {1, ab}, {2, abc}}, {{1, b}}, {{2, nullptr}}, {{3, nullptr}}}},
      {3, {{{0, nullptr}, {1, ab}, {2, abc}}, {{1, b}}, {{2, nullptr}}, {{3, nullptr}}}},
      {2, {{{0, nullptr}, {1, ab}}, {{1, b}}, {{2, nullptr}}, {{3, nullptr}}}},
      {1, {{{0, nullptr}}, {{1, b}}, {{2, nullptr}}, {{3, nullptr}}}},
      {0, {{{0, nullptr}}, {{1, b}}, {{2, nullptr}}, {{3, nullptr}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("max_word_len=" + std::to_string(c.max_word_len));
    vector<Dag> dags;
    trie_->Find(sentence_.begin(), sentence_.end(), dags, c.max_word_len);
    ASSERT_EQ(dags.size(), 4u);
    for (size_t i = 0; i < dags.size(); ++i) {
      EXPECT_EQ(Nexts(dags[i]), c.expected[i]) << "position " << i;
      EXPECT_EQ(dags[i].runestr.rune, sentence_[i].rune);
      EXPECT_EQ(dags[i].runestr.offset, sentence_[i].offset);
      EXPECT_EQ(dags[i].pInfo, nullptr);
      EXPECT_EQ(dags[i].weight, 0.0);
      EXPECT_EQ(dags[i].nextPos, 0u);
    }
  }
}

TEST_F(ABTrieTest, DefaultMaxWordLengthIs512) {
  EXPECT_EQ(MAX_WORD_LENGTH, 512u);
  vector<Dag> dags;
  trie_->Find(sentence_.begin(), sentence_.end(), dags);
  ASSERT_EQ(dags.size(), 4u);
  EXPECT_EQ(dags[0].nexts.size(), 3u);
}

TEST_F(ABTrieTest, SubRangeIndexesAreRelativeToBegin) {
  vector<Dag> dags;
  trie_->Find(sentence_.begin() + 1, sentence_.end(), dags);
  ASSERT_EQ(dags.size(), 3u);
  EXPECT_EQ(Nexts(dags[0]), (vector<Candidate>{{0, &units_[2]}}));
  EXPECT_EQ(Nexts(dags[1]), (vector<Candidate>{{1, nullptr}}));
  // The range ends before C: AB is found, ABC is not.
  trie_->Find(sentence_.begin(), sentence_.begin() + 2, dags);
  ASSERT_EQ(dags.size(), 2u);
  EXPECT_EQ(Nexts(dags[0]), (vector<Candidate>{{0, nullptr}, {1, &units_[0]}}));
}

TEST_F(ABTrieTest, EmptyRange) {
  vector<Dag> dags;
  trie_->Find(sentence_.begin(), sentence_.begin(), dags);
  EXPECT_TRUE(dags.empty());
  EXPECT_EQ(trie_->Find(sentence_.begin(), sentence_.begin()), nullptr);
}

TEST_F(ABTrieTest, ExactLookup) {
  EXPECT_EQ(Lookup(A), nullptr);  // prefix only
  EXPECT_EQ(Lookup(A + B), &units_[0]);
  EXPECT_EQ(Lookup(A + B + C), &units_[1]);
  EXPECT_EQ(Lookup(B), &units_[2]);
  EXPECT_EQ(Lookup(A + B + D), nullptr);
  EXPECT_EQ(Lookup(A + B + C + D), nullptr);
  EXPECT_EQ(Lookup(C), nullptr);
  EXPECT_EQ(Lookup(D), nullptr);
}

TEST(TrieTest, LaterInsertionOfSameWordWins) {
  DictUnit first = Unit("ab", -1.0, "n");
  DictUnit second = Unit("ab", -2.0, "v");
  Trie trie({first.word, second.word}, {&first, &second});
  RuneStrArray runes;
  ASSERT_TRUE(DecodeRunesInString("ab", runes));
  EXPECT_EQ(trie.Find(runes.begin(), runes.end()), &second);
}

TEST(TrieTest, EmptyWordChangesNothing) {
  DictUnit empty;
  empty.weight = 0.0;
  DictUnit a = Unit("a", -1.0);
  Trie trie({empty.word, a.word}, {&empty, &a});
  trie.InsertNode(Unicode(), &empty);
  RuneStrArray runes;
  ASSERT_TRUE(DecodeRunesInString("ab", runes));
  vector<Dag> dags;
  trie.Find(runes.begin(), runes.end(), dags);
  EXPECT_EQ(Nexts(dags[0]), (vector<Candidate>{{0, &a}}));
  EXPECT_EQ(Nexts(dags[1]), (vector<Candidate>{{1, nullptr}}));
  EXPECT_EQ(trie.Find(runes.begin(), runes.begin()), nullptr);
}

TEST(TrieTest, EmptyTrie) {
  Trie trie({}, {});
  RuneStrArray runes;
  ASSERT_TRUE(DecodeRunesInString("xyz", runes));
  vector<Dag> dags;
  trie.Find(runes.begin(), runes.end(), dags);
  ASSERT_EQ(dags.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Nexts(dags[i]), (vector<Candidate>{{i, nullptr}}));
  EXPECT_EQ(trie.Find(runes.begin(), runes.end()), nullptr);
}

// Many children under the root and under one inner node, so that the child
// maps grow through several sizes; every word must still be found, and no
// absent one.
TEST(TrieTest, WideFanOut) {
  vector<DictUnit> units;
  for (Rune r = 0x4E00; r < 0x4E00 + 3000; ++r) {
    DictUnit u;
    u.word.push_back(r);
    u.weight = -1.0;
    units.push_back(u);
    DictUnit pair_unit;
    pair_unit.word.push_back(0x4E00);
    pair_unit.word.push_back(r);
    pair_unit.weight = -2.0;
    units.push_back(pair_unit);
  }
  DictUnit zero;  // rune 0 is a key like any other
  zero.word.push_back(0);
  zero.weight = -3.0;
  units.push_back(zero);
  vector<Unicode> keys;
  vector<const DictUnit*> values;
  for (const DictUnit& u : units) {
    keys.push_back(u.word);
    values.push_back(&u);
  }
  Trie trie(keys, values);
  for (const DictUnit& u : units) {
    RuneStrArray runes;
    for (size_t i = 0; i < u.word.size(); ++i) runes.push_back(RuneStr(u.word[i], 0, 1, 0, 1));
    EXPECT_EQ(trie.Find(runes.begin(), runes.end()), &u);
  }
  RuneStrArray absent;
  absent.push_back(RuneStr(0x4E00 + 3000, 0, 3, 0, 1));
  EXPECT_EQ(trie.Find(absent.begin(), absent.end()), nullptr);
  absent.clear();
  absent.push_back(RuneStr(0x4E01, 0, 3, 0, 1));
  absent.push_back(RuneStr(0x4E01, 3, 3, 1, 1));
  EXPECT_EQ(trie.Find(absent.begin(), absent.end()), nullptr);
}

TEST(TrieTest, LongWordAndManyCandidates) {
  // A word of 600 runes is found by the exact lookup but, being longer than
  // 512, never listed as a candidate. Its 599 prefixes of 2 runes and more
  // make more than 16 candidates at position 0.
  vector<DictUnit> units;
  units.reserve(600);
  for (size_t len = 1; len <= 600; ++len) {
    DictUnit u;
    for (size_t i = 0; i < len; ++i) u.word.push_back('a');
    u.weight = -1.0;
    units.push_back(u);
  }
  vector<Unicode> keys;
  vector<const DictUnit*> values;
  for (const DictUnit& u : units) {
    keys.push_back(u.word);
    values.push_back(&u);
  }
  Trie trie(keys, values);
  RuneStrArray runes;
  ASSERT_TRUE(DecodeRunesInString(string(600, 'a'), runes));
  EXPECT_EQ(trie.Find(runes.begin(), runes.end()), &units[599]);
  vector<Dag> dags;
  trie.Find(runes.begin(), runes.end(), dags);
  ASSERT_EQ(dags.size(), 600u);
  ASSERT_EQ(dags[0].nexts.size(), 512u);
  for (size_t j = 0; j < 512; ++j) {
    EXPECT_EQ(dags[0].nexts[j].first, j);
    EXPECT_EQ(dags[0].nexts[j].second, &units[j]);
  }
  EXPECT_EQ(dags[599].nexts.size(), 1u);
  EXPECT_EQ(dags[100].nexts.size(), 500u);
}

TEST(DagTest, Defaults) {
  Dag dag;
  EXPECT_EQ(dag.runestr.rune, 0u);
  EXPECT_TRUE(dag.nexts.empty());
  EXPECT_EQ(dag.pInfo, nullptr);
  EXPECT_EQ(dag.weight, 0.0);
  EXPECT_EQ(dag.nextPos, 0u);
}

}  // namespace
