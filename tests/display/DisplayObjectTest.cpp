// Placement, transforms, colours, render state, copies and slot links of
// display objects.
#include <cmath>

#include "DisplayFixture.h"
#include "display/DisplayObjectContainer.h"
#include "spine/SpineRecords.h"

namespace {

using GCore::DisplayObject;
using GCore::DisplayObjectContainer;

using DisplayObjectTest = DisplayFixture;

TEST_F(DisplayObjectTest, PlacementAndAnchors) {
  struct Case {
    const char* what;
    bool withParent;
    float anchorMin, anchorMax, pivot, offsetMin, offsetMax;
    float width, tx;
  } cases[] = {
      // Parent: 200 wide, pivot 0.5; no parent: logical width 800, design width 800.7.
      {"default child", true, 0.5f, 0.5f, 0.5f, 0, 100, 100, 50},
      {"stretched anchors", true, 0, 1, 0.5f, 0, 0, 200, 100 - 100},
      {"stretched with offsets", true, 0, 1, 0.5f, -10, 10, 220, 110 - 100 - 10},
      {"pivot 0 at the left edge", true, 0, 0, 0, 10, 30, 20, 0 - 100 + 10},
      {"no parent", false, 0.5f, 0.5f, 0.5f, 0, 100, 100, 50 + 400},
      {"stretched, no parent", false, 0, 1, 0.5f, 5, 50, 800, 400 + 5},
  };
  GCore::g_settings.designWidth = 800.7f;
  auto* parent = Make<DisplayObjectContainer>();
  parent->offsetMinX = 0, parent->offsetMaxX = 200;
  parent->offsetMinY = 0, parent->offsetMaxY = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto* child = Make<DisplayObject>();
    if (c.withParent) parent->AddChild(child, 0);
    child->anchorMinX = c.anchorMin, child->anchorMaxX = c.anchorMax;
    child->pivotX = c.pivot;
    child->offsetMinX = c.offsetMin, child->offsetMaxX = c.offsetMax;
    child->Invalidate(true);
    child->UpdateWorldTransform();
    EXPECT_FLOAT_EQ(child->GetWidth(), c.width);
    EXPECT_FLOAT_EQ(child->localMatrix.tx, c.tx);
    EXPECT_FLOAT_EQ(child->GetHeight(), 100) << "the y axis keeps its defaults";
    if (c.withParent) {
      EXPECT_FLOAT_EQ(child->localMatrix.ty, 50) << "50 + (0.5 * 100 - 0.5 * 100)";
    }
  }
}

TEST_F(DisplayObjectTest, WorldMatrixChainsThroughTheAncestors) {
  auto* root = Make<DisplayObjectContainer>();
  auto* middle = Make<DisplayObjectContainer>();
  auto* leaf = Make<DisplayObject>();
  root->AddChild(middle, 0);
  middle->AddChild(leaf, 0);
  root->localMatrix.SetValues(2, 0, 0, 2, 0, 0);
  middle->localMatrix.SetValues(0, 1, -1, 0, 0, 0);  // a quarter turn
  leaf->UpdateWorldTransform();

  // root at (450, 350) scaled by 2; middle at (50, 50) in it; leaf at (50, 50) in middle.
  const GCore::Matrix& world = *leaf->worldMatrix.Get();
  EXPECT_FLOAT_EQ(world.a, 0);
  EXPECT_FLOAT_EQ(world.b, 2);
  EXPECT_FLOAT_EQ(world.c, -2);
  EXPECT_FLOAT_EQ(world.d, 0);
  EXPECT_FLOAT_EQ(world.tx, 450);
  EXPECT_FLOAT_EQ(world.ty, 550);
  const GCore::Point local = leaf->GlobalToLocal(450, 552);
  EXPECT_NEAR(local.x, 1, 1e-5);
  EXPECT_NEAR(local.y, 0, 1e-5);

  // Moving the root reaches the leaf through the dirty bits: its pivot point
  // goes from 50 to 500 past the anchor, so the root from 450 to 900, and the
  // leaf sits at the root's position.
  root->SetX(500);
  EXPECT_TRUE(leaf->dirty & GCore::kDirtyTransform);
  leaf->UpdateWorldTransform();
  EXPECT_FLOAT_EQ(root->worldMatrix->tx, 900);
  EXPECT_FLOAT_EQ(leaf->worldMatrix->tx, 900);
}

TEST_F(DisplayObjectTest, InvalidateMarksBoundsUpToButNotIncludingTheTop) {
  auto* root = Make<DisplayObjectContainer>();
  auto* middle = Make<DisplayObjectContainer>();
  auto* leaf = Make<DisplayObject>();
  root->AddChild(middle, 0);
  middle->AddChild(leaf, 0);
  for (DisplayObject* o : {root, middle, static_cast<DisplayObjectContainer*>(nullptr)}) {
    if (o) o->dirty = 0;
  }
  leaf->dirty = 0;
  leaf->Invalidate(true);
  EXPECT_EQ(leaf->dirty, GCore::kDirtyTransform | GCore::kDirtyBounds);
  EXPECT_EQ(middle->dirty, GCore::kDirtyBounds);
  EXPECT_EQ(root->dirty, 0);
  leaf->dirty = 0;
  leaf->Invalidate(false);
  EXPECT_EQ(leaf->dirty, GCore::kDirtyColour);
}

TEST_F(DisplayObjectTest, WorldColourScalesByTheParent) {
  const struct {
    int parentAlpha, ownAlpha, world;
  } cases[] = {{128, 255, 128}, {255, 255, 255}, {100, 200, 78}, {0, 255, 0}};
  for (const auto& c : cases) {
    auto* parent = Make<DisplayObjectContainer>();
    auto* child = Make<DisplayObject>();
    parent->AddChild(child, 0);
    parent->localColor.a = c.parentAlpha;
    child->localColor.a = c.ownAlpha;
    child->localColor.r = 10;
    child->UpdateWorldTransform();
    EXPECT_EQ(child->worldColor.a, c.world) << c.parentAlpha << " x " << c.ownAlpha;
    EXPECT_EQ(child->worldColor.r, 10);
  }
}

TEST_F(DisplayObjectTest, MovingResizingAndFitting) {
  auto* object = Make<DisplayObject>();
  object->dirty = 0;
  object->SetX(50.000004f);  // the pivot point is at 50 already
  EXPECT_EQ(object->dirty, 0) << "within 1e-5: nothing";
  object->SetX(10);
  EXPECT_FLOAT_EQ(object->offsetMinX, -40);
  EXPECT_FLOAT_EQ(object->offsetMaxX, 60);
  EXPECT_TRUE(object->dirty & GCore::kDirtyTransform);

  object->SetHeight(40);
  EXPECT_FLOAT_EQ(object->offsetMinY, 30) << "around the pivot point 50";
  EXPECT_FLOAT_EQ(object->offsetMaxY, 70);

  object->anchorMaxX = 0.9f;
  object->scaleMode = 1;
  object->FitToContent(100.05f, 10);
  EXPECT_FLOAT_EQ(object->anchorMaxX, object->anchorMinX) << "anchors made equal anyway";
  EXPECT_FLOAT_EQ(object->offsetMinX, -40) << "within 0.1: offsets kept";
  EXPECT_FLOAT_EQ(object->offsetMaxY, 70) << "bit 1 clear: y untouched";
  object->FitToContent(20, 10);
  EXPECT_FLOAT_EQ(object->offsetMinX, 0);
  EXPECT_FLOAT_EQ(object->offsetMaxX, 20);
  object->scaleMode = 4 | 2;
  object->FitToContent(30, 30);
  EXPECT_FLOAT_EQ(object->offsetMaxY, 70) << "a scale mode of 4 or more fits nothing";

  object->anchorMinX = 0.5f, object->anchorMaxX = 1, object->anchorMinY = 0, object->anchorMaxY = 0.25f;
  EXPECT_EQ(object->GetAnchorsPacked(), 50u | 100u << 8 | 0u << 16 | 25u << 24);
  object->SetAnchorsPacked(0x32323232);
  EXPECT_FLOAT_EQ(object->anchorMaxY, 0.5f);
}

TEST_F(DisplayObjectTest, DrawHandsTheRenderStateOverInOrder) {
  auto* object = Make<DisplayObject>();
  object->shaderId = 3;
  object->tintMode = 1;
  object->blendMode = 2;
  object->textureFilter = 0;
  object->Draw();
  EXPECT_EQ(renderer.calls, (std::vector<std::string>{"shader 3", "tint 1", "blend 2", "filter 0"}));
  EXPECT_EQ(object->dirty, GCore::kDirtyBounds) << "transform and colour brought up to date";
}

TEST_F(DisplayObjectTest, CopyTakesTheStateButNotTheWorld) {
  auto* parent = Make<DisplayObjectContainer>();
  auto* source = Make<DisplayObject>(nullptr, "hero");
  parent->AddChild(source, 0);
  source->tag = 7, source->data = 9, source->mask = 3, source->depth = -2, source->group = 4;
  source->anchorMinX = 0.1f, source->offsetMaxY = 33, source->pivotX = 0.25f;
  source->localMatrix.SetValues(2, 0, 0, 3, 0, 0);
  source->localMatrix.flipX = true;
  source->localColor.g = 12;
  source->mediaId = 0x50000010;
  source->actionIndex = 2;
  source->frameStart = 99;
  source->UpdateWorldTransform();

  auto* copy = Make<DisplayObject>();
  copy->CopyFrom(source);
  EXPECT_EQ(copy->name, "hero");
  EXPECT_EQ(copy->tag, 7);
  EXPECT_EQ(copy->data, 9);
  EXPECT_EQ(copy->mask, 3);
  EXPECT_EQ(copy->depth, -2);
  EXPECT_EQ(copy->group, 4);
  EXPECT_FLOAT_EQ(copy->anchorMinX, 0.1f);
  EXPECT_FLOAT_EQ(copy->offsetMaxY, 33);
  EXPECT_FLOAT_EQ(copy->pivotX, 0.25f);
  EXPECT_FLOAT_EQ(copy->localMatrix.d, 3);
  EXPECT_TRUE(copy->localMatrix.flipX);
  EXPECT_NE(&copy->localMatrix, &source->localMatrix) << "contents, not the matrix";
  EXPECT_EQ(copy->localColor.g, 12);
  EXPECT_EQ(copy->mediaId, 0x50000010u);
  EXPECT_EQ(copy->actionIndex, 2);
  EXPECT_EQ(copy->frameStart, 0u) << "media timing is not copied";
  EXPECT_EQ(copy->parent, nullptr);
  EXPECT_EQ(copy->dirty, GCore::kDirtyAll);
  EXPECT_FLOAT_EQ(copy->worldMatrix->tx, 0) << "the world matrix is not copied";
}

// A container with a skeleton, standing in for the skeletal display object.
class SkeletalParent : public DisplayObjectContainer {
 public:
  static const GCore::ClassInfo classInfo;
  using DisplayObjectContainer::DisplayObjectContainer;
  const GCore::ClassInfo* GetClassInfo() const override { return &classInfo; }
  const GCore::Skeleton* GetSkeleton() const override { return &skeleton; }
  GCore::Skeleton skeleton;
};
const GCore::ClassInfo SkeletalParent::classInfo = {"SkeletalParent",
                                                    &DisplayObjectContainer::classInfo};

TEST_F(DisplayObjectTest, SlotLinksOfASkeletalParent) {
  auto* plain = Make<DisplayObject>();
  EXPECT_STREQ(plain->GetBoneName(), "_root") << "no parent";
  plain->SetBoneName("arm");
  EXPECT_EQ(plain->slotLink, -1);

  GCore::SlotData arm{0, "arm"}, leg{1, "leg"};
  GCore::Bone bones[2];
  bones[1].a = 2, bones[1].b = 0, bones[1].c = 0, bones[1].d = 2;
  bones[1].worldX = 10, bones[1].worldY = 20;
  GCore::Slot slots[2];
  slots[0].data = &arm, slots[0].bone = &bones[0];
  slots[1].data = &leg, slots[1].bone = &bones[1];

  GCore::NewClassMetatable(L, &SkeletalParent::classInfo, [](lua_State*) { return 0; },
                           [](lua_State*) { return 0; });
  lua_pop(L, 1);
  auto* parent = Make<SkeletalParent>();
  parent->skeleton.slotCount = 2;
  parent->skeleton.slots = slots;
  auto* child = Make<DisplayObject>();
  parent->AddChild(child, 0);

  EXPECT_STREQ(child->GetBoneName(), "arm") << "the link word starts at 0: slot 0";
  child->dirty = 0;
  child->SetBoneName("leg");
  EXPECT_EQ(child->slotLink, 2);
  EXPECT_EQ(child->dirty, GCore::kDirtyAll);
  EXPECT_STREQ(child->GetBoneName(), "leg");

  GCore::Matrix* inverse = GCore::NewMatrix(L);
  child->GetInverseWorldMatrix(*inverse);
  // The bone's (a, c, -b, -d, x, y) = (2, 0, 0, -2, 10, 20), inverted.
  EXPECT_FLOAT_EQ(inverse->a, 0.5f);
  EXPECT_FLOAT_EQ(inverse->d, -0.5f);
  EXPECT_FLOAT_EQ(inverse->tx, -5);
  EXPECT_FLOAT_EQ(inverse->ty, 10);

  child->SetBoneName("tail");
  EXPECT_EQ(child->slotLink, -1);
  EXPECT_STREQ(child->GetBoneName(), "_root");
  child->SetBoneName("leg");
  child->SetBoneName("_root");
  EXPECT_EQ(child->slotLink, -1);
  parent->skeleton.slots = nullptr;
  parent->skeleton.slotCount = 0;
}

TEST_F(DisplayObjectTest, InverseOfAPlainParentsWorldMatrix) {
  auto* parent = Make<DisplayObjectContainer>();
  auto* child = Make<DisplayObject>();
  parent->AddChild(child, 0);
  parent->worldMatrix->SetValues(2, 0, 0, 4, 10, 20);
  parent->worldMatrix->flipY = true;
  GCore::Matrix* inverse = GCore::NewMatrix(L);
  child->GetInverseWorldMatrix(*inverse);
  EXPECT_FLOAT_EQ(inverse->a, 0.5f);
  EXPECT_FLOAT_EQ(inverse->d, 0.25f);
  EXPECT_FLOAT_EQ(inverse->tx, -5);
  EXPECT_FLOAT_EQ(inverse->ty, -5);
  EXPECT_TRUE(inverse->flipY) << "the flags come along";

  GCore::Matrix* untouched = GCore::NewMatrix(L);
  parent->GetInverseWorldMatrix(*untouched);
  EXPECT_FLOAT_EQ(untouched->a, 1) << "no parent: nothing happens";
}

}  // namespace
