#ifndef TESTS_HTTP_HTTP_TEST_UTIL_H_
#define TESTS_HTTP_HTTP_TEST_UTIL_H_

#include <string>
#include <vector>

#include "base/string_util.h"

namespace updater {

inline std::u16string U16(const std::string& text) {
  return UTF8ToUTF16(text);
}

inline std::string BodyOf(std::span<const uint8_t> body) {
  return std::string(body.begin(), body.end());
}

// Progress reports of the running test; ProgressCallback is a plain function.
inline std::vector<double>& Reports() {
  static std::vector<double> reports;
  return reports;
}

inline bool RecordProgress(double progress) {
  Reports().push_back(progress);
  return true;
}

}  // namespace updater

#endif  // TESTS_HTTP_HTTP_TEST_UTIL_H_
