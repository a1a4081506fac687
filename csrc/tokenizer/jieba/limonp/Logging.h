// Log lines and check statements of the segmentation engine.
//
// A log line reads: local time, space, source path, ":", line, space, level
// name, space, message, newline. It is written to standard error with one
// write and flushed.
//
//   XLOG(ERROR) << "Decode " << word << " failed.";
//   XCHECK(ifs.is_open()) << "open " << path << " failed.";
//
// A line of level LL_FATAL (every failed XCHECK, and XLOG(FATAL)) is written
// in full and then throws limonp::FatalError carrying the message (the text
// after the header), so the operation that raised it stops; the process never
// exits or aborts.
#ifndef VORDA_TYPING_TEXT_LIMONP_LOGGING_H_
#define VORDA_TYPING_TEXT_LIMONP_LOGGING_H_

#include <cstddef>
#include <ctime>
#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

namespace vorda {
namespace typing {
namespace text {
namespace limonp {

enum { LL_DEBUG = 0, LL_INFO = 1, LL_WARNING = 2, LL_ERROR = 3, LL_FATAL = 4 };

inline constexpr const char* LOG_LEVEL_ARRAY[] = {"DEBUG", "INFO", "WARN", "ERROR", "FATAL"};
inline constexpr const char* LOG_TIME_FORMAT = "%Y-%m-%d %H:%M:%S";

// Thrown after a LL_FATAL line has been written. what() is the message of the
// line without its header, e.g. "exp: [ifs.is_open()] false. open x failed.".
class FatalError : public std::runtime_error {
 public:
  explicit FatalError(const std::string& message)
      : std::runtime_error(message), message_(std::make_shared<const std::string>(message)) {}

  // The whole message. what() ends at the first NUL byte, which a quoted file
  // name or resource line may hold.
  const std::string& message() const { return *message_; }

 private:
  std::shared_ptr<const std::string> message_;  // shared: copies cannot throw
};

class Logger {
 public:
  Logger(size_t level, const char* filename, int lineno) : level_(level) {
    char buf[32];
    time_t now = time(nullptr);
    struct tm tm_now;
    if (localtime_r(&now, &tm_now) == nullptr ||
        strftime(buf, sizeof(buf), LOG_TIME_FORMAT, &tm_now) == 0) {
      buf[0] = '\0';
    }
    stream_ << buf << ' ' << filename << ':' << lineno << ' ' << LevelName(level_) << ' ';
    header_size_ = static_cast<size_t>(stream_.tellp());
  }

  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  // Writes the line unless Emit() already did. Never throws.
  ~Logger() {
    if (!emitted_) {
      try {
        Write();
      } catch (...) {
      }
    }
  }

  std::ostream& Stream() { return stream_; }

  size_t Level() const { return level_; }

  // True until the line has been written.
  bool Pending() const { return !emitted_; }

  // Writes the line now; for LL_FATAL, then throws FatalError with the message.
  void Emit() {
    emitted_ = true;
    std::string line = Write();
    if (level_ == LL_FATAL) {
      throw FatalError(line.substr(header_size_));
    }
  }

  static const char* LevelName(size_t level) {
    return level <= LL_FATAL ? LOG_LEVEL_ARRAY[level] : "UNKNOWN";
  }

 private:
  std::string Write() {
    std::string line = stream_.str();
    line.push_back('\n');
    std::cerr.write(line.data(), static_cast<std::streamsize>(line.size()));
    std::cerr.flush();
    line.pop_back();
    return line;
  }

  std::ostringstream stream_;
  size_t level_;
  size_t header_size_ = 0;
  bool emitted_ = false;
};

}  // namespace limonp
}  // namespace text
}  // namespace typing
}  // namespace vorda

// Log statement: XLOG(ERROR) << pieces...; one line, written at the end of the
// statement with the file and line of the statement. The for-loop runs its
// body once and then emits, so a fatal line throws from a plain member
// function rather than from a destructor.
#define XLOG(level)                                                        \
  for (::vorda::typing::text::limonp::Logger limonp_logger_(               \
           ::vorda::typing::text::limonp::LL_##level, __FILE__, __LINE__); \
       limonp_logger_.Pending(); limonp_logger_.Emit())                    \
  limonp_logger_.Stream()

// Check statement: if exp is false, a LL_FATAL line "exp: [" #exp "] false. "
// followed by the appended pieces, then FatalError.
#define XCHECK(exp) \
  if (exp) {        \
  } else            \
    XLOG(FATAL) << "exp: [" #exp << "] false. "

#endif  // VORDA_TYPING_TEXT_LIMONP_LOGGING_H_
