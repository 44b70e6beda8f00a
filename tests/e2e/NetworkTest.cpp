// The network side of the real program under Xvfb. The start-up updater of
// a build whose update list points at a loopback port (QUARVELIN_E2E_UPDATE_PORT)
// fetches its text from the python server of tests/net, downloads, checks,
// unpacks and records, refuses a zip that would write outside its folder and
// keeps old files on a full disk. That build, watched by a recorder of its
// connections, never tries to reach anything but loopback.
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "../net/LoopbackServers.h"
#include "../net/ZipFixture.h"
#include "ProgramRun.h"
#include "core/MD5.h"

namespace {

namespace fs = std::filesystem;

// "connect 127.0.0.1 PORT" of a built-in URL on loopback.
std::string ConnectionTo(const std::string& url) {
  const size_t host = url.find("://") + 3;
  const size_t colon = url.find(':', host);
  const std::string port = url.substr(colon + 1, url.find('/', colon) - colon - 1);
  return "connect 127.0.0.1 " + port + "\n";
}

// Starts the program on the root, waits for the updater's closing line and
// closes the window.
e2e::RunResult RunUntilUpdated(const e2e::GameRoot& root, const e2e::RunOptions& options = {}) {
  root.Write("loader/script/gameinit.lua", "require('gcore.c').SetWinName('update e2e')\n");
  bool finished = false;
  e2e::RunResult run = e2e::Run(
      root, {}, 120,
      [&](pid_t program) {
        const unsigned long window = e2e::FindWindow("update e2e", 30000);
        finished = e2e::WaitForOutput(root, "checkupdates runcmd finish", 60000);
        if (!window || !e2e::RequestClose(window)) kill(program, SIGKILL);
      },
      options);
  EXPECT_TRUE(finished) << run.output;
  EXPECT_FALSE(run.timedOut) << run.output;
  return run;
}

class Updater : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!e2e::EnsureDisplay()) GTEST_SKIP() << "Xvfb is not available";
    // The port is the build's: wait for another run of it to let go.
    const std::string port = std::to_string(QUARVELIN_E2E_UPDATE_PORT);
    ASSERT_TRUE(nettest::WaitUntil([&] {
      server = std::make_unique<nettest::PythonHttpServer>(
          std::vector<std::string>{"--port", port, "--dir", served.Path(), "--log", served.Path("requests.txt")});
      return server->Port() != 0;
    }, 60000)) << "port " << port << " stays taken";
  }

  std::string Url(const std::string& file) const { return server->Url("/file/" + file); }
  void Serve(const std::string& text) const { served.Write("update.txt", text); }
  std::string Requests() const { return served.Read("requests.txt"); }

  TempRoot served;
  std::unique_ptr<nettest::PythonHttpServer> server;
};

TEST_F(Updater, DownloadsChecksUnpacksAndRecordsThenFindsNothingToDo) {
  const std::string data = nettest::Pattern(2 * 1024 * 1024);
  served.Write("a.bin", data);
  ASSERT_TRUE(nettest::MakeZip(served.Path("pack.zip"), {{"x.txt", "x"}, {"sub/y.txt", "y"}}));
  Serve("update 2.0 checkmd5 res/data/a.bin " + GCore::MD5Hex(data.data(), data.size()) + "\r\n" +
        "download " + Url("a.bin") + " res/data/a.bin\r\n" +
        "download " + Url("pack.zip") + " write/pack.zip\r\n" +
        "unzip write/pack.zip res/pack\r\n" +
        "delete write/pack.zip\r\n" +
        "end\r\n");
  e2e::GameRoot root(QUARVELIN_UPDATE_PROGRAM);
  root.Write("res/data/a.bin", "old a");
  RunUntilUpdated(root);
  EXPECT_EQ(root.Read("res/data/a.bin"), data);
  EXPECT_EQ(root.Read("res/pack/x.txt"), "x");
  EXPECT_EQ(root.Read("res/pack/sub/y.txt"), "y");
  EXPECT_FALSE(fs::exists(root.Path("write/pack.zip")));
  EXPECT_EQ(root.Read("write/version"), "2.0");

  // The second start reads the text, finds the version proven and stops.
  served.Write("requests.txt", "");
  RunUntilUpdated(root);
  EXPECT_EQ(Requests(), "GET /file/update.txt\n");
  EXPECT_EQ(root.Read("res/data/a.bin"), data);
}

TEST_F(Updater, ZipThatWouldWriteOutsideItsFolderIsRefused) {
  ASSERT_TRUE(nettest::MakeZip(served.Path("evil.zip"), {{"good.txt", "good"}, {"../x", "evil"}}));
  Serve("update 3.0\r\ndownload " + Url("evil.zip") + " write/evil.zip\r\nunzip write/evil.zip res/pack\r\nend\r\n");
  e2e::GameRoot root(QUARVELIN_UPDATE_PROGRAM);
  const e2e::RunResult run = RunUntilUpdated(root);
  EXPECT_FALSE(fs::exists(root.Path("res/pack/good.txt")));
  EXPECT_FALSE(fs::exists(root.Path("res/x")));
  EXPECT_FALSE(fs::exists(root.Path("write/version"))) << "the run stopped at the unzip";
  EXPECT_NE(run.log.find("would leave the folder"), std::string::npos) << run.log;
}

// A link already under the root that leads out of it is never written
// through, and the run stops before it records its version.
TEST_F(Updater, PlantedLinkUnderTheRootIsRefused) {
  ASSERT_TRUE(nettest::MakeZip(served.Path("pack.zip"), {{"pre/x.txt", "x"}}));
  Serve("update 3.1\r\ndownload " + Url("pack.zip") + " write/pack.zip\r\nunzip write/pack.zip write/out\r\nend\r\n");
  e2e::GameRoot root(QUARVELIN_UPDATE_PROGRAM);
  TempRoot outside;
  root.Write("write/out/.keep", "");
  ASSERT_EQ(symlink(outside.Path().c_str(), root.Path("write/out/pre").c_str()), 0);
  const e2e::RunResult run = RunUntilUpdated(root);
  EXPECT_FALSE(fs::exists(outside.Path("x.txt")));
  EXPECT_FALSE(fs::exists(root.Path("write/version"))) << "the run stopped at the unzip";
  EXPECT_NE(run.log.find("pre/x.txt cannot be extracted from write/pack.zip: a symbolic link is in the way"),
            std::string::npos)
      << run.log;
}

TEST_F(Updater, FullDiskKeepsTheOldFiles) {
  served.Write("big.bin", nettest::Pattern(5 * 1024 * 1024));
  Serve("update 4.0\r\ndownload " + Url("big.bin") + " res/data/a.bin\r\nend\r\n");
  e2e::GameRoot root(QUARVELIN_UPDATE_PROGRAM);
  root.Write("res/data/a.bin", "old a");
  e2e::RunOptions options;
  options.fileSizeLimit = 1024 * 1024;
  const e2e::RunResult run = RunUntilUpdated(root, options);
  EXPECT_EQ(root.Read("res/data/a.bin"), "old a");
  EXPECT_FALSE(fs::exists(root.Path("res/data/a.bin.t")));
  EXPECT_FALSE(fs::exists(root.Path("write/version")));
  EXPECT_NE(run.log.find("Unable to download file: " + Url("big.bin")), std::string::npos) << run.log;
}

// Every built-in address is tried (the updater's list, the start event's and
// the exit report's collectors, the device's public address) with nothing
// listening there, and every attempt is recorded. The default build has no
// update list: the updater's build names its own.
TEST(Loopback, BuiltInAddressesAreLoopbackOnly) {
  if (!e2e::EnsureDisplay()) GTEST_SKIP() << "Xvfb is not available";
  e2e::GameRoot root(QUARVELIN_UPDATE_PROGRAM);
  fs::copy_file(FAKE_STEAM_TOOL, root.Path("build/bin/steam_tool.so"));
  root.Write("loader/script/gameinit.lua",
             "local g = require('gcore.c')\n"
             "g.SetLogInfo('loopback test')\n"
             "g.clog('address: ' .. tostring(g.GetDeviceInfo('IP')) .. '\\n')\n");
  // The start event goes out after 10 s of running.
  root.Write("loader/script/gamestart.lua",
             "local g = require('gcore.c')\n"
             "g.SetMainloop(function(t) if t >= 11000 and not quitting then quitting = true g.QuitGame() end end)\n");
  e2e::RunOptions options;
  options.environment = {{"LD_PRELOAD", CONNECT_RECORDER},
                         {"QUARVELIN_CONNECT_LOG", root.Path("connections.txt")},
                         {"ASAN_OPTIONS", "detect_leaks=0:verify_asan_link_order=0:suppressions=" QUARVELIN_TEST_DATA "/asan.supp"}};
  const e2e::RunResult run = e2e::Run(root, {}, 90, {}, options);
  ASSERT_FALSE(run.timedOut) << run.output;
  EXPECT_NE(run.log.find("HTTP_POST [{"), std::string::npos) << "the start event was posted\n" << run.log;
  EXPECT_NE(run.log.find("HTTP_POST {\"appid\""), std::string::npos) << "the exit report was posted\n" << run.log;
  const std::string recorded = root.Read("connections.txt");
  std::istringstream lines(recorded);
  int connections = 0;
  for (std::string line; std::getline(lines, line);) {
    SCOPED_TRACE(line);
    if (line.rfind("connect ", 0) == 0) {
      ++connections;
      EXPECT_EQ(line.find("REFUSED"), std::string::npos);
      EXPECT_TRUE(line.rfind("connect 127.0.0.1 ", 0) == 0 || line.rfind("connect ::1 ", 0) == 0);
    } else {
      EXPECT_TRUE(line == "resolve 127.0.0.1" || line == "resolve localhost" || line == "resolve ::1");
    }
  }
  EXPECT_NE(recorded.find("connect 127.0.0.1 " + std::to_string(QUARVELIN_E2E_UPDATE_PORT) + "\n"), std::string::npos)
      << recorded;
  EXPECT_NE(run.output.find("can not get sever cmd"), std::string::npos) << "no update server answered";
  EXPECT_NE(recorded.find(ConnectionTo(BUILT_IN_ANALYTICS_URL)), std::string::npos) << recorded;
  EXPECT_NE(recorded.find(ConnectionTo(BUILT_IN_MATCH_DATA_URL)), std::string::npos) << recorded;
  EXPECT_NE(recorded.find("resolve 127.0.0.1\n"), std::string::npos) << recorded;
  EXPECT_GE(connections, 3);
}

// A script's fetch from a server that sends a byte now and then never times
// out by itself; quitting cuts it short instead of waiting for it.
TEST(Quit, QuittingDuringAFetchEndsTheProgram) {
  if (!e2e::EnsureDisplay()) GTEST_SKIP() << "Xvfb is not available";
  nettest::PythonHttpServer server;
  ASSERT_NE(server.Port(), 0);
  e2e::GameRoot root;
  root.Write("loader/script/gamestart.lua",
             "local g = require('gcore.c')\n"
             "g.clog('fetch ' .. tostring(g.HttpGet('" + server.Url("/trickle/2000") + "', print)) .. '\\n')\n"
             "g.SetMainloop(function(t) if t >= 1000 and not quitting then quitting = true g.QuitGame() end end)\n");
  const e2e::RunResult run = e2e::Run(root, {}, 45);
  ASSERT_FALSE(run.timedOut) << run.output;
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.log.find("fetch true"), std::string::npos) << run.log;
}

}  // namespace
