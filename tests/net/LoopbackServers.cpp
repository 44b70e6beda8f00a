#include "LoopbackServers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace nettest {

int StartPortPrinter(std::vector<std::string> command, pid_t& pid) {
  int output[2];
  if (pipe(output) != 0) return 0;
  pid = fork();
  if (pid == 0) {
    // Children of the server join its group; the server ends with the test
    // program, also when that crashes.
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    close(output[0]);
    dup2(output[1], 1);
    const int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 2);
    std::vector<char*> argv;
    for (std::string& argument : command) argv.push_back(argument.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(output[1]);
  std::string line;
  char c = 0;
  while (read(output[0], &c, 1) == 1 && c != '\n') line.push_back(c);
  close(output[0]);
  return line.empty() ? 0 : std::stoi(line);
}

PythonHttpServer::PythonHttpServer(const std::vector<std::string>& arguments)
    : PythonHttpServer("python3", "http_server.py", arguments) {}

PythonHttpServer::PythonHttpServer(const char* interpreter, const char* scriptName,
                                   const std::vector<std::string>& arguments) {
  std::vector<std::string> command = {interpreter, std::string(QUARVELIN_TEST_DATA) + "/net/" + scriptName};
  command.insert(command.end(), arguments.begin(), arguments.end());
  port_ = StartPortPrinter(std::move(command), pid_);
}

PythonHttpServer::~PythonHttpServer() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

std::string PythonHttpServer::Url(const std::string& path, const char* scheme) const {
  return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_) + path;
}

ScriptedServer::ScriptedServer(std::vector<Reply> replies) : replies_(std::move(replies)) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(listener_, 16) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 || pipe(wake_) != 0) {
    return;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread(&ScriptedServer::Serve, this);
}

ScriptedServer::~ScriptedServer() {
  if (thread_.joinable()) {
    const char stop = 1;
    [[maybe_unused]] const ssize_t ignored = write(wake_[1], &stop, 1);
    thread_.join();
  }
  for (const int connection : held_) close(connection);
  for (const int end : wake_) {
    if (end >= 0) close(end);
  }
  if (listener_ >= 0) close(listener_);
}

std::string ScriptedServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

bool ScriptedServer::WaitForClientCloses(int n) const {
  return WaitUntil([&] { return closedByClient_ >= n; }, 5000);
}

std::vector<std::string> ScriptedServer::Requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

void ScriptedServer::Serve() {
  for (;;) {
    std::vector<pollfd> watched{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
    for (const int connection : held_) watched.push_back({connection, POLLIN, 0});
    if (poll(watched.data(), watched.size(), -1) < 0) continue;
    if (watched[0].revents) return;
    for (size_t i = 2; i < watched.size(); ++i) {
      if (!watched[i].revents) continue;
      char byte;
      if (recv(watched[i].fd, &byte, 1, MSG_DONTWAIT) == 0) {
        ++closedByClient_;
        close(watched[i].fd);
        std::erase(held_, watched[i].fd);
      }
    }
    if (watched[1].revents & POLLIN) {
      const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection >= 0) Answer(connection);
    }
  }
}

void ScriptedServer::Answer(int connection) {
  const Reply& reply = replies_[std::min<size_t>(connections_, replies_.size() - 1)];
  ++connections_;
  std::string request;
  char piece[4096];
  pollfd entry{connection, POLLIN, 0};
  while (request.find("\r\n\r\n") == std::string::npos && poll(&entry, 1, 5000) == 1) {
    const ssize_t received = recv(connection, piece, sizeof(piece), 0);
    if (received <= 0) break;
    request.append(piece, static_cast<size_t>(received));
  }
  // A request with a body: read it too, with the two bytes that follow it.
  if (const size_t length = request.find("Content-Length: "); length != std::string::npos) {
    const size_t wanted = request.find("\r\n\r\n") + 4 + std::stoul(request.substr(length + 16)) + 2;
    while (request.size() < wanted && poll(&entry, 1, 5000) == 1) {
      const ssize_t received = recv(connection, piece, sizeof(piece), 0);
      if (received <= 0) break;
      request.append(piece, static_cast<size_t>(received));
    }
  }
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
  }
  for (const ReplyStep& step : reply.steps) {
    std::string bytes = step.bytes;
    if (const size_t at = bytes.find("{PORT}"); at != std::string::npos) bytes.replace(at, 6, std::to_string(port_));
    if (!bytes.empty()) send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (step.pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(step.pauseMs));
  }
  if (reply.close) {
    close(connection);
  } else {
    held_.push_back(connection);
  }
}

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
  return bytes;
}

HangGuard::HangGuard(int seconds, std::string what)
    : watcher_([this, seconds, what = std::move(what)] {
        std::unique_lock lock(mutex_);
        if (done_.wait_for(lock, std::chrono::seconds(seconds), [this] { return finished_; })) return;
        // Both streams: a test may be capturing either.
        for (std::FILE* stream : {stdout, stderr}) {
          std::fprintf(stream, "HANG: %s did not end within %d s\n", what.c_str(), seconds);
          std::fflush(stream);
        }
        std::_Exit(1);
      }) {}

HangGuard::~HangGuard() {
  {
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
  done_.notify_all();
  watcher_.join();
}

bool WaitUntil(const std::function<bool()>& test, int waitMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (!test()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace nettest
