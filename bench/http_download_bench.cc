// Downloads one large body over loopback with HttpClient and with the curl
// command line from the same server, and compares throughput and the
// client's peak memory.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/string_util.h"
#include "http/http_client.h"
#include "tests/support/raw_server.h"

namespace updater {
namespace {

constexpr size_t kMiB = 1024 * 1024;
constexpr int kRounds = 3;

using Clock = std::chrono::steady_clock;

// Serves `body_size` bytes to every request until its parent goes away; runs
// in a child process so that its memory is not the client's.
[[noreturn]] void RunServer(size_t body_size, int port_pipe, int stop_pipe) {
  const std::string chunk(kMiB, 'b');
  test_support::RawServer server([&](test_support::RawConnection& connection) {
    if (!connection.ReadRequest()) return;
    connection.Write(
        "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
        "Content-Length: " +
        std::to_string(body_size) + "\r\nConnection: close\r\n\r\n");
    for (size_t sent = 0; sent < body_size; sent += chunk.size()) {
      if (!connection.Write(std::string_view(chunk).substr(0, body_size - sent))) return;
    }
  });
  const int port = server.port();
  if (write(port_pipe, &port, sizeof(port)) != sizeof(port)) _exit(1);
  char ignored;
  while (read(stop_pipe, &ignored, 1) > 0) {
  }
  _exit(0);
}

double Seconds(Clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

double TimeCurl(const std::string& url, const std::string& output) {
  const std::string command = "curl -s -f -o '" + output + "' '" + url + "'";
  const auto start = Clock::now();
  if (std::system(command.c_str()) != 0) return -1;
  return Seconds(Clock::now() - start);
}

// As the update flows download: the body into memory and, when `output` is
// given, then into that file.
double TimeClient(const std::string& url, size_t body_size, const std::string& output) {
  HttpClient client(UTF8ToUTF16(url), nullptr);
  client.SetAdditionalHeaders(u"Accept: */*\r\n");
  const auto start = Clock::now();
  bool ok = client.SendRequest(u"GET", true) && client.response_body().size() == body_size;
  if (ok && !output.empty()) ok = client.SaveResponseToFile(FsPath(UTF8ToUTF16(output)));
  const double seconds = Seconds(Clock::now() - start);
  return ok ? seconds : -1;
}

struct Timings {
  std::vector<double> seconds;

  double Median() {
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
  }
  bool Failed() const { return *std::min_element(seconds.begin(), seconds.end()) < 0; }
};

long PeakResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace
}  // namespace updater

int main(int argc, char** argv) {
  using namespace updater;
  const size_t body_mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
  const size_t body_size = (body_mib ? body_mib : 256) * kMiB;
  int port_pipe[2];
  int stop_pipe[2];
  if (pipe(port_pipe) != 0 || pipe(stop_pipe) != 0) return 1;
  const pid_t server = fork();
  if (server == 0) {
    close(port_pipe[0]);
    close(stop_pipe[1]);
    RunServer(body_size, port_pipe[1], stop_pipe[0]);
  }
  close(port_pipe[1]);
  close(stop_pipe[0]);
  int port = 0;
  if (read(port_pipe[0], &port, sizeof(port)) != sizeof(port)) return 1;
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/body.exe";

  const long baseline_kib = PeakResidentKiB();
  const std::string file =
      std::filesystem::temp_directory_path() / ("http_download_bench_" + std::to_string(getpid()));
  Timings curl_memory, client_memory, curl_file, client_file;
  for (int round = 0; round < kRounds; ++round) {
    curl_memory.seconds.push_back(TimeCurl(url, "/dev/null"));
    client_memory.seconds.push_back(TimeClient(url, body_size, ""));
    curl_file.seconds.push_back(TimeCurl(url, file));
    std::filesystem::remove(file);
    client_file.seconds.push_back(TimeClient(url, body_size, file));
    std::filesystem::remove(file);
  }
  close(stop_pipe[1]);
  waitpid(server, nullptr, 0);
  if (curl_memory.Failed() || client_memory.Failed() || curl_file.Failed() ||
      client_file.Failed()) {
    std::fprintf(stderr, "a download failed\n");
    return 1;
  }
  const double mib = static_cast<double>(body_mib);
  const double curl_rate = mib / curl_memory.Median();
  const double client_rate = mib / client_memory.Median();
  const double curl_file_rate = mib / curl_file.Median();
  const double client_file_rate = mib / client_file.Median();
  const double peak_mib = PeakResidentKiB() / 1024.0;
  std::printf("body                            %zu MiB over loopback, median of %d rounds\n",
              body_mib, kRounds);
  std::printf("curl, body to /dev/null         %8.1f MiB/s\n", curl_rate);
  std::printf("HttpClient, body into memory    %8.1f MiB/s\n", client_rate);
  std::printf("  ratio                         %8.2f  (goal >= 0.90)\n", client_rate / curl_rate);
  std::printf("curl, body to a file            %8.1f MiB/s\n", curl_file_rate);
  std::printf("HttpClient, then saved to file  %8.1f MiB/s\n", client_file_rate);
  std::printf("  ratio                         %8.2f  (goal >= 0.90)\n",
              client_file_rate / curl_file_rate);
  std::printf("peak resident memory            %8.1f MiB (%.1f MiB before downloading)\n", peak_mib,
              baseline_kib / 1024.0);
  std::printf("  over the body                 %8.1f MiB (goal <= 32)\n", peak_mib - mib);
  return 0;
}
