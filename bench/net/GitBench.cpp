// The git console beside the git command line on the same repositories:
// staging 10,000 files, committing them, listing and refreshing the index,
// writing its tree, the status, and reading one configuration value (work
// small beside the library's set-up, which the worker makes once). The
// console's commands run on the git worker, as scripts' do. Each side works
// on its own copy of one repository, so both start from the same files and
// the same index; a copy is prepared only before its own side's runs, so that
// each side's later rows see the state its own earlier rows left (a shared
// preparation once left the console's branch unborn for the status, 10,000
// staged files to list where git had none). The refresh and write-tree rows
// put back an index of a given kind before each run, so neither side's figure
// rests on what its previous run wrote. Milliseconds, the best of three runs.
// Each git figure holds the start of a git process (and of a shell) where the
// console runs in this one: it is shown raw and less that start (`git
// --version` through the shell).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "GitBenchSupport.h"
#include "PeerFigures.h"

namespace {

constexpr int kFiles = 10000;
constexpr int kRuns = 3;

struct Row {
  const char* what;
  // Prepares a side's copy (given) before each of that side's timed runs;
  // the other side's copy is left as its own runs left it.
  std::function<std::string(const std::string&)> prepare;
  std::vector<std::string> console;
  std::string cli;
};

}  // namespace

int main() {
  char pattern[] = "/tmp/quarvelin-git-bench-XXXXXX";
  const std::filesystem::path folder = mkdtemp(pattern);
  setenv("HOME", folder.c_str(), 1);
  setenv("GIT_CONFIG_NOSYSTEM", "1", 1);
  setenv("GIT_AUTHOR_NAME", "Bench", 1);
  setenv("GIT_AUTHOR_EMAIL", "bench@example.org", 1);
  setenv("GIT_COMMITTER_NAME", "Bench", 1);
  setenv("GIT_COMMITTER_EMAIL", "bench@example.org", 1);
  // The global configuration both sides read for "config user.name".
  std::ofstream(folder / ".gitconfig") << "[user]\n\tname = Bench\n\temail = bench@example.org\n";

  const std::filesystem::path source = folder / "source";
  std::filesystem::create_directories(source);
  for (int i = 0; i < kFiles; ++i) {
    const std::filesystem::path file = source / ("dir" + std::to_string(i / 100)) / ("file" + std::to_string(i) + ".txt");
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << "content of file " << i << "\n";
  }
  if (!Shell("git init -q " + source.string())) return 1;
  const std::string console = (folder / "console").string();
  const std::string cli = (folder / "cli").string();
  // A copy starts from the source repository as it stands then.
  const auto copy = [&source](const std::string& side) {
    return "rm -rf " + side + " && cp -a " + source.string() + " " + side;
  };
  const auto staged = [&](const std::string& side) { return "git -C " + source.string() + " add -A && " + copy(side); };
  const auto unborn = [](const std::string& side) { return "git -C " + side + " update-ref -d HEAD"; };
  const auto nothing = [](const std::string&) { return std::string(); };
  // An index made once per copy (its entries hold that copy's inode numbers)
  // by `make`, kept beside the copy and put back, with its time, before each
  // run: every run of either side starts from the same kind of index rather
  // than from what the side's last run left.
  const auto kept = [](const std::string& make, const std::string& name) {
    return [make, name](const std::string& side) {
      const std::string index = side + "/.git/index";
      const std::string saved = side + "." + name + ".index";
      return "{ test -f " + saved + " || { " + make + " && cp -p " + index + " " + saved + "; }; } && cp -p " + saved +
             " " + index;
    };
  };
  // As git leaves it after a commit: each entry's status up to date, every
  // tree cached. And as a first "add" leaves it: the same entries, no trees.
  const auto clean = [&](const std::string& side) {
    return kept("git -C " + side + " reset -q && git -C " + side + " write-tree > /dev/null", "clean")(side);
  };
  const auto treeless = [&](const std::string& side) {
    return kept("rm " + side + "/.git/index && git -C " + side + " add -A", "treeless")(side);
  };

  const double start = BestMs(kRuns, [] {}, [] { return Shell("git --version > /dev/null"); });
  std::printf("git console and git command line, %d files, best of %d runs (ms)\n", kFiles, kRuns);
  std::printf("  git's start alone (shell + git --version): %.2f ms, taken off each git figure\n", start);
  const Row rows[] = {
      {"add (10,000 new files)", copy, {"add", console + "/"}, "git -C " + cli + " add -A"},
      {"commit (10,000 files)", staged, {"commit", "-m", "all"}, "git -C " + cli + " commit -q -m all"},
      {"commit (again, objects known)", unborn, {"commit", "-m", "again"}, "git -C " + cli + " commit -q -m again"},
      {"ls-files", nothing, {"ls-files"}, "git -C " + cli + " ls-files > /dev/null"},
      {"update-index --refresh", clean, {"update-index", "--refresh"}, "git -C " + cli + " update-index -q --refresh"},
      {"write-tree (no trees cached)", treeless, {"write-tree"}, "git -C " + cli + " write-tree > /dev/null"},
      {"write-tree (trees cached)", clean, {"write-tree"}, "git -C " + cli + " write-tree > /dev/null"},
      {"status", nothing, {"status"}, "git -C " + cli + " status > /dev/null"},
      // git without its threads (the untracked cache and fsmonitor are off by default).
      {"status (git on one thread)", nothing, {"status"},
       "git -C " + cli + " -c core.preloadIndex=false -c index.threads=1 status > /dev/null"},
      {"config user.name", nothing, {"config", "user.name"}, "git -C " + cli + " config user.name > /dev/null"},
  };
  for (const Row& row : rows) {
    bool prepared = true;
    auto prepare = [&](const std::string& side) {
      const std::string command = row.prepare(side);
      prepared = prepared && (command.empty() || Shell(command));
    };
    const double ours = BestMs(kRuns, [&] { prepare(console); }, [&] { return Console(console, row.console); });
    const double theirs = BestMs(kRuns, [&] { prepare(cli); }, [&] { return Shell(row.cli); });
    if (!prepared) std::printf("  preparing %s failed\n", row.what);
    PrintPeerFiguresLessStart(row.what, ours, "git", theirs, start);
  }
  GCore::StopGitWorker();
  std::filesystem::remove_all(folder);
  return 0;
}
