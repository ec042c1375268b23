// The transport on libcurl's easy interface. Everything that touches libcurl
// or OpenSSL stays in this file.

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <chrono>
#include <limits>
#include <mutex>

#include "base/string_util.h"
#include "http/http_errors.h"
#include "http/http_transport_platform.h"

namespace updater::platform {
namespace {

constexpr long kMaxRedirects = 10;
// Small enough that a received block is still in cache when it is copied into
// the body.
constexpr long kReceiveBufferSize = 64 * 1024;
constexpr uint32_t kNoLimit = std::numeric_limits<uint32_t>::max();

bool IsLimited(uint32_t ms) {
  return ms != 0 && ms != kNoLimit;
}

void InitializeCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool StartsWithCaseInsensitive(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         EqualsCaseInsensitiveASCII(text.substr(0, prefix.size()), prefix);
}

// An unknown issuer, a host name mismatch and an out-of-date certificate are
// accepted; anything else (a certificate not meant for servers, a bad
// signature) still fails the handshake.
int VerifyIgnoringTrustNameAndDates(int preverify_ok, X509_STORE_CTX* store) {
  if (preverify_ok) return 1;
  switch (X509_STORE_CTX_get_error(store)) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_HOSTNAME_MISMATCH:
      // Cleared so that the handshake's final verdict is success.
      X509_STORE_CTX_set_error(store, X509_V_OK);
      return 1;
    default:
      return 0;
  }
}

CURLcode InstallLenientVerification(CURL*, void* ssl_ctx, void*) {
  SSL_CTX_set_verify(static_cast<SSL_CTX*>(ssl_ctx), SSL_VERIFY_PEER,
                     VerifyIgnoringTrustNameAndDates);
  return CURLE_OK;
}

uint32_t ToPlatformError(CURLcode code) {
  switch (code) {
    case CURLE_OUT_OF_MEMORY:
      return kErrorNotEnoughMemory;
    case CURLE_URL_MALFORMAT:
      return kErrorHttpInvalidUrl;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return kErrorHttpNameNotResolved;
    case CURLE_COULDNT_CONNECT:
      return kErrorHttpCannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_ABORTED_BY_CALLBACK:
      return kErrorHttpTimeout;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
      return kErrorHttpSecureFailure;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_HTTP2:
      return kErrorHttpInvalidServerResponse;
    case CURLE_TOO_MANY_REDIRECTS:
      return kErrorHttpRedirectFailed;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
      return kErrorHttpConnectionError;
    default:
      return kErrorHttpInternal;
  }
}

// Failures that are about a redirect that was to be followed, not about the
// response whose head arrived.
bool IsRedirectFailure(CURLcode code) {
  return code == CURLE_TOO_MANY_REDIRECTS || code == CURLE_UNSUPPORTED_PROTOCOL ||
         code == CURLE_URL_MALFORMAT;
}

// What one transfer has seen so far; the callbacks' shared state.
class TransferState {
 public:
  TransferState(CURL* easy,
                const TransportRequest& request,
                const TransportTimeouts& timeouts,
                TransportSink& sink)
      : easy_(easy), request_(request), timeouts_(timeouts), sink_(sink) {}

  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    static_cast<TransferState*>(self)->AddHeaderLine(std::string_view(data, size * count));
    return size * count;
  }

  static size_t OnWrite(char* data, size_t size, size_t count, void* self) {
    auto& state = *static_cast<TransferState*>(self);
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(data), size * count);
    state.last_activity_ = Clock::now();
    state.received_bytes_ += bytes.size();
    if (!state.DeliverHead() || !state.sink_.OnBodyData(bytes)) return 0;
    return bytes.size();
  }

  static int OnSocketOpened(void* self, curl_socket_t, curlsocktype) {
    static_cast<TransferState*>(self)->connecting_ = true;
    return CURL_SOCKOPT_OK;
  }

  static int OnPrerequest(void* self, char*, char*, int, int) {
    auto& state = *static_cast<TransferState*>(self);
    state.last_activity_ = Clock::now();
    state.connecting_ = false;
    // The minimum rate is measured from the first request on, across every
    // redirect it leads to.
    if (!state.request_sent_) state.rate_window_start_ = state.last_activity_;
    state.request_sent_ = true;
    state.awaiting_send_ = false;
    return CURL_PREREQFUNC_OK;
  }

  static int OnProgress(void* self,
                        curl_off_t,
                        curl_off_t downloaded,
                        curl_off_t upload_total,
                        curl_off_t uploaded) {
    auto& state = *static_cast<TransferState*>(self);
    if (state.IsBelowMinimumRate(uploaded)) {
      state.too_slow_ = true;
      return 1;
    }
    return state.IsStalled(downloaded, upload_total, uploaded) ? 1 : 0;
  }

  TransferResult Finish(CURLcode code) {
    // libcurl takes a connection closed inside the head for the end of a
    // response; a response whose head never ended was not received.
    if (code == CURLE_OK && !head_delivered_ && !IsFinalHeadComplete())
      code = CURLE_WEIRD_SERVER_REPLY;
    if (too_slow_) return {TransferEnd::kAbandoned, kErrorHttpTimeout};
    if (code == CURLE_OK) {
      if (!DeliverHead()) return {TransferEnd::kBodyFailed, 0};
      return {TransferEnd::kBodyEnded, 0};
    }
    const uint32_t error = ToPlatformError(code);
    if (head_delivered_) return {TransferEnd::kBodyFailed, error};
    if (!request_sent_) return {TransferEnd::kSendFailed, error};
    if (IsFinalHeadComplete() && !IsRedirectFailure(code)) {
      DeliverHead();
      return {TransferEnd::kBodyFailed, error};
    }
    return {TransferEnd::kReceiveFailed, error};
  }

 private:
  using Clock = std::chrono::steady_clock;

  void AddHeaderLine(std::string_view line) {
    last_activity_ = Clock::now();
    received_bytes_ += line.size();
    if (head_delivered_) return;  // trailers of a chunked body
    if (StartsWithCaseInsensitive(line, "HTTP/")) {
      head_.clear();
      head_complete_ = false;
      has_location_ = false;
    }
    if (line == "\r\n" || line == "\n") {
      head_complete_ = true;
      if (IsFollowedRedirect()) awaiting_send_ = true;
    } else if (StartsWithCaseInsensitive(line, "Location:")) {
      has_location_ = true;
    }
    head_ += line;
  }

  int StatusCode() const {
    long status = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
    return static_cast<int>(status);
  }

  bool IsFollowedRedirect() const {
    const int status = StatusCode();
    return request_.follow_redirects && status / 100 == 3 && status != 304 && has_location_;
  }

  bool IsFinalHeadComplete() const {
    return head_complete_ && StatusCode() >= 200 && !IsFollowedRedirect();
  }

  bool DeliverHead() {
    if (head_delivered_) return keep_going_;
    head_delivered_ = true;
    keep_going_ = sink_.OnResponseHead(head_, StatusCode());
    return keep_going_;
  }

  bool IsStalled(curl_off_t downloaded, curl_off_t upload_total, curl_off_t uploaded) {
    const Clock::time_point now = Clock::now();
    if (downloaded != downloaded_ || uploaded != uploaded_) {
      downloaded_ = downloaded;
      uploaded_ = uploaded;
      last_activity_ = now;
    }
    // Resolving and connecting are the connect time-out's; reading a
    // followed redirect's body is receiving like any other.
    if (awaiting_send_ && (!request_sent_ || connecting_)) return false;
    const uint32_t limit_ms = uploaded < upload_total ? timeouts_.send_ms : timeouts_.receive_ms;
    return IsLimited(limit_ms) && now - last_activity_ >= std::chrono::milliseconds(limit_ms);
  }

  // Checked once per window of min_rate_seconds: a window that moved less
  // than the minimum ends the transfer, whatever the phase.
  bool IsBelowMinimumRate(curl_off_t uploaded) {
    if (!request_sent_ || timeouts_.min_rate_seconds == 0) return false;
    const Clock::time_point now = Clock::now();
    if (now - rate_window_start_ < std::chrono::seconds(timeouts_.min_rate_seconds)) return false;
    const uint64_t moved = received_bytes_ + static_cast<uint64_t>(uploaded);
    const uint64_t minimum = uint64_t{timeouts_.min_bytes_per_second} * timeouts_.min_rate_seconds;
    if (moved - rate_window_bytes_ < minimum) return true;
    rate_window_start_ = now;
    rate_window_bytes_ = moved;
    return false;
  }

  CURL* const easy_;
  const TransportRequest& request_;
  const TransportTimeouts& timeouts_;
  TransportSink& sink_;
  std::string head_;
  bool head_complete_ = false;
  bool has_location_ = false;
  bool head_delivered_ = false;
  bool keep_going_ = true;
  bool request_sent_ = false;
  bool awaiting_send_ = true;
  bool connecting_ = false;  // a redirect's new connection is being made
  curl_off_t downloaded_ = 0;
  curl_off_t uploaded_ = 0;
  Clock::time_point last_activity_ = Clock::now();
  uint64_t received_bytes_ = 0;  // head lines and body, every response
  Clock::time_point rate_window_start_;
  uint64_t rate_window_bytes_ = 0;
  bool too_slow_ = false;
};

// libcurl drops a header given as "Name:"; "Name;" sends it empty.
std::string ToCurlHeaderLine(const std::string& line) {
  if (line.size() >= 2 && line.compare(line.size() - 2, 2, ": ") == 0) {
    return line.substr(0, line.size() - 2) + ";";
  }
  return line;
}

bool HasHeader(const std::vector<std::string>& lines, std::string_view name) {
  for (const std::string& line : lines) {
    if (StartsWithCaseInsensitive(line, name) && line.size() > name.size() &&
        (line[name.size()] == ':' || line[name.size()] == ';')) {
      return true;
    }
  }
  return false;
}

class HeaderList {
 public:
  explicit HeaderList(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) Append(ToCurlHeaderLine(line));
    // Only what the caller asked for: no default Accept, no Expect handshake,
    // no form content type on a POST.
    for (const char* name : {"Accept", "Expect", "Content-Type"}) {
      if (!HasHeader(lines, name)) Append(std::string(name) + ":");
    }
  }
  HeaderList(const HeaderList&) = delete;
  HeaderList& operator=(const HeaderList&) = delete;
  ~HeaderList() { curl_slist_free_all(list_); }

  curl_slist* get() const { return list_; }

 private:
  void Append(const std::string& line) {
    if (curl_slist* grown = curl_slist_append(list_, line.c_str())) list_ = grown;
  }

  curl_slist* list_ = nullptr;
};

}  // namespace

struct HttpSession::Platform {
  CURL* easy = nullptr;
  std::string user_agent;
  TransportTimeouts timeouts;

  ~Platform() { curl_easy_cleanup(easy); }

  void SetRequestOptions(const TransportRequest& request, const HeaderList& headers) {
    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    // Like the platform's default policy: never from HTTPS down to HTTP.
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, request.secure ? "https" : "http,https");
    curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_USERAGENT, user_agent.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
    if (request.method == "POST") {
      curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                       static_cast<curl_off_t>(request.body.size()));
      curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data());
    } else {
      curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, request.follow_redirects ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  }

  void SetProxyOptions(const TransportRequest& request) {
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    switch (request.proxy_mode) {
      case ProxyMode::kDirect:
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
        break;
      case ProxyMode::kExplicit:
        curl_easy_setopt(easy, CURLOPT_PROXY, request.proxy_url.c_str());
        if (!request.proxy_user_name.empty()) {
          curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, request.proxy_user_name.c_str());
          curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, request.proxy_password.c_str());
          curl_easy_setopt(easy, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
        }
        break;
      case ProxyMode::kEnvironment:
        break;  // libcurl reads the environment when no proxy is set
    }
  }

  void SetSecurityOptions(const TransportRequest& request) {
    if (!request.ca_bundle.empty()) {
      curl_easy_setopt(easy, CURLOPT_CAINFO, request.ca_bundle.c_str());
    }
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, request.verify_certificates ? 2L : 0L);
    if (!request.verify_certificates) {
      curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, InstallLenientVerification);
    }
  }

  void SetTimeoutOptions() {
    long connect_ms = 0;
    if (IsLimited(timeouts.connect_ms)) {
      connect_ms = static_cast<long>(timeouts.connect_ms) +
                   (IsLimited(timeouts.resolve_ms) ? static_cast<long>(timeouts.resolve_ms) : 0);
    }
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connect_ms);
  }

  void SetCallbacks(TransferState& state) {
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, TransferState::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &state);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, TransferState::OnWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &state);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, TransferState::OnSocketOpened);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTDATA, &state);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, TransferState::OnPrerequest);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &state);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, TransferState::OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &state);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  }
};

HttpSession::HttpSession(std::unique_ptr<Platform> platform) : platform_(std::move(platform)) {}

HttpSession::~HttpSession() = default;

std::unique_ptr<HttpSession> HttpSession::Open(std::u16string_view user_agent, uint32_t& error) {
  InitializeCurlOnce();
  auto platform = std::make_unique<Platform>();
  platform->easy = curl_easy_init();
  if (!platform->easy) {
    error = kErrorNotEnoughMemory;
    return nullptr;
  }
  platform->user_agent = UTF16ToUTF8(user_agent);
  return std::unique_ptr<HttpSession>(new HttpSession(std::move(platform)));
}

void HttpSession::SetTimeouts(const TransportTimeouts& timeouts) {
  platform_->timeouts = timeouts;
}

TransferResult HttpSession::Transfer(const TransportRequest& request, TransportSink& sink) {
  CURL* easy = platform_->easy;
  // Options start afresh for every request; connections and caches stay.
  curl_easy_reset(easy);
  const HeaderList headers(request.header_lines);
  TransferState state(easy, request, platform_->timeouts, sink);
  platform_->SetRequestOptions(request, headers);
  platform_->SetProxyOptions(request);
  platform_->SetSecurityOptions(request);
  platform_->SetTimeoutOptions();
  platform_->SetCallbacks(state);
  return state.Finish(curl_easy_perform(easy));
}

}  // namespace updater::platform
