// Tests of the segmentation engine's support utilities.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "tokenizer/jieba/limonp/LocalVector.h"
#include "tokenizer/jieba/limonp/Logging.h"
#include "tokenizer/jieba/limonp/StdExtension.h"
#include "tokenizer/jieba/limonp/StringUtil.h"

namespace limonp = vorda::typing::text::limonp;
using std::string;
using std::vector;

namespace {

struct SplitCase {
  string src;
  string pattern;
  size_t maxsplit;
  vector<string> expected;
};

TEST(SplitTest, Table) {
  const size_t kAll = string::npos;
  const vector<SplitCase> cases = {
      {"a  b", " ", kAll, {"a", "", "b"}},
      {" a", " ", kAll, {"", "a"}},
      {"a ", " ", kAll, {"a"}},
      {"", " ", kAll, {}},
      {"   ", " ", kAll, {"", "", ""}},
      {"x|y;z", "|;", kAll, {"x", "y", "z"}},
      {"x|;y", "|;", kAll, {"x", "", "y"}},
      {"a b c", " ", 1, {"a", "b c"}},
      {"a b c", " ", 0, {"a b c"}},
      {"a b c", " ", kAll, {"a", "b", "c"}},
      {"abc", " ", kAll, {"abc"}},
      {"a\tb c", " ", kAll, {"a\tb", "c"}},
  };
  for (const SplitCase& c : cases) {
    vector<string> res = {"stale"};
    limonp::Split(c.src, res, c.pattern, c.maxsplit);
    EXPECT_EQ(res, c.expected) << "src='" << c.src << "' pattern='" << c.pattern
                               << "' maxsplit=" << c.maxsplit;
    EXPECT_EQ(limonp::Split(c.src, c.pattern, c.maxsplit), c.expected) << "src='" << c.src << "'";
  }
}

TEST(TrimTest, RemovesAsciiWhitespaceOnly) {
  string s = "\t word \r\n";
  EXPECT_EQ(limonp::Trim(s), "word");
  EXPECT_EQ(s, "word");

  const string ideographic_space = "\xE3\x80\x80";  // U+3000
  string lead = ideographic_space + "x";
  EXPECT_EQ(limonp::Trim(lead), ideographic_space + "x");
  string trail = "x" + ideographic_space;
  EXPECT_EQ(limonp::Trim(trail), "x" + ideographic_space);

  string blank = " \t\n\v\f\r";
  EXPECT_EQ(limonp::Trim(blank), "");

  string empty;
  EXPECT_EQ(limonp::Trim(empty), "");

  string nbsp = "\xC2\xA0y\xC2\xA0";  // U+00A0 is not trimmed either
  EXPECT_EQ(limonp::Trim(nbsp), "\xC2\xA0y\xC2\xA0");
}

TEST(TrimTest, LeftAndRight) {
  string s = "  a b  ";
  EXPECT_EQ(limonp::LTrim(s), "a b  ");
  string t = "  a b  ";
  EXPECT_EQ(limonp::RTrim(t), "  a b");
}

TEST(IsSpaceTest, Values) {
  EXPECT_TRUE(limonp::IsSpace(' '));
  EXPECT_TRUE(limonp::IsSpace('\r'));
  EXPECT_FALSE(limonp::IsSpace('a'));
  EXPECT_FALSE(limonp::IsSpace(0x100));
  EXPECT_FALSE(limonp::IsSpace(0xFFFFFF80u));  // byte 0x80 as a widened signed char
}

TEST(StartsWithTest, Values) {
  EXPECT_TRUE(limonp::StartsWith("#abc", "#"));
  EXPECT_FALSE(limonp::StartsWith("", "#"));
  EXPECT_TRUE(limonp::StartsWith("", ""));
  EXPECT_TRUE(limonp::StartsWith("abc", ""));
  EXPECT_TRUE(limonp::StartsWith("abc", "abc"));
  EXPECT_FALSE(limonp::StartsWith("ab", "abc"));
  EXPECT_FALSE(limonp::StartsWith("xabc", "abc"));
}

TEST(IsInTest, StandardContainers) {
  std::unordered_set<unsigned> runes = {1, 2, 3};
  EXPECT_TRUE(limonp::IsIn(runes, 2u));
  EXPECT_FALSE(limonp::IsIn(runes, 4u));
  std::set<string> words = {"a"};
  EXPECT_TRUE(vorda::typing::text::IsIn(words, string("a")));
  EXPECT_FALSE(vorda::typing::text::IsIn(words, string("b")));
}

typedef limonp::LocalVector<unsigned> UVec;

UVec Iota(size_t n) {
  UVec v;
  for (size_t i = 0; i < n; ++i) v.push_back(static_cast<unsigned>(i));
  return v;
}

bool IsInline(const UVec& v) {
  // The inline buffer lives inside the object.
  const char* obj = reinterpret_cast<const char*>(&v);
  const char* p = reinterpret_cast<const char*>(v.begin());
  return p >= obj && p < obj + sizeof(UVec);
}

TEST(LocalVectorTest, FreshVector) {
  UVec v;
  EXPECT_TRUE(v.empty());
  EXPECT_EQ(v.size(), 0u);
  EXPECT_EQ(v.capacity(), limonp::LOCAL_VECTOR_BUFFER_SIZE);
  EXPECT_EQ(v.capacity(), 16u);
  EXPECT_TRUE(IsInline(v));
  EXPECT_EQ(v.begin(), v.end());
}

TEST(LocalVectorTest, CapacitySequenceUnderPushBack) {
  UVec v;
  for (unsigned i = 0; i < 16; ++i) v.push_back(i);
  EXPECT_EQ(v.size(), 16u);
  EXPECT_EQ(v.capacity(), 16u);
  EXPECT_TRUE(IsInline(v));

  v.push_back(16);
  EXPECT_EQ(v.capacity(), 32u);
  EXPECT_FALSE(IsInline(v));
  for (unsigned i = 17; i < 33; ++i) v.push_back(i);
  EXPECT_EQ(v.capacity(), 64u);
  for (unsigned i = 33; i < 65; ++i) v.push_back(i);
  EXPECT_EQ(v.capacity(), 128u);
  ASSERT_EQ(v.size(), 65u);
  for (unsigned i = 0; i < 65; ++i) EXPECT_EQ(v[i], i);
  EXPECT_EQ(static_cast<size_t>(v.end() - v.begin()), 65u);
}

TEST(LocalVectorTest, PushBackOfOwnElementWhileGrowing) {
  UVec v = Iota(16);
  v.push_back(v[3]);
  EXPECT_EQ(v[16], 3u);
}

TEST(LocalVectorTest, ReserveJumpsToRequestedCapacity) {
  UVec v;
  v.reserve(10);
  EXPECT_EQ(v.capacity(), 16u);
  EXPECT_TRUE(IsInline(v));
  v.reserve(100);
  EXPECT_EQ(v.capacity(), 100u);
  EXPECT_FALSE(IsInline(v));
  EXPECT_TRUE(v.empty());
  v.push_back(7);
  v.reserve(50);
  EXPECT_EQ(v.capacity(), 100u);
  EXPECT_EQ(v[0], 7u);
}

TEST(LocalVectorTest, ClearReturnsToInlineStorage) {
  UVec v = Iota(40);
  EXPECT_FALSE(IsInline(v));
  v.clear();
  EXPECT_TRUE(v.empty());
  EXPECT_EQ(v.capacity(), 16u);
  EXPECT_TRUE(IsInline(v));
}

TEST(LocalVectorTest, AssignmentCopies) {
  UVec small = Iota(3);
  UVec big = Iota(40);
  ASSERT_EQ(big.capacity(), 64u);

  UVec a = Iota(20);
  a = small;
  EXPECT_EQ(a.size(), 3u);
  EXPECT_EQ(a.capacity(), 16u);
  EXPECT_TRUE(IsInline(a));
  EXPECT_EQ(a[2], 2u);

  UVec b;
  b = big;
  EXPECT_EQ(b.size(), 40u);
  EXPECT_EQ(b.capacity(), 64u);
  EXPECT_FALSE(IsInline(b));
  EXPECT_NE(b.begin(), big.begin());
  for (unsigned i = 0; i < 40; ++i) EXPECT_EQ(b[i], i);

  UVec c(big);
  EXPECT_EQ(c.size(), 40u);
  EXPECT_EQ(c.capacity(), 64u);
  EXPECT_NE(c.begin(), big.begin());

  const UVec& self = c;
  c = self;
  EXPECT_EQ(c.size(), 40u);
  EXPECT_EQ(c[39], 39u);
}

TEST(LocalVectorTest, MoveTakesHeapBlock) {
  UVec big = Iota(40);
  const unsigned* block = big.begin();
  UVec moved(std::move(big));
  EXPECT_EQ(moved.begin(), block);
  EXPECT_EQ(moved.size(), 40u);
  EXPECT_TRUE(big.empty());  // NOLINT(bugprone-use-after-move)
  EXPECT_TRUE(IsInline(big));

  UVec small = Iota(5);
  UVec m2;
  m2 = std::move(small);
  EXPECT_TRUE(IsInline(m2));
  EXPECT_EQ(m2.size(), 5u);
  EXPECT_EQ(m2[4], 4u);
}

TEST(LocalVectorTest, RangeAndCountConstructors) {
  UVec src = Iota(20);
  UVec r(src.begin() + 2, src.begin() + 5);
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0], 2u);
  EXPECT_EQ(r[2], 4u);
  UVec n(18, 9u);
  EXPECT_EQ(n.size(), 18u);
  EXPECT_EQ(n.capacity(), 18u);
  EXPECT_EQ(n[17], 9u);
}

TEST(LocalVectorTest, FailedAllocationThrows) {
  UVec v;
  EXPECT_THROW(v.reserve(static_cast<size_t>(-1) / 2), std::bad_alloc);
  EXPECT_TRUE(v.empty());
  EXPECT_EQ(v.capacity(), 16u);
}

TEST(LocalVectorTest, HoldsPairsOfPointers) {
  limonp::LocalVector<std::pair<size_t, const int*>> v;
  int x = 5;
  for (size_t i = 0; i < 20; ++i) v.push_back(std::make_pair(i, &x));
  limonp::LocalVector<std::pair<size_t, const int*>> w(v);
  EXPECT_EQ(w[19].first, 19u);
  EXPECT_EQ(*w[19].second, 5);
}

// The time, a space, the path relative to the project root, ':', the line,
// a space, the level name, a space, the message and a newline.
TEST(LoggingTest, LineFormat) {
  testing::internal::CaptureStderr();
  const int line = __LINE__ + 1;
  XLOG(ERROR) << "something " << 37 << " failed";
  const string out = testing::internal::GetCapturedStderr();
  const std::regex re(
      R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} tests/cpp/limonp_test\.cc:(\d+) ERROR something 37 failed\n$)");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(out, m, re)) << out;
  EXPECT_EQ(m[1].str(), std::to_string(line));
}

TEST(LoggingTest, LevelNames) {
  EXPECT_STREQ(limonp::LOG_LEVEL_ARRAY[limonp::LL_DEBUG], "DEBUG");
  EXPECT_STREQ(limonp::LOG_LEVEL_ARRAY[limonp::LL_INFO], "INFO");
  EXPECT_STREQ(limonp::LOG_LEVEL_ARRAY[limonp::LL_WARNING], "WARN");
  EXPECT_STREQ(limonp::LOG_LEVEL_ARRAY[limonp::LL_ERROR], "ERROR");
  EXPECT_STREQ(limonp::LOG_LEVEL_ARRAY[limonp::LL_FATAL], "FATAL");

  testing::internal::CaptureStderr();
  XLOG(WARNING) << "w";
  XLOG(DEBUG) << "d";
  const string out = testing::internal::GetCapturedStderr();
  EXPECT_NE(out.find(" WARN w\n"), string::npos) << out;
  EXPECT_NE(out.find(" DEBUG d\n"), string::npos) << out;
}

TEST(LoggingTest, LoggerObjectWritesOnDestruction) {
  testing::internal::CaptureStderr();
  {
    limonp::Logger logger(limonp::LL_INFO, "some/file.h", 12);
    logger.Stream() << "hello";
  }
  const string out = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(std::regex_match(out, std::regex(R"(^\S+ \S+ some/file\.h:12 INFO hello\n$)")))
      << out;
}

int CheckedDivide(int a, int b) {
  XCHECK(b != 0) << "divide " << a << " by zero";
  return a / b;
}

TEST(LoggingTest, FailedCheckWritesFatalLineThenThrows) {
  EXPECT_EQ(CheckedDivide(6, 3), 2);

  testing::internal::CaptureStderr();
  string what;
  try {
    CheckedDivide(1, 0);
    ADD_FAILURE() << "no exception";
  } catch (const limonp::FatalError& e) {
    what = e.what();
  }
  const string out = testing::internal::GetCapturedStderr();
  EXPECT_EQ(what, "exp: [b != 0] false. divide 1 by zero");
  EXPECT_TRUE(std::regex_match(
      out,
      std::regex(
          R"(^\S+ \S+ tests/cpp/limonp_test\.cc:\d+ FATAL exp: \[b != 0\] false\. divide 1 by zero\n$)")))
      << out;
}

// A message may quote a file name or line holding a NUL byte; what() stops
// there, message() keeps all of it, and so does a copy.
TEST(LoggingTest, FatalErrorKeepsAMessageWithNulBytes) {
  const string name("a\0b", 3);
  testing::internal::CaptureStderr();
  try {
    XCHECK(false) << "open " << name << " failed";
    ADD_FAILURE() << "no exception";
  } catch (const limonp::FatalError& e) {
    const limonp::FatalError copy = e;
    EXPECT_EQ(copy.message(), "exp: [false] false. open " + name + " failed");
    EXPECT_STREQ(copy.what(), "exp: [false] false. open a");
  }
  const string out = testing::internal::GetCapturedStderr();
  EXPECT_NE(out.find(" FATAL exp: [false] false. open " + name + " failed\n"), string::npos);
}

TEST(LoggingTest, FatalErrorIsRuntimeError) {
  testing::internal::CaptureStderr();
  EXPECT_THROW(XLOG(FATAL) << "stop", std::runtime_error);
  testing::internal::GetCapturedStderr();
}

TEST(LoggingTest, ChecksBindCorrectlyInsideIfElse) {
  testing::internal::CaptureStderr();
  int branch = 0;
  bool outer = false;
  if (outer)
    XCHECK(false) << "never";
  else
    branch = 2;
  EXPECT_EQ(branch, 2);
  if (!outer)
    XLOG(INFO) << "taken";
  else
    branch = 3;
  EXPECT_EQ(branch, 2);
  const string out = testing::internal::GetCapturedStderr();
  EXPECT_NE(out.find(" INFO taken\n"), string::npos) << out;
}

}  // namespace
