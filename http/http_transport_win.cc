// The transport on WinHTTP in synchronous mode. Everything that touches
// WinHTTP stays in this file. Its errors are GetLastError()'s as given, but
// for the failures that it detects itself where some WinHTTP versions see
// none (a head or a sized body cut short) and the minimum rate.

#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <cwchar>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "base/native_win.h"
#include "base/string_util.h"
#include "http/http_errors.h"
#include "http/http_transport_platform.h"

namespace updater::platform {
namespace {

constexpr DWORD kMaxRedirects = 10;
constexpr DWORD kReadChunkSize = 64 * 1024;
constexpr uint32_t kNoLimit = std::numeric_limits<uint32_t>::max();
// An unknown issuer, a host name mismatch and an out-of-date certificate;
// every other certificate problem still fails the request.
constexpr DWORD kLenientSecurityFlags = SECURITY_FLAG_IGNORE_UNKNOWN_CA |
                                        SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                                        SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;

bool IsLimited(uint32_t ms) {
  return ms != 0 && ms != kNoLimit;
}

int ToWinHttpTimeout(uint32_t ms) {
  return IsLimited(ms) ? static_cast<int>(std::min<uint32_t>(ms, INT_MAX)) : -1;
}

std::wstring Wide(std::string_view utf8) {
  return win::ToWide(UTF8ToUTF16(utf8));
}

// WinHTTP hands the head over widened; the client expects the bytes.
std::string Narrow(std::wstring_view head) {
  std::string bytes;
  bytes.reserve(head.size());
  for (const wchar_t c : head) bytes.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  return bytes;
}

class ScopedInternet {
 public:
  explicit ScopedInternet(HINTERNET handle = nullptr) : handle_(handle) {}
  ScopedInternet(const ScopedInternet&) = delete;
  ScopedInternet& operator=(const ScopedInternet&) = delete;
  ~ScopedInternet() {
    if (handle_) WinHttpCloseHandle(handle_);
  }

  HINTERNET get() const { return handle_; }

 private:
  HINTERNET handle_;
};

template <typename T>
bool SetOption(HINTERNET handle, DWORD option, T value) {
  return WinHttpSetOption(handle, option, &value, sizeof(value));
}

// The proxy of one transfer; an empty `server` leaves the session's default.
struct ProxyChoice {
  std::wstring server;
  std::wstring bypass;

  bool operator==(const ProxyChoice&) const = default;
};

std::wstring TakeGlobalText(LPWSTR& text) {
  std::wstring copy = text ? text : L"";
  if (text) GlobalFree(text);
  text = nullptr;
  return copy;
}

// The user's proxy settings, and the platform's error when a step of reading
// them failed.
struct UserProxySetting {
  ProxyChoice choice;
  bool from_script = false;
  DWORD error = 0;
};

// The proxy that the automatic configuration script names for `url`.
ProxyChoice ScriptProxy(HINTERNET session,
                        const std::wstring& url,
                        LPWSTR script_url,
                        DWORD& error) {
  WINHTTP_AUTOPROXY_OPTIONS options{};
  options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT | WINHTTP_AUTOPROXY_CONFIG_URL;
  options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP;
  options.lpszAutoConfigUrl = script_url;
  options.fAutoLogonIfChallenged = TRUE;
  WINHTTP_PROXY_INFO info{};
  if (!WinHttpGetProxyForUrl(session, url.c_str(), &options, &info)) {
    error = GetLastError();
    return {};
  }
  ProxyChoice choice{TakeGlobalText(info.lpszProxy), TakeGlobalText(info.lpszProxyBypass)};
  if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY) return {};
  return choice;
}

// The user's proxy settings: the automatic configuration script when there is
// one, else the named servers. Automatic detection alone changes nothing.
UserProxySetting ReadUserProxy(HINTERNET session, const std::wstring& url) {
  UserProxySetting setting;
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
  if (!WinHttpGetIEProxyConfigForCurrentUser(&config)) {
    setting.error = GetLastError();
    return setting;
  }
  const std::wstring script = TakeGlobalText(config.lpszAutoConfigUrl);
  setting.choice = {TakeGlobalText(config.lpszProxy), TakeGlobalText(config.lpszProxyBypass)};
  if (!script.empty()) {
    setting.from_script = true;
    setting.choice = ScriptProxy(session, url, const_cast<LPWSTR>(script.c_str()), setting.error);
  }
  return setting;
}

// A proxy URL ("http://host:port") as a proxy list names the server: some
// WinHTTP versions take no scheme there.
std::string_view ToProxyServer(std::string_view proxy_url) {
  constexpr std::string_view kScheme = "http://";
  if (proxy_url.size() > kScheme.size() &&
      EqualsCaseInsensitiveASCII(proxy_url.substr(0, kScheme.size()), kScheme)) {
    proxy_url.remove_prefix(kScheme.size());
  }
  return proxy_url;
}

ProxyChoice ChooseProxy(HINTERNET session,
                        const TransportRequest& transport,
                        const std::wstring& url) {
  switch (transport.proxy_mode) {
    case ProxyMode::kDirect:
      // The machine's own WinHTTP setting, which is normally none.
      return {};
    case ProxyMode::kExplicit:
      return {Wide(ToProxyServer(transport.proxy_url)), L""};
    case ProxyMode::kEnvironment:
      return ReadUserProxy(session, url).choice;
  }
  return {};
}

// Preset credentials answer a proxy's first challenge where WinHTTP can;
// otherwise the 407 is answered once (see ResendWithProxyCredentials).
void ApplyProxyCredentials(HINTERNET request, const TransportRequest& transport) {
  if (transport.proxy_mode != ProxyMode::kExplicit || transport.proxy_user_name.empty()) return;
  std::wstring user = Wide(transport.proxy_user_name);
  WinHttpSetOption(request, WINHTTP_OPTION_PROXY_USERNAME, user.data(), user.size());
  if (transport.proxy_password.empty()) return;
  std::wstring password = Wide(transport.proxy_password);
  WinHttpSetOption(request, WINHTTP_OPTION_PROXY_PASSWORD, password.data(), password.size());
  SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
}

void ApplySecurity(HINTERNET request, const TransportRequest& transport) {
  if (!transport.secure || transport.verify_certificates) return;
  SetOption<DWORD>(request, WINHTTP_OPTION_SECURITY_FLAGS, kLenientSecurityFlags);
}

void ApplyRedirectPolicy(HINTERNET request, const TransportRequest& transport) {
  if (!transport.follow_redirects) {
    SetOption<DWORD>(request, WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS);
    return;
  }
  // Never from HTTPS down to HTTP.
  SetOption<DWORD>(request, WINHTTP_OPTION_REDIRECT_POLICY,
                   WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP);
  SetOption<DWORD>(request, WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, kMaxRedirects);
}

void ApplyTimeouts(HINTERNET request, const TransportTimeouts& timeouts) {
  WinHttpSetTimeouts(request, ToWinHttpTimeout(timeouts.resolve_ms),
                     ToWinHttpTimeout(timeouts.connect_ms), ToWinHttpTimeout(timeouts.send_ms),
                     ToWinHttpTimeout(timeouts.receive_ms));
  // Some WinHTTP versions bound the wait for the response head only by this.
  SetOption<DWORD>(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT,
                   IsLimited(timeouts.receive_ms) ? timeouts.receive_ms : INFINITE);
}

// Each line alone, so that one the platform refuses costs only itself.
void AddHeaderLines(HINTERNET request, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    const std::wstring text = Wide(line);
    WinHttpAddRequestHeaders(request, text.c_str(), static_cast<DWORD>(text.size()),
                             WINHTTP_ADDREQ_FLAG_ADD);
  }
}

std::optional<std::wstring> QueryRawHead(HINTERNET request) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                      WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
  std::wstring head(size / sizeof(wchar_t) + 1, L'\0');
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                           head.data(), &size, WINHTTP_NO_HEADER_INDEX)) {
    return std::nullopt;
  }
  head.resize(size / sizeof(wchar_t));
  return head;
}

int QueryStatusCode(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
    return 0;
  }
  return static_cast<int>(status);
}

bool HasHeader(HINTERNET request, DWORD query) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                      WINHTTP_NO_HEADER_INDEX);
  return GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

// The body length that a sized response announces; nothing for a response
// without a body or with a chunked one.
std::optional<uint64_t> AnnouncedBodyLength(HINTERNET request, int status_code) {
  if (status_code < 200 || status_code == 204 || status_code == 304) return std::nullopt;
  if (HasHeader(request, WINHTTP_QUERY_TRANSFER_ENCODING)) return std::nullopt;
  // As text: not every WinHTTP version gives 64-bit numbers.
  wchar_t text[32] = {};
  DWORD size = sizeof(text);
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                           text, &size, WINHTTP_NO_HEADER_INDEX)) {
    return std::nullopt;
  }
  wchar_t* end = nullptr;
  const uint64_t length = std::wcstoull(text, &end, 10);
  if (end == text || *end != L'\0') return std::nullopt;
  return length;
}

// The strongest scheme that the proxy offers and WinHTTP can answer.
std::optional<DWORD> ChooseAuthScheme(HINTERNET request) {
  DWORD supported = 0;
  DWORD first = 0;
  DWORD target = 0;
  if (!WinHttpQueryAuthSchemes(request, &supported, &first, &target)) return std::nullopt;
  for (const DWORD scheme : {WINHTTP_AUTH_SCHEME_NEGOTIATE, WINHTTP_AUTH_SCHEME_NTLM,
                             WINHTTP_AUTH_SCHEME_DIGEST, WINHTTP_AUTH_SCHEME_BASIC}) {
    if (supported & scheme) return scheme;
  }
  return std::nullopt;
}

// Once the request is on its way, a window of `min_rate_seconds` that moved
// fewer than the minimum number of bytes ends the transfer.
class RateWatch {
 public:
  explicit RateWatch(const TransportTimeouts& timeouts)
      : minimum_(uint64_t{timeouts.min_bytes_per_second} * timeouts.min_rate_seconds),
        window_(timeouts.min_rate_seconds) {}

  void Start() { window_start_ = Clock::now(); }
  void Add(uint64_t bytes) { moved_ += bytes; }

  bool IsTooSlow() {
    if (window_.count() == 0) return false;
    const Clock::time_point now = Clock::now();
    if (now - window_start_ < window_) return false;
    if (moved_ - window_bytes_ < minimum_) return true;
    window_start_ = now;
    window_bytes_ = moved_;
    return false;
  }

 private:
  using Clock = std::chrono::steady_clock;

  const uint64_t minimum_;
  const std::chrono::seconds window_;
  Clock::time_point window_start_ = Clock::now();
  uint64_t window_bytes_ = 0;
  uint64_t moved_ = 0;
};

// One request on its own request handle.
class Exchange {
 public:
  Exchange(HINTERNET request, const TransportRequest& transport, const TransportTimeouts& timeouts)
      : request_(request), transport_(transport), rate_(timeouts) {}

  TransferResult Run(TransportSink& sink) {
    if (transport_.body.size() > MAXDWORD) {
      return {TransferEnd::kNotStarted, kErrorInvalidParameter};
    }
    rate_.Start();
    if (!Send()) return {TransferEnd::kSendFailed, GetLastError()};
    if (!Receive()) return {TransferEnd::kReceiveFailed, GetLastError()};
    if (status_code_ == HTTP_STATUS_PROXY_AUTH_REQ && !ResendWithProxyCredentials()) {
      return {TransferEnd::kReceiveFailed, GetLastError()};
    }
    if (rate_.IsTooSlow()) return {TransferEnd::kAbandoned, kErrorHttpTimeout};
    const std::optional<std::wstring> head = QueryRawHead(request_);
    // A connection closed inside the head leaves it without its blank end
    // line: that is no response.
    if (!head || !head->ends_with(L"\r\n\r\n")) {
      return {TransferEnd::kReceiveFailed, kErrorHttpInvalidServerResponse};
    }
    rate_.Add(head->size());
    if (!sink.OnResponseHead(Narrow(*head), status_code_)) return {TransferEnd::kBodyFailed, 0};
    return ReadBody(sink);
  }

 private:
  bool Send() {
    void* body = const_cast<uint8_t*>(transport_.body.data());
    const auto size = static_cast<DWORD>(transport_.body.size());
    if (!WinHttpSendRequest(request_, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            size ? body : WINHTTP_NO_REQUEST_DATA, size, size, 0)) {
      return false;
    }
    rate_.Add(size);
    return true;
  }

  bool Receive() {
    if (!WinHttpReceiveResponse(request_, nullptr)) return false;
    status_code_ = QueryStatusCode(request_);
    return true;
  }

  // A proxy that asks for credentials gets them once; a second 407 is the
  // caller's answer.
  bool ResendWithProxyCredentials() {
    if (transport_.proxy_mode != ProxyMode::kExplicit || transport_.proxy_user_name.empty()) {
      return true;
    }
    const std::optional<DWORD> scheme = ChooseAuthScheme(request_);
    if (!scheme) return true;
    const std::wstring user = Wide(transport_.proxy_user_name);
    std::wstring password = Wide(transport_.proxy_password);
    const bool set = WinHttpSetCredentials(request_, WINHTTP_AUTH_TARGET_PROXY, *scheme,
                                           user.c_str(), password.c_str(), nullptr);
    SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
    if (!set) return true;
    return Send() && Receive();
  }

  // Some WinHTTP versions take a connection closed early for the end of a
  // sized body.
  TransferResult BodyEnd(uint64_t received) const {
    const std::optional<uint64_t> announced = AnnouncedBodyLength(request_, status_code_);
    if (announced && received < *announced) {
      return {TransferEnd::kBodyFailed, kErrorHttpConnectionError};
    }
    return {TransferEnd::kBodyEnded, 0};
  }

  TransferResult ReadBody(TransportSink& sink) {
    std::vector<uint8_t> chunk;
    uint64_t received = 0;
    for (;;) {
      DWORD available = 0;
      if (!WinHttpQueryDataAvailable(request_, &available)) {
        return {TransferEnd::kBodyFailed, GetLastError()};
      }
      if (rate_.IsTooSlow()) return {TransferEnd::kAbandoned, kErrorHttpTimeout};
      if (available == 0) return BodyEnd(received);
      chunk.resize(std::min(available, kReadChunkSize));
      DWORD read = 0;
      if (!WinHttpReadData(request_, chunk.data(), static_cast<DWORD>(chunk.size()), &read)) {
        return {TransferEnd::kBodyFailed, GetLastError()};
      }
      if (read == 0) return BodyEnd(received);
      received += read;
      rate_.Add(read);
      if (!sink.OnBodyData(std::span<const uint8_t>(chunk.data(), read))) {
        return {TransferEnd::kBodyFailed, 0};
      }
    }
  }

  const HINTERNET request_;
  const TransportRequest& transport_;
  RateWatch rate_;
  int status_code_ = 0;
};

struct CrackedUrl {
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring target;  // path and query
};

std::optional<CrackedUrl> CrackUrl(const std::wstring& url) {
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) {
    return std::nullopt;
  }
  CrackedUrl cracked;
  cracked.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  cracked.port = parts.nPort;
  cracked.target.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  cracked.target.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (cracked.target.empty()) cracked.target = L"/";
  return cracked;
}

}  // namespace

// A WinHTTP session's proxy is fixed when it opens (some versions ignore the
// proxy option), so a proxied transfer runs in a session of its own, kept
// while later transfers use the same proxy.
struct HttpSession::Platform {
  std::wstring user_agent;
  ScopedInternet session;
  ProxyChoice proxy;
  std::unique_ptr<ScopedInternet> proxy_session;
  TransportTimeouts timeouts;

  Platform(std::wstring agent, HINTERNET handle) : user_agent(std::move(agent)), session(handle) {}

  // Null, with the platform's error, when a session cannot be opened.
  HINTERNET SessionFor(const ProxyChoice& choice) {
    if (choice.server.empty()) return session.get();
    if (proxy_session && choice == proxy) return proxy_session->get();
    proxy_session.reset();
    HINTERNET handle =
        WinHttpOpen(user_agent.c_str(), WINHTTP_ACCESS_TYPE_NAMED_PROXY, choice.server.c_str(),
                    choice.bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : choice.bypass.c_str(), 0);
    if (!handle) return nullptr;
    proxy_session = std::make_unique<ScopedInternet>(handle);
    proxy = choice;
    return handle;
  }

  // Anything that fails before the request can be sent is the platform's
  // error and ends the transfer unsent.
  TransferResult TransferThrough(const ProxyChoice& choice,
                                 const CrackedUrl& target,
                                 const TransportRequest& request,
                                 TransportSink& sink) {
    const HINTERNET chosen_session = SessionFor(choice);
    if (!chosen_session) return {TransferEnd::kNotStarted, GetLastError()};
    const ScopedInternet connection(
        WinHttpConnect(chosen_session, target.host.c_str(), target.port, 0));
    if (!connection.get()) return {TransferEnd::kNotStarted, GetLastError()};
    const std::wstring method = Wide(request.method);
    // The target arrives encoded already and travels as it is.
    const DWORD flags = (request.secure ? WINHTTP_FLAG_SECURE : 0) | WINHTTP_FLAG_ESCAPE_DISABLE |
                        WINHTTP_FLAG_ESCAPE_DISABLE_QUERY;
    const ScopedInternet handle(
        WinHttpOpenRequest(connection.get(), method.c_str(), target.target.c_str(), nullptr,
                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!handle.get()) return {TransferEnd::kNotStarted, GetLastError()};
    ApplyTimeouts(handle.get(), timeouts);
    ApplyRedirectPolicy(handle.get(), request);
    ApplySecurity(handle.get(), request);
    ApplyProxyCredentials(handle.get(), request);
    AddHeaderLines(handle.get(), request.header_lines);
    return Exchange(handle.get(), request, timeouts).Run(sink);
  }

  // After a failed send the user's proxy settings are read: a proxy that
  // their configuration script names gets the request at once; named proxy
  // servers take over from the next attempt (ProxyMode::kEnvironment). A
  // step of reading them that fails is reported; a resend that cannot start
  // leaves the send failed.
  TransferResult RetryThroughUserProxy(const TransferResult& failed,
                                       const std::wstring& url,
                                       const CrackedUrl& target,
                                       const TransportRequest& request,
                                       TransportSink& sink) {
    const UserProxySetting user = ReadUserProxy(session.get(), url);
    TransferResult result = failed;
    result.proxy_error = user.error;
    if (!user.from_script || user.choice.server.empty()) return result;
    const TransferResult resent = TransferThrough(user.choice, target, request, sink);
    return resent.end == TransferEnd::kNotStarted ? result : resent;
  }
};

HttpSession::HttpSession(std::unique_ptr<Platform> platform) : platform_(std::move(platform)) {}

HttpSession::~HttpSession() = default;

std::unique_ptr<HttpSession> HttpSession::Open(std::u16string_view user_agent, uint32_t& error) {
  std::wstring agent = win::ToWide(user_agent);
  HINTERNET session = WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                  WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  if (!session) {
    error = GetLastError();
    return nullptr;
  }
  return std::unique_ptr<HttpSession>(
      new HttpSession(std::make_unique<Platform>(std::move(agent), session)));
}

void HttpSession::SetTimeouts(const TransportTimeouts& timeouts) {
  platform_->timeouts = timeouts;
}

TransferResult HttpSession::Transfer(const TransportRequest& request, TransportSink& sink) {
  const std::wstring url = Wide(request.url);
  const std::optional<CrackedUrl> target = CrackUrl(url);
  if (!target) return {TransferEnd::kNotStarted, GetLastError()};
  const TransferResult result = platform_->TransferThrough(
      ChooseProxy(platform_->session.get(), request, url), *target, request, sink);
  if (result.end != TransferEnd::kSendFailed || request.proxy_mode == ProxyMode::kExplicit) {
    return result;
  }
  return platform_->RetryThroughUserProxy(result, url, *target, request, sink);
}

}  // namespace updater::platform
