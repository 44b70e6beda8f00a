#include "GitServers.h"

#include <signal.h>
#include <sys/wait.h>

#include "LoopbackServers.h"

namespace gittest {

GitServer::GitServer(const std::string& kind, const std::string& root, const std::vector<std::string>& options) {
  std::vector<std::string> command = {"python3", std::string(QUARVELIN_TEST_DATA) + "/net/git_servers.py", kind, root};
  command.insert(command.end(), options.begin(), options.end());
  // The per-connection git processes join the server's group.
  port_ = nettest::StartPortPrinter(std::move(command), pid_);
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
