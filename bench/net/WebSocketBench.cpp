// WebSocket round trips per second over loopback: the client sends a message
// to the python3-websockets echo server of the tests and waits for it to come
// back, for small and larger messages; python3-websockets' own client does
// the same against the same server in the same run, as the reference.
// Needs /usr/bin/python3 with Debian's python3-websockets.
#include <chrono>
#include <cstdio>
#include <string>

#include "net/LoopbackServers.h"
#include "net/WebSocket.h"

namespace {

constexpr const char* kPython = "/usr/bin/python3";
const std::string kServer = std::string(QUARVELIN_TEST_DATA) + "/net/ws_server.py";

// The first line a command prints.
std::string FirstLine(const std::string& command) {
  std::string line;
  if (FILE* output = popen(command.c_str(), "r")) {
    char text[256];
    if (std::fgets(text, sizeof(text), output)) line = text;
    pclose(output);
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

double ClientRoundTrips(const std::string& url, int count, size_t size) {
  auto client = GCore::easywsclient::WebSocket::FromUrl(url, "", "");
  if (!client) return 0;
  const std::string message(size, 'r');
  int received = 0;
  const auto count_one = [&](GCore::easywsclient::WebSocket&, std::string_view) { ++received; };
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) {
    client->Send(message);
    while (received <= i && client->GetReadyState() != GCore::easywsclient::WebSocket::CLOSED) {
      client->Poll(-1);
      client->Dispatch(count_one);
    }
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return received == count ? count / took.count() : 0;
}

}  // namespace

int main() {
  const nettest::PythonHttpServer server(kPython, "ws_server.py", {});
  if (server.Port() == 0) {
    std::fprintf(stderr, "the echo server did not start (needs %s with python3-websockets)\n", kPython);
    return 1;
  }
  const std::string url = "ws://127.0.0.1:" + std::to_string(server.Port()) + "/echo";
  std::printf("WebSocket round trips per second over loopback (echo server: python3-websockets)\n");
  std::printf("%-10s %12s %16s\n", "message", "this client", "python client");
  for (const size_t size : {size_t{16}, size_t{4096}, size_t{65536}}) {
    const int count = size > 10000 ? 2000 : 5000;
    const double ours = ClientRoundTrips(url, count, size);
    const std::string theirs = FirstLine(std::string(kPython) + " " + kServer + " --round-trips " + url +
                                         " " + std::to_string(count) + " " + std::to_string(size));
    std::printf("%-10zu %12.0f %16s\n", size, ours, theirs.empty() ? "-" : theirs.c_str());
  }
  return 0;
}
