#ifndef TESTS_E2E_LOG_LINE_MATCHER_H_
#define TESTS_E2E_LOG_LINE_MATCHER_H_

#include <gmock/gmock.h>

#include <string>

namespace updater::e2e {

// "RivaZeriduv Updater: " + text, as the updater's own messages begin.
inline std::string UpdaterMessage(const std::string& text) {
  return "RivaZeriduv Updater: " + text;
}

// The updater's own log line: "[MMDD/HHMMSS:ERROR:kr_auto_update.cc(<line>)] <message>".
inline ::testing::Matcher<std::string> HasLogLine(int line, const std::string& message) {
  std::string escaped;
  for (char c : message) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) escaped += '\\';
    escaped += c;
  }
  return ::testing::ContainsRegex("\\[[0-9]{4}/[0-9]{6}:ERROR:kr_auto_update\\.cc\\(" +
                                  std::to_string(line) + "\\)\\] " + escaped + "\n");
}

}  // namespace updater::e2e

#endif  // TESTS_E2E_LOG_LINE_MATCHER_H_
