// The script call HttpGet through frames of the game object: into memory and
// into a file, done and failed callbacks, one request at a time, and refused
// starts that leave nothing pending.
#include <memory>
#include <string>

#include "../core/ScriptHostFixture.h"
#include "LoopbackServers.h"
#include "game/GCoreApi.h"

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
  bool RunUntilCalled(lua_State* L, int count) {
    return nettest::WaitUntil([&] {
      game->Update(16);
      return Eval(L, "return #calls") == std::to_string(count);
    });
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

TEST_F(ScriptHttp, FailureCallsBackWithNilsAndTheNextCallWorks) {
  lua_State* L = StartLoader();
  EXPECT_EQ(Eval(L, "return g.HttpGet(base .. '/status/404', record)"), "true");
  ASSERT_TRUE(RunUntilCalled(L, 1));
  EXPECT_EQ(Eval(L, "return tostring(calls[1].body) .. ' ' .. tostring(calls[1].extra)"), "nil nil");
  EXPECT_EQ(Eval(L, "return calls[1].url == base .. '/status/404'"), "true");
  EXPECT_NE(Log().find("failed to download " + server->Url("/status/404")), std::string::npos) << Log();
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

}  // namespace
