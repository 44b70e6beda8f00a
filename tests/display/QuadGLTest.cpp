// A quad showing a PNG resource, drawn by the GLES2 renderer on the
// surfaceless context and read back.
#include "render/ResourceGLFixture.h"

#include "game/GCoreApi.h"
#include "display/Quad.h"
#include "render/PngFixtures.h"

namespace {

using QuadOnScreen = ResourceGLFixture;

TEST_F(QuadOnScreen, PngQuadLandsAtItsPixels) {
  // 10 x 10: the top half red, the bottom half green.
  game.WriteImage("game", 0x42, testpng::EncodeRgba(10, 10, testpng::RedOverGreen(10)));

  lua_State* L = game.game->GetLuaManager()->GetProject(1)->state;
  GCore::RegisterScriptClasses(L);
  GCore::Retained<GCore::Quad> quad(GCore::NewDisplayObject<GCore::Quad>(L));
  // Design (40, 20) to (80, 60) of the 200 x 100 design filling the window.
  quad->anchorMinX = quad->anchorMaxX = quad->anchorMinY = quad->anchorMaxY = 0;
  quad->offsetMinX = 40;
  quad->offsetMinY = 20;
  quad->offsetMaxX = 80;
  quad->offsetMaxY = 60;
  quad->textureFilter = GCore::kFilterNearest;
  quad->SetMedia(TestGame::Id(0x42));

  Frame([&] { quad->Draw(); });
  EXPECT_TRUE(Near(At(41, 58), {255, 0, 0, 255})) << "the first rows at the top";
  EXPECT_TRUE(Near(At(78, 41), {255, 0, 0, 255}));
  EXPECT_TRUE(Near(At(41, 21), {0, 255, 0, 255}));
  EXPECT_TRUE(Near(At(78, 38), {0, 255, 0, 255}));
  EXPECT_TRUE(Near(At(39, 30), {0, 0, 0, 255})) << "nothing left of the quad";
  EXPECT_TRUE(Near(At(81, 30), {0, 0, 0, 255})) << "nothing right of it";
  EXPECT_TRUE(Near(At(60, 61), {0, 0, 0, 255})) << "nothing above it";
  EXPECT_TRUE(Near(At(60, 18), {0, 0, 0, 255})) << "nothing below it";
}

}  // namespace
