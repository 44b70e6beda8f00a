// How the program ends when its start or its surroundings go wrong: projects
// loaded from "gamestart", a termination signal while the main thread is
// blocked, and an X display that goes away.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "ProgramRun.h"
#include "platform/XvfbServer.h"

namespace {

class Exit : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbServer::Installed()) GTEST_SKIP() << "no Xvfb on this machine";
    ASSERT_TRUE(e2e::EnsureDisplay()) << e2e::DisplayError();
  }
  e2e::GameRoot root;
};

// A loopback server that takes connections (the kernel completes them) and
// never answers.
class SilentServer {
 public:
  SilentServer() {
    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (socket_ < 0 || bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(socket_, 8) != 0 || getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
  }
  ~SilentServer() {
    if (socket_ >= 0) close(socket_);
  }
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;
  int Port() const { return port_; }

 private:
  int socket_ = -1;
  int port_ = 0;
};

// Runs the program and sends it one signal a little after its log shows
// `marker`. The waits these runs test would last 20 s or for ever: the time
// limit is well below.
e2e::RunResult RunAndSignal(const e2e::GameRoot& root, const std::string& marker, int signal, int delayMs) {
  return e2e::Run(root, {}, 15, [&](pid_t program) {
    if (!e2e::WaitForLog(root, marker, 10000)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    kill(program, signal);
  });
}

// The run ended by itself with that status, through the closing callback.
void ExpectOrderlyEnd(const e2e::RunResult& run, int status) {
  ASSERT_FALSE(run.timedOut) << "the program did not end\n" << run.log;
  EXPECT_EQ(run.exitCode, status) << run.output;
  EXPECT_EQ(run.output.find("Sanitizer"), std::string::npos) << "the status is the program's own\n" << run.output;
  EXPECT_EQ(e2e::LinesWith(run.log, "loader closed in order").size(), 1u) << run.log;
}

// The frame callback of every project says when it closes.
std::string ClosingCallback(const std::string& who) {
  return "g.SetMainloop(function(t) if t < 0 then g.clog('" + who + " closed in order\\n') end end)\n";
}

TEST_F(Exit, AProjectLoadedByGamestartRunsAndClosesInOrder) {
  root.Write("loader/script/gamestart.lua",
             "local g = require('gcore.c')\n"
             "g.LoadProj('extra')\n"
             "g.LoadProj('third')\n"
             "g.clog('gamestart done\\n')\n"
             "local frames = 0\n"
             "g.SetMainloop(function(t)\n"
             "  if t < 0 then g.clog('loader closed in order\\n') return end\n"
             "  frames = frames + 1\n"
             "  if frames == 3 then g.QuitGame() end\n"
             "end)\n");
  for (const char* project : {"extra", "third"}) {
    root.Write(std::string(project) + "/script/gameinit.lua",
               "local g = require('gcore.c')\n" + ClosingCallback(project));
  }
  const e2e::RunResult run = e2e::Run(root, {}, 60);
  ExpectOrderlyEnd(run, 0);
  EXPECT_NE(run.log.find("gamestart done"), std::string::npos) << run.log;
  for (const char* project : {"extra", "third"}) {
    EXPECT_EQ(e2e::LinesWith(run.log, std::string(project) + " closed in order").size(), 1u) << run.log;
  }
}

TEST_F(Exit, OneSignalEndsTheProgramInOrderWhileAScriptWaitsOnASilentServer) {
  const SilentServer server;
  ASSERT_NE(server.Port(), 0);
  const std::string url = "ws://127.0.0.1:" + std::to_string(server.Port()) + "/";
  root.Write("loader/script/gamestart.lua",
             "local g = require('gcore.c')\n" + ClosingCallback("loader") +
                 "g.clog('opening\\n')\n"
                 "local client = require('websocket.c').open('" + url + "')\n"
                 "g.clog('open returned ' .. tostring(client) .. '\\n')\n");
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    std::remove(root.Path("build/log.txt").c_str());
    // Into the handshake's receive; either way one signal must do.
    const e2e::RunResult run = RunAndSignal(root, "opening", signal, 300);
    ExpectOrderlyEnd(run, 0);
    EXPECT_EQ(e2e::LinesWith(run.log, "open returned nil").size(), 1u) << run.log;
  }
}

TEST_F(Exit, OneSignalEndsAnHttpGetThatShutdownWaitsFor) {
  const SilentServer server;
  ASSERT_NE(server.Port(), 0);
  const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/never";
  root.Write("loader/script/gamestart.lua",
             "local g = require('gcore.c')\n"
             "g.HttpGet('" + url + "', function(body) g.clog('fetched ' .. tostring(body and #body) .. '\\n') end)\n"
             "local frames = 0\n"
             "g.SetMainloop(function(t)\n"
             "  if t < 0 then g.clog('loader closed in order\\n') return end\n"
             "  frames = frames + 1\n"
             "  if frames == 3 then g.clog('quitting\\n') g.QuitGame() end\n"
             "end)\n");
  // Shutdown then waits for the fetch, which the server never answers (the
  // fetch itself would give up after 20 s).
  ExpectOrderlyEnd(RunAndSignal(root, "quitting", SIGTERM, 500), 0);
}

TEST_F(Exit, ALostDisplayIsLoggedAndEndsInOrderWithAFailure) {
  const std::string shared = std::getenv("DISPLAY");
  XvfbServer own;
  const bool started = own.Start();
  setenv("DISPLAY", shared.c_str(), 1);
  ASSERT_TRUE(started) << own.Error();
  root.Write("loader/script/gamestart.lua",
             "local g = require('gcore.c')\n" + ClosingCallback("loader") + "g.clog('running\\n')\n");
  e2e::RunOptions options;
  options.environment.emplace_back("DISPLAY", own.DisplayName());
  bool stopped = false;
  // Start, a few frames and the ordered exit take a few seconds; a swap that
  // spins on the dead connection would hold it far longer.
  const e2e::RunResult run = e2e::Run(
      root, {}, 30,
      [&](pid_t) {
        if (!e2e::WaitForLog(root, "running", 20000)) return;
        // A few frames first, then the server goes.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        own.Stop();
        stopped = true;
      },
      options);
  ASSERT_TRUE(stopped) << run.output;
  ExpectOrderlyEnd(run, 1);
  EXPECT_EQ(e2e::LinesWith(run.log, "The connection to the X display was lost").size(), 1u) << run.log;
}

}  // namespace
