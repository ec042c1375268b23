#ifndef HTTP_HTTP_CLIENT_H_
#define HTTP_HTTP_CLIENT_H_

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/directory_handle_platform.h"
#include "base/fs_path.h"
#include "http/body_buffer.h"
#include "http/http_transport_platform.h"
#include "http/response_head.h"

namespace updater {

// Told a download's progress, 0 to 100 (more when the body outgrows its
// Content-Length). False stops the transfer: the request then fails as
// cancelled, so that a download nobody wants any more ends at once.
using ProgressCallback = bool (*)(double progress);

// One synchronous HTTP or HTTPS request for one URL. The whole response is
// kept in memory for the caller to inspect and can then be written to a file.
class HttpClient {
 public:
  static constexpr int kMaxAttempts = 3;
  static constexpr char16_t kDefaultUserAgent[] = u"WinHttpClient";

  HttpClient(std::u16string_view url, ProgressCallback progress_callback);
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;
  ~HttpClient();

  // Header lines, each ended by CR LF, added to every attempt.
  bool SetAdditionalHeaders(std::u16string_view headers);

  // Sends `verb` ("GET" or "POST", any letter case) and reads the response.
  // With `disable_redirects` a redirect answer is returned as it is. True
  // when a response was received and read.
  bool SendRequest(std::u16string_view verb, bool disable_redirects);

  std::u16string GetResponseHeader(std::u16string_view name) const;
  std::u16string GetLocation() const { return head_values_.location; }
  std::u16string GetStatusCode() const { return status_code_; }

  // Writes the body to a new file at `path`; false when there is no body,
  // something is at `path` already, or it cannot be written.
  bool SaveResponseToFile(const FsPath& path) const;
  // The same for the entry of an open directory, never through a link.
  bool SaveResponseToFile(platform::EntryAt entry) const;

  // The body decoded to text by the response's charset.
  const std::u16string& GetResponseText();

  void SetVerifyCertificates(bool verify) { verify_certificates_ = verify; }
  void SetRequestCookies(std::u16string_view cookies) { request_cookies_ = cookies; }
  void SetPostData(std::span<const uint8_t> data) { post_data_.assign(data.begin(), data.end()); }
  void SetProxyServer(std::u16string_view server) { proxy_server_ = server; }
  void SetProxyUserName(std::u16string_view name) { proxy_user_name_ = name; }
  void SetProxyPassword(std::u16string_view password) { proxy_password_ = password; }
  void SetUserAgent(std::u16string_view user_agent) { user_agent_ = user_agent; }
  void SetForceCharset(bool force) { force_charset_ = force; }
  void SetResolveTimeoutMs(uint32_t ms) { resolve_timeout_ms_ = ms; }
  void SetConnectTimeoutMs(uint32_t ms) { connect_timeout_ms_ = ms; }
  void SetSendTimeoutMs(uint32_t ms) { send_timeout_ms_ = ms; }
  void SetReceiveTimeoutMs(uint32_t ms) { receive_timeout_ms_ = ms; }

  const std::u16string& host() const { return host_; }
  const std::u16string& response_headers() const { return response_headers_; }
  const std::u16string& response_charset() const { return head_values_.charset; }
  const std::u16string& response_cookies() const { return head_values_.cookies; }
  uint32_t content_length() const { return head_values_.content_length; }
  std::span<const uint8_t> response_body() const { return response_body_.bytes(); }
  uint32_t last_error() const { return last_error_; }

 private:
  class AttemptReader;
  struct PendingRequest;
  enum class AttemptResult { kCompleted, kFailed, kAborted };

  bool OpenSession();
  AttemptResult RunAttempt(PendingRequest& pending);
  void AddAttemptHeaders(PendingRequest& pending);
  void ApplyProxy(PendingRequest& pending);
  bool IsIncompleteHtml();
  bool ReportProgress(size_t received) const;
  void RecordError(uint32_t error) { last_error_ = error; }

  std::unique_ptr<platform::HttpSession> session_;
  bool verify_certificates_ = true;
  std::u16string url_;
  std::u16string host_;
  std::u16string response_headers_;
  // Decoded on first use: an installer's bytes are rarely read as text.
  std::u16string response_text_;
  bool response_text_stale_ = false;
  BodyBuffer response_body_;
  ProgressCallback progress_callback_;
  // Charset, Content-Length, Location and the collected cookies.
  ResponseHeadFields head_values_;
  std::u16string request_cookies_;
  std::vector<uint8_t> post_data_;
  std::u16string additional_headers_;
  std::u16string proxy_server_;
  uint32_t last_error_ = 0;
  std::u16string status_code_;
  std::u16string user_agent_ = kDefaultUserAgent;
  bool force_charset_ = false;
  std::u16string proxy_user_name_;
  std::u16string proxy_password_;
  uint32_t resolve_timeout_ms_ = 0;
  uint32_t connect_timeout_ms_ = 60000;
  uint32_t send_timeout_ms_ = 30000;
  uint32_t receive_timeout_ms_ = 30000;
};

}  // namespace updater

#endif  // HTTP_HTTP_CLIENT_H_
