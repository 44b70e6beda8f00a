// Download of 64 MiB over loopback, in milliseconds: the HTTP client into a
// sink that drops the bytes, the download worker into a file, and curl doing
// the same two from the same server in the same run. Each curl figure holds
// the start of a curl process (and of a shell) where the engine runs in this
// one: it is shown raw and less that start (`curl --version` through the
// shell). The server is a thread of this program that answers every request
// with the same body from memory, so that it is never the slower side.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "PeerFigures.h"
#include "net/Downloader.h"
#include "net/HttpFetcher.h"

namespace {

constexpr size_t kBodySize = 64u << 20;
constexpr int kRuns = 3;

class BodyServer {
 public:
  BodyServer() : body_(kBodySize) {
    for (size_t i = 0; i < body_.size(); ++i) body_[i] = static_cast<char>(i % 251);
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(listener_, 8) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~BodyServer() {
    stopping_ = true;
    shutdown(listener_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    close(listener_);
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/body"; }
  bool Ready() const { return port_ != 0; }

 private:
  void Serve() {
    while (!stopping_) {
      const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0) continue;
      // The request is read through its blank line, then answered and closed.
      std::string request;
      char c;
      while (request.find("\r\n\r\n") == std::string::npos && read(connection, &c, 1) == 1) request += c;
      const std::string header = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body_.size()) +
                                 "\r\nConnection: close\r\n\r\n";
      bool ok = send(connection, header.data(), header.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(header.size());
      for (size_t sent = 0; ok && sent < body_.size();) {
        const ssize_t n = send(connection, body_.data() + sent, body_.size() - sent, MSG_NOSIGNAL);
        ok = n > 0;
        if (ok) sent += static_cast<size_t>(n);
      }
      close(connection);
    }
  }

  std::vector<char> body_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

int DropBytes(void*, const char*, int, const char*) { return 0; }

void OnDone(int, int, void* context, int state) {
  if (state == GCore::kDownloaderDone || state == GCore::kDownloaderFailed) *static_cast<int*>(context) = state;
}

bool FetchToSink(const std::string& url) { return GCore::HttpFetcher_Get(url.c_str(), DropBytes, nullptr, 0) == static_cast<int64_t>(kBodySize); }

bool DownloadToFile(const std::string& url, const std::string& path) {
  GCore::Downloader worker;
  worker.StartThread();
  if (!worker.AddJob(url.c_str(), path.c_str())) return false;
  int outcome = 0;
  worker.Start(&outcome, OnDone);
  while (outcome == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    worker.Poll();
  }
  return outcome == GCore::kDownloaderDone && std::filesystem::file_size(path) == kBodySize;
}

bool Curl(const std::string& url, const std::string& output) {
  const std::string command = "curl -s -f -o '" + output + "' '" + url + "'";
  return std::system(command.c_str()) == 0;
}

// The best of kRuns runs, in milliseconds; -1 when a run failed.
template <typename Run>
double BestMs(Run&& run) {
  double best = 1e30;
  for (int i = 0; i < kRuns; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (!run()) return -1;
    best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main() {
  BodyServer server;
  if (!server.Ready()) {
    std::printf("the loopback server could not be started\n");
    return 1;
  }
  const std::string url = server.Url();
  const std::string path = (std::filesystem::temp_directory_path() / ("quarvelin-bench-" + std::to_string(getpid()))).string();
  std::printf("download of %zu MiB over loopback, best of %d (ms)\n", kBodySize >> 20, kRuns);
  const double sink = BestMs([&] { return FetchToSink(url); });
  const double file = BestMs([&] { return DownloadToFile(url, path); });
  // A peer that is not installed is no figure at all, not a time of 0.
  if (std::system("command -v curl >/dev/null 2>&1") != 0) {
    std::printf("  client into a sink %.2f ms, download worker to file %.2f ms\n", sink, file);
    std::printf("  curl is not installed: no peer figures\n");
  } else {
    const double start = BestMs([] { return std::system("curl --version > /dev/null") == 0; });
    std::printf("  curl's start alone (shell + curl --version): %.2f ms, taken off each curl figure\n", start);
    PrintPeerFiguresLessStart("client into a sink / to /dev/null", sink, "curl",
                              BestMs([&] { return Curl(url, "/dev/null"); }), start);
    PrintPeerFiguresLessStart("download worker / curl to file", file, "curl", BestMs([&] { return Curl(url, path); }),
                              start);
  }
  std::filesystem::remove(path);
  return 0;
}
