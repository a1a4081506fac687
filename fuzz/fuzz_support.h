// Shared pieces of the fuzz targets: a check that reports and aborts, the
// silencing of the engine's log lines, a scratch file for the loaders and the
// paths of the test fixtures.
#ifndef VIVIVIDODOR_FUZZ_FUZZ_SUPPORT_H_
#define VIVIVIDODOR_FUZZ_FUZZ_SUPPORT_H_

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <streambuf>
#include <string>

namespace vivividodor_fuzz {

// A property that does not hold: say which, then abort so that libFuzzer
// keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (0)

// The engine logs every undecodable sentence and malformed line on standard
// error; at thousands of inputs a second that drowns libFuzzer's own report
// and slows the run. VIVIVIDODOR_FUZZ_LOG=1 keeps the lines for debugging.
inline void SilenceEngineLog() {
  static struct Discard : std::streambuf {
    int overflow(int c) override { return c == traits_type::eof() ? 0 : c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
  } discard;
  const char* keep = std::getenv("VIVIVIDODOR_FUZZ_LOG");
  if (keep == nullptr || std::string(keep) != "1") std::cerr.rdbuf(&discard);
}

// A file of this process for the loaders, which read paths: in memory where
// the machine offers it, and removed when the process ends normally.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& name) {
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
    if (dir == nullptr) dir = "/tmp";
    path_ = std::string(dir) + "/vivividodor-fuzz-" + std::to_string(getpid()) + "-" + name;
  }
  ~ScratchFile() { unlink(path_.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& path() const { return path_; }

  void Write(const uint8_t* data, size_t size) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    FUZZ_CHECK(out.good());
  }

  std::string Read() const {
    std::ifstream in(path_, std::ios::binary);
    FUZZ_CHECK(in.is_open());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::string path_;
};

inline std::string Fixture(const std::string& name) {
  return std::string(VIVIVIDODOR_FIXTURES) + "/" + name;
}

// The failed check of a loader carries its message: "exp: [" + condition + ...
inline bool IsCheckMessage(const std::string& what) { return what.rfind("exp: [", 0) == 0; }

}  // namespace vivividodor_fuzz

#endif  // VIVIVIDODOR_FUZZ_FUZZ_SUPPORT_H_
