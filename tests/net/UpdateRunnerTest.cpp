// What the update commands do on a real root folder, the zip extractor, and
// the runner thread fetching its text from the python server.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "../core/TempRoot.h"
#include "FastClock.h"
#include "LoopbackServers.h"
#include "ZipFixture.h"
#include "net/UpdateRunner.h"
#include "net/ZipExtractor.h"
#include "platform/Clock.h"

namespace {

namespace fs = std::filesystem;
using nettest::ZipEntry;

TEST(UpdateActions, VersionFileAndChecksums) {
  TempRoot root;
  GCore::FileUpdateActions actions(root.Path());
  EXPECT_FALSE(actions.IsVersionCurrent("1.0")) << "no version file yet";
  actions.WriteInstalledVersion("2.5");
  EXPECT_EQ(root.Read("write/version"), "2.5");
  EXPECT_TRUE(actions.IsVersionCurrent("2.5"));
  EXPECT_FALSE(actions.IsVersionCurrent("2.5 "));
  root.Write("write/version", "3.0\nanything");
  EXPECT_TRUE(actions.IsVersionCurrent("3.0"));

  root.Write("a.txt", "a");
  const std::string path = root.Path("a.txt");
  EXPECT_TRUE(actions.CheckFileMD5(path, "0cc175b9c0f1b6a831c399e269772661"));
  EXPECT_FALSE(actions.CheckFileMD5(path, "0CC175B9C0F1B6A831C399E269772661")) << "lower case only";
  EXPECT_FALSE(actions.CheckFileMD5(path, "0cc175b9c0f1b6a831c399e26977266"));
  EXPECT_FALSE(actions.CheckFileMD5(root.Path("missing"), "d41d8cd98f00b204e9800998ecf8427e"));
  actions.Delete(path);
  EXPECT_FALSE(fs::exists(path));
  actions.Delete(path);  // missing: nothing
}

TEST(UpdateActions, ExecStartsProgramsWithoutWaiting) {
  TempRoot root;
  GCore::FileUpdateActions actions(root.Path());
  root.Write("bin/tool", "#!/bin/sh\ntouch \"$(dirname \"$0\")/ran\"\n");
  chmod(root.Path("bin/tool").c_str(), 0755);
  root.Write("bin/plain", "not a program");
  EXPECT_TRUE(actions.Exec(root.Path("bin/tool")));
  EXPECT_TRUE(nettest::WaitUntil([&] { return fs::exists(root.Path("bin/ran")); }));
  EXPECT_FALSE(actions.Exec(root.Path("bin/plain")));
  EXPECT_FALSE(actions.Exec(root.Path("bin/missing")));
}

TEST(UpdateActions, DownloadReplacesOnlyWithWholeFiles) {
  nettest::PythonHttpServer server;
  ASSERT_NE(server.Port(), 0);
  TempRoot root;
  GCore::FileUpdateActions actions(root.Path());
  root.Write("data.bin", "old");
  EXPECT_FALSE(actions.Download(server.Url("/status/404"), root.Path("data.bin")));
  EXPECT_EQ(root.Read("data.bin"), "old");
  EXPECT_FALSE(actions.Download("http://127.0.0.1:1/unreachable", root.Path("data.bin")));
  EXPECT_EQ(root.Read("data.bin"), "old");
  EXPECT_TRUE(actions.Download(server.Url("/bytes/70000"), root.Path("data.bin")));
  EXPECT_EQ(root.Read("data.bin"), nettest::Pattern(70000));
  EXPECT_FALSE(fs::exists(root.Path("data.bin.t")));
  actions.Abort();
  EXPECT_FALSE(actions.Download(server.Url("/slow/1000"), root.Path("other.bin")));
}

std::string WorkingFolder() {
  char folder[PATH_MAX];
  return getcwd(folder, sizeof(folder)) ? folder : "";
}

TEST(Unzip, ExtractsEntriesWithTheirFolders) {
  TempRoot root;
  const std::string zip = root.Path("pack.zip");
  ASSERT_TRUE(nettest::MakeZip(zip, {{"top.txt", "top"},
                                     {"sub/", ""},
                                     {"sub/deeper/b.txt", std::string(100000, 'b')},
                                     {"win\\style.txt", "win"},
                                     {"bin/tool", "#!/bin/sh\n", true}}));
  root.Write("out/top.txt", "old");
  const std::string before = WorkingFolder();
  ASSERT_TRUE(GCore::UnzipToFolder(zip, root.Path("out")));
  EXPECT_EQ(WorkingFolder(), before) << "the working folder is the process's, not the extractor's";
  EXPECT_EQ(root.Read("out/top.txt"), "top");
  EXPECT_EQ(root.Read("out/sub/deeper/b.txt"), std::string(100000, 'b'));
  EXPECT_EQ(root.Read("out/win/style.txt"), "win");
  EXPECT_EQ(access(root.Path("out/bin/tool").c_str(), X_OK), 0);
  EXPECT_NE(access(root.Path("out/top.txt").c_str(), X_OK), 0);
}

TEST(Unzip, EntriesLeavingTheFolderRefuseTheArchive) {
  const std::string names[] = {"../x", "a/../../x", "/tmp/x", "C:/x", "..\\x", "a/b/../../../x"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    TempRoot root;
    const std::string zip = root.Path("evil.zip");
    ASSERT_TRUE(nettest::MakeZip(zip, {{"first.txt", "first"}, {name, "evil"}}));
    EXPECT_FALSE(GCore::UnzipToFolder(zip, root.Path("res/out")));
    EXPECT_FALSE(fs::exists(root.Path("res/out/first.txt"))) << "nothing is written";
    EXPECT_FALSE(fs::exists(root.Path("res/x")));
    EXPECT_FALSE(fs::exists(root.Path("x")));
  }
}

TEST(Unzip, DamagedArchivesFailAndKeepOldFiles) {
  TempRoot root;
  const std::string zip = root.Path("damaged.zip");
  const std::string data = "the data of the entry";
  ASSERT_TRUE(nettest::MakeZip(zip, {{"a.txt", data}}, true));
  std::string bytes = root.Read("damaged.zip");
  bytes[bytes.find(data)] ^= 1;  // stored, so the CRC no longer holds
  root.Write("damaged.zip", bytes);
  root.Write("out/a.txt", "old");
  EXPECT_FALSE(GCore::UnzipToFolder(zip, root.Path("out")));
  EXPECT_EQ(root.Read("out/a.txt"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(root.Path("out")), fs::directory_iterator()), 1)
      << "no temporary file left";
  root.Write("not.zip", "plain text");
  EXPECT_FALSE(GCore::UnzipToFolder(root.Path("not.zip"), root.Path("out")));
  EXPECT_FALSE(GCore::UnzipToFolder(root.Path("missing.zip"), root.Path("out")));
}

using nettest::FastClock;

// Standard output into a file while it lives.
class StdoutToFile {
 public:
  explicit StdoutToFile(std::string path) : path_(std::move(path)) {
    std::fflush(stdout);
    saved_ = dup(1);
    const int file = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(file, 1);
    close(file);
  }
  ~StdoutToFile() {
    std::fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
  }
  std::string Text() const { return nettest::ReadFile(path_); }

 private:
  std::string path_;
  int saved_;
};

class Runner : public ::testing::Test {
 protected:
  void SetUp() override { GCore::SetClock(&clock); }
  void TearDown() override {
    GCore::StopUpdateThread();
    GCore::SetClock(nullptr);
  }
  FastClock clock;
  TempRoot root;
  TempRoot served;
};

TEST_F(Runner, RunsTheTextOfTheFirstUrlThatAnswers) {
  nettest::PythonHttpServer server({"--dir", served.Path()});
  ASSERT_NE(server.Port(), 0);
  const std::string text = "update 4.0\r\ndownload " + server.Url("/bytes/5000") + " res/data.bin\r\nend\r\n";
  served.Write("update.txt", text);
  root.Write("res/.keep", "");
  StdoutToFile output(root.Path("output.txt"));
  GCore::StartUpdateThread(root.Path(), {"http://127.0.0.1:1/refused.txt", server.Url("/file/update.txt")});
  ASSERT_TRUE(nettest::WaitUntil([&] { return output.Text().find("checkupdates runcmd finish\n") != std::string::npos; }));
  EXPECT_EQ(root.Read("res/data.bin"), nettest::Pattern(5000));
  EXPECT_EQ(root.Read("write/version"), "4.0");
}

TEST_F(Runner, TextOverItsLimitIsNotRun) {
  nettest::PythonHttpServer server({"--dir", served.Path()});
  ASSERT_NE(server.Port(), 0);
  served.Write("update.txt", "end\r\n" + std::string(GCore::kUpdateTextLimit, '#'));
  StdoutToFile output(root.Path("output.txt"));
  GCore::StartUpdateThread(root.Path(), {server.Url("/file/update.txt")});
  ASSERT_TRUE(nettest::WaitUntil([&] { return output.Text().find("can not get sever cmd\n") != std::string::npos; }));
  EXPECT_FALSE(fs::exists(root.Path("write/version")));
}

// A server that sends a byte now and then never lets the command fetch time
// out; the program's exit cuts it short instead of waiting for it.
TEST_F(Runner, StoppingCutsTheCommandFetchShort) {
  nettest::PythonHttpServer server({"--log", served.Path("requests.txt")});
  ASSERT_NE(server.Port(), 0);
  GCore::StartUpdateThread(root.Path(), {server.Url("/trickle/2000")});
  ASSERT_TRUE(nettest::WaitUntil([&] { return !served.Read("requests.txt").empty(); }));
  const nettest::HangGuard guard(15, "stopping the update runner");
  GCore::StopUpdateThread();
}

}  // namespace
