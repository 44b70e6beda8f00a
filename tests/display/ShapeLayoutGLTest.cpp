// Shapes and layouts built by scripts through "gcore.c", drawn by the GLES2
// renderer on the surfaceless context and read back: filled and outlined
// geometry, the design size, and children placed in rows and grids.
#include "game/GCoreApi.h"
#include "display/Layout.h"
#include "display/Shape.h"
#include "render/PngFixtures.h"
#include "render/ResourceGLFixture.h"

namespace {

constexpr Rgba kBlack{0, 0, 0, 255};
constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kGreen{0, 255, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};

class DrawablesOnScreen : public ResourceGLFixture {
 protected:
  void SetUp() override {
    ResourceGLFixture::SetUp();
    // 4 x 4 white, and a 100 x 50 image whose size is a design size.
    game.WriteImage("game", 1, testpng::EncodeRgba(4, 4, std::vector<uint8_t>(64, 255)));
    game.WriteImage("game", 2, testpng::EncodeRgba(100, 50, std::vector<uint8_t>(100 * 50 * 4, 255)));
    L = game.game->GetLuaManager()->GetProject(1)->state;
    Run("g = require 'gcore.c' white, design = " + std::to_string(TestGame::Id(1)) + ", " +
        std::to_string(TestGame::Id(2)));
  }
  void Run(const std::string& chunk) {
    if (luaL_dostring(L, chunk.c_str()) != LUA_OK) ADD_FAILURE() << lua_tostring(L, -1);
    lua_settop(L, 0);
  }
  // The display object in the global `name`, held.
  template <class T>
  GCore::Retained<T> Global(const char* name) {
    lua_getglobal(L, name);
    GCore::Retained<T> object(GCore::ToObject<T>(L, -1));
    lua_pop(L, 1);
    return object;
  }

  lua_State* L = nullptr;
};

TEST_F(DrawablesOnScreen, FilledAndOutlinedShapes) {
  // Placed with its origin at the window's bottom-left corner.
  Run(R"lua(
    local function place(s)
      s.anchors, s.pivotX, s.pivotY = 0, 0, 0
      s.left, s.bottom, s.right, s.top = 0, 0, 200, 100
      s.media = white
      s.sample = 0
      return s
    end
    filled = place(g.Shape())
    filled.setVertices(3, {10,10, 90,10, 10,90}, {0,0, 1,0, 0,1}, 0xFF0000FF)
    outlined = place(g.Shape())
    outlined.setVertices(4, {120.5,20.5, 180.5,20.5, 180.5,80.5, 120.5,80.5}, {0,0, 1,0, 1,1, 0,1}, 0xFF00FF00)
    outlined.primitive = 2 -- a closed line
  )lua");
  auto filled = Global<GCore::Shape>("filled");
  auto outlined = Global<GCore::Shape>("outlined");
  Frame([&] {
    filled->Draw();
    outlined->Draw();
  });
  EXPECT_TRUE(Near(At(20, 20), kRed)) << "inside the triangle";
  EXPECT_TRUE(Near(At(45, 40), kRed));
  EXPECT_TRUE(Near(At(80, 80), kBlack)) << "beyond its long side";
  EXPECT_TRUE(Near(At(5, 5), kBlack));
  EXPECT_TRUE(Near(At(150, 20), kGreen)) << "on the outline's bottom edge";
  EXPECT_TRUE(Near(At(120, 50), kGreen)) << "on its left edge";
  EXPECT_TRUE(Near(At(180, 50), kGreen)) << "on its right edge";
  EXPECT_TRUE(Near(At(150, 50), kBlack)) << "not filled";
  EXPECT_TRUE(filled->BoundsContain(20, 20));
  EXPECT_FALSE(filled->BoundsContain(95, 50));

  // Half alpha over black, then the media image removed: the shape finds
  // its texture again.
  Run("filled.alpha = 128 g.removeImage(white)");
  Frame([&] { filled->Draw(); });
  EXPECT_NEAR(At(20, 20).r, 128, 3);
  EXPECT_EQ(At(20, 20).g + At(20, 20).b, 0);
}

TEST_F(DrawablesOnScreen, TheDesignImageStretchesTheGeometry) {
  Run(R"lua(
    shape = g.Shape()
    shape.anchors, shape.pivotX, shape.pivotY = 0, 0, 0
    shape.left, shape.bottom, shape.right, shape.top = 0, 0, 200, 50
    shape.designImage, shape.media = design, white
    shape.setVertices(6, {0,0, 50,0, 50,50, 0,0, 50,50, 0,50}, nil, 0xFFFF0000)
  )lua");
  auto shape = Global<GCore::Shape>("shape");
  Frame([&] { shape->Draw(); });
  EXPECT_TRUE(Near(At(60, 25), kBlack)) << "the first draw learns the size";
  Frame([&] { shape->Draw(); });
  EXPECT_TRUE(Near(At(95, 25), kBlue)) << "twice as wide";
  EXPECT_TRUE(Near(At(105, 25), kBlack));
  EXPECT_TRUE(Near(At(95, 45), kBlue)) << "as high";
  EXPECT_TRUE(Near(At(95, 55), kBlack));
}

TEST_F(DrawablesOnScreen, ALayoutPlacesItsChildrenInRowsAndGrids) {
  Run(R"lua(
    layout = g.Layout()
    layout.anchors, layout.pivotX, layout.pivotY = 0, 0, 0
    layout.left, layout.bottom, layout.right, layout.top = 0, 0, 200, 100
    layout.spacing, layout.align = 10, 5
    for _, colour in ipairs({0x0000FF, 0x00FF00, 0xFF0000}) do
      local q = g.Quad()
      q.media, q.width, q.height, q.color = white, 40, 20, colour
      layout.addChild(q)
    end
  )lua");
  auto layout = Global<GCore::Layout>("layout");
  // Centred: x 30 to 70, 80 to 120, 130 to 170; y 40 to 60.
  Frame([&] { layout->Draw(); });
  const std::pair<int, Rgba> row[] = {{32, kRed}, {68, kRed}, {75, kBlack}, {82, kGreen},
                                      {118, kGreen}, {125, kBlack}, {132, kBlue}, {168, kBlue},
                                      {172, kBlack}, {28, kBlack}};
  for (const auto& [x, colour] : row) EXPECT_TRUE(Near(At(x, 50), colour)) << "x " << x;
  EXPECT_TRUE(Near(At(50, 62), kBlack));
  EXPECT_TRUE(Near(At(50, 38), kBlack));

  // A grid of two columns of 30 x 30 cells from the top right, 10 apart.
  Run(R"lua(
    layout.layoutMode, layout.gridCount, layout.corner, layout.align = 2, -2, 1, 1
    layout.cellWidth, layout.cellHeight, layout.rowSpacing = 30, 30, 5
    layout.addChild(g.Quad())
    layout.getChildAt(3).media = white
  )lua");
  Frame([&] { layout->Draw(); });
  // Content 70 x 65 at the top left: cells x 0-30 and 40-70, y 70-100 and
  // 35-65; the first child takes the top right cell.
  const std::pair<std::pair<int, int>, Rgba> cells[] = {
      {{55, 85}, kRed}, {{15, 85}, kGreen}, {{55, 50}, kBlue}, {{15, 50}, {255, 255, 255, 255}},
      {{35, 85}, kBlack}, {{55, 67}, kBlack}, {{80, 85}, kBlack}};
  for (const auto& [at, colour] : cells) {
    EXPECT_TRUE(Near(At(at.first, at.second), colour)) << at.first << ", " << at.second;
  }
}

}  // namespace
