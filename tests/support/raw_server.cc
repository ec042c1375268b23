#include "tests/support/raw_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "base/string_util.h"

namespace updater::test_support {
namespace {

constexpr int kPollIntervalMs = 50;

int ListenOnLoopback(int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(fd, 16) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

bool WaitReadable(int fd, const std::atomic<bool>& stopping) {
  while (!stopping) {
    pollfd entry{fd, POLLIN, 0};
    const int ready = poll(&entry, 1, kPollIntervalMs);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
  return false;
}

std::optional<RecordedRequest> ParseHead(std::string_view head) {
  RecordedRequest request;
  size_t line_end = head.find("\r\n");
  const std::string_view request_line = head.substr(0, line_end);
  const size_t first_space = request_line.find(' ');
  const size_t last_space = request_line.rfind(' ');
  if (first_space == std::string_view::npos || last_space <= first_space) return std::nullopt;
  request.method = request_line.substr(0, first_space);
  request.target = request_line.substr(first_space + 1, last_space - first_space - 1);
  while (line_end != std::string_view::npos && line_end + 2 < head.size()) {
    const size_t start = line_end + 2;
    line_end = head.find("\r\n", start);
    const std::string_view line = head.substr(start, line_end - start);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    request.headers.emplace_back(line.substr(0, colon), value);
  }
  return request;
}

}  // namespace

std::optional<RecordedRequest> RawConnection::ReadRequest() {
  auto request = ReadUnrecorded();
  if (request) server_.Record(*request);
  return request;
}

std::optional<RecordedRequest> RawConnection::ReadUnrecorded() {
  char buffer[4096];
  size_t head_end;
  while ((head_end = pending_.find("\r\n\r\n")) == std::string::npos) {
    if (!WaitReadable(fd_, server_.stopping_)) return std::nullopt;
    const ssize_t got = recv(fd_, buffer, sizeof(buffer), 0);
    if (got <= 0) return std::nullopt;
    pending_.append(buffer, static_cast<size_t>(got));
  }
  auto request = ParseHead(std::string_view(pending_).substr(0, head_end + 2));
  pending_.erase(0, head_end + 4);
  if (!request) return std::nullopt;
  const size_t body_length = std::strtoul(request->Header("Content-Length").c_str(), nullptr, 10);
  while (pending_.size() < body_length) {
    if (!WaitReadable(fd_, server_.stopping_)) return std::nullopt;
    const ssize_t got = recv(fd_, buffer, sizeof(buffer), 0);
    if (got <= 0) return std::nullopt;
    pending_.append(buffer, static_cast<size_t>(got));
  }
  request->body = pending_.substr(0, body_length);
  pending_.erase(0, body_length);
  return request;
}

bool RawConnection::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

void RawConnection::StallUntilClosed(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  char buffer[4096];
  while (!server_.stopping_ && std::chrono::steady_clock::now() < deadline) {
    pollfd entry{fd_, POLLIN, 0};
    if (poll(&entry, 1, kPollIntervalMs) > 0 && recv(fd_, buffer, sizeof(buffer), 0) <= 0) return;
  }
}

void RawConnection::Reset() {
  const linger abort_on_close{1, 0};
  setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort_on_close, sizeof(abort_on_close));
  shutdown(fd_, SHUT_RD);
}

RawServer::RawServer(Script script) : script_(std::move(script)) {
  listener_ = ListenOnLoopback(port_);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

RawServer::~RawServer() {
  stopping_ = true;
  acceptor_.join();
  std::vector<std::thread> connections;
  {
    std::lock_guard lock(mutex_);
    connections.swap(connections_);
  }
  for (std::thread& connection : connections) connection.join();
  if (listener_ >= 0) close(listener_);
}

std::string RawServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<RecordedRequest> RawServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

RawServer::Script RawServer::Answer(std::string reply) {
  return [reply = std::move(reply)](RawConnection& connection) {
    if (connection.ReadRequest()) connection.Write(reply);
  };
}

void RawServer::AcceptLoop() {
  while (listener_ >= 0 && WaitReadable(listener_, stopping_)) {
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard lock(mutex_);
    connections_.emplace_back([this, fd] { Serve(fd); });
  }
}

void RawServer::Serve(int fd) {
  RawConnection connection(fd, *this);
  script_(connection);
  close(fd);
}

void RawServer::Record(RecordedRequest request) {
  std::lock_guard lock(mutex_);
  requests_.push_back(std::move(request));
}

int UnusedLoopbackPort() {
  int port = 0;
  const int fd = ListenOnLoopback(port);
  if (fd >= 0) close(fd);
  return port;
}

}  // namespace updater::test_support
