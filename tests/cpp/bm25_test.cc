#include "search/bm25/bm25.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace vorda::typing::text {
namespace {

using Strings = std::vector<std::string>;
using Ids = std::vector<long long>;

// The model of the worked examples: documents a,a,b and b,c; count 2,
// average 2.5, table a=2 b=2 c=1.
BM25 TwoDocumentModel() {
  BM25 model(0.75, 1.2);
  model.train(Strings{"a", "a", "b"});
  model.train(Strings{"b", "c"});
  return model;
}

template <typename Key>
void ExpectWeights(const std::map<Key, double>& actual,
                   const std::vector<std::pair<Key, double>>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  auto it = actual.begin();
  for (const auto& [key, weight] : expected) {
    EXPECT_EQ(it->first, key);
    EXPECT_NEAR(it->second, weight, 1e-6) << "key " << key;
    ++it;
  }
}

TEST(BM25Encoding, DocumentWeightsFollowSaturatedTermFrequency) {
  BM25 model = TwoDocumentModel();
  ExpectWeights(model.encode_document(Strings{"a", "b", "a"}),
                {{"a", 2 / 3.38}, {"b", 1 / 2.38}});
  ExpectWeights(model.encode_document(Strings{"z"}), {{"z", 1 / 1.66}});
}

TEST(BM25Encoding, QueryWeightsAreNormalisedIdf) {
  BM25 model = TwoDocumentModel();
  ExpectWeights(model.encode_query(Strings{"c", "a", "c"}), {{"a", 0.208256}, {"c", 0.791744}});
  ExpectWeights(model.encode_query(Strings{"z"}), {{"z", 1.0}});
}

TEST(BM25Encoding, OccurrenceCountsCanMakeIdfNegative) {
  BM25 model(0.75, 1.2);
  model.train(Strings{"a", "a", "b"});
  ExpectWeights(model.encode_query(Strings{"a", "b"}), {{"a", -3.457525}, {"b", 4.457525}});
}

TEST(BM25Encoding, IdsAndTheirDecimalStringsAreOneTerm) {
  BM25 by_ids(0.75, 1.2);
  by_ids.train(Ids{1, 1, 2});
  by_ids.train(Ids{2, 3});
  BM25 by_strings(0.75, 1.2);
  by_strings.train(Strings{"1", "1", "2"});
  by_strings.train(Strings{"2", "3"});
  for (const BM25* model : {&by_ids, &by_strings}) {
    ExpectWeights(model->encode_query(Ids{3, 1, 3}), {{1LL, 0.208256}, {3LL, 0.791744}});
  }
}

TEST(BM25Encoding, KeysAreDistinctAndAscending) {
  BM25 model = TwoDocumentModel();
  auto ids = model.encode_document(Ids{10, -5, 2, 10});
  std::vector<long long> id_keys;
  for (const auto& entry : ids) id_keys.push_back(entry.first);
  EXPECT_EQ(id_keys, (Ids{-5, 2, 10}));

  // Byte-wise order: a prefix sorts first, and UTF-8 lead bytes above ASCII.
  auto strings = model.encode_query(Strings{"\xe4\xb8\xad", "ab", "a", "b", "a"});
  Strings string_keys;
  for (const auto& entry : strings) string_keys.push_back(entry.first);
  EXPECT_EQ(string_keys, (Strings{"a", "ab", "b", "\xe4\xb8\xad"}));
}

TEST(BM25Encoding, LeadingZerosMakeADifferentTerm) {
  BM25 model(0.75, 1.2);
  model.train(Ids{42, 42, 42, 7});
  // "042" is unseen, so it weighs as much as the id 7 seen once.
  auto weights = model.encode_query(Strings{"042", "7"});
  EXPECT_DOUBLE_EQ(weights.at("042"), 0.5);
  auto shared = model.encode_query(Strings{"42", "7"});
  EXPECT_NE(shared.at("42"), 0.5);
}

TEST(BM25Encoding, EmptyInputNeedsNoTraining) {
  BM25 fresh(0.75, 1.2);
  EXPECT_TRUE(fresh.encode_document(Strings{}).empty());
  EXPECT_TRUE(fresh.encode_query(Ids{}).empty());
  EXPECT_TRUE(TwoDocumentModel().encode_query(Strings{}).empty());
}

TEST(BM25Encoding, UntrainedModelRefusesToEncode) {
  BM25 fresh(0.75, 1.2);
  auto expect_refused = [](auto&& encode) {
    try {
      encode();
      FAIL() << "expected an error";
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "BM25 has not been initialized");
    }
  };
  expect_refused([&] { fresh.encode_document(Strings{"a"}); });
  expect_refused([&] { fresh.encode_document(Ids{1}); });
  expect_refused([&] { fresh.encode_query(Strings{"a"}); });
  expect_refused([&] { fresh.encode_query(Ids{1}); });
}

TEST(BM25Training, EmptyDocumentsAreRefusedWithoutChange) {
  BM25 model = TwoDocumentModel();
  auto before = model.encode_query(Strings{"a", "c", "z"});
  for (auto train : std::vector<std::function<void()>>{
           [&] { model.train(Strings{}); }, [&] { model.train(Ids{}); },
           [&] { model.train(std::vector<Ids>{}); }}) {
    try {
      train();
      FAIL() << "expected an error";
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "trainning tokens_vec should not be empty");
    }
  }
  EXPECT_EQ(model.encode_query(Strings{"a", "c", "z"}), before);
  EXPECT_EQ(model.encode_document(Strings{"a", "b", "a"}).at("a"), 2 / 3.38);
}

TEST(BM25Training, ListOfIdDocumentsSkipsEmptyOnes) {
  BM25 batch(0.75, 1.2);
  batch.train(std::vector<Ids>{{1, 2}, {}, {3}});
  BM25 one_by_one(0.75, 1.2);
  one_by_one.train(Ids{1, 2});
  one_by_one.train(Ids{3});
  // Two documents, average 1.5: the same encodings as training them singly.
  EXPECT_EQ(batch.encode_document(Ids{1, 9}), one_by_one.encode_document(Ids{1, 9}));
  EXPECT_EQ(batch.encode_query(Ids{1, 3, 9}), one_by_one.encode_query(Ids{1, 3, 9}));
  // With two documents an unseen term has idf ln(3 / 1.5); with three, ln(4 / 1.5).
  BM25 three(0.75, 1.2);
  three.train(std::vector<Ids>{{1, 2}, {5}, {3}});
  EXPECT_NE(three.encode_query(Ids{1, 3, 9}), batch.encode_query(Ids{1, 3, 9}));
}

TEST(BM25Training, IdCountsAddToTheirStringSpelling) {
  BM25 model(0.75, 1.2);
  model.train(Ids{7, 7, -3});
  model.train(Strings{"7"});
  // N = 2, n("7") = 3, n("-3") = 1.
  const double idf7 = std::log(3 / 3.5);
  const double idf_minus3 = std::log(3 / 1.5);
  auto weights = model.encode_query(Strings{"-3", "7"});
  EXPECT_NEAR(weights.at("7"), idf7 / (idf7 + idf_minus3), 1e-12);
  EXPECT_NEAR(model.encode_query(Ids{-3, 7}).at(-3), idf_minus3 / (idf7 + idf_minus3), 1e-12);
}

TEST(BM25Training, AverageLengthCountsRepeats) {
  BM25 model(1.0, 1.0);
  model.train(Strings{"a", "a", "b"});
  // b = 1, k1 = 1: K = dl / avgdl, so a one-token document weighs 1 / (1/3 + 1).
  EXPECT_DOUBLE_EQ(model.encode_document(Strings{"x"}).at("x"), 1 / (1 / 3.0 + 1));
  model.train(Strings{"b", "c"});
  EXPECT_DOUBLE_EQ(model.encode_document(Strings{"x"}).at("x"), 1 / (1 / 2.5 + 1));
}

}  // namespace
}  // namespace vorda::typing::text
