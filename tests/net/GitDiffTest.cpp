// "diff" from scripts, checked against the git command line's output for the
// same trees, index and working files.
#include "GitInspectSupport.h"

namespace {

using GitDiffing = GitScriptTest;

// A repository with two commits and, on top, a staged and an unstaged change.
struct DiffRepository {
  std::string path;
  std::string first;
  std::string second;
};

DiffRepository MakeDiffRepository(GitSandbox& box, const std::string& name) {
  const std::string repo = box.Path(name);
  box.Sh("git init -q " + repo);
  box.Write(name + "/a.txt", "one\ntwo\nthree\nfour\nfive\nsix\nseven\neight\n");
  box.Write(name + "/gone.txt", "going\n");
  box.Write(name + "/bin.dat", std::string("\x01\x02\0\x03\n", 5));
  box.Sh("git -C " + repo + " add . && git -C " + repo + " commit -q -m first");
  const std::string first = box.Sh("git -C " + repo + " rev-parse HEAD").substr(0, 40);
  box.Write(name + "/a.txt", "one\nTWO\nthree\nfour\nfive\nsix\nSEVEN\neight\n");
  box.Write(name + "/bin.dat", std::string("\x01\x02\0\x04\n", 5));
  box.Write(name + "/new.txt", "new\n");
  box.Sh("git -C " + repo + " rm -q gone.txt && git -C " + repo + " add . && git -C " + repo + " commit -q -m second");
  const std::string second = box.Sh("git -C " + repo + " rev-parse HEAD").substr(0, 40);
  box.Write(name + "/a.txt", "one\nTWO\nthree\nfour\nfive\nsix\nSEVEN\neight\nnine\n");
  box.Sh("git -C " + repo + " add a.txt");
  box.Write(name + "/new.txt", "new\nand changed\n");
  return {repo, first, second};
}

TEST_F(GitDiffing, PatchAndNameStatusMatchGit) {
  const DiffRepository repo = MakeDiffRepository(Box(), Named("repo"));
  const std::string git = "git -c core.abbrev=7 -C " + repo.path + " diff --no-color ";
  const struct {
    std::vector<std::string> console;
    std::string cli;
  } kCases[] = {
      {{}, ""},
      {{"--cached"}, "--cached"},
      {{"HEAD"}, "HEAD"},
      {{"--cached", "HEAD~1"}, "--cached HEAD~1"},
      {{repo.first, repo.second}, repo.first + " " + repo.second},
      {{"-p", "HEAD~1", "HEAD"}, "HEAD~1 HEAD"},
      {{"--name-status", repo.first, "HEAD"}, "--name-status " + repo.first + " HEAD"},
      {{"-R", "HEAD~1", "HEAD"}, "-R HEAD~1 HEAD"},
      {{"-U1", "HEAD~1", "HEAD"}, "-U1 HEAD~1 HEAD"},
      {{"--unified=0x0", "HEAD~1", "HEAD"}, "-U0 HEAD~1 HEAD"},
      {{"--inter-hunk-context=010", "-U1", "HEAD~1", "HEAD"}, "--inter-hunk-context=8 -U1 HEAD~1 HEAD"},
      {{"--src-prefix=old/", "--dst-prefix=new/", "HEAD~1", "HEAD"},
       "--src-prefix=old/ --dst-prefix=new/ HEAD~1 HEAD"},
      {{"-a", "HEAD~1", "HEAD"}, "-a HEAD~1 HEAD"},
      {{"--text", "HEAD~1", "HEAD"}, "--text HEAD~1 HEAD"},
  };
  for (const auto& row : kCases) {
    std::vector<std::string> args = {repo.path, "diff"};
    args.insert(args.end(), row.console.begin(), row.console.end());
    const std::string ours = Git(args);
    EXPECT_EQ(Unmarked(ours), Box().Sh(git + row.cli)) << row.cli;
    EXPECT_EQ(ours.substr(0, 1), "1") << row.cli;
  }
}

// A file whose only changes are in white space is left out with those
// options, as git leaves it out.
TEST_F(GitDiffing, WhiteSpaceOptionsMatchGit) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  Box().Write(Named("repo") + "/b.txt", "x y\nend\nkeep\n");
  Box().Sh("git -C " + repo + " add . && git -C " + repo + " commit -q -m more");
  Box().Write(Named("repo") + "/a.txt", "alpha  \n");
  Box().Write(Named("repo") + "/b.txt", "x   y\nend  \nKEEP\n");
  for (const char* option : {"--ignore-space-at-eol", "-b", "--ignore-space-change", "-w", "--ignore-all-space"}) {
    const std::string git = Box().Sh("git -C " + repo + " diff --no-color " + option);
    EXPECT_EQ(git.find("a/a.txt"), std::string::npos) << option;
    EXPECT_EQ(Unmarked(Git({repo, "diff", option})), git) << option;
    EXPECT_EQ(Unmarked(Git({repo, "diff", "--color", option})).find("a/a.txt"), std::string::npos) << option;
  }
}

TEST_F(GitDiffing, ColourResetsBeforeTheFirstAndAfterTheLastLine) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  Box().Write(Named("repo") + "/a.txt", "changed\n");
  const std::string index = Box().Sh("git -C " + repo + " diff --no-color").substr(27, 30);
  const std::string reset = "\033[m";
  EXPECT_EQ(Git({repo, "diff", "--color"}), "1" + reset + reset + "\033[1mdiff --git a/a.txt b/a.txt\n" + index +
                                                "--- a/a.txt\n+++ b/a.txt\n" + "1" + reset + "\033[36m@@ -1 +1 @@\n" +
                                                "1\033[31m-alpha\n" + "1\033[32m+changed\n" + "1" + reset);
  EXPECT_EQ(Git({repo, "diff", "--color", "--no-color"}).find('\033'), std::string::npos);
  Box().Write(Named("repo") + "/a.txt", "alpha\n");
  EXPECT_EQ(Git({repo, "diff", "--color"}), "");
}

// A branch without commits compares the index with the empty tree, as git
// does, instead of failing on the missing HEAD.
TEST_F(GitDiffing, CachedOnAnUnbornBranchShowsEveryStagedFileAsNew) {
  const std::string repo = Box().Path(Named("repo"));
  Box().Sh("git init -q " + repo);
  Box().Write(Named("repo") + "/a.txt", "a\n");
  Box().Sh("git -C " + repo + " add a.txt");
  EXPECT_EQ(Unmarked(Git({repo, "diff", "--cached"})), Box().Sh("git -C " + repo + " diff --no-color --cached"));
  EXPECT_EQ(Git({repo, "diff"}), "");
}

TEST_F(GitDiffing, UntrackedAndIgnoredFilesAreListedOnlyWhenAskedFor) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  Box().Write(Named("repo") + "/.git/info/exclude", "*.log\n");
  Box().Write(Named("repo") + "/new.txt", "n\n");
  Box().Write(Named("repo") + "/out.log", "o\n");
  EXPECT_EQ(Git({repo, "diff", "--name-status"}), "");
  EXPECT_EQ(Git({repo, "diff", "--name-status", "--untracked"}), "1?\tnew.txt\n");
  EXPECT_EQ(Git({repo, "diff", "--name-status", "--untracked", "--ignored"}), "1?\tnew.txt\n1I\tout.log\n");
}

TEST_F(GitDiffing, BadArgumentsAndRevisionsAreRefused) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  EXPECT_EQ(Git({repo, "diff", "HEAD", "HEAD", "HEAD"}), "0Only one or two tree identifiers can be provided\n");
  for (const char* option : {"--stat", "-U", "-Ux", "--unified=", "--unified=3x", "--inter-hunk-context=-"}) {
    EXPECT_EQ(Git({repo, "diff", option}), std::string("0Unknown option ") + option + "\n");
  }
  for (const char* revision : {"no-such", "HEAD~3", "0000000"}) {
    EXPECT_EQ(Git({repo, "diff", revision}).substr(0, 14), "0libgit error ") << revision;
  }
  // A blob cannot be peeled to a tree.
  EXPECT_EQ(Git({repo, "diff", "HEAD:a.txt"}).substr(0, 14), "0libgit error ");
  const std::string bare = Box().Path(Named("bare"));
  Box().Sh("git init -q --bare " + bare);
  EXPECT_EQ(Git({bare, "diff"}).substr(0, 14), "0libgit error ");
}

}  // namespace
