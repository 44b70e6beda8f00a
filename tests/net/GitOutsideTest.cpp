// Every console command that writes the working folder, from scripts, over
// one history with a symbolic link to a folder outside the repository and
// trees that try to reach out of it: nothing may appear outside.
#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include "GitScriptFixture.h"

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GitScriptEnvironment);

using GitOutside = GitScriptTest;

// The names in a folder, sorted, one a line.
std::string Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) text += name + "\n";
  return text;
}

// A repository on main (a.txt). A adds `link` pointing at `outside` and
// `file-link` pointing at a file `evil` there. Children of A: B, which the
// git command line checks out without a trace outside (`link` becomes a
// folder holding `file`, `file-link` a file), and trees it refuses, each
// keeping `link` and adding one hostile entry holding `evil`: a folder `..`,
// a folder `.git`, an absolute name inside `outside`, and a folder also
// named `link`.
void MakeHistory(const GitSandbox& box, const std::string& folder, const std::string& outside) {
  box.Sh("git init -q -b main " + folder + " && cd " + folder +
         " && echo alpha > a.txt && git add a.txt && git commit -q -m first"
         " && git checkout -q -b A && ln -s '" + outside + "' link && ln -s '" + outside + "/evil' file-link"
         " && git add link file-link && git commit -q -m A"
         " && git checkout -q -b B && git rm -q link file-link && mkdir link && echo inside > link/file"
         " && echo inside > file-link && git add link file-link && git commit -q -m B && git checkout -q main"
         " && entry() { printf '%s %s\\0' \"$1\" \"$2\"; printf %s \"$3\" | xxd -r -p; }"
         " && tree() { git hash-object -t tree --literally -w --stdin; }"
         " && evil=$(echo evil | git hash-object -w --stdin)"
         " && folder=$(entry 100644 evil $evil | tree)"
         " && alpha=$(git rev-parse A:a.txt) && link=$(git rev-parse A:link)"
         " && hostile() { git branch $1 $(git commit-tree $(tree) -p A -m $1); }"
         " && { entry 40000 .. $folder; entry 100644 a.txt $alpha; entry 120000 link $link; } | hostile dotdot"
         " && { entry 40000 .git $folder; entry 100644 a.txt $alpha; entry 120000 link $link; } | hostile dotgit"
         " && { entry 100644 '" + outside + "/evil' $evil; entry 100644 a.txt $alpha; entry 120000 link $link; }"
         " | hostile absolute"
         " && { entry 100644 a.txt $alpha; entry 120000 link $link; entry 40000 link $folder; } | hostile twice");
}

// A stash that turns `base` into the branch's tree when it is popped there.
std::string StashOf(const std::string& branch, const std::string& base) {
  const std::string tree = "$(git rev-parse " + branch + "^{tree})";
  return "git stash store -m " + branch + " $(git commit-tree " + tree + " -p " + base + " -p $(git commit-tree " +
         tree + " -p " + base + " -m index) -m " + branch + ")";
}

// Runs the steps of a command, each a console command with its arguments,
// where placeholders stand for their values. A step runs in `repo`, or in
// `clone` when it begins with "clone:". Answers the folder of the last step.
template <typename RunConsole>
std::string RunSteps(const std::vector<std::vector<std::string>>& steps,
                     const std::vector<std::pair<std::string, std::string>>& values, const std::string& repo,
                     const std::string& clone, RunConsole runConsole) {
  std::string at = repo;
  for (const std::vector<std::string>& step : steps) {
    std::vector<std::string> args = {repo};
    for (std::string arg : step) {
      if (arg.rfind("clone:", 0) == 0) {
        args[0] = clone;
        arg.erase(0, 6);
      }
      for (const auto& [name, value] : values) {
        if (arg == name) arg = value;
      }
      args.push_back(arg);
    }
    at = args[0];
    runConsole(args);
  }
  return at;
}

// Each command brings the repository from its start to a branch: B must
// come out as the git command line makes it, the hostile branches may be
// refused, and nothing may be written outside the repository.
TEST_F(GitOutside, NoCommandWritesThroughALinkOrOutOfTheWorkingFolder) {
  struct Command {
    const char* name;
    std::vector<std::vector<std::string>> steps;
    bool forced;  // overwrites whatever stands in its way
  };
  const Command commands[] = {
      {"checkout", {{"checkout", "{branch}"}}, true},
      {"merge", {{"merge", "{branch}"}}, false},
      {"reset --hard", {{"reset", "--hard", "{branch}"}}, true},
      {"cherry-pick", {{"cherry-pick", "{commit}"}}, false},
      {"read-tree and checkout-index", {{"read-tree", "{tree}"}, {"checkout-index", "--all"}}, true},
      {"rebase", {{"rebase", "{branch}"}}, false},
      {"stash pop", {{"stash", "pop"}}, false},
      {"clone", {{"clone", "{repo}", "{clone}"}, {"clone:checkout", "A"}, {"clone:checkout", "{branch}"}}, true},
  };
  // A script has checked out A (the link is tracked), or the link stands
  // untracked on main, where the git command line or another program left it.
  struct Start {
    const char* name;
    const char* head;
    bool untrackedLink;
  };
  const Start starts[] = {{"from A", "A", false}, {"from main with an untracked link", "main", true}};
  const char* const branches[] = {"B", "dotdot", "dotgit", "absolute", "twice"};

  const std::string outside = Box().Path(Named("outside"));
  std::filesystem::create_directories(outside);
  MakeHistory(Box(), Named("history"), outside);
  int rowNumber = 0;
  for (const Start& start : starts) {
    for (const Command& command : commands) {
      if (start.untrackedLink && command.steps.front().front() == "clone") continue;  // a new folder
      for (const char* branch : branches) {
        // The hostile trees meet the same checks from either start.
        if (start.untrackedLink && std::string(branch) != "B") continue;
        SCOPED_TRACE(std::string(command.name) + " " + branch + " " + start.name);
        const std::string row = Named(std::to_string(++rowNumber));
        const std::string repo = Box().Path(row + "/repo");
        const std::string clone = Box().Path(row + "/clone");
        const std::string git = "cd " + repo + " && git ";
        Box().Sh("mkdir " + row + " && cp -a " + Named("history") + " " + repo);
        Box().Sh(git + "checkout -q " + start.head + " && " + StashOf(branch, start.head) + " && git checkout -q main");
        const std::string rev = git + "rev-parse --verify " + branch;
        const std::vector<std::pair<std::string, std::string>> values = {
            {"{branch}", branch},
            {"{commit}", Box().Sh(rev).substr(0, 40)},
            {"{tree}", Box().Sh(rev + "^{tree}").substr(0, 40)},
            {"{repo}", repo},
            {"{clone}", clone},
        };
        if (start.untrackedLink) {
          std::filesystem::create_directory_symlink(outside, repo + "/link");
          std::filesystem::create_symlink(outside + "/evil", repo + "/file-link");
        } else {
          ASSERT_EQ(Git({repo, "checkout", "A"}), "1Checking out refs/heads/A\n");
        }

        const std::string at =
            RunSteps(command.steps, values, repo, clone, [this](const std::vector<std::string>& args) { Git(args); });
        EXPECT_EQ(Listing(outside), "");
        EXPECT_EQ(Listing(Box().Path(row)), std::string(at == clone ? "clone\n" : "") + "repo\n");
        EXPECT_EQ(Box().Sh("find " + row + " -name evil"), "");
        if (std::string(branch) == "B" && (command.forced || !start.untrackedLink)) {
          EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::symlink_status(at + "/link")));
          const std::string folder = row + (at == clone ? "/clone" : "/repo");
          EXPECT_EQ(Box().Read(folder + "/link/file"), "inside\n");
          EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(at + "/file-link")));
          EXPECT_EQ(Box().Read(folder + "/file-link"), "inside\n");
        }
        std::filesystem::remove_all(outside);
        std::filesystem::create_directories(outside);
      }
    }
  }
}

}  // namespace
