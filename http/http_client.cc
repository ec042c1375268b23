#include "http/http_client.h"

#include <new>
#include <optional>

#include "base/build_config.h"
#include "base/path_arithmetic.h"
#include "base/string_util.h"
#include "http/body_text.h"
#include "http/header_values.h"
#include "http/http_errors.h"
#include "http/proxy_list.h"
#include "http/request_headers.h"
#include "http/request_url.h"
#include "http/response_file_platform.h"

namespace updater {
namespace {

constexpr char16_t kHtmlStartPattern[] = u"{<html>}";
constexpr char16_t kHtmlEndPattern[] = u"{</html>}";

std::optional<std::string> NormalizeVerb(std::u16string_view verb) {
  const std::u16string lower = ToLowerASCII(verb);
  if (lower == u"get") return "GET";
  if (lower == u"post") return "POST";
  return std::nullopt;
}

}  // namespace

// One request's state across its attempts, as the platform keeps it on one
// request handle.
struct HttpClient::PendingRequest {
  RequestUrl url;
  TransportRequest transport;
  bool disable_redirects = false;
  RequestHeaders headers;
  bool use_environment_proxy = false;
  bool body_allocation_failed = false;
};

// Takes one attempt's response into the client as it arrives.
class HttpClient::AttemptReader : public TransportSink {
 public:
  explicit AttemptReader(HttpClient& client) : client_(client) {}

  bool OnResponseHead(std::string_view raw_head, int status_code) override {
    if (!raw_head.empty()) {
      client_.response_headers_ = WidenHeaderBlock(raw_head);
      ReadResponseHeadFields(client_.response_headers_, client_.force_charset_,
                             client_.head_values_);
    }
    if (status_code > 0) client_.status_code_ = ASCIIToUTF16(std::to_string(status_code));
    client_.response_text_stale_ = true;
    // A body announced larger than the limit is refused before it is read.
    too_large_ = client_.head_values_.content_length > max_body_bytes_;
    body_started_ =
        !too_large_ && client_.response_body_.Reset(client_.head_values_.content_length);
    return body_started_;
  }

  bool OnBodyData(std::span<const uint8_t> bytes) override {
    if (!client_.ReportProgress(client_.response_body_.size())) {
      cancelled_ = true;
      return false;
    }
    if (bytes.size() > max_body_bytes_ - client_.response_body_.size()) {
      too_large_ = true;
      return false;
    }
    if (!client_.response_body_.Append(bytes)) {
      growth_failed_ = true;
      return false;
    }
    return true;
  }

  // Reports the total: once for the pass that found the body's end, once more
  // when the body is done.
  void FinishBody(bool reached_end) const {
    if (reached_end) client_.ReportProgress(client_.response_body_.size());
    client_.ReportProgress(client_.response_body_.size());
  }

  bool body_started() const { return body_started_; }
  bool growth_failed() const { return growth_failed_; }
  bool too_large() const { return too_large_; }
  bool cancelled() const { return cancelled_; }

 private:
  HttpClient& client_;
  const uint64_t max_body_bytes_ = ConfiguredMaxBodyBytes();
  bool body_started_ = false;
  bool growth_failed_ = false;
  bool too_large_ = false;
  bool cancelled_ = false;
};

HttpClient::HttpClient(std::u16string_view url, ProgressCallback progress_callback)
    : url_(url), progress_callback_(progress_callback) {}

HttpClient::~HttpClient() = default;

bool HttpClient::SetAdditionalHeaders(std::u16string_view headers) {
  additional_headers_ = headers;
  return true;
}

bool HttpClient::SendRequest(std::u16string_view verb, bool disable_redirects) {
  if (url_.empty()) {
    RecordError(kErrorPathNotFound);
    return false;
  }
  const std::optional<std::string> method = NormalizeVerb(verb);
  if (!method) {
    RecordError(kErrorInvalidParameter);
    return false;
  }
  if (!OpenSession()) return false;
  const MinimumTransferRate minimum_rate = ConfiguredMinimumTransferRate();
  session_->SetTimeouts({resolve_timeout_ms_, connect_timeout_ms_, send_timeout_ms_,
                         receive_timeout_ms_, minimum_rate.bytes_per_second, minimum_rate.seconds});
  uint32_t error = 0;
  std::optional<RequestUrl> url = CrackRequestUrl(url_, error);
  if (!url) {
    RecordError(error);
    return false;
  }
  host_ = url->host;

  PendingRequest pending;
  pending.url = std::move(*url);
  pending.disable_redirects = disable_redirects;
  TransportRequest& request = pending.transport;
  request.method = *method;
  request.url = ToTransportUrl(pending.url);
  request.secure = pending.url.secure;
  if (request.method == "POST") request.body = post_data_;
  request.follow_redirects = !disable_redirects;
  request.verify_certificates = verify_certificates_;
  request.ca_bundle = std::string(ConfiguredTlsCaBundle());

  bool completed = false;
  for (int attempt = 0; attempt < kMaxAttempts && !completed; ++attempt) {
    const AttemptResult result = RunAttempt(pending);
    if (result == AttemptResult::kAborted) return false;
    completed = result == AttemptResult::kCompleted;
  }
  return completed && !pending.body_allocation_failed;
}

bool HttpClient::OpenSession() {
  if (session_) return true;
  uint32_t error = 0;
  session_ = platform::HttpSession::Open(user_agent_, error);
  if (!session_) RecordError(error);
  return session_ != nullptr;
}

HttpClient::AttemptResult HttpClient::RunAttempt(PendingRequest& pending) {
  AddAttemptHeaders(pending);
  ApplyProxy(pending);
  AttemptReader reader(*this);
  const TransferResult transfer = session_->Transfer(pending.transport, reader);
  switch (transfer.end) {
    case TransferEnd::kNotStarted:
      // Nothing another attempt could change.
      RecordError(transfer.error);
      return AttemptResult::kAborted;
    case TransferEnd::kSendFailed:
      if (transfer.proxy_error != 0) RecordError(transfer.proxy_error);
      // The user's proxy settings take over from the next attempt on.
      pending.use_environment_proxy = true;
      return AttemptResult::kFailed;
    case TransferEnd::kReceiveFailed:
      RecordError(transfer.error);
      return AttemptResult::kFailed;
    case TransferEnd::kAbandoned:
      RecordError(transfer.error);
      return AttemptResult::kAborted;
    case TransferEnd::kBodyEnded:
    case TransferEnd::kBodyFailed:
      break;
  }
  if (reader.cancelled()) {
    RecordError(kErrorHttpOperationCancelled);
    return AttemptResult::kAborted;
  }
  // Another attempt would only take as long, or grow as large, again.
  if (reader.too_large()) {
    RecordError(kErrorNotEnoughMemory);
    return AttemptResult::kAborted;
  }
  if (!reader.body_started()) return AttemptResult::kAborted;
  if (reader.growth_failed()) {
    pending.body_allocation_failed = true;
  } else if (transfer.end == TransferEnd::kBodyFailed) {
    RecordError(transfer.error);
  }
  reader.FinishBody(transfer.end == TransferEnd::kBodyEnded);

  if (pending.transport.method == "POST" || pending.disable_redirects) {
    return AttemptResult::kCompleted;
  }
  if (IsIncompleteHtml()) {
    RecordError(kErrorInvalidData);
    return AttemptResult::kFailed;
  }
  return AttemptResult::kCompleted;
}

// A retried attempt adds the same lines again, so their values accumulate.
void HttpClient::AddAttemptHeaders(PendingRequest& pending) {
  if (!additional_headers_.empty() && !pending.headers.AddCoalescing(additional_headers_)) {
    RecordError(kErrorHttpInvalidHeader);
  }
  if (!request_cookies_.empty() && !pending.headers.AddCoalescing(u"Cookie: " + request_cookies_)) {
    RecordError(kErrorHttpInvalidHeader);
  }
  pending.transport.header_lines = pending.headers.ToLines();
}

void HttpClient::ApplyProxy(PendingRequest& pending) {
  TransportRequest& request = pending.transport;
  request.proxy_mode = pending.use_environment_proxy ? ProxyMode::kEnvironment : ProxyMode::kDirect;
  if (proxy_server_.empty()) return;
  if (proxy_server_.size() > kMaxProxyListLength) {
    RecordError(kErrorInvalidParameter);
    return;
  }
  request.proxy_url = SelectProxy(proxy_server_, pending.url.secure);
  if (request.proxy_url.empty()) return;
  request.proxy_mode = ProxyMode::kExplicit;
  request.proxy_user_name.clear();
  request.proxy_password.clear();
  if (!proxy_user_name_.empty()) {
    request.proxy_user_name = UTF16ToUTF8(proxy_user_name_);
    if (!proxy_password_.empty()) request.proxy_password = UTF16ToUTF8(proxy_password_);
  }
}

bool HttpClient::IsIncompleteHtml() {
  const std::u16string& text = GetResponseText();
  return !FindHeaderValues(kHtmlStartPattern, text).empty() &&
         FindHeaderValues(kHtmlEndPattern, text).empty();
}

bool HttpClient::ReportProgress(size_t received) const {
  if (!progress_callback_ || head_values_.content_length == 0) return true;
  return progress_callback_(static_cast<double>(received) * 100.0 / head_values_.content_length);
}

std::u16string HttpClient::GetResponseHeader(std::u16string_view name) const {
  return FindResponseHeader(response_headers_, name);
}

const std::u16string& HttpClient::GetResponseText() {
  if (response_text_stale_ && response_body_.allocated()) {
    try {
      response_text_ = DecodeBodyText(response_body_.bytes(), head_values_.charset);
    } catch (const std::bad_alloc&) {
      // Without memory for the text, the earlier text stays.
    }
  }
  response_text_stale_ = false;
  return response_text_;
}

bool HttpClient::SaveResponseToFile(const FsPath& path) const {
  if (path.empty() || path.size() >= kMaxPathChars) return false;
  const platform::DirectoryHandle directory = platform::OpenDirectory(ParentDir(path));
  const std::u16string name = LastComponent(path);
  return directory.IsValid() && SaveResponseToFile({directory, name});
}

bool HttpClient::SaveResponseToFile(platform::EntryAt entry) const {
  if (!response_body_.allocated() || response_body_.size() == 0) return false;
  return platform::WriteResponseFile(entry, response_body_.bytes());
}

}  // namespace updater
