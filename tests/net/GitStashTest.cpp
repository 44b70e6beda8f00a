// "stash" from scripts, on repositories the git command line made, checked
// with its stash list, porcelain status and the files.
#include "GitHistory.h"
#include "GitScriptFixture.h"

namespace {

using GitStash = GitScriptTest;

// "apply" saves, as no argument does: scripts call it that way.
TEST_F(GitStash, NoArgumentAndApplyBothSaveTheLocalChanges) {
  const GitHistory repo(Box(), Named("repo"));
  const std::string head = repo.Id("HEAD");
  const std::string subject = "WIP on main: " + head.substr(0, 7) + " first";
  repo.Write("a.txt", "first change\n");
  EXPECT_EQ(Git({repo.Path(), "stash"}), "");
  EXPECT_EQ(repo.Status(), "");
  EXPECT_EQ(repo.Read("a.txt"), "alpha\n");

  repo.Write("a.txt", "second change\n");
  repo.Write("new.txt", "new\n");
  repo.Git("add new.txt");
  EXPECT_EQ(Git({repo.Path(), "stash", "apply"}), "");
  EXPECT_EQ(repo.Status(), "");
  EXPECT_FALSE(repo.Exists("new.txt"));
  EXPECT_EQ(repo.Id("HEAD"), head);

  EXPECT_EQ(Git({repo.Path(), "stash", "list"}), "1stash@{0}: " + subject + "\n1stash@{1}: " + subject + "\n");
  EXPECT_EQ(repo.Git("stash list --format=%s"), subject + "\n" + subject + "\n");
  EXPECT_EQ(repo.Git("show stash@{1}:a.txt"), "first change\n");
  EXPECT_EQ(repo.Git("show stash@{0}:new.txt"), "new\n");
}

// The changes come back unstaged, except that a file the stash added is
// staged again.
TEST_F(GitStash, PopBringsBackTheNewestStashAndDropsIt) {
  const GitHistory repo(Box(), Named("repo"));
  repo.Commit("b.txt", "bravo\n", "second");
  repo.Write("a.txt", "older change\n");
  repo.Git("stash -q");
  repo.Write("a.txt", "newer change\n");
  repo.Git("rm -q b.txt");
  repo.Write("new.txt", "new\n");
  repo.Git("add new.txt");
  repo.Git("stash -q");
  EXPECT_EQ(repo.Status(), "");

  EXPECT_EQ(Git({repo.Path(), "stash", "pop"}), "");
  EXPECT_EQ(repo.Status(), " M a.txt\n D b.txt\nA  new.txt\n");
  EXPECT_EQ(repo.Read("a.txt"), "newer change\n");
  EXPECT_EQ(repo.Read("new.txt"), "new\n");
  EXPECT_EQ(repo.Git("stash list --format=%s | wc -l"), "1\n");
  EXPECT_EQ(repo.Git("show stash@{0}:a.txt"), "older change\n");
}

// Commits made since the stash (an update, say) stay in the files: only the
// stash's own changes come back.
TEST_F(GitStash, PopKeepsWhatHeadGainedSinceTheStash) {
  const GitHistory repo(Box(), Named("repo"));
  repo.Commit("b.txt", "bravo\n", "second");
  repo.Write("a.txt", "stashed change\n");
  repo.Git("stash -q");
  repo.Commit("b.txt", "bravo updated\n", "update");
  repo.Commit("c.txt", "charlie\n", "added");

  EXPECT_EQ(Git({repo.Path(), "stash", "pop"}), "");
  EXPECT_EQ(repo.Status(), " M a.txt\n");
  EXPECT_EQ(repo.Read("a.txt"), "stashed change\n");
  EXPECT_EQ(repo.Read("b.txt"), "bravo updated\n");
  EXPECT_EQ(repo.Read("c.txt"), "charlie\n");
}

TEST_F(GitStash, RefusesNothingToSaveNoStashLocalChangesInTheWayAndOtherWords) {
  const GitHistory repo(Box(), Named("repo"));
  EXPECT_EQ(Git({repo.Path(), "stash"}),
            "0libgit error (19): cannot stash changes - there is nothing to stash.\n");
  EXPECT_EQ(Git({repo.Path(), "stash", "list"}), "");
  EXPECT_EQ(Git({repo.Path(), "stash", "pop"}), "0No stash entries found.\n");
  EXPECT_EQ(Git({repo.Path(), "stash", "drop"}), "0USAGE: stash [apply|list|pop]\n");
  EXPECT_EQ(Git({repo.Path(), "stash", "list", "pop"}), "0USAGE: stash [apply|list|pop]\n");

  repo.Write("a.txt", "stashed\n");
  repo.Git("stash -q");
  repo.Write("a.txt", "local change\n");
  EXPECT_EQ(Git({repo.Path(), "stash", "pop"}), "0libgit error (20): 1 conflict prevents checkout\n");
  EXPECT_EQ(repo.Read("a.txt"), "local change\n");
  EXPECT_EQ(repo.Git("stash list --format=%s | wc -l"), "1\n");

  // A commit since the stash changed the same lines: the conflict is left in
  // the file, and the stash stays until it is resolved.
  repo.Commit("a.txt", "committed change\n", "second");
  EXPECT_EQ(Git({repo.Path(), "stash", "pop"}), "0conflict during stash pop! Please resolve; the stash is kept\n");
  EXPECT_EQ(repo.Status(), "UU a.txt\n");
  EXPECT_NE(repo.Read("a.txt").find("<<<<<<<"), std::string::npos) << repo.Read("a.txt");
  EXPECT_EQ(repo.Git("stash list --format=%s | wc -l"), "1\n");
}

}  // namespace
