#include <gtest/gtest.h>

#include <climits>

#include "core/GameIF.h"
#include "core/Input.h"

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
