// Shape: vertices from scripts into its own batch, colours re-filled when the
// world colour changes, the design size, bounds, copies, and the counts a
// script may not give.
#include "DisplayFixture.h"
#include "display/Shape.h"

namespace {

using GCore::Shape;

class ShapeTest : public DisplayFixture {
 protected:
  Shape* MakeShape() {
    Shape* shape = Make<Shape>("shape");
    shape->anchorMinX = shape->anchorMaxX = shape->anchorMinY = shape->anchorMaxY = 0;
    return shape;
  }
  // Vertex v's colour as 0-255 integers.
  static std::vector<int> ColourOf(const Shape& shape, uint32_t v) {
    const float* c = shape.Batch()->Colours() + 4 * v;
    return {static_cast<int>(c[0] * 255 + 0.5f), static_cast<int>(c[1] * 255 + 0.5f),
            static_cast<int>(c[2] * 255 + 0.5f), static_cast<int>(c[3] * 255 + 0.5f)};
  }
};

TEST_F(ShapeTest, PackedColoursTintEveryVertex) {
  struct Case {
    const char* colours;
    std::vector<int> rgba;
  };
  const Case cases[] = {
      {"0xFFFFFFFF", {255, 255, 255, 255}},
      {"0x80FF0000", {0, 0, 255, 128}},   // red sits in the low byte
      {"{0x000000FF, 0x0000FF00, 0x00FF0000}", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.colours);
    Shape* shape = MakeShape();
    Run(std::string("shape.setVertices(3, {0,0, 100,0, 0,100}, {0,0, 1,0, 0,1}, ") + c.colours + ")");
    ASSERT_NE(shape->Batch(), nullptr);
    EXPECT_EQ(shape->Batch()->count, 3u);
    for (uint32_t v = 0; v < 3; ++v) {
      const std::vector<int> want =
          c.rgba.empty() ? std::vector<int>{v == 0 ? 255 : 0, v == 1 ? 255 : 0, v == 2 ? 255 : 0, 0} : c.rgba;
      EXPECT_EQ(ColourOf(*shape, v), want) << "vertex " << v;
    }
    EXPECT_FLOAT_EQ(shape->Batch()->Positions()[3], 100);
    EXPECT_FLOAT_EQ(shape->Batch()->Positions()[5], GCore::kQuadDepth);
    EXPECT_FLOAT_EQ(shape->Batch()->TexCoords()[5], 1);
  }
}

TEST_F(ShapeTest, ANilItemRepeatsThePreviousVertex) {
  Shape* shape = MakeShape();
  Run("shape.setVertices(3, {5,6, nil,nil, 7,8}, nil, 0xFFFFFFFF)");
  const float* p = shape->Batch()->Positions();
  EXPECT_FLOAT_EQ(p[3], 5);
  EXPECT_FLOAT_EQ(p[4], 6);
  EXPECT_FLOAT_EQ(p[6], 7);
  EXPECT_EQ(Eval("(function() local t = {} local n = shape.getVertices(t) "
                 "return n .. ':' .. table.concat(t, ',') end)()"),
            "3:5.0,6.0,5.0,6.0,7.0,8.0");
}

TEST_F(ShapeTest, WithoutGeometryNothingIsReadOrDrawn) {
  Shape* shape = MakeShape();
  EXPECT_EQ(Eval("(function() local t = {9} return shape.getVertices(t) .. ':' .. #t end)()"), "0:1");
  EXPECT_EQ(Eval("shape.primitive"), "0");
  Run("shape.primitive = 1");
  EXPECT_EQ(Eval("shape.primitive"), "0");
  shape->Draw();
  EXPECT_EQ(shape->Batch(), nullptr);
  // A call without arguments makes an empty batch.
  Run("shape.setVertices()");
  ASSERT_NE(shape->Batch(), nullptr);
  EXPECT_EQ(shape->Batch()->count, 0u);
  EXPECT_EQ(Eval("shape.primitive"), "4");
}

TEST_F(ShapeTest, AWorldColourChangeRefillsTheColoursAtTheNextDraw) {
  Shape* shape = MakeShape();
  Run("shape.setVertices(2, {0,0, 10,10}, nil, {0xFF0000FF, 0xFF00FF00})");
  shape->Draw();
  EXPECT_EQ(ColourOf(*shape, 1), (std::vector<int>{0, 255, 0, 255}));
  Run("shape.alpha = 51");
  shape->Draw();
  EXPECT_EQ(ColourOf(*shape, 0), (std::vector<int>{255, 0, 0, 51}));
  EXPECT_EQ(ColourOf(*shape, 1), (std::vector<int>{0, 255, 0, 51}));
}

TEST_F(ShapeTest, TheRefillRunsNoScriptCode) {
  // A table whose reads would run script code: the draw that re-fills
  // the colours happens outside any script call, so it reads raw.
  Shape* shape = MakeShape();
  Run(R"lua(
    reads = 0
    colours = setmetatable({}, { __index = function() reads = reads + 1 error("read") end })
    shape.setVertices(2, {0,0, 10,10}, nil, colours)
    shape.alpha = 100
  )lua");
  shape->Draw();
  EXPECT_EQ(Eval("reads"), "0");
  EXPECT_EQ(ColourOf(*shape, 1), (std::vector<int>{255, 255, 255, 100}));
}

TEST_F(ShapeTest, ALargerCountGrowsTheBatch) {
  Shape* shape = MakeShape();
  Run("shape.setVertices(3, {0,0, 1,1, 2,2}, nil, 0xFFFFFFFF)");
  Run(R"lua(
    local positions, colours = {}, {}
    for i = 0, 299 do positions[2 * i + 1], positions[2 * i + 2], colours[i + 1] = i, -i, 0xFF000000 + i end
    shape.setVertices(300, positions, nil, colours)
  )lua");
  ASSERT_EQ(shape->Batch()->count, 300u);
  EXPECT_GE(shape->Batch()->capacity, 300u);
  EXPECT_FLOAT_EQ(shape->Batch()->Positions()[3 * 299], 299);
  EXPECT_FLOAT_EQ(shape->Batch()->Positions()[3 * 299 + 1], -299);
  EXPECT_EQ(ColourOf(*shape, 299), (std::vector<int>{43, 1, 0, 255}));
  EXPECT_EQ(Eval("shape.getVertices({})"), "300");
}

TEST_F(ShapeTest, CountsOutsideTheRangeAreRefused) {
  Shape* shape = MakeShape();
  Run("shape.setVertices(2, {0,0, 1,1}, nil, 0xFFFFFFFF)");
  for (const char* count : {"-1", "-1e300", "0/0", "1e300", "math.mininteger", "(1 << 20) + 1"}) {
    SCOPED_TRACE(count);
    testing::internal::CaptureStdout();
    Run(std::string("shape.setVertices(") + count + ", {5,5, 6,6})");
    EXPECT_NE(testing::internal::GetCapturedStdout().find("setVertices"), std::string::npos);
    EXPECT_EQ(shape->Batch()->count, 2u);
    EXPECT_FLOAT_EQ(shape->Batch()->Positions()[0], 0) << "nothing changes";
  }
}

TEST_F(ShapeTest, BoundsAreTheVertexBoxThroughTheMatrixAndTheDesignSize) {
  struct Case {
    float designWidth, designHeight;
    GCore::Rectangle bounds;
  };
  // Offsets span 200 x 50 at (10, 20): the stage maps design to world 1:1.
  const Case cases[] = {
      {0, 0, {10 + 20, 20 + 5, 80, 30}},
      {100, 50, {10 + 40, 20 + 5, 160, 30}},  // twice as wide
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.designWidth);
    Shape* shape = MakeShape();
    shape->pivotX = shape->pivotY = 0;
    shape->offsetMinX = 10;
    shape->offsetMaxX = 210;
    shape->offsetMinY = 20;
    shape->offsetMaxY = 70;
    shape->designWidth = c.designWidth;
    shape->designHeight = c.designHeight;
    Run("shape.setVertices(3, {20,5, 100,5, 60,35}, nil, 0xFFFFFFFF)");
    shape->Draw();
    EXPECT_FLOAT_EQ(shape->bounds.x, c.bounds.x);
    EXPECT_FLOAT_EQ(shape->bounds.y, c.bounds.y);
    EXPECT_FLOAT_EQ(shape->bounds.width, c.bounds.width);
    EXPECT_FLOAT_EQ(shape->bounds.height, c.bounds.height);
    EXPECT_TRUE(shape->BoundsContain(c.bounds.x + 1, c.bounds.y + 1));
    EXPECT_FALSE(shape->BoundsContain(c.bounds.x - 1, c.bounds.y + 1));
  }
}

TEST_F(ShapeTest, DrawingIsOneFlushOfItsOwnBatchWithoutChildren) {
  Shape* shape = MakeShape();
  shape->AddChild(MakeProbe("child"), 0);
  Run("shape.setVertices(3, {0,0, 1,0, 0,1}, nil, 0xFFFFFFFF)");
  renderer.calls.clear();
  shape->Draw();
  const std::vector<std::string> calls = renderer.Structural();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "draw 3"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "draw child"), 0);
  // The batch keeps its vertices for the next frame.
  EXPECT_EQ(shape->Batch()->count, 3u);
}

TEST_F(ShapeTest, ACopyTakesTheGeometryAndSharesTheColoursValue) {
  MakeShape();
  Run(R"lua(
    colours = {0xFF0000FF, 0xFF00FF00}
    shape.setVertices(2, {1,2, 3,4}, {0,0, 1,1}, colours)
    shape.primitive = 1
    shape.userX, shape.userY, shape.designImage = 1.5, -2, 0x51050042
    copy = require("gcore.c").Clone(shape)
  )lua");
  EXPECT_EQ(Eval("copy.type .. ' ' .. copy.userX .. ' ' .. copy.userY .. ' ' .. copy.designImage .. ' ' .. "
                 "copy.primitive .. ' ' .. copy.getVertices({})"),
            "Shape 1.5 -2.0 1359282242 1 2");
  EXPECT_EQ(Eval("(function() local t = {} copy.getVertices(t) return table.concat(t, ',') end)()"),
            "1.0,2.0,3.0,4.0");
  // Both shapes re-fill from the same table.
  Run("colours[1] = 0xFFFFFFFF copy.alpha = 255 shape.alpha = 10");
  auto* copy = static_cast<Shape*>(GCore::ToObject<Shape>(L, (lua_getglobal(L, "copy"), -1)));
  lua_pop(L, 1);
  ASSERT_NE(copy, nullptr);
  copy->Invalidate(false);
  copy->Draw();
  EXPECT_EQ(ColourOf(*copy, 0), (std::vector<int>{255, 255, 255, 255}));
  // A copy from a shape without geometry drops the copy's.
  auto* bare = Make<Shape>();
  copy->CopyFrom(bare);
  EXPECT_EQ(copy->Batch(), nullptr);
}

}  // namespace
