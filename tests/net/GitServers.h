#pragma once
// Git servers the remote tests talk to, on 127.0.0.1 with ports of their own:
// the git protocol (`git daemon` per connection) and smart HTTP (`git
// http-backend` behind a python server, with Basic authentication and TLS
// when asked), both from tests/net/git_servers.py over the bare repositories
// of one folder. Each server runs in a process group of its own, killed with
// the object.
#include <sys/types.h>

#include <string>
#include <vector>

namespace gittest {

class GitServer {
 public:
  // kind "daemon" or "http"; options as git_servers.py takes them.
  GitServer(const std::string& kind, const std::string& root, const std::vector<std::string>& options = {});
  ~GitServer();
  GitServer(const GitServer&) = delete;
  GitServer& operator=(const GitServer&) = delete;

  // 0 when the server could not be started.
  int Port() const { return port_; }
  // The URL of a repository below the root, e.g. Url("git", "game.git").
  std::string Url(const std::string& scheme, const std::string& repository) const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace gittest
