#ifndef TESTS_SUPPORT_RAW_SERVER_H_
#define TESTS_SUPPORT_RAW_SERVER_H_

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/recorded_request.h"

namespace updater::test_support {

// One accepted connection of a RawServer, for scripts that answer with bytes
// no well-behaved server would send.
class RawServer;

class RawConnection {
 public:
  RawConnection(int fd, RawServer& server) : fd_(fd), server_(server) {}

  // Reads and records one request head (and a body announced by
  // Content-Length).
  std::optional<RecordedRequest> ReadRequest();
  bool Write(std::string_view bytes);
  // Sends nothing until the peer closes the connection, the server stops or
  // `limit` has passed.
  void StallUntilClosed(std::chrono::milliseconds limit = std::chrono::seconds(20));
  // Ends the connection with a TCP reset instead of an orderly close.
  void Reset();

 private:
  std::optional<RecordedRequest> ReadUnrecorded();

  int fd_;
  RawServer& server_;
  std::string pending_;
};

// A loopback TCP server on an ephemeral port that runs `script` for every
// connection and records the requests the scripts read.
class RawServer {
 public:
  using Script = std::function<void(RawConnection&)>;

  explicit RawServer(Script script);
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;
  ~RawServer();

  int port() const { return port_; }
  std::string Url(const std::string& path) const;
  std::vector<RecordedRequest> requests() const;

  // The standard script: read a request, record it, write `reply`, close.
  static Script Answer(std::string reply);

 private:
  void AcceptLoop();
  void Serve(int fd);
  void Record(RecordedRequest request);

  Script script_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  mutable std::mutex mutex_;
  std::vector<std::thread> connections_;
  std::vector<RecordedRequest> requests_;

  friend class RawConnection;
};

// A port on 127.0.0.1 that nothing listens on (at the time of asking).
int UnusedLoopbackPort();

}  // namespace updater::test_support

#endif  // TESTS_SUPPORT_RAW_SERVER_H_
