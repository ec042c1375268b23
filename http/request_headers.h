#ifndef HTTP_REQUEST_HEADERS_H_
#define HTTP_REQUEST_HEADERS_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace updater {

// The extra header lines of one request. Adding a header that is already
// present joins the values with "; ", so that lines added again on a retried
// attempt travel once, carrying each value twice.
class RequestHeaders {
 public:
  // Adds header lines, each "Name: value" ended by CR LF (the last end may be
  // missing). Returns false and adds nothing when a line is malformed: no
  // colon, an empty or invalid name, or a control character in it.
  bool AddCoalescing(std::u16string_view lines);

  // "Name: value" lines in UTF-8, in the order the names were first added.
  std::vector<std::string> ToLines() const;

 private:
  using Header = std::pair<std::string, std::string>;
  std::vector<Header> headers_;
};

}  // namespace updater

#endif  // HTTP_REQUEST_HEADERS_H_
