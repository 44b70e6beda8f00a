// "websocket.c" against servers on 127.0.0.1: python3-websockets for the
// protocol (text and binary both ways, fragments, ping, the closing
// handshake, a dropped connection) and scripted raw servers for handshakes
// and frames no proper server sends (refusals, a 2^63 length).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackServers.h"
#include "core/TempRoot.h"
#include "core/ScriptVM.h"
#include "platform/TerminationSignals.h"

namespace {

using nettest::Reply;
using nettest::ScriptedServer;

constexpr const char* kSwitching = "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n\r\n";

// A peer that reads nothing: a listener on 127.0.0.1 whose connections
// complete in the kernel and are never accepted, or, with `switching`, are
// accepted and answered with the switch and then never read.
class DeafPeer {
 public:
  explicit DeafPeer(bool switching) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), length);
    listen(listener_, 4);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    if (!switching) return;
    thread_ = std::thread([this] {
      pollfd entry{listener_, POLLIN, 0};
      if (poll(&entry, 1, 10000) != 1) return;
      accepted_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      send(accepted_, kSwitching, std::strlen(kSwitching), MSG_NOSIGNAL);
    });
  }
  ~DeafPeer() {
    if (thread_.joinable()) thread_.join();
    if (accepted_ >= 0) close(accepted_);
    close(listener_);
  }
  std::string Url() const { return "ws://127.0.0.1:" + std::to_string(port_) + "/"; }
  int Port() const { return port_; }

 private:
  int listener_ = -1;
  int accepted_ = -1;
  int port_ = 0;
  std::thread thread_;
};

class WebSocketScripts : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    logs = std::make_unique<TempRoot>();
    server = std::make_unique<nettest::PythonHttpServer>("/usr/bin/python3", "ws_server.py",
                                                         std::vector<std::string>{"--log", logs->Path("ws.txt")});
  }
  static void TearDownTestSuite() {
    server.reset();
    logs.reset();
  }

  void SetUp() override {
    L = GCore::NewProjectState();
    ASSERT_TRUE(L);
    Run("ws = require 'websocket.c'\n"
        "got, depth, deepest = {}, 0, 0\n"
        "function record(m)\n"
        "  depth = depth + 1; deepest = math.max(deepest, depth)\n"
        "  got[#got + 1] = m == nil and '<nil>' or m\n"
        "  depth = depth - 1\n"
        "end\n"
        "function pump(c) ws.update(c, record) return #got end\n"
        "function shown() local t = {} for i, m in ipairs(got) do t[i] = #m > 40 and '#' .. #m or m end\n"
        "  return table.concat(t, '|') end");
  }
  void TearDown() override { lua_close(L); }

  void Run(const std::string& chunk) {
    ASSERT_EQ(luaL_dostring(L, chunk.c_str()), LUA_OK) << lua_tostring(L, -1);
    lua_settop(L, 0);
  }
  std::string Eval(const std::string& chunk) {
    if (luaL_dostring(L, chunk.c_str()) != LUA_OK) return "error: " + std::string(lua_tostring(L, -1));
    std::string text = luaL_tolstring(L, -1, nullptr);
    lua_settop(L, 0);
    return text;
  }
  // Opens `c` on the python server's path.
  void Open(const std::string& path, const std::string& more = "") {
    ASSERT_NE(server->Port(), 0);
    const std::string url = "ws://127.0.0.1:" + std::to_string(server->Port()) + path;
    ASSERT_EQ(Eval("c = ws.open('" + url + "'" + more + ") return c ~= nil"), "true");
  }
  // Updates `c` until the callback has been called `count` times.
  bool PumpUntil(size_t count) {
    return nettest::WaitUntil([&] { return Eval("return pump(c)") == std::to_string(count); });
  }
  // Updates `c` a while longer; true when nothing more arrived.
  bool NothingMore() {
    const std::string before = Eval("return #got");
    for (int i = 0; i < 20; ++i) {
      Eval("pump(c)");
      usleep(5000);
    }
    return Eval("return #got") == before;
  }
  static std::string ServerLog() { return nettest::ReadFile(logs->Path("ws.txt")); }

  lua_State* L = nullptr;
  static inline std::unique_ptr<TempRoot> logs;
  static inline std::unique_ptr<nettest::PythonHttpServer> server;
};

TEST_F(WebSocketScripts, TextAndBinaryBothWaysInEveryLengthForm) {
  Open("/echo");
  Run("binary = '\\0\\1\\2\\255' .. string.rep('\\0', 300)\n"
      "ws.send(c, 'hi'); ws.send(c, string.rep('a', 200)); ws.send(c, string.rep('b', 70000))\n"
      "ws.sendbinary(c, binary); ws.send(c, '')");
  ASSERT_TRUE(PumpUntil(5)) << Eval("return shown()");
  EXPECT_EQ(Eval("return shown()"), "hi|#200|#70000|#304|");
  EXPECT_EQ(Eval("return got[2] == string.rep('a', 200) and got[3] == string.rep('b', 70000)"), "true");
  EXPECT_EQ(Eval("return got[4] == binary"), "true");
  EXPECT_EQ(Eval("return deepest"), "1");
}

TEST_F(WebSocketScripts, FragmentedMessagesArriveOnceAndWhole) {
  Open("/fragments");
  ASSERT_TRUE(PumpUntil(2));
  EXPECT_EQ(Eval("return got[1]"), "Hello, world");
  EXPECT_EQ(Eval("return got[2] == '\\0\\1\\2\\3\\4\\5\\6\\7\\8\\9'"), "true");
  EXPECT_TRUE(NothingMore());
}

TEST_F(WebSocketScripts, PingIsAnsweredWithItsPayload) {
  Open("/ping");
  ASSERT_TRUE(PumpUntil(1));
  EXPECT_EQ(Eval("return got[1]"), "pong are you there");
}

TEST_F(WebSocketScripts, TheServersCloseIsAnsweredAndEndsWithNil) {
  Open("/close");
  ASSERT_TRUE(PumpUntil(2));
  EXPECT_EQ(Eval("return shown()"), "bye|<nil>");
  // The client's close frame completed the handshake (it carries no code).
  EXPECT_TRUE(nettest::WaitUntil([] { return ServerLog().find("closed 1005") != std::string::npos; }))
      << ServerLog();
  // Closed: update and send do nothing more.
  Run("ws.send(c, 'late'); ws.sendbinary(c, 'late')");
  EXPECT_TRUE(NothingMore());
}

TEST_F(WebSocketScripts, ADroppedConnectionDeliversWhatCameFirstThenNil) {
  testing::internal::CaptureStderr();
  Open("/drop");
  ASSERT_TRUE(PumpUntil(2));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Eval("return shown()"), "last|<nil>");
  EXPECT_NE(err.find("Connection "), std::string::npos) << err;
  EXPECT_TRUE(NothingMore());
}

// Frames and the end of the connection read in one update: the messages
// come first, then nil.
TEST_F(WebSocketScripts, MessagesReadWithTheEndComeBeforeNil) {
  ScriptedServer raw({Reply{{{kSwitching + std::string("\x81\x01" "a\x81\x01" "b", 6), 0}}}});
  ASSERT_EQ(Eval("c = ws.open('ws://127.0.0.1:" + std::to_string(raw.Port()) + "/') return c ~= nil"), "true");
  usleep(100000);  // the frames and the server's close are all there for the first update
  testing::internal::CaptureStderr();
  EXPECT_TRUE(PumpUntil(3));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(Eval("return shown()"), "a|b|<nil>");
}

TEST_F(WebSocketScripts, TheHandshakeNamesPathHostOriginAndProtocol) {
  Open("/echo", ", 'http://game.example', 'chat'");
  Open("/echo");
  const std::string host = "127.0.0.1:" + std::to_string(server->Port());
  EXPECT_TRUE(nettest::WaitUntil([&] {
    return ServerLog().find("open /echo " + host + " - -") != std::string::npos;
  })) << ServerLog();
  EXPECT_NE(ServerLog().find("open /echo " + host + " http://game.example chat"), std::string::npos) << ServerLog();
}

TEST_F(WebSocketScripts, RequestTextOnTheWire) {
  ScriptedServer raw({Reply{{{kSwitching, 0}}, false}});
  const std::string port = std::to_string(raw.Port());
  ASSERT_EQ(Eval("return ws.open('ws://127.0.0.1:" + port + "/chat?room=1', '', 'p1') ~= nil"), "true");
  ASSERT_EQ(Eval("return ws.open('ws://localhost:" + port + "') ~= nil"), "true");
  const std::vector<std::string> requests = raw.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0],
            "GET /chat?room=1 HTTP/1.1\r\nHost: 127.0.0.1:" + port +
                "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                "Sec-WebSocket-Key: pT7wKc2RmZ9vLq4sXb1NhA==\r\nSec-WebSocket-Protocol: p1\r\n"
                "Sec-WebSocket-Version: 13\r\n\r\n");
  EXPECT_EQ(requests[1].rfind("GET / HTTP/1.1\r\nHost: localhost:" + port + "\r\nUpgrade", 0), 0u) << requests[1];
}

TEST_F(WebSocketScripts, RefusedOpeningsGiveNilAndSayWhy) {
  ScriptedServer raw({
      Reply{{{"HTTP/1.1 404 Not Found\r\n\r\n", 0}}},
      Reply{{{"HTTP/1.1 101 " + std::string(300, 'x'), 0}}},
      Reply{{{"HTTP/1.1 101 Switching", 0}}},  // closed in the middle of the line
      Reply{{{"HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n", 0}}},  // closed in the headers
  });
  const std::string base = "ws://127.0.0.1:" + std::to_string(raw.Port());
  struct Case {
    std::string url;
    std::string origin;
    std::string message;
  };
  const Case cases[] = {
      {base + "/a", "", "ERROR: Got bad status connecting to " + base + "/a: HTTP/1.1 404 Not Found\r\n"},
      {base + "/b", "", "ERROR: Got invalid status line connecting to: " + base + "/b\n"},
      {base + "/c", "", ""},
      {base + "/d", "", ""},
      {"ws://127.0.0.1:" + std::string(130, '1'), "", "ERROR: url size limit exceeded: ws://127.0.0.1:111"},
      {base, std::string(200, 'o'), "ERROR: origin size limit exceeded: ooo"},
      {"http://127.0.0.1/", "", "ERROR: Could not parse WebSocket url: http://127.0.0.1/\n"},
      {"ws://", "", "ERROR: Could not parse WebSocket url: ws://\n"},
      {"ws://127.0.0.1:1/x", "", "Unable to connect to 127.0.0.1:1\n"},
      {"ws://no-such-host.invalid/x", "", "getaddrinfo: "},
  };
  for (const Case& c : cases) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(Eval("return ws.open('" + c.url + "', '" + c.origin + "', '')"), "nil") << c.url;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(c.message), std::string::npos) << c.url << "\n" << err;
    EXPECT_EQ(err.find("Connected to"), std::string::npos) << c.url;
  }
}

// Frames whose declared length is over 64 MiB, or so large that header plus
// length wraps around, close the connection before anything is buffered.
TEST_F(WebSocketScripts, HugeDeclaredLengthsCloseTheConnection) {
  const std::string lengths[] = {
      std::string("\x82\x7f\x80\0\0\0\0\0\0\0", 10),          // 2^63
      std::string("\x82\x7f\xff\xff\xff\xff\xff\xff\xff\xff", 10),  // 2^64 - 1: wraps with the header
      std::string("\x82\x7f\0\0\0\0\x04\0\0\x01", 10),        // 64 MiB + 1
  };
  for (const std::string& frame : lengths) {
    ScriptedServer raw({Reply{{{kSwitching + std::string("\x81\x02ok", 4) + frame, 0}}, false}});
    Run("got = {}");
    ASSERT_EQ(Eval("c = ws.open('ws://127.0.0.1:" + std::to_string(raw.Port()) + "/') return c ~= nil"), "true");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(PumpUntil(2));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Eval("return shown()"), "ok|<nil>");
    EXPECT_NE(err.find("over 64 MiB"), std::string::npos) << err;
    EXPECT_TRUE(raw.WaitForClientCloses(1));
  }
}

TEST_F(WebSocketScripts, UnknownOpcodeClosesWithAMessage) {
  ScriptedServer raw({Reply{{{kSwitching + std::string("\x83\x01x\x81\x05" "after", 10), 0}}, false}});
  ASSERT_EQ(Eval("c = ws.open('ws://127.0.0.1:" + std::to_string(raw.Port()) + "/') return c ~= nil"), "true");
  testing::internal::CaptureStderr();
  EXPECT_TRUE(PumpUntil(2));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("ERROR: Got unexpected WebSocket message.\n"), std::string::npos) << err;
  EXPECT_EQ(Eval("return got[#got]"), "<nil>");
  EXPECT_TRUE(raw.WaitForClientCloses(1));
}

// A callback that updates its own client: that update only sends and
// receives, and the outer one hands over the rest in order.
TEST_F(WebSocketScripts, UpdateInsideTheCallbackDeliversNothingNested) {
  Open("/burst/4");
  Run("function record(m)\n"
      "  depth = depth + 1; deepest = math.max(deepest, depth)\n"
      "  got[#got + 1] = m == nil and '<nil>' or m\n"
      "  if m == '1' then ws.send(c, 'again'); ws.update(c, record); ws.update(c) end\n"
      "  depth = depth - 1\n"
      "end");
  ASSERT_TRUE(PumpUntil(5));
  EXPECT_EQ(Eval("return shown()"), "1|2|3|4|again");
  EXPECT_EQ(Eval("return deepest"), "1");
}

TEST_F(WebSocketScripts, CallbackErrorsAreReportedAndTheUpdateGoesOn) {
  Open("/burst/3");
  Run("function record(m) got[#got + 1] = m; if m == '2' then error('boom') end end");
  testing::internal::CaptureStdout();
  ASSERT_TRUE(PumpUntil(3));
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("boom"), std::string::npos) << out;
  EXPECT_EQ(Eval("return shown()"), "1|2|3");
}

TEST_F(WebSocketScripts, UpdateWithoutACallbackStillSendsAndReceives) {
  Open("/echo");
  // The first update sends; the echo cannot be there before it.
  Run("ws.send(c, 'one'); ws.update(c, nil)");
  ASSERT_TRUE(PumpUntil(1));
  EXPECT_EQ(Eval("return shown()"), "one");
}

TEST_F(WebSocketScripts, ClientsAreCheckedNotTrusted) {
  // A light userdata that no open returned: debug.upvalueid makes one.
  const std::string forged = "debug.upvalueid(pump, 1)";
  for (const char* call : {"ws.send(%s, 'x')", "ws.sendbinary(%s, 'x')", "ws.update(%s, print)"}) {
    char chunk[128];
    std::snprintf(chunk, sizeof(chunk), call, forged.c_str());
    EXPECT_NE(Eval(chunk).find("not a WebSocket client"), std::string::npos) << call;
  }
  // No client at all is no error; it does nothing.
  for (const char* value : {"nil", "1", "'ws'", "{}", "io.stdout"}) {
    const std::string v = value;
    EXPECT_EQ(Eval("ws.send(" + v + ", 'x'); ws.sendbinary(" + v + ", 'x'); ws.update(" + v +
                   ", print) return 'ok'"),
              "ok")
        << value;
  }
  Open("/echo");
  for (const char* chunk : {"ws.send(c)", "ws.send(c, {})", "ws.sendbinary(c, nil)", "ws.open()", "ws.open({})",
                            "ws.open('ws://127.0.0.1:1/', {})"}) {
    EXPECT_NE(Eval(chunk).find("bad argument"), std::string::npos) << chunk;
  }
}

// A peer that takes the connection and never answers, or answers half of
// the handshake: open gives up within its bound, saying with whom.
TEST_F(WebSocketScripts, OpeningGivesUpOnASilentServer) {
  DeafPeer deaf(false);
  ScriptedServer halfway({Reply{{{"HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n", 0}}, false}});
  for (const int port : {deaf.Port(), halfway.Port()}) {
    const std::string url = "ws://127.0.0.1:" + std::to_string(port) + "/x";
    testing::internal::CaptureStderr();
    {
      const nettest::HangGuard guard(30, "opening " + url);
      EXPECT_EQ(Eval("return ws.open('" + url + "')"), "nil") << url;
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("no answer from 127.0.0.1:" + std::to_string(port) + " within 5 s"), std::string::npos)
        << err;
  }
}

// A close asked for by a signal (the program's own handlers) while open
// waits: open gives up at once instead of holding the program. The first
// termination signal marks the process for good (every later wait gives up
// at once), so it is sent in a process of its own.
TEST_F(WebSocketScripts, OpeningEndsWhenTheProgramIsAskedToClose) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        GCore::InstallTerminationHandlers();
        DeafPeer deaf(false);
        const pthread_t opener = pthread_self();
        std::thread asker([opener] {
          usleep(300000);
          pthread_kill(opener, SIGTERM);
        });
        const bool gaveUp = Eval("return ws.open('" + deaf.Url() + "')") == "nil";
        asker.join();
        const bool requested = GCore::TakeTerminationRequest();
        _exit(gaveUp && requested ? 0 : 1);
      },
      testing::ExitedWithCode(0), "given up: the program is closing");
}

// A peer that stops reading: what waits to be sent stays under its bound,
// and the sends past it are refused with a message.
TEST_F(WebSocketScripts, SendsPastTheSendBufferBoundAreRefused) {
  DeafPeer deaf(true);
  ASSERT_EQ(Eval("c = ws.open('" + deaf.Url() + "') return c ~= nil"), "true");
  testing::internal::CaptureStderr();
  Run("big = string.rep('x', 30 << 20)\n"
      "for i = 1, 4 do ws.send(c, big) ws.update(c) end\n"
      "ws.sendbinary(c, big) ws.update(c)");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("ERROR: WebSocket send of 31457280 bytes refused"), std::string::npos) << err;
}

}  // namespace
