// The update command interpreter with recorded actions: which lines run,
// where the run stops, and paths that never leave the root folder.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "net/UpdateScript.h"

namespace {

const std::string kRoot = "/games/root";

// Records every action as a line of text; answers from its settings.
class Recorder : public GCore::UpdateActions {
 public:
  void Pause() override { ++pauses; }
  bool Aborted() override { return abortAfterPauses >= 0 && pauses > abortAfterPauses; }
  bool IsVersionCurrent(const std::string& version) override {
    calls.push_back("current? " + version);
    return version == installed;
  }
  bool CheckFileMD5(const std::string& path, const std::string& hex) override {
    calls.push_back("md5 " + path + " " + hex);
    return matching.count(path + " " + hex) > 0;
  }
  bool Exec(const std::string& path) override {
    calls.push_back("exec " + path);
    return succeed;
  }
  bool Download(const std::string& url, const std::string& path) override {
    calls.push_back("download " + url + " " + path);
    return succeed;
  }
  bool Unzip(const std::string& zip, const std::string& folder) override {
    calls.push_back("unzip " + zip + " " + folder);
    return succeed;
  }
  bool Delete(const std::string& path) override {
    calls.push_back("delete " + path);
    return succeed;
  }
  void WriteInstalledVersion(const std::string& version) override { calls.push_back("version " + version); }

  std::string installed = "1.0";
  std::set<std::string> matching;
  bool succeed = true;
  int pauses = 0;
  int abortAfterPauses = -1;
  std::vector<std::string> calls;
};

using Calls = std::vector<std::string>;

Calls RunText(const std::string& text, Recorder recorder = Recorder()) {
  GCore::runcmd(text, kRoot, recorder);
  return recorder.calls;
}

TEST(UpdateScript, UpdateLineDecidesWhetherToGoOn) {
  Recorder proven;
  proven.installed = "2.0";
  proven.matching = {kRoot + "/res/a.pak 0cc175b9c0f1b6a831c399e269772661"};
  struct Case {
    const char* what;
    std::string text;
    Recorder recorder;
    Calls calls;
  };
  const Case cases[] = {
      {"installed, nothing to check", "update 1.0\r\nend", Recorder(), {"current? 1.0"}},
      {"newer", "update 2.0\r\nend", Recorder(), {"current? 2.0", "version 2.0"}},
      {"proven by its file",
       "update 2.0 checkmd5 res/a.pak 0cc175b9c0f1b6a831c399e269772661\r\nend",
       proven,
       {"current? 2.0", "md5 " + kRoot + "/res/a.pak 0cc175b9c0f1b6a831c399e269772661"}},
      {"its file differs",
       "update 2.0 checkmd5 res/a.pak 00000000000000000000000000000000\r\nend",
       proven,
       {"current? 2.0", "md5 " + kRoot + "/res/a.pak 00000000000000000000000000000000", "version 2.0"}},
      {"a file outside the root never matches",
       "update 2.0 checkmd5 ../a.pak 0cc175b9c0f1b6a831c399e269772661\r\nend",
       proven,
       {"current? 2.0", "version 2.0"}},
      {"another third word", "update 2.0 check res/a.pak x\r\nend", proven, {"current? 2.0", "version 2.0"}},
      {"checkmd5 without a pair", "update 2.0 checkmd5 res/a.pak\r\nend", proven, {"current? 2.0"}},
      {"a lone first word of a pair", "update 2.0 checkmd5 res/a.pak 0cc175b9c0f1b6a831c399e269772661 res/b\r\nend",
       proven, {"current? 2.0", "md5 " + kRoot + "/res/a.pak 0cc175b9c0f1b6a831c399e269772661"}},
      {"update without its version", "update\r\nend", Recorder(), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(RunText(c.text, c.recorder), c.calls);
  }
}

TEST(UpdateScript, CommandsRunInOrderUntilOneStops) {
  Recorder failing;
  failing.succeed = false;
  struct Case {
    const char* what;
    std::string text;
    Recorder recorder;
    Calls calls;
  };
  const Case cases[] = {
      {"a typical text",
       "update 3.1\r\ndownload http://h/p.zip res/p.zip\r\nunzip res/p.zip res\r\ndelete res/p.zip\r\n"
       "exec bin/tool\r\nend\r\n",
       Recorder(),
       {"current? 3.1", "download http://h/p.zip " + kRoot + "/res/p.zip",
        "unzip " + kRoot + "/res/p.zip " + kRoot + "/res", "delete " + kRoot + "/res/p.zip", "exec " + kRoot + "/bin/tool",
        "version 3.1"}},
      {"a failed download stops", "download http://h/a a\r\nend", failing, {"download http://h/a " + kRoot + "/a"}},
      {"a failed exec stops", "exec a\r\nend", failing, {"exec " + kRoot + "/a"}},
      {"a failed unzip stops", "unzip a.zip .\r\nend", failing, {"unzip " + kRoot + "/a.zip " + kRoot}},
      {"delete goes on past a missing file", "delete a\r\nend", Recorder(), {"delete " + kRoot + "/a", "version 1.0"}},
      {"a refused delete stops", "delete a\r\nend", failing, {"delete " + kRoot + "/a"}},
      {"too few words stop", "download http://h/a\r\nend", Recorder(), {}},
      {"exec alone stops", "exec\r\nend", Recorder(), {}},
      {"other words are ignored", "# note\r\nUpdate 9\r\n\r\nend", Recorder(), {"version 1.0"}},
      {"bare line feeds make one line", "delete a\nend\nend", Recorder(), {"delete " + kRoot + "/a\nend\nend"}},
      {"two spaces make an empty word",
       "download  http://h/a a\r\nend",
       Recorder(),
       {"download  " + kRoot + "/http:/h/a", "version 1.0"}},
      {"a trailing space adds no word", "exec a \r\nend", Recorder(), {"exec " + kRoot + "/a", "version 1.0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(RunText(c.text, c.recorder), c.calls);
  }
}

TEST(UpdateScript, PathsOutsideTheRootStopTheRun) {
  const std::string lines[] = {
      "download http://h/a ../escape",
      "download http://h/a res/../../escape",
      "download http://h/a /etc/passwd",
      "download http://h/a /games/rootkit/x",
      "download http://h/a C:/windows/x.exe",
      "download http://h/a .",
      "exec ../../bin/sh",
      "delete /games/root/../other",
      "unzip ../a.zip res",
      "unzip res/a.zip ../..",
  };
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    EXPECT_EQ(RunText(line + "\r\nend"), Calls{});
  }
  EXPECT_EQ(RunText("delete /games/root/./a//b/../c\r\nend"), (Calls{"delete " + kRoot + "/a/c", "version 1.0"}));
}

TEST(UpdateScript, AbortEndsTheRunBeforeItsNextLine) {
  Recorder recorder;
  recorder.abortAfterPauses = 2;
  EXPECT_EQ(RunText("delete a\r\ndelete b\r\ndelete c\r\nend", recorder),
            (Calls{"delete " + kRoot + "/a", "delete " + kRoot + "/b"}));
}

TEST(UpdateScript, SplitAndResolve) {
  using Pieces = std::vector<std::string>;
  EXPECT_EQ(GCore::SplitString("", " "), Pieces{});
  EXPECT_EQ(GCore::SplitString("a  b ", " "), (Pieces{"a", "", "b"}));
  EXPECT_EQ(GCore::SplitString("\r\n", "\r\n"), Pieces{""});
  EXPECT_EQ(GCore::SplitString("x\r\n\r\ny", "\r\n"), (Pieces{"x", "", "y"}));
  EXPECT_EQ(GCore::ResolveUpdatePath(kRoot, "res/x.zip").value_or("-"), kRoot + "/res/x.zip");
  EXPECT_EQ(GCore::ResolveUpdatePath(kRoot, "/games/root/res").value_or("-"), kRoot + "/res");
  EXPECT_EQ(GCore::ResolveUpdatePath(kRoot, "/games/root").value_or("-"), "-");
  EXPECT_EQ(GCore::ResolveUpdateFolder(kRoot, "/games/root").value_or("-"), kRoot);
  EXPECT_EQ(GCore::ResolveUpdatePath("", "res/x").value_or("-"), "-");
  EXPECT_EQ(GCore::ResolveUpdatePath(kRoot, "").value_or("-"), "-");
}

}  // namespace
