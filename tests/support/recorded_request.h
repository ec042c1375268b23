#ifndef TESTS_SUPPORT_RECORDED_REQUEST_H_
#define TESTS_SUPPORT_RECORDED_REQUEST_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace updater::test_support {

// A request as a loopback server received it.
struct RecordedRequest {
  std::string method;
  std::string target;  // the request target exactly as it was on the wire
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  // The value of the first header of that name (any letter case), or "".
  std::string Header(std::string_view name) const;
  int CountHeader(std::string_view name) const;
};

}  // namespace updater::test_support

#endif  // TESTS_SUPPORT_RECORDED_REQUEST_H_
