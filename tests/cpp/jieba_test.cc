// Tests of the tokenizer: construction from the five resource files, the two
// cuts that callers use, and cutting from several threads at once.
#include "tokenizer/jieba/Jieba.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using std::string;
using std::vector;
using namespace vorda::typing::text::jieba;
namespace limonp = vorda::typing::text::limonp;

namespace {

string Fixture(const string& name) { return string(VIVIVIDODOR_FIXTURES) + "/" + name; }

struct Paths {
  string dict = Fixture("jieba_dict.utf8");
  string model = Fixture("jieba_hmm_model.utf8");
  string user = Fixture("jieba_user.utf8") + "|" + Fixture("jieba_user_single.utf8");
  string idf = Fixture("jieba_idf.utf8");
  string stop = Fixture("jieba_stop_words.utf8");
};

std::unique_ptr<Jieba> Build(const Paths& p) {
  return std::unique_ptr<Jieba>(new Jieba(p.dict, p.model, p.user, p.idf, p.stop));
}

vector<string> Cut(const Jieba& jieba, const string& s) {
  vector<string> words = {"stale"};
  jieba.Cut(s, words, true);
  return words;
}

vector<string> CutForSearch(const Jieba& jieba, const string& s) {
  vector<string> words = {"stale"};
  jieba.CutForSearch(s, words, true);
  return words;
}

size_t Runes(const string& s) {
  RuneStrArray runes;
  EXPECT_TRUE(DecodeRunesInString(s, runes)) << s;
  return runes.size();
}

string Join(const vector<string>& words) {
  string s;
  for (const string& w : words) s += w;
  return s;
}

void AppendUtf8(uint32_t cp, string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Hand-picked sentences: dictionary and user words, characters only the HMM
// knows, ASCII tokens, every separator, CR, NUL, characters of every UTF-8
// length, and pieces long enough to leave every inline buffer.
vector<string> HandPickedSentences() {
  vector<string> s = {
      "",
      "我们喜欢北京大学的生活",
      "今天天气真好，我们在北京。",
      "中华人民共和国是我们的",
      "研究生命的起源",
      "云朵和蓝天 小明研究云计算",
      "Hello, world! 3.14 abc12 12abc x1.2 .5",
      "a",
      " ",
      "，，。",
      "\t\n\r\n",
      "😀我们😀",
      string("我\0们", 7),
      "ＡＢＣ１２３ café e\xCC\x81",
      "甲乙丙丁戊己庚辛壬癸",
      "的的的了了了",
  };
  string long_sentence;
  for (int i = 0; i < 40; ++i) long_sentence += "中华人民共和国的大学生在研究云计算abc123";
  s.push_back(long_sentence);
  s.push_back(string(300, 'x'));
  string unknown;
  for (int i = 0; i < 200; ++i) unknown += "甲";
  s.push_back(unknown);
  return s;
}

// Random valid UTF-8 from a fixed seed, drawn mostly from the characters the
// resources know, with separators, ASCII and arbitrary code points mixed in.
vector<string> RandomSentences(size_t count) {
  static const char* const kPieces[] = {
      "我", "们", "喜", "欢", "北", "京", "大", "学", "生", "活", "中", "华", "人", "民", "共",
      "和", "国", "的", "是", "在", "研", "究", "命", "云", "朵", "计", "算", "蓝", "天", "小",
      "明", "了", " ",  "\t", "\n", "\r", "，", "。", "a",  "Z",  "7",  ".",  ",",  "-",  "Ａ"};
  std::mt19937 gen(20240611);
  std::uniform_int_distribution<size_t> length(0, 40);
  std::uniform_int_distribution<size_t> piece(0, sizeof(kPieces) / sizeof(kPieces[0]) + 3);
  std::uniform_int_distribution<uint32_t> two(0x80, 0x7FF), three(0x800, 0xFFFF),
      four(0x10000, 0x10FFFF);
  vector<string> out;
  for (size_t n = 0; n < count; ++n) {
    string s;
    const size_t len = length(gen);
    for (size_t i = 0; i < len; ++i) {
      const size_t k = piece(gen);
      const size_t pieces = sizeof(kPieces) / sizeof(kPieces[0]);
      if (k < pieces) {
        s += kPieces[k];
      } else if (k == pieces) {
        AppendUtf8(two(gen), s);
      } else if (k == pieces + 1) {
        uint32_t cp = three(gen);
        if (cp >= 0xD800 && cp <= 0xDFFF) cp -= 0x800;  // no surrogates
        AppendUtf8(cp, s);
      } else if (k == pieces + 2) {
        AppendUtf8(four(gen), s);
      } else {
        AppendUtf8(static_cast<uint32_t>(gen() % 0x80), s);  // any ASCII, NUL included
      }
    }
    out.push_back(s);
  }
  return out;
}

vector<string> AllSentences() {
  vector<string> s = HandPickedSentences();
  const vector<string> r = RandomSentences(300);
  s.insert(s.end(), r.begin(), r.end());
  return s;
}

class JiebaTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { jieba_ = Build(Paths()).release(); }
  static void TearDownTestSuite() {
    delete jieba_;
    jieba_ = nullptr;
  }

  static const Jieba* jieba_;
};

const Jieba* JiebaTest::jieba_ = nullptr;

struct CutCase {
  const char* sentence;
  vector<string> cut;
  vector<string> search;
};

TEST_F(JiebaTest, CutAndCutForSearch) {
  const CutCase cases[] = {
      {"我们喜欢北京大学的生活",
       {"我们", "喜欢", "北京大学", "的", "生活"},
       {"我们", "喜欢", "北京", "大学", "北京大学", "的", "生活"}},
      {"中华人民共和国是我们的",
       {"中华人民共和国", "是", "我们", "的"},
       {"中华", "华人", "人民", "共和", "共和国", "中华人民共和国", "是", "我们", "的"}},
      // 研究 + 生命 outweighs 研究生 + 命.
      {"研究生命的起源", {"研究", "生命", "的", "起源"}, {"研究", "生命", "的", "起源"}},
      // User words of one, two and three fields; 朵, a one-character user
      // word, keeps the HMM from joining 云 to it.
      {"云朵和蓝天 小明研究云计算",
       {"云", "朵", "和", "蓝天", " ", "小明", "研究", "云计算"},
       {"云", "朵", "和", "蓝天", " ", "小明", "研究", "云计算"}},
      {"今天天气真好，我们。",
       {"今天", "天气", "真", "好", "，", "我们", "。"},
       {"今天", "天气", "真", "好", "，", "我们", "。"}},
      {"Hello, 3.14 abc12",
       {"Hello", ",", " ", "3.14", " ", "abc12"},
       {"Hello", ",", " ", "3.14", " ", "abc12"}},
      {"", {}, {}},
  };
  for (const CutCase& c : cases) {
    EXPECT_EQ(Cut(*jieba_, c.sentence), c.cut) << c.sentence;
    EXPECT_EQ(CutForSearch(*jieba_, c.sentence), c.search) << c.sentence;
  }
}

TEST_F(JiebaTest, HmmFlagAndWordForms) {
  // 海 and 洋 are no words; only the HMM joins them.
  EXPECT_EQ(Cut(*jieba_, "北京海洋"), (vector<string>{"北京", "海洋"}));
  vector<string> words;
  jieba_->Cut("北京海洋", words, false);
  EXPECT_EQ(words, (vector<string>{"北京", "海", "洋"}));
  jieba_->CutForSearch("海洋北京大学", words, false);
  EXPECT_EQ(words, (vector<string>{"海", "洋", "北京", "大学", "北京大学"}));
  EXPECT_EQ(CutForSearch(*jieba_, "海洋北京大学"),
            (vector<string>{"海洋", "北京", "大学", "北京大学"}));

  vector<Word> cut;
  jieba_->Cut("北京大学 研究", cut);
  ASSERT_EQ(cut.size(), 3u);
  EXPECT_EQ(cut[2].word, "研究");
  EXPECT_EQ(cut[2].offset, 13u);
  EXPECT_EQ(cut[2].unicode_offset, 5u);

  vector<Word> search;
  jieba_->CutForSearch("北京大学", search);
  ASSERT_EQ(search.size(), 3u);
  EXPECT_EQ(search[1].word, "大学");
  EXPECT_EQ(search[1].offset, 6u);
  EXPECT_EQ(search[1].unicode_offset, 2u);
  EXPECT_EQ(search[1].unicode_length, 2u);
}

TEST_F(JiebaTest, OtherCutsUseTheirSegmenters) {
  vector<string> words;
  jieba_->CutAll("北京大学生", words);
  EXPECT_EQ(words, (vector<string>{"北京", "北京大学", "大学", "大学生", "学生"}));
  jieba_->CutHMM("云朵的", words);
  EXPECT_EQ(words, (vector<string>{"云朵", "的"}));
  jieba_->CutSmall("北京大学", words, 2);
  EXPECT_EQ(words, (vector<string>{"北京", "大学"}));

  vector<std::pair<string, string>> tagged;
  EXPECT_TRUE(jieba_->Tag("我们喜欢abc", tagged));
  EXPECT_EQ(tagged,
            (vector<std::pair<string, string>>{{"我们", "r"}, {"喜欢", "v"}, {"abc", "eng"}}));
  EXPECT_EQ(jieba_->LookupTag("云计算"), "n");
  EXPECT_TRUE(jieba_->Find("蓝天"));
  EXPECT_FALSE(jieba_->Find("蓝"));
}

TEST_F(JiebaTest, LoadsTheKeywordResources) {
  const KeywordExtractor& extractor = jieba_->GetKeywordExtractor();
  EXPECT_EQ(extractor.GetIdfMap().size(), 3u);
  EXPECT_DOUBLE_EQ(extractor.GetIdfMap().at("大学"), 3.25);
  EXPECT_DOUBLE_EQ(extractor.GetIdfAverage(), (5.5 + 3.25 + 0.5) / 3);
  EXPECT_EQ(extractor.GetStopWords().size(), 2u);
  EXPECT_EQ(jieba_->GetDictTrie()->Find(string("北京"))->tag, "ns");
  EXPECT_DOUBLE_EQ(jieba_->GetHMMModel()->startProb[0], -0.3);
}

TEST_F(JiebaTest, JoiningTheCutGivesTheSentenceBack) {
  for (const string& s : AllSentences()) {
    EXPECT_EQ(Join(Cut(*jieba_, s)), s);
  }
}

// The search cut is the cut with, before each word, some of its two- and
// three-character parts that are dictionary words.
TEST_F(JiebaTest, CutForSearchHoldsTheCutInOrder) {
  for (const string& s : AllSentences()) {
    const vector<string> cut = Cut(*jieba_, s);
    const vector<string> search = CutForSearch(*jieba_, s);
    size_t q = 0;
    for (const string& word : cut) {
      for (; q < search.size() && search[q] != word; ++q) {
        const string& part = search[q];
        const size_t n = Runes(part);
        EXPECT_TRUE(n == 2 || n == 3) << part;
        EXPECT_LT(n, Runes(word)) << part << " before " << word;
        EXPECT_NE(word.find(part), string::npos) << part << " before " << word;
        EXPECT_TRUE(jieba_->Find(part)) << part;
      }
      ASSERT_LT(q, search.size()) << "missing " << word << " in the search cut of " << s;
      ++q;
    }
    EXPECT_EQ(q, search.size()) << s;
  }
}

TEST_F(JiebaTest, ThreadsCuttingAtOnceAgreeWithSequentialCuts) {
  const vector<string> sentences = AllSentences();
  vector<vector<string>> cuts, searches;
  for (const string& s : sentences) {
    cuts.push_back(Cut(*jieba_, s));
    searches.push_back(CutForSearch(*jieba_, s));
  }
  std::atomic<size_t> mismatches(0);
  std::atomic<size_t> calls(0);
  vector<std::thread> threads;
  const size_t kThreads = 4;
  for (size_t t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      vector<string> words;  // reused, as a caller would
      for (size_t round = 0; round < 20; ++round) {
        // Each thread walks the sentences from its own starting point.
        for (size_t k = 0; k < sentences.size(); ++k) {
          const size_t i = (k + t * sentences.size() / kThreads) % sentences.size();
          jieba_->Cut(sentences[i], words, true);
          if (words != cuts[i]) ++mismatches;
          jieba_->CutForSearch(sentences[i], words, true);
          if (words != searches[i]) ++mismatches;
          calls += 2;
        }
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(calls.load(), kThreads * 20 * sentences.size() * 2);
  EXPECT_EQ(mismatches.load(), 0u);
}

// Everything a facade offers, from several threads at once, on sentences that
// also exercise the paths the cut and search tests leave out: sentences that
// do not decode (their log lines are written from all threads at once and
// must stay whole) and a piece longer than the dictionary search's window.
struct Everything {
  vector<Word> cut;
  vector<string> all, hmm, small;
  vector<std::pair<string, string>> tagged;
  string tag;
  bool found = false;

  Everything(const Jieba& jieba, const string& s) {
    jieba.Cut(s, cut, true);
    jieba.CutAll(s, all);
    jieba.CutHMM(s, hmm);
    jieba.CutSmall(s, small, 3);
    jieba.Tag(s, tagged);
    tag = jieba.LookupTag(s);
    found = jieba.Find(s);
  }
  bool operator==(const Everything& o) const {
    if (cut.size() != o.cut.size()) return false;
    for (size_t i = 0; i < cut.size(); ++i) {
      if (cut[i].word != o.cut[i].word || cut[i].offset != o.cut[i].offset ||
          cut[i].unicode_offset != o.cut[i].unicode_offset ||
          cut[i].unicode_length != o.cut[i].unicode_length) {
        return false;
      }
    }
    return all == o.all && hmm == o.hmm && small == o.small && tagged == o.tagged && tag == o.tag &&
           found == o.found;
  }
};

TEST_F(JiebaTest, EveryOperationFromManyThreads) {
  vector<string> sentences = HandPickedSentences();
  const vector<string> random = RandomSentences(60);
  sentences.insert(sentences.end(), random.begin(), random.end());
  sentences.push_back("我们\xE5\x8C");                // cut off at the end
  sentences.push_back(string("ab") + '\xF8' + "cd");  // a byte that cannot lead
  sentences.push_back("北京");
  string long_piece;
  while (long_piece.size() < 3 * 9000) long_piece += "中华人民共和国的大学生研究云朵";
  sentences.push_back(long_piece);

  testing::internal::CaptureStderr();
  vector<Everything> expected;
  for (const string& s : sentences) expected.emplace_back(*jieba_, s);
  const string sequential_log = testing::internal::GetCapturedStderr();
  const size_t lines_per_pass =
      static_cast<size_t>(std::count(sequential_log.begin(), sequential_log.end(), '\n'));
  ASSERT_GT(lines_per_pass, 0u) << "the undecodable sentences should log";

  const size_t kThreads = 4, kRounds = 3;
  std::atomic<size_t> mismatches(0);
  testing::internal::CaptureStderr();
  vector<std::thread> threads;
  for (size_t t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (size_t round = 0; round < kRounds; ++round) {
        for (size_t k = 0; k < sentences.size(); ++k) {
          const size_t i = (k + t * 7) % sentences.size();
          if (!(Everything(*jieba_, sentences[i]) == expected[i])) ++mismatches;
        }
      }
    });
  }
  for (std::thread& th : threads) th.join();
  const string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(mismatches.load(), 0u);

  // Every line whole: no line was written into the middle of another.
  const std::regex line(
      "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8} csrc/tokenizer/jieba/[A-Za-z]+\\.h:"
      "[0-9]+ ERROR [^\n]*");
  size_t lines = 0;
  std::istringstream in(log);
  for (string l; std::getline(in, l); ++lines) {
    ASSERT_TRUE(std::regex_match(l, line)) << l;
  }
  EXPECT_EQ(lines, lines_per_pass * kThreads * kRounds);
}

TEST(JiebaBuildTest, UserDictionariesAreOptionalAndSeparable) {
  Paths p;
  p.user = "";
  std::unique_ptr<Jieba> main_only = Build(p);
  // Without the user words, the HMM joins 云 and 朵, and 小明 is two characters.
  EXPECT_EQ(Cut(*main_only, "云朵小明"), (vector<string>{"云朵", "小", "明"}));
  EXPECT_FALSE(main_only->Find("蓝天"));

  p.user = Fixture("jieba_user.utf8") + ";" + Fixture("jieba_user_single.utf8");
  std::unique_ptr<Jieba> both = Build(p);
  EXPECT_EQ(Cut(*both, "云朵小明"), (vector<string>{"云", "朵", "小明"}));
}

// Construction fails with the loader's message, after its FATAL line; the
// files are read in the order dictionary, user dictionaries, model, IDF,
// stop words, so each case fails on the first bad file.
TEST(JiebaBuildTest, BadResourceFailsTheConstruction) {
  struct Case {
    Paths paths;
    string message;
  };
  vector<Case> cases(14);
  cases[0].paths.dict = "/no/such/dict";
  cases[0].paths.model = "/no/such/model";
  cases[0].paths.user = "/no/such/user";
  cases[0].paths.idf = "/no/such/idf";
  cases[0].paths.stop = "/no/such/stop";
  cases[0].message = "exp: [ifs.is_open()] false. open /no/such/dict failed.";
  cases[1].paths = cases[0].paths;
  cases[1].paths.dict = Paths().dict;
  cases[1].message = "exp: [ifs.is_open()] false. open /no/such/user failed";
  cases[2].paths = cases[1].paths;
  cases[2].paths.user = Paths().user;
  cases[2].message = "exp: [ifile.is_open()] false. open /no/such/model failed";
  cases[3].paths = cases[2].paths;
  cases[3].paths.model = Paths().model;
  cases[3].message = "exp: [ifs.is_open()] false. open /no/such/idf failed";
  cases[4].paths = cases[3].paths;
  cases[4].paths.idf = Paths().idf;
  cases[4].message = "exp: [ifs.is_open()] false. open /no/such/stop failed";
  // The second of two user dictionaries.
  cases[5].paths.user = Fixture("jieba_user.utf8") + "|/no/such/user2";
  cases[5].message = "exp: [ifs.is_open()] false. open /no/such/user2 failed";
  cases[6].paths.dict = Fixture("jieba_bad_dict.utf8");
  cases[6].message =
      "exp: [buf.size() == DICT_COLUMN_NUM] false. split result illegal, line:喜欢 2000";
  cases[7].paths.model = Fixture("jieba_bad_hmm.utf8");
  cases[7].message = "exp: [tmp.size() == STATUS_SUM] false. ";
  cases[8].paths.dict = Fixture("kw_idf_empty.utf8");
  cases[8].message = "exp: [!static_node_infos_.empty()] false. ";
  // A NUL byte would end the name the system sees, at a file that exists: a
  // path holding one opens nothing.
  const string nul = string("\0", 1) + "/more";
  cases[9].paths.dict += nul;
  cases[9].message = "exp: [ifs.is_open()] false. open " + cases[9].paths.dict + " failed.";
  cases[10].paths.user = Fixture("jieba_user.utf8") + nul;
  cases[10].message = "exp: [ifs.is_open()] false. open " + cases[10].paths.user + " failed";
  cases[11].paths.model += nul;
  cases[11].message = "exp: [ifile.is_open()] false. open " + cases[11].paths.model + " failed";
  cases[12].paths.idf += nul;
  cases[12].message = "exp: [ifs.is_open()] false. open " + cases[12].paths.idf + " failed";
  cases[13].paths.stop += nul;
  cases[13].message = "exp: [ifs.is_open()] false. open " + cases[13].paths.stop + " failed";

  for (const Case& c : cases) {
    testing::internal::CaptureStderr();
    string what = "(no exception)";
    try {
      Build(c.paths);
    } catch (const limonp::FatalError& e) {
      what = e.message();
    }
    const string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(what, c.message);
    // One FATAL line, the last thing written, carrying the same message.
    const string line = " FATAL " + c.message + "\n";
    ASSERT_GE(log.size(), line.size()) << log;
    EXPECT_EQ(log.substr(log.size() - line.size()), line) << log;
    EXPECT_EQ(log.find(" FATAL "), log.size() - line.size()) << log;
  }

  // The process carries on: a good tokenizer still builds and cuts.
  EXPECT_EQ(Cut(*Build(Paths()), "我们的"), (vector<string>{"我们", "的"}));
}

}  // namespace
