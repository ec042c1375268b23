// The WinHTTP transport against a loopback server that writes raw bytes, so
// that the tests see and set exactly what travels on the wire.

#include <winsock2.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include "http/body_memory_platform.h"
#include "http/http_errors.h"
#include "http/http_transport_platform.h"
#include "http/response_file_platform.h"

namespace updater {
namespace {

using platform::HttpSession;

constexpr uint32_t kShortTimeoutMs = 300;

// Takes connections one after another; `answer` writes the reply to each.
class RawServer {
 public:
  using Answer = std::function<void(SOCKET, const std::string& request, int index)>;

  explicit RawServer(Answer answer) : answer_(std::move(answer)) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof(address);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    listen(listener_, 8);
    thread_ = std::thread([this] { Serve(); });
  }
  ~RawServer() {
    closesocket(listener_);
    thread_.join();
    WSACleanup();
  }

  static Answer Reply(std::string bytes) {
    return [bytes](SOCKET s, const std::string&, int) { Send(s, bytes); };
  }
  static void Send(SOCKET s, const std::string& bytes) {
    send(s, bytes.data(), static_cast<int>(bytes.size()), 0);
  }

  std::string Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(port_) + target;
  }
  int port() const { return port_; }
  std::vector<std::string> requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  void Serve() {
    for (int index = 0;; ++index) {
      const SOCKET s = accept(listener_, nullptr, nullptr);
      if (s == INVALID_SOCKET) return;
      // A client that stops reading must not hold the server (and the test's
      // end) for ever.
      const DWORD send_limit_ms = 5000;
      setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&send_limit_ms),
                 sizeof(send_limit_ms));
      const std::string request = Receive(s);
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
      }
      answer_(s, request, index);
      closesocket(s);
    }
  }

  // The head and as many body bytes as its Content-Length announces.
  static std::string Receive(SOCKET s) {
    std::string request;
    char buffer[4096];
    size_t end = std::string::npos;
    size_t wanted = 0;
    while (end == std::string::npos || request.size() < end + 4 + wanted) {
      const int got = recv(s, buffer, sizeof(buffer), 0);
      if (got <= 0) break;
      request.append(buffer, got);
      end = request.find("\r\n\r\n");
      const size_t length = request.find("Content-Length: ");
      if (length < end) wanted = std::stoul(request.substr(length + 16));
    }
    return request;
  }

  Answer answer_;
  SOCKET listener_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> requests_;
};

// Keeps what the transport delivered; stops where it is told to.
class RecordingSink : public TransportSink {
 public:
  bool OnResponseHead(std::string_view raw_head, int status_code) override {
    head = raw_head;
    status = status_code;
    return accept_head;
  }
  bool OnBodyData(std::span<const uint8_t> bytes) override {
    body.append(bytes.begin(), bytes.end());
    ++pieces;
    return pieces < stop_after_pieces;
  }

  bool accept_head = true;
  int stop_after_pieces = 1 << 30;
  std::string head;
  int status = 0;
  std::string body;
  int pieces = 0;
};

std::unique_ptr<HttpSession> OpenSession(const TransportTimeouts& timeouts = {}) {
  uint32_t error = 0;
  std::unique_ptr<HttpSession> session = HttpSession::Open(u"WinHttpClient", error);
  EXPECT_TRUE(session) << error;
  if (session) session->SetTimeouts(timeouts);
  return session;
}

// The transport reports GetLastError() as given; wine's WinHTTP gives the
// socket's time-out (10060) where Windows gives its own number.
uint32_t AsWindowsReportsIt(uint32_t error) {
  return error == WSAETIMEDOUT ? kErrorHttpTimeout : error;
}

TransportRequest Get(const std::string& url) {
  TransportRequest request;
  request.method = "GET";
  request.url = url;
  return request;
}

TEST(HttpTransportWinTest, SendsExactlyTheRequestAndHandsOverTheRawHead) {
  RawServer server(RawServer::Reply("HTTP/1.1 204 No Content\r\nX-Seen: yes\r\n\r\n"));
  auto session = OpenSession();
  TransportRequest request = Get(server.Url("/update.php?a=1&b=x%20y&c=%41"));
  request.header_lines = {"Accept: */*", "X-Two: a; b"};
  RecordingSink sink;
  const TransferResult result = session->Transfer(request, sink);
  EXPECT_EQ(result.end, TransferEnd::kBodyEnded);
  ASSERT_EQ(server.requests().size(), 1u);
  const std::string wire = server.requests()[0];
  EXPECT_EQ(wire.substr(0, wire.find("\r\n")), "GET /update.php?a=1&b=x%20y&c=%41 HTTP/1.1");
  EXPECT_NE(wire.find("\r\nUser-Agent: WinHttpClient\r\n"), std::string::npos) << wire;
  EXPECT_NE(wire.find("\r\nAccept: */*\r\n"), std::string::npos) << wire;
  EXPECT_NE(wire.find("\r\nX-Two: a; b\r\n"), std::string::npos) << wire;
  EXPECT_EQ(sink.status, 204);
  EXPECT_EQ(sink.head.rfind("HTTP/1.1 204 No Content\r\n", 0), 0u) << sink.head;
  EXPECT_NE(sink.head.find("X-Seen: yes\r\n"), std::string::npos);
  EXPECT_EQ(sink.body, "");
}

TEST(HttpTransportWinTest, DeliversSizedChunkedAndPostedBodiesInPieces) {
  const std::string large(300 * 1024, 'x');
  RawServer sized_server(RawServer::Reply("HTTP/1.1 200 OK\r\nX-Kind: sized\r\nContent-Length: " +
                                          std::to_string(large.size()) + "\r\n\r\n" + large));
  RawServer chunked_server(
      RawServer::Reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6\r\n "
                       "world\r\n0\r\n\r\n"));
  RawServer echo([](SOCKET s, const std::string& request, int) {
    const std::string body = request.substr(request.find("\r\n\r\n") + 4);
    RawServer::Send(
        s, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
  });
  auto session = OpenSession();

  RecordingSink sized;
  EXPECT_EQ(session->Transfer(Get(sized_server.Url("/sized")), sized).end, TransferEnd::kBodyEnded);
  EXPECT_EQ(sized.status, 200);
  EXPECT_NE(sized.head.find("X-Kind: sized\r\n"), std::string::npos);
  EXPECT_EQ(sized.body, large);
  EXPECT_GT(sized.pieces, 1);

  RecordingSink chunked;
  EXPECT_EQ(session->Transfer(Get(chunked_server.Url("/chunked")), chunked).end,
            TransferEnd::kBodyEnded);
  EXPECT_NE(chunked.head.find("Transfer-Encoding: chunked"), std::string::npos);
  EXPECT_EQ(chunked.body, "hello world");

  const std::string payload = "a=1&b=2";
  TransportRequest post = Get(echo.Url("/echo"));
  post.method = "POST";
  post.body = std::span(reinterpret_cast<const uint8_t*>(payload.data()), payload.size());
  RecordingSink echoed;
  EXPECT_EQ(session->Transfer(post, echoed).end, TransferEnd::kBodyEnded);
  EXPECT_EQ(echoed.body, payload);
  const std::string wire = echo.requests().at(0);
  EXPECT_EQ(wire.rfind("POST /echo HTTP/1.1\r\n", 0), 0u) << wire;
  EXPECT_NE(wire.find("\r\nContent-Length: 7\r\n"), std::string::npos) << wire;
}

TEST(HttpTransportWinTest, FollowsRedirectsOnlyWhenAsked) {
  RawServer server([](SOCKET s, const std::string& request, int) {
    RawServer::Send(s, request.rfind("GET /from ", 0) == 0
                           ? "HTTP/1.1 302 Found\r\nLocation: /to\r\nContent-Length: 0\r\n"
                             "Connection: close\r\n\r\n"
                           : "HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\narrived");
  });
  auto session = OpenSession();

  RecordingSink followed;
  EXPECT_EQ(session->Transfer(Get(server.Url("/from")), followed).end, TransferEnd::kBodyEnded);
  EXPECT_EQ(followed.status, 200);
  EXPECT_EQ(followed.head.rfind("HTTP/1.1 200", 0), 0u) << followed.head;
  EXPECT_EQ(followed.body, "arrived");

  TransportRequest request = Get(server.Url("/from"));
  request.follow_redirects = false;
  RecordingSink kept;
  EXPECT_EQ(session->Transfer(request, kept).end, TransferEnd::kBodyEnded);
  EXPECT_EQ(kept.status, 302);
  EXPECT_NE(kept.head.find("Location: /to\r\n"), std::string::npos) << kept.head;
  EXPECT_EQ(server.requests().size(), 3u);
}

TEST(HttpTransportWinTest, ReportsTheFailuresOfEachPhase) {
  auto session = OpenSession({.receive_ms = kShortTimeoutMs});
  // Before anything is sent: the platform's error, and no attempt is worth
  // repeating.
  RecordingSink unsplit;
  const TransferResult not_started = session->Transfer(Get("gopher://127.0.0.1/"), unsplit);
  EXPECT_EQ(not_started.end, TransferEnd::kNotStarted);
  EXPECT_EQ(not_started.error, kErrorHttpUnrecognizedScheme);
  EXPECT_EQ(not_started.proxy_error, 0u);

  int closed_port = 0;
  {
    RawServer gone(RawServer::Reply(""));
    closed_port = gone.port();
  }
  RecordingSink refused;
  const TransferResult no_server =
      session->Transfer(Get("http://127.0.0.1:" + std::to_string(closed_port) + "/"), refused);
  EXPECT_EQ(no_server.end, TransferEnd::kSendFailed);
  EXPECT_EQ(no_server.error, kErrorHttpCannotConnect);

  RawServer cut_head(RawServer::Reply("HTTP/1.1 200 OK\r\nKora-Version: 9.0\r\nKora-Loc"));
  RecordingSink cut;
  const TransferResult head_cut = session->Transfer(Get(cut_head.Url("/")), cut);
  EXPECT_EQ(head_cut.end, TransferEnd::kReceiveFailed);
  EXPECT_EQ(head_cut.error, kErrorHttpInvalidServerResponse);
  EXPECT_EQ(cut.head, "");

  RawServer cut_body(RawServer::Reply("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"));
  RecordingSink short_body;
  const TransferResult body_cut = session->Transfer(Get(cut_body.Url("/")), short_body);
  EXPECT_EQ(body_cut.end, TransferEnd::kBodyFailed);
  EXPECT_EQ(body_cut.error, kErrorHttpConnectionError);
  EXPECT_EQ(short_body.body, "abc");

  std::atomic<bool> done = false;
  const auto stall_until_done = [&](SOCKET s, const std::string& first) {
    RawServer::Send(s, first);
    while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  };
  RawServer silent([&](SOCKET s, const std::string&, int) { stall_until_done(s, ""); });
  RecordingSink waited;
  const TransferResult no_head = session->Transfer(Get(silent.Url("/")), waited);
  EXPECT_EQ(no_head.end, TransferEnd::kReceiveFailed);
  EXPECT_EQ(AsWindowsReportsIt(no_head.error), kErrorHttpTimeout);

  RawServer stalled_body([&](SOCKET s, const std::string&, int) {
    stall_until_done(s, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc");
  });
  RecordingSink partial;
  const TransferResult body_stalled = session->Transfer(Get(stalled_body.Url("/")), partial);
  EXPECT_EQ(body_stalled.end, TransferEnd::kBodyFailed);
  EXPECT_EQ(AsWindowsReportsIt(body_stalled.error), kErrorHttpTimeout);
  EXPECT_EQ(partial.body, "abc");
  done = true;
}

TEST(HttpTransportWinTest, AbandonsATransferSlowerThanTheMinimumRate) {
  std::atomic<bool> done = false;
  RawServer trickle([&](SOCKET s, const std::string&, int) {
    RawServer::Send(s, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
    while (!done) {
      RawServer::Send(s, "x");
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  auto session = OpenSession({.min_bytes_per_second = 1024, .min_rate_seconds = 1});
  RecordingSink sink;
  const TransferResult result = session->Transfer(Get(trickle.Url("/")), sink);
  done = true;
  EXPECT_EQ(result.end, TransferEnd::kAbandoned);
  EXPECT_EQ(result.error, kErrorHttpTimeout);
}

TEST(HttpTransportWinTest, TheSinkStopsTheTransfer) {
  const std::string large(1024 * 1024, 'y');
  RawServer server(RawServer::Reply(
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(large.size()) + "\r\n\r\n" + large));
  auto session = OpenSession();

  RecordingSink refuses_head;
  refuses_head.accept_head = false;
  const TransferResult head_refused = session->Transfer(Get(server.Url("/")), refuses_head);
  EXPECT_EQ(head_refused.end, TransferEnd::kBodyFailed);
  EXPECT_EQ(head_refused.error, 0u);
  EXPECT_EQ(refuses_head.pieces, 0);

  RecordingSink one_piece;
  one_piece.stop_after_pieces = 1;
  const TransferResult stopped = session->Transfer(Get(server.Url("/")), one_piece);
  EXPECT_EQ(stopped.end, TransferEnd::kBodyFailed);
  EXPECT_EQ(stopped.error, 0u);
  EXPECT_EQ(one_piece.pieces, 1);
  EXPECT_LT(one_piece.body.size(), large.size());

  // A stopped transfer closes its connection: a server still sending is told
  // so, instead of waiting for a client that reads no more until its own
  // limit (the raw server's 5 s) runs out.
  constexpr size_t kEndless = size_t{1} << 30;
  std::atomic<int> send_error = -1;
  RawServer endless([&](SOCKET s, const std::string&, int) {
    RawServer::Send(s,
                    "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kEndless) + "\r\n\r\n");
    const std::string block(64 * 1024, 'z');
    for (size_t sent = 0; sent < kEndless; sent += block.size()) {
      if (send(s, block.data(), static_cast<int>(block.size()), 0) == SOCKET_ERROR) {
        send_error = WSAGetLastError();
        return;
      }
    }
    send_error = 0;
  });
  RecordingSink stops;
  stops.stop_after_pieces = 1;
  EXPECT_EQ(session->Transfer(Get(endless.Url("/")), stops).end, TransferEnd::kBodyFailed);
  while (send_error == -1) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_NE(send_error, WSAETIMEDOUT);
  EXPECT_NE(send_error, 0);
}

TEST(HttpTransportWinTest, GoesThroughANamedProxyWithItsCredentials) {
  // The proxy asks for credentials once, then answers.
  RawServer proxy([](SOCKET s, const std::string&, int index) {
    RawServer::Send(s, index == 0 ? "HTTP/1.1 407 Proxy Authentication Required\r\n"
                                    "Proxy-Authenticate: Basic realm=\"p\"\r\n"
                                    "Content-Length: 0\r\nConnection: close\r\n\r\n"
                                  : "HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\nproxied");
  });
  auto session = OpenSession();
  TransportRequest request = Get("http://origin.invalid:8080/q?x=1");
  request.proxy_mode = ProxyMode::kExplicit;
  request.proxy_url = "http://localhost:" + std::to_string(proxy.port());
  request.proxy_user_name = "user";
  request.proxy_password = "secret";
  RecordingSink sink;
  const TransferResult result = session->Transfer(request, sink);
  EXPECT_EQ(result.end, TransferEnd::kBodyEnded) << result.error;
  EXPECT_EQ(sink.status, 200);
  EXPECT_EQ(sink.body, "proxied");
  const auto wire = proxy.requests();
  ASSERT_FALSE(wire.empty());
  EXPECT_EQ(wire[0].rfind("GET http://origin.invalid:8080/q?x=1 HTTP/1.1\r\n", 0), 0u) << wire[0];
  // "user:secret" in Base64.
  EXPECT_NE(wire.back().find("Proxy-Authorization: Basic dXNlcjpzZWNyZXQ=\r\n"), std::string::npos)
      << wire.back();
}

TEST(HttpWinFilesTest, BodyMemoryKeepsItsContentsAndResponseFilesAreAlwaysNew) {
  auto* block = static_cast<char*>(platform::ResizeBodyMemory(nullptr, 16));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "0123456789abcdef", 16);
  auto* grown = static_cast<char*>(platform::ResizeBodyMemory(block, 8 * 1024 * 1024));
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(std::string(grown, 16), "0123456789abcdef");
  EXPECT_EQ(platform::ResizeBodyMemory(grown, SIZE_MAX / 2), nullptr);
  EXPECT_EQ(std::string(grown, 16), "0123456789abcdef");
  platform::FreeBodyMemory(grown);

  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("http_win_files_" + std::to_string(GetCurrentProcessId()));
  std::filesystem::create_directories(dir);
  const std::filesystem::path file = dir / "setup.exe";
  const std::string bytes = "MZ installer";
  const std::span<const uint8_t> data(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  {
    const platform::DirectoryHandle directory = platform::OpenDirectory(FsPath(dir.u16string()));
    EXPECT_TRUE(platform::WriteResponseFile({directory, u"setup.exe"}, data));
    EXPECT_FALSE(platform::WriteResponseFile({directory, u"setup.exe"}, data.first(2)));
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes);
    in.close();
    EXPECT_FALSE(platform::WriteResponseFile({directory, u"."}, data));
    EXPECT_FALSE(platform::WriteResponseFile({directory, u""}, data));
    EXPECT_FALSE(platform::WriteResponseFile({directory, u"sub\\setup.exe"}, data));
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace updater
