#include "search/bm25/bm25.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace vorda::typing::text {

namespace {

constexpr int kMaxCount = std::numeric_limits<int>::max();
constexpr long long kMaxTotal = std::numeric_limits<long long>::max();

const std::string& TokenKey(const std::string& token) { return token; }

// Ids share the table with strings under their "%lld" spelling.
std::string TokenKey(long long id) { return std::to_string(id); }

// Visits the distinct tokens of a list in ascending order, each with the
// number of times it occurs. Sorting pointers costs less than building a
// counting map for lists as short as documents and queries.
template <typename Token, typename Visit>
void ForEachDistinctInOrder(const std::vector<Token>& tokens, Visit visit) {
  std::vector<const Token*> order(tokens.size());
  for (std::size_t i = 0; i < tokens.size(); ++i) order[i] = &tokens[i];
  std::sort(order.begin(), order.end(), [](const Token* a, const Token* b) { return *a < *b; });
  for (std::size_t run = 0; run < order.size();) {
    std::size_t end = run + 1;
    while (end < order.size() && *order[end] == *order[run]) ++end;
    visit(*order[run], static_cast<int>(end - run));
    run = end;
  }
}

// Weighs every distinct token once, in ascending order, then normalises the
// weights to sum to one.
template <typename Token, typename Idf>
std::map<Token, double> NormalisedQuery(const std::vector<Token>& tokens, const Idf& idf) {
  std::map<Token, double> weights;
  double sum = 0.0;
  ForEachDistinctInOrder(tokens, [&](const Token& token, int) {
    const double weight = idf(TokenKey(token));
    sum += weight;
    weights.emplace_hint(weights.end(), token, weight);
  });
  for (auto& entry : weights) entry.second /= sum;
  return weights;
}

// Saturated term frequency c / (K + c) of every distinct token.
template <typename Token>
std::map<Token, double> SaturatedDocument(const std::vector<Token>& tokens, double length_factor) {
  std::map<Token, double> weights;
  ForEachDistinctInOrder(tokens, [&](const Token& token, int count) {
    const double c = static_cast<double>(count);
    weights.emplace_hint(weights.end(), token, c / (length_factor + c));
  });
  return weights;
}

}  // namespace

BM25::BM25(double b, double k1)
    : _b(b), _k1(k1), _doc_count(0), _doc_length_total(0), _doc_length_average(0.0) {}

BM25::~BM25() = default;

void BM25::train(const std::vector<std::string>& corpus) {
  if (corpus.empty()) throw std::runtime_error("trainning tokens_vec should not be empty");
  _train(corpus);
}

void BM25::train(const std::vector<long long>& corpus) {
  if (corpus.empty()) throw std::runtime_error("trainning tokens_vec should not be empty");
  _train(corpus);
}

void BM25::train(const std::vector<std::vector<long long>>& corpus) {
  if (corpus.empty()) throw std::runtime_error("trainning tokens_vec should not be empty");
  for (const auto& document : corpus) _train(document);
}

void BM25::_train(const std::vector<std::string>& corpus) {
  if (corpus.empty()) return;
  _add_document(corpus);
}

void BM25::_train(const std::vector<long long>& corpus) {
  if (corpus.empty()) return;
  _add_document(corpus);
}

// Merges one document into the statistics, one table update per token. A
// document that would overflow a counter is refused and its partial update
// undone, so the statistics stay as they were.
template <typename Token>
void BM25::_add_document(const std::vector<Token>& corpus) {
  if (_doc_count == kMaxCount) {
    throw std::runtime_error("BM25 document count would exceed 2147483647");
  }
  if (corpus.size() > static_cast<unsigned long long>(kMaxTotal - _doc_length_total)) {
    throw std::runtime_error("BM25 total document length would exceed the signed 64-bit range");
  }
  std::vector<std::size_t> brought_new_key;
  for (std::size_t i = 0; i < corpus.size(); ++i) {
    auto [entry, inserted] = _doc_token_frequency.try_emplace(TokenKey(corpus[i]), 0);
    if (inserted) brought_new_key.push_back(i);
    if (entry->second == kMaxCount) {
      for (std::size_t j = 0; j < i; ++j) --_doc_token_frequency.find(TokenKey(corpus[j]))->second;
      for (std::size_t j : brought_new_key) _doc_token_frequency.erase(TokenKey(corpus[j]));
      throw std::runtime_error("BM25 token frequency would exceed 2147483647");
    }
    ++entry->second;
  }
  _doc_count += 1;
  _doc_length_total += static_cast<long long>(corpus.size());
  _doc_length_average =
      static_cast<double>(_doc_length_total) / static_cast<double>(_doc_count);
}

double BM25::idf(const std::string& qi) const {
  // N + 1 in 64 bits: a loaded count may already be the largest int.
  const double documents_plus_one = static_cast<double>(static_cast<long long>(_doc_count) + 1);
  auto found = _doc_token_frequency.find(qi);
  const double occurrences =
      found == _doc_token_frequency.end() ? 1.0 : static_cast<double>(found->second);
  return std::log(documents_plus_one / (occurrences + 0.5));
}

void BM25::_check_initialized() const {
  if (_doc_count == 0 || std::fabs(_doc_length_average) < 1e-9) {
    throw std::runtime_error("BM25 has not been initialized");
  }
}

// K = k1 * ((dl / avgdl) * b + (1 - b)), evaluated in that order.
double BM25::_length_factor(std::size_t length) const {
  const double dl = static_cast<double>(length);
  return ((dl / _doc_length_average) * _b + (1.0 - _b)) * _k1;
}

std::map<std::string, double> BM25::encode_document(const std::vector<std::string>& tokens) const {
  if (tokens.empty()) return {};
  _check_initialized();
  return SaturatedDocument(tokens, _length_factor(tokens.size()));
}

std::map<long long, double> BM25::encode_document(const std::vector<long long>& tokens) const {
  if (tokens.empty()) return {};
  _check_initialized();
  return SaturatedDocument(tokens, _length_factor(tokens.size()));
}

std::map<std::string, double> BM25::encode_query(const std::vector<std::string>& tokens) const {
  if (tokens.empty()) return {};
  _check_initialized();
  return NormalisedQuery(tokens, [this](const std::string& key) { return idf(key); });
}

std::map<long long, double> BM25::encode_query(const std::vector<long long>& tokens) const {
  if (tokens.empty()) return {};
  _check_initialized();
  return NormalisedQuery(tokens, [this](const std::string& key) { return idf(key); });
}

}  // namespace vorda::typing::text
