// The example roots of the guide (docs/examples), run as a reader runs them:
// each starts, reaches its ready line, closes with its window and logs no
// script error; the display example draws what it says.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ProgramRun.h"
#include "platform/XvfbServer.h"

namespace {

struct Example {
  std::string name;
  std::vector<std::string> lines;  // each must be in the log exactly once
};

const Example kExamples[] = {
    {"hello",
     {"hello: gameinit, design size 640 x 480", "hello: KeyState('left') = 0, no error", "hello: ready, 10 frames in",
      "hello: closing after"}},
    {"display",
     {"display: the layer is 800 x 600", "display: a new quad is 100 x 100 at x, y = 50, 50",
      "display: ready, the button's corner is at (304, 64) on the stage"}},
    {"text", {"text: ready, the paragraph has 3 lines"}},
    {"modules",
     {"modules: sha1(abc) = a9993e364706816aba3e25717850c26c9cd0d89d", "modules: des round trip: meet at noon",
      "modules: shared secrets match: true", "modules: msgpack round trip: ball at 3.0, red and round",
      "modules: the same seed, the same draws: true", "modules: ready"}},
    {"persistence",
     {"persistence: Will you help me, Ada?", "persistence: visits so far: 2",
      "persistence: Thank you! Here are 5 gold.", "persistence: Ada has 15 gold; the cycle holds: true",
      "persistence: The quest is over.", "persistence: ready"}},
    {"grammars",
     {"grammars: 1 + 2 + 3 = 6", "grammars: width = 640, title = My game", "grammars: [1, 2,, 3]: label 1 at 7",
      "grammars: missing items at 4 and 8", "grammars: ready"}},
    {"files",
     {"files: the save holds: level=3 coins=120 ", "files: 1000 bytes zipped to 37, back the same: true",
      "files: around the wall: 0,1 0,2 0,3 1,3 2,3 2,2 2,1 2,0", "files: ready"}},
    {"skeletons",
     {"skeletons: 7 bones, 8 slots, animations sway and curl", "skeletons: curling for 1000.0 ms",
      "skeletons: the curl completed, now playing sway", "skeletons: ready"}},
    // The tests' audio device is OpenAL's null back end.
    {"sound", {"sound: the music starts: true", "sound: the music is fading in", "sound: ready", "sound: closing"}},
    {"tilemap",
     {"tilemap: the room is 20 x 12 tiles, 640 x 384 pixels", "tilemap: cell (13, 4) holds tile 3, drawn from image 51050014",
      "tilemap: the centre of (13, 4) is (112, 48); pick finds (13, 4)",
      "tilemap: a child stands on layer 0 unless told; the walker on layer 2", "tilemap: ready"}},
    {"git", {"git: ls-files: note.txt", "git: ready"}},
};

// Colour channels of a capture are compared within this distance.
constexpr int kTolerance = 24;

bool Near(e2e::Rgb seen, e2e::Rgb expected) {
  return std::abs(seen.r - expected.r) <= kTolerance && std::abs(seen.g - expected.g) <= kTolerance &&
         std::abs(seen.b - expected.b) <= kTolerance;
}

class DocsExamples : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbServer::Installed()) GTEST_SKIP() << "no Xvfb on this machine";
    ASSERT_TRUE(e2e::EnsureDisplay()) << e2e::DisplayError();
  }
};

TEST_F(DocsExamples, EachRunsAndClosesWithItsWindow) {
  for (const Example& example : kExamples) {
    SCOPED_TRACE(example.name);
    e2e::GameRoot root;
    e2e::CopyGameFiles(std::string(QUARVELIN_DOCS_EXAMPLES) + "/" + example.name, root);
    const std::string shot = root.Path("window.png");
    bool captured = false;
    const e2e::RunResult run = e2e::Run(root, {}, 60, [&](pid_t program) {
      const unsigned long window = e2e::WaitForLog(root, example.name + ": ready", 30000)
                                       ? e2e::FindWindow("quarvelin example: " + example.name, 10000)
                                       : 0;
      if (!window) {
        kill(program, SIGKILL);
        return;
      }
      captured = e2e::CaptureWindow(window, shot);
      e2e::RequestClose(window);
    });
    ASSERT_FALSE(run.timedOut) << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(captured);
    for (const std::string& line : example.lines) {
      EXPECT_EQ(e2e::LinesWith(run.log, line).size(), 1u) << line << "\n" << run.log;
    }
    // Script errors are logged with a traceback, syntax errors as "***".
    EXPECT_TRUE(e2e::LinesWith(run.log, "stack traceback:").empty()) << run.log;
    EXPECT_TRUE(e2e::LinesWith(run.log, "***").empty()) << run.log;
    if (example.name == "display" && captured) {
      // Near the top, off the grid lines and the ball's path: the background
      // image (dark blue); at the bottom: the button's face (light blue).
      // The window shows the 800 x 600 design one to one.
      const e2e::Rgb background = e2e::PixelAt(shot, 420, 100);
      EXPECT_GT(background.b, background.r + 30);
      EXPECT_LT(background.b, 170);
      EXPECT_TRUE(Near(e2e::PixelAt(shot, 400, 500), {90, 170, 240}));
    }
    if (example.name == "tilemap" && captured) {
      // The room's top-left wall tile (a stone brick) and a pond tile, far
      // from the walker's path; outside the room the stage is black.
      EXPECT_TRUE(Near(e2e::PixelAt(shot, 84, 110), {150, 150, 160}));
      EXPECT_TRUE(Near(e2e::PixelAt(shot, 500, 238), {40, 100, 200}));
      EXPECT_TRUE(Near(e2e::PixelAt(shot, 40, 300), {0, 0, 0}));
    }
    if (example.name == "text" && captured) {
      // The title's first word is gold, its last sky blue, above it black.
      e2e::Picture picture;
      ASSERT_TRUE(picture.Load(shot));
      EXPECT_GT(picture.Count(260, 35, 540, 70, [](int r, int g, int b) { return Near({r, g, b}, {255, 200, 48}); }), 100);
      EXPECT_GT(picture.Count(260, 35, 540, 70, [](int r, int g, int b) { return Near({r, g, b}, {96, 176, 255}); }), 100);
      EXPECT_TRUE(Near(e2e::PixelAt(shot, 400, 20), {0, 0, 0}));
    }
    if (example.name == "skeletons" && captured) {
      // The base segment of the tentacle, 130 units below the window's
      // centre: a round region tinted green twice by its slot's colour.
      const e2e::Rgb base = e2e::PixelAt(shot, 400, 430);
      EXPECT_GT(base.g, base.r + 100);
      EXPECT_GT(base.g, base.b + 60);
    }
  }
}

// `make run ROOT=docs/examples/hello` leaves the program and its log in the
// example's build/ (and saves in write/): the copy into a test root, which
// holds its own program, must still work and keep that program.
TEST(DocsExampleCopy, AnExampleThatWasRunCopiesIntoATestRoot) {
  TempRoot example;
  example.Write("loader/script/gamestart.lua", "-- the example\n");
  example.Write("build/bin/quarvelin", "a program left by make run");
  example.Write("build/log.txt", "a log left by make run");
  example.Write("write/loader/save.dat", "a reader's save");
  e2e::GameRoot root;
  const auto programSize = std::filesystem::file_size(root.Path("build/bin/quarvelin"));
  e2e::CopyGameFiles(example.Path(), root);
  EXPECT_EQ(root.Read("loader/script/gamestart.lua"), "-- the example\n");
  EXPECT_EQ(std::filesystem::file_size(root.Path("build/bin/quarvelin")), programSize);
  EXPECT_FALSE(std::filesystem::exists(root.Path("build/log.txt")));
  EXPECT_FALSE(std::filesystem::exists(root.Path("write/loader/save.dat")));
}

}  // namespace
