// "log", "rev-list", "show", "cat-file", "ls-tree", "status" and "diff-files"
// from scripts, on repositories made by the git command line and checked
// against its output where the console prints the same form.
#include <unistd.h>

#include <filesystem>

#include "GitInspectSupport.h"

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GitScriptEnvironment);

using GitInspect = GitScriptTest;

// git's rendering of the console's log line: id, the committer's date in the
// committer's zone, and the message as it stands.
std::string GitLogRecords(GitSandbox& box, const std::string& repo, const std::string& revision) {
  const std::string out =
      box.Sh("git -C " + repo + " log --format='%x01commit %H %cd %B' --date=format:%d%b%Y " + revision);
  std::string records;
  for (char c : out) records += c == '\x01' ? '1' : c;
  return records;
}

TEST_F(GitInspect, LogListsCommitsFromHeadABranchOrATagLikeGit) {
  const std::string repo = Box().Path(Named("repo"));
  Box().Sh("git init -q " + repo);
  CommitAt(Box(), repo, "one", "2020-03-05T23:30:00+0100", "first");
  // Shifted into the committer's zone, this one falls on the day before in UTC.
  CommitAt(Box(), repo, "two", "2020-03-06T00:30:00+0200", "second\n\nwith a body");
  Box().Sh("git -C " + repo + " tag -a -m release v1 && git -C " + repo + " branch old");
  CommitAt(Box(), repo, "three", "1999-12-31T22:00:00-0700", "third");

  const std::string all = GitLogRecords(Box(), repo, "HEAD");
  EXPECT_NE(all.find(" 06Mar2020 second\n\nwith a body\n\n"), std::string::npos) << all;
  EXPECT_NE(all.find(" 31Dec1999 third\n\n"), std::string::npos) << all;
  EXPECT_EQ(Git({repo, "log"}), all);
  EXPECT_EQ(Git({repo, "log", "old"}), GitLogRecords(Box(), repo, "old"));
  EXPECT_EQ(Git({repo, "log", "v1"}), GitLogRecords(Box(), repo, "v1"));
  EXPECT_EQ(Git({repo, "log", "no-such-branch"}).substr(0, 14), "0libgit error ");
}

TEST_F(GitInspect, LogDropsTheLeadingLineFeedsOfAMessage) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  const std::string commit = Box().Sh("printf '\\n\\nspaced\\n' | GIT_COMMITTER_DATE='2021-07-04T12:00:00+0000' git -C " +
                                      repo + " commit-tree HEAD^{tree} -p HEAD").substr(0, 40);
  Box().Sh("git -C " + repo + " update-ref refs/heads/spaced " + commit);
  EXPECT_EQ(Git({repo, "log", "spaced"}).substr(0, 74), "1commit " + commit + " 04Jul2021 spaced\n\n1commit");
}

TEST_F(GitInspect, LogOfARepositoryWithoutCommitsPrintsNothing) {
  const std::string repo = Box().Path(Named("repo"));
  Box().Sh("git init -q " + repo);
  EXPECT_EQ(Git({repo, "log"}), "");
}

// Every command on a repository without commits, index or files.
TEST_F(GitInspect, ARepositoryWithoutCommitsIsAnsweredWithoutFailure) {
  const std::string repo = Box().Path(Named("repo"));
  Box().Sh("git init -q " + repo);
  const std::string emptyTree = "4b825dc642cb6eb9a060e54bf8d69288fbee4904";
  const struct {
    std::vector<std::string> args;
    std::string out;
  } kCases[] = {
      {{"status"}, "1# On an unnamed branch\n1#\n"},
      {{"log"}, ""},
      {{"diff"}, ""},
      {{"diff", "--cached"}, ""},
      {{"diff-files"}, ""},
      {{"ls-tree", "-r", emptyTree}, ""},
      {{"rev-list", "HEAD"}, "0libgit error "},
      {{"show", "HEAD"}, "0libgit error "},
      {{"diff", "HEAD"}, "0libgit error "},
      {{"cat-file", "blob", "e69de29bb2d1d6434b8b29ae775ad8c2e48c5391"}, "0libgit error "},
  };
  for (const auto& row : kCases) {
    std::vector<std::string> args = {repo};
    args.insert(args.end(), row.args.begin(), row.args.end());
    EXPECT_EQ(Git(args).substr(0, row.out.size() ? row.out.size() : std::string::npos), row.out) << row.args[0];
  }
}

TEST_F(GitInspect, RevListWalksByCommitTimeFromAFullOrAbbreviatedId) {
  const std::string repo = Box().Path(Named("repo"));
  Box().Sh("git init -q -b main " + repo);
  CommitAt(Box(), repo, "base", "2020-01-01T10:00:00+0000", "base");
  Box().Sh("git -C " + repo + " checkout -q -b side");
  CommitAt(Box(), repo, "side", "2020-01-03T10:00:00+0000", "side");
  Box().Sh("git -C " + repo + " checkout -q main");
  CommitAt(Box(), repo, "main", "2020-01-02T10:00:00+0000", "main");
  Box().Sh("GIT_COMMITTER_DATE='2020-01-04T10:00:00+0000' git -C " + repo + " merge -q -m merge side");
  const std::string head = Box().Sh("git -C " + repo + " rev-parse HEAD").substr(0, 40);
  const std::string expected = LineRecords(Box().Sh("git -C " + repo + " rev-list HEAD"));
  EXPECT_EQ(Git({repo, "rev-list", head}), expected);
  EXPECT_EQ(Git({repo, "rev-list", head.substr(0, 7)}), expected);

  EXPECT_EQ(Git({repo, "rev-list", "--pretty=oneline", head}), "0Format \"oneline\" not supported!\n");
  EXPECT_EQ(Git({repo, "rev-list", "--all"}), "0Unknown option \"--all\"\n");
  EXPECT_EQ(Git({repo, "rev-list"}), "0No commit id given!\n");
  for (const std::string& bad : {std::string("abcdef0"), std::string("xyz"), head + "0"}) {
    EXPECT_EQ(Git({repo, "rev-list", bad}).substr(0, 14), "0libgit error ") << bad;
  }
}

TEST_F(GitInspect, ShowAcceptsCommitsOnly) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  EXPECT_EQ(Git({repo, "show", "HEAD"}), "");
  EXPECT_EQ(Git({repo, "show", "--pretty=raw", "HEAD"}), "");
  EXPECT_EQ(Git({repo, "show", "HEAD^{tree}"}), "0Unsupported object type tree\n");
  EXPECT_EQ(Git({repo, "show", "HEAD:a.txt"}), "0Unsupported object type blob\n");
  EXPECT_EQ(Git({repo, "show", "--stat", "HEAD"}), "0Unknown option --stat!\n");
  EXPECT_EQ(Git({repo, "show"}), "0Needs a tree argument currently\n");
  EXPECT_EQ(Git({repo, "show", "HEAD~5"}).substr(0, 14), "0libgit error ");
}

TEST_F(GitInspect, CatFilePrintsABlobOneRecordPerByte) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  const auto blob = [&](const std::string& printf) {
    return Box().Sh("printf '" + printf + "' | git -C " + repo + " hash-object -w --stdin").substr(0, 40);
  };
  EXPECT_EQ(Git({repo, "cat-file", "blob", blob("ab\\n")}), "1a1b1\n");
  // A zero byte keeps its place in its record.
  EXPECT_EQ(Git({repo, "cat-file", "blob", blob("a\\000b")}), std::string("1a1\0" "1b", 6));
  EXPECT_EQ(Git({repo, "cat-file", "blob", blob("")}), "");

  EXPECT_EQ(Git({repo, "cat-file", "tree", blob("x")}), "0USAGE: cat-file blob <objectid>\n");
  EXPECT_EQ(Git({repo, "cat-file", "blob"}), "0USAGE: cat-file blob <objectid>\n");
  for (const std::string& bad : {std::string(40, '1'), std::string("HEAD"), std::string("12ab")}) {
    EXPECT_EQ(Git({repo, "cat-file", "blob", bad}).substr(0, 14), "0libgit error ") << bad;
  }
}

TEST_F(GitInspect, LsTreeListsATreeLikeGit) {
  const std::string repo = Box().Path(Named("repo"));
  const std::string at = Named("repo") + "/";
  Box().Sh("git init -q " + repo);
  Box().Write(at + "top.txt", "top\n");
  Box().Write(at + "docs/deep/c.txt", "c\n");
  Box().Write(at + "docs/b\tb.txt", "tab in the name\n");
  Box().Write(at + "run.sh", "#!/bin/sh\n");
  Box().Sh("chmod +x " + repo + "/run.sh && git -C " + repo + " add . && git -C " + repo +
           " update-index --add --cacheinfo 160000," + std::string(40, '5') + ",docs/module");
  const std::string tree = Box().Sh("git -C " + repo + " write-tree").substr(0, 40);
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{}, {"-r"}, {"-r", "-t"}, {"-t", "-r"}}) {
    std::vector<std::string> args = {repo, "ls-tree"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(tree);
    std::string flags;
    for (const std::string& option : options) flags += option + " ";
    EXPECT_EQ(Git(args), LineRecords(Box().Sh("git -C " + repo + " ls-tree " + flags + tree))) << flags;
  }

  EXPECT_EQ(Git({repo, "ls-tree", "-l", tree}), "0Unknown option \"-l\"\n");
  EXPECT_EQ(Git({repo, "ls-tree"}), "0USAGE: ls-tree [-r] [-t] <tree-id>\n");
  const std::string commit = Box().Sh("git -C " + repo + " commit -q -m all && git -C " + repo + " rev-parse HEAD");
  EXPECT_EQ(Git({repo, "ls-tree", commit.substr(0, 40)}).substr(0, 14), "0libgit error ");
}

TEST_F(GitInspect, StatusListsStagedUnstagedAndUntrackedChanges) {
  const std::string repo = Box().Path(Named("repo"));
  const std::string at = Named("repo") + "/";
  Box().Sh("git init -q " + repo);
  Box().Write(at + "new.txt", "x\n");
  EXPECT_EQ(Git({repo, "status"}), "1# On an unnamed branch\n1#\n# Untracked files:\n#\n1#       new.txt\n1#\n");

  Box().Write(at + "gone.txt", "g\n");
  Box().Write(at + "kept.txt", "k\n");
  Box().Sh("git -C " + repo + " add gone.txt kept.txt && git -C " + repo + " commit -q -m first");
  Box().Sh("git -C " + repo + " add new.txt && git -C " + repo + " rm -q gone.txt");
  Box().Write(at + "new.txt", "changed after staging\n");
  Box().Write(at + "kept.txt", "edited\n");
  Box().Write(at + "docs/u.txt", "untracked in a folder\n");
  const std::string branch = Box().Sh("git -C " + repo + " branch --show-current");
  EXPECT_EQ(Git({repo, "status"}),
            "1# On branch " + branch.substr(0, branch.size() - 1) + "\n" +
                "1# Changes to be committed:\n#\n"
                "1#       deleted: gone.txt\n"
                "1#       new file: new.txt\n"
                "1#\n# Changes not staged for commit:\n#\n"
                "1#       modified: kept.txt\n"
                "1#       modified: new.txt\n"
                "1#\n# Untracked files:\n#\n"
                "1#       docs/u.txt\n"
                "1#\n");

  EXPECT_EQ(Git({repo, "status", "-s"}), "0Unknown option \"-s\"\n");
  EXPECT_EQ(Git({repo, "status", "docs"}), "0No args supported at the moment\n");
  const std::string bare = Box().Path(Named("bare"));
  Box().Sh("git init -q --bare " + bare);
  EXPECT_EQ(Git({bare, "status"}).substr(0, 39), "1# On an unnamed branch\n0libgit error (");
}

// The staged section is left out when the index's cached root tree is HEAD's;
// each case leaves that cache current or stale, HEAD's tree or another.
TEST_F(GitInspect, StatusTrustsTheIndexsCachedTreeOnlyWhereItIsHeadsTree) {
  const struct {
    const char* name;
    const char* steps;  // in the working folder, after a commit of a.txt and docs/b.txt
    const char* sections;
  } kCases[] = {
      {"current, the same", "echo edited > a.txt && git write-tree > /dev/null",
       "1#\n# Changes not staged for commit:\n#\n1#       modified: a.txt\n"},
      {"current, a staged change", "echo staged > a.txt && git add a.txt && git write-tree > /dev/null",
       "1# Changes to be committed:\n#\n1#       modified: a.txt\n"},
      {"current, a staged deletion", "git rm -q docs/b.txt && git write-tree > /dev/null",
       "1# Changes to be committed:\n#\n1#       deleted: docs/b.txt\n"},
      {"stale", "echo staged > a.txt && git add a.txt", "1# Changes to be committed:\n#\n1#       modified: a.txt\n"},
      {"current, HEAD moved back", "echo next > a.txt && git commit -q -a -m next && git reset -q --soft HEAD~1",
       "1# Changes to be committed:\n#\n1#       modified: a.txt\n"},
      {"current, HEAD on another branch",
       "git checkout -q -b other && echo other > docs/c.txt && git add docs && git commit -q -m other && "
       "git checkout -q - && git read-tree other && git write-tree > /dev/null",
       "1# Changes to be committed:\n#\n1#       new file: docs/c.txt\n"
       "1#\n# Changes not staged for commit:\n#\n1#       deleted: docs/c.txt\n"},
      {"an intended addition", "echo n > n.txt && git add -N n.txt && git write-tree > /dev/null",
       "1# Changes to be committed:\n#\n1#       new file: n.txt\n"
       "1#\n# Changes not staged for commit:\n#\n1#       modified: n.txt\n"},
  };
  for (const auto& row : kCases) {
    const std::string repo = Box().Path(Named(row.name));
    Box().Sh("git init -q -b main '" + repo + "' && cd '" + repo +
             "' && echo a > a.txt && mkdir docs && echo b > docs/b.txt && git add . && git commit -q -m first && " +
             row.steps);
    EXPECT_EQ(Git({repo, "status"}), std::string("1# On branch main\n") + row.sections + "1#\n") << row.name;
  }
}

// Files whose stat data changed but not their contents: status writes their
// new stat data into the index as git's does (so the next status need not
// hash them), and where the index is locked gives the same status without.
TEST_F(GitInspect, StatusRecordsTheStatDataOfUnchangedFilesWhereItCan) {
  const std::string unchanged = "1# On branch main\n1#\n";
  for (const bool locked : {false, true}) {
    const std::string repo = Box().Path(Named(locked ? "locked" : "free"));
    const std::string git = "git -C '" + repo + "' ";
    Box().Sh("git init -q -b main '" + repo + "' && cd '" + repo +
             "' && echo a > a.txt && mkdir docs && echo b > docs/b.txt && git add . && git commit -q -m first && "
             "touch -d 2001-01-01 a.txt docs/b.txt");
    if (locked) Box().Sh("touch '" + repo + "/.git/index.lock'");
    const std::string before = Box().Sh(git + "ls-files --debug");
    EXPECT_EQ(Box().Sh(git + "diff-files --name-only"), "a.txt\ndocs/b.txt\n");
    EXPECT_EQ(Git({repo, "status"}), unchanged) << locked;
    EXPECT_EQ(Box().Sh(git + "diff-files --name-only"), locked ? "a.txt\ndocs/b.txt\n" : "") << locked;
    EXPECT_EQ(Box().Sh(git + "ls-files --debug") == before, locked);
    EXPECT_EQ(Box().Exists(Named(locked ? "locked" : "free") + "/.git/index.lock"), locked);
    EXPECT_EQ(Git({repo, "status"}), unchanged) << locked;
  }
}

TEST_F(GitInspect, StatusTellsTheDistanceToTheUpstreamAndAMergeInProgress) {
  const std::string repo = Box().Path(Named("repo"));
  Box().Sh("git init -q -b main " + repo);
  CommitAt(Box(), repo, "base", "2020-01-01T10:00:00+0000", "base");
  Box().Sh("git -C " + repo + " remote add origin /nowhere && git -C " + repo +
           " update-ref refs/remotes/origin/main HEAD && git -C " + repo + " branch -q --set-upstream-to=origin/main");
  EXPECT_EQ(Git({repo, "status"}), "1# On branch main\n1#\n");
  CommitAt(Box(), repo, "local", "2020-01-02T10:00:00+0000", "local");
  CommitAt(Box(), repo, "again", "2020-01-03T10:00:00+0000", "local again");
  EXPECT_EQ(Git({repo, "status"}),
            "1# On branch main\n1# Your branch is ahead its upstream branch 'origin/main' by 2 commits.\n1#\n");
  const std::string remote = Box().Sh("git -C " + repo + " commit-tree HEAD~2^{tree} -p HEAD~2 -m remote").substr(0, 40);
  Box().Sh("git -C " + repo + " update-ref refs/remotes/origin/main " + remote);
  EXPECT_EQ(Git({repo, "status"}), "1# On branch main\n1# You branch and its upstream branch 'origin/main' have diverged.\n"
                                   "1# They have 2 and 1 different commits each, respectively.\n1#\n");
  Box().Sh("git -C " + repo + " reset -q --hard HEAD~2");
  EXPECT_EQ(Git({repo, "status"}),
            "1# On branch main\n1# Your branch is behind its upstream branch 'origin/main' by 1 commits.\n1#\n");

  Box().Sh("git -C " + repo + " rev-parse origin/main > " + repo + "/.git/MERGE_HEAD");
  EXPECT_EQ(Git({repo, "status"}).substr(0, 36), "1# On branch main, but merging\n1# Yo");
  Box().Sh("rm " + repo + "/.git/MERGE_HEAD && git -C " + repo + " checkout -q --detach");
  EXPECT_EQ(Git({repo, "status"}), "1# On an unnamed branch\n1#\n");
}

// The console runs in a folder of its own: the working files must be found in
// the repository's working folder, not beside the process.
TEST_F(GitInspect, DiffFilesComparesTheWorkingFilesWithTheIndexLikeGit) {
  const std::string repo = Box().Path(Named("repo"));
  const std::string at = Named("repo") + "/";
  Box().Sh("git init -q " + repo);
  Box().Write(at + "a.txt", "a\n");
  Box().Write(at + "b.txt", "b\n");
  Box().Write(at + "docs/c.txt", "c\n");
  Box().Sh("ln -s a.txt " + repo + "/link && ln -s nowhere " + repo + "/dangling && git -C " + repo +
           " add . && git -C " + repo + " commit -q -m files");
  ASSERT_NE(std::filesystem::current_path(), std::filesystem::path(repo));
  EXPECT_EQ(Git({repo, "diff-files"}), "");

  Box().Write(at + "a.txt", "a longer text\n");
  unlink(Box().Path(at + "docs/c.txt").c_str());
  const std::string expected = LineRecords(Box().Sh("git -C " + repo + " diff-files"));
  EXPECT_NE(expected.find(" M\ta.txt\n"), std::string::npos);
  EXPECT_NE(expected.find(" 000000 "), std::string::npos);
  EXPECT_EQ(Git({repo, "diff-files"}), expected);

  EXPECT_EQ(Git({repo, "diff-files", "-q"}), "0Unknown option \"-q\"\n");
  Box().Write(at + ".git/index", "not an index");
  EXPECT_EQ(Git({repo, "diff-files"}), "0-1\n");
}

// An entry below a symbolic link is missing from the working folder, as git
// says, even where the link leads to a file of that name.
TEST_F(GitInspect, DiffFilesDoesNotLookBeyondASymbolicLink) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  const std::string git = "git -C " + repo + " ";
  Box().Write(Named("repo") + "/link/file", "inside\n");
  Box().Sh(git + "add link && " + git + "commit -q -m folder && mv " + repo + "/link " + Box().Path(Named("outside")) +
           " && ln -s " + Box().Path(Named("outside")) + " " + repo + "/link");
  const std::string expected = LineRecords(Box().Sh(git + "diff-files"));
  EXPECT_NE(expected.find(" 000000 "), std::string::npos);
  EXPECT_EQ(Git({repo, "diff-files"}), expected);
}

}  // namespace
