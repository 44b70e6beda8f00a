// Which commit repository mode serves, and its retry after a failed start. The
// repository state is built once per process, so this is one sequence in a
// process of its own.
#include <gtest/gtest.h>

#include "StreamTestFiles.h"
#include "core/FileStream.h"
#include "game/GameIF.h"

namespace {

using streamtest::Git;
using streamtest::TempFolder;
using streamtest::WriteFile;

std::string ReadAll(const char* path) {
  std::vector<char> out;
  if (!ReadWholeResource(path, out)) return "<not found>";
  return std::string(out.begin(), out.end());
}

TEST(FileStreamGitRefs, RetriesUntilAMasterExistsThenPrefersTheRemoteOne) {
  TempFolder folder;
  std::filesystem::create_directories(folder / "root/build");
  GCore::GameIF game("game", folder / "root");
  game.rootFolder.clear();
  GCore::g_game = &game;

  // No repository at all.
  game.repositoryPath = folder / "nothing";
  EXPECT_EQ(ReadAll("/qvres/which.txt"), "<not found>");

  // A repository whose only branch is not master.
  const std::string repo = folder / "repo";
  std::filesystem::create_directories(repo);
  ASSERT_EQ(Git(repo, "init -q -b dev"), 0);
  WriteFile(repo + "/qvres/which.txt", "local");
  ASSERT_EQ(Git(repo, "add -A"), 0);
  ASSERT_EQ(Git(repo, "commit -q -m local"), 0);
  game.repositoryPath = repo;  // the working folder serves as well as .git
  EXPECT_EQ(ReadAll("/qvres/which.txt"), "<not found>");

  // A local master and a remote master on another commit: the remote one wins.
  ASSERT_EQ(Git(repo, "branch master"), 0);
  WriteFile(repo + "/qvres/which.txt", "remote");
  ASSERT_EQ(Git(repo, "commit -q -a -m remote"), 0);
  ASSERT_EQ(Git(repo, "update-ref refs/remotes/origin/master HEAD"), 0);
  ASSERT_EQ(Git(repo, "reset -q --hard master"), 0);
  EXPECT_EQ(ReadAll("/qvres/which.txt"), "remote");

  // Built once: a later change of repository keeps the first tree.
  game.repositoryPath = folder / "nothing";
  EXPECT_EQ(ReadAll("/qvres/which.txt"), "remote");

  GCore::g_game = nullptr;
}

}  // namespace
