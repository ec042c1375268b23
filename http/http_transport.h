#ifndef HTTP_HTTP_TRANSPORT_H_
#define HTTP_HTTP_TRANSPORT_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace updater {

// What HttpClient and the transport under it (http_transport_platform.h)
// exchange for one request and its response.

// Milliseconds; 0 or 0xFFFFFFFF means no limit. Send and receive limit the
// time without progress in that direction. Once the request is on its way, a
// transfer that moves fewer than `min_bytes_per_second` on average over
// `min_rate_seconds` is abandoned (0 seconds: never).
struct TransportTimeouts {
  uint32_t resolve_ms = 0;
  uint32_t connect_ms = 0;
  uint32_t send_ms = 0;
  uint32_t receive_ms = 0;
  uint32_t min_bytes_per_second = 0;
  uint32_t min_rate_seconds = 0;
};

enum class ProxyMode {
  kDirect,       // no proxy at all
  kExplicit,     // `proxy_url` with the optional credentials
  kEnvironment,  // the user's proxy environment variables, as the platform reads them
};

struct TransportRequest {
  std::string method;  // "GET" or "POST"
  std::string url;     // absolute, request target already encoded
  bool secure = false;
  std::vector<std::string> header_lines;  // "Name: value"
  std::span<const uint8_t> body;
  ProxyMode proxy_mode = ProxyMode::kDirect;
  std::string proxy_url;
  std::string proxy_user_name;
  std::string proxy_password;
  bool follow_redirects = true;
  // When false, an unknown issuer, a host name mismatch and an expired or
  // not yet valid certificate are accepted; every other problem still fails.
  bool verify_certificates = true;
  std::string ca_bundle;  // PEM file of trusted roots; empty means the library's default
};

// Told about the response of the request as it arrives.
class TransportSink {
 public:
  virtual ~TransportSink() = default;
  // The raw head of the final response (status line and header lines, as
  // received) and its status code (0 when unknown). False stops the transfer.
  virtual bool OnResponseHead(std::string_view raw_head, int status_code) = 0;
  // The next piece of the body. False stops the transfer.
  virtual bool OnBodyData(std::span<const uint8_t> bytes) = 0;
};

enum class TransferEnd {
  kNotStarted,     // its URL could not be split or no connection or request handle was had
  kSendFailed,     // the request did not reach the server
  kReceiveFailed,  // no final response head arrived
  kBodyEnded,      // head and whole body delivered
  kBodyFailed,     // head delivered, the body broke off (or the sink stopped it)
  kAbandoned,      // slower than the minimum rate: nothing of it counts
};

struct TransferResult {
  TransferEnd end = TransferEnd::kSendFailed;
  uint32_t error = 0;  // for the failed ends
  // After a failed send: what the failing step of the fall-back to the
  // user's proxy settings gave, 0 when none failed (or there is none).
  uint32_t proxy_error = 0;
};

}  // namespace updater

#endif  // HTTP_HTTP_TRANSPORT_H_
