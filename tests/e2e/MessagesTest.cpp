// What the program tells an author about the usual mistakes: each root below
// holds one mistake, and the run must say, in one line, what to fix. Lines
// marked `toTerminal` are about a window that would otherwise stay black:
// they must reach standard error as well as the log.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ProgramRun.h"
#include "platform/XvfbServer.h"

namespace {

// Ids of kinds 9 (sounds), 5 (images) and 0xC (tile maps) under loader/res.
const char* const kTables =
    "g_dir = {[0x10000] = 'res'}\n"
    "g_ext = {[0x90000000] = '.mp3', [0x50000000] = '.png', [0xC0000000] = '.tmx'}\n";

// A gamestart that runs `setup`, then `everyFrame` in each frame, and reports
// `ready` after the given game time (the test ends the program once it has
// seen what it waits for).
std::string ReadyAfter(int ms, const std::string& setup, const std::string& everyFrame = "") {
  return "local g = require('gcore.c')\n" + std::string(kTables) + setup + "g.SetMainloop(function(t) " +
         everyFrame + " if t >= " + std::to_string(ms) + " and not said then said = true g.clog('ready\\n') end end)\n";
}

// How a case is run and read.
enum Where : int {
  kLog = 0,         // the lines go to the log and the output
  kTerminal = 1,    // a black window: they must reach standard error too
  kNoDisplay = 2,   // run without a display and with real message boxes
};

struct Case {
  const char* what;
  std::vector<std::pair<std::string, std::string>> files;
  // Each must be in the output exactly once, and in the log unless it is one
  // of the lines written to standard error only; "{root}" stands for the root.
  std::vector<std::string> lines;
  // Texts that must be nowhere in the output.
  std::vector<std::string> absent;
  int where;
};

const Case kCases[] = {
    {"a root without its first project folder",
     {{"res/common/.keep", ""}},
     {"nothing to start: the game root {root} has no folder loader/ (looked for {root}/loader/script/gamestart.lua)"},
     {},
     kTerminal},
    {"a first project without its start script",
     {{"loader/script/gameinit.lua", "require('gcore.c').clog('gameinit ran\\n')\n"}},
     {"gameinit ran",
      "nothing to start: no script gamestart (looked for {root}/loader/script/gamestart.lua and "
      "{root}/res/common/script/gamestart.lua)"},
     {},
     kTerminal},
    {"a restart into an empty path",
     {{"loader/script/gamestart.lua",
       "local g = require('gcore.c')\n"
       "g.clog('before the restart\\n')\n"
       "g.SetMainloop(function(t) if g.GetRestartTime() == 0 then g.Restart('loader', '') end end)\n"}},
     {"before the restart", "---- restart 1: loader ----",
      "Restart: the root \"\" could not be opened: it is neither a folder holding res/ nor a git repository"},
     {"nothing to start"},
     kTerminal},
    {"a restart into a misspelt folder",
     {{"loader/script/gamestart.lua",
       "local g = require('gcore.c')\n"
       "g.SetMainloop(function(t) if g.GetRestartTime() == 0 then g.Restart('loader', 'gmae') end end)\n"}},
     {"Restart: the root \"gmae\" could not be opened"},
     {"nothing to start"},
     kTerminal},
    {"a sound id without a file, played every frame",
     {{"loader/script/gamestart.lua", ReadyAfter(500, "", "g.Play(0x90010007, 1)")}},
     {"sound 0x90010007 of project 1 not found (no file {root}/loader/res/0007.mp3, "
      "{root}/res/common/res/0007.mp3)"},
     {},
     kLog},
    {"an image id without a file",
     {{"loader/script/gamestart.lua",
       ReadyAfter(300, "local q = g.Quad() q.media = 0x50010009 g.Stage().addChild(q)\n")}},
     {"image 0x50010009 of project 1 not found (no file {root}/loader/res/0009.png, "
      "{root}/res/common/res/0009.png"},
     {},
     kLog},
    {"a tile map id without a file",
     {{"loader/script/gamestart.lua", ReadyAfter(300, "local m = g.TiledMap() m.mapId = 0xC0010003\n")}},
     {"ERROR: tmx path is null: map 0xc0010003 not found (no file {root}/loader/res/0003.tmx, "
      "{root}/res/common/res/0003.tmx)"},
     {},
     kLog},
    {"a tile map file that is no TMX map",
     {{"loader/res/0004.tmx", "a note, not a map\n"},
      {"loader/script/gamestart.lua", ReadyAfter(300, "local m = g.TiledMap() m.mapId = 0xC0010004\n")}},
     {"ERROR: tmx path is null: map 0xc0010004, {root}/loader/res/0004.tmx cannot be read as a TMX map"},
     {},
     kLog},
    {"a misspelt function",
     {{"loader/script/gamestart.lua", "local g = require('gcore.c')\ng.SetMainlop(function() end)\n"}},
     {"loader:[string \"gamestart\"]:2: attempt to call a nil value (field 'SetMainlop')"},
     {"pname"},
     kLog},
    {"a syntax error",
     {{"loader/script/gamestart.lua", "local g = require('gcore.c')\nif then\n"}},
     {"***[string \"gamestart\"]:2: unexpected symbol near 'then'"},
     {"nothing to start"},
     kLog},
    {"an error whose box cannot be shown",
     {{"loader/script/gameinit.lua", "error('no box for me')\n"}},
     {"loader:[string \"gameinit\"]:1: no box for me", "the message box \"error\" could not be shown: "},
     {},
     kNoDisplay},
};

class Messages : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbServer::Installed()) GTEST_SKIP() << "no Xvfb on this machine";
    ASSERT_TRUE(e2e::EnsureDisplay()) << e2e::DisplayError();
  }
};

std::string WithRoot(std::string text, const std::string& root) {
  for (size_t at = text.find("{root}"); at != std::string::npos; at = text.find("{root}", at + root.size())) {
    text.replace(at, 6, root);
  }
  return text;
}

// The tile-map loader's own channel and the failed message box write to
// standard error alone.
bool OnStandardErrorOnly(const std::string& line) {
  return line.rfind("ERROR: ", 0) == 0 || line.rfind("the message box", 0) == 0;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST_F(Messages, EachMistakeEndsInOneLineThatSaysWhatToFix) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    e2e::GameRoot root;
    for (const auto& [path, text] : c.files) root.Write(path, text);
    std::vector<std::string> lines;
    for (const std::string& line : c.lines) lines.push_back(WithRoot(line, root.Path()));
    // The window stays black for most of these: the run ends when every line
    // has been said (and a little later, to catch a repeat), or after 30 s.
    const auto whileRunning = [&](pid_t program) {
      for (const std::string& line : lines) e2e::WaitForOutput(root, line, 30000);
      e2e::WaitForOutput(root, "ready", 2000);
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      kill(program, SIGKILL);
    };
    e2e::RunOptions options;
    std::string display;
    if (c.where & kNoDisplay) {
      options.unset = {"QUARVELIN_NO_DIALOGS"};
      display = std::getenv("DISPLAY");
      unsetenv("DISPLAY");
    }
    const e2e::RunResult run = e2e::Run(root, {}, 60, whileRunning, options);
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    for (const std::string& line : lines) {
      EXPECT_EQ(Count(run.output, line), 1u) << line << "\nin the output:\n" << run.output;
      EXPECT_EQ(Count(run.log, line), OnStandardErrorOnly(line) ? 0u : 1u)
          << line << "\nin the log:\n" << run.log;
    }
    for (const std::string& text : c.absent) {
      EXPECT_EQ(run.output.find(text), std::string::npos) << text << "\n" << run.output;
    }
  }
}

// The terminal lines go to standard error: a person who started the program
// from a shell with its standard output elsewhere still sees them.
TEST_F(Messages, BlackWindowLinesReachStandardError) {
  for (const Case& c : kCases) {
    if (!(c.where & kTerminal)) continue;
    SCOPED_TRACE(c.what);
    e2e::GameRoot root;
    for (const auto& [path, text] : c.files) root.Write(path, text);
    const std::string first = WithRoot(c.lines.back(), root.Path());
    e2e::RunOptions options;
    options.stdoutToNull = true;
    const e2e::RunResult run = e2e::Run(
        root, {}, 60,
        [&](pid_t program) {
          e2e::WaitForOutput(root, first, 30000);
          kill(program, SIGKILL);
        },
        options);
    EXPECT_EQ(Count(run.output, first), 1u) << first << "\n" << run.output;
  }
}

// The guide's table of black-window lines says what the program prints: each
// line of it (R for the root, "path" and "..." for what varies) begins a line
// of a case above.
TEST(MessagesGuide, TheTableOfBlackWindowLinesMatchesTheProgram) {
  std::ifstream in(QUARVELIN_DOCS "/getting-started.md");
  ASSERT_TRUE(in) << "no getting-started.md";
  int rows = 0;
  for (std::string line; std::getline(in, line);) {
    // Rows whose last cell is a quoted line.
    if (line.rfind("| ", 0) != 0 || line.size() < 8 || line.compare(line.size() - 3, 3, "` |") != 0) continue;
    const size_t end = line.size() - 3;
    const size_t begin = line.rfind('`', end - 1) + 1;
    std::string said = line.substr(begin, end - begin);
    for (const char* cut : {"\"path\"", "..."}) {
      if (const size_t at = said.find(cut); at != std::string::npos) said.resize(at);
    }
    for (size_t at = said.find("R/"); at != std::string::npos; at = said.find("R/", at + 7)) {
      said.replace(at, 1, "{root}");
    }
    for (size_t at = said.find(" R "); at != std::string::npos; at = said.find(" R ", at + 7)) {
      said.replace(at + 1, 1, "{root}");
    }
    SCOPED_TRACE(said);
    bool found = false;
    for (const Case& c : kCases) {
      for (const std::string& expected : c.lines) found = found || expected.rfind(said, 0) == 0;
    }
    EXPECT_TRUE(found) << "the guide shows a line the program does not print";
    ++rows;
  }
  EXPECT_EQ(rows, 3);
}

TEST_F(Messages, AScriptErrorIsPrintedOnceWithItsProjectsName) {
  e2e::GameRoot root;
  root.Write("loader/script/gamestart.lua",
             "local g = require('gcore.c')\n"
             "g.SetMainloop(function(t) if t > 100 then g.QuitGame() end end)\n"
             "error('boom')\n");
  const e2e::RunResult run = e2e::Run(root);
  ASSERT_FALSE(run.timedOut) << run.output;
  // The box's stand-in under the tests shows the edited text (no quotes) in
  // its own line; the error itself is printed once.
  EXPECT_EQ(Count(run.log, "boom"), 2u) << run.log;
  EXPECT_EQ(Count(run.log, "loader:[string \"gamestart\"]:3: boom\nstack traceback:"), 1u) << run.log;
  EXPECT_EQ(Count(run.log, "[error] [string gamestart]:3: boom"), 1u) << run.log;
}

TEST_F(Messages, ADefaultBuildHasNoUpdaterAndSaysNothingAboutIt) {
  if (*BUILT_IN_UPDATE_URL) GTEST_SKIP() << "this build names an update list: " << BUILT_IN_UPDATE_URL;
  e2e::GameRoot root;
  // The updater asks its list 2 s after start; 3 s is past that.
  root.Write("loader/script/gamestart.lua",
             "local g = require('gcore.c')\n"
             "g.SetMainloop(function(t) if t >= 3000 then g.QuitGame() end end)\n");
  const e2e::RunResult run = e2e::Run(root);
  ASSERT_FALSE(run.timedOut) << run.output;
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.output.find("sever cmd"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("checkupdates"), std::string::npos) << run.output;
}

}  // namespace
