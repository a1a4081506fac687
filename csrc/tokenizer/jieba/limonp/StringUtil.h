// Byte-string helpers of the segmentation engine. None of
// them knows about UTF-8.
#ifndef VORDA_TYPING_TEXT_LIMONP_STRING_UTIL_H_
#define VORDA_TYPING_TEXT_LIMONP_STRING_UTIL_H_

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace vorda {
namespace typing {
namespace text {
namespace limonp {

// Splits src at every byte that occurs in pattern (a set of separator bytes).
// Adjacent separators give an empty field, a leading separator an empty first
// field, a trailing separator no empty last field; at most maxsplit splits.
inline void Split(const std::string& src, std::vector<std::string>& res, const std::string& pattern,
                  size_t maxsplit = std::string::npos) {
  res.clear();
  size_t start = 0;
  const size_t len = src.size();
  while (start < len) {
    size_t end = src.find_first_of(pattern, start);
    if (std::string::npos == end || res.size() >= maxsplit) {
      res.emplace_back(src, start, std::string::npos);
      return;
    }
    res.emplace_back(src, start, end - start);
    start = end + 1;
  }
}

inline std::vector<std::string> Split(const std::string& src, const std::string& pattern,
                                      size_t maxsplit = std::string::npos) {
  std::vector<std::string> res;
  Split(src, res, pattern, maxsplit);
  return res;
}

inline bool IsSpace(unsigned c) {
  // isspace is defined only for values of unsigned char (and EOF).
  return c > 0xff ? false : std::isspace(static_cast<int>(c)) != 0;
}

namespace internal {
// Each byte as a signed char widened to unsigned: bytes 0x80 and above arrive
// above 0xFF and are never whitespace.
inline bool IsSpaceByte(char c) {
  return IsSpace(static_cast<unsigned>(static_cast<int>(static_cast<signed char>(c))));
}
}  // namespace internal

inline std::string& RTrim(std::string& s) {
  size_t n = s.size();
  while (n > 0 && internal::IsSpaceByte(s[n - 1])) {
    --n;
  }
  s.erase(n);
  return s;
}

inline std::string& LTrim(std::string& s) {
  size_t n = 0;
  while (n < s.size() && internal::IsSpaceByte(s[n])) {
    ++n;
  }
  s.erase(0, n);
  return s;
}

inline std::string& Trim(std::string& s) { return LTrim(RTrim(s)); }

// Whether s can be given to the system as a file name: the system reads a
// name only up to its first NUL byte, so a name holding one would open some
// other file, and the loaders refuse to open it at all.
inline bool IsFileName(const std::string& s) { return s.find('\0') == std::string::npos; }

inline bool StartsWith(const std::string& str, const std::string& prefix) {
  if (prefix.size() > str.size()) {
    return false;
  }
  return 0 == str.compare(0, prefix.size(), prefix);
}

}  // namespace limonp
}  // namespace text
}  // namespace typing
}  // namespace vorda

#endif  // VORDA_TYPING_TEXT_LIMONP_STRING_UTIL_H_
