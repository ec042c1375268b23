// Servers that break the protocol: every case ends with a defined result.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "http/http_client.h"
#include "http/http_errors.h"
#include "tests/http/http_test_util.h"
#include "tests/support/raw_server.h"

namespace updater {
namespace {

using test_support::RawConnection;
using test_support::RawServer;

constexpr uint32_t kShortTimeoutMs = 300;

TEST(HttpClientHostileTest, MalformedHeadsFailEveryAttempt) {
  const std::string heads[] = {
      "HTTP/1.1 two hundred\r\n\r\n",
      "SMTP ready\r\n\r\n",
      "HTTP/1.1 200 OK\r\nKora-Version: 9.0\r\nKora-Loc",  // closed inside the head
      "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\nbody",
      "HTTP/1.1 200 OK\r\nX-Big: " + std::string(3 * 1024 * 1024, 'h') + "\r\n\r\n",
      "HTTP/1.1 200 OK\r\n" +
          [] {
            std::string lines;
            for (int i = 0; i < 40000; ++i) lines += "X-" + std::to_string(i) + ": v\r\n";
            return lines;
          }() +
          "\r\n",
  };
  for (const std::string& head : heads) {
    RawServer server(RawServer::Answer(head));
    HttpClient client(U16(server.Url("/")), nullptr);
    EXPECT_FALSE(client.SendRequest(u"GET", true)) << head.substr(0, 40);
    EXPECT_NE(client.last_error(), 0u);
    EXPECT_EQ(server.requests().size(), 3u);
    EXPECT_EQ(client.GetStatusCode(), u"");
  }
}

TEST(HttpClientHostileTest, OutlandishContentLengthsAreClampedAndRefusedOrCutShort) {
  RawServer huge(RawServer::Answer(
      "HTTP/1.1 200 OK\r\nContent-Length: 12345678901234567890\r\nConnection: close\r\n\r\nabc"));
  HttpClient client(U16(huge.Url("/")), nullptr);
  EXPECT_FALSE(client.SendRequest(u"GET", true));
  EXPECT_EQ(client.content_length(), 2147483647u);
  EXPECT_EQ(client.last_error(), kErrorNotEnoughMemory);

  RawServer longer(
      RawServer::Answer("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n" + std::string(100000, 'z')));
  HttpClient cut(U16(longer.Url("/")), nullptr);
  ASSERT_TRUE(cut.SendRequest(u"GET", true));
  EXPECT_EQ(BodyOf(cut.response_body()), "zzzz");
}

// The test build keeps at most 4 MiB of body and abandons a transfer that
// moves under 1 KiB a second for 2 seconds.
TEST(HttpClientHostileTest, EndlessAndTrickledBodiesAreNoResponse) {
  const std::string chunk = "10000\r\n" + std::string(0x10000, 'e') + "\r\n";
  RawServer endless([&chunk](RawConnection& connection) {
    if (!connection.ReadRequest()) return;
    connection.Write("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
    while (connection.Write(chunk)) {
    }
  });
  RawServer announced([](RawConnection& connection) {
    if (!connection.ReadRequest()) return;
    connection.Write("HTTP/1.1 200 OK\r\nContent-Length: 4194305\r\n\r\nfirst");
    connection.StallUntilClosed();
  });
  const auto trickle = [](std::string head) {
    return [head](RawConnection& connection) {
      if (!connection.ReadRequest()) return;
      connection.Write(head);
      while (connection.Write("t")) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    };
  };
  RawServer trickled(trickle("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n"));
  RawServer trickled_redirect(
      trickle("HTTP/1.1 302 Found\r\nLocation: /next\r\nContent-Length: 100000\r\n\r\n"));
  struct Case {
    const RawServer& server;
    bool disable_redirects;
    uint32_t error;
  };
  for (const Case& test :
       {Case{endless, true, kErrorNotEnoughMemory}, Case{announced, true, kErrorNotEnoughMemory},
        Case{trickled, true, kErrorHttpTimeout},
        Case{trickled_redirect, false, kErrorHttpTimeout}}) {
    HttpClient client(U16(test.server.Url("/")), nullptr);
    // Not one attempt more: each would take as long, or grow as large.
    EXPECT_FALSE(client.SendRequest(u"GET", test.disable_redirects)) << test.server.port();
    EXPECT_EQ(client.last_error(), test.error);
    EXPECT_LE(client.response_body().size(), 4194304u);
    EXPECT_EQ(test.server.requests().size(), 1u);
  }
}

TEST(HttpClientHostileTest, AResetInTheBodyKeepsWhatArrived) {
  RawServer server([](RawConnection& connection) {
    if (!connection.ReadRequest()) return;
    connection.Write("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(1000, 'p'));
    connection.Reset();
  });
  Reports().clear();
  HttpClient client(U16(server.Url("/")), RecordProgress);
  // The body ends where the connection broke; the attempt counts as complete.
  EXPECT_TRUE(client.SendRequest(u"GET", true));
  EXPECT_EQ(client.last_error(), kErrorHttpConnectionError);
  EXPECT_EQ(client.GetStatusCode(), u"200");
  EXPECT_LE(client.response_body().size(), 1000u);
  EXPECT_EQ(server.requests().size(), 1u);
  ASSERT_FALSE(Reports().empty());
  EXPECT_EQ(Reports().back(), client.response_body().size() * 100.0 / 100000);
}

TEST(HttpClientHostileTest, AStalledBodyEndsAtTheReceiveTimeout) {
  RawServer server([](RawConnection& connection) {
    if (!connection.ReadRequest()) return;
    connection.Write("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\nfirst");
    connection.StallUntilClosed();
  });
  HttpClient client(U16(server.Url("/")), nullptr);
  client.SetReceiveTimeoutMs(kShortTimeoutMs);
  EXPECT_TRUE(client.SendRequest(u"GET", true));
  EXPECT_EQ(client.last_error(), kErrorHttpTimeout);
  EXPECT_EQ(BodyOf(client.response_body()), "first");
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST(HttpClientHostileTest, AStalledRedirectBodyEndsAtTheReceiveTimeout) {
  RawServer server([](RawConnection& connection) {
    if (!connection.ReadRequest()) return;
    connection.Write("HTTP/1.1 302 Found\r\nLocation: /next\r\nContent-Length: 50\r\n\r\nfirst");
    connection.StallUntilClosed();
  });
  HttpClient client(U16(server.Url("/")), nullptr);
  client.SetReceiveTimeoutMs(kShortTimeoutMs);
  // Each attempt ends at the time-out, not at the minimum rate's window.
  EXPECT_FALSE(client.SendRequest(u"GET", false));
  EXPECT_EQ(client.last_error(), kErrorHttpTimeout);
  EXPECT_EQ(server.requests().size(), 3u);
}

TEST(HttpClientHostileTest, AServerThatNeverAnswersTimesOutEveryAttempt) {
  RawServer server([](RawConnection& connection) {
    if (connection.ReadRequest()) connection.StallUntilClosed();
  });
  HttpClient client(U16(server.Url("/")), nullptr);
  client.SetReceiveTimeoutMs(kShortTimeoutMs);
  EXPECT_FALSE(client.SendRequest(u"GET", true));
  EXPECT_EQ(client.last_error(), kErrorHttpTimeout);
  EXPECT_EQ(server.requests().size(), 3u);
}

TEST(HttpClientHostileTest, AServerThatClosesWithoutAnsweringFailsEveryAttempt) {
  RawServer server([](RawConnection& connection) { connection.ReadRequest(); });
  HttpClient client(U16(server.Url("/")), nullptr);
  EXPECT_FALSE(client.SendRequest(u"GET", true));
  EXPECT_EQ(client.last_error(), kErrorHttpConnectionError);
  EXPECT_EQ(server.requests().size(), 3u);
}

}  // namespace
}  // namespace updater
