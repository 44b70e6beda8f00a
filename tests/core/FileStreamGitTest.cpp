// Repository mode against one repository made with the git command line. The
// tree map is built once per process, so every test here shares the one
// repository; the choice of reference after a failed start is tested in
// FileStreamGitRefsTest.cpp, in a process of its own.
#include <gtest/gtest.h>

#include <git2.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <string>

#include "MemoryRepository.h"
#include "StreamTestFiles.h"
#include "core/FileStream.h"
#include "core/GitTreeMap.h"
#include "game/GCoreApi.h"
#include "game/GameIF.h"

namespace {

using streamtest::Git;
using streamtest::TempFolder;
using streamtest::WithDigestPrefix;
using streamtest::WriteFile;

const std::string kVerified = WithDigestPrefix("data");

// "/qvres" and then `levels` folders "d": 1 + levels folders deep.
std::string Nested(int levels) {
  std::string path = "/qvres";
  for (int i = 0; i < levels; ++i) path += "/d";
  return path;
}

class FileStreamGitTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempFolder;
    const std::string repo = *folder_ / "repo";
    std::filesystem::create_directories(repo);
    ASSERT_EQ(Git(repo, "init -q"), 0);
    // Everything sits under one top folder so that no key can name a real
    // file of this machine (keys look like absolute paths).
    WriteFile(repo + "/qvres/top.txt", "committed");
    WriteFile(repo + "/qvres/img/a.png", std::string("\x89PNG\0\1", 6));
    WriteFile(repo + "/qvres/deep/x/y/z.txt", "deep");
    WriteFile(repo + "/qvres/empty.txt", "");
    WriteFile(repo + "/qvres/verified.bin", kVerified);
    WriteFile(repo + "/qvres/short.bin", kVerified.substr(0, 15));
    WriteFile(repo + "/qvres/tool.sh", "#!/bin/sh\n");
    chmod((repo + "/qvres/tool.sh").c_str(), 0755);
    std::filesystem::create_symlink("top.txt", repo + "/qvres/link.txt");
    // The map reads 256 levels of folders and leaves deeper ones out.
    WriteFile(repo + Nested(255) + "/near.txt", "near");
    WriteFile(repo + Nested(256) + "/far.txt", "far");
    ASSERT_EQ(Git(repo, "add -A"), 0);
    // A submodule entry pointing at some commit id.
    ASSERT_EQ(Git(repo, "update-index --add --cacheinfo "
                        "160000,1111111111111111111111111111111111111111,qvres/sub"),
              0);
    ASSERT_EQ(Git(repo, "commit -q -m resources"), 0);
    // Served from the commit, not from the working tree.
    WriteFile(repo + "/qvres/top.txt", "changed in the working tree");
    WriteFile(repo + "/qvres/untracked.txt", "untracked");
    // Only a packed master and an empty remote master: the local one serves.
    ASSERT_EQ(Git(repo, "pack-refs --all"), 0);
    WriteFile(repo + "/.git/refs/remotes/origin/master", "");
    // A repository owned by another user opens as well (when the test may hand it over).
    if (geteuid() == 0) {
      ASSERT_EQ(std::system(("chown -R 65534:65534 '" + repo + "'").c_str()), 0);
    }

    std::filesystem::create_directories(*folder_ / "root/build");
    game_ = new GCore::GameIF("game", *folder_ / "root");
    game_->rootFolder.clear();
    game_->repositoryPath = repo + "/.git";
    GCore::g_game = game_;
    // The map is built once, on the first open: here, to keep what it printed.
    testing::internal::CaptureStdout();
    const bool opened = OpenGitResources();
    buildOutput_ = new std::string(testing::internal::GetCapturedStdout());
    ASSERT_TRUE(opened) << *buildOutput_;
  }
  static void TearDownTestSuite() {
    GCore::g_game = nullptr;
    delete game_;
    delete folder_;
    delete buildOutput_;
  }

  static std::string ReadAll(const char* path) {
    std::vector<char> out;
    EXPECT_TRUE(ReadWholeResource(path, out)) << path;
    return std::string(out.begin(), out.end());
  }

  static TempFolder* folder_;
  static GCore::GameIF* game_;
  static std::string* buildOutput_;
};

TempFolder* FileStreamGitTest::folder_ = nullptr;
GCore::GameIF* FileStreamGitTest::game_ = nullptr;
std::string* FileStreamGitTest::buildOutput_ = nullptr;

TEST_F(FileStreamGitTest, RegularFilesComeFromTheCommit) {
  const struct {
    const char* path;
    std::string content;
  } cases[] = {
      {"/qvres/top.txt", "committed"},
      {"/qvres/img/a.png", std::string("\x89PNG\0\1", 6)},
      {"/qvres/deep/x/y/z.txt", "deep"},
      {"/qvres/empty.txt", ""},
  };
  for (const auto& c : cases) {
    FileStream stream;
    ASSERT_TRUE(stream.Open(c.path, kStreamRead)) << c.path;
    EXPECT_NE(dynamic_cast<FileStream_Git*>(stream.Impl()), nullptr);
    EXPECT_EQ(ReadAll(c.path), c.content) << c.path;
  }
}

TEST_F(FileStreamGitTest, FoldersDeeperThanTheBoundAreLeftOutWithAMessage) {
  EXPECT_EQ(ReadAll((Nested(255) + "/near.txt").c_str()), "near");
  FileStream stream;
  EXPECT_FALSE(stream.Open((Nested(256) + "/far.txt").c_str(), kStreamRead));
  EXPECT_EQ(*buildOutput_, "git tree deeper than 256 levels left out: " + Nested(256) + "\n");
}

TEST_F(FileStreamGitTest, OwnerValidationIsLiftedOnlyWhileTheRepositoryOpens) {
  struct stat status {};
  ASSERT_EQ(stat(game_->repositoryPath.c_str(), &status), 0);
  if (geteuid() == 0) {
    EXPECT_NE(status.st_uid, 0u) << "another user's repository, which every read here comes from";
  }
  int validation = 0;
  ASSERT_EQ(git_libgit2_opts(GIT_OPT_GET_OWNER_VALIDATION, &validation), 0);
  EXPECT_EQ(validation, 1) << "the library checks owners again for everything else";
}

TEST_F(FileStreamGitTest, OnlyRegularFilesCanBeOpened) {
  const char* refused[] = {
      "/qvres/tool.sh",        // executable
      "/qvres/link.txt",       // symbolic link
      "/qvres/sub",            // submodule
      "/qvres/img",            // folder
      "/qvres/untracked.txt",  // only in the working tree
      "/qvres/missing.txt",
      "qvres/top.txt",  // keys begin with "/"
  };
  for (const char* path : refused) {
    FileStream stream;
    EXPECT_FALSE(stream.Open(path, kStreamRead)) << path;
    EXPECT_EQ(stream.Impl(), nullptr) << path;
  }
}

TEST_F(FileStreamGitTest, ReadsAdvanceThroughTheCopy) {
  FileStream stream;
  ASSERT_TRUE(stream.Open("/qvres/top.txt", kStreamRead));
  FileStreamImpl* impl = stream.Impl();
  ASSERT_EQ(impl->Size(), 9);
  char bytes[16] = {};
  EXPECT_TRUE(stream.Read(bytes, 4));
  EXPECT_EQ(std::string(bytes, 4), "comm");
  EXPECT_TRUE(stream.Read(bytes, 16)) << "a read past the end delivers the rest";
  EXPECT_EQ(std::string(bytes, 5), "itted");
  EXPECT_FALSE(stream.Read(bytes, 1));
  EXPECT_EQ(impl->Write("x", 1), 0);
  impl->Close();
  EXPECT_EQ(impl->Size(), 0);
}

TEST_F(FileStreamGitTest, VerifyChecksTheBlob) {
  const struct {
    const char* path;
    bool verified;
  } cases[] = {
      {"/qvres/verified.bin", true},
      {"/qvres/top.txt", false},
      {"/qvres/short.bin", false},
      {"/qvres/empty.txt", false},
  };
  for (const auto& c : cases) {
    FileStream stream;
    ASSERT_TRUE(stream.Open(c.path, kStreamRead)) << c.path;
    EXPECT_EQ(stream.Impl()->Verify(), c.verified) << c.path;
  }

  // Unlike a plain file, the copy keeps its read position.
  FileStream stream;
  ASSERT_TRUE(stream.Open("/qvres/verified.bin", kStreamRead));
  char bytes[4];
  ASSERT_TRUE(stream.Read(bytes, 4));
  ASSERT_TRUE(stream.Impl()->Verify());
  ASSERT_TRUE(stream.Read(bytes, 1));
  EXPECT_EQ(bytes[0], kVerified[4]);
}

TEST_F(FileStreamGitTest, WritesAndPlainFilesBypassTheRepository) {
  TempFolder files;
  const std::string plain = files / "plain.txt";
  WriteFile(plain, "plain");
  FileStream reader;
  ASSERT_TRUE(reader.Open(plain.c_str(), kStreamRead));
  EXPECT_NE(dynamic_cast<FileStream_Default*>(reader.Impl()), nullptr);

  FileStream writer;
  ASSERT_TRUE(writer.Open((files / "out.txt").c_str(), kStreamWrite));
  EXPECT_NE(dynamic_cast<FileStream_Default*>(writer.Impl()), nullptr);
}

// The script call CheckMD5 deletes a failing file only when it is a plain
// file: a blob's key is no path of this machine.
TEST_F(FileStreamGitTest, CheckMD5DeletesOnlyPlainFiles) {
  TempFolder files;
  const std::string plain = files / "bad.bin";
  WriteFile(plain, kVerified + "!");
  lua_State* L = luaL_newstate();
  auto check = [L](const std::string& path) {
    lua_settop(L, 0);
    lua_pushcfunction(L, GCore::Api::CheckMD5);
    lua_pushstring(L, path.c_str());
    lua_call(L, 1, 1);
    return lua_toboolean(L, -1) != 0;
  };
  EXPECT_TRUE(check("/qvres/verified.bin"));
  EXPECT_FALSE(check("/qvres/short.bin"));
  FileStream stream;
  EXPECT_TRUE(stream.Open("/qvres/short.bin", kStreamRead)) << "the blob is still served";
  EXPECT_FALSE(check(plain));
  EXPECT_TRUE(streamtest::ReadFile(plain).empty()) << "a plain file that fails is deleted";
  EXPECT_FALSE(std::filesystem::exists(plain));
  lua_close(L);
}

}  // namespace

// A tree whose folders each hold the folder below twice: 2^40 places in a
// few objects. The walk ends at its bound with a message instead of running
// for ever; what came before the bound is mapped.
TEST(GitTreeMap, SharedSubtreesAreWalkedWithinTheBound) {
  using gittest::MemoryRepository;
  MemoryRepository repository;
  const git_oid blob = repository.Write(GIT_OBJECT_BLOB, "x");
  // A link at the bottom: no resource, so the map stays small.
  git_oid tree = repository.Write(GIT_OBJECT_TREE, MemoryRepository::TreeEntry("120000", "link", blob));
  for (int level = 0; level < 40; ++level) {
    tree = repository.Write(GIT_OBJECT_TREE, MemoryRepository::TreeEntry("40000", "a", tree) +
                                                 MemoryRepository::TreeEntry("40000", "b", tree));
  }
  tree = repository.Write(GIT_OBJECT_TREE, MemoryRepository::TreeEntry("100644", "file", blob) +
                                               MemoryRepository::TreeEntry("40000", "shared", tree));
  git_tree* root = nullptr;
  ASSERT_EQ(git_tree_lookup(&root, repository.Get(), &tree), 0);
  std::map<std::string, git_oid> map;
  testing::internal::CaptureStdout();
  GCore::MapGitTree(repository.Get(), root, map);
  const std::string printed = testing::internal::GetCapturedStdout();
  git_tree_free(root);
  EXPECT_EQ(map.size(), 1u);
  EXPECT_EQ(map.count("/file"), 1u);
  EXPECT_EQ(printed, "git tree of more than 1048576 entries: the rest is left out\n");
}
