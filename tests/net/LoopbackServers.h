#pragma once
// Servers the network tests talk to, all on 127.0.0.1 with ports of their
// own: the python3 server of tests/net/http_server.py for proper HTTP, and a
// raw server that plays scripted bytes for replies no proper server sends.
#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nettest {

// Starts the command (its standard input and error on /dev/null) as the
// leader of a process group of its own that ends with the test program, and
// answers the port it prints on its first line; 0 when there is none.
int StartPortPrinter(std::vector<std::string> command, pid_t& pid);

// The python server, started with the given arguments and killed with the
// object. Port() is 0 when it could not be started. The second form starts
// another server script of tests/net (printing its port first) under the
// given interpreter.
class PythonHttpServer {
 public:
  explicit PythonHttpServer(const std::vector<std::string>& arguments = {});
  PythonHttpServer(const char* interpreter, const char* script, const std::vector<std::string>& arguments);
  ~PythonHttpServer();
  PythonHttpServer(const PythonHttpServer&) = delete;
  PythonHttpServer& operator=(const PythonHttpServer&) = delete;

  int Port() const { return port_; }
  std::string Url(const std::string& path, const char* scheme = "http") const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// One step of a scripted reply: bytes to send ("{PORT}" in them becomes the
// server's port), then a pause.
struct ReplyStep {
  std::string bytes;
  int pauseMs = 0;
};

struct Reply {
  std::vector<ReplyStep> steps;
  // Closed after the steps, or held open (and watched for the client's close).
  bool close = true;
};

// Answers its connections in turn: the n-th connection reads one request
// (through its blank line) and gets the n-th reply; connections past the
// last reply get the last one. One connection at a time.
class ScriptedServer {
 public:
  explicit ScriptedServer(std::vector<Reply> replies);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int Port() const { return port_; }
  std::string Url(const std::string& path) const;
  int Connections() const { return connections_; }
  // Held connections that the client has closed.
  int ClosedByClient() const { return closedByClient_; }
  // Waits up to 5 s until ClosedByClient reaches n; true when it does.
  bool WaitForClientCloses(int n) const;
  std::vector<std::string> Requests();

 private:
  void Serve();
  void Answer(int connection);

  std::vector<Reply> replies_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  int port_ = 0;
  std::atomic<int> connections_{0};
  std::atomic<int> closedByClient_{0};
  std::vector<int> held_;
  std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// The byte pattern of the python server's bodies: byte i is i % 251.
std::string Pattern(size_t size);

// Waits up to `waitMs` for `test` to hold; true when it does.
bool WaitUntil(const std::function<bool()>& test, int waitMs = 10000);

// Ends the whole test program with a message when it is not destroyed
// within `seconds`: a call that should end by its own deadline and does not
// fails the test at once instead of holding it for ever.
class HangGuard {
 public:
  HangGuard(int seconds, std::string what);
  ~HangGuard();
  HangGuard(const HangGuard&) = delete;
  HangGuard& operator=(const HangGuard&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::thread watcher_;
};

// The contents of a file, empty when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace nettest
