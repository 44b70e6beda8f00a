// "write-tree" and "commit" from scripts, checked with the git command line.
#include "GitScriptFixture.h"

namespace {

using GitCommitting = GitScriptTest;

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

TEST_F(GitCommitting, WriteTreePrintsTheTreeOfTheIndexOrOfAFolderInIt) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  Box().Write(Named("repo") + "/docs/a.txt", "a\n");
  Box().Write(Named("repo") + "/docs2/b.txt", "b\n");
  Box().Sh("git -C " + repo + " add .");
  EXPECT_EQ(Git({repo, "write-tree"}), "1" + Box().Sh("git -C " + repo + " write-tree"));
  const std::string docs = Box().Sh("git -C " + repo + " write-tree --prefix=docs/");
  // "docs" holds docs/a.txt only, not docs2/b.txt.
  EXPECT_EQ(Git({repo, "write-tree", "--prefix=docs"}), "1" + docs);
  EXPECT_EQ(Git({repo, "write-tree", "--prefix", "docs/"}), "1" + docs);
  EXPECT_EQ(Box().Sh("git -C " + repo + " ls-tree --name-only " + FirstLine(docs)), "a.txt\n");
  EXPECT_EQ(Git({repo, "write-tree", "--bogus"}), "0Unknown option \"--bogus\"\n");
}

TEST_F(GitCommitting, WriteTreeRefusesAMissingObjectUnlessMissingOk) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  const std::string ghost = std::string(40, '7');
  Box().Sh("git -C " + repo + " update-index --add --info-only --cacheinfo 100644," + ghost + ",ghost.txt");
  EXPECT_EQ(Git({repo, "write-tree"}), "1error: invalid object 100644 " + ghost +
                                           " for 'ghost.txt'\n1fatal: git-write-tree: error building trees\n");
  const std::string tree = Git({repo, "write-tree", "--missing-ok"});
  ASSERT_EQ(tree.size(), 42u) << tree;
  EXPECT_EQ(Box().Sh("git -C " + repo + " ls-tree --name-only " + tree.substr(1, 40)), "a.txt\nghost.txt\n");
}

// A submodule entry names a commit of another repository.
TEST_F(GitCommitting, WriteTreeDoesNotLookForSubmoduleCommits) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  const std::string other = std::string(40, '5');
  Box().Sh("git -C " + repo + " update-index --add --cacheinfo 160000," + other + ",module");
  EXPECT_EQ(Git({repo, "write-tree"}), "1" + Box().Sh("git -C " + repo + " write-tree"));
}

TEST_F(GitCommitting, CommitRecordsTheIndexOnHeadWithTheMessageUnchanged) {
  const std::string repo = Box().Path(Named("repo"));
  Box().Sh("git init -q " + repo);
  Box().Write(Named("repo") + "/a.txt", "a\n");
  EXPECT_EQ(Git({repo, "add", repo}), "");
  EXPECT_EQ(Git({repo, "commit", "-m", "first"}), "");
  EXPECT_EQ(Box().Sh("git -C " + repo + " log --format='%s|%an <%ae>|%cn <%ce>|%P'"),
            "first|Test Author <author@example.org>|Test Committer <committer@example.org>|\n");

  Box().Sh("git -C " + repo + " config user.name 'Configured' && git -C " + repo +
           " config user.email configured@example.org");
  Box().Write(Named("repo") + "/b.txt", "b\n");
  EXPECT_EQ(Git({repo, "add", repo}), "");
  const std::string message = "second\n\n  body with \"quotes\" and %s\n";
  EXPECT_EQ(Git({repo, "commit", "-m", message}), "");
  const std::string first = Box().Sh("git -C " + repo + " rev-parse HEAD~1");
  EXPECT_EQ(Box().Sh("git -C " + repo + " log -1 --format='%an <%ae>|%P'"),
            "Configured <configured@example.org>|" + first);
  const std::string raw = Box().Sh("git -C " + repo + " cat-file commit HEAD");
  EXPECT_EQ(raw.substr(raw.find("\n\n") + 2), message);
  EXPECT_EQ(Box().Sh("git -C " + repo + " status --porcelain"), "");
}

TEST_F(GitCommitting, CommitWithoutConfiguredUserTakesPlaceholdersWithANotice) {
  const std::string repo = Box().Path(Named("repo"));
  Box().Sh("git init -q " + repo + " && echo a > " + repo + "/a.txt && git -C " + repo + " add a.txt");
  {
    ScopedVariable noAuthorEmail("GIT_AUTHOR_EMAIL", nullptr);
    ScopedVariable noCommitterName("GIT_COMMITTER_NAME", nullptr);
    EXPECT_EQ(Git({repo, "commit", "-m", "x"}),
              "0Author information not properly configured!\n0Committer information not properly configured!\n");
  }
  EXPECT_EQ(Box().Sh("git -C " + repo + " log --format='%an <%ae>|%cn <%ce>'"),
            "Test Author <author@example.invalid>|Dummy Committer <committer@example.org>\n");
}

TEST_F(GitCommitting, CommitRefusesBadArgumentsAndAnEmptyIndex) {
  const std::string repo = Box().Path(Named("repo"));
  Box().Sh("git init -q " + repo);
  EXPECT_EQ(Git({repo, "commit", "-m", "nothing"}), "0Nothing to commit!\n");
  EXPECT_EQ(Git({repo, "commit", "-m"}), "0Option -m misses argument\n");
  EXPECT_EQ(Git({repo, "commit"}), "0A commit message is required (-m option)!\n");
  EXPECT_EQ(Git({repo, "commit", "-a", "-m", "x"}), "0Unknown option \"-a\"\n");
  std::string out;
  EXPECT_NE(Box().Run("git -C " + repo + " rev-parse --verify -q HEAD", out), 0);
}

// The heads of a merge in progress become further parents, and the merge is
// over once committed: the next commit has one parent again.
TEST_F(GitCommitting, CommitOfAMergeInProgressEndsTheMerge) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  const std::string git = "git -C " + repo + " ";
  Box().Sh(git + "checkout -q -b side && echo s > " + repo + "/side.txt && " + git + "add side.txt && " + git +
           "commit -q -m side && " + git + "checkout -q - && echo m > " + repo + "/main.txt && " + git +
           "add main.txt && " + git + "commit -q -m main && " + git + "merge -q --no-commit side");
  const std::string main = FirstLine(Box().Sh(git + "rev-parse HEAD"));
  const std::string side = FirstLine(Box().Sh(git + "rev-parse side"));
  EXPECT_EQ(Git({repo, "commit", "-m", "merged"}), "");
  EXPECT_EQ(Box().Sh(git + "log -1 --format=%P"), main + " " + side + "\n");
  EXPECT_FALSE(Box().Exists(Named("repo") + "/.git/MERGE_HEAD"));

  Box().Write(Named("repo") + "/after.txt", "after\n");
  EXPECT_EQ(Git({repo, "update-index", "--add", "after.txt"}), "");
  EXPECT_EQ(Git({repo, "commit", "-m", "after"}), "");
  EXPECT_EQ(Box().Sh(git + "log -1 --format=%P"), Box().Sh(git + "rev-parse HEAD~1"));
}

}  // namespace
