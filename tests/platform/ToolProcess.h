#pragma once
// Runs a helper program of the tests (xdotool, ffmpeg) as a child process. It runs under a UTF-8 locale whatever the test's own (with
// LANG unset, xdotool refuses to type non-ASCII text), and what it prints is
// kept in a file of its own, so that a failing tool's message can be shown
// with the test's failure instead of vanishing.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

extern char** environ;

class ToolProcess {
 public:
  ToolProcess() = default;
  ToolProcess(const ToolProcess&) = delete;
  ToolProcess& operator=(const ToolProcess&) = delete;
  ~ToolProcess() {
    Wait();
    if (!folder_.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(folder_, ignored);
    }
  }

  // Starts the program (looked up on PATH); false when it could not be.
  bool Start(const std::vector<std::string>& command) {
    Wait();
    status_ = -1;
    timedOut_ = false;
    if (folder_.empty()) {
      char pattern[] = "/tmp/qv-tool-XXXXXX";
      if (!mkdtemp(pattern)) return false;
      folder_ = pattern;
    }
    description_.clear();
    for (const std::string& part : command) description_ += (description_.empty() ? "" : " ") + part;
    const std::string outputPath = folder_ + "/output.txt";

    // Everything the child needs is made before fork: after it, only calls
    // that are safe in a copy of a threaded process.
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
      if (std::strncmp(*e, "LC_ALL=", 7) != 0) environment.emplace_back(*e);
    }
    environment.emplace_back("LC_ALL=C.UTF-8");
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args(command);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_ = fork();
    if (pid_ == 0) {
      const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out >= 0) {
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
      }
      execvpe(argv[0], argv.data(), envp.data());
      const char message[] = "could not be started\n";
      (void)!write(STDERR_FILENO, message, sizeof(message) - 1);
      _exit(127);
    }
    return pid_ > 0;
  }

  // Waits for the program to end; true when it exited with status 0. A tool
  // that is still running after a minute waits for something no test gives
  // (input, a window that has gone): it is killed and counts as failed.
  bool Wait() {
    if (pid_ > 0) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (waitpid(pid_, &status_, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
          kill(pid_, SIGKILL);
          waitpid(pid_, &status_, 0);
          timedOut_ = true;
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      pid_ = -1;
    }
    return Succeeded();
  }

  bool Succeeded() const { return pid_ <= 0 && WIFEXITED(status_) && WEXITSTATUS(status_) == 0; }

  // The command line and everything the program printed, for a failure message.
  std::string Report() const {
    std::stringstream output;
    if (!folder_.empty()) output << std::ifstream(folder_ + "/output.txt").rdbuf();
    return "`" + description_ + (timedOut_ ? "` was killed after a minute; it printed: " : "` printed: ") +
           output.str();
  }

  // Runs the program to its end; true when it exited 0.
  bool Run(const std::vector<std::string>& command) { return Start(command) && Wait(); }

 private:
  std::string folder_;
  std::string description_;
  pid_t pid_ = -1;
  int status_ = -1;
  bool timedOut_ = false;
};
