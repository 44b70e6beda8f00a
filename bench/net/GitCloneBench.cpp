// "clone" of a 2,000-commit repository over file:// by the git console beside
// `git clone --no-checkout` in the same run: both copy the repository through
// a transport (objects and references, no files checked out). Milliseconds,
// the best of three clones each; git's figure is shown raw and less the start
// of a git process through the shell (`git --version`), since the console
// runs in this one.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "GitBenchSupport.h"
#include "PeerFigures.h"
#include "net/GitConsole.h"
#include "net/GitWorker.h"

namespace {

constexpr int kCommits = 2000;
constexpr int kFiles = 200;
constexpr int kClones = 3;

// A fast-import stream: each commit rewrites one of kFiles files, so the
// history has kCommits commits, trees and blobs.
std::string History() {
  std::string stream;
  for (int i = 0; i < kCommits; ++i) {
    const std::string content = "revision " + std::to_string(i) + " of file " + std::to_string(i % kFiles) + "\n";
    const std::string message = "commit " + std::to_string(i) + "\n";
    stream += "commit refs/heads/master\ncommitter Bench <bench@example.org> " + std::to_string(1700000000 + i) +
              " +0000\ndata " + std::to_string(message.size()) + "\n" + message;
    stream += "M 100644 inline files/f" + std::to_string(i % kFiles) + ".txt\ndata " +
              std::to_string(content.size()) + "\n" + content + "\n";
  }
  return stream;
}

double Milliseconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  char pattern[] = "/tmp/quarvelin-clone-bench-XXXXXX";
  const std::filesystem::path folder = mkdtemp(pattern);
  setenv("HOME", folder.c_str(), 1);
  setenv("GIT_CONFIG_NOSYSTEM", "1", 1);
  const std::string source = (folder / "source.git").string();
  FILE* import = popen(("git init -q --bare " + source + " && git -C " + source + " fast-import --quiet").c_str(), "w");
  const std::string history = History();
  const bool written = import && std::fwrite(history.data(), 1, history.size(), import) == history.size();
  if (!import || pclose(import) != 0 || !written) {
    std::printf("making the source repository failed\n");
    return 1;
  }
  const std::string url = "file://" + source;
  double console = 1e30;
  double cli = 1e30;
  for (int run = 0; run < kClones; ++run) {
    const std::string ours = (folder / ("console" + std::to_string(run))).string();
    const char* argv[] = {"clone", url.c_str(), ours.c_str(), nullptr};
    auto start = std::chrono::steady_clock::now();
    GCore::RunGitConsoleCommand("/none", 3, argv);
    console = std::min(console, Milliseconds(start));
    if (const std::string output = GCore::TakeGitOutput(); output.find("libgit error") != std::string::npos) {
      std::printf("console clone failed: %s", output.substr(output.find("libgit error")).c_str());
      return 1;
    }
    const std::string theirs = (folder / ("cli" + std::to_string(run))).string();
    start = std::chrono::steady_clock::now();
    const int status = std::system(("git clone -q --no-checkout " + url + " " + theirs).c_str());
    cli = std::min(cli, Milliseconds(start));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::printf("git clone failed\n");
      return 1;
    }
  }
  const double start = BestMs(kClones, [] {}, [] { return Shell("git --version > /dev/null"); });
  std::printf("clone over file://, %d commits, best of %d (ms)\n", kCommits, kClones);
  std::printf("  git's start alone (shell + git --version): %.2f ms, taken off the git figure\n", start);
  PrintPeerFiguresLessStart("clone (no checkout)", console, "git", cli, start);
  std::filesystem::remove_all(folder);
  return 0;
}
