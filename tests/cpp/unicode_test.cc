// Tests of runes, the lenient UTF-8 decoder and words.
#include "tokenizer/jieba/Unicode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using std::string;
using std::vector;
using namespace vorda::typing::text::jieba;

namespace {

struct Expected {
  Rune rune;
  uint32_t offset;
  uint32_t len;
};

struct DecodeCase {
  const char* name;
  string input;
  bool ok;
  vector<Expected> runes;  // unicode_offset is the index, unicode_length 1
};

TEST(DecodeRunesTest, ByteLevelTable) {
  const vector<DecodeCase> cases = {
      {"empty", "", true, {}},
      {"ascii", "ab", true, {{0x61, 0, 1}, {0x62, 1, 1}}},
      {"mixed",
       "a\xE4\xB8\xAD"
       "b",
       true,
       {{0x61, 0, 1}, {0x4E2D, 1, 3}, {0x62, 4, 1}}},
      {"two byte", "\xC3\xA9", true, {{0xE9, 0, 2}}},
      {"four byte", "\xF0\x9F\x98\x80", true, {{0x1F600, 0, 4}}},
      {"nul byte", string("a\0b", 3), true, {{0x61, 0, 1}, {0, 1, 1}, {0x62, 2, 1}}},
      {"stray continuation", "\x80\x41", true, {{0x01, 0, 2}}},
      {"bad continuation 2", "\xC3\x41", true, {{0xC1, 0, 2}}},
      {"bad continuation 3", "\xE4\x41\x42", true, {{0x4042, 0, 3}}},
      {"overlong", "\xC0\xAF", true, {{0x2F, 0, 2}}},
      {"surrogate", "\xED\xA0\x80", true, {{0xD800, 0, 3}}},
      {"F7 lead", "\xF7\xBF\xBF\xBF", true, {{0x1FFFFF, 0, 4}}},
      {"truncated 3 of 1", "a\xE4", false, {}},
      {"truncated 3 of 2", "a\xE4\xB8", false, {}},
      {"truncated 2", "\xC3", false, {}},
      {"truncated 4 of 3", "\xF0\x9F\x98", false, {}},
      {"F8 lead",
       "a\xF8"
       "bcde",
       false,
       {}},
      {"FF lead", "\xFF", false, {}},
      {"FE after valid", "\xE4\xB8\xAD\xFE", false, {}},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    RuneStrArray runes;
    runes.push_back(RuneStr(9, 9, 9, 9, 9));  // replaced, not appended to
    EXPECT_EQ(DecodeRunesInString(c.input, runes), c.ok);
    ASSERT_EQ(runes.size(), c.runes.size());
    for (size_t i = 0; i < c.runes.size(); ++i) {
      EXPECT_EQ(runes[i].rune, c.runes[i].rune) << i;
      EXPECT_EQ(runes[i].offset, c.runes[i].offset) << i;
      EXPECT_EQ(runes[i].len, c.runes[i].len) << i;
      EXPECT_EQ(runes[i].unicode_offset, i) << i;
      EXPECT_EQ(runes[i].unicode_length, 1u) << i;
    }

    Unicode unicode;
    unicode.push_back(42);
    EXPECT_EQ(DecodeRunesInString(c.input.data(), c.input.size(), unicode), c.ok);
    ASSERT_EQ(unicode.size(), c.runes.size());
    for (size_t i = 0; i < c.runes.size(); ++i) {
      EXPECT_EQ(unicode[i], c.runes[i].rune) << i;
    }
  }
}

TEST(DecodeRuneTest, SingleCharacter) {
  RuneStrLite r = DecodeRuneInString(
      "\xE4\xB8\xAD"
      "x",
      4);
  EXPECT_EQ(r.rune, 0x4E2Du);
  EXPECT_EQ(r.len, 3u);
  r = DecodeRuneInString(nullptr, 3);
  EXPECT_EQ(r.len, 0u);
  EXPECT_EQ(r.rune, 0u);
  r = DecodeRuneInString("a", 0);
  EXPECT_EQ(r.len, 0u);
  r = DecodeRuneInString("\xE4\xB8", 2);
  EXPECT_EQ(r.len, 0u);
  EXPECT_EQ(r.rune, 0u);
}

TEST(DecodeRunesTest, LongTextTilesTheInput) {
  string s;
  for (int i = 0; i < 100; ++i)
    s += "\xE4\xB8\xAD"
         "a";
  RuneStrArray runes;
  ASSERT_TRUE(DecodeRunesInString(s, runes));
  ASSERT_EQ(runes.size(), 200u);
  uint32_t offset = 0;
  for (size_t i = 0; i < runes.size(); ++i) {
    EXPECT_EQ(runes[i].offset, offset);
    EXPECT_EQ(runes[i].unicode_offset, i);
    offset += runes[i].len;
  }
  EXPECT_EQ(offset, s.size());
}

TEST(DecodeRunesTest, RefusesFourGigabytesOrMore) {
  EXPECT_TRUE(IsDecodableLength(0));
  EXPECT_TRUE(IsDecodableLength(0xFFFFFFFFull));
  EXPECT_FALSE(IsDecodableLength(static_cast<size_t>(0x100000000ull)));
  EXPECT_FALSE(IsDecodableLength(static_cast<size_t>(-1)));
  // The decoders check the length before reading a byte.
  RuneStrArray runes;
  runes.push_back(RuneStr());
  EXPECT_FALSE(DecodeRunesInString("a", static_cast<size_t>(0x100000000ull), runes));
  EXPECT_TRUE(runes.empty());
  Unicode unicode;
  EXPECT_FALSE(DecodeRunesInString("a", static_cast<size_t>(0x100000000ull), unicode));
  EXPECT_TRUE(unicode.empty());
}

TEST(WordTest, GetWordFromRunes) {
  const string s =
      "ab\xE4\xB8\xAD"
      "c";
  RuneStrArray runes;
  ASSERT_TRUE(DecodeRunesInString(s, runes));
  Word w = GetWordFromRunes(s, runes.begin() + 1, runes.begin() + 2);
  EXPECT_EQ(w.word, "b\xE4\xB8\xAD");
  EXPECT_EQ(w.offset, 1u);
  EXPECT_EQ(w.unicode_offset, 1u);
  EXPECT_EQ(w.unicode_length, 2u);

  Word last = GetWordFromRunes(s, runes.begin() + 3, runes.begin() + 3);
  EXPECT_EQ(last.word, "c");
  EXPECT_EQ(last.offset, 5u);
  EXPECT_EQ(last.unicode_offset, 3u);
  EXPECT_EQ(last.unicode_length, 1u);
}

TEST(WordTest, WordRange) {
  const string s =
      "a\xE4\xB8\xAD"
      "b";
  RuneStrArray runes;
  ASSERT_TRUE(DecodeRunesInString(s, runes));
  WordRange all(runes.begin(), runes.begin() + 2);
  EXPECT_EQ(all.Length(), 3u);
  EXPECT_FALSE(all.IsAllAscii());
  WordRange first(runes.begin(), runes.begin());
  EXPECT_EQ(first.Length(), 1u);
  EXPECT_TRUE(first.IsAllAscii());
}

TEST(WordTest, GetWordsFromWordRangesAppends) {
  const string s =
      "ab\xE4\xB8\xAD"
      "c";
  RuneStrArray runes;
  ASSERT_TRUE(DecodeRunesInString(s, runes));

  vector<Word> words;
  words.push_back(Word("old", 7));
  GetWordsFromWordRanges(s, {}, words);
  ASSERT_EQ(words.size(), 1u);
  EXPECT_EQ(words[0].word, "old");
  EXPECT_EQ(words[0].unicode_offset, 0u);

  vector<WordRange> wrs = {WordRange(runes.begin(), runes.begin() + 1),
                           WordRange(runes.begin() + 2, runes.begin() + 3)};
  GetWordsFromWordRanges(s, wrs, words);
  ASSERT_EQ(words.size(), 3u);
  EXPECT_EQ(words[1].word, "ab");
  EXPECT_EQ(words[2].word,
            "\xE4\xB8\xAD"
            "c");
  EXPECT_EQ(words[2].offset, 2u);
  EXPECT_EQ(words[2].unicode_offset, 2u);
  EXPECT_EQ(words[2].unicode_length, 2u);

  vector<string> strs = {"x", "y", "z", "w", "v"};
  GetStringsFromWords(words, strs);
  EXPECT_EQ(strs, (vector<string>{"old", "ab",
                                  "\xE4\xB8\xAD"
                                  "c"}));
  strs = {"x"};
  GetStringsFromWords(words, strs);
  EXPECT_EQ(strs.size(), 3u);
  GetStringsFromWords({}, strs);
  EXPECT_TRUE(strs.empty());
}

}  // namespace
