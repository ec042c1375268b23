#include "tests/support/recorded_request.h"

#include "base/string_util.h"

namespace updater::test_support {

std::string RecordedRequest::Header(std::string_view name) const {
  for (const auto& [header_name, value] : headers) {
    if (EqualsCaseInsensitiveASCII(header_name, name)) return value;
  }
  return {};
}

int RecordedRequest::CountHeader(std::string_view name) const {
  int count = 0;
  for (const auto& header : headers) count += EqualsCaseInsensitiveASCII(header.first, name);
  return count;
}

}  // namespace updater::test_support
