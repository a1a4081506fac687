#pragma once

// A small JSON library for the BM25 model file: one dynamically typed value,
// a writer with one fixed indented layout, and a lenient reader that reports
// malformed text on standard error and returns what it could read.

#include <locale.h>

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <map>
#include <ostream>
#include <stdexcept>
#include <string>

namespace vorda::typing::text::json {

namespace detail {

inline std::string json_escape(const std::string& str) {
  std::string output;
  output.reserve(str.size());
  for (char c : str) {
    switch (c) {
      case '"':
        output += "\\\"";
        break;
      case '\\':
        output += "\\\\";
        break;
      case '\b':
        output += "\\b";
        break;
      case '\f':
        output += "\\f";
        break;
      case '\n':
        output += "\\n";
        break;
      case '\r':
        output += "\\r";
        break;
      case '\t':
        output += "\\t";
        break;
      default:
        output += c;
        break;
    }
  }
  return output;
}

// Numbers are written and read with the C locale whatever the process has set,
// so a model file written under a comma-decimal locale stays readable.
class CNumericLocale {
 public:
  CNumericLocale() : previous_(uselocale(Get())) {}
  ~CNumericLocale() { uselocale(previous_); }
  CNumericLocale(const CNumericLocale&) = delete;
  CNumericLocale& operator=(const CNumericLocale&) = delete;

 private:
  // Created once and kept for the life of the process. If it cannot be made,
  // uselocale(0) leaves the thread's locale as it is.
  static locale_t Get() {
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c_locale;
  }

  locale_t previous_;
};

}  // namespace detail

class JSON {
 public:
  enum class Class {
    Null = 0,
    Object = 1,
    Array = 2,
    String = 3,
    Floating = 4,
    Integral = 5,
    Boolean = 6,
  };

  union BackingData {
    BackingData() : Int(0) {}
    explicit BackingData(double d) : Float(d) {}
    explicit BackingData(std::int64_t l) : Int(l) {}
    explicit BackingData(bool b) : Int(0) { Bool = b; }

    std::deque<JSON>* List;
    std::map<std::string, JSON>* Map;
    std::string* String;
    double Float;
    std::int64_t Int;
    bool Bool;
  };

  // Iterates a container that may be absent; an absent one is an empty range.
  template <typename Container>
  struct JSONWrapper {
    typename Container::iterator begin() {
      return object ? object->begin() : typename Container::iterator();
    }
    typename Container::iterator end() {
      return object ? object->end() : typename Container::iterator();
    }

    Container* object;
  };

  template <typename Container>
  struct JSONConstWrapper {
    typename Container::const_iterator begin() const {
      return object ? object->begin() : typename Container::const_iterator();
    }
    typename Container::const_iterator end() const {
      return object ? object->end() : typename Container::const_iterator();
    }

    const Container* object;
  };

  JSON() : Internal(), Type(Class::Null) {}
  JSON(std::nullptr_t) : JSON() {}

  JSON(const JSON& other) : Internal(), Type(Class::Null) {
    switch (other.Type) {
      case Class::Object:
        Internal.Map = new std::map<std::string, JSON>(*other.Internal.Map);
        break;
      case Class::Array:
        Internal.List = new std::deque<JSON>(*other.Internal.List);
        break;
      case Class::String:
        Internal.String = new std::string(*other.Internal.String);
        break;
      default:
        Internal = other.Internal;
        break;
    }
    Type = other.Type;
  }

  JSON(JSON&& other) noexcept : Internal(other.Internal), Type(other.Type) {
    other.Internal = BackingData();
    other.Type = Class::Null;
  }

  // Copies before releasing the old tree, so assigning a value its own member
  // (or itself) reads nothing that has been freed.
  JSON& operator=(const JSON& other) {
    if (this != &other) {
      JSON copy(other);
      *this = std::move(copy);
    }
    return *this;
  }

  // Detaches the source first: it may live inside the tree being released.
  JSON& operator=(JSON&& other) noexcept {
    if (this != &other) {
      BackingData taken = other.Internal;
      Class taken_type = other.Type;
      other.Internal = BackingData();
      other.Type = Class::Null;
      ClearInternal();
      Internal = taken;
      Type = taken_type;
    }
    return *this;
  }

  ~JSON() { ClearInternal(); }

  static JSON Make(Class type) {
    JSON ret;
    ret.SetType(type);
    return ret;
  }

  JSON& operator[](const std::string& key) {
    SetType(Class::Object);
    return (*Internal.Map)[key];
  }

  JSON& operator[](std::uint32_t index) {
    SetType(Class::Array);
    if (index >= Internal.List->size()) Internal.List->resize(std::size_t{index} + 1);
    return (*Internal.List)[index];
  }

  JSON& operator=(bool b) {
    SetType(Class::Boolean);
    Internal.Bool = b;
    return *this;
  }

  JSON& operator=(double f) {
    SetType(Class::Floating);
    Internal.Float = f;
    return *this;
  }

  JSON& operator=(std::int32_t i) { return *this = static_cast<std::int64_t>(i); }

  JSON& operator=(std::int64_t i) {
    SetType(Class::Integral);
    Internal.Int = i;
    return *this;
  }

  JSON& operator=(const std::string& s) {
    SetType(Class::String);
    *Internal.String = s;
    return *this;
  }

  // Without this a string literal would convert to bool.
  JSON& operator=(const char* s) { return *this = std::string(s); }

  // Without this nullptr would be taken for a string.
  JSON& operator=(std::nullptr_t) { return *this = JSON(); }

  JSON& at(const std::string& key) { return RequireMap().at(key); }
  const JSON& at(const std::string& key) const { return RequireMap().at(key); }
  JSON& at(std::uint32_t index) { return RequireList().at(index); }
  const JSON& at(std::uint32_t index) const { return RequireList().at(index); }

  bool hasKey(const std::string& key) const {
    return Type == Class::Object && Internal.Map->count(key) != 0;
  }

  // Element count of an array, -1 for any other kind.
  int length() const { return Type == Class::Array ? static_cast<int>(Internal.List->size()) : -1; }

  // Member count of an object or element count of an array, -1 otherwise.
  int size() const {
    if (Type == Class::Object) return static_cast<int>(Internal.Map->size());
    if (Type == Class::Array) return static_cast<int>(Internal.List->size());
    return -1;
  }

  Class JSONType() const { return Type; }
  bool IsNull() const { return Type == Class::Null; }

  std::int64_t ToInt(bool& ok) const {
    ok = Type == Class::Integral;
    return ok ? Internal.Int : 0;
  }

  double ToFloat(bool& ok) const {
    ok = Type == Class::Floating;
    return ok ? Internal.Float : 0.0;
  }

  bool ToBool(bool& ok) const {
    ok = Type == Class::Boolean;
    return ok ? Internal.Bool : false;
  }

  bool ToBool() const {
    bool ok;
    return ToBool(ok);
  }

  // The escaped text of a string, not its raw bytes.
  std::string ToString(bool& ok) const {
    ok = Type == Class::String;
    return ok ? detail::json_escape(*Internal.String) : std::string();
  }

  std::string ToString() const {
    bool ok;
    return ToString(ok);
  }

  JSONWrapper<std::map<std::string, JSON>> ObjectRange() {
    return {Type == Class::Object ? Internal.Map : nullptr};
  }

  JSONConstWrapper<std::map<std::string, JSON>> ObjectRange() const {
    return {Type == Class::Object ? Internal.Map : nullptr};
  }

  JSONWrapper<std::deque<JSON>> ArrayRange() {
    return {Type == Class::Array ? Internal.List : nullptr};
  }

  JSONConstWrapper<std::deque<JSON>> ArrayRange() const {
    return {Type == Class::Array ? Internal.List : nullptr};
  }

  std::string dump(int depth = 1, std::string tab = "  ") const {
    std::string pad;
    for (int i = 0; i < depth; ++i) pad += tab;

    switch (Type) {
      case Class::Null:
        return "null";
      case Class::Boolean:
        return Internal.Bool ? "true" : "false";
      case Class::Integral:
        return std::to_string(Internal.Int);
      case Class::Floating:
        return FormatFloat(Internal.Float);
      case Class::String:
        return "\"" + detail::json_escape(*Internal.String) + "\"";
      case Class::Array: {
        std::string s = "[";
        bool skip = true;
        for (const JSON& element : *Internal.List) {
          if (!skip) s += ", ";
          s += element.dump(depth + 1, tab);
          skip = false;
        }
        s += "]";
        return s;
      }
      case Class::Object: {
        std::string s = "{\n";
        bool skip = true;
        for (const auto& member : *Internal.Map) {
          if (!skip) s += ",\n";
          // Names are escaped like string values so that the reader, which
          // decodes them, gives back the same bytes.
          s +=
              pad + "\"" + detail::json_escape(member.first) + "\" : " + member.second.dump(depth + 1, tab);
          skip = false;
        }
        s += "\n";
        for (int i = 1; i < depth; ++i) s += tab;
        s += "}";
        return s;
      }
    }
    return "";
  }

  static JSON Load(const std::string& str);

 private:
  // Allocates the new container before freeing the old one, so a failed
  // allocation leaves the value as it was.
  void SetType(Class type) {
    if (type == Type) return;
    BackingData fresh;
    switch (type) {
      case Class::Object:
        fresh.Map = new std::map<std::string, JSON>();
        break;
      case Class::Array:
        fresh.List = new std::deque<JSON>();
        break;
      case Class::String:
        fresh.String = new std::string();
        break;
      default:
        break;
    }
    ClearInternal();
    Internal = fresh;
    Type = type;
  }

  void ClearInternal() {
    switch (Type) {
      case Class::Array:
        delete Internal.List;
        break;
      case Class::Object:
        delete Internal.Map;
        break;
      case Class::String:
        delete Internal.String;
        break;
      default:
        break;
    }
  }

  std::map<std::string, JSON>& RequireMap() const {
    if (Type != Class::Object) throw std::out_of_range("JSON::at: not an object");
    return *Internal.Map;
  }

  std::deque<JSON>& RequireList() const {
    if (Type != Class::Array) throw std::out_of_range("JSON::at: not an array");
    return *Internal.List;
  }

  // "%f": six decimals, never an exponent.
  static std::string FormatFloat(double f) {
    detail::CNumericLocale c_locale;
    char small[64];
    int n = std::snprintf(small, sizeof small, "%f", f);
    if (n < 0) return "";
    if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, n);
    std::string large(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(&large[0], large.size(), "%f", f);
    large.resize(static_cast<std::size_t>(n));
    return large;
  }

  BackingData Internal;
  Class Type;
};

inline JSON Array() { return JSON::Make(JSON::Class::Array); }

inline JSON Object() { return JSON::Make(JSON::Class::Object); }

inline std::ostream& operator<<(std::ostream& os, const JSON& json) {
  os << json.dump(1, "  ");
  return os;
}

namespace detail {

// Objects and arrays may nest this deep; the model file needs two levels.
constexpr int MAX_NESTING_DEPTH = 512;

// Unwinds a parse that nests too deeply; Load turns it into a Null result.
struct NestingTooDeep {};

// The position just past the text reads as a NUL byte, and so does anything
// further on, so no routine looks beyond the end.
inline char peek(const std::string& str, std::size_t offset) {
  return offset < str.size() ? str[offset] : '\0';
}

// Reads the byte at offset and moves past it, but never beyond the end.
inline char take(const std::string& str, std::size_t& offset) {
  char c = peek(str, offset);
  if (offset < str.size()) ++offset;
  return c;
}

inline std::string bytes_at(const std::string& str, std::size_t offset, std::size_t count) {
  return offset < str.size() ? str.substr(offset, count) : std::string();
}

// The classic whitespace set, decided here rather than by isspace so that
// neither the locale nor bytes from 0x80 up can change it.
inline bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

inline bool is_hex_digit(char c) {
  return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

inline bool ends_number(char c) { return is_space(c) || c == ',' || c == ']' || c == '}'; }

// Longest base-10 prefix as a signed 64-bit integer, with the errors of std::stol.
inline std::int64_t to_int64(const std::string& text) {
  const int saved_errno = errno;
  errno = 0;
  const char* begin = text.c_str();
  char* end = nullptr;
  const long long value = std::strtoll(begin, &end, 10);
  const bool range_error = errno == ERANGE;
  errno = saved_errno;
  if (end == begin) throw std::invalid_argument("stol");
  if (range_error) throw std::out_of_range("stol");
  return value;
}

// Longest prefix as a double, with the errors of std::stod.
inline double to_double(const std::string& text) {
  CNumericLocale c_locale;
  const int saved_errno = errno;
  errno = 0;
  const char* begin = text.c_str();
  char* end = nullptr;
  const double value = std::strtod(begin, &end);
  const bool range_error = errno == ERANGE;
  errno = saved_errno;
  if (end == begin) throw std::invalid_argument("stod");
  if (range_error) throw std::out_of_range("stod");
  return value;
}

inline JSON parse_next(const std::string& str, std::size_t& offset, int depth);

inline void consume_ws(const std::string& str, std::size_t& offset) {
  while (is_space(peek(str, offset))) ++offset;
}

// Decodes a quoted string; malformed text gives the empty string.
inline std::string parse_string_bytes(const std::string& str, std::size_t& offset) {
  std::string val;
  ++offset;
  while (true) {
    if (offset >= str.size()) {
      std::cerr << "ERROR: String: Expected closing quote, found '" << '\0' << "'\n";
      return std::string();
    }
    const char c = str[offset++];
    if (c == '"') break;
    if (c != '\\') {
      val += c;
      continue;
    }
    if (offset >= str.size()) {
      std::cerr << "ERROR: String: Expected closing quote, found '" << '\0' << "'\n";
      return std::string();
    }
    const char escaped = str[offset++];
    switch (escaped) {
      case '"':
        val += '"';
        break;
      case '/':
        val += '/';
        break;
      case 'b':
        val += '\b';
        break;
      case 'f':
        val += '\f';
        break;
      case 'n':
        val += '\n';
        break;
      case 'r':
        val += '\r';
        break;
      case 't':
        val += '\t';
        break;
      case 'u':
        // The escape is checked but kept as written; no code point is decoded.
        val += "\\u";
        for (std::size_t i = 0; i < 4; ++i) {
          const char h = peek(str, offset + i);
          if (!is_hex_digit(h)) {
            std::cerr << "ERROR: String: Expected hex character in unicode escape, found '" << h
                      << "'\n";
            --offset;
            return std::string();
          }
          val += h;
        }
        offset += 4;
        break;
      default:
        val += '\\';
        break;
    }
  }
  return val;
}

inline JSON parse_string(const std::string& str, std::size_t& offset) {
  JSON value = JSON::Make(JSON::Class::String);
  value = parse_string_bytes(str, offset);
  return value;
}

inline JSON parse_object(const std::string& str, std::size_t& offset, int depth) {
  JSON object = JSON::Make(JSON::Class::Object);
  ++offset;
  consume_ws(str, offset);
  if (peek(str, offset) == '}') {
    ++offset;
    return object;
  }

  while (true) {
    // Any construct is read as a name; only a string gives a non-empty one.
    // Names are held decoded, like string values.
    std::string name;
    consume_ws(str, offset);
    if (peek(str, offset) == '"') {
      name = parse_string_bytes(str, offset);
    } else {
      parse_next(str, offset, depth);
    }

    consume_ws(str, offset);
    char c = peek(str, offset);
    if (c != ':') {
      std::cerr << "Error: Object: Expected colon, found '" << c << "'\n";
      break;
    }
    ++offset;
    consume_ws(str, offset);
    JSON value = parse_next(str, offset, depth);
    object[name] = std::move(value);

    consume_ws(str, offset);
    c = peek(str, offset);
    if (c == ',') {
      ++offset;
      continue;
    }
    if (c == '}') {
      ++offset;
      break;
    }
    std::cerr << "ERROR: Object: Expected comma, found '" << c << "'\n";
    break;
  }
  return object;
}

inline JSON parse_array(const std::string& str, std::size_t& offset, int depth) {
  JSON array = JSON::Make(JSON::Class::Array);
  std::uint32_t index = 0;
  ++offset;
  consume_ws(str, offset);
  if (peek(str, offset) == ']') {
    ++offset;
    return array;
  }

  while (true) {
    array[index++] = parse_next(str, offset, depth);
    consume_ws(str, offset);
    const char c = peek(str, offset);
    if (c == ',') {
      ++offset;
      continue;
    }
    if (c == ']') {
      ++offset;
      break;
    }
    std::cerr << "ERROR: Array: Expected ',' or ']', found '" << c << "'\n";
    return JSON::Make(JSON::Class::Array);
  }
  return array;
}

inline JSON parse_number(const std::string& str, std::size_t& offset) {
  std::string val;
  std::string exp_str;
  bool isDouble = false;
  bool hasExp = false;
  std::int64_t exp = 0;
  char c = '\0';

  while (true) {
    c = take(str, offset);
    if (c == '-' || is_digit(c)) {
      val += c;
    } else if (c == '.') {
      val += c;
      isDouble = true;
    } else {
      break;
    }
  }

  if (c == 'e' || c == 'E') {
    hasExp = true;
    c = take(str, offset);
    if (c == '-') {
      exp_str += c;
      c = take(str, offset);
    } else if (c == '+') {
      c = take(str, offset);
    }
    while (is_digit(c)) {
      exp_str += c;
      c = take(str, offset);
    }
    if (!ends_number(c)) {
      std::cerr << "ERROR: Number: Expected a number for exponent, found '" << c << "'\n";
      return JSON();
    }
    exp = to_int64(exp_str);
  } else if (!ends_number(c)) {
    std::cerr << "ERROR: Number: unexpected character '" << c << "'\n";
    return JSON();
  }
  // Leave the delimiter for the enclosing routine.
  --offset;

  JSON number;
  if (isDouble) {
    number = to_double(val) * std::pow(10.0, static_cast<double>(exp));
  } else if (hasExp) {
    number = static_cast<double>(to_int64(val)) * std::pow(10.0, static_cast<double>(exp));
  } else {
    number = to_int64(val);
  }
  return number;
}

inline JSON parse_bool(const std::string& str, std::size_t& offset) {
  JSON boolean;
  if (bytes_at(str, offset, 4) == "true") {
    boolean = true;
    offset += 4;
  } else if (bytes_at(str, offset, 5) == "false") {
    boolean = false;
    offset += 5;
  } else {
    std::cerr << "ERROR: Bool: Expected 'true' or 'false', found '" << bytes_at(str, offset, 5)
              << "'\n";
  }
  return boolean;
}

inline JSON parse_null(const std::string& str, std::size_t& offset) {
  if (bytes_at(str, offset, 4) == "null") {
    offset += 4;
  } else {
    std::cerr << "ERROR: Null: Expected 'null', found '" << bytes_at(str, offset, 4) << "'\n";
  }
  return JSON();
}

// depth counts the objects and arrays that enclose the value at offset.
inline JSON parse_next(const std::string& str, std::size_t& offset, int depth) {
  consume_ws(str, offset);
  const char c = peek(str, offset);
  if ((c == '{' || c == '[') && depth >= MAX_NESTING_DEPTH) {
    std::cerr << "ERROR: Parse: Nesting deeper than " << MAX_NESTING_DEPTH << " levels, found '"
              << c << "'\n";
    throw NestingTooDeep();
  }
  switch (c) {
    case '{':
      return parse_object(str, offset, depth + 1);
    case '[':
      return parse_array(str, offset, depth + 1);
    case '"':
      return parse_string(str, offset);
    case 't':
    case 'f':
      return parse_bool(str, offset);
    case 'n':
      return parse_null(str, offset);
    default:
      if (c == '-' || is_digit(c)) return parse_number(str, offset);
      std::cerr << "ERROR: Parse: Unknown starting character '" << c << "'\n";
      return JSON();
  }
}

}  // namespace detail

inline JSON JSON::Load(const std::string& str) {
  std::size_t offset = 0;
  try {
    return detail::parse_next(str, offset, 0);
  } catch (const detail::NestingTooDeep&) {
    return JSON();
  }
}

}  // namespace vorda::typing::text::json
