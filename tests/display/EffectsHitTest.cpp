// Pointer hits on emitters, trails and sprites: each answers by the bounds
// its last draw gave it (its own rectangle; a sprite its children's).
#include <functional>

#include "DisplayFixture.h"
#include "display/ParticleSystem.h"
#include "display/Sprite.h"
#include "display/Trail.h"

namespace {

class EffectsHitTest : public DisplayFixture {
 protected:
  // A layer at the stage's origin: entities placed on the stage itself
  // would take the design size.
  void SetUp() override {
    DisplayFixture::SetUp();
    layer = Make<GCore::DisplayObjectContainer>(nullptr, "layer");
    layer->anchorMinX = layer->anchorMaxX = layer->anchorMinY = layer->anchorMaxY = 0;
    layer->offsetMaxX = layer->offsetMaxY = 0;
    layer->pivotX = layer->pivotY = 0;
    stage->AddChild(layer, 0);
  }

  // Placed at (0, 0) to (40, 40) in the layer, taking the pointer.
  template <class T>
  T* Place(const char* objectName) {
    T* object = Make<T>(nullptr, objectName);
    object->anchorMinX = object->anchorMaxX = object->anchorMinY = object->anchorMaxY = 0;
    object->offsetMinX = object->offsetMinY = 0;
    object->offsetMaxX = object->offsetMaxY = 40;
    object->mouseEnabled = true;
    layer->AddChild(object, 0);
    return object;
  }

  std::string Hits(float x, float y) {
    GCore::HitList hits;
    stage->HitTest(GCore::Point{x, y}, hits);
    std::string names;
    for (const auto& hit : hits) names += (names.empty() ? "" : " ") + hit->name;
    return names;
  }

  GCore::DisplayObjectContainer* layer = nullptr;
};

TEST_F(EffectsHitTest, DrawnBoundsTakeThePointer) {
  const struct {
    std::function<GCore::DisplayObject*()> make;
    const char* inside;
  } cases[] = {
      {[this] { return Place<GCore::ParticleSystem>("emitter"); }, "emitter"},
      {[this] { return Place<GCore::Trail>("trail"); }, "trail"},
      // A sprite has no rectangle of its own: its children's bounds count.
      {[this] {
         auto* sprite = Place<GCore::Sprite>("sprite");
         GCore::DisplayObject* child = MakeProbe("child", {0, 0, 40, 40});
         child->mouseEnabled = true;
         sprite->AddChild(child, 0);
         return sprite;
       },
       "sprite child"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.inside);
    GCore::DisplayObject* object = c.make();
    EXPECT_EQ(Hits(20, 20), "") << "nothing before the first draw";
    layer->Draw();
    EXPECT_EQ(Hits(20, 20), c.inside);
    EXPECT_EQ(Hits(40, 0), c.inside) << "edges belong to the bounds";
    EXPECT_EQ(Hits(41, 20), "");
    object->visible = false;
    EXPECT_EQ(Hits(20, 20), "");
    layer->RemoveAllChildren();
  }
}

}  // namespace
