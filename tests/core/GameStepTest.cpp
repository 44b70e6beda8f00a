#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "game/FrameStep.h"
#include "game/GameIF.h"
#include "game/Input.h"
#include "platform/Clock.h"
#include "platform/HeadlessGL.h"
#include "platform/MessageBox.h"
#include "platform/MessagePump.h"
#include "platform/Messages.h"
#include "render/Image.h"
#include "render/Renderer.h"
#include "render/ResourceManager.h"
#include "render/Texture.h"

namespace {

TEST(GameStep, TimeScaleTable) {
  const struct {
    int32_t scale;
    uint32_t elapsed;
    uint32_t step;
    int32_t scaleAfter;
  } cases[] = {
      {1000, 16, 16, 1000}, {500, 1, 1, 500}, {0, 20, 1, 0},  {2000, 20, 40, 2000},
      {-33, 20, 33, 0},     {-33, 0, 33, 0},  {1000, 0, 0, 1000}, {0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    GCore::GameIF game("loader", "/nonexistent-root");
    game.timeScale = c.scale;
    game.gameTime = 100;
    game.Update(c.elapsed);
    EXPECT_EQ(game.lastStep, c.step) << c.scale << " x " << c.elapsed;
    EXPECT_EQ(game.gameTime, 100 + c.step) << c.scale << " x " << c.elapsed;
    EXPECT_EQ(game.timeScale, c.scaleAfter) << c.scale << " x " << c.elapsed;
  }
}

}  // namespace

namespace {

TEST(GameSpeedKeys, CapsLockKeysChangeTheSpeed) {
  GCore::GameIF game("loader", "/nonexistent-root");
  GCore::g_game = &game;
  const struct {
    int32_t before;
    uint32_t key;
    int32_t after;
  } cases[] = {
      {1000, 43, 2000}, {1000, 45, 500},  {-7, 45, -3}, {1000, 48, 0},   {0, 48, 1024},
      {0, 32, -33},     {1000, 32, 1000}, {1000, 65, 1000}, {INT32_MAX, 43, INT32_MAX}, {INT32_MIN, 43, INT32_MIN},
  };
  for (const auto& c : cases) {
    game.timeScale = c.before;
    GCore::ApplyGameSpeedKey(c.key);
    EXPECT_EQ(game.timeScale, c.after) << c.before << " key " << c.key;
  }
  // '0' pauses, space steps once, the next frame advances exactly 33 ms.
  game.timeScale = 1000;
  GCore::ApplyGameSpeedKey(48);
  GCore::ApplyGameSpeedKey(32);
  game.gameTime = 0;
  game.Update(20);
  EXPECT_EQ(game.gameTime, 33u);
  EXPECT_EQ(game.timeScale, 0);
  GCore::g_game = nullptr;
}

}  // namespace

namespace {

// The run states that the game object or the engine set for the next frame.
struct FrameCounts {
  int updates = 0;
  int shutdowns = 0;
};
FrameCounts g_counts;

class FrameProbe : public GCore::GameIF {
 public:
  FrameProbe() : GameIF("loader", "/nonexistent-root") {}
  void Update(uint32_t) override { ++g_counts.updates; }
  void Render() override {}
  void Shutdown() override {
    ++g_counts.shutdowns;
    GameIF::Shutdown();
  }
};

class FrameStep : public ::testing::Test {
 protected:
  void SetUp() override {
    g_counts = {};
    GCore::g_runState = GCore::kRunRunning;
    GCore::g_glyphScratch = std::make_unique<uint8_t[]>(GCore::kGlyphScratchSize);
    GCore::SetMessageBoxHook([](const char* title, const char* text) {
      boxes.push_back(std::string(title) + ": " + text);
      return GCore::kMessageBoxOk;
    });
  }
  void TearDown() override {
    if (GCore::g_game) GCore::EndGame();
    GCore::g_frameWatch = {};
    GCore::SetClock(nullptr);
    GCore::g_glyphScratch.reset();
    GCore::g_runState = GCore::kRunRunning;
    GCore::SetMessageBoxHook(nullptr);
    boxes.clear();
  }
  static inline std::vector<std::string> boxes;
};

TEST_F(FrameStep, TheGameObjectsQuitEndsTheProgramAtTheNextFrame) {
  GCore::StartGame(std::make_unique<FrameProbe>());
  GCore::g_game->Quit();
  EXPECT_EQ(boxes, (std::vector<std::string>{"info: FinishUpdate"}));
  GCore::StepFrame();
  EXPECT_EQ(GCore::g_game, nullptr);
  EXPECT_EQ(g_counts.shutdowns, 1);
  EXPECT_EQ(g_counts.updates, 0) << "no frame runs after the quit";
  EXPECT_EQ(GCore::g_runState, GCore::kRunClosing);
  // The loop ends as when the window closes: its quit message is waiting.
  int frames = 0;
  static int* frameCount;
  frameCount = &frames;
  GCore::RunMessageLoop([](uint32_t message, uintptr_t, intptr_t) -> intptr_t {
    // Ends a loop that would otherwise go on for ever.
    if (message == GCore::WM_PAINT && ++*frameCount == 100) GCore::PostQuitMessage(0);
    return 1;
  });
  EXPECT_EQ(frames, 0);
}

// The game's frames last at least 20 ms; only a benchmark turns that off, and
// it is told each frame's work either way.
TEST_F(FrameStep, FramesArePacedUnlessABenchmarkTurnsItOff) {
  GCore::ManualClock clock(1000);
  GCore::SetClock(&clock);
  GCore::StartGame(std::make_unique<FrameProbe>());
  static int observed;
  observed = 0;
  GCore::g_frameWatch.observe = [](double workSeconds) {
    ++observed;
    EXPECT_GE(workSeconds, 0);
  };
  GCore::StepFrame();
  EXPECT_EQ(clock.NowMs(), 1020u) << "a frame that took no time waits out its 20 ms";
  GCore::g_frameWatch.paced = false;
  GCore::StepFrame();
  EXPECT_EQ(clock.NowMs(), 1020u) << "an unpaced frame does not wait";
  EXPECT_EQ(g_counts.updates, 2);
  EXPECT_EQ(observed, 2);
}

TEST_F(FrameStep, ARendererRebuildKeepsTheGameRunning) {
  std::string error;
  const auto gl = GCore::HeadlessGL::Create(64, 64, error);
  ASSERT_TRUE(gl) << error;
  GCore::StartGame(std::make_unique<FrameProbe>());
  GCore::GameIF* game = GCore::Game();
  game->CreateRenderer()->Init();
  GCore::ResourceManager* resources = game->CreateResourceManager();
  GCore::Image* image = resources->CreateImage({1, 0x56000010}, true);
  ASSERT_NE(image, nullptr);
  image->AdoptTexture(std::make_unique<GCore::Texture>(1, 0x56000010));
  image->texture->glName = 7;

  GCore::g_runState = GCore::kRunRebuildRenderer;
  GCore::StepFrame();
  ASSERT_EQ(GCore::g_game, game) << "the game object goes on";
  EXPECT_EQ(GCore::g_runState, GCore::kRunRunning);
  EXPECT_EQ(g_counts.shutdowns, 0);
  EXPECT_EQ(g_counts.updates, 1) << "the frame runs on the new renderer";
  EXPECT_NE(game->GetRenderer(), nullptr);
  EXPECT_EQ(image->texture->glName, 0) << "textures are uploaded anew to the new renderer";
  GCore::EndGame();  // while its GL context still exists
}

}  // namespace
