// The rules behind the display object's script members: placement, scale
// and rotation, colour, anchors, slot words, depth order, and its methods.
#include "DisplayFixture.h"
#include "display/DisplayObjectContainer.h"

namespace {

using GCore::DisplayObject;
using GCore::DisplayObjectContainer;
using GCore::Matrix;

class DisplayObjectBinding : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    Run("g = require 'gcore.c'");
    object = Make<DisplayObject>("o");
  }

  DisplayObject* object = nullptr;
};

TEST_F(DisplayObjectBinding, PlacementMovesAroundThePivot) {
  object->dirty = 0;
  Run("o.x = 50.000004; o.y = 50");
  EXPECT_EQ(object->dirty, 0) << "the same place within 1e-5: nothing invalidated";
  Run("o.x = 60");
  EXPECT_FLOAT_EQ(object->offsetMinX, 10);
  EXPECT_FLOAT_EQ(object->offsetMaxX, 110);
  EXPECT_NE(object->dirty & GCore::kDirtyTransform, 0);

  Run("o.width = 200");
  EXPECT_FLOAT_EQ(object->offsetMinX, -40) << "pivot 0.5 grows both sides";
  EXPECT_FLOAT_EQ(object->offsetMaxX, 160);
  Run("o.pivotX = 0");
  EXPECT_EQ(Eval("o.x"), "-40.0") << "the pivot moves, the offsets stay";
  Run("o.width = 100");
  EXPECT_FLOAT_EQ(object->offsetMinX, -40) << "pivot 0: only the right edge moves";
  EXPECT_FLOAT_EQ(object->offsetMaxX, 60);

  Run("o.pivotY = 1; o.height = 50");
  EXPECT_FLOAT_EQ(object->offsetMinY, 50);
  EXPECT_FLOAT_EQ(object->offsetMaxY, 100);
  EXPECT_EQ(Eval("o.y"), "100.0");
  Run("o.x = '12'");
  EXPECT_EQ(Eval("o.left"), "12.0") << "numeric strings are numbers";
}

TEST_F(DisplayObjectBinding, ScaleKeepsItsSignInTheFlips) {
  const Matrix& m = object->localMatrix;
  Run("o.scaleX = 0; o.scaleY = 0.0005");
  EXPECT_EQ(m.a, 1) << "a scale near 0 is refused";
  EXPECT_EQ(m.d, 1);
  Run("o.scaleX = -1");
  EXPECT_EQ(m.a, -1);
  EXPECT_EQ(m.b, 0);
  EXPECT_TRUE(m.flipX);
  EXPECT_EQ(Eval("o.scaleX"), "-1.0");
  Run("o.scaleX = 2");
  EXPECT_EQ(m.a, 2);
  EXPECT_FALSE(m.flipX);

  object->dirty = 0;
  Run("o.rotation = 90");
  EXPECT_NE(object->dirty, 0);
  EXPECT_EQ(Eval("math.abs(o.rotation - 90) < 0.01 and math.abs(o.scaleX - 2) < 1e-4"), "true")
      << "turning keeps the lengths";
  object->dirty = 0;
  Run("o.rotation = 90.05");
  EXPECT_EQ(object->dirty, 0) << "within 0.1 degree: no change";
}

TEST_F(DisplayObjectBinding, ColourIsClampedAndPacked) {
  const std::pair<const char*, int> alphas[] = {
      {"300", 255}, {"-5", 0}, {"1e300", 255}, {"0/0", 0}, {"'abc'", 0}, {"127.9", 127}};
  for (const auto& [value, stored] : alphas) {
    Run(std::string("o.alpha = ") + value);
    EXPECT_EQ(object->localColor.a, stored) << value;
  }
  Run("o.color = 255");
  EXPECT_EQ(object->localColor.r, 255);
  EXPECT_EQ(object->localColor.g, 0);
  EXPECT_EQ(object->localColor.b, 0);
  Run("o.color = 0x123456");
  EXPECT_EQ(object->localColor.r, 0x56);
  EXPECT_EQ(object->localColor.g, 0x34);
  EXPECT_EQ(object->localColor.b, 0x12);
  EXPECT_EQ(Eval("o.color == 0x123456"), "true");
  object->dirty = 0;
  Run("o.alpha = 127.5");
  EXPECT_EQ(object->dirty, 0) << "the same alpha: nothing invalidated";
}

TEST_F(DisplayObjectBinding, AnchorsPackOneByteEach) {
  EXPECT_EQ(Eval("o.anchors & 0xFF"), "50");
  Run("o.anchors = 0x01020304");
  EXPECT_FLOAT_EQ(object->anchorMinX, 0.04f);
  EXPECT_FLOAT_EQ(object->anchorMaxX, 0.03f);
  EXPECT_FLOAT_EQ(object->anchorMinY, 0.02f);
  EXPECT_FLOAT_EQ(object->anchorMaxY, 0.01f);
  Run("o.anchorRight = 1");
  EXPECT_EQ(Eval("(o.anchors >> 8) & 0xFF"), "100");
}

TEST_F(DisplayObjectBinding, SlotWords) {
  object->dirty = 0;
  Run("o.slot = 'hand'");
  EXPECT_EQ(object->slotLink, -1) << "no skeletal parent";
  EXPECT_EQ(object->dirty, GCore::kDirtyAll);
  EXPECT_EQ(Eval("o.slot"), "_root");
  Run("o.slotLinked = true");
  EXPECT_EQ(Eval("o.slotLinked and o.slotLink"), "1");
  Run("o.slot = '_root'");
  EXPECT_EQ(object->slotLink, -1);
  Run("o.slotLinked = true; o.slotLinked = false");
  EXPECT_EQ(object->slotLink, -1);
  EXPECT_EQ(Eval("o.slotFlag"), "1");
  Run("o.slotFlag = 0");
  EXPECT_EQ(object->slotLink, -2);
  Run("o.slotFlag = true");
  EXPECT_EQ(object->slotLink, -1);
  Run("o.slotLink = 0");
  EXPECT_EQ(object->slotLink, -1) << "read-only";
  Run("o.slotLinked = false; o.slotLow = 7; o.slotHigh = 2");
  EXPECT_EQ(object->slotLink, 2 * 256 + 7);
  Run("o.slotHigh = -1");
  EXPECT_EQ(object->slotLink, -256 + 7);
  EXPECT_EQ(Eval("o.slotHigh .. ' ' .. o.slotLow"), "-1 7");
}

TEST_F(DisplayObjectBinding, NamesAndTypes) {
  Run("o.name = 12");
  EXPECT_EQ(object->name, "12");
  Run("o.name = 'a\\0b'");
  EXPECT_EQ(object->name, std::string("a\0b", 3));
  Run("o.name = {}");
  EXPECT_EQ(object->name, "") << "no string form: the name is cleared";
  Run("o.name = 'hero'; o.name = nil");
  EXPECT_EQ(object->name, "");
  EXPECT_EQ(Eval("o.type"), "Object");
  EXPECT_EQ(Eval("g.DisplayObjectContainer().type"), "Object");
}

TEST_F(DisplayObjectBinding, DepthReordersTheSiblings) {
  auto* parent = Make<DisplayObjectContainer>("p");
  for (const char* n : {"A", "B", "C"}) parent->AddChild(Make<DisplayObject>(n, n), 0);
  auto order = [&] {
    std::string names;
    for (const auto& child : parent->children) names += child->name;
    return names;
  };
  Run("B.depth = -1");
  EXPECT_EQ(order(), "BAC");
  Run("A.depth = -1");
  EXPECT_EQ(order(), "BAC") << "equal depths keep their order";
  Run("C.depth = -2");
  EXPECT_EQ(order(), "CBA");
  EXPECT_EQ(Eval("A.getIndex()"), "2");
  Run("A.setIndex(0)");
  EXPECT_EQ(order(), "CAB") << "a swap holds between equal depths only";
  Run("A.depth = 0; B.depth = 0; C.depth = 0; A.setIndex(0)");
  EXPECT_EQ(order(), "ABC");
  EXPECT_EQ(Eval("o.getIndex()"), "0") << "no parent";
}

TEST_F(DisplayObjectBinding, PointsThroughTheWorldMatrix) {
  object->worldMatrix->SetValues(2, 0, 0, 4, 10, 20);
  EXPECT_EQ(Eval("table.concat({o.localToGlobal(1, 1)}, ' ')"), "12.0 24.0");
  EXPECT_EQ(Eval("table.concat({o.globalToLocal(12, 24)}, ' ')"), "1.0 1.0");
  game->mousePosition = GCore::Point{1, 2};
  EXPECT_EQ(Eval("o.mouseX .. ' ' .. o.mouseY"), "12.0 28.0");

  Run("m = g.Matrix(true); o.getInverseWorldMatrix(m)");
  EXPECT_EQ(Eval("m.a .. ' ' .. m.d .. ' ' .. m.tx .. ' ' .. m.ty"), "0.5 0.25 -5.0 -5.0");
  object->worldMatrix->flipX = true;
  Run("o.getInverseWorldMatrix(m)");
  lua_getglobal(L, "m");
  EXPECT_TRUE(GCore::ToObject<Matrix>(L, -1)->flipX) << "the flips are copied";
  lua_settop(L, 0);

  auto* parent = Make<DisplayObjectContainer>("p");
  parent->AddChild(object, 0);
  parent->worldMatrix->SetValues(1, 0, 0, 1, 30, 40);
  Run("m = g.Matrix(true, 7); o.getInverseParentMatrix(m)");
  EXPECT_EQ(Eval("m.a .. ' ' .. m.tx .. ' ' .. m.ty"), "1.0 -30.0 -40.0");
  Run("n = g.Matrix(true, 7); D = g.DisplayObject(); D.getInverseParentMatrix(n)");
  EXPECT_EQ(Eval("n.a"), "7.0") << "no parent: the matrix is left alone";
}

TEST_F(DisplayObjectBinding, TheWorldMatrixAScriptHoldsIsTheObjectsOwn) {
  object->worldMatrix->SetValues(2, 0, 0, 4, 10, 20);
  object->worldMatrix->flipX = true;
  Run("m = o.worldMatrix");
  EXPECT_EQ(Eval("m.a .. ' ' .. m.d .. ' ' .. m.tx .. ' ' .. m.ty"), "2.0 4.0 10.0 20.0")
      << "made from the values the object had";
  lua_getglobal(L, "m");
  EXPECT_TRUE(GCore::ToObject<Matrix>(L, -1)->flipX);
  lua_settop(L, 0);
  EXPECT_EQ(Eval("rawequal(m, o.worldMatrix)"), "true") << "one object, asked for again";

  Run("o.x = 60; o.updateTransform()");
  EXPECT_NE(object->worldMatrix->tx, 10);
  EXPECT_EQ(Eval("m.tx"), Eval(std::to_string(object->worldMatrix->tx) + " + 0.0")) << "it follows the object";
  Run("m.tx = 500");
  EXPECT_FLOAT_EQ(object->worldMatrix->tx, 500) << "what the script writes is the object's";

  // A skeleton draws through its bones' matrices for a while.
  Matrix bone;
  object->worldMatrix.Borrow(&bone);
  EXPECT_EQ(object->worldMatrix.Get(), &bone);
  object->worldMatrix.Restore();
  EXPECT_EQ(Eval("rawequal(m, o.worldMatrix)"), "true") << "back to the matrix the script holds";
  EXPECT_FLOAT_EQ(object->worldMatrix->tx, 500);
}

TEST_F(DisplayObjectBinding, UpdateTransformPlacesTheObjectInItsParent) {
  auto* parent = Make<DisplayObjectContainer>("p");
  parent->offsetMaxX = 200;
  parent->AddChild(object, 0);
  Run("o.updateTransform()");
  EXPECT_FLOAT_EQ(object->worldMatrix->tx, parent->worldMatrix->tx + 50)
      << "the parent is brought up to date first";
  EXPECT_EQ(Eval("o.isDescendantOf(p) and o.isDescendantOf(o) and not p.isDescendantOf(o)"),
            "true");
  EXPECT_EQ(Eval("o.isDescendantOf(nil)"), "false");
  Run("o.anchorLeft = 0; o.anchorRight = 1");
  EXPECT_EQ(Eval("o.getWidth() .. ' ' .. o.getHeight()"), "300.0 100.0")
      << "stretched: the offsets plus the parent's width";
  Run("o.removeFromParent()");
  EXPECT_EQ(object->parent, nullptr);
  EXPECT_EQ(parent->NumChildren(), 0);
  Run("o.removeFromParent()");
}

TEST_F(DisplayObjectBinding, HitTestPointIncludesTheEdges) {
  object->bounds = GCore::Rectangle{10, 20, 30, 40};
  EXPECT_EQ(Eval("o.hitTestPoint(10, 20) and o.hitTestPoint(40, 60)"), "true");
  EXPECT_EQ(Eval("o.hitTestPoint(40.5, 60)"), "false");
  Run("o.visible = false");
  EXPECT_EQ(Eval("o.hitTestPoint(20, 30)"), "false");
  EXPECT_EQ(Eval("o.alwaysFalse(o)"), "false");
}

TEST_F(DisplayObjectBinding, KeyTracksFromScripts) {
  Run("o.addKeyTrack('x', 2, {0, 0, 0, 1000, 100, 0})");
  EXPECT_EQ(Eval("o.getTrackDuration('x') .. ' ' .. o.getTrackTime('x')"), "1000 0");
  Step(250);
  object->Update();
  EXPECT_EQ(Eval("o.x .. ' ' .. o.getTrackTime('x')"), "25.0 250");
  Run("o.setTrackTime('x', 500)");
  Step(250);
  object->Update();
  EXPECT_EQ(Eval("o.x"), "75.0");
  Run("o.clearKeyTrack('x')");
  Step(250);
  object->Update();
  EXPECT_EQ(Eval("o.x"), "75.0");
  EXPECT_EQ(Eval("o.getTrackDuration('none') .. o.getTrackTime('none')"), "00");
  Run("o.setTrackTime('alpha', 10)");
  EXPECT_NE(object->FindKeyTrack("alpha"), nullptr) << "made when missing";
  Run("o.setActionById(3); o.setActionByName('walk'); o.setActionByName()");
}

TEST_F(DisplayObjectBinding, DispatchEventPassesTextArguments) {
  auto* entity = Make<GCore::Entity>("e");
  entity->AddChild(object, 0);
  Run("e.c_rec = Recorder('e')");
  TakeLog();
  Run("o.dispatchEvent('ping', 5); o.dispatchEvent('ping', 'now'); o.dispatchEvent('ping', {})\n"
      "o.dispatchEvent('ping'); o.dispatchEvent(nil, 'x')");
  EXPECT_EQ(TakeLog(), "e:ping(5) e:ping(now) e:ping e:ping");
}

}  // namespace
