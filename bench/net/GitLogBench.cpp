// "log" and "rev-list" of the git console beside the git command line on one
// repository of 2,000 commits (made once with git fast-import). The command
// line prints the console's log form (id, committer date, message) to
// /dev/null; the console's commands run on the git worker and their records
// are gathered as a script would take them.
// Milliseconds, the best of five runs; each git figure is shown raw and less
// the start of a git process through the shell (`git --version`), since the
// console runs in this one.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "GitBenchSupport.h"
#include "PeerFigures.h"

namespace {

constexpr int kCommits = 2000;
constexpr int kRuns = 5;

// A fast-import stream: kCommits commits on master, each changing one file
// and dated a minute after the one before.
void WriteHistory(const std::filesystem::path& file) {
  std::ofstream out(file);
  for (int i = 0; i < kCommits; ++i) {
    const std::string content = "line " + std::to_string(i) + "\n";
    const std::string message = "commit number " + std::to_string(i) + "\n";
    out << "commit refs/heads/master\n"
        << "mark :" << i + 1 << "\n"
        << "committer Bench <bench@example.org> " << 1600000000 + i * 60 << " +0100\n"
        << "data " << message.size() << "\n" << message;
    if (i > 0) out << "from :" << i << "\n";
    out << "M 100644 inline file" << i % 50 << ".txt\n"
        << "data " << content.size() << "\n" << content << "\n";
  }
}

}  // namespace

int main() {
  char pattern[] = "/tmp/quarvelin-git-log-bench-XXXXXX";
  const std::filesystem::path folder = mkdtemp(pattern);
  setenv("HOME", folder.c_str(), 1);
  setenv("GIT_CONFIG_NOSYSTEM", "1", 1);
  const std::string repo = (folder / "repo").string();
  WriteHistory(folder / "history");
  if (!Shell("git init -q " + repo + " && git -C " + repo + " fast-import --quiet < " + (folder / "history").string() +
             " && git -C " + repo + " checkout -q master")) {
    return 1;
  }
  const std::string head = "git -C " + repo + " rev-parse HEAD > " + (folder / "head").string();
  std::string id;
  if (!Shell(head) || !(std::ifstream(folder / "head") >> id)) return 1;

  const double start = BestMs(kRuns, [] {}, [] { return Shell("git --version > /dev/null"); });
  std::printf("git console and git command line, %d commits, best of %d runs (ms)\n", kCommits, kRuns);
  std::printf("  git's start alone (shell + git --version): %.2f ms, taken off each git figure\n", start);
  const struct {
    const char* what;
    std::vector<std::string> console;
    std::string cli;
  } rows[] = {
      {"log", {"log"}, "git -C " + repo + " log --format='commit %H %cd %B' --date=format:%d%b%Y > /dev/null"},
      {"rev-list", {"rev-list", id}, "git -C " + repo + " rev-list " + id + " > /dev/null"},
  };
  for (const auto& row : rows) {
    const double ours = BestMs(kRuns, [] {}, [&] { return Console(repo, row.console); });
    const double theirs = BestMs(kRuns, [] {}, [&] { return Shell(row.cli); });
    PrintPeerFiguresLessStart(row.what, ours, "git", theirs, start);
  }
  GCore::StopGitWorker();
  std::filesystem::remove_all(folder);
  return 0;
}
