// A script builds a stage of quads showing PNG resources; they must appear in
// the window, and real X input must reach them as script events.
#include <gtest/gtest.h>

#include <signal.h>

#include <vector>

#include "ProgramRun.h"
#include "platform/XvfbServer.h"
#include "render/PNG.h"

namespace {

// A solid square PNG in the root.
void SolidPng(const e2e::GameRoot& root, const std::string& relative, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> pixels;
  for (int i = 0; i < 16 * 16; ++i) pixels.insert(pixels.end(), {r, g, b, 255});
  root.Write(relative, "");
  ASSERT_EQ(GCore::WritePng(root.Path(relative).c_str(), pixels.data(), 16, 16), 0);
}

using e2e::PixelAt;
using e2e::Rgb;

class Scene : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbServer::Installed()) GTEST_SKIP() << "no Xvfb on this machine";
    ASSERT_TRUE(e2e::EnsureDisplay()) << e2e::DisplayError();
    SolidPng(root, "loader/img/0001.png", 255, 0, 0);
    SolidPng(root, "loader/img/0002.png", 0, 0, 255);
    root.Write("loader/script/gameinit.lua", R"(
local g = require('gcore.c')
g_dir = { [0x01050000] = 'img' }
g_ext = { [0x50000000] = '.png' }
g.SetWinName('e2e scene')
g.SetResourceSize(400, 300)
)");
    // Entities placed on the stage take the whole design area, so the quads
    // sit in such a layer: red fills the left half, blue the right half.
    // Blue answers the pointer; keys go to the stage's entities, the layer.
    root.Write("loader/script/gamestart.lua", R"(
local g = require('gcore.c')
local layer = g.Entity()
g.Stage().addChild(layer)
layer.x, layer.y = 0, 0
local function quad(media, x)
  local q = g.Quad()
  q.media = media
  q.width, q.height = 200, 300
  q.x, q.y = x, 0
  layer.addChild(q)
  return q
end
quad(0x51050001, -100)
local blue = quad(0x51050002, 100)
blue.mouseEnabled = true
blue.c_input = {
  mouseDown = function(self, target) g.clog('blue mouseDown\n') end,
  mouseUp = function(self, target) g.clog('blue mouseUp\n') end,
  click = function(self, target) g.clog('blue click ' .. tostring(target == blue) .. '\n') end,
}
layer.c_keys = {
  keyDown = function(self, target, key) g.clog('layer keyDown ' .. key:byte() .. '\n') end,
}
local frames = 0
g.SetMainloop(function(t)
  frames = frames + 1
  if frames == 5 then g.clog('scene ready\n') end
end)
)");
  }
  e2e::GameRoot root;
};

TEST_F(Scene, QuadsAppearAndRealInputReachesThem) {
  Rgb left{}, right{}, bottomLeft{}, topRight{};
  bool captured = false;
  bool typed = false;
  unsigned long window = 0;
  const e2e::RunResult run = e2e::Run(root, {}, 60, [&](pid_t program) {
    window = e2e::FindWindow("e2e scene", 30000);
    if (!window || !e2e::WaitForLog(root, "scene ready", 30000)) {
      kill(program, SIGKILL);
      return;
    }
    const std::string shot = root.Path("shot.png");
    captured = e2e::CaptureWindow(window, shot);
    left = PixelAt(shot, 100, 150);
    right = PixelAt(shot, 300, 150);
    bottomLeft = PixelAt(shot, 2, 297);
    topRight = PixelAt(shot, 397, 2);
    const std::string id = std::to_string(window);
    typed = e2e::RunCommand({"xdotool", "windowfocus", "--sync", id, "mousemove", "--window", id, "300", "150",
                             "click", "1", "key", "Right"});
    e2e::WaitForLog(root, "layer keyDown", 10000);
    e2e::RequestClose(window);
  });
  ASSERT_NE(window, 0u) << run.output;
  ASSERT_FALSE(run.timedOut) << run.output;
  EXPECT_EQ(run.exitCode, 0) << run.output;
  ASSERT_TRUE(captured);
  EXPECT_EQ(left.r, 255);
  EXPECT_EQ(left.g, 0);
  EXPECT_EQ(left.b, 0);
  EXPECT_EQ(right.r, 0);
  EXPECT_EQ(right.g, 0);
  EXPECT_EQ(right.b, 255);
  EXPECT_EQ(bottomLeft.r, 255) << "the scene fills the window to its corners";
  EXPECT_EQ(topRight.b, 255);
  ASSERT_TRUE(typed);
  const std::vector<std::string> events = e2e::LinesWith(run.log, "Down");
  EXPECT_EQ(events, (std::vector<std::string>{"blue mouseDown", "layer keyDown 39"})) << run.log;
  EXPECT_EQ(e2e::LinesWith(run.log, "blue mouseUp").size(), 1u) << run.log;
  EXPECT_EQ(e2e::LinesWith(run.log, "blue click true").size(), 1u) << run.log;
}

}  // namespace
