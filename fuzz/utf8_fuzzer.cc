// The lenient UTF-8 decoder, the separator set and the pre-filter on
// arbitrary bytes. Decoding fails exactly on a cut-off sequence or a lead byte
// F8 to FF; otherwise the characters tile the input, and the pieces of the
// pre-filter tile the characters, each separator a piece of its own.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "fuzz/fuzz_support.h"
#include "tokenizer/jieba/PreFilter.h"
#include "tokenizer/jieba/SegmentBase.h"
#include "tokenizer/jieba/Unicode.h"

using namespace vorda::typing::text::jieba;

namespace {

// Exposes the separator set that SegmentBase keeps for its segmenters.
class Separators : public SegmentBase {
 public:
  void Cut(const std::string&, std::vector<std::string>& words) const override { words.clear(); }
  const std::unordered_set<Rune>& Set() const { return symbols_; }
};

// Bytes a lead byte takes, 0 for one that cannot lead.
size_t SequenceLength(uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead <= 0xDF) return 2;
  if (lead <= 0xEF) return 3;
  if (lead <= 0xF7) return 4;
  return 0;
}

// Whether the input decodes, told without the decoder.
bool Decodable(const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size;) {
    const size_t n = SequenceLength(data[i]);
    if (n == 0 || n > size - i) return false;
    i += n;
  }
  return true;
}

// The bytes of a rune in the form of the given length; the decoder keeps the
// low bits of every byte, so a well-formed sequence comes back unchanged.
std::string Encode(Rune rune, uint32_t len) {
  static const uint8_t kLead[] = {0, 0x00, 0xC0, 0xE0, 0xF0};
  std::string bytes(len, '\0');
  for (uint32_t k = len - 1; k > 0; k--) {
    bytes[k] = static_cast<char>(0x80 | (rune & 0x3F));
    rune >>= 6;
  }
  bytes[0] = static_cast<char>(kLead[len] | rune);
  return bytes;
}

bool WellFormed(const uint8_t* bytes, uint32_t len) {
  if (len > 1 && bytes[0] < 0xC0) return false;  // a stray continuation byte as lead
  for (uint32_t k = 1; k < len; k++) {
    if ((bytes[k] & 0xC0) != 0x80) return false;
  }
  return true;
}

void CheckDecoding(const uint8_t* data, size_t size, const std::string& text, RuneStrArray& runes) {
  const bool ok = DecodeRunesInString(text, runes);
  FUZZ_CHECK(ok == Decodable(data, size));
  if (!ok) {
    FUZZ_CHECK(runes.empty());
  } else {
    uint32_t offset = 0;
    for (size_t k = 0; k < runes.size(); k++) {
      const RuneStr& r = runes[k];
      FUZZ_CHECK(r.offset == offset);
      FUZZ_CHECK(r.len == SequenceLength(data[offset]));
      FUZZ_CHECK(r.unicode_offset == k);
      FUZZ_CHECK(r.unicode_length == 1);
      FUZZ_CHECK(r.rune < (1u << 21));
      if (WellFormed(data + offset, r.len)) {
        FUZZ_CHECK(Encode(r.rune, r.len) == text.substr(offset, r.len));
      }
      offset += r.len;
    }
    FUZZ_CHECK(offset == size);
  }

  Unicode unicode;
  FUZZ_CHECK(DecodeRunesInString(text, unicode) == ok);
  FUZZ_CHECK(unicode.size() == runes.size());
  for (size_t k = 0; k < runes.size(); k++) FUZZ_CHECK(unicode[k] == runes[k].rune);

  const RuneStrLite first = DecodeRuneInString(text.data(), size);
  if (size == 0 || (ok && !runes.empty())) {
    FUZZ_CHECK(first.len == (size == 0 ? 0 : runes[0].len));
    FUZZ_CHECK(size == 0 || first.rune == runes[0].rune);
  }
}

// The pieces tile the decoded sentence; a separator is a piece of one
// character, and a run of other characters is one piece that stops only at a
// separator or the end.
void CheckPieces(const std::unordered_set<Rune>& symbols, const std::string& text,
                 const RuneStrArray& runes) {
  PreFilter filter(symbols, text);
  size_t next = 0;
  bool after_run = false;
  while (filter.HasNext()) {
    const PreFilter::Range piece = filter.Next();
    FUZZ_CHECK(piece.begin < piece.end);
    const bool separator = symbols.count(piece.begin->rune) != 0;
    if (after_run) FUZZ_CHECK(separator);
    if (separator) FUZZ_CHECK(piece.end - piece.begin == 1);
    for (auto it = piece.begin; it != piece.end; ++it, ++next) {
      FUZZ_CHECK(next < runes.size());
      FUZZ_CHECK(it->rune == runes[next].rune && it->offset == runes[next].offset);
      if (!separator) FUZZ_CHECK(symbols.count(it->rune) == 0);
    }
    after_run = !separator;
  }
  FUZZ_CHECK(next == runes.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vivividodor_fuzz::SilenceEngineLog();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  RuneStrArray runes;
  CheckDecoding(data, size, text, runes);

  static const Separators defaults;
  CheckPieces(defaults.Set(), text, runes);

  // Up to seven bytes after the first, as many as the first byte says, as a
  // separator set of their own.
  const std::string chosen = size == 0 ? std::string() : text.substr(1, data[0] % 8);
  Separators custom;
  RuneStrArray chosen_runes;
  const bool decodes = DecodeRunesInString(chosen, chosen_runes);
  std::unordered_set<Rune> distinct;
  bool repeated = false;
  for (const RuneStr& r : chosen_runes) repeated = !distinct.insert(r.rune).second || repeated;
  const bool reset = custom.ResetSeparators(chosen);
  FUZZ_CHECK(reset == (decodes && !repeated));
  if (reset) FUZZ_CHECK(custom.Set() == distinct);
  CheckPieces(custom.Set(), text, runes);
  return 0;
}
