// What the update commands do on a real root folder, the zip extractor, and
// the runner thread fetching its text from the python server.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "../core/TempRoot.h"
#include "FastClock.h"
#include "LoopbackServers.h"
#include "ZipFixture.h"
#include "core/MD5.h"
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

// The updater's "unzip" of an archive and a folder below the root.
bool Unzip(const TempRoot& root, const std::string& zip, const std::string& folder) {
  return GCore::FileUpdateActions(root.Path()).Unzip(root.Path(zip), root.Path(folder));
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
  ASSERT_TRUE(Unzip(root, "pack.zip", "out"));
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
    EXPECT_FALSE(Unzip(root, "evil.zip", "res/out"));
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
  EXPECT_FALSE(Unzip(root, "damaged.zip", "out"));
  EXPECT_EQ(root.Read("out/a.txt"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(root.Path("out")), fs::directory_iterator()), 1)
      << "no temporary file left";
  root.Write("not.zip", "plain text");
  EXPECT_FALSE(Unzip(root, "not.zip", "out"));
  EXPECT_FALSE(Unzip(root, "missing.zip", "out"));
}

// An archive made by python's zipfile: `entries` is a python list of
// (name, bytes) pairs, `method` a zipfile constant.
bool MakePythonZip(const std::string& path, const std::string& entries, const std::string& method) {
  const std::string command = "/usr/bin/python3 -c 'import zipfile\n"
                              "with zipfile.ZipFile(\"" + path + "\", \"w\", zipfile." + method + ") as z:\n"
                              "  [z.writestr(n, d) for n, d in " + entries + "]'";
  return std::system(command.c_str()) == 0;
}

TEST(Unzip, EntriesOfOtherMethodsRefuseTheArchive) {
  TempRoot root;
  ASSERT_TRUE(MakePythonZip(root.Path("bz.zip"), "[(\"first.txt\", b\"first\"), (\"x.txt\", b\"x\" * 1000)]",
                            "ZIP_BZIP2"));
  ASSERT_TRUE(MakePythonZip(root.Path("lz.zip"), "[(\"x.txt\", b\"x\" * 1000)]", "ZIP_LZMA"));
  for (const char* zip : {"bz.zip", "lz.zip"}) {
    SCOPED_TRACE(zip);
    EXPECT_FALSE(Unzip(root, zip, "out"));
    EXPECT_FALSE(fs::exists(root.Path("out/x.txt"))) << "never the compressed bytes under the entry's name";
    EXPECT_FALSE(fs::exists(root.Path("out/first.txt"))) << "nothing is written";
  }
}

TEST(Unzip, ForcedZip64ArchivesExtractAndAreChecked) {
  TempRoot root;
  ASSERT_EQ(std::system(("/usr/bin/python3 " ZIP_FIXTURES " " + root.Path()).c_str()), 0);
  ASSERT_TRUE(Unzip(root, "zip64.zip", "out"));
  EXPECT_EQ(root.Read("out/a.txt"), "hello, zip");
  EXPECT_EQ(root.Read("out/dir/b.bin").size(), 1024u);
  root.Write("bad/a.txt", "old");
  EXPECT_FALSE(Unzip(root, "zip64-damaged.zip", "bad")) << "the CRC is checked without the header's size";
  EXPECT_EQ(root.Read("bad/a.txt"), "old");
}

// A root with links planted below it that lead out of it, and what every
// command does with paths through them: refused, with nothing outside
// written, read or deleted.
class PlantedLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    outside.Write("victim", "outside");
    root.Write("res/.keep", "");
    ASSERT_EQ(symlink(outside.Path().c_str(), root.Path("res/pre").c_str()), 0);
    ASSERT_EQ(symlink(outside.Path().c_str(), root.Path("write").c_str()), 0);
    ASSERT_EQ(symlink(outside.Path("victim").c_str(), root.Path("res/victim").c_str()), 0);
    ASSERT_EQ(symlink(outside.Path("victim").c_str(), root.Path("res/data.bin.t").c_str()), 0);
  }
  // The outside folder holds only its victim, unchanged.
  void ExpectOutsideUntouched() {
    EXPECT_EQ(outside.Read("victim"), "outside");
    EXPECT_EQ(std::distance(fs::directory_iterator(outside.Path()), fs::directory_iterator()), 2)
        << "the victim and build/ only";
  }
  TempRoot root;
  TempRoot outside;
};

TEST_F(PlantedLinks, UnzipRefusesLinksOnItsWay) {
  ASSERT_TRUE(nettest::MakeZip(root.Path("p.zip"), {{"pre/x.txt", "x"}}));
  ASSERT_TRUE(nettest::MakeZip(root.Path("q.zip"), {{"x.txt", "x"}}));
  ASSERT_TRUE(nettest::MakeZip(root.Path("res/pre.zip"), {{"x.txt", "x"}}));
  ASSERT_EQ(symlink(root.Path("res/pre.zip").c_str(), root.Path("linked.zip").c_str()), 0);
  const struct {
    const char* zip;
    const char* folder;
  } cases[] = {{"p.zip", "res"}, {"q.zip", "res/pre"}, {"q.zip", "res/pre/deeper"}, {"linked.zip", "out"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.zip) + " into " + c.folder);
    EXPECT_FALSE(Unzip(root, c.zip, c.folder));
    ExpectOutsideUntouched();
  }
  EXPECT_FALSE(fs::exists(root.Path("out/x.txt")));
}

TEST_F(PlantedLinks, FileCommandsRefuseLinksOnTheirWay) {
  nettest::PythonHttpServer server;
  ASSERT_NE(server.Port(), 0);
  GCore::FileUpdateActions actions(root.Path());
  EXPECT_FALSE(actions.Download(server.Url("/bytes/100"), root.Path("res/pre/new.bin")));
  EXPECT_FALSE(actions.Download(server.Url("/bytes/100"), root.Path("res/data.bin"))) << "its temporary file";
  EXPECT_FALSE(actions.Delete(root.Path("res/pre/victim")));
  EXPECT_FALSE(actions.Delete(root.Path("res/victim"))) << "a link is no file to delete";
  EXPECT_TRUE(fs::is_symlink(root.Path("res/victim")));
  const std::string victimMD5 = GCore::MD5Hex("outside", 7);
  EXPECT_FALSE(actions.CheckFileMD5(root.Path("res/victim"), victimMD5));
  EXPECT_FALSE(actions.CheckFileMD5(root.Path("res/pre/victim"), victimMD5));
  outside.Write("version", "9.0");
  EXPECT_FALSE(actions.IsVersionCurrent("9.0")) << "read through the write link";
  actions.WriteInstalledVersion("2.0");
  EXPECT_EQ(outside.Read("version"), "9.0");
  outside.Write("tool", "#!/bin/sh\n");
  chmod(outside.Path("tool").c_str(), 0755);
  EXPECT_FALSE(actions.Exec(root.Path("res/pre/tool")));
  fs::remove(outside.Path("version"));
  fs::remove(outside.Path("tool"));
  ExpectOutsideUntouched();
}

TEST_F(PlantedLinks, UpdateStopsWithoutRecordingItsVersion) {
  nettest::FastClock clock;
  GCore::SetClock(&clock);
  nettest::PythonHttpServer server;
  ASSERT_NE(server.Port(), 0);
  ASSERT_TRUE(nettest::MakeZip(root.Path("res/p.zip"), {{"pre/x.txt", "x"}}));
  ASSERT_TRUE(fs::remove(root.Path("write")));
  const std::string lines[] = {"unzip res/p.zip res", "download " + server.Url("/bytes/10") + " res/pre/x.bin",
                               "delete res/pre/victim", "exec res/pre/victim"};
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    GCore::FileUpdateActions actions(root.Path());
    GCore::runcmd("update 5.0\r\n" + line + "\r\nend\r\n", root.Path(), actions);
    EXPECT_FALSE(fs::exists(root.Path("write/version")));
    ExpectOutsideUntouched();
  }
  GCore::SetClock(nullptr);
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

TEST_F(Runner, ArchiveThroughAPlantedLinkFailsTheUpdate) {
  nettest::PythonHttpServer server({"--dir", served.Path()});
  ASSERT_NE(server.Port(), 0);
  TempRoot outside;
  ASSERT_TRUE(nettest::MakeZip(served.Path("p.zip"), {{"pre/x.txt", "x"}}));
  served.Write("update.txt", "update 4.0\r\ndownload " + server.Url("/file/p.zip") +
                                 " write/p.zip\r\nunzip write/p.zip write/out\r\nend\r\n");
  root.Write("write/out/.keep", "");
  ASSERT_EQ(symlink(outside.Path().c_str(), root.Path("write/out/pre").c_str()), 0);
  StdoutToFile output(root.Path("output.txt"));
  GCore::StartUpdateThread(root.Path(), {server.Url("/file/update.txt")});
  ASSERT_TRUE(nettest::WaitUntil([&] { return output.Text().find("checkupdates runcmd finish\n") != std::string::npos; }));
  EXPECT_TRUE(fs::exists(root.Path("write/p.zip")));
  EXPECT_FALSE(fs::exists(outside.Path("x.txt")));
  EXPECT_FALSE(fs::exists(root.Path("write/version")));
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
