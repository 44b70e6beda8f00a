// "branch" and "tag" run from scripts through "git.c" on repositories made by
// the git command line; listings compared with git's own.
#include "GitScriptFixture.h"

namespace {

using GitBranch = GitScriptTest;

// Each line of git's listing as a normal-output record.
std::string Records(const std::string& lines) {
  std::string records;
  size_t start = 0;
  for (size_t end; (end = lines.find('\n', start)) != std::string::npos; start = end + 1) {
    records += "1" + lines.substr(start, end - start + 1);
  }
  return records;
}

TEST_F(GitBranch, ListsBranchesAsGitDoes) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  Box().Sh("cd " + repo + " && git branch zeta && git branch alpha && git pack-refs --all && git branch mid"
           " && git update-ref refs/remotes/origin/master HEAD && git update-ref refs/remotes/origin/topic HEAD");
  const std::string head = Box().Sh("git -C " + repo + " symbolic-ref --short HEAD");
  EXPECT_EQ(Git({repo, "branch"}), Records(Box().Sh("git -C " + repo + " branch")));
  EXPECT_EQ(Git({repo, "branch", "-r"}), "1  origin/master\n1  origin/topic\n");
  const std::string all = Git({repo, "branch", "-a"});
  EXPECT_EQ(all, Records(Box().Sh("git -C " + repo + " branch")) + "1  origin/master\n1  origin/topic\n");
  EXPECT_NE(all.find("1* " + head), std::string::npos);
}

TEST_F(GitBranch, CreatesABranchAtHead) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  EXPECT_EQ(Git({repo, "branch", "feature"}), "");
  EXPECT_EQ(Box().Sh("git -C " + repo + " rev-parse feature"), Box().Sh("git -C " + repo + " rev-parse HEAD"));
  EXPECT_NE(Box().Sh("git -C " + repo + " reflog show feature").find("branch: Created from"), std::string::npos);
  // The last name wins; other dashed arguments are passed over.
  EXPECT_EQ(Git({repo, "branch", "first", "-v", "second"}), "");
  EXPECT_EQ(Box().Sh("git -C " + repo + " branch --list first second"), "  second\n");

  EXPECT_EQ(Git({repo, "branch", "feature"}).substr(0, 14), "0libgit error ");
  for (const char* option : {"-a", "-r"}) {
    EXPECT_EQ(Git({repo, "branch", option, "other"}), "0Options -a and -r do not make sense with a branch name");
  }
  EXPECT_EQ(Box().Sh("git -C " + repo + " branch --list other"), "");

  const std::string unborn = Box().Path(Named("unborn"));
  Box().Sh("git init -q " + unborn);
  EXPECT_EQ(Git({unborn, "branch", "feature"}).substr(0, 14), "0libgit error ");
  EXPECT_EQ(Git({unborn, "branch"}), "");
}

TEST_F(GitBranch, TagsAreListedMadeAtHeadAndDeleted) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  Box().Sh("cd " + repo + " && git tag v2 && git tag -a v1 -m annotated && git pack-refs --all && git tag v10"
           " && git tag release/a");
  EXPECT_EQ(Git({repo, "tag"}), Records(Box().Sh("git -C " + repo + " tag")));

  EXPECT_EQ(Git({repo, "tag", "fresh"}), "");
  EXPECT_EQ(Box().Sh("git -C " + repo + " rev-parse fresh"), Box().Sh("git -C " + repo + " rev-parse HEAD"));
  EXPECT_EQ(Box().Sh("git -C " + repo + " cat-file -t fresh"), "commit\n");
  EXPECT_EQ(Git({repo, "tag", "fresh"}).substr(0, 14), "0libgit error ");

  EXPECT_EQ(Git({repo, "tag", "-d", "fresh"}), "");
  EXPECT_EQ(Git({repo, "tag", "-d", "v1"}), "");
  EXPECT_EQ(Box().Sh("git -C " + repo + " tag"), "release/a\nv10\nv2\n");
  EXPECT_EQ(Git({repo, "tag", "-d", "fresh"}).substr(0, 14), "0libgit error ");

  const std::string usage = "0USAGE: tag [-d] [tagname]\n";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{repo, "tag", "-x", "name"}, {repo, "tag", "-d", "a", "b"}}) {
    EXPECT_EQ(Git(args), usage) << args.size();
  }
  // A delete without its name is not taken for a tag of that name.
  EXPECT_EQ(Git({repo, "tag", "-d"}), "0libgit error (13): '-d' is not a valid tag name\n");
  EXPECT_EQ(Box().Sh("git -C " + repo + " tag"), "release/a\nv10\nv2\n");
}

}  // namespace
