#ifndef BASE_LOGGING_H_
#define BASE_LOGGING_H_

#include <ios>
#include <sstream>
#include <string>
#include <string_view>

#include "base/fs_path.h"

// Log statements:
//   LOG(ERROR) << "text " << number;          // this file and line
//   UPDATER_LOG_AT(365, ERROR) << ...;         // the updater's own messages
//   VLOG(1) << ...;                            // verbose, never evaluated here
// A statement below the minimum severity or above the verbose level evaluates
// none of its operands. Each line is appended to "debug.log" beside the
// executable (else in the current directory) with one write; ERROR and FATAL
// go to stderr too; FATAL then aborts. A log statement never changes the
// platform's last error.

namespace updater {

using LogSeverity = int;
constexpr LogSeverity kLogINFO = 0;
constexpr LogSeverity kLogWARNING = 1;
constexpr LogSeverity kLogERROR = 2;
constexpr LogSeverity kLogFATAL = 3;
constexpr LogSeverity kMinLogSeverity = kLogINFO;
constexpr int kVerboseLevel = 0;

// Support tools find the updater's own messages under this source name.
constexpr const char* kChiefSourceFile = "kr_auto_update.cc";

struct LogTime {
  int month;  // 1-12
  int day;
  int hour;
  int minute;
  int second;
};

// "[MMDD/HHMMSS:SEVERITY:file(line)] text\n", file reduced to its base name.
std::string FormatLogLine(const LogTime& time,
                          LogSeverity severity,
                          std::string_view file,
                          int line,
                          std::string_view text);

// Collects one message; wide text is written as UTF-8.
class LogStream {
 public:
  template <typename T>
  LogStream& operator<<(const T& value) {
    out_ << value;
    return *this;
  }
  LogStream& operator<<(std::ios_base& (*manipulator)(std::ios_base&));
  LogStream& operator<<(std::u16string_view text);
  LogStream& operator<<(const std::u16string& text) { return *this << std::u16string_view(text); }
  LogStream& operator<<(const char16_t* text) { return *this << std::u16string_view(text); }
  LogStream& operator<<(const FsPath& path) { return *this << path.value(); }

  std::string str() const { return out_.str(); }

 private:
  std::ostringstream out_;
};

class LogMessage {
 public:
  LogMessage(const char* file, int line, LogSeverity severity);
  ~LogMessage();
  LogMessage(const LogMessage&) = delete;
  LogMessage& operator=(const LogMessage&) = delete;

  LogStream& stream() { return stream_; }

 private:
  const char* file_;
  int line_;
  LogSeverity severity_;
  int saved_last_error_;
  LogStream stream_;
};

// Lets the conditional macros below have type void on both branches.
struct LogMessageVoidify {
  void operator&(LogStream&) {}
};

}  // namespace updater

#define UPDATER_LAZY_STREAM(stream, condition) \
  !(condition) ? (void)0 : ::updater::LogMessageVoidify() & (stream)

// `severity` is a kLog constant. The macros below paste the severity's name
// onto "kLog" before anything could expand it: <windows.h> defines ERROR.
#define UPDATER_LOG_STREAM(file, line, severity)                            \
  UPDATER_LAZY_STREAM(::updater::LogMessage(file, line, severity).stream(), \
                      (severity) >= ::updater::kMinLogSeverity)

#define UPDATER_VLOG_STREAM(file, line, level)                              \
  UPDATER_LAZY_STREAM(::updater::LogMessage(file, line, -(level)).stream(), \
                      (level) <= ::updater::kVerboseLevel)

#define LOG(severity) UPDATER_LOG_STREAM(__FILE__, __LINE__, ::updater::kLog##severity)
#define VLOG(level) UPDATER_VLOG_STREAM(__FILE__, __LINE__, level)
#define UPDATER_LOG_AT(line, severity) \
  UPDATER_LOG_STREAM(::updater::kChiefSourceFile, line, ::updater::kLog##severity)
#define UPDATER_VLOG_AT(line, level) UPDATER_VLOG_STREAM(::updater::kChiefSourceFile, line, level)

#endif  // BASE_LOGGING_H_
