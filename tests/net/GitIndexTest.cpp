// The index commands from scripts: add, rm, update-index, read-tree, ls-files
// and checkout-index, checked with the git command line.
#include <fcntl.h>
#include <git2.h>
#include <sys/stat.h>
#include <unistd.h>

#include "GitScriptFixture.h"

namespace {

using GitIndex = GitScriptTest;

// Replaces the process's standard input for the life of the holder.
class StandardInput {
 public:
  explicit StandardInput(int fd) : saved_(dup(STDIN_FILENO)) { dup2(fd, STDIN_FILENO); }
  ~StandardInput() {
    dup2(saved_, STDIN_FILENO);
    close(saved_);
  }
  StandardInput(const StandardInput&) = delete;
  StandardInput& operator=(const StandardInput&) = delete;

 private:
  int saved_;
};

// Sets a file's modification time to `seconds` past the epoch.
void SetModified(const std::string& path, time_t seconds) {
  const timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// Records a.txt in the index with the status its file has now but the id of
// other contents, as an index written just before the file changed holds it.
void RecordStaleEntry(const std::string& repo) {
  git_libgit2_init();
  git_repository* repository = nullptr;
  git_index* index = nullptr;
  ASSERT_EQ(git_repository_open(&repository, repo.c_str()), 0);
  ASSERT_EQ(git_repository_index(&index, repository), 0);
  ASSERT_EQ(git_index_add_bypath(index, "a.txt"), 0);
  git_index_entry entry = *git_index_get_bypath(index, "a.txt", 0);
  const std::string path = entry.path;
  entry.path = path.c_str();
  ASSERT_EQ(git_blob_create_from_buffer(&entry.id, repository, "stale\n", 6), 0);
  ASSERT_EQ(git_index_add(index, &entry), 0);
  ASSERT_EQ(git_index_write(index), 0);
  git_index_free(index);
  git_repository_free(repository);
  git_libgit2_shutdown();
}

TEST_F(GitIndex, AddOfTheWorkingFolderStagesEveryTopLevelEntryTheIgnoreRulesKeep) {
  const std::string repo = Box().Path(Named("repo"));
  Box().Sh("git init -q " + repo);
  Box().Write(Named("repo") + "/.gitignore", "*.log\nbuild/\n");
  Box().Write(Named("repo") + "/a.txt", "a\n");
  Box().Write(Named("repo") + "/docs/b.txt", "b\n");
  Box().Write(Named("repo") + "/x.log", "ignored\n");
  Box().Write(Named("repo") + "/build/out.bin", "ignored\n");
  EXPECT_EQ(Git({repo, "add", repo}), "");
  EXPECT_EQ(Box().Sh("git -C " + repo + " ls-files"), ".gitignore\na.txt\ndocs/b.txt\n");
  EXPECT_EQ(Box().Sh("git -C " + repo + " status --porcelain"), "A  .gitignore\nA  a.txt\nA  docs/b.txt\n");
}

TEST_F(GitIndex, AddOfAFolderStagesOnlyThatFolder) {
  const std::string repo = Box().Path(Named("repo"));
  Box().Sh("git init -q " + repo);
  Box().Write(Named("repo") + "/docs/b.txt", "b\n");
  Box().Write(Named("repo") + "/docs/deep/c.txt", "c\n");
  Box().Write(Named("repo") + "/other.txt", "o\n");
  EXPECT_EQ(Git({repo, "add", repo + "/docs/"}), "");
  EXPECT_EQ(Box().Sh("git -C " + repo + " status --porcelain"), "A  docs/b.txt\nA  docs/deep/c.txt\n?? other.txt\n");
  // A file named alone becomes a path pattern ending in '/', which the library
  // matches against the file's own path.
  EXPECT_EQ(Git({repo, "add", repo + "/other.txt"}), "");
  EXPECT_EQ(Box().Sh("git -C " + repo + " status --porcelain --untracked-files=no"),
            "A  docs/b.txt\nA  docs/deep/c.txt\nA  other.txt\n");
}

TEST_F(GitIndex, AddRefusesPathsOutsideOptionsAndBareRepositories) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  EXPECT_EQ(Git({repo, "add", "/elsewhere"}), "0/elsewhere/ is outside the Git repository\n");
  EXPECT_EQ(Git({repo, "add", "docs"}), "0docs/ is outside the Git repository\n");
  EXPECT_EQ(Git({repo, "add", "-A"}), "0Unknown option \"-A\"\n");
  EXPECT_EQ(Git({repo, "add"}), "0USAGE: add <paths>\n");
  const std::string bare = Box().Path(Named("bare"));
  Box().Sh("git init -q --bare " + bare);
  EXPECT_EQ(Git({bare, "add", bare}), "0Couldn't determine workdir!\n");
}

TEST_F(GitIndex, RmRemovesMatchingEntriesFromTheIndexOnly) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  Box().Write(Named("repo") + "/docs/b.txt", "b\n");
  Box().Sh("git -C " + repo + " add docs && git -C " + repo + " commit -q -m docs");
  EXPECT_EQ(Git({repo, "rm", "docs"}), "");
  EXPECT_EQ(Box().Sh("git -C " + repo + " status --porcelain"), "D  docs/b.txt\n?? docs/\n");
  EXPECT_EQ(Box().Read(Named("repo") + "/docs/b.txt"), "b\n");
  EXPECT_EQ(Git({repo, "rm"}), "0USAGE: rm <paths>\n");
}

TEST_F(GitIndex, UpdateIndexStagesChangesAndNeedsAddAndRemoveForNewAndMissingFiles) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  const std::string at = Named("repo") + "/";
  Box().Write(at + "a.txt", "changed\n");
  Box().Write(at + "new.txt", "new\n");
  // The files are found in the working folder, not in the process's folder.
  EXPECT_EQ(Git({repo, "update-index", "a.txt"}), "");
  EXPECT_EQ(Box().Sh("git -C " + repo + " status --porcelain"), "M  a.txt\n?? new.txt\n");

  EXPECT_EQ(Git({repo, "update-index", "new.txt"}),
            "1error: new.txt: cannot add to the index - missing --add option?\n"
            "1fatal: Unable to process path new.txt\n");
  EXPECT_EQ(Git({repo, "update-index", "--add", "new.txt"}), "");
  EXPECT_EQ(Box().Sh("git -C " + repo + " status --porcelain"), "M  a.txt\nA  new.txt\n");

  unlink(Box().Path(at + "a.txt").c_str());
  EXPECT_EQ(Git({repo, "update-index", "a.txt"}),
            "1error: a.txt: does not exists and --remove not passed\n1fatal: Unable to process path a.txt\n");
  EXPECT_EQ(Git({repo, "update-index", "--remove", "--", "a.txt"}), "");
  EXPECT_EQ(Box().Sh("git -C " + repo + " status --porcelain"), "D  a.txt\nA  new.txt\n");

  EXPECT_EQ(Git({repo, "update-index", "--bogus", "a.txt"}), "0Unsupported option \"--bogus\"!\n");
}

TEST_F(GitIndex, UpdateIndexReplacesEntriesInTheWayOnlyWithReplace) {
  const std::string repo = Box().Path(Named("repo"));
  const std::string at = Named("repo") + "/";
  Box().Sh("git init -q " + repo);
  Box().Write(at + "d/x.txt", "x\n");
  Box().Write(at + "f", "file\n");
  Box().Sh("git -C " + repo + " add . && git -C " + repo + " commit -q -m tree");
  Box().Sh("rm -r " + repo + "/d " + repo + "/f");
  Box().Write(at + "d", "now a file\n");
  Box().Write(at + "f/y.txt", "now a folder\n");

  EXPECT_EQ(Git({repo, "update-index", "--add", "d"}), "0File d is contained as a directory in the index!\n");
  EXPECT_EQ(Git({repo, "update-index", "--add", "f/y.txt"}), "0The path f/y.txt extends a file in the index!\n");
  EXPECT_EQ(Box().Sh("git -C " + repo + " ls-files"), "d/x.txt\nf\n");
  EXPECT_EQ(Git({repo, "update-index", "--add", "--replace", "d", "f/y.txt"}), "");
  EXPECT_EQ(Box().Sh("git -C " + repo + " ls-files"), "d\nf/y.txt\n");
}

TEST_F(GitIndex, UpdateIndexRefreshAddsEveryEntryAgain) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  Box().Write(Named("repo") + "/a.txt", "edited\n");
  EXPECT_EQ(Git({repo, "update-index", "--refresh"}), "");
  EXPECT_EQ(Box().Sh("git -C " + repo + " status --porcelain"), "M  a.txt\n");
}

// A path below a link names a file elsewhere, which must not come into the
// index; the link itself is staged as a link.
TEST_F(GitIndex, UpdateIndexRefusesPathsBeyondASymbolicLink) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  const std::string git = "git -C " + repo + " ";
  Box().Write(Named("outside") + "/secret", "secret\n");
  Box().Sh("ln -s " + Box().Path(Named("outside")) + " " + repo + "/link");
  const std::string refused =
      "1error: 'link/secret' is beyond a symbolic link\n1fatal: Unable to process path link/secret\n";
  EXPECT_EQ(Git({repo, "update-index", "--add", "link/secret"}), refused);
  EXPECT_EQ(Box().Sh(git + "ls-files -s link"), "");
  EXPECT_EQ(Git({repo, "update-index", "--add", "link"}), "");
  EXPECT_EQ(Box().Sh(git + "ls-files -s link | cut -c1-6"), "120000\n");

  // An index entry below the link, as read-tree leaves one: a refresh does
  // not read the file the link leads to either.
  Box().Sh(git + "rm -q --cached --ignore-unmatch link link/secret && " + git +
           "update-index --add --cacheinfo 100644,e69de29bb2d1d6434b8b29ae775ad8c2e48c5391,link/secret");
  EXPECT_EQ(Git({repo, "update-index", "--refresh"}), refused);
  EXPECT_EQ(Box().Sh(git + "ls-files -s link/secret | cut -c8-47"), "e69de29bb2d1d6434b8b29ae775ad8c2e48c5391\n");
}

TEST_F(GitIndex, UpdateIndexRefreshReadsAFileOfTheSameSizeWhoseTimeChanged) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  Box().Write(Named("repo") + "/a.txt", "ALPHA\n");
  SetModified(repo + "/a.txt", time(nullptr) + 60);
  EXPECT_EQ(Git({repo, "update-index", "--refresh"}), "");
  EXPECT_EQ(Box().Sh("git -C " + repo + " rev-parse :a.txt"), Box().Sh("git -C " + repo + " hash-object a.txt"));
}

// An entry whose file has the status it recorded is trusted, as git trusts
// it, unless the index file is not newer than the entry: the file may then
// have changed in the same clock tick, and is read again.
TEST_F(GitIndex, UpdateIndexRefreshTrustsUnchangedStatusExceptInRacyEntries) {
  const struct {
    const char* name;
    time_t indexTime;  // after the entry's 1,600,000,000
    bool read;
  } cases[] = {
      {"racy", 1600000000, true},
      {"older", 1600000001, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string repo = Box().CommittedRepository(Named(c.name));
    SetModified(repo + "/a.txt", 1600000000);
    RecordStaleEntry(repo);
    SetModified(repo + "/.git/index", c.indexTime);
    EXPECT_EQ(Git({repo, "update-index", "--refresh"}), "");
    const std::string stale = Box().Sh("printf 'stale\\n' | git hash-object --stdin");
    const std::string real = Box().Sh("git -C " + repo + " hash-object a.txt");
    EXPECT_EQ(Box().Sh("git -C " + repo + " rev-parse :a.txt"), c.read ? real : stale);
  }
}

TEST_F(GitIndex, UpdateIndexReadsIndexInfoLinesFromTheStandardInput) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  const std::string blob = Box().Sh("printf 'info\\n' | git -C " + repo + " hash-object -w --stdin").substr(0, 40);
  const std::string lines = "100644 " + blob + "\tinfo.txt\n" +                 // git's first layout
                            "100644 blob " + blob + "\ttyped.txt\n" +          // with the type
                            "100755 " + blob + " 0\tstaged.sh\n" +             // as ls-files --stage prints
                            "\n100644 " + blob + "\tlast.txt";                 // no line end at the end
  Box().Write(Named("lines"), lines);
  const int fd = open(Box().Path(Named("lines")).c_str(), O_RDONLY);
  {
    StandardInput input(fd);
    EXPECT_EQ(Git({repo, "update-index", "--index-info"}), "");
  }
  close(fd);
  EXPECT_EQ(Box().Sh("git -C " + repo + " ls-files -s info.txt last.txt staged.sh typed.txt"),
            "100644 " + blob + " 0\tinfo.txt\n100644 " + blob + " 0\tlast.txt\n100755 " + blob +
                " 0\tstaged.sh\n100644 " + blob + " 0\ttyped.txt\n");
}

TEST_F(GitIndex, UpdateIndexRefusesABadIdAndWritesNothing) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  const std::string before = Box().Sh("git -C " + repo + " ls-files -s");
  Box().Write(Named("lines"), "100644 " + std::string(39, 'a') + "z\tbad.txt\n");
  const int fd = open(Box().Path(Named("lines")).c_str(), O_RDONLY);
  {
    StandardInput input(fd);
    EXPECT_EQ(Git({repo, "update-index", "--index-info"}), "0Invalid OID format!\n");
  }
  close(fd);
  EXPECT_EQ(Box().Sh("git -C " + repo + " ls-files -s"), before);
}

// A console nobody types into, or a pipe that stays open without data, ends
// the list instead of holding the worker for ever.
TEST_F(GitIndex, UpdateIndexDoesNotWaitForAStandardInputWithoutData) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  {
    StandardInput input(pipeEnds[0]);
    EXPECT_EQ(Git({repo, "update-index", "--index-info"}), "");
  }
  close(pipeEnds[0]);
  close(pipeEnds[1]);
  const int devNull = open("/dev/null", O_RDONLY);
  {
    StandardInput input(devNull);
    EXPECT_EQ(Git({repo, "update-index", "--index-info"}), "");
  }
  close(devNull);
  EXPECT_EQ(Box().Sh("git -C " + repo + " status --porcelain"), "");
}

TEST_F(GitIndex, ReadTreeReplacesTheIndexByATree) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  const std::string tree = Box().Sh("git -C " + repo + " rev-parse HEAD^{tree}").substr(0, 40);
  Box().Sh("git -C " + repo + " rm -q --cached a.txt");
  EXPECT_EQ(Git({repo, "read-tree", tree}), "");
  EXPECT_EQ(Box().Sh("git -C " + repo + " status --porcelain"), "");

  Box().Sh("git -C " + repo + " rm -q --cached a.txt");
  // An option is reported and the command goes on.
  EXPECT_EQ(Git({repo, "read-tree", "-m", tree}), "0Unknown option \"-m\"\n");
  EXPECT_EQ(Box().Sh("git -C " + repo + " status --porcelain"), "");

  EXPECT_EQ(Git({repo, "read-tree"}), "0USAGE: read-tree <treeish>\n");
  EXPECT_EQ(Git({repo, "read-tree", "-m"}), "0Unknown option \"-m\"\n0No tree-ish given\n");
  EXPECT_EQ(Git({repo, "read-tree", "HEAD"}).substr(0, 14), "0libgit error ");
}

TEST_F(GitIndex, LsFilesListsMatchingEntriesInPathOrder) {
  const std::string repo = Box().Path(Named("repo"));
  const std::string at = Named("repo") + "/";
  Box().Sh("git init -q " + repo);
  for (const char* path : {"docs/a.txt", "docs2/b.txt", "dox.txt", "tab\there.txt", "caf\xc3\xa9.txt"}) {
    Box().Write(at + path, "x\n");
  }
  Box().Sh("git -C " + repo + " add .");
  const std::string id = Box().Sh("git -C " + repo + " rev-parse :docs/a.txt").substr(0, 40);

  EXPECT_EQ(Git({repo, "ls-files", "docs"}), "1docs/a.txt\n");
  EXPECT_EQ(Git({repo, "ls-files", "do*"}), "1docs/a.txt\n1docs2/b.txt\n1dox.txt\n");
  EXPECT_EQ(Git({repo, "ls-files"}),
            "1\"caf\\303\\251.txt\"\n1docs/a.txt\n1docs2/b.txt\n1dox.txt\n1\"tab\\there.txt\"\n");
  EXPECT_EQ(Git({repo, "ls-files", "--stage", "docs"}), "1100644 " + id + " 0\tdocs/a.txt\n");
  EXPECT_EQ(Git({repo, "ls-files", "-s", "--cached", "docs"}), "1docs/a.txt\n");
  EXPECT_EQ(Git({repo, "ls-files", "-o"}), "0Unknown option -o!\n");
}

TEST_F(GitIndex, CheckoutIndexForcesTheIndexOntoTheWorkingFolder) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  const std::string at = Named("repo") + "/";
  Box().Write(at + "a.txt", "local change\n");
  Box().Write(at + "untracked.txt", "u\n");
  EXPECT_EQ(Git({repo, "checkout-index", "--all"}), "");
  EXPECT_EQ(Box().Read(at + "a.txt"), "alpha\n");
  EXPECT_FALSE(Box().Exists(at + "untracked.txt"));
  EXPECT_EQ(Box().Sh("git -C " + repo + " status --porcelain"), "");

  EXPECT_EQ(Git({repo, "checkout-index"}), "0Only --all is supported for now!\n");
  EXPECT_EQ(Git({repo, "checkout-index", "--all", "a.txt"}), "0File arguments not supported!\n");
  EXPECT_EQ(Git({repo, "checkout-index", "-f"}), "0Unknown option \"-f\"\n");
}

}  // namespace
