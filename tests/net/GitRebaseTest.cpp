// "rebase" from scripts, on repositories the git command line made, checked
// with its history, porcelain status and the files.
#include "GitHistory.h"
#include "GitScriptFixture.h"

namespace {

using GitRebase = GitScriptTest;

constexpr char kConflictStop[] = "0conflict during rebase! Please resolve and run rebase --continue\n";

TEST_F(GitRebase, ReplaysThreeCommitsOnTheUpstream) {
  const GitHistory repo(Box(), Named("repo"));
  repo.Fork("feature", {{"f1.txt", "one\n", "f1"}, {"f2.txt", "two\n", "f2"}, {"a.txt", "alpha\nthree\n", "f3"}},
            {{"m.txt", "main\n", "m1"}});
  repo.Git("checkout -q feature");

  EXPECT_EQ(Git({repo.Path(), "rebase", "main"}), "");
  EXPECT_EQ(repo.HeadBranch(), "refs/heads/feature\n");
  EXPECT_EQ(repo.Subjects("main..feature"), "f3\nf2\nf1\n");
  EXPECT_EQ(repo.Parents("feature~2"), repo.Id("main") + "\n");
  EXPECT_EQ(repo.Git("log -1 --format='%an|%cn' feature"), "Test Author|Test Author\n");
  EXPECT_EQ(repo.Status(), "");
  EXPECT_EQ(repo.Read("m.txt"), "main\n");
  EXPECT_EQ(repo.Read("a.txt"), "alpha\nthree\n");
  EXPECT_FALSE(repo.Exists(".git/rebase-merge"));
}

// Without a branch, HEAD itself moves to the replayed commits and stays
// detached.
TEST_F(GitRebase, ADetachedHeadIsReplayedAndStaysDetached) {
  const GitHistory repo(Box(), Named("repo"));
  repo.Fork("feature", {{"f.txt", "feature\n", "f"}}, {{"m.txt", "main\n", "m1"}});
  repo.Git("checkout -q --detach feature");

  EXPECT_EQ(Git({repo.Path(), "rebase", "main"}), "");
  EXPECT_EQ(repo.HeadBranch(), "detached\n");
  EXPECT_EQ(repo.Subjects("main..HEAD"), "f\n");
  EXPECT_EQ(repo.Parents("HEAD"), repo.Id("main") + "\n");
  EXPECT_EQ(repo.Status(), "");
}

// A commit whose change the upstream already has is dropped, as git does.
TEST_F(GitRebase, PassesOverACommitTheUpstreamAlreadyHas) {
  const GitHistory repo(Box(), Named("repo"));
  repo.Fork("feature", {{"shared.txt", "shared\n", "shared"}, {"f.txt", "feature\n", "f"}},
            {{"shared.txt", "shared\n", "shared on main"}});
  repo.Git("checkout -q feature");

  EXPECT_EQ(Git({repo.Path(), "rebase", "main"}), "");
  EXPECT_EQ(repo.Subjects("main..feature"), "f\n");
  EXPECT_EQ(repo.Status(), "");
  EXPECT_FALSE(repo.Exists(".git/rebase-merge"));
}

// main changes a.txt one way, feature another: the rebase stops at feature's
// step with the conflict in the files.
void ConflictingRebase(const GitHistory& repo) {
  repo.Fork("feature", {{"a.txt", "feature\n", "f1"}, {"f2.txt", "two\n", "f2"}},
            {{"a.txt", "main\n", "m1"}});
  repo.Git("checkout -q feature");
}

TEST_F(GitRebase, AConflictStopsItAndContinueCommitsTheResolution) {
  const GitHistory repo(Box(), Named("repo"));
  ConflictingRebase(repo);
  EXPECT_EQ(Git({repo.Path(), "rebase", "main"}), kConflictStop);
  EXPECT_EQ(repo.Status(), "UU a.txt\n");
  EXPECT_TRUE(repo.Exists(".git/rebase-merge"));

  EXPECT_EQ(Git({repo.Path(), "rebase", "--continue"}), kConflictStop);
  repo.Write("a.txt", "resolved\n");
  EXPECT_EQ(Git({repo.Path(), "add", repo.Path() + "/a.txt"}), "");
  EXPECT_EQ(Git({repo.Path(), "rebase", "--continue"}), "");
  EXPECT_EQ(repo.HeadBranch(), "refs/heads/feature\n");
  EXPECT_EQ(repo.Subjects("main..feature"), "f2\nf1\n");
  EXPECT_EQ(repo.Git("show feature~1:a.txt"), "resolved\n");
  EXPECT_EQ(repo.Status(), "");
  EXPECT_FALSE(repo.Exists(".git/rebase-merge"));
}

TEST_F(GitRebase, AbortReturnsToTheBranchAsItWas) {
  const GitHistory repo(Box(), Named("repo"));
  ConflictingRebase(repo);
  const std::string feature = repo.Id("feature");
  EXPECT_EQ(Git({repo.Path(), "rebase", "main"}), kConflictStop);
  EXPECT_EQ(Git({repo.Path(), "rebase", "--abort"}), "");
  EXPECT_EQ(repo.HeadBranch(), "refs/heads/feature\n");
  EXPECT_EQ(repo.Id("HEAD"), feature);
  EXPECT_EQ(repo.Status(), "");
  EXPECT_EQ(repo.Read("a.txt"), "feature\n");
  EXPECT_FALSE(repo.Exists(".git/rebase-merge"));
}

TEST_F(GitRebase, RefusesBadArgumentsAndLocalChanges) {
  const GitHistory repo(Box(), Named("repo"));
  ConflictingRebase(repo);
  const std::string feature = repo.Id("feature");
  EXPECT_EQ(Git({repo.Path(), "rebase"}), "0USAGE: rebase <upstream>\n0USAGE: rebase --abort|--continue\n");
  EXPECT_EQ(Git({repo.Path(), "rebase", "nope"}), "0libgit error (4): no reference found for shorthand 'nope'\n");
  EXPECT_EQ(Git({repo.Path(), "rebase", "--abort"}), "0libgit error (29): there is no rebase in progress\n");
  EXPECT_EQ(Git({repo.Path(), "rebase", "--continue"}), "0libgit error (29): there is no rebase in progress\n");

  repo.Write("a.txt", "local change\n");
  EXPECT_EQ(Git({repo.Path(), "rebase", "main"}), "0libgit error (29): unstaged changes exist in workdir\n");
  EXPECT_EQ(repo.Id("HEAD"), feature);
  EXPECT_EQ(repo.Status(), " M a.txt\n");
  EXPECT_FALSE(repo.Exists(".git/rebase-merge"));
}

}  // namespace
