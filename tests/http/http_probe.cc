// Run under wine by the Linux tests: one transfer with the WinHTTP transport,
// its outcome on standard output as one line of fields,
//   end=<TransferEnd> error=<number> status=<code> body=<hex of the body>
// Usage: http_probe URL [--method=M] [--no-verify] [--no-redirects]
//                       [--proxy=URL] [--proxy-user=NAME] [--proxy-password=WORD]
//                       [--timeout-ms=N]

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "http/http_transport_platform.h"

namespace updater {
namespace {

// Bounds a server that never answers; the Linux side waits longer.
constexpr uint32_t kDefaultTimeoutMs = 20000;

class RecordingSink : public TransportSink {
 public:
  bool OnResponseHead(std::string_view, int status_code) override {
    status_code_ = status_code;
    return true;
  }
  bool OnBodyData(std::span<const uint8_t> bytes) override {
    body_.append(bytes.begin(), bytes.end());
    return true;
  }

  int status_code() const { return status_code_; }
  const std::string& body() const { return body_; }

 private:
  int status_code_ = 0;
  std::string body_;
};

const char* EndName(TransferEnd end) {
  switch (end) {
    case TransferEnd::kNotStarted:
      return "not-started";
    case TransferEnd::kSendFailed:
      return "send-failed";
    case TransferEnd::kReceiveFailed:
      return "receive-failed";
    case TransferEnd::kBodyEnded:
      return "body-ended";
    case TransferEnd::kBodyFailed:
      return "body-failed";
    case TransferEnd::kAbandoned:
      return "abandoned";
  }
  return "?";
}

// False for an argument it does not know.
bool ApplyOption(std::string_view option, TransportRequest& request, uint32_t& timeout_ms) {
  const auto value_of = [option](std::string_view name, std::string& value) {
    if (!option.starts_with(name)) return false;
    value = option.substr(name.size());
    return true;
  };
  if (option == "--no-verify") {
    request.verify_certificates = false;
  } else if (option == "--no-redirects") {
    request.follow_redirects = false;
  } else if (option.starts_with("--timeout-ms=")) {
    timeout_ms = static_cast<uint32_t>(std::strtoul(option.data() + 13, nullptr, 10));
  } else if (value_of("--proxy=", request.proxy_url)) {
    request.proxy_mode = ProxyMode::kExplicit;
  } else if (!value_of("--method=", request.method) &&
             !value_of("--proxy-user=", request.proxy_user_name) &&
             !value_of("--proxy-password=", request.proxy_password)) {
    return false;
  }
  return true;
}

int Run(int argc, char** argv) {
  if (argc < 2) return 2;
  TransportRequest request;
  request.method = "GET";
  request.url = argv[1];
  request.secure = request.url.starts_with("https:");
  uint32_t timeout_ms = kDefaultTimeoutMs;
  for (int i = 2; i < argc; ++i) {
    if (!ApplyOption(argv[i], request, timeout_ms)) return 2;
  }
  uint32_t error = 0;
  const std::unique_ptr<platform::HttpSession> session =
      platform::HttpSession::Open(u"http_probe", error);
  if (!session) {
    std::printf("end=no-session error=%u status=0 body=\n", error);
    return 1;
  }
  session->SetTimeouts({timeout_ms, timeout_ms, timeout_ms, timeout_ms, 0, 0});
  RecordingSink sink;
  const TransferResult result = session->Transfer(request, sink);
  std::printf("end=%s error=%u status=%d body=", EndName(result.end), result.error,
              sink.status_code());
  for (const char byte : sink.body()) std::printf("%02x", static_cast<uint8_t>(byte));
  std::printf("\n");
  return 0;
}

}  // namespace
}  // namespace updater

int main(int argc, char** argv) {
  return updater::Run(argc, argv);
}
