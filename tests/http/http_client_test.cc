#include "http/http_client.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "http/http_errors.h"
#include "tests/http/http_test_util.h"
#include "tests/support/raw_server.h"
#include "tests/support/test_server.h"

namespace updater {
namespace {

using test_support::RawConnection;
using test_support::RawServer;
using test_support::TestServer;

TEST(HttpClientTest, RefusesEmptyUrlAndUnknownVerbsBeforeSending) {
  HttpClient empty(u"", nullptr);
  EXPECT_FALSE(empty.SendRequest(u"GET", true));
  EXPECT_EQ(empty.last_error(), kErrorPathNotFound);

  TestServer server;
  server.Reply("/q", 200, {}, "ok");
  HttpClient put(U16(server.Url("/q")), nullptr);
  EXPECT_FALSE(put.SendRequest(u"PUT", true));
  EXPECT_EQ(put.last_error(), kErrorInvalidParameter);
  EXPECT_TRUE(server.requests().empty());

  HttpClient lower(U16(server.Url("/q")), nullptr);
  ASSERT_TRUE(lower.SendRequest(u"gEt", true));
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].method, "GET");
  EXPECT_EQ(lower.GetStatusCode(), u"200");
  EXPECT_EQ(BodyOf(lower.response_body()), "ok");
  EXPECT_EQ(lower.host(), u"127.0.0.1");
}

TEST(HttpClientTest, RefusesUrlsThatCannotBeSplit) {
  const std::pair<std::u16string, uint32_t> cases[] = {
      {u"ftp://127.0.0.1/x", kErrorHttpUnrecognizedScheme},
      {u"http://", kErrorHttpInvalidUrl},
      {u"http://127.0.0.1:99999/", kErrorHttpInvalidUrl},
      {u"http://bad host/", kErrorHttpInvalidUrl},
      {u"http://" + std::u16string(260, u'a') + u"/", kErrorInsufficientBuffer},
      {u"http://127.0.0.1/" + std::u16string(1299, u'a'), kErrorInsufficientBuffer},
  };
  for (const auto& [url, error] : cases) {
    HttpClient client(url, nullptr);
    EXPECT_FALSE(client.SendRequest(u"GET", true));
    EXPECT_EQ(client.last_error(), error);
  }
}

TEST(HttpClientTest, SendsTheSessionDefaultsAndTheCallersHeaders) {
  RawServer server(RawServer::Answer("HTTP/1.1 204 No Content\r\n\r\n"));
  HttpClient client(U16(server.Url("/update.php?a=1&b=x y&c=%41#frag")), nullptr);
  client.SetAdditionalHeaders(u"Accept: */*\r\nX-Empty:\r\n");
  client.SetRequestCookies(u"id=7");
  ASSERT_TRUE(client.SendRequest(u"GET", true));
  ASSERT_EQ(server.requests().size(), 1u);
  const auto requests = server.requests();
  const auto& request = requests[0];
  EXPECT_EQ(request.target, "/update.php?a=1&b=x%20y&c=%41%23frag");
  EXPECT_EQ(request.Header("User-Agent"), "WinHttpClient");
  EXPECT_EQ(request.Header("Accept"), "*/*");
  EXPECT_EQ(request.CountHeader("X-Empty"), 1);
  EXPECT_EQ(request.Header("Cookie"), "id=7");
  EXPECT_EQ(request.CountHeader("Expect"), 0);

  HttpClient plain(U16(server.Url("/update.php")), nullptr);
  plain.SetUserAgent(u"Other");
  ASSERT_TRUE(plain.SendRequest(u"GET", true));
  ASSERT_EQ(server.requests().size(), 2u);
  EXPECT_EQ(server.requests()[1].CountHeader("Accept"), 0);
  EXPECT_EQ(server.requests()[1].Header("User-Agent"), "Other");
}

TEST(HttpClientTest, MalformedHeaderLinesAreRecordedAndTheRequestGoesOn) {
  TestServer server;
  server.Reply("/q", 200, {}, "ok");
  HttpClient client(U16(server.Url("/q")), nullptr);
  client.SetAdditionalHeaders(u"no colon here\r\n");
  ASSERT_TRUE(client.SendRequest(u"GET", true));
  EXPECT_EQ(client.last_error(), kErrorHttpInvalidHeader);
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST(HttpClientTest, PostsTheBody) {
  TestServer server;
  server.Reply("/post", 200, {}, "done");
  HttpClient client(U16(server.Url("/post")), nullptr);
  const std::string data = "name=value&x=1";
  client.SetPostData(std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
  ASSERT_TRUE(client.SendRequest(u"post", false));
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].method, "POST");
  EXPECT_EQ(server.requests()[0].body, data);
  EXPECT_EQ(server.requests()[0].Header("Content-Length"), std::to_string(data.size()));
  // Only the headers the caller asked for: no content type of the library's.
  EXPECT_EQ(server.requests()[0].CountHeader("Content-Type"), 0);
  client.SetAdditionalHeaders(u"Content-Type: text/plain\r\n");
  ASSERT_TRUE(client.SendRequest(u"POST", false));
  EXPECT_EQ(server.requests()[1].Header("Content-Type"), "text/plain");
}

TEST(HttpClientTest, RedirectsAreKeptWhenDisabledAndFollowedOtherwise) {
  TestServer server;
  server.Reply("/old", 302, {{"Location", "/new"}}, "moved");
  server.Reply("/new", 200, {{"Kora-Version", "2.0"}}, "<html>new</html>");

  HttpClient kept(U16(server.Url("/old")), nullptr);
  ASSERT_TRUE(kept.SendRequest(u"GET", true));
  EXPECT_EQ(kept.GetStatusCode(), u"302");
  EXPECT_EQ(kept.GetLocation(), u"/new");
  EXPECT_EQ(server.CountRequests("/new"), 0);

  HttpClient followed(U16(server.Url("/old")), nullptr);
  ASSERT_TRUE(followed.SendRequest(u"GET", false));
  EXPECT_EQ(followed.GetStatusCode(), u"200");
  EXPECT_EQ(followed.GetResponseHeader(u"Kora-Version"), u"2.0");
  EXPECT_EQ(followed.GetResponseHeader(u"Location"), u"");
  EXPECT_EQ(followed.GetResponseText(), u"<html>new</html>");
}

TEST(HttpClientTest, IncompleteHtmlIsSentThreeTimesWithCoalescedHeaders) {
  TestServer server;
  server.Reply("/page", 200, {}, "<HTML><body>cut off");
  HttpClient client(U16(server.Url("/page")), nullptr);
  client.SetAdditionalHeaders(u"Accept: */*\r\nX-Try: a\r\n");
  client.SetRequestCookies(u"s=1");
  EXPECT_FALSE(client.SendRequest(u"GET", false));
  EXPECT_EQ(client.last_error(), kErrorInvalidData);
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].Header("X-Try"), "a");
  EXPECT_EQ(requests[1].Header("X-Try"), "a; a");
  EXPECT_EQ(requests[2].Header("Accept"), "*/*; */*; */*");
  EXPECT_EQ(requests[2].CountHeader("Accept"), 1);
  EXPECT_EQ(requests[2].Header("Cookie"), "s=1; s=1; s=1");

  // The same page is accepted at once when redirects are not followed.
  HttpClient query(U16(server.Url("/page")), nullptr);
  EXPECT_TRUE(query.SendRequest(u"GET", true));
  EXPECT_EQ(server.requests().size(), 4u);
}

TEST(HttpClientTest, ReadsHeaderValuesFromTheFinalHead) {
  RawServer server(RawServer::Answer(
      "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\nSet-Cookie: a=1\r\n"
      "Set-Cookie: b=2\r\nSet-Cookie: A=1\r\nX-Version: 1\r\nContent-Length: 4\r\n"
      "Connection: close\r\n\r\nbody"));
  HttpClient client(U16(server.Url("/")), nullptr);
  ASSERT_TRUE(client.SendRequest(u"GET", true));
  EXPECT_EQ(client.response_cookies(), u"a=1; b=2;");
  EXPECT_EQ(client.response_charset(), u"UTF-8");
  EXPECT_EQ(client.content_length(), 4u);
  EXPECT_EQ(client.GetResponseHeader(u"Version"), u"1");
  EXPECT_EQ(client.GetResponseHeader(u"Missing"), u"");
  EXPECT_EQ(client.response_headers().substr(0, 17), u"HTTP/1.1 200 OK\r\n");

  // Cookies accumulate over the requests of one object.
  ASSERT_TRUE(client.SendRequest(u"GET", true));
  EXPECT_EQ(client.response_cookies(), u"a=1; b=2;a=1; b=2;");
}

TEST(HttpClientTest, DecodesByTheCharset) {
  TestServer server;
  const std::string text = "caf\xC3\xA9";
  server.Reply("/utf8", 200, {}, text, "text/plain; charset=utf-8");
  server.Reply("/ansi", 200, {}, text + std::string("\0rest", 5), "text/plain");

  HttpClient utf8(U16(server.Url("/utf8")), nullptr);
  ASSERT_TRUE(utf8.SendRequest(u"GET", true));
  EXPECT_EQ(utf8.GetResponseText(), u"caf\u00E9");

  HttpClient ansi(U16(server.Url("/ansi")), nullptr);
  ASSERT_TRUE(ansi.SendRequest(u"GET", true));
  EXPECT_EQ(ansi.GetResponseText(), u"caf\u00C3\u00A9");
  EXPECT_EQ(ansi.response_body().size(), text.size() + 5);

  HttpClient forced(U16(server.Url("/utf8")), nullptr);
  forced.SetForceCharset(true);
  ASSERT_TRUE(forced.SendRequest(u"GET", true));
  EXPECT_EQ(forced.response_charset(), u"");
  EXPECT_EQ(forced.GetResponseText(), u"caf\u00C3\u00A9");
}

TEST(HttpClientTest, ReportsProgressOnlyWithAContentLength) {
  TestServer server;
  const std::string body(300000, 'x');
  server.Reply("/sized", 200, {}, body);
  server.Handle("/chunked", [&](const httplib::Request&, httplib::Response& response) {
    response.set_chunked_content_provider("application/octet-stream",
                                          [&](size_t, httplib::DataSink& sink) {
                                            sink.write(body.data(), body.size());
                                            sink.done();
                                            return true;
                                          });
  });
  server.Reply("/empty", 200, {}, "");

  Reports().clear();
  HttpClient sized(U16(server.Url("/sized")), RecordProgress);
  ASSERT_TRUE(sized.SendRequest(u"GET", true));
  ASSERT_GE(Reports().size(), 3u);
  EXPECT_EQ(Reports().front(), 0.0);
  EXPECT_EQ(Reports()[Reports().size() - 2], 100.0);
  EXPECT_EQ(Reports().back(), 100.0);
  EXPECT_TRUE(std::is_sorted(Reports().begin(), Reports().end()));

  // A callback that says stop ends the transfer at once, as cancelled.
  HttpClient stopped(U16(server.Url("/sized")), [](double) { return false; });
  EXPECT_FALSE(stopped.SendRequest(u"GET", true));
  EXPECT_EQ(stopped.last_error(), kErrorHttpOperationCancelled);
  EXPECT_LT(stopped.response_body().size(), body.size());

  for (const char* path : {"/chunked", "/empty"}) {
    Reports().clear();
    HttpClient client(U16(server.Url(path)), RecordProgress);
    ASSERT_TRUE(client.SendRequest(u"GET", true));
    EXPECT_TRUE(Reports().empty()) << path;
  }
}

TEST(HttpClientTest, ReportsMoreThanAHundredWhenTheBodyOutgrowsItsLength) {
  // A chunked body with a stray Content-Length: the chunks decide the length.
  RawServer server(
      RawServer::Answer("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\r\n"
                        "Connection: close\r\n\r\na\r\n0123456789\r\n0\r\n\r\n"));
  Reports().clear();
  HttpClient client(U16(server.Url("/")), RecordProgress);
  ASSERT_TRUE(client.SendRequest(u"GET", true));
  EXPECT_EQ(BodyOf(client.response_body()), "0123456789");
  ASSERT_FALSE(Reports().empty());
  EXPECT_EQ(Reports().front(), 0.0);
  EXPECT_EQ(Reports().back(), 200.0);
}

class SaveResponseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = std::filesystem::temp_directory_path() /
                 ("http_save_" + std::to_string(getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(directory_);
    server_.Reply("/file", 200, {}, "MZ-installer");
    server_.Reply("/empty", 200, {}, "");
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  FsPath PathOf(const std::string& name) const { return FsPath(U16((directory_ / name).string())); }

  std::filesystem::path directory_;
  TestServer server_;
};

TEST_F(SaveResponseTest, WritesTheBodyForItsOwnerOnly) {
  HttpClient client(U16(server_.Url("/file")), nullptr);
  EXPECT_FALSE(client.SaveResponseToFile(PathOf("before")));
  ASSERT_TRUE(client.SendRequest(u"GET", true));
  // Only a new file: one that is there already may be open for writing elsewhere.
  std::ofstream(directory_ / "setup.exe") << "an older and longer file";
  chmod((directory_ / "setup.exe").c_str(), 0666);
  EXPECT_FALSE(client.SaveResponseToFile(PathOf("setup.exe")));
  std::filesystem::remove(directory_ / "setup.exe");
  ASSERT_TRUE(client.SaveResponseToFile(PathOf("setup.exe")));
  std::ifstream file(directory_ / "setup.exe");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "MZ-installer");
  struct stat status;
  ASSERT_EQ(stat((directory_ / "setup.exe").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);
  EXPECT_FALSE(client.SaveResponseToFile(PathOf("missing/setup.exe")));
  // A lone surrogate has no native form: nothing is written under the name
  // of the replacement character a lossy conversion would put there.
  EXPECT_FALSE(client.SaveResponseToFile(FsPath(PathOf("").value() + u"\xD800.exe")));
  EXPECT_FALSE(std::filesystem::exists(directory_ / "\xEF\xBF\xBD.exe"));
}

TEST_F(SaveResponseTest, RefusesAnEmptyBodyAndSymbolicLinks) {
  HttpClient empty(U16(server_.Url("/empty")), nullptr);
  ASSERT_TRUE(empty.SendRequest(u"GET", true));
  EXPECT_FALSE(empty.SaveResponseToFile(PathOf("empty.exe")));
  EXPECT_FALSE(std::filesystem::exists(directory_ / "empty.exe"));

  HttpClient client(U16(server_.Url("/file")), nullptr);
  ASSERT_TRUE(client.SendRequest(u"GET", true));
  std::ofstream(directory_ / "target") << "keep";
  std::filesystem::create_symlink(directory_ / "target", directory_ / "link.exe");
  EXPECT_FALSE(client.SaveResponseToFile(PathOf("link.exe")));
  std::ifstream target(directory_ / "target");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(target), {}), "keep");
  ASSERT_EQ(mkfifo((directory_ / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(client.SaveResponseToFile(PathOf("fifo")));
}

TEST(HttpClientTest, ASendThatNeverReachesAServerFailsAfterThreeAttempts) {
  const int port = test_support::UnusedLoopbackPort();
  HttpClient client(U16("http://127.0.0.1:" + std::to_string(port) + "/"), nullptr);
  EXPECT_FALSE(client.SendRequest(u"GET", true));
  // Only the proxy fall-back's own failures are recorded, and it has none.
  EXPECT_EQ(client.last_error(), 0u);
  EXPECT_EQ(client.GetStatusCode(), u"");
}

}  // namespace
}  // namespace updater
