#include "tests/support/test_server.h"

#include <chrono>

#include "tests/support/test_certificates.h"

namespace updater::test_support {

TestServer::TestServer(int fixed_port) : server_(std::make_unique<httplib::Server>()) {
  Start(fixed_port);
}

TestServer::TestServer(const ServerCertificate& certificate, int fixed_port)
    : server_(std::make_unique<httplib::SSLServer>(certificate.certificate_file.c_str(),
                                                   certificate.key_file.c_str())),
      secure_(true) {
  Start(fixed_port);
}

TestServer::~TestServer() {
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

void TestServer::Start(int fixed_port) {
  server_->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
    RecordedRequest recorded{request.method, request.target, {}, request.body};
    for (const auto& header : request.headers) recorded.headers.push_back(header);
    std::lock_guard lock(mutex_);
    in_progress_[&request] = requests_.size();
    requests_.push_back(std::move(recorded));
    return httplib::Server::HandlerResponse::Unhandled;
  });
  if (fixed_port == 0) {
    port_ = server_->bind_to_any_port("127.0.0.1");
  } else {
    // Not httplib's SO_REUSEPORT: a fixed port must fail while anyone else
    // listens there, or the two would share the connections.
    server_->set_socket_options([](socket_t socket) {
      int yes = 1;
      setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    port_ = server_->bind_to_port("127.0.0.1", fixed_port) ? fixed_port : -1;
  }
  if (port_ <= 0) return;
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // httplib has no readiness signal here; its flag turns on as it listens.
  for (int i = 0; i < 5000 && !server_->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void TestServer::Handle(const std::string& path, Handler handler) {
  // A request body is read only after the routing, so it is recorded here.
  auto recording_handler = [this, handler](const httplib::Request& request,
                                           httplib::Response& response) {
    {
      std::lock_guard lock(mutex_);
      if (auto entry = in_progress_.find(&request); entry != in_progress_.end()) {
        requests_[entry->second].body = request.body;
        in_progress_.erase(entry);
      }
    }
    handler(request, response);
  };
  server_->Get(path, recording_handler);
  server_->Post(path, recording_handler);
}

void TestServer::Reply(const std::string& path,
                       int status,
                       const httplib::Headers& headers,
                       const std::string& body,
                       const std::string& content_type) {
  Handle(path, [=](const httplib::Request&, httplib::Response& response) {
    response.status = status;
    for (const auto& header : headers) response.headers.insert(header);
    response.set_content(body, content_type.c_str());
  });
}

std::string TestServer::Url(const std::string& path) const {
  return (secure_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + path;
}

std::vector<RecordedRequest> TestServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

int TestServer::CountRequests(const std::string& path) const {
  std::lock_guard lock(mutex_);
  int count = 0;
  for (const RecordedRequest& request : requests_) {
    count += request.target.substr(0, request.target.find('?')) == path;
  }
  return count;
}

}  // namespace updater::test_support
