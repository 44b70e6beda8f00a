#pragma once
// A private Xvfb for tests that need a real X display. Each server picks its
// own free display (Xvfb reports it through -displayfd), writes its messages
// into a folder of its own, and runs with -noreset: without it the server
// resets whenever its last client leaves, and a connection made during the
// reset is refused ("x11 not available"). Start() returns once a client has
// connected, sets DISPLAY, and on failure leaves Xvfb's own words in Error().
// Stopped with SIGTERM and, failing that, SIGKILL.
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

class XvfbServer {
 public:
  static constexpr const char* kBinary = "/usr/bin/Xvfb";

  explicit XvfbServer(std::string screen = "1280x1024x24") : screen_(std::move(screen)) {}
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;
  ~XvfbServer() { Stop(); }

  static bool Installed() { return access(kBinary, X_OK) == 0; }

  bool Start() {
    if (!Installed()) return Fail(std::string(kBinary) + " is not installed");
    char pattern[] = "/tmp/qv-xvfb-XXXXXX";
    if (!mkdtemp(pattern)) return Fail("no temporary folder for Xvfb");
    folder_ = pattern;
    const std::string logPath = folder_ + "/xvfb.log";
    int fds[2];
    if (pipe(fds) != 0) return Fail("pipe failed");
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (log >= 0) {
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
      }
      const std::string fd = std::to_string(fds[1]);
      execl(kBinary, kBinary, "-displayfd", fd.c_str(), "-noreset", "-screen", "0", screen_.c_str(),
            "-nolisten", "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
      close(fds[0]);
      return Fail("fork failed");
    }
    // Xvfb writes the number and its line end apart, and dies when the second
    // write finds the pipe closed: read through the line end.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    pollfd wait{fds[0], POLLIN, 0};
    char c = 0;
    while (std::chrono::steady_clock::now() < deadline && poll(&wait, 1, 1000) >= 0) {
      if (!(wait.revents & (POLLIN | POLLHUP))) continue;
      if (read(fds[0], &c, 1) != 1 || c == '\n') break;
      number += c;
    }
    close(fds[0]);
    if (number.empty()) return Fail("Xvfb reported no display");
    display_ = ":" + number;
    Display* client = XOpenDisplay(display_.c_str());
    if (!client) return Fail("cannot connect to Xvfb on " + display_);
    XCloseDisplay(client);
    setenv("DISPLAY", display_.c_str(), 1);
    return true;
  }

  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      bool ended = false;
      for (int i = 0; i < 100 && !ended; ++i) {
        ended = waitpid(pid_, nullptr, WNOHANG) == pid_;
        if (!ended) usleep(50 * 1000);
      }
      if (!ended) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
      }
      pid_ = -1;
    }
    if (!folder_.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(folder_, ignored);
      folder_.clear();
    }
  }

  const std::string& DisplayName() const { return display_; }
  // Why Start() failed, with what Xvfb printed.
  const std::string& Error() const { return error_; }

 private:
  bool Fail(const std::string& what) {
    error_ = what;
    if (!folder_.empty()) {
      std::stringstream log;
      log << std::ifstream(folder_ + "/xvfb.log").rdbuf();
      if (!log.str().empty()) error_ += "; Xvfb said:\n" + log.str();
    }
    Stop();
    return false;
  }

  std::string screen_;
  std::string folder_;
  pid_t pid_ = -1;
  std::string display_;
  std::string error_;
};
