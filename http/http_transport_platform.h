#ifndef HTTP_HTTP_TRANSPORT_PLATFORM_H_
#define HTTP_HTTP_TRANSPORT_PLATFORM_H_

#include <cstdint>
#include <memory>
#include <string_view>

#include "http/http_transport.h"

namespace updater::platform {

// The layer under HttpClient: it moves one request and its response over the
// wire. What counts as success, retries, header values, progress and the
// body's storage are the client's.

// One user agent's connection state; connections are reused between requests.
class HttpSession {
 public:
  // Nothing, with `error` set, when the platform cannot open a session.
  static std::unique_ptr<HttpSession> Open(std::u16string_view user_agent, uint32_t& error);

  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;
  ~HttpSession();

  void SetTimeouts(const TransportTimeouts& timeouts);
  TransferResult Transfer(const TransportRequest& request, TransportSink& sink);

 private:
  struct Platform;
  explicit HttpSession(std::unique_ptr<Platform> platform);

  std::unique_ptr<Platform> platform_;
};

}  // namespace updater::platform

#endif  // HTTP_HTTP_TRANSPORT_PLATFORM_H_
