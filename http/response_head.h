#ifndef HTTP_RESPONSE_HEAD_H_
#define HTTP_RESPONSE_HEAD_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace updater {

// The values the client keeps from a response head. A field whose header is
// absent keeps its earlier value; cookies accumulate.
struct ResponseHeadFields {
  std::u16string charset;
  uint32_t content_length = 0;
  std::u16string location;
  std::u16string cookies;
};

// Reads the head's values into `fields`; the charset only unless `force_charset`.
void ReadResponseHeadFields(std::u16string_view headers,
                            bool force_charset,
                            ResponseHeadFields& fields);

// The rest of the first line holding `name` followed by a colon, after the
// blanks; an empty string when there is none.
std::u16string FindResponseHeader(std::u16string_view headers, std::u16string_view name);

// The raw head as received (bytes, lines ended by CR LF or LF) as wide text:
// each byte widened, every line ended by CR LF, the blank end line dropped.
std::u16string WidenHeaderBlock(std::string_view raw);

}  // namespace updater

#endif  // HTTP_RESPONSE_HEAD_H_
