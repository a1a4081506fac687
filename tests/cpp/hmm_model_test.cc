#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tokenizer/jieba/HMMModel.h"
#include "tokenizer/jieba/limonp/Logging.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {
namespace {

const std::string kFixtures = VIVIVIDODOR_FIXTURES;
const double kImpossible = -3.14e+100;

// Writes text to a fresh file under the test temporary directory.
std::string WriteModel(const std::string& name, const std::string& text) {
  const std::string path = testing::TempDir() + "hmm_model_test_" + name + ".utf8";
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out << text;
  return path;
}

void ExpectSameModel(const HMMModel& a, const HMMModel& b) {
  for (size_t i = 0; i < HMMModel::STATUS_SUM; i++) {
    EXPECT_EQ(a.statMap[i], b.statMap[i]);
    EXPECT_EQ(a.startProb[i], b.startProb[i]) << "start " << i;
    for (size_t j = 0; j < HMMModel::STATUS_SUM; j++) {
      EXPECT_EQ(a.transProb[i][j], b.transProb[i][j]) << "trans " << i << " " << j;
    }
  }
  EXPECT_EQ(a.emitProbB, b.emitProbB);
  EXPECT_EQ(a.emitProbE, b.emitProbE);
  EXPECT_EQ(a.emitProbM, b.emitProbM);
  EXPECT_EQ(a.emitProbS, b.emitProbS);
}

void ExpectOwnMaps(const HMMModel& model) {
  ASSERT_EQ(model.emitProbVec.size(), 4u);
  EXPECT_EQ(model.emitProbVec[HMMModel::B], &model.emitProbB);
  EXPECT_EQ(model.emitProbVec[HMMModel::E], &model.emitProbE);
  EXPECT_EQ(model.emitProbVec[HMMModel::M], &model.emitProbM);
  EXPECT_EQ(model.emitProbVec[HMMModel::S], &model.emitProbS);
}

// The nine lines of a model; tests replace one of them.
std::vector<std::string> GoodLines() {
  return {"-1 -2 -3 -4",     "-5 -6 -7 -8",     "-9 -10 -11 -12",
          "-13 -14 -15 -16", "-17 -18 -19 -20", "中:-1",
          "国:-2",           "华:-3",           "人:-4"};
}

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\n";
  }
  return text;
}

TEST(HMMModelTest, StateValues) {
  EXPECT_EQ(HMMModel::B, 0);
  EXPECT_EQ(HMMModel::E, 1);
  EXPECT_EQ(HMMModel::M, 2);
  EXPECT_EQ(HMMModel::S, 3);
  EXPECT_EQ(HMMModel::STATUS_SUM, 4);
}

TEST(HMMModelTest, LoadsTheNineLines) {
  HMMModel model(kFixtures + "/hmm_model_bare.utf8");
  EXPECT_EQ(std::string(model.statMap, 4), "BEMS");
  const double start[4] = {-0.5, kImpossible, kImpossible, -1.0};
  const double trans[4][4] = {{kImpossible, -0.25, -1.5, kImpossible},
                              {-1.0, kImpossible, kImpossible, -0.5},
                              {kImpossible, -0.25, -1.5, kImpossible},
                              {-1.0, kImpossible, kImpossible, -0.5}};
  for (size_t i = 0; i < 4; i++) {
    EXPECT_EQ(model.startProb[i], start[i]);
    for (size_t j = 0; j < 4; j++) {
      EXPECT_EQ(model.transProb[i][j], trans[i][j]) << i << " " << j;
    }
  }
  EXPECT_EQ(model.emitProbB, (EmitProbMap{{0x4E2D, -1.0}, {0x5317, -1.5}}));  // 中 北
  EXPECT_EQ(model.emitProbE, (EmitProbMap{{0x56FD, -1.0}, {0x4EAC, -1.5}}));  // 国 京
  EXPECT_EQ(model.emitProbM, (EmitProbMap{{0x534E, -2.0}}));                  // 华
  EXPECT_EQ(model.emitProbS,
            (EmitProbMap{{0x4EBA, -1.0}, {0x7684, -0.5}, {0x4E2D, -5.0}}));  // 人 的 中
  ExpectOwnMaps(model);
}

TEST(HMMModelTest, CommentsBlankLinesAndCrlfChangeNothing) {
  // The decorated file also has a tenth line, which is never read.
  HMMModel decorated(kFixtures + "/hmm_model.utf8");
  HMMModel bare(kFixtures + "/hmm_model_bare.utf8");
  ExpectSameModel(decorated, bare);
}

TEST(HMMModelTest, GetEmitProbFallsBackToTheDefault) {
  HMMModel model(kFixtures + "/hmm_model_bare.utf8");
  EXPECT_EQ(model.GetEmitProb(model.emitProbVec[HMMModel::S], 0x4EBA, kImpossible), -1.0);
  EXPECT_EQ(model.GetEmitProb(model.emitProbVec[HMMModel::S], 0x5317, kImpossible), kImpossible);
  EXPECT_EQ(model.GetEmitProb(model.emitProbVec[HMMModel::B], 0x5317, 7.0), -1.5);
  EXPECT_EQ(model.GetEmitProb(model.emitProbVec[HMMModel::M], 'a', 7.0), 7.0);
}

TEST(HMMModelTest, LenientNumbersAndEmissionLines) {
  std::vector<std::string> lines = GoodLines();
  lines[2] = "-9 -10 word -12";       // no number: 0.0
  lines[3] = "-13 -14.5xyz 1e1 -16";  // longest numeric prefix
  lines[5] = "中:-1,北:-2,";          // trailing comma: no extra entry
  lines[6] = "国:-2,国:-7";           // the later value wins
  lines[7] = "华:abc";                // value without a number: 0.0
  HMMModel model(WriteModel("lenient", Join(lines)));
  EXPECT_EQ(model.transProb[1][2], 0.0);
  EXPECT_EQ(model.transProb[2][1], -14.5);
  EXPECT_EQ(model.transProb[2][2], 10.0);
  EXPECT_EQ(model.emitProbB, (EmitProbMap{{0x4E2D, -1.0}, {0x5317, -2.0}}));
  EXPECT_EQ(model.emitProbE, (EmitProbMap{{0x56FD, -7.0}}));
  EXPECT_EQ(model.emitProbM, (EmitProbMap{{0x534E, 0.0}}));
}

struct BadModel {
  const char* name;
  std::string text;
  std::string fatal;  // what() of the error, the message of the FATAL line
  std::string error;  // message of the ERROR line before it, or empty
};

std::vector<BadModel> BadModels() {
  std::vector<BadModel> cases;
  auto with = [](size_t index, const std::string& line) {
    std::vector<std::string> lines = GoodLines();
    lines[index] = line;
    return Join(lines);
  };
  const std::string kFields = "exp: [tmp.size() == STATUS_SUM] false. ";
  const std::string kLine = "exp: [GetLine(ifile, line)] false. ";
  cases.push_back({"three start numbers", with(0, "-1 -2 -3"), kFields, ""});
  cases.push_back({"two spaces in a row", with(0, "-1  -2 -3 -4"), kFields, ""});
  cases.push_back({"five transitions", with(4, "-1 -2 -3 -4 -5"), kFields, ""});
  cases.push_back({"tab is no separator", with(1, "-1\t-2 -3 -4"), kFields, ""});
  cases.push_back({"two characters before the colon", with(5, "中国:-1"),
                   "exp: [LoadEmitProb(line, emitProbB)] false. ", "TransCode failed."});
  cases.push_back({"empty entry between two commas", with(6, "国:-1,,京:-2"),
                   "exp: [LoadEmitProb(line, emitProbE)] false. ", "emitProb illegal."});
  cases.push_back({"entry without a colon", with(7, "华-1"),
                   "exp: [LoadEmitProb(line, emitProbM)] false. ", "emitProb illegal."});
  cases.push_back({"entry with two colons", with(7, "华:-1:2"),
                   "exp: [LoadEmitProb(line, emitProbM)] false. ", "emitProb illegal."});
  cases.push_back({"no character before the colon", with(8, ":-1"),
                   "exp: [LoadEmitProb(line, emitProbS)] false. ", "TransCode failed."});
  cases.push_back({"undecodable character", with(8, "\xFF:-1"),
                   "exp: [LoadEmitProb(line, emitProbS)] false. ", "TransCode failed."});
  std::vector<std::string> eight = GoodLines();
  eight.pop_back();
  eight.push_back("# the emissions of S are missing");
  eight.push_back("   ");
  cases.push_back({"eight significant lines", Join(eight), kLine, ""});
  cases.push_back({"empty file", "", kLine, ""});
  cases.push_back({"only comments", "# a\n\n  # b\n", kLine, ""});
  return cases;
}

TEST(HMMModelTest, MalformedFilesThrowTheFatalMessage) {
  for (const BadModel& c : BadModels()) {
    const std::string path = WriteModel("bad", c.text);
    testing::internal::CaptureStderr();
    std::string what;
    try {
      HMMModel model(path);
      ADD_FAILURE() << c.name << ": loaded";
    } catch (const limonp::FatalError& e) {
      what = e.what();
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(what, c.fatal) << c.name;
    const size_t fatal_at = err.find(" FATAL " + c.fatal + "\n");
    EXPECT_NE(fatal_at, std::string::npos) << c.name << ": " << err;
    if (c.error.empty()) {
      EXPECT_EQ(err.find(" ERROR "), std::string::npos) << c.name << ": " << err;
    } else {
      // The ERROR line comes first, then the FATAL line of its emission line.
      EXPECT_LT(err.find(" ERROR " + c.error + "\n"), fatal_at) << c.name << ": " << err;
    }
  }
}

TEST(HMMModelTest, MissingFileThrowsTheOpenMessage) {
  const std::string path = testing::TempDir() + "hmm_model_test_no_such_file.utf8";
  testing::internal::CaptureStderr();
  try {
    HMMModel model(path);
    ADD_FAILURE() << "loaded";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "exp: [ifile.is_open()] false. open " + path + " failed");
  }
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("csrc/tokenizer/jieba/HMMModel.h:"), std::string::npos) << err;
  EXPECT_NE(err.find(" FATAL exp: [ifile.is_open()] false. open " + path + " failed\n"),
            std::string::npos)
      << err;
}

// A directory opens as a stream but cannot be read: that is reported as such,
// not as a file without lines.
TEST(HMMModelTest, UnreadablePathThrowsTheReadMessage) {
  const std::string message = "exp: [!ifile.bad()] false. read " + kFixtures + " failed";
  testing::internal::CaptureStderr();
  try {
    HMMModel model(kFixtures);
    ADD_FAILURE() << "loaded";
  } catch (const limonp::FatalError& e) {
    EXPECT_EQ(std::string(e.what()), message);
  }
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(" FATAL " + message + "\n"), std::string::npos) << err;
}

TEST(HMMModelTest, FailedReloadLeavesTheModelAsItWas) {
  HMMModel model(kFixtures + "/hmm_model_bare.utf8");
  const HMMModel before(model);
  std::vector<std::string> lines = GoodLines();
  lines[8] = "人:-4,x";  // fails on the last line, after all others were read
  const std::string path = WriteModel("late_failure", Join(lines));
  testing::internal::CaptureStderr();
  EXPECT_THROW(model.LoadModel(path), limonp::FatalError);
  testing::internal::GetCapturedStderr();
  ExpectSameModel(model, before);
  ExpectOwnMaps(model);
}

TEST(HMMModelTest, ReloadReplacesTheEmissions) {
  HMMModel model(kFixtures + "/hmm_model_bare.utf8");
  model.LoadModel(WriteModel("good", Join(GoodLines())));
  EXPECT_EQ(model.startProb[3], -4.0);
  EXPECT_EQ(model.transProb[3][3], -20.0);
  EXPECT_EQ(model.emitProbB, (EmitProbMap{{0x4E2D, -1.0}}));  // 北 is gone
  ExpectOwnMaps(model);
}

TEST(HMMModelTest, CopiesUseTheirOwnMaps) {
  std::unique_ptr<HMMModel> original(new HMMModel(kFixtures + "/hmm_model_bare.utf8"));
  HMMModel copy(*original);
  HMMModel assigned(WriteModel("good", Join(GoodLines())));
  assigned = *original;
  ExpectSameModel(copy, *original);
  ExpectSameModel(assigned, *original);
  original.reset();
  ExpectOwnMaps(copy);
  ExpectOwnMaps(assigned);
  EXPECT_EQ(copy.GetEmitProb(copy.emitProbVec[HMMModel::B], 0x5317, 0.0), -1.5);
}

TEST(HMMModelTest, LoadEmitProbLines) {
  struct Case {
    std::string line;
    bool ok;
    EmitProbMap map;  // after the call, on an empty map
  };
  const std::vector<Case> cases = {
      {"", false, {}},
      {"a:1", true, {{'a', 1.0}}},
      {"a:1,b:-2.5", true, {{'a', 1.0}, {'b', -2.5}}},
      {"a:1,b:2,", true, {{'a', 1.0}, {'b', 2.0}}},
      {"a:1,a:3", true, {{'a', 3.0}}},
      // Entries before the bad one stay.
      {"a:1,,b:2", false, {{'a', 1.0}}},
      {"a:1,bc:2", false, {{'a', 1.0}}},
      {",a:1", false, {}},
      {"\xF0\x9F\x98\x80:0.5", true, {{0x1F600, 0.5}}},
  };
  for (const Case& c : cases) {
    EmitProbMap map;
    testing::internal::CaptureStderr();
    EXPECT_EQ(HMMModel::LoadEmitProb(c.line, map), c.ok) << c.line;
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(map, c.map) << c.line;
  }
}

TEST(HMMModelTest, GetLineSkipsBlankAndCommentLines) {
  const std::string path = WriteModel("lines", "\n  # c\n\t x y \r\n#\n \r\n　z　\nlast");
  std::ifstream in(path.c_str());
  std::string line;
  std::vector<std::string> got;
  while (HMMModel::GetLine(in, line)) {
    got.push_back(line);
  }
  // U+3000 is not ASCII whitespace and stays.
  EXPECT_EQ(got, (std::vector<std::string>{"x y", "　z　", "last"}));
}

}  // namespace
}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda
