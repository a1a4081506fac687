#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "search/bm25/_json.h"

namespace vorda::typing::text::json {
namespace {

using namespace std::string_literals;

struct Parsed {
  JSON value;
  std::string errors;
};

Parsed LoadCapturing(const std::string& text) {
  testing::internal::CaptureStderr();
  JSON value = JSON::Load(text);
  std::string errors = testing::internal::GetCapturedStderr();
  return {std::move(value), errors};
}

JSON Integral(std::int64_t i) {
  JSON j;
  j = i;
  return j;
}

JSON Floating(double f) {
  JSON j;
  j = f;
  return j;
}

JSON Str(const std::string& s) {
  JSON j;
  j = s;
  return j;
}

const char kModelText[] =
    "{\n"
    "  \"_b\" : 0.750000,\n"
    "  \"_doc_count\" : 2,\n"
    "  \"_doc_length_average\" : 2.500000,\n"
    "  \"_doc_token_frequency\" : {\n"
    "    \"a\" : 2,\n"
    "    \"b\" : 2,\n"
    "    \"c\" : 1\n"
    "  },\n"
    "  \"_k1\" : 1.200000\n"
    "}";

const char kEmptyModelText[] =
    "{\n"
    "  \"_b\" : 0.750000,\n"
    "  \"_doc_count\" : 0,\n"
    "  \"_doc_length_average\" : 0.000000,\n"
    "  \"_doc_token_frequency\" : {\n"
    "\n"
    "  },\n"
    "  \"_k1\" : 1.200000\n"
    "}";

// ---------------------------------------------------------------- writer

struct WriteCase {
  const char* label;
  std::function<JSON()> build;
  int depth;
  std::string tab;
  std::string expected;
};

TEST(JsonWriteTest, ExactText) {
  const std::vector<WriteCase> cases = {
      {"null", [] { return JSON(); }, 1, "  ", "null"},
      {"true",
       [] {
         JSON j;
         j = true;
         return j;
       },
       1, "  ", "true"},
      {"false",
       [] {
         JSON j;
         j = false;
         return j;
       },
       1, "  ", "false"},
      {"zero", [] { return Integral(0); }, 1, "  ", "0"},
      {"int32 -1 keeps its sign",
       [] {
         JSON j;
         j = std::int32_t{-1};
         return j;
       },
       1, "  ", "-1"},
      {"int64 min", [] { return Integral(std::numeric_limits<std::int64_t>::min()); }, 1, "  ",
       "-9223372036854775808"},
      {"int64 max", [] { return Integral(std::numeric_limits<std::int64_t>::max()); }, 1, "  ",
       "9223372036854775807"},
      {"0.75", [] { return Floating(0.75); }, 1, "  ", "0.750000"},
      {"1.2", [] { return Floating(1.2); }, 1, "  ", "1.200000"},
      {"2.5e-7", [] { return Floating(2.5e-7); }, 1, "  ", "0.000000"},
      {"1e-7", [] { return Floating(1e-7); }, 1, "  ", "0.000000"},
      {"-0.0", [] { return Floating(-0.0); }, 1, "  ", "-0.000000"},
      {"-2.25", [] { return Floating(-2.25); }, 1, "  ", "-2.250000"},
      {"1e20 without exponent", [] { return Floating(1e20); }, 1, "  ",
       "100000000000000000000.000000"},
      {"infinity", [] { return Floating(HUGE_VAL); }, 1, "  ", "inf"},
      {"string quote", [] { return Str("x\"y"); }, 1, "  ", "\"x\\\"y\""},
      {"string escapes", [] { return Str("\\\b\f\n\r\t"); }, 1, "  ", "\"\\\\\\b\\f\\n\\r\\t\""},
      {"string raw bytes", [] { return Str("\x01/\xe4\xb8\xad\x7f"s); }, 1, "  ",
       "\"\x01/\xe4\xb8\xad\x7f\""},
      {"empty array", [] { return Array(); }, 1, "  ", "[]"},
      {"array on one line",
       [] {
         JSON j;
         j[0] = 1;
         j[1] = 2.5;
         j[2] = "s";
         j[3] = JSON();
         j[4] = Array();
         j[5][0] = false;
         return j;
       },
       1, "  ", "[1, 2.500000, \"s\", null, [], [false]]"},
      {"empty object depth 1", [] { return Object(); }, 1, "  ", "{\n\n}"},
      {"empty object depth 2", [] { return Object(); }, 2, "  ", "{\n\n  }"},
      {"empty object depth 0", [] { return Object(); }, 0, "  ", "{\n\n}"},
      {"object depth 0",
       [] {
         JSON j;
         j["a"] = 1;
         j["b"]["c"] = 2;
         return j;
       },
       0, "  ", "{\n\"a\" : 1,\n\"b\" : {\n  \"c\" : 2\n}\n}"},
      {"tab unit at depth 3",
       [] {
         JSON j;
         j["a"] = 1;
         return j;
       },
       3, "\t", "{\n\t\t\t\"a\" : 1\n\t\t}"},
      {"keys in unsigned byte order",
       [] {
         JSON j;
         j["\xc3\xa9"] = 5;
         j["z"] = 4;
         j["aa"] = 3;
         j["a"] = 2;
         j["B"] = 1;
         return j;
       },
       1, "  ",
       "{\n  \"B\" : 1,\n  \"a\" : 2,\n  \"aa\" : 3,\n  \"z\" : 4,\n  \"\xc3\xa9\" : 5\n}"},
      {"names are escaped",
       [] {
         JSON j;
         j["a\"b"] = 1;
         j["c\nd\\"] = 2;
         return j;
       },
       1, "  ", "{\n  \"a\\\"b\" : 1,\n  \"c\\nd\\\\\" : 2\n}"},
      {"the example with nested containers",
       [] {
         JSON j;
         j["e2"] = Array();
         j["empty"] = Object();
         j["list"][0] = 1;
         j["list"][1] = 2.5;
         j["list"][2] = true;
         j["list"][3] = JSON();
         j["list"][4]["k"] = "v";
         j["name"] = "x\"y";
         return j;
       },
       1, "  ",
       "{\n"
       "  \"e2\" : [],\n"
       "  \"empty\" : {\n"
       "\n"
       "  },\n"
       "  \"list\" : [1, 2.500000, true, null, {\n"
       "      \"k\" : \"v\"\n"
       "    }],\n"
       "  \"name\" : \"x\\\"y\"\n"
       "}"},
  };
  for (const WriteCase& c : cases) {
    EXPECT_EQ(c.build().dump(c.depth, c.tab), c.expected) << c.label;
  }
}

TEST(JsonWriteTest, StreamWritesTheModelLayoutWithoutTrailingNewline) {
  JSON data;
  data["_doc_token_frequency"] = Object();
  data["_doc_token_frequency"]["c"] = 1;
  data["_doc_token_frequency"]["a"] = 2;
  data["_doc_token_frequency"]["b"] = 2;
  data["_doc_count"] = 2;
  data["_doc_length_average"] = 2.5;
  data["_b"] = 0.75;
  data["_k1"] = 1.2;
  std::ostringstream out;
  out << data;
  EXPECT_EQ(out.str(), kModelText);

  JSON empty;
  empty["_doc_token_frequency"] = Object();
  empty["_doc_count"] = 0;
  empty["_doc_length_average"] = 0.0;
  empty["_b"] = 0.75;
  empty["_k1"] = 1.2;
  std::ostringstream empty_out;
  empty_out << empty;
  EXPECT_EQ(empty_out.str(), kEmptyModelText);
}

// ----------------------------------------------------------- value model

TEST(JsonValueTest, CopiesAreDeep) {
  JSON original;
  original["k"]["n"] = 1;
  original["list"][0] = "s";
  JSON copy(original);
  copy["k"]["n"] = 2;
  copy["list"][0] = "t";
  JSON assigned;
  assigned = original;
  assigned["k"] = 3;
  EXPECT_EQ(original.dump(), "{\n  \"k\" : {\n    \"n\" : 1\n  },\n  \"list\" : [\"s\"]\n}");
  EXPECT_EQ(copy.dump(), "{\n  \"k\" : {\n    \"n\" : 2\n  },\n  \"list\" : [\"t\"]\n}");
  EXPECT_EQ(assigned.dump(), "{\n  \"k\" : 3,\n  \"list\" : [\"s\"]\n}");
}

TEST(JsonValueTest, MovedFromValueIsNull) {
  JSON source;
  source["k"] = 1;
  JSON moved(std::move(source));
  EXPECT_EQ(source.dump(), "null");
  EXPECT_EQ(moved.dump(), "{\n  \"k\" : 1\n}");

  JSON target;
  target = "old";
  target = std::move(moved);
  EXPECT_EQ(moved.dump(), "null");
  EXPECT_EQ(target.dump(), "{\n  \"k\" : 1\n}");
}

TEST(JsonValueTest, AssigningFromItselfOrItsOwnMemberIsSafe) {
  JSON j;
  j["k"]["n"] = 1;
  JSON& alias = j;
  j = alias;
  EXPECT_EQ(j.dump(0, ""), "{\n\"k\" : {\n\"n\" : 1\n}\n}");

  j = j["k"];
  EXPECT_EQ(j.dump(), "{\n  \"n\" : 1\n}");

  j = std::move(j["n"]);
  EXPECT_EQ(j.dump(), "1");

  JSON list;
  list[0][0] = "deep";
  list = std::move(list[0]);
  EXPECT_EQ(list.dump(), "[\"deep\"]");
}

TEST(JsonValueTest, SwitchingKindKeepsOrDiscardsContent) {
  JSON object;
  object["a"] = 1;
  object["b"] = 2;  // same kind: "a" stays
  EXPECT_EQ(object.size(), 2);

  JSON number = Integral(7);
  number["k"];
  EXPECT_EQ(number.dump(), "{\n  \"k\" : null\n}");

  JSON array = Array();
  array[3];
  EXPECT_EQ(array.dump(), "[null, null, null, null]");
  array[1] = 5;
  EXPECT_EQ(array.dump(), "[null, 5, null, null]");

  JSON value;
  value = "literal";
  EXPECT_EQ(value.JSONType(), JSON::Class::String);
  value = std::int64_t{1} << 40;
  EXPECT_EQ(value.dump(), "1099511627776");
  value = nullptr;
  EXPECT_TRUE(value.IsNull());

  EXPECT_EQ(JSON::Make(JSON::Class::String).dump(), "\"\"");
  EXPECT_EQ(static_cast<int>(JSON::Class::Boolean), 6);
}

TEST(JsonValueTest, ConversionsReportTheKindThroughOk) {
  bool ok = true;
  EXPECT_EQ(Integral(2).ToFloat(ok), 0.0);
  EXPECT_FALSE(ok);
  EXPECT_EQ(Floating(2.0).ToInt(ok), 0);
  EXPECT_FALSE(ok);
  EXPECT_EQ(Str("2").ToInt(ok), 0);
  EXPECT_FALSE(ok);
  EXPECT_EQ(JSON().ToString(ok), "");
  EXPECT_FALSE(ok);

  EXPECT_EQ(Integral(std::numeric_limits<std::int64_t>::min()).ToInt(ok),
            std::numeric_limits<std::int64_t>::min());
  EXPECT_TRUE(ok);
  EXPECT_EQ(Floating(0.25).ToFloat(ok), 0.25);
  EXPECT_TRUE(ok);
  EXPECT_EQ(Str("a\nb\"").ToString(ok), "a\\nb\\\"");
  EXPECT_TRUE(ok);
}

TEST(JsonValueTest, RangesIterateInOrderAndAreEmptyForOtherKinds) {
  JSON object;
  object["b"] = 2;
  object["a"] = 1;
  std::string seen;
  for (const auto& member : object.ObjectRange()) seen += member.first;
  EXPECT_EQ(seen, "ab");

  const JSON scalar = Integral(1);
  int count = 0;
  for (const auto& member : scalar.ObjectRange()) count += static_cast<int>(member.first.size());
  for (const JSON& element : scalar.ArrayRange()) count += element.size();
  EXPECT_EQ(count, 0);

  JSON array;
  array[1] = 2;
  std::vector<std::string> elements;
  for (const JSON& element : array.ArrayRange()) elements.push_back(element.dump());
  EXPECT_EQ(elements, (std::vector<std::string>{"null", "2"}));
}

// ---------------------------------------------------------------- reader

struct ReadCase {
  std::string text;
  std::string expected;  // the result as the writer gives it
  std::string errors;
};

TEST(JsonReadTest, GrammarAndMessages) {
  const std::vector<ReadCase> cases = {
      // Separators.
      {"[1,,2]", "[1, null, 2]", "ERROR: Parse: Unknown starting character ','\n"},
      {"[1,]", "[1, null]", "ERROR: Parse: Unknown starting character ']'\n"},
      {"[1 2]", "[]", "ERROR: Array: Expected ',' or ']', found '2'\n"},
      {"[1,2", "[]",
       "ERROR: Number: unexpected character '\0'\nERROR: Array: Expected ',' or ']', found '\0'\n"s},
      {"{\"a\":1,}", "{\n  \"a\" : 1\n}",
       "ERROR: Parse: Unknown starting character '}'\nError: Object: Expected colon, found '}'\n"},
      {"{\"o\":{\"a\":1,},\"z\":2}", "{\n  \"o\" : {\n    \"a\" : 1\n  }\n}",
       "ERROR: Parse: Unknown starting character '}'\nError: Object: Expected colon, found '}'\n"},
      {"{\"a\" 1}", "{\n\n}", "Error: Object: Expected colon, found '1'\n"},
      {"{\"a\":1 \"b\":2}", "{\n  \"a\" : 1\n}", "ERROR: Object: Expected comma, found '\"'\n"},
      {"{\"a\":1,\"a\":2}", "{\n  \"a\" : 2\n}", ""},
      // Names that are not strings.
      {"{true:2}", "{\n  \"\" : 2\n}", ""},
      {"{1 :2}", "{\n  \"\" : 2\n}", ""},
      {"{1:2}", "{\n\n}",
       "ERROR: Number: unexpected character ':'\nError: Object: Expected colon, found '2'\n"},
      // Strings.
      {"\"a\\u00e9\"", "\"a\\\\u00e9\"", ""},
      {"\"a\\q\"", "\"a\\\\\"", ""},
      {"\"a\\/b\\\"\\b\\f\\n\\r\\t\"", "\"a/b\\\"\\b\\f\\n\\r\\t\"", ""},
      {"\"a\0b\x01\xe4\xb8\xad\""s, "\"a\0b\x01\xe4\xb8\xad\""s, ""},
      {"\"\\u12G4\"", "\"\"",
       "ERROR: String: Expected hex character in unicode escape, found 'G'\n"},
      {"[\"\\u12G4\"]", "[]",
       "ERROR: String: Expected hex character in unicode escape, found 'G'\n"
       "ERROR: Array: Expected ',' or ']', found 'u'\n"},
      {"\"\\u12", "\"\"", "ERROR: String: Expected hex character in unicode escape, found '\0'\n"s},
      // Numbers.
      {"12", "null", "ERROR: Number: unexpected character '\0'\n"s},
      {"12 ", "12", ""},
      {"[12]", "[12]", ""},
      {"1-2 ", "1", ""},
      {"1.2.3 ", "1.200000", ""},
      {"-.5 ", "-0.500000", ""},
      {"1. ", "1.000000", ""},
      {"007 ", "7", ""},
      {"1e2 ", "100.000000", ""},
      {"1E+2 ", "100.000000", ""},
      {"1e+2,", "100.000000", ""},
      {"2.5e-1}", "0.250000", ""},
      {"-3e1 ", "-30.000000", ""},
      {"1e400 ", "inf", ""},
      {"4294967297 ", "4294967297", ""},
      {"-9223372036854775808 ", "-9223372036854775808", ""},
      {"1ex", "null", "ERROR: Number: Expected a number for exponent, found 'x'\n"},
      {"1e5", "null", "ERROR: Number: Expected a number for exponent, found '\0'\n"s},
      {"+1", "null", "ERROR: Parse: Unknown starting character '+'\n"},
      {".5", "null", "ERROR: Parse: Unknown starting character '.'\n"},
      // Words.
      {"null", "null", ""},
      {"false", "false", ""},
      {"truex", "true", ""},
      {"[truex]", "[]", "ERROR: Array: Expected ',' or ']', found 'x'\n"},
      {"tru", "null", "ERROR: Bool: Expected 'true' or 'false', found 'tru'\n"},
      {"fals]", "null", "ERROR: Bool: Expected 'true' or 'false', found 'fals]'\n"},
      {"nul", "null", "ERROR: Null: Expected 'null', found 'nul'\n"},
      {"[nul]", "[]",
       "ERROR: Null: Expected 'null', found 'nul]'\nERROR: Array: Expected ',' or ']', found "
       "'n'\n"},
      // Whitespace and what follows the value.
      {"", "null", "ERROR: Parse: Unknown starting character '\0'\n"s},
      {" \t\n\v\f\r", "null", "ERROR: Parse: Unknown starting character '\0'\n"s},
      {" \t\n\v\f\r[ 1 ,\v2\f]", "[1, 2]", ""},
      {"{ \"a\" :\t[ ] , \"b\" : { } }", "{\n  \"a\" : [],\n  \"b\" : {\n\n  }\n}", ""},
      {"{} trailing [garbage", "{\n\n}", ""},
  };
  for (const ReadCase& c : cases) {
    Parsed parsed = LoadCapturing(c.text);
    EXPECT_EQ(parsed.value.dump(), c.expected) << "text: " << c.text;
    EXPECT_EQ(parsed.errors, c.errors) << "text: " << c.text;
  }
}

TEST(JsonReadTest, NumberKindsAndFullIntegralRange) {
  bool ok;
  EXPECT_EQ(JSON::Load("2147483648 ").ToInt(ok), std::int64_t{2147483648});
  EXPECT_TRUE(ok);
  EXPECT_EQ(JSON::Load("-2147483649 ").ToInt(ok), std::int64_t{-2147483649});
  EXPECT_TRUE(ok);
  EXPECT_EQ(JSON::Load("9223372036854775807 ").ToInt(ok), std::numeric_limits<std::int64_t>::max());
  EXPECT_TRUE(ok);
  EXPECT_EQ(JSON::Load("2.5e-1 ").ToFloat(ok), 0.25);
  EXPECT_TRUE(ok);
  EXPECT_EQ(JSON::Load("1e2 ").JSONType(), JSON::Class::Floating);
  EXPECT_EQ(JSON::Load("2 ").JSONType(), JSON::Class::Integral);
}

TEST(JsonReadTest, NumberConversionsThrow) {
  const std::string huge(400, '9');
  const struct {
    std::string text;
    bool out_of_range;
    std::string what;
  } cases[] = {
      {"- ", false, "stol"},
      {"-e5 ", false, "stol"},
      {"1e ", false, "stol"},
      {"1e+ ", false, "stol"},
      {"1.5e- ", false, "stol"},
      {"-. ", false, "stod"},
      {"{\"a\":[1, - ]}", false, "stol"},
      {"99999999999999999999 ", true, "stol"},
      {"9223372036854775808 ", true, "stol"},
      {"-9223372036854775809 ", true, "stol"},
      {"1e99999999999999999999 ", true, "stol"},
      {huge + ".0 ", true, "stod"},
      {"0." + std::string(400, '0') + "1 ", true, "stod"},
  };
  for (const auto& c : cases) {
    try {
      JSON::Load(c.text);
      ADD_FAILURE() << "no exception for " << c.text;
    } catch (const std::out_of_range& e) {
      EXPECT_TRUE(c.out_of_range) << c.text;
      EXPECT_STREQ(e.what(), c.what.c_str()) << c.text;
    } catch (const std::invalid_argument& e) {
      EXPECT_FALSE(c.out_of_range) << c.text;
      EXPECT_STREQ(e.what(), c.what.c_str()) << c.text;
    }
  }
}

TEST(JsonReadTest, MemberNamesAreHeldDecoded) {
  Parsed parsed = LoadCapturing("{\"a\\nb\":1,\"a\\u0041\":2,\"a\\/b\":3,\"q\\\"\":4}");
  EXPECT_EQ(parsed.errors, "");
  EXPECT_EQ(parsed.value.size(), 4);
  EXPECT_TRUE(parsed.value.hasKey("a\nb"));
  EXPECT_TRUE(parsed.value.hasKey("a\\u0041"));
  EXPECT_TRUE(parsed.value.hasKey("a/b"));
  EXPECT_TRUE(parsed.value.hasKey("q\""));
  EXPECT_FALSE(parsed.value.hasKey("a\\nb"));
}

TEST(JsonReadTest, ModelTextReadsBackAndWritesIdentically) {
  for (const std::string text : {kModelText, kEmptyModelText}) {
    Parsed parsed = LoadCapturing(text);
    EXPECT_EQ(parsed.errors, "");
    std::ostringstream out;
    out << parsed.value;
    EXPECT_EQ(out.str(), text);
  }
  JSON model = JSON::Load(kModelText);
  bool ok;
  EXPECT_EQ(model.at("_b").ToFloat(ok), 0.75);
  EXPECT_EQ(model.at("_k1").ToFloat(ok), 1.2);
  EXPECT_EQ(model.at("_doc_count").ToInt(ok), 2);
  EXPECT_EQ(model.at("_doc_token_frequency").at("c").ToInt(ok), 1);
  EXPECT_TRUE(ok);
}

// ------------------------------------------------------- escape round trip

const std::vector<std::string>& AwkwardTexts() {
  static const std::vector<std::string> texts = {
      "q\"uote",  "back\\slash", "b\bs",   "t\tab",   "l\nf", "f\ff",
      "c\rr",     "\"",          "\\",     "end\\",   "\\\"", "\"\\\b\t\n\f\r",
      "\x01\x1f", "nul\0byte"s,  "sl/ash", "\\u0041", "\\n",  "\xe4\xb8\xad",
      "",
  };
  return texts;
}

TEST(JsonRoundTripTest, NamesSurviveWriteThenRead) {
  JSON original;
  original["_a"] = 1;
  for (std::size_t i = 0; i < AwkwardTexts().size(); ++i) {
    original["_m"][AwkwardTexts()[i]] = static_cast<std::int64_t>(i);
  }
  original["_z"] = 1.5;
  const std::string text = original.dump();

  Parsed parsed = LoadCapturing(text);
  EXPECT_EQ(parsed.errors, "");
  EXPECT_EQ(parsed.value.dump(), text);
  // Members after the awkward names are still read.
  EXPECT_TRUE(parsed.value.hasKey("_z"));
  const JSON& names = parsed.value.at("_m");
  EXPECT_EQ(names.size(), static_cast<int>(AwkwardTexts().size()));
  for (std::size_t i = 0; i < AwkwardTexts().size(); ++i) {
    const std::string& name = AwkwardTexts()[i];
    ASSERT_TRUE(names.hasKey(name)) << original["_m"].dump();
    bool ok;
    EXPECT_EQ(names.at(name).ToInt(ok), static_cast<std::int64_t>(i));
  }
}

TEST(JsonRoundTripTest, StringValuesSurviveWriteThenRead) {
  JSON original;
  for (std::size_t i = 0; i < AwkwardTexts().size(); ++i) {
    original[static_cast<std::uint32_t>(i)] = AwkwardTexts()[i];
  }
  const std::string text = original.dump();
  Parsed parsed = LoadCapturing(text);
  EXPECT_EQ(parsed.errors, "");
  ASSERT_EQ(parsed.value.length(), static_cast<int>(AwkwardTexts().size()));
  for (std::size_t i = 0; i < AwkwardTexts().size(); ++i) {
    // The escaped text determines the bytes.
    EXPECT_EQ(parsed.value.at(static_cast<std::uint32_t>(i)).ToString(),
              Str(AwkwardTexts()[i]).ToString());
  }
}

// ------------------------------------------------------------ end of text

TEST(JsonEndOfTextTest, UnclosedStringStopsAtTheEnd) {
  const std::string closing = "ERROR: String: Expected closing quote, found '\0'\n"s;
  const std::vector<ReadCase> cases = {
      {"\"abc", "\"\"", closing},
      {"\"abc\\", "\"\"", closing},
      {"\"", "\"\"", closing},
      {"[\"ab", "[]", closing + "ERROR: Array: Expected ',' or ']', found '\0'\n"s},
      {"{\"_b\" : 0.750000,\n  \"_doc", "{\n  \"_b\" : 0.750000\n}",
       closing + "Error: Object: Expected colon, found '\0'\n"s},
      {"{\"a\" : \"b", "{\n  \"a\" : \"\"\n}",
       closing + "ERROR: Object: Expected comma, found '\0'\n"s},
  };
  for (const ReadCase& c : cases) {
    Parsed parsed = LoadCapturing(c.text);
    EXPECT_EQ(parsed.value.dump(), c.expected) << "text: " << c.text;
    EXPECT_EQ(parsed.errors, c.errors) << "text: " << c.text;
  }
}

TEST(JsonEndOfTextTest, EveryCutOfTheModelTextReadsSafely) {
  const std::string text = kModelText;
  for (std::size_t length = 1; length < text.size(); ++length) {
    Parsed parsed = LoadCapturing(text.substr(0, length));
    EXPECT_EQ(parsed.value.JSONType(), JSON::Class::Object) << length;
    EXPECT_NE(parsed.errors, "") << length;
  }
}

// ---------------------------------------------------------------- nesting

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

TEST(JsonNestingTest, NestingUpTo512LevelsIsRead) {
  const std::string arrays = Repeat("[", 512) + Repeat("]", 512);
  Parsed parsed = LoadCapturing(arrays);
  EXPECT_EQ(parsed.errors, "");
  EXPECT_EQ(parsed.value.dump(), arrays);

  parsed = LoadCapturing(Repeat("{\"a\":", 512) + "1" + Repeat("}", 512));
  EXPECT_EQ(parsed.errors, "");
  const JSON* level = &parsed.value;
  for (int i = 0; i < 512; ++i) level = &level->at("a");
  bool ok;
  EXPECT_EQ(level->ToInt(ok), 1);

  parsed = LoadCapturing("{\"k\":" + Repeat("[", 511) + Repeat("]", 511) + "}");
  EXPECT_EQ(parsed.errors, "");
  EXPECT_TRUE(parsed.value.hasKey("k"));
}

TEST(JsonNestingTest, DeeperNestingStopsWithOneMessage) {
  const struct {
    std::string text;
    char opener;
  } cases[] = {
      {Repeat("[", 513) + Repeat("]", 513), '['},
      {Repeat("{\"a\":", 513) + "1" + Repeat("}", 513), '{'},
      {"{\"k\":" + Repeat("[", 512) + Repeat("]", 512) + "}", '['},
      {Repeat("[", 1000000), '['},
  };
  for (const auto& c : cases) {
    Parsed parsed = LoadCapturing(c.text);
    EXPECT_TRUE(parsed.value.IsNull());
    EXPECT_EQ(parsed.errors,
              "ERROR: Parse: Nesting deeper than 512 levels, found '"s + c.opener + "'\n");
  }
}

// ----------------------------------------------------------------- locale

// Numbers must not follow a comma-decimal locale that the host program sets.
TEST(JsonLocaleTest, NumbersIgnoreTheProcessLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  const char* comma_locales[] = {"de_DE.UTF-8", "de_DE.utf8",  "de_DE",      "fr_FR.UTF-8",
                                 "fr_FR.utf8",  "ru_RU.UTF-8", "nl_NL.UTF-8"};
  bool found = false;
  for (const char* name : comma_locales) {
    if (std::setlocale(LC_ALL, name) != nullptr &&
        std::string(std::localeconv()->decimal_point) == ",") {
      found = true;
      break;
    }
  }
  if (!found) {
    std::setlocale(LC_ALL, saved.c_str());
    GTEST_SKIP() << "no comma-decimal locale installed";
  }
  const std::string written = Floating(0.75).dump();
  bool ok = false;
  const double read = JSON::Load("2.5 ").ToFloat(ok);
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(written, "0.750000");
  EXPECT_TRUE(ok);
  EXPECT_EQ(read, 2.5);
}

}  // namespace
}  // namespace vorda::typing::text::json
