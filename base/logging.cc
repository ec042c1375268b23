#include "base/logging.h"

#include <cstdio>
#include <cstdlib>

#include "base/last_error_platform.h"
#include "base/logging_platform.h"
#include "base/string_util.h"

namespace updater {
namespace {

std::string SeverityName(LogSeverity severity) {
  if (severity < 0) return "VERBOSE" + std::to_string(-severity);
  switch (severity) {
    case kLogINFO:
      return "INFO";
    case kLogWARNING:
      return "WARNING";
    case kLogERROR:
      return "ERROR";
    case kLogFATAL:
      return "FATAL";
    default:
      return "UNKNOWN";
  }
}

std::string_view BaseName(std::string_view file) {
  const size_t separator = file.find_last_of("/\\");
  return separator == std::string_view::npos ? file : file.substr(separator + 1);
}

}  // namespace

std::string FormatLogLine(const LogTime& time,
                          LogSeverity severity,
                          std::string_view file,
                          int line,
                          std::string_view text) {
  char stamp[32];
  std::snprintf(stamp, sizeof(stamp), "[%02d%02d/%02d%02d%02d:", time.month, time.day, time.hour,
                time.minute, time.second);
  std::string formatted = stamp;
  formatted += SeverityName(severity);
  formatted += ':';
  formatted += BaseName(file);
  formatted += '(' + std::to_string(line) + ")] ";
  formatted += text;
  formatted += '\n';
  return formatted;
}

LogStream& LogStream::operator<<(std::ios_base& (*manipulator)(std::ios_base&)) {
  out_ << manipulator;
  return *this;
}

LogStream& LogStream::operator<<(std::u16string_view text) {
  out_ << UTF16ToUTF8(text);
  return *this;
}

LogMessage::LogMessage(const char* file, int line, LogSeverity severity)
    : file_(file), line_(line), severity_(severity), saved_last_error_(platform::LastError()) {}

LogMessage::~LogMessage() {
  const std::string line =
      FormatLogLine(platform::CurrentLocalTime(), severity_, file_, line_, stream_.str());
  if (severity_ >= kLogERROR) platform::WriteToStandardError(line);
  platform::AppendToLogFile(line);
  platform::SetLastError(saved_last_error_);
  if (severity_ == kLogFATAL) std::abort();
}

}  // namespace updater
