#include "GitServers.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace gittest {

GitServer::GitServer(const std::string& kind, const std::string& root, const std::vector<std::string>& options) {
  int output[2];
  if (pipe(output) != 0) return;
  const std::string script = std::string(QUARVELIN_TEST_DATA) + "/net/git_servers.py";
  std::vector<std::string> arguments = {"python3", script, kind, root};
  arguments.insert(arguments.end(), options.begin(), options.end());
  pid_ = fork();
  if (pid_ == 0) {
    // The per-connection git processes join the group and end with it; the
    // server ends with the test program, also when that crashes.
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    close(output[0]);
    dup2(output[1], 1);
    const int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 2);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    execvp("python3", argv.data());
    _exit(127);
  }
  close(output[1]);
  std::string line;
  char c = 0;
  while (read(output[0], &c, 1) == 1 && c != '\n') line.push_back(c);
  close(output[0]);
  port_ = line.empty() ? 0 : std::stoi(line);
}

GitServer::~GitServer() {
  if (pid_ <= 0) return;
  kill(-pid_, SIGKILL);
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

std::string GitServer::Url(const std::string& scheme, const std::string& repository) const {
  return scheme + "://127.0.0.1:" + std::to_string(port_) + "/" + repository;
}

}  // namespace gittest
