// The git path hook: the library's dashed paths are files under the root
// folder; the same paths in the engine's own calls, and the library's other
// paths, are left as they stand.
#include <git2.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "GitTestSupport.h"
#include "net/GitPathHook.h"

namespace {

class GitPathHook : public ::testing::Test {
 protected:
  void SetUp() override {
    git_libgit2_init();
    box.Write("root/.keep", "");
    GCore::SetGitRootFolder(box.Path("root"));
    previous = std::filesystem::current_path();
    box.Write("cwd/.keep", "");
    std::filesystem::current_path(box.Path("cwd"));
  }
  void TearDown() override {
    std::filesystem::current_path(previous);
    git_libgit2_shutdown();
  }

  // A configuration value read by the library from a file it opens by path.
  static std::string ConfigValue(const std::string& path, const char* key) {
    git_config* config = nullptr;
    if (git_config_open_ondisk(&config, path.c_str()) < 0) return "open failed: " + std::string(git_error_last()->message);
    git_buf value = {};
    const int found = git_config_get_string_buf(&value, config, key);
    std::string text = found == 0 ? value.ptr : "(none)";
    git_buf_dispose(&value);
    git_config_free(config);
    return text;
  }

  GitSandbox box;
  std::filesystem::path previous;
};

TEST(GitHookPath, IsTheRootAcgAndThePathAfterItsDash) {
  GCore::SetGitRootFolder("/game");
  struct Case {
    const char* library;
    const char* file;
  };
  const Case cases[] = {
      {"-data/.git/config", "/game/acgdata/.git/config"},
      {"-/repo/.git/HEAD", "/game/acg/repo/.git/HEAD"},
      {"-repo/.git/HEAD", "/game/acgrepo/.git/HEAD"},
      {"-", "/game/acg"},
  };
  for (const Case& c : cases) {
    char out[GCore::kGitHookPathSize];
    ASSERT_TRUE(GCore::ComposeGitHookPath(c.library, out)) << c.library;
    EXPECT_STREQ(out, c.file);
  }
  // "/game/acg" and the rest with its zero must fit 512 bytes.
  char out[GCore::kGitHookPathSize];
  const std::string fits = "-" + std::string(GCore::kGitHookPathSize - 1 - 9, 'f');
  EXPECT_TRUE(GCore::ComposeGitHookPath(fits.c_str(), out));
  EXPECT_EQ(std::strlen(out), GCore::kGitHookPathSize - 1);
  EXPECT_FALSE(GCore::ComposeGitHookPath((fits + "g").c_str(), out));
  EXPECT_STREQ(out, "");
  GCore::SetGitRootFolder(std::string(GCore::kGitHookPathSize, 'r'));
  EXPECT_FALSE(GCore::ComposeGitHookPath("-", out));
}

TEST_F(GitPathHook, TheLibraryReadsADashedPathFromUnderTheRoot) {
  box.Write("root/acgdata/.git/config", "[game]\n\tname = hooked\n");
  box.Write("cwd/-data/.git/config", "[game]\n\tname = beside the process\n");
  box.Write("root/acg", "[game]\n\tname = the root's acg\n");
  EXPECT_EQ(ConfigValue("-data/.git/config", "game.name"), "hooked");
  EXPECT_EQ(ConfigValue("-", "game.name"), "the root's acg");
  box.Write("root/acgempty", "");
  EXPECT_EQ(ConfigValue("-empty", "game.name"), "(none)");
}

TEST_F(GitPathHook, OtherPathsOfTheLibraryAreReadAsTheyStand) {
  box.Write("cwd/repo-1/.git/config", "[game]\n\tname = relative\n");
  EXPECT_EQ(ConfigValue("repo-1/.git/config", "game.name"), "relative");
  EXPECT_EQ(ConfigValue(box.Path("cwd/repo-1/.git/config"), "game.name"), "relative");
}

TEST_F(GitPathHook, ARepositoryAndItsObjectsAreReachedByTheDashedName) {
  const std::string real = box.Path("root/acgrepo");
  box.Sh("git init -q " + real + " && printf 'blob text' > " + real + "/f.txt && git -C " + real +
         " add f.txt && git -C " + real + " commit -q -m one");
  const std::string blob = box.Sh("git -C " + real + " rev-parse HEAD:f.txt").substr(0, 40);

  git_repository* repository = nullptr;
  ASSERT_EQ(git_repository_open_ext(&repository, "-repo", GIT_REPOSITORY_OPEN_NO_SEARCH, nullptr), 0)
      << git_error_last()->message;
  EXPECT_EQ(std::string(git_repository_workdir(repository)), real + "/");
  git_repository_free(repository);

  git_odb* odb = nullptr;
  ASSERT_EQ(git_odb_open(&odb, "-repo/.git/objects"), 0);
  git_oid id;
  git_oid_fromstr(&id, blob.c_str());
  EXPECT_TRUE(git_odb_exists(odb, &id));
  git_odb_object* object = nullptr;
  ASSERT_EQ(git_odb_read(&object, odb, &id), 0);
  EXPECT_EQ(std::string(static_cast<const char*>(git_odb_object_data(object)), git_odb_object_size(object)),
            "blob text");
  git_odb_object_free(object);
  git_oid_fromstr(&id, std::string(40, '1').c_str());
  EXPECT_FALSE(git_odb_exists(odb, &id));
  git_odb_free(odb);
}

// The engine's own calls, and those of other libraries, never see the mapping.
TEST_F(GitPathHook, TheProgramsOwnDashedPathsAreUntouched) {
  box.Write("root/acgfile", "[game]\n\tname = under the root\n");
  EXPECT_EQ(ConfigValue("-file", "game.name"), "under the root");

  struct stat status;
  EXPECT_EQ(stat("-file", &status), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(access("-file", F_OK), -1);
  EXPECT_EQ(std::fopen("-file", "rb"), nullptr);
  char resolved[PATH_MAX];
  EXPECT_EQ(realpath("-file", resolved), nullptr);
  EXPECT_FALSE(std::filesystem::exists("-file"));

  const int made = open("-made", O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(made, 0);
  close(made);
  EXPECT_TRUE(box.Exists("cwd/-made"));
  EXPECT_FALSE(box.Exists("root/acgmade"));
  ASSERT_EQ(mkdir("-folder", 0755), 0);
  EXPECT_TRUE(box.Exists("cwd/-folder"));
  ASSERT_EQ(rename("-made", "-moved"), 0);
  EXPECT_TRUE(box.Exists("cwd/-moved"));
  ASSERT_EQ(unlink("-moved"), 0);
  ASSERT_EQ(rmdir("-folder"), 0);
  EXPECT_FALSE(box.Exists("cwd/-folder"));
}

// A mapped path that does not fit fails the library's call; it is never cut
// short into another path.
TEST_F(GitPathHook, AMappedPathThatDoesNotFitFails) {
  std::string deep = "-d";
  while (deep.size() < GCore::kGitHookPathSize) deep += "/d";
  git_repository* repository = nullptr;
  EXPECT_LT(git_repository_open_ext(&repository, deep.c_str(), GIT_REPOSITORY_OPEN_NO_SEARCH, nullptr), 0);
  EXPECT_NE(std::string(git_error_last()->message).find("too long"), std::string::npos) << git_error_last()->message;
  EXPECT_LT(git_repository_init(&repository, deep.c_str(), 0), 0);
  EXPECT_FALSE(box.Exists("root/acgd"));
  EXPECT_FALSE(box.Exists("cwd/-d"));
}

}  // namespace
