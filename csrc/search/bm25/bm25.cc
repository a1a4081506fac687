#include "search/bm25/bm25.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <stdexcept>

#include "search/bm25/_json.h"

namespace vorda::typing::text {

namespace {

constexpr int kMaxCount = std::numeric_limits<int>::max();
constexpr long long kMaxTotal = std::numeric_limits<long long>::max();

const std::string& TokenKey(const std::string& token) { return token; }

// Ids share the table with strings under their "%lld" spelling.
std::string TokenKey(long long id) { return std::to_string(id); }

int ThreeWay(const std::string& a, const std::string& b) { return a.compare(b); }
int ThreeWay(long long a, long long b) { return (a > b) - (a < b); }

// Visits the distinct tokens of a list in ascending order, each with the
// position of its first occurrence and the number of times it occurs.
// Sorting positions costs less than building a counting map for lists as
// short as documents and queries.
template <typename Token, typename Visit>
void ForEachDistinctInOrder(const std::vector<Token>& tokens, Visit visit) {
  std::vector<std::size_t> order(tokens.size());
  for (std::size_t i = 0; i < tokens.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&tokens](std::size_t a, std::size_t b) {
    const int order_of_tokens = ThreeWay(tokens[a], tokens[b]);
    return order_of_tokens < 0 || (order_of_tokens == 0 && a < b);
  });
  for (std::size_t run = 0; run < order.size();) {
    std::size_t end = run + 1;
    while (end < order.size() && tokens[order[end]] == tokens[order[run]]) ++end;
    visit(order[run], static_cast<int>(end - run));
    run = end;
  }
}

// The ordered map of a sparse vector given by input positions.
template <typename Token>
std::map<Token, double> ByToken(const std::vector<Token>& tokens,
                                const BM25::PositionWeights& weights) {
  std::map<Token, double> by_token;
  for (const auto& [position, weight] : weights) {
    by_token.emplace_hint(by_token.end(), tokens[position], weight);
  }
  return by_token;
}

// The values of a model text, checked and ready to be taken over.
struct ModelText {
  double b = 0.0;
  double k1 = 0.0;
  int doc_count = 0;
  double doc_length_average = 0.0;
  long long doc_length_total = 0;
  std::vector<std::pair<std::string, int>> token_frequency;
};

bool FitsInt(std::int64_t value) {
  return value >= std::numeric_limits<int>::min() && value <= kMaxCount;
}

const json::JSON* Member(const json::JSON& root, const std::string& name) {
  if (root.JSONType() != json::JSON::Class::Object || !root.hasKey(name)) return nullptr;
  return &root.at(name);
}

int CountMember(const json::JSON* member, const char* error) {
  bool ok = false;
  const std::int64_t count = member == nullptr ? 0 : member->ToInt(ok);
  if (!ok || !FitsInt(count)) throw std::runtime_error(error);
  return static_cast<int>(count);
}

double FloatMember(const json::JSON* member, const char* error) {
  bool ok = false;
  const double value = member == nullptr ? 0.0 : member->ToFloat(ok);
  if (!ok) throw std::runtime_error(error);
  return value;
}

// Reads and checks a model text in the order the members are taken over:
// the token table, then the count, the average, b and k1. A missing table
// is no error; it leaves the model's own table as it is.
ModelText ParseModelText(const std::string& json_data) {
  const json::JSON root = json::JSON::Load(json_data);
  ModelText model;
  if (const json::JSON* table = Member(root, "_doc_token_frequency");
      table != nullptr && table->JSONType() == json::JSON::Class::Object) {
    model.token_frequency.reserve(static_cast<std::size_t>(table->size()));
    for (const auto& [token, count] : table->ObjectRange()) {
      model.token_frequency.emplace_back(token,
                                         CountMember(&count, "load doc_token_frequency failed"));
    }
  }
  model.doc_count = CountMember(Member(root, "_doc_count"), "load doc_count failed");
  model.doc_length_average =
      FloatMember(Member(root, "_doc_length_average"), "load doc_length_average failed");
  model.b = FloatMember(Member(root, "_b"), "load b failed");
  model.k1 = FloatMember(Member(root, "_k1"), "load k1 failed");

  // The file keeps no length total; count x average restores it, so that
  // training goes on from the loaded corpus.
  const double total = std::round(model.doc_count * model.doc_length_average);
  constexpr double kTotalLimit = 9223372036854775808.0;  // 2^63
  if (!(total >= -kTotalLimit && total < kTotalLimit)) {
    throw std::runtime_error("load doc_length_average failed");
  }
  model.doc_length_total = static_cast<long long>(total);
  return model;
}

// Writes the whole text, then flushes it to the disk; false on any failure.
bool WriteFully(int fd, const std::string& text) {
  for (std::size_t written = 0; written < text.size();) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<std::size_t>(n);
  }
  return true;
}

[[noreturn]] void FailToOpen() { throw std::runtime_error("Failed to dump: Unable to open file"); }
[[noreturn]] void FailToWrite() { throw std::runtime_error("Failed to dump: Unable to write file"); }

// Devices and pipes are written in place: renaming over them would replace
// the node itself.
void WriteInPlace(const std::string& filename, const std::string& text) {
  const int fd = ::open(filename.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) FailToOpen();
  const bool written = WriteFully(fd, text);
  if (::close(fd) != 0 || !written) FailToWrite();
}

// A regular file is replaced through a temporary file beside it, so that a
// failed write never costs the model that was there before.
void ReplaceFile(const std::string& filename, const std::string& text) {
  std::string temporary = filename + ".XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) FailToOpen();
  const mode_t mask = ::umask(0);
  ::umask(mask);
  bool written = ::fchmod(fd, 0666 & ~mask) == 0 && WriteFully(fd, text) && ::fsync(fd) == 0;
  written = ::close(fd) == 0 && written;
  if (!written || std::rename(temporary.c_str(), filename.c_str()) != 0) {
    ::unlink(temporary.c_str());
    FailToWrite();
  }
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
  if (_doc_length_total > kMaxTotal - static_cast<long long>(corpus.size())) {
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

void BM25::load(const std::string& json_data) {
  if (json_data.empty()) throw std::runtime_error("json data should not be empty");
  ModelText model = ParseModelText(json_data);
  for (auto& [token, count] : model.token_frequency) {
    _doc_token_frequency.insert_or_assign(std::move(token), count);
  }
  _doc_count = model.doc_count;
  _doc_length_average = model.doc_length_average;
  _doc_length_total = model.doc_length_total;
  _b = model.b;
  _k1 = model.k1;
}

void BM25::dump(const std::string& filename) const {
  json::JSON data;
  json::JSON& table = data["_doc_token_frequency"] = json::Object();
  for (const auto& [token, count] : _doc_token_frequency) table[token] = count;
  data["_doc_count"] = _doc_count;
  data["_doc_length_average"] = _doc_length_average;
  data["_b"] = _b;
  data["_k1"] = _k1;
  std::ostringstream text;
  text << data;

  // The system reads a file name only up to a NUL byte: such a name would
  // write some other file.
  if (filename.find('\0') != std::string::npos) FailToOpen();
  struct stat target;
  if (::stat(filename.c_str(), &target) == 0) {
    if (S_ISDIR(target.st_mode)) FailToOpen();
    if (!S_ISREG(target.st_mode)) return WriteInPlace(filename, text.str());
  }
  ReplaceFile(filename, text.str());
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

// Saturated term frequency c / (K + c) of every distinct token.
template <typename Token>
BM25::PositionWeights BM25::_document_weights(const std::vector<Token>& tokens) const {
  if (tokens.empty()) return {};
  _check_initialized();
  const double length_factor = _length_factor(tokens.size());
  PositionWeights weights;
  ForEachDistinctInOrder(tokens, [&](std::size_t position, int count) {
    const double c = static_cast<double>(count);
    weights.emplace_back(position, c / (length_factor + c));
  });
  return weights;
}

// The idf of every distinct token once, summed in ascending token order, then
// normalised to sum to one.
template <typename Token>
BM25::PositionWeights BM25::_query_weights(const std::vector<Token>& tokens) const {
  if (tokens.empty()) return {};
  _check_initialized();
  PositionWeights weights;
  double sum = 0.0;
  ForEachDistinctInOrder(tokens, [&](std::size_t position, int) {
    const double weight = idf(TokenKey(tokens[position]));
    sum += weight;
    weights.emplace_back(position, weight);
  });
  for (auto& entry : weights) entry.second /= sum;
  return weights;
}

BM25::PositionWeights BM25::encode_document_positions(
    const std::vector<std::string>& tokens) const {
  return _document_weights(tokens);
}

BM25::PositionWeights BM25::encode_query_positions(const std::vector<std::string>& tokens) const {
  return _query_weights(tokens);
}

std::map<std::string, double> BM25::encode_document(const std::vector<std::string>& tokens) const {
  return ByToken(tokens, _document_weights(tokens));
}

std::map<long long, double> BM25::encode_document(const std::vector<long long>& tokens) const {
  return ByToken(tokens, _document_weights(tokens));
}

std::map<std::string, double> BM25::encode_query(const std::vector<std::string>& tokens) const {
  return ByToken(tokens, _query_weights(tokens));
}

std::map<long long, double> BM25::encode_query(const std::vector<long long>& tokens) const {
  return ByToken(tokens, _query_weights(tokens));
}

}  // namespace vorda::typing::text
