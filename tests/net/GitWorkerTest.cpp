// "git.c" itself: what cmd accepts, the states a command passes through, the
// order of results, output of any length, and repositories the console must
// survive.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <git2.h>

#include <cstdio>

#include "GitScriptFixture.h"

namespace {

using GitScripts = GitScriptTest;

TEST_F(GitScripts, CmdRefusesCallsOutsideItsLimitsAndCopiesNothing) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  lua_pushstring(State(), repo.c_str());
  lua_setglobal(State(), "repo");
  EXPECT_EQ(Lua(R"(
    local refused = {
      {"one argument"},
      {repo, "config", "a", "b", "c", "d", "e", "f", "g"},
      {repo, "config", string.rep("x", 256)},
      {repo, "config", {}},
      {repo, "config", true},
      {repo, "config", "a\0b"},
    }
    for i, args in ipairs(refused) do
      if git.cmd(table.unpack(args)) ~= false then return "case " .. i .. " answered true" end
      if git.state() ~= "idle" then return "case " .. i .. " left " .. git.state() end
    end
    if git.cmd(repo, nil, "x") ~= false or git.state() ~= "idle" then return "a nil argument was taken" end
    if git.cmd() ~= true or git.state() ~= "idle" then return "an empty call changed something" end
    local called = false
    git.update(function() called = true end)
    if called then return "update called back while idle" end
    return "ok"
  )"),
            "ok");
  EXPECT_NE(Box().Read("root/build/log.txt").find("git.c cmd refused: an argument is longer than 255 bytes\n"),
            std::string::npos);
  // The longest argument that fits, and numbers in their string form.
  EXPECT_EQ(Git({repo, "config", "game.long", std::string(255, 'y')}), "");
  EXPECT_EQ(Box().Sh("git -C " + repo + " config game.long"), std::string(255, 'y') + "\n");
  EXPECT_EQ(Lua("return run(repo, 'config', 'game.number', 12) .. run(repo, 'config', 'game.number')"), "112\n");
  EXPECT_EQ(Lua("local ok, err = pcall(git.update, 5) return tostring(ok) .. ' ' .. err:match('%(.*%)')"),
            "false (function expected, got number)");
}

TEST_F(GitScripts, CommandsQueuedOneAfterAnotherDeliverTheirResultsInOrder) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  lua_pushstring(State(), repo.c_str());
  lua_setglobal(State(), "repo");
  EXPECT_EQ(Lua(R"(
    for i = 1, 40 do assert(run(repo, "config", "order.k" .. i, "v" .. i) == "") end
    local got = {}
    for i = 1, 40 do got[#got + 1] = run(repo, "config", "order.k" .. i) end
    return table.concat(got)
  )"),
            [] {
              std::string expected;
              for (int i = 1; i <= 40; ++i) expected += "1v" + std::to_string(i) + "\n";
              return expected;
            }());
  EXPECT_EQ(Box().Sh("git -C " + repo + " config --get-regexp '^order\\.' | wc -l"), "40\n");
}

// A command blocked on a named pipe in place of the configuration shows each
// state in turn; no other command is taken meanwhile.
TEST_F(GitScripts, ACommandPassesFromBusyThroughProcAndFinishToIdle) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  const std::string config = repo + "/.git/config";
  Box().Sh("cp " + config + " " + config + ".real && rm " + config + " && mkfifo " + config);
  lua_pushstring(State(), repo.c_str());
  lua_setglobal(State(), "repo");
  EXPECT_EQ(Lua(R"(
    if git.cmd(repo, "ls-files") ~= false then return "queued answered true" end
    local state = git.state()
    if state ~= "busy" and state ~= "proc" then return "after cmd: " .. state end
    for _ = 1, 5000 do
      if git.state() == "proc" then break end
      sleep_ms(1)
    end
    if git.state() ~= "proc" then return "never proc" end
    if git.cmd(repo, "config", "x.y", "z") ~= false then return "a second command was taken" end
    local texts = {}
    git.update(function(text) texts[#texts + 1] = text end)
    if #texts ~= 1 or texts[1] ~= "" or git.state() ~= "proc" then return "update while proc" end
    return "ok"
  )"),
            "ok");
  // The library reads as many bytes as the pipe's size, none: opening the
  // writer's end lets its open return. Later reads find the real file.
  const int writer = open(config.c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(std::rename((config + ".real").c_str(), config.c_str()), 0);
  close(writer);
  EXPECT_EQ(Lua(R"(
    for _ = 1, 10000 do
      if git.state() == "finish" then break end
      sleep_ms(1)
    end
    if git.state() ~= "finish" then return "never finish: " .. git.state() end
    local texts = {}
    git.update(function(text) texts[#texts + 1] = text end)
    return git.state() .. " " .. table.concat(texts, "|")
  )"),
            "idle 1a.txt\n");
  EXPECT_EQ(Box().Sh("git -C " + repo + " config --get x.y || echo none"), "none\n");
}

// The library's set-up is paid once: between commands the worker still holds
// it. An init counts itself, so above one someone else holds the library.
TEST_F(GitScripts, TheWorkerKeepsTheLibrarySetUpBetweenCommands) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  EXPECT_EQ(Git({repo, "ls-files"}), "1a.txt\n");
  const int count = git_libgit2_init();
  git_libgit2_shutdown();
  EXPECT_GE(count, 2);
}

TEST_F(GitScripts, OutputOfAnyLengthArrivesWhole) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  const std::string value(20000, 'v');
  Box().Sh("git -C " + repo + " config game.big " + value);
  EXPECT_EQ(Git({repo, "config", "game.big"}), "1" + value + "\n");

  // Thousands of long paths: far beyond any fixed buffer.
  const std::string name(120, 'p');
  Box().Sh("cd " + repo + " && for i in $(seq 1 2000); do : > " + name + "$i; done && git add .");
  const std::string listed = Git({repo, "ls-files", name + "*"});
  EXPECT_EQ(listed.size(), 2000 * (1 + name.size() + 1) + (9 + 90 * 2 + 900 * 3 + 1001 * 4));
  EXPECT_NE(listed.find("1" + name + "1999\n"), std::string::npos);
}

TEST_F(GitScripts, ACorruptIndexIsReportedInTheLibrarysWords) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  Box().Write(Named("repo") + "/.git/index", "DIRC this is not an index at all");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{repo, "ls-files"}, {repo, "add", repo}, {repo, "commit", "-m", "x"},
        {repo, "write-tree"}, {repo, "update-index", "--refresh"}}) {
    const std::string out = Git(args);
    EXPECT_EQ(out.substr(0, 14), "0libgit error ") << args[1] << ": " << out;
    EXPECT_NE(out.find("index"), std::string::npos) << out;
  }
}

// The console opens a repository whatever its owner, as it always has: the
// library runs nothing from a repository's configuration.
TEST_F(GitScripts, ARepositoryOwnedByAnotherUserIsOpened) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a repository away";
  const std::string repo = Box().CommittedRepository(Named("repo"));
  Box().Sh("chown -R 65534:65534 " + repo);
  EXPECT_EQ(Git({repo, "ls-files"}), "1a.txt\n");
  EXPECT_EQ(Git({repo, "config", "core.bare"}), "1false\n");
}

}  // namespace
