// Closing the projects while a git command cannot end: the wait is bounded,
// the worker stays stopped for the rest of the process, also for a first
// project loaded again, and once the command ends the worker lets libgit2 go.
#include <fcntl.h>
#include <unistd.h>

#include <git2.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "GitScriptFixture.h"
#include "net/GitWorker.h"

namespace {

// The library's count of inits, this one's included.
int LibraryUses() {
  const int uses = git_libgit2_init();
  git_libgit2_shutdown();
  return uses;
}

TEST(GitWorkerStop, ClosingTheProjectsDoesNotWaitForAStuckCommand) {
  GitScriptEnvironment environment;
  environment.SetUp();
  lua_State* L = environment.L;
  GitSandbox& box = *environment.sandbox;
  const std::string repo = box.CommittedRepository("stuck");
  const std::string config = repo + "/.git/config";
  box.Sh("mv " + config + " " + config + ".real && mkfifo " + config);

  lua_pushstring(L, repo.c_str());
  lua_setglobal(L, "repo");
  ASSERT_EQ(luaL_dostring(L, R"(
    git.cmd(repo, "ls-files")
    for _ = 1, 5000 do
      if git.state() == "proc" then return end
      sleep_ms(1)
    end
    error("the command never ran")
  )"),
            LUA_OK)
      << lua_tostring(L, -1);

  const auto start = std::chrono::steady_clock::now();
  environment.game->GetLuaManager()->CloseAll();
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_LT(waited, std::chrono::seconds(10));
  EXPECT_EQ(GCore::GitWorkerState(), GCore::kGitExit);

  // The project loaded again finds the worker stopped.
  environment.game->GetLuaManager()->LoadProj("loader");
  L = environment.game->GetLuaManager()->GetProject(1)->state;
  lua_pushstring(L, repo.c_str());
  lua_setglobal(L, "repo");
  ASSERT_EQ(luaL_dostring(L, "local git = require 'git.c' return git.state() .. ' ' .. tostring(git.cmd(repo, 'ls-files'))"),
            LUA_OK);
  EXPECT_STREQ(lua_tostring(L, -1), "exit false");
  lua_settop(L, 0);

  // While its command is stuck the worker holds the library, and so does the
  // command: with this init's own count, three.
  EXPECT_GE(LibraryUses(), 3);

  // Release the command left behind (the library reads the pipe's size, no
  // bytes, once its open returns), with the real configuration in place for
  // its later reads, so that it ends before the sandbox goes.
  const int writer = open(config.c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(std::rename((config + ".real").c_str(), config.c_str()), 0);
  close(writer);
  // The worker then ends and lets the library go: an init here is the first
  // again. Nothing else in this program holds the library.
  int uses = 0;
  for (int i = 0; i < 1000 && (uses = LibraryUses()) != 1; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(uses, 1);
  environment.TearDown();
}

}  // namespace
