// The four-state (B, E, M, S) hidden Markov model over characters that cuts
// the stretches the dictionary cannot explain. Loaded once from the HMM model
// file, then only read.
#ifndef VORDA_TYPING_TEXT_JIEBA_HMM_MODEL_H_
#define VORDA_TYPING_TEXT_JIEBA_HMM_MODEL_H_

#include <cstdlib>
#include <fstream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tokenizer/jieba/Unicode.h"
#include "tokenizer/jieba/limonp/Logging.h"
#include "tokenizer/jieba/limonp/StringUtil.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {

typedef std::unordered_map<Rune, double> EmitProbMap;

struct HMMModel {
  // A word ends after every character in an odd state (E or S).
  enum { B = 0, E = 1, M = 2, S = 3, STATUS_SUM = 4 };

  explicit HMMModel(const std::string& modelPath) {
    Init();
    LoadModel(modelPath);
  }

  // emitProbVec must point at the copy's own maps, never at the source's.
  HMMModel(const HMMModel& other) {
    Init();
    *this = other;
  }
  HMMModel& operator=(const HMMModel& other) {
    if (this != &other) {
      // Copy the maps first so that a failed allocation changes nothing.
      EmitProbMap b(other.emitProbB), e(other.emitProbE), m(other.emitProbM), s(other.emitProbS);
      CopyNumbers(other);
      emitProbB.swap(b);
      emitProbE.swap(e);
      emitProbM.swap(m);
      emitProbS.swap(s);
    }
    return *this;
  }
  HMMModel& operator=(HMMModel&& other) noexcept {
    if (this != &other) {
      CopyNumbers(other);
      emitProbB.swap(other.emitProbB);
      emitProbE.swap(other.emitProbE);
      emitProbM.swap(other.emitProbM);
      emitProbS.swap(other.emitProbS);
    }
    return *this;
  }

  ~HMMModel() {}

  // Reads the model file. Any problem is a failed check (which throws), and
  // this model is then left exactly as it was: the file is read into a
  // fresh model that replaces this one only once all of it has been read.
  void LoadModel(const std::string& filePath) {
    HMMModel staged{Unloaded()};
    staged.ReadModel(filePath);
    *this = std::move(staged);
  }

  double GetEmitProb(const EmitProbMap* ptMp, Rune key, double defVal) const {
    EmitProbMap::const_iterator cit = ptMp->find(key);
    if (cit == ptMp->end()) {
      return defVal;
    }
    return cit->second;
  }

  // The next line that is neither blank nor a comment, trimmed of ASCII
  // whitespace; false at the end of the file.
  static bool GetLine(std::ifstream& ifile, std::string& line) {
    while (std::getline(ifile, line)) {
      limonp::Trim(line);
      if (line.empty() || limonp::StartsWith(line, "#")) {
        continue;
      }
      return true;
    }
    return false;
  }

  // Parses "c:value,c:value,..." into mp.
  static bool LoadEmitProb(const std::string& line, EmitProbMap& mp) {
    if (line.empty()) {
      return false;
    }
    std::vector<std::string> entries;
    std::vector<std::string> parts;
    Unicode unicode;
    limonp::Split(line, entries, ",");
    mp.reserve(mp.size() + entries.size());
    for (size_t i = 0; i < entries.size(); i++) {
      limonp::Split(entries[i], parts, ":");
      if (2 != parts.size()) {
        XLOG(ERROR) << "emitProb illegal.";
        return false;
      }
      if (!DecodeRunesInString(parts[0], unicode) || unicode.size() != 1) {
        XLOG(ERROR) << "TransCode failed.";
        return false;
      }
      mp[unicode[0]] = strtod(parts[1].c_str(), nullptr);
    }
    return true;
  }

  char statMap[STATUS_SUM];
  double startProb[STATUS_SUM];
  double transProb[STATUS_SUM][STATUS_SUM];
  EmitProbMap emitProbB;
  EmitProbMap emitProbE;
  EmitProbMap emitProbM;
  EmitProbMap emitProbS;
  // Indexed by state; points at the four maps above and owns nothing.
  std::vector<EmitProbMap*> emitProbVec;

 private:
  struct Unloaded {};

  explicit HMMModel(Unloaded) { Init(); }

  void Init() {
    statMap[B] = 'B';
    statMap[E] = 'E';
    statMap[M] = 'M';
    statMap[S] = 'S';
    for (size_t i = 0; i < STATUS_SUM; i++) {
      startProb[i] = 0.0;
      for (size_t j = 0; j < STATUS_SUM; j++) {
        transProb[i][j] = 0.0;
      }
    }
    emitProbVec.clear();
    emitProbVec.push_back(&emitProbB);
    emitProbVec.push_back(&emitProbE);
    emitProbVec.push_back(&emitProbM);
    emitProbVec.push_back(&emitProbS);
  }

  void CopyNumbers(const HMMModel& other) {
    for (size_t i = 0; i < STATUS_SUM; i++) {
      statMap[i] = other.statMap[i];
      startProb[i] = other.startProb[i];
      for (size_t j = 0; j < STATUS_SUM; j++) {
        transProb[i][j] = other.transProb[i][j];
      }
    }
  }

  void ReadModel(const std::string& filePath) {
    std::ifstream ifile;
    if (limonp::IsFileName(filePath)) ifile.open(filePath.c_str());
    XCHECK(ifile.is_open()) << "open " << filePath << " failed";
    // A path that opens but cannot be read (a directory) says so, instead of
    // reading as a file without lines.
    ifile.peek();
    XCHECK(!ifile.bad()) << "read " << filePath << " failed";
    std::string line;
    std::vector<std::string> tmp;

    XCHECK(GetLine(ifile, line));
    limonp::Split(line, tmp, " ");
    XCHECK(tmp.size() == STATUS_SUM);
    for (size_t j = 0; j < tmp.size(); j++) {
      startProb[j] = strtod(tmp[j].c_str(), nullptr);
    }

    for (size_t i = 0; i < STATUS_SUM; i++) {
      XCHECK(GetLine(ifile, line));
      limonp::Split(line, tmp, " ");
      XCHECK(tmp.size() == STATUS_SUM);
      for (size_t j = 0; j < tmp.size(); j++) {
        transProb[i][j] = strtod(tmp[j].c_str(), nullptr);
      }
    }

    XCHECK(GetLine(ifile, line));
    XCHECK(LoadEmitProb(line, emitProbB));
    XCHECK(GetLine(ifile, line));
    XCHECK(LoadEmitProb(line, emitProbE));
    XCHECK(GetLine(ifile, line));
    XCHECK(LoadEmitProb(line, emitProbM));
    XCHECK(GetLine(ifile, line));
    XCHECK(LoadEmitProb(line, emitProbS));

    ifile.close();
  }
};

}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda

#endif  // VORDA_TYPING_TEXT_JIEBA_HMM_MODEL_H_
