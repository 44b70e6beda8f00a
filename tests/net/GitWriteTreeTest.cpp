// "write-tree" over the trees the index holds cached, beside the git command
// line on the same index: like git, the console looks up no object below a
// folder whose cached tree is current and in the repository, and looks at
// every entry whenever the cache cannot be trusted.
#include <git2.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "GitTestSupport.h"
#include "modules/Sha1.h"
#include "net/GitConsole.h"
#include "net/GitIndexTrees.h"

namespace {

class GitWriteTree : public ::testing::Test {
 protected:
  void SetUp() override {
    git_libgit2_init();
    GCore::TakeGitOutput();
  }
  void TearDown() override { git_libgit2_shutdown(); }

  // Committed, so every tree is cached and in the repository; made anew for
  // each case.
  void MakeRepository() const {
    box_.Sh("rm -rf repo && git init -q repo && cd repo && mkdir -p docs/sub src && echo a > docs/a.txt &&"
            " echo b > docs/sub/b.txt && echo c > src/c.txt && echo t > top.txt && git add . && git commit -q -m first");
  }

  std::string Repo() const { return box_.Path("repo"); }
  std::string InRepo(const std::string& command) const { return box_.Sh("cd repo && " + command); }
  std::string Id(const std::string& revision) const { return InRepo("git rev-parse " + revision).substr(0, 40); }
  void RemoveObject(const std::string& revision) const {
    InRepo("rm .git/objects/" + Id(revision).insert(2, "/"));
  }
  // A changed file, staged: its folders' caches are stale from then on.
  void Restage(const std::string& path) const { InRepo("echo changed > " + path + " && git update-index " + path); }

  // The console's records for write-tree with these options, on a repository
  // opened for the command as the console opens it.
  std::string Console(const std::vector<const char*>& options) const {
    git_repository* raw = nullptr;
    EXPECT_EQ(git_repository_open(&raw, Repo().c_str()), 0);
    const GCore::GitPtr<git_repository> repository(raw);
    std::vector<const char*> argv = {"write-tree"};
    argv.insert(argv.end(), options.begin(), options.end());
    GCore::GitWriteTree(repository.get(), static_cast<int>(argv.size()), argv.data());
    return GCore::TakeGitOutput();
  }

  // git's output and errors for the same options, each line as the console's
  // record of it. Run after the console: git writes the trees it rebuilt
  // back into the index.
  std::string Cli(const std::vector<const char*>& options) const {
    std::string command = "cd repo && git write-tree";
    for (const char* option : options) command += std::string(" ") + option;
    std::string out;
    box_.Run(command + " 2>&1", out);
    std::string records;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) records += "1" + line + "\n";
    return records;
  }

  static std::string Refusal(const std::string& id, const std::string& path) {
    return "1error: invalid object 100644 " + id + " for '" + path + "'\n1fatal: git-write-tree: error building trees\n";
  }

  // Replaces the index file's TREE extension (git writes it first, and these
  // indexes have no other) by `trees`, with the checksum made anew so that
  // the library takes the file.
  void SetCachedTrees(const std::string& trees) const {
    const std::string path = Repo() + "/.git/index";
    std::ifstream in(path, std::ios::binary);
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t at = file.rfind("TREE", file.size() - 20);
    ASSERT_NE(at, std::string::npos);
    const uint32_t size = static_cast<uint8_t>(file[at + 4]) << 24 | static_cast<uint8_t>(file[at + 5]) << 16 |
                          static_cast<uint8_t>(file[at + 6]) << 8 | static_cast<uint8_t>(file[at + 7]);
    ASSERT_EQ(at + 8 + size + 20, file.size()) << "an extension after TREE";
    file.resize(at);
    file += "TREE";
    for (const int shift : {24, 16, 8, 0}) file += static_cast<char>(trees.size() >> shift);
    file += trees;
    uint8_t checksum[GCore::kSha1DigestSize];
    GCore::Sha1Digest(file.data(), file.size(), checksum);
    file.append(reinterpret_cast<const char*>(checksum), sizeof checksum);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << file;
  }

  // A folder record of the TREE extension; the id is given as the revision
  // of the tree, "" for a stale folder.
  std::string Folder(const std::string& name, int entries, int folders, const std::string& revision = "") const {
    std::string record = name + '\0' + std::to_string(entries) + ' ' + std::to_string(folders) + '\n';
    if (!revision.empty()) {
      git_oid id;
      git_oid_fromstr(&id, Id(revision).c_str());
      record.append(reinterpret_cast<const char*>(id.id), GIT_OID_RAWSZ);
    }
    return record;
  }

  GitSandbox box_;
};

TEST_F(GitWriteTree, CachedTreesSpareTheLookupsAsGitSparesThem) {
  const struct {
    const char* what;
    std::vector<const char*> options;
    std::function<void()> prepare;
  } cases[] = {
      {"every tree cached", {}, [] {}},
      {"a blob missing below a current cached tree goes unreported",
       {}, [this] { RemoveObject(":docs/a.txt"); }},
      {"a blob missing in a stale folder is reported, one below a current tree is not",
       {},
       [this] {
         Restage("src/c.txt");
         RemoveObject(":src/c.txt");
         RemoveObject(":docs/a.txt");
       }},
      {"a cached tree missing from the repository: its entries are looked at",
       {},
       [this] {
         Restage("src/c.txt");
         RemoveObject("HEAD:docs");
         RemoveObject(":docs/a.txt");
       }},
      {"the root's tree missing, every folder's there",
       {},
       [this] {
         RemoveObject("HEAD^{tree}");
         RemoveObject(":docs/sub/b.txt");
       }},
      {"index version 4",
       {},
       [this] {
         InRepo("git update-index --index-version 4");
         RemoveObject(":docs/a.txt");
       }},
      {"index version 4, a path that drops more than 127 bytes of the one before",
       {},
       [this] {
         const std::string folder(200, 'k');
         InRepo("mkdir " + folder + " && echo k > " + folder + "/k.txt && git add . && git commit -q -m long &&"
                " git update-index --index-version 4");
         RemoveObject(":docs/a.txt");
       }},
      {"index version 3 (an entry with extended flags)",
       {},
       [this] {
         InRepo("git update-index --skip-worktree top.txt");
         RemoveObject(":docs/a.txt");
       }},
      {"--prefix: a blob missing below the folder's current tree",
       {"--prefix=docs/"},
       [this] { RemoveObject(":docs/sub/b.txt"); }},
      {"--prefix: a blob missing in the stale folder",
       {"--prefix=docs/"},
       [this] {
         Restage("docs/a.txt");
         RemoveObject(":docs/a.txt");
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MakeRepository();
    c.prepare();
    const std::string ours = Console(c.options);
    std::string theirs = Cli(c.options);
    // git names the entry by its whole path; the console below the prefix.
    if (!c.options.empty()) {
      for (size_t at; (at = theirs.find("'docs/")) != std::string::npos;) theirs.erase(at + 1, 5);
    }
    EXPECT_EQ(ours, theirs);
  }
}

// The cache stands for nothing when it cannot be trusted: with a blob missing
// below the root's current tree, the console then reports it as a full look
// would (git, trusting the cache, would not).
TEST_F(GitWriteTree, AnUntrustedCacheMeansEveryEntryIsLookedAt) {
  const auto nested = [this](size_t depth) {
    std::string trees = Folder("", 4, 1, "HEAD^{tree}");
    for (size_t i = 1; i <= depth; ++i) trees += Folder("x", -1, i < depth ? 1 : 0);
    return trees;
  };
  const struct {
    const char* what;
    std::function<std::string()> trees;
    bool trusted;
  } cases[] = {
      {"the cache as git writes it",
       [this] {
         return Folder("", 4, 2, "HEAD^{tree}") + Folder("docs", 2, 1, "HEAD:docs") +
                Folder("sub", 1, 0, "HEAD:docs/sub") + Folder("src", 1, 0, "HEAD:src");
       },
       true},
      {"an entry count beyond the index's entries", [this] { return Folder("", 99999999, 0, "HEAD^{tree}"); }, false},
      {"an entry count that disagrees with the index", [this] { return Folder("", 3, 0, "HEAD^{tree}"); }, false},
      {"one folder cached twice",
       [this] { return Folder("", -1, 2) + Folder("docs", 2, 0, "HEAD:docs") + Folder("docs", 2, 0, "HEAD:docs"); },
       false},
      {"folders nested as deep as allowed", [&] { return nested(GCore::kMaxGitIndexTreeDepth); }, true},
      {"folders nested deeper than allowed", [&] { return nested(GCore::kMaxGitIndexTreeDepth + 1); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MakeRepository();
    const std::string blob = Id(":docs/a.txt");
    RemoveObject(":docs/a.txt");
    SetCachedTrees(c.trees());
    EXPECT_EQ(Console({}), c.trusted ? "1" + Id("HEAD^{tree}") + "\n" : Refusal(blob, "docs/a.txt"));
  }
}

// The index file changed after the library read it: its cache says nothing
// of the index the library holds.
TEST_F(GitWriteTree, AnIndexFileChangedSinceItWasReadIsNotTrusted) {
  MakeRepository();
  InRepo("cp .git/index ../committed-index");
  Restage("src/c.txt");
  const std::string blob = Id(":src/c.txt");
  RemoveObject(":src/c.txt");
  git_repository* raw = nullptr;
  ASSERT_EQ(git_repository_open(&raw, Repo().c_str()), 0);
  const GCore::GitPtr<git_repository> repository(raw);
  git_index* index = nullptr;
  ASSERT_EQ(git_repository_index(&index, repository.get()), 0);
  git_index_free(index);
  // Every tree current and in the repository, the root's standing for all.
  InRepo("cp ../committed-index .git/index");
  const char* argv[] = {"write-tree"};
  GCore::GitWriteTree(repository.get(), 1, argv);
  EXPECT_EQ(GCore::TakeGitOutput(), Refusal(blob, "src/c.txt"));
}

}  // namespace
