// WebSocket round trips over loopback: the client sends a text message to the
// python3-websockets echo server of the tests and waits for it to come back,
// for small and larger messages; python3-websockets' own client does the same
// against the same server in the same run, as the peer. Each side first sends
// the same number of untimed messages on its connection, and times the rest
// inside its own process after connecting, so neither figure holds a process
// start or a handshake. Milliseconds for all the timed round trips of a size.
// Needs /usr/bin/python3 with Debian's python3-websockets.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "PeerFigures.h"
#include "net/LoopbackServers.h"
#include "net/WebSocket.h"

namespace {

constexpr const char* kPython = "/usr/bin/python3";
const std::string kServer = std::string(QUARVELIN_TEST_DATA) + "/net/ws_server.py";
// Round trips each side makes before its clock runs.
constexpr int kWarm = 200;

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

// Milliseconds of `count` round trips after kWarm untimed ones, or -1.
double ClientRoundTripsMs(const std::string& url, int count, size_t size) {
  auto client = GCore::easywsclient::WebSocket::FromUrl(url, "", "");
  if (!client) return -1;
  const std::string message(size, 'r');
  int received = 0;
  const auto count_one = [&](GCore::easywsclient::WebSocket&, std::string_view) { ++received; };
  const auto roundTrips = [&](int total) {
    for (int i = 0; i < total; ++i) {
      client->Send(message);
      while (received <= i && client->GetReadyState() != GCore::easywsclient::WebSocket::CLOSED) {
        client->Poll(-1);
        client->Dispatch(count_one);
      }
    }
  };
  roundTrips(kWarm);
  if (received != kWarm) return -1;
  received = 0;
  const auto start = std::chrono::steady_clock::now();
  roundTrips(count);
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  return received == count ? took.count() : -1;
}

double PythonRoundTripsMs(const std::string& url, int count, size_t size) {
  const std::string line = FirstLine(std::string(kPython) + " " + kServer + " --round-trips " + url + " " +
                                     std::to_string(kWarm) + " " + std::to_string(count) + " " + std::to_string(size));
  return line.empty() ? -1 : std::atof(line.c_str());
}

}  // namespace

int main() {
  const nettest::PythonHttpServer server(kPython, "ws_server.py", {});
  if (server.Port() == 0) {
    std::fprintf(stderr, "the echo server did not start (needs %s with python3-websockets)\n", kPython);
    return 1;
  }
  const std::string url = "ws://127.0.0.1:" + std::to_string(server.Port()) + "/echo";
  std::printf("WebSocket round trips over loopback to python3-websockets' echo server, %d untimed first (ms)\n",
              kWarm);
  for (const size_t size : {size_t{16}, size_t{4096}, size_t{65536}}) {
    const int count = size > 10000 ? 2000 : 5000;
    const std::string what = std::to_string(count) + " of " + std::to_string(size) + " bytes";
    const double ours = ClientRoundTripsMs(url, count, size);
    PrintPeerFigures(what.c_str(), ours, "python3-websockets", PythonRoundTripsMs(url, count, size));
  }
  return 0;
}
