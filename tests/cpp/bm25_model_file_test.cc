#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "search/bm25/bm25.h"

namespace vorda::typing::text {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

const char kTrainedText[] = R"({
  "_b" : 0.750000,
  "_doc_count" : 2,
  "_doc_length_average" : 2.500000,
  "_doc_token_frequency" : {
    "a" : 2,
    "b" : 2,
    "c" : 1
  },
  "_k1" : 1.200000
})";

const char kUntrainedText[] = R"({
  "_b" : 0.750000,
  "_doc_count" : 0,
  "_doc_length_average" : 0.000000,
  "_doc_token_frequency" : {

  },
  "_k1" : 1.200000
})";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class ModelFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("bm25_model_file_test_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The model's whole state as its dumped text.
  std::string TextOf(const BM25& model) {
    const fs::path path = dir_ / "model.json";
    model.dump(path.string());
    return ReadFile(path);
  }

  std::vector<std::string> FilesInDir() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename());
    return names;
  }

  fs::path dir_;
};

void ExpectLoadFails(BM25& model, const std::string& text, const std::string& message) {
  try {
    model.load(text);
    FAIL() << "expected \"" << message << "\" for " << text;
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(error.what(), message) << text;
  }
}

TEST_F(ModelFileTest, DumpWritesTheExactModelTexts) {
  BM25 model(0.75, 1.2);
  EXPECT_EQ(TextOf(model), kUntrainedText);
  model.train(Strings{"a", "a", "b"});
  model.train(Strings{"b", "c"});
  EXPECT_EQ(TextOf(model), kTrainedText);
}

TEST_F(ModelFileTest, LoadRestoresWhatDumpWrote) {
  BM25 loaded(0.1, 9.0);
  loaded.load(kTrainedText);
  EXPECT_EQ(TextOf(loaded), kTrainedText);

  BM25 untrained(0.5, 0.5);
  untrained.load(kUntrainedText);
  EXPECT_EQ(TextOf(untrained), kUntrainedText);
  EXPECT_THROW(untrained.encode_query(Strings{"a"}), std::runtime_error);
}

TEST_F(ModelFileTest, TokensWithQuotesAndControlBytesRoundTrip) {
  const Strings tokens = {"say \"hi\"", "back\\slash", "tab\there", "line\nfeed",
                          "cr\rff\f",   "bs\b",        "\\",         "plain"};
  BM25 model(0.75, 1.2);
  model.train(tokens);
  BM25 restored(0.75, 1.2);
  restored.load(TextOf(model));
  EXPECT_EQ(restored.encode_document(tokens), model.encode_document(tokens));
  EXPECT_EQ(restored.encode_query(tokens), model.encode_query(tokens));
  EXPECT_EQ(TextOf(restored), TextOf(model));
}

TEST_F(ModelFileTest, LoadMergesTheTokenTable) {
  BM25 model(0.75, 1.2);
  for (int i = 0; i < 5; ++i) model.train(Strings{"x"});
  model.load(R"({"_b": 0.5, "_doc_count": 3, "_doc_length_average": 1.0,
                 "_doc_token_frequency": {"y": 1}, "_k1": 2.0, "extra": [1, 2]})");
  EXPECT_EQ(TextOf(model), R"({
  "_b" : 0.500000,
  "_doc_count" : 3,
  "_doc_length_average" : 1.000000,
  "_doc_token_frequency" : {
    "x" : 5,
    "y" : 1
  },
  "_k1" : 2.000000
})");
  // Without a table the model keeps its own.
  model.load(R"({"_b": 0.5, "_doc_count": 3, "_doc_length_average": 1.0, "_k1": 2.0})");
  EXPECT_NE(TextOf(model).find("\"x\" : 5"), std::string::npos);
}

TEST_F(ModelFileTest, RefusedTextsChangeNothing) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"", "json data should not be empty"},
      {"{}", "load doc_count failed"},
      {"[1, 2]", "load doc_count failed"},
      {"not json", "load doc_count failed"},
      {R"({"_doc_token_frequency": {"a": 1, "b": 3.0}, "_doc_count": 1,
           "_doc_length_average": 1.0, "_b": 0.1, "_k1": 0.1})",
       "load doc_token_frequency failed"},
      {R"({"_doc_token_frequency": {"a": 4294967297}, "_doc_count": 1,
           "_doc_length_average": 1.0, "_b": 0.1, "_k1": 0.1})",
       "load doc_token_frequency failed"},
      {R"({"_doc_count": 2147483648, "_doc_length_average": 1.0, "_b": 0.1, "_k1": 0.1})",
       "load doc_count failed"},
      {R"({"_doc_count": -2147483649, "_doc_length_average": 1.0, "_b": 0.1, "_k1": 0.1})",
       "load doc_count failed"},
      {R"({"_doc_count": 1.0, "_doc_length_average": 1.0, "_b": 0.1, "_k1": 0.1})",
       "load doc_count failed"},
      {R"({"_doc_count": 1, "_doc_length_average": 1, "_b": 0.1, "_k1": 0.1})",
       "load doc_length_average failed"},
      {R"({"_doc_count": 2, "_doc_length_average": 1e19, "_b": 0.1, "_k1": 0.1})",
       "load doc_length_average failed"},
      {R"({"_doc_count": 1, "_doc_length_average": 1.0, "_k1": 0.1})", "load b failed"},
      {R"({"_doc_count": 1, "_doc_length_average": 1.0, "_b": 0.1, "_k1": 2})",
       "load k1 failed"},
      // Cut between two tokens of the table: the table holds only "a".
      {"{\n  \"_b\" : 0.750000,\n  \"_doc_count\" : 2,\n  \"_doc_length_average\" : 2.500000,\n"
       "  \"_doc_token_frequency\" : {\n    \"a\" : 2,\n",
       "load k1 failed"},
  };
  BM25 model(0.75, 1.2);
  model.train(Strings{"a", "a", "b"});
  model.train(Strings{"b", "c"});
  const std::string before = TextOf(model);
  for (const Case& c : cases) {
    ExpectLoadFails(model, c.text, c.message);
    EXPECT_EQ(TextOf(model), before) << c.text;
  }
  EXPECT_THROW(model.load(R"({"_doc_count": 99999999999999999999})"), std::out_of_range);
  EXPECT_THROW(model.load(R"({"_doc_count": -})"), std::invalid_argument);
  EXPECT_EQ(TextOf(model), before);
}

TEST_F(ModelFileTest, TrainingAfterLoadExtendsTheLoadedCorpus) {
  BM25 model(0.75, 1.2);
  model.load(kTrainedText);
  model.train(Strings{"a", "b", "d"});
  // Three documents of 5 + 3 tokens in all: average 8 / 3.
  EXPECT_NE(TextOf(model).find("\"_doc_length_average\" : 2.666667"), std::string::npos);
}

TEST_F(ModelFileTest, CountersNeverWrap) {
  BM25 full_count(0.75, 1.2);
  full_count.load(R"({"_doc_count": 2147483647, "_doc_length_average": 1.0,
                      "_b": 0.75, "_k1": 1.2})");
  const std::string count_before = TextOf(full_count);
  EXPECT_THROW(full_count.train(Strings{"a"}), std::runtime_error);
  EXPECT_EQ(TextOf(full_count), count_before);

  // The fourth token would overflow "full": the three before it are undone,
  // including the key that the document brought in.
  BM25 full_token(0.75, 1.2);
  full_token.load(R"({"_doc_count": 3, "_doc_length_average": 1.0, "_b": 0.75, "_k1": 1.2,
                      "_doc_token_frequency": {"full": 2147483646, "old": 0}})");
  const std::string token_before = TextOf(full_token);
  EXPECT_THROW(full_token.train(Strings{"new", "old", "full", "full"}), std::runtime_error);
  EXPECT_EQ(TextOf(full_token), token_before);

  BM25 full_total(0.75, 1.2);
  full_total.load(R"({"_doc_count": 1, "_doc_length_average": 9223372036854774784.0,
                      "_b": 0.75, "_k1": 1.2})");
  const std::string total_before = TextOf(full_total);
  EXPECT_THROW(full_total.train(Strings(2000, "a")), std::runtime_error);
  EXPECT_EQ(TextOf(full_total), total_before);
}

TEST_F(ModelFileTest, DumpReplacesAnExistingFile) {
  const fs::path path = dir_ / "model.json";
  std::ofstream(path) << std::string(10000, 'x');
  BM25 model(0.75, 1.2);
  model.dump(path.string());
  EXPECT_EQ(ReadFile(path), kUntrainedText);
  EXPECT_EQ(FilesInDir(), std::vector<std::string>{"model.json"});
}

TEST_F(ModelFileTest, DumpThatCannotOpenReportsIt) {
  BM25 model(0.75, 1.2);
  // A NUL byte ends the name the system sees: "/dev/null" must not be
  // written for it.
  const std::string cut_short = std::string("/dev/null\0", 10) + (dir_ / "model.json").string();
  for (const std::string& path :
       {(dir_ / "missing" / "model.json").string(), dir_.string(), cut_short}) {
    try {
      model.dump(path);
      FAIL() << path;
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "Failed to dump: Unable to open file");
    }
  }
}

TEST_F(ModelFileTest, FailedWriteIsReportedAndKeepsTheOldFile) {
  BM25 model(0.75, 1.2);
  Strings many;
  for (int i = 0; i < 2000; ++i) many.push_back("token" + std::to_string(i));
  model.train(many);

  try {
    model.dump("/dev/full");
    FAIL() << "writing to a full device succeeded";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Failed to dump: Unable to write file");
  }

  // A file size limit makes the write fail part way through.
  const fs::path path = dir_ / "model.json";
  std::ofstream(path) << kTrainedText;
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previous_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool refused = false;
  try {
    model.dump(path.string());
  } catch (const std::runtime_error& error) {
    refused = std::string(error.what()) == "Failed to dump: Unable to write file";
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous_handler);
  EXPECT_TRUE(refused);
  EXPECT_EQ(ReadFile(path), kTrainedText);
  EXPECT_EQ(FilesInDir(), std::vector<std::string>{"model.json"});
}

}  // namespace
}  // namespace vorda::typing::text
