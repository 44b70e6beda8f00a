// "merge" and "cherry-pick" from scripts, on repositories the git command
// line made, checked with its porcelain status and the files.
#include "GitHistory.h"
#include "GitScriptFixture.h"

namespace {

using GitMerge = GitScriptTest;

// main: first, main. side (from first): side.
void Diverge(const GitHistory& repo) {
  repo.Fork("side", {{"side.txt", "side\n", "side"}}, {{"main.txt", "main\n", "main"}});
}

// main: first, main changes a.txt. side (from first): side changes a.txt.
void Conflict(const GitHistory& repo) {
  repo.Fork("side", {{"a.txt", "side\n", "side"}}, {{"a.txt", "main\n", "main"}});
}

TEST_F(GitMerge, ABranchAheadOfHeadIsFastForwardedWithoutAMergeCommit) {
  const GitHistory repo(Box(), Named("repo"));
  repo.Fork("side", {{"b.txt", "bravo\n", "side"}}, {});
  repo.Write("unrelated.txt", "mine\n");

  EXPECT_EQ(Git({repo.Path(), "merge", "side"}), "0Fast forward merge\n");
  EXPECT_EQ(repo.Id("main"), repo.Id("side"));
  EXPECT_EQ(repo.HeadBranch(), "refs/heads/main\n");
  EXPECT_EQ(repo.Status(), "?? unrelated.txt\n");
  EXPECT_EQ(repo.Read("b.txt"), "bravo\n");
}

TEST_F(GitMerge, ARemoteTrackingBranchIsMergedWhenNoLocalBranchHasTheName) {
  const GitHistory origin(Box(), Named("origin"));
  const std::string clone = Box().Path(Named("clone"));
  Box().Sh("git clone -q " + origin.Path() + " " + clone);
  origin.Commit("b.txt", "bravo\n", "second");
  const std::string git = "git -C " + clone + " ";
  Box().Sh(git + "fetch -q");
  EXPECT_EQ(Git({clone, "merge", "origin/main"}), "0Fast forward merge\n");
  EXPECT_EQ(Box().Sh(git + "rev-parse main"), Box().Sh(git + "rev-parse origin/main"));
  EXPECT_EQ(Box().Sh(git + "status --porcelain"), "");
}

// Local changes in the files a fast-forward writes stop it before HEAD moves.
TEST_F(GitMerge, AFastForwardOverLocalChangesIsRefused) {
  const GitHistory repo(Box(), Named("repo"));
  const std::string first = repo.Id("HEAD");
  repo.Fork("side", {{"a.txt", "side\n", "side"}}, {});
  repo.Write("a.txt", "local change\n");
  EXPECT_EQ(Git({repo.Path(), "merge", "side"}),
            "0Fast forward merge\n0libgit error (20): 1 conflict prevents checkout\n");
  EXPECT_EQ(repo.Id("HEAD"), first);
  EXPECT_EQ(repo.Read("a.txt"), "local change\n");
}

TEST_F(GitMerge, DivergedBranchesAreMergedAndCommitted) {
  const GitHistory repo(Box(), Named("repo"));
  Diverge(repo);
  const std::string main = repo.Id("main");
  EXPECT_EQ(Git({repo.Path(), "merge", "side"}), "");
  EXPECT_EQ(repo.Parents("HEAD"), main + " " + repo.Id("side") + "\n");
  EXPECT_EQ(repo.Subjects("-1"), "Merged branch 'side'\n");
  EXPECT_EQ(repo.Status(), "");
  EXPECT_EQ(repo.Read("side.txt"), "side\n");
  EXPECT_FALSE(repo.Exists(".git/MERGE_HEAD"));
}

TEST_F(GitMerge, NoCommitLeavesTheMergedIndexForTheCommitCommand) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"side", "--no-commit"}, {"--no-commit", "side"}}) {
    SCOPED_TRACE(arguments[0]);
    const GitHistory repo(Box(), Named(arguments[0]));
    Diverge(repo);
    const std::string main = repo.Id("main");
    std::vector<std::string> command = {repo.Path(), "merge"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(Git(command), "");
    EXPECT_EQ(repo.Id("HEAD"), main);
    EXPECT_EQ(repo.Status(), "A  side.txt\n");
    EXPECT_EQ(Git({repo.Path(), "commit", "-m", "merged by hand"}), "");
    EXPECT_EQ(repo.Parents("HEAD"), main + " " + repo.Id("side") + "\n");
    EXPECT_EQ(repo.Status(), "");
  }
}

TEST_F(GitMerge, AConflictIsLeftToResolveAndCommit) {
  const GitHistory repo(Box(), Named("repo"));
  Conflict(repo);
  const std::string main = repo.Id("main");
  EXPECT_EQ(Git({repo.Path(), "merge", "side"}), "0conflict during merge! Please resolve and commit\n");
  EXPECT_EQ(repo.Id("HEAD"), main);
  EXPECT_EQ(repo.Status(), "UU a.txt\n");
  EXPECT_NE(repo.Read("a.txt").find("<<<<<<<"), std::string::npos) << repo.Read("a.txt");

  repo.Write("a.txt", "both\n");
  EXPECT_EQ(Git({repo.Path(), "add", repo.Path() + "/a.txt"}), "");
  EXPECT_EQ(Git({repo.Path(), "commit", "-m", "resolved"}), "");
  EXPECT_EQ(repo.Parents("HEAD"), main + " " + repo.Id("side") + "\n");
  EXPECT_EQ(repo.Git("show HEAD:a.txt"), "both\n");
  EXPECT_EQ(repo.Status(), "");
}

TEST_F(GitMerge, AHardResetGivesUpAConflictedMerge) {
  const GitHistory repo(Box(), Named("repo"));
  Conflict(repo);
  const std::string main = repo.Id("main");
  EXPECT_NE(Git({repo.Path(), "merge", "side"}), "");
  EXPECT_EQ(Git({repo.Path(), "reset", "--hard", "HEAD"}), "");
  EXPECT_EQ(repo.Status(), "");
  EXPECT_EQ(repo.Read("a.txt"), "main\n");
  EXPECT_FALSE(repo.Exists(".git/MERGE_HEAD"));
  repo.Write("b.txt", "bravo\n");
  EXPECT_EQ(Git({repo.Path(), "add", repo.Path() + "/b.txt"}), "");
  EXPECT_EQ(Git({repo.Path(), "commit", "-m", "after"}), "");
  EXPECT_EQ(repo.Parents("HEAD"), main + "\n");
}

// A branch HEAD already contains would only add a merge commit that changes
// nothing.
TEST_F(GitMerge, ABranchHeadAlreadyContainsChangesNothing) {
  const GitHistory repo(Box(), Named("repo"));
  repo.Git("branch old");
  repo.Commit("b.txt", "bravo\n", "second");
  const std::string head = repo.Id("HEAD");
  EXPECT_EQ(Git({repo.Path(), "merge", "old"}), "1Already up to date.\n");
  EXPECT_EQ(repo.Id("HEAD"), head);
  EXPECT_FALSE(repo.Exists(".git/MERGE_HEAD"));
  EXPECT_EQ(repo.Status(), "");
}

TEST_F(GitMerge, RefusesBadArgumentsAnUnknownBranchAndLocalChangesInTheWay) {
  const GitHistory repo(Box(), Named("repo"));
  Conflict(repo);
  const std::string main = repo.Id("main");
  const std::string usage = "0USAGE: merge <commit> [--no-commit]\n";
  EXPECT_EQ(Git({repo.Path(), "merge"}), usage);
  EXPECT_EQ(Git({repo.Path(), "merge", "--no-commit"}), usage);
  EXPECT_EQ(Git({repo.Path(), "merge", "side", "main"}), usage);
  EXPECT_EQ(Git({repo.Path(), "merge", "nope"}),
            "0libgit error (4): cannot locate remote-tracking branch 'nope'\n");

  repo.Write("a.txt", "local change\n");
  const std::string out = Git({repo.Path(), "merge", "side"});
  EXPECT_EQ(out.substr(0, 14), "0libgit error ") << out;
  EXPECT_NE(out.find("would be overwritten by merge"), std::string::npos) << out;
  EXPECT_EQ(repo.Id("HEAD"), main);
  EXPECT_EQ(repo.Read("a.txt"), "local change\n");
  EXPECT_EQ(repo.Status(), " M a.txt\n");
}

using GitCherryPick = GitScriptTest;

TEST_F(GitCherryPick, AppliesACommitByAFullOrAbbreviatedIdWithoutCommitting) {
  for (const size_t length : {size_t{40}, size_t{7}}) {
    SCOPED_TRACE(length);
    const GitHistory repo(Box(), Named(std::to_string(length)));
    Diverge(repo);
    const std::string main = repo.Id("main");
    EXPECT_EQ(Git({repo.Path(), "cherry-pick", repo.Id("side").substr(0, length)}), "");
    EXPECT_EQ(repo.Id("HEAD"), main);
    EXPECT_EQ(repo.Status(), "A  side.txt\n");
    EXPECT_EQ(repo.Read("side.txt"), "side\n");
  }
}

TEST_F(GitCherryPick, ReportsConflictsAndBadIds) {
  const GitHistory repo(Box(), Named("repo"));
  Conflict(repo);
  EXPECT_EQ(Git({repo.Path(), "cherry-pick"}), "0USAGE: cherry-pick <commit>\n");
  EXPECT_EQ(Git({repo.Path(), "cherry-pick", "side"}),
            "0libgit error (3): unable to parse OID - contains invalid characters\n");
  EXPECT_EQ(Git({repo.Path(), "cherry-pick", "0000000"}).substr(0, 14), "0libgit error ");
  EXPECT_EQ(repo.Status(), "");

  EXPECT_EQ(Git({repo.Path(), "cherry-pick", repo.Id("side")}),
            "0conflict during cherry-pick! Please resolve and commit\n");
  EXPECT_EQ(repo.Status(), "UU a.txt\n");
}

}  // namespace
