// "checkout" and "reset" from scripts, on repositories the git command line
// made, checked with its porcelain status and the files.
#include "GitHistory.h"
#include "GitScriptFixture.h"

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GitScriptEnvironment);

using GitCheckout = GitScriptTest;

// Forced on purpose: local changes are overwritten and untracked files go.
TEST_F(GitCheckout, SwitchesToALocalBranchAndForcesTheWorkingFolderToIt) {
  const GitHistory repo(Box(), Named("repo"));
  repo.Fork("side", {{"a.txt", "side\n", "side a"}, {"b.txt", "bravo\n", "side b"}}, {});
  repo.Write("a.txt", "local change\n");
  repo.Write("untracked.txt", "mine\n");

  EXPECT_EQ(Git({repo.Path(), "checkout", "side"}), "1Checking out refs/heads/side\n");
  EXPECT_EQ(repo.HeadBranch(), "refs/heads/side\n");
  EXPECT_EQ(repo.Status(), "");
  EXPECT_EQ(repo.Read("a.txt"), "side\n");
  EXPECT_EQ(repo.Read("b.txt"), "bravo\n");
  EXPECT_FALSE(repo.Exists("untracked.txt"));

  // Options are passed over; the branch is the last other argument.
  EXPECT_EQ(Git({repo.Path(), "checkout", "-f", "side", "main", "-q"}), "1Checking out refs/heads/main\n");
  EXPECT_EQ(repo.HeadBranch(), "refs/heads/main\n");
  EXPECT_EQ(repo.Read("a.txt"), "alpha\n");
  EXPECT_FALSE(repo.Exists("b.txt"));
  EXPECT_EQ(repo.Status(), "");
}

TEST_F(GitCheckout, ABranchOnlyOriginHasBecomesALocalBranch) {
  const GitHistory origin(Box(), Named("origin"));
  origin.Fork("feature", {{"f.txt", "feature\n", "feature"}}, {});
  const std::string clone = Box().Path(Named("clone"));
  Box().Sh("git clone -q " + origin.Path() + " " + clone);

  EXPECT_EQ(Git({clone, "checkout", "feature"}), "1Checking out refs/heads/feature\n");
  const std::string git = "git -C " + clone + " ";
  EXPECT_EQ(Box().Sh(git + "symbolic-ref HEAD"), "refs/heads/feature\n");
  EXPECT_EQ(Box().Sh(git + "rev-parse feature"), Box().Sh(git + "rev-parse origin/feature"));
  EXPECT_EQ(Box().Sh(git + "status --porcelain"), "");
  EXPECT_EQ(Box().Read(Named("clone") + "/f.txt"), "feature\n");
}

TEST_F(GitCheckout, RefusesAMissingBranchAndLeavesEverythingAsItWas) {
  const GitHistory repo(Box(), Named("repo"));
  repo.Write("a.txt", "local change\n");
  repo.Write("untracked.txt", "mine\n");
  EXPECT_EQ(Git({repo.Path(), "checkout"}), "0USAGE: checkout <branch>\n");
  EXPECT_EQ(Git({repo.Path(), "checkout", "-b"}), "0USAGE: checkout <branch>\n");
  EXPECT_EQ(Git({repo.Path(), "checkout", "nope"}),
            "1Checking out nope\n0Error code -3\n0libgit error (4): cannot locate branch or reference 'nope'\n");
  // A full name of a branch that does not exist leaves HEAD where it was, not
  // on a branch without commits.
  EXPECT_EQ(Git({repo.Path(), "checkout", "refs/heads/nope"}),
            "1Checking out refs/heads/nope\n0Error code -3\n"
            "0libgit error (4): cannot locate branch or reference 'refs/heads/nope'\n");
  EXPECT_EQ(repo.HeadBranch(), "refs/heads/main\n");
  EXPECT_EQ(repo.Status(), " M a.txt\n?? untracked.txt\n");
}

// The files go first: when the library refuses the branch's tree (here for
// an entry named ".git"), HEAD stays on the branch the files are from.
TEST_F(GitCheckout, ABranchTheLibraryRefusesLeavesHeadWhereItWas) {
  const GitHistory repo(Box(), Named("repo"));
  Box().Sh("cd " + repo.Path() + " && blob=$(echo evil | git hash-object -w --stdin)" +
           " && folder=$(printf '100644 blob %s\tevil\n' $blob | git mktree)" +
           " && tree=$(printf '040000 tree %s\t.git\n' $folder | git mktree)" +
           " && git branch hostile $(git commit-tree $tree -p main -m hostile)");
  repo.Write("untracked.txt", "mine\n");
  EXPECT_EQ(Git({repo.Path(), "checkout", "hostile"}),
            "1Checking out refs/heads/hostile\n0libgit error (20): cannot checkout to invalid path '.git/evil'\n");
  EXPECT_EQ(repo.HeadBranch(), "refs/heads/main\n");
  EXPECT_EQ(repo.Status(), "?? untracked.txt\n");
  EXPECT_FALSE(repo.Exists(".git/evil"));
}

using GitReset = GitScriptTest;

TEST_F(GitReset, MovesHeadAndTheIndexAndFilesAsItsKindSays) {
  struct Case {
    const char* kind;
    const char* status;
    const char* content;
  };
  const Case cases[] = {
      {"--soft", "M  a.txt\n", "beta\n"},
      {"--mixed", " M a.txt\n", "beta\n"},
      {"--hard", "", "alpha\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    const GitHistory repo(Box(), Named(c.kind + 2));
    const std::string first = repo.Id("HEAD");
    repo.Commit("a.txt", "beta\n", "second");
    EXPECT_EQ(Git({repo.Path(), "reset", c.kind, "HEAD~1"}), "");
    EXPECT_EQ(repo.Id("HEAD"), first);
    EXPECT_EQ(repo.HeadBranch(), "refs/heads/main\n");
    EXPECT_EQ(repo.Status(), c.status);
    EXPECT_EQ(repo.Read("a.txt"), c.content);
  }
}

TEST_F(GitReset, WithoutAKindResetsTheIndexEntriesOfThePathsOnly) {
  const GitHistory repo(Box(), Named("repo"));
  repo.Commit("b.txt", "bravo\n", "second");
  const std::string head = repo.Id("HEAD");
  repo.Write("a.txt", "a2\n");
  repo.Write("b.txt", "b2\n");
  repo.Write("c.txt", "c\n");
  repo.Git("add a.txt b.txt c.txt");
  EXPECT_EQ(Git({repo.Path(), "reset", "HEAD", "a.txt", "c.txt"}), "");
  EXPECT_EQ(repo.Id("HEAD"), head);
  EXPECT_EQ(repo.Status(), " M a.txt\nM  b.txt\n?? c.txt\n");
  EXPECT_EQ(repo.Read("a.txt"), "a2\n");
}

TEST_F(GitReset, RefusesTooFewArgumentsAndAnUnknownRevision) {
  const GitHistory repo(Box(), Named("repo"));
  repo.Write("a.txt", "local change\n");
  const std::string usage = "0USAGE: reset <treeish> <paths>\n0USAGE: reset [--soft|--mixed|--hard] <commit>\n";
  EXPECT_EQ(Git({repo.Path(), "reset"}), usage);
  EXPECT_EQ(Git({repo.Path(), "reset", "--hard"}), usage);
  EXPECT_EQ(Git({repo.Path(), "reset", "--hard", "nope"}), "0libgit error (4): revspec 'nope' not found\n");
  EXPECT_EQ(repo.Status(), " M a.txt\n");
}

}  // namespace
