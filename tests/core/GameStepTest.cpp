#include <gtest/gtest.h>

#include "core/GameIF.h"

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
