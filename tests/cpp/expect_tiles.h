// Shared check of the segmenter tests: the words of a cut tile the sentence.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tokenizer/jieba/Unicode.h"

namespace vorda::typing::text::jieba {

// In order, no gap, no overlap, byte and character offsets consistent.
inline void ExpectTiles(const std::string& sentence, const std::vector<Word>& words) {
  RuneStrArray runes;
  ASSERT_TRUE(DecodeRunesInString(sentence, runes));
  std::string joined;
  uint32_t runes_seen = 0;
  for (const Word& word : words) {
    EXPECT_FALSE(word.word.empty());
    EXPECT_EQ(word.offset, joined.size());
    EXPECT_EQ(word.unicode_offset, runes_seen);
    joined += word.word;
    runes_seen += word.unicode_length;
  }
  EXPECT_EQ(joined, sentence);
  EXPECT_EQ(runes_seen, runes.size());
}

}  // namespace vorda::typing::text::jieba
