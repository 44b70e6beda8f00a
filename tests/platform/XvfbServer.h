#pragma once
// A private Xvfb for tests that need a real X display: started on a free
// display number (Xvfb picks it and reports it through -displayfd), DISPLAY
// set to it, stopped with SIGTERM and, failing that, SIGKILL.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

class XvfbServer {
 public:
  static constexpr const char* kBinary = "/usr/bin/Xvfb";

  // False when Xvfb is missing or did not come up.
  bool Start() {
    if (access(kBinary, X_OK) != 0) return false;
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const int null = open("/dev/null", O_WRONLY);
      if (null >= 0) {
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
      }
      const std::string fd = std::to_string(fds[1]);
      execl(kBinary, kBinary, "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
            "-nolisten", "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
      close(fds[0]);
      return false;
    }
    std::string number;
    pollfd wait{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&wait, 1, 30000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {
      Stop();
      return false;
    }
    display_ = ":" + number;
    setenv("DISPLAY", display_.c_str(), 1);
    return true;
  }

  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      usleep(50 * 1000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  ~XvfbServer() { Stop(); }

  const std::string& DisplayName() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};
