// Runes and words: the character-level types shared by the
// segmenters, the lenient UTF-8 decoder and the conversion of rune ranges
// back into words of the input text.
#ifndef VORDA_TYPING_TEXT_JIEBA_UNICODE_H_
#define VORDA_TYPING_TEXT_JIEBA_UNICODE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tokenizer/jieba/limonp/LocalVector.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {

typedef uint32_t Rune;

struct RuneStr {
  Rune rune;
  uint32_t offset;
  uint32_t len;
  uint32_t unicode_offset;
  uint32_t unicode_length;
  RuneStr() : rune(0), offset(0), len(0), unicode_offset(0), unicode_length(0) {}
  RuneStr(Rune r, uint32_t o, uint32_t l)
      : rune(r), offset(o), len(l), unicode_offset(0), unicode_length(0) {}
  RuneStr(Rune r, uint32_t o, uint32_t l, uint32_t uo, uint32_t ul)
      : rune(r), offset(o), len(l), unicode_offset(uo), unicode_length(ul) {}
};

typedef limonp::LocalVector<Rune> Unicode;
typedef limonp::LocalVector<RuneStr> RuneStrArray;

// The result of decoding one character; len 0 means failure.
struct RuneStrLite {
  uint32_t rune;
  uint32_t len;
  RuneStrLite() : rune(0), len(0) {}
  RuneStrLite(uint32_t r, uint32_t l) : rune(r), len(l) {}
};

// A word as the inclusive range [left, right] of a RuneStrArray.
struct WordRange {
  RuneStrArray::const_iterator left;
  RuneStrArray::const_iterator right;
  WordRange(RuneStrArray::const_iterator l, RuneStrArray::const_iterator r) : left(l), right(r) {}
  size_t Length() const { return static_cast<size_t>(right - left) + 1; }
  bool IsAllAscii() const {
    for (RuneStrArray::const_iterator iter = left; iter <= right; ++iter) {
      if (iter->rune >= 0x80) {
        return false;
      }
    }
    return true;
  }
};

// A word cut out of the input text, with its byte and character positions.
struct Word {
  std::string word;
  uint32_t offset;
  uint32_t unicode_offset;
  uint32_t unicode_length;
  Word(const std::string& w, uint32_t o)
      : word(w), offset(o), unicode_offset(0), unicode_length(0) {}
  Word(const std::string& w, uint32_t o, uint32_t unicode_offset, uint32_t unicode_length)
      : word(w), offset(o), unicode_offset(unicode_offset), unicode_length(unicode_length) {}
  Word(const Word&) = default;
  Word(Word&&) noexcept = default;
  Word& operator=(const Word&) = default;
  Word& operator=(Word&&) noexcept = default;
};

// Offsets are 32-bit: a string to decode must be shorter than 2^32 bytes.
// Longer input is refused (the decoders return false) rather than wrapped.
inline bool IsDecodableLength(size_t len) {
  return static_cast<unsigned long long>(len) <= 0xFFFFFFFFull;
}

inline RuneStrLite DecodeRuneInString(const char* str, size_t len) {
  RuneStrLite rp(0, 0);
  if (str == nullptr || len == 0) {
    return rp;
  }
  const unsigned char* s = reinterpret_cast<const unsigned char*>(str);
  const uint32_t b0 = s[0];
  if (!(b0 & 0x80)) {  // 0xxxxxxx
    rp.rune = b0 & 0x7f;
    rp.len = 1;
  } else if (b0 <= 0xdf && len >= 2) {  // 110xxxxx, and stray 10xxxxxx
    rp.rune = ((b0 & 0x1f) << 6) | (s[1] & 0x3f);
    rp.len = 2;
  } else if (b0 >= 0xe0 && b0 <= 0xef && len >= 3) {  // 1110xxxx
    rp.rune = ((b0 & 0x0f) << 12) | ((s[1] & 0x3fu) << 6) | (s[2] & 0x3f);
    rp.len = 3;
  } else if (b0 >= 0xf0 && b0 <= 0xf7 && len >= 4) {  // 11110xxx
    rp.rune = ((b0 & 0x07) << 18) | ((s[1] & 0x3fu) << 12) | ((s[2] & 0x3fu) << 6) | (s[3] & 0x3f);
    rp.len = 4;
  } else {
    rp.rune = 0;
    rp.len = 0;
  }
  return rp;
}

inline bool DecodeRunesInString(const char* s, size_t len, RuneStrArray& runes) {
  runes.clear();
  if (!IsDecodableLength(len)) {
    return false;
  }
  runes.reserve(len / 2);
  for (uint32_t i = 0, j = 0; i < len;) {
    RuneStrLite rp = DecodeRuneInString(s + i, len - i);
    if (rp.len == 0) {
      runes.clear();
      return false;
    }
    runes.push_back(RuneStr(rp.rune, i, rp.len, j, 1));
    i += rp.len;
    ++j;
  }
  return true;
}

inline bool DecodeRunesInString(const std::string& s, RuneStrArray& runes) {
  return DecodeRunesInString(s.data(), s.size(), runes);
}

inline bool DecodeRunesInString(const char* s, size_t len, Unicode& unicode) {
  unicode.clear();
  RuneStrArray runes;
  if (!DecodeRunesInString(s, len, runes)) {
    return false;
  }
  unicode.reserve(runes.size());
  for (RuneStrArray::const_iterator iter = runes.begin(); iter != runes.end(); ++iter) {
    unicode.push_back(iter->rune);
  }
  return true;
}

inline bool DecodeRunesInString(const std::string& s, Unicode& unicode) {
  return DecodeRunesInString(s.data(), s.size(), unicode);
}

inline Word GetWordFromRunes(const std::string& s, RuneStrArray::const_iterator left,
                             RuneStrArray::const_iterator right) {
  uint32_t len = right->offset - left->offset + right->len;
  uint32_t unicode_length = right->unicode_offset - left->unicode_offset + right->unicode_length;
  return Word(s.substr(left->offset, len), left->offset, left->unicode_offset, unicode_length);
}

inline void GetWordsFromWordRanges(const std::string& s, const std::vector<WordRange>& wrs,
                                   std::vector<Word>& words) {
  for (size_t i = 0; i < wrs.size(); i++) {
    words.push_back(GetWordFromRunes(s, wrs[i].left, wrs[i].right));
  }
}

// Replaces strs with the texts of the ranges, skipping the Word records.
inline void GetStringsFromWordRanges(const std::string& s, const std::vector<WordRange>& wrs,
                                     std::vector<std::string>& strs) {
  strs.resize(wrs.size());
  for (size_t i = 0; i < wrs.size(); ++i) {
    const WordRange& wr = wrs[i];
    strs[i].assign(s, wr.left->offset, wr.right->offset + wr.right->len - wr.left->offset);
  }
}

inline void GetStringsFromWords(const std::vector<Word>& words, std::vector<std::string>& strs) {
  strs.resize(words.size());
  for (size_t i = 0; i < words.size(); ++i) {
    strs[i] = words[i].word;
  }
}

}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda

#endif  // VORDA_TYPING_TEXT_JIEBA_UNICODE_H_
