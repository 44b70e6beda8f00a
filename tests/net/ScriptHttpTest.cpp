// The script call HttpGet through frames of the game object: into memory and
// into a file, done and failed callbacks, one request at a time, and refused
// starts that leave nothing pending.
#include <filesystem>
#include <memory>
#include <string>

#include "../core/ScriptHostFixture.h"
#include "LoopbackServers.h"
#include "game/GCoreApi.h"
#include "game/HttpFetch.h"

namespace {

class ScriptHttp : public ScriptHostFixture {
 protected:
  static void SetUpTestSuite() {
    requests = std::make_unique<TempRoot>();
    server = std::make_unique<nettest::PythonHttpServer>(
        std::vector<std::string>{"--log", requests->Path("requests.txt")});
  }
  static void TearDownTestSuite() {
    server.reset();
    requests.reset();
  }
  void TearDown() override {
    GCore::Api::ForgetHttpRequest();
    ScriptHostFixture::TearDown();
  }

  lua_State* StartLoader() {
    EXPECT_NE(server->Port(), 0);
    GCore::LuaManager& manager = Start("loader");
    manager.LoadProj("loader");
    lua_State* L = manager.GetProject(1)->state;
    Eval(L, "g = require('gcore.c') base = '" + server->Url("") +
                "' calls = {}\n"
                "function record(body, extra, url) calls[#calls + 1] = {body = body, extra = extra, url = url} end");
    return L;
  }

  // Runs frames until the script has seen `count` callbacks.
  bool RunUntilCalled(lua_State* L, int count, int waitMs = 10000) {
    return nettest::WaitUntil([&] {
      game->Update(16);
      return Eval(L, "return #calls") == std::to_string(count);
    }, waitMs);
  }

  static std::string Requested() { return nettest::ReadFile(requests->Path("requests.txt")); }

  static inline std::unique_ptr<TempRoot> requests;
  static inline std::unique_ptr<nettest::PythonHttpServer> server;
};

TEST_F(ScriptHttp, IntoMemoryAndIntoAFile) {
  lua_State* L = StartLoader();
  EXPECT_EQ(Eval(L, "return g.HttpGet(base .. '/redirect/1', record)"), "true");
  ASSERT_TRUE(RunUntilCalled(L, 1));
  EXPECT_EQ(Eval(L, "return calls[1].body"), "arrived");
  EXPECT_EQ(Eval(L, "return calls[1].extra:sub(1, 15)"), "HTTP/1.1 200 OK");
  EXPECT_EQ(Eval(L, "return calls[1].url == base .. '/redirect/1'"), "true");

  const std::string path = root.Path("fetched.bin");
  EXPECT_EQ(Eval(L, "return g.HttpGet(base .. '/bytes/300', '" + path + "', record)"), "true");
  ASSERT_TRUE(RunUntilCalled(L, 2));
  EXPECT_EQ(root.Read("fetched.bin"), nettest::Pattern(300));
  // A file download leaves the memory texts as the last one left them.
  EXPECT_EQ(Eval(L, "return calls[2].body"), "arrived");
  EXPECT_EQ(Eval(L, "return calls[2].url == base .. '/bytes/300'"), "true");
}

// What docs/network.md says of file paths: a relative one is taken from the
// working folder, not the game root; one from WritePath lands in the root's
// write folder wherever the program was started.
TEST_F(ScriptHttp, FilePathsAreTakenFromTheWorkingFolderAndWritePathFromTheRoot) {
  lua_State* L = StartLoader();
  TempRoot elsewhere;
  const std::filesystem::path started = std::filesystem::current_path();
  std::filesystem::current_path(elsewhere.Path());
  EXPECT_EQ(Eval(L, "return g.HttpGet(base .. '/bytes/10', 'level1.json', record)"), "true");
  const bool first = RunUntilCalled(L, 1);
  EXPECT_EQ(Eval(L, "return g.HttpGet(base .. '/bytes/20', g.WritePath('level2.json'), record)"), "true");
  const bool second = RunUntilCalled(L, 2);
  std::filesystem::current_path(started);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(elsewhere.Read("level1.json"), nettest::Pattern(10));
  EXPECT_FALSE(std::filesystem::exists(root.Path("level1.json")));
  EXPECT_EQ(root.Read("write/loader/level2.json"), nettest::Pattern(20));
}

TEST_F(ScriptHttp, FailureCallsBackWithNilsAndTheNextCallWorks) {
  lua_State* L = StartLoader();
  EXPECT_EQ(Eval(L, "return g.HttpGet(base .. '/status/404', record)"), "true");
  ASSERT_TRUE(RunUntilCalled(L, 1));
  EXPECT_EQ(Eval(L, "return tostring(calls[1].body) .. ' ' .. tostring(calls[1].extra)"), "nil nil");
  EXPECT_EQ(Eval(L, "return calls[1].url == base .. '/status/404'"), "true");
  // A line of its own: the next message does not run on after it.
  EXPECT_NE(Log().find("failed to download " + server->Url("/status/404") + "\n"), std::string::npos) << Log();
  EXPECT_EQ(Eval(L, "return g.HttpGet(base .. '/redirect/0', record)"), "true");
  ASSERT_TRUE(RunUntilCalled(L, 2));
  EXPECT_EQ(Eval(L, "return calls[2].body"), "arrived");
}

TEST_F(ScriptHttp, OneRequestAtATime) {
  lua_State* L = StartLoader();
  EXPECT_EQ(Eval(L, "return g.HttpGet(base .. '/slow/1000', record)"), "true");
  EXPECT_EQ(Eval(L, "return select('#', g.HttpGet(base .. '/redirect/0', record))"), "0");
  EXPECT_EQ(Eval(L, "return select('#', g.HttpGet(base .. '/redirect/0', 'x', record))"), "0");
  ASSERT_TRUE(RunUntilCalled(L, 1));
  EXPECT_EQ(Eval(L, "return #calls[1].body"), "1000");
  game->Update(16);
  EXPECT_EQ(Eval(L, "return #calls"), "1") << "reported once";
}

TEST_F(ScriptHttp, RefusedStartsLeaveNothingPending) {
  lua_State* L = StartLoader();
  // Too long for the worker's job table: refused, and nothing stays pending.
  EXPECT_EQ(Eval(L, "return select('#', g.HttpGet(base .. '/' .. string.rep('a', 300), record))"), "0");
  EXPECT_EQ(Eval(L, "return select('#', g.HttpGet({}, record))"), "0");
  EXPECT_EQ(Eval(L, "return select('#', g.HttpGet(base .. '/x', {}, record))"), "0");
  // A path without a callback answers true and starts nothing.
  EXPECT_EQ(Eval(L, "return g.HttpGet(base .. '/never', '" + root.Path("never") + "')"), "true");
  EXPECT_EQ(Eval(L, "return g.HttpGet(base .. '/redirect/0', record)"), "true");
  ASSERT_TRUE(RunUntilCalled(L, 1));
  EXPECT_EQ(Requested().find("/never"), std::string::npos);
}

TEST_F(ScriptHttp, RequestStartedInsideTheCallbackIsRefused) {
  lua_State* L = StartLoader();
  Eval(L, "function chain(body, extra, url) record(body, extra, url) "
          "if #calls == 1 then started = g.HttpGet(base .. '/redirect/0', record) end end");
  EXPECT_EQ(Eval(L, "return g.HttpGet(base .. '/redirect/0', chain)"), "true");
  ASSERT_TRUE(RunUntilCalled(L, 1));
  EXPECT_EQ(Eval(L, "return tostring(started)"), "nil") << "the finished worker is still held";
}

// A try cut short is tried again: the body is that of the try that
// succeeded, nothing of the failed one before it.
TEST_F(ScriptHttp, RetriedFetchIntoMemoryHoldsOnlyTheLastTry) {
  nettest::ScriptedServer cut({{{{"HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\nfirs"}}, true},
                               {{{"HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\nwholeone"}}, true}});
  lua_State* L = StartLoader();
  EXPECT_EQ(Eval(L, "return g.HttpGet('" + cut.Url("/") + "', record)"), "true");
  ASSERT_TRUE(RunUntilCalled(L, 1));
  EXPECT_EQ(Eval(L, "return calls[1].body"), "wholeone");
  EXPECT_EQ(cut.Connections(), 2);
}

// A server that never stops sending: a fetch into memory keeps no more than
// its cap and fails with a message; a fetch into a file has no such cap.
TEST_F(ScriptHttp, FetchIntoMemoryIsCapped) {
  lua_State* L = StartLoader();
  EXPECT_EQ(Eval(L, "return g.HttpGet(base .. '/endless', record)"), "true");
  ASSERT_TRUE(RunUntilCalled(L, 1, 30000));
  EXPECT_EQ(Eval(L, "return tostring(calls[1].body) .. ' ' .. tostring(calls[1].extra)"), "nil nil");
  EXPECT_LE(game->fetchedText.size(), GCore::kFetchedTextLimit);
  EXPECT_NE(Log().find("HttpGet: " + server->Url("/endless") + " sent more than 64 MiB"), std::string::npos)
      << Log().substr(0, 2000);
  const std::string path = root.Path("large.bin");
  const size_t large = GCore::kFetchedTextLimit + 1000;
  EXPECT_EQ(Eval(L, "return g.HttpGet(base .. '/bytes/" + std::to_string(large) + "', '" + path + "', record)"),
            "true");
  ASSERT_TRUE(RunUntilCalled(L, 2, 30000));
  EXPECT_EQ(std::filesystem::file_size(path), large);
}

}  // namespace
