#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vorda::typing::text {

// Corpus statistics for BM25 weighting, learnt one document at a time, and the
// encoders that turn token lists into sparse vectors.
//
// Every token is keyed by text: a string token by its bytes, an id by its
// decimal text, so the id 42 and the string "42" are one term.
class BM25 {
 public:
  // A sparse vector whose entries name their token by the first position of
  // the input list that holds it, in ascending token order: for callers that
  // keep the token objects themselves and need no copies of their texts.
  using PositionWeights = std::vector<std::pair<std::size_t, double>>;

  BM25(double b, double k1);
  ~BM25();

  void train(const std::vector<std::string>& corpus);
  void train(const std::vector<long long>& corpus);
  void train(const std::vector<std::vector<long long>>& corpus);

  // Takes over the statistics of a model text (the JSON itself, not a path).
  // The whole text is checked first: a refused text changes nothing.
  void load(const std::string& json_data);
  // Writes the model text to a file, replacing it only once the new text is
  // completely written.
  void dump(const std::string& filename) const;

  std::map<std::string, double> encode_document(const std::vector<std::string>& tokens) const;
  std::map<long long, double> encode_document(const std::vector<long long>& tokens) const;

  std::map<std::string, double> encode_query(const std::vector<std::string>& tokens) const;
  std::map<long long, double> encode_query(const std::vector<long long>& tokens) const;

  // encode_document and encode_query of string tokens, by input position.
  PositionWeights encode_document_positions(const std::vector<std::string>& tokens) const;
  PositionWeights encode_query_positions(const std::vector<std::string>& tokens) const;

 private:
  void _train(const std::vector<std::string>& corpus);
  void _train(const std::vector<long long>& corpus);

  double idf(const std::string& qi) const;

  template <typename Token>
  void _add_document(const std::vector<Token>& corpus);
  template <typename Token>
  PositionWeights _document_weights(const std::vector<Token>& tokens) const;
  template <typename Token>
  PositionWeights _query_weights(const std::vector<Token>& tokens) const;
  void _check_initialized() const;
  double _length_factor(std::size_t length) const;

  double _b;
  double _k1;
  int _doc_count;
  long long _doc_length_total;
  double _doc_length_average;
  std::unordered_map<std::string, int> _doc_token_frequency;
};

}  // namespace vorda::typing::text
