#pragma once
// The root entity of one project: it sizes itself to the design size or to
// the renderer's logical size, fits the entities placed directly on it,
// runs their components' "update" every frame and "close" when they leave,
// and, while it draws, gathers the collision boxes of drawables into groups
// and tells the components of overlapping objects "collide".
// The project holds its stage; the last release destroys the stage at once,
// so code that works on a stage must hold it. Main thread only.
#include <vector>

#include "core/AirData.h"
#include "display/Entity.h"

namespace GCore {

struct CollisionEntry {
  Retained<DisplayObject> owner;
  std::vector<AirBox> boxes;  // stage coordinates, y up
};

struct CollisionGroup {
  int32_t key = 0;
  std::vector<CollisionEntry> entries;
};

// Overlap kinds told to "collide": this side's type-1 box on the other's
// type-2 box, the other way round, and two type-2 boxes.
constexpr int kCollideHits = 1;
constexpr int kCollideHitBy = 0;
constexpr int kCollideTouch = 2;

class Stage : public Entity {
 public:
  static const ClassInfo classInfo;

  explicit Stage(lua_State* L);
  const ClassInfo* GetClassInfo() const override { return &classInfo; }

  // Destroys the stage in place at once, then unpins its userdata.
  void Release() override;
  // Empties the groups, draws the tree (drawables refill the groups) and
  // reports the overlaps of each group.
  void Draw() override;
  // The own key tracks, then for each entity child: its Update and its
  // components' "update".
  void Update() override;
  float GetWidth() override;
  float GetHeight() override;
  // Entities placed here are fitted to the stage.
  void AddChild(DisplayObject* child, int32_t tag) override;
  // Entities leaving get "close".
  Retained<DisplayObject> RemoveChildAt(int32_t index) override;

  // Resizes the entity around its pivot point to the design size (letterbox)
  // or the logical size (expand).
  void FitEntityToStage(Entity& entity) const;
  // After a window resize in expand mode: every entity child is centred and
  // sized to the logical size.
  void FitChildrenToStage();
  // Called by drawables whose group is above 0 while they draw.
  void AddCollisionBoxes(DisplayObject* owner, std::vector<AirBox> boxes);

  std::vector<CollisionGroup> groups;

 private:
  // Tests every pair of entries of group g once.
  void TestGroup(size_t g);
  // The first overlap of a box of A of that type with a type-2 box of B is
  // told to both sides; true when there was one.
  bool TestBoxes(const CollisionEntry& a, const CollisionEntry& b, uint8_t kind);
  void NotifyCollide(DisplayObject* a, DisplayObject* b, int kind, const AirBox& overlap);
};

// The current project's stage, or none.
Stage* CurrentStage();

// The renderer's scene hooks: draw the given object (after its Update), or
// with none every project's stage; fit every stage's children after a resize.
void DrawScene(DisplayObject* object);
void FitStages();

// The "Stage" class in a script state: metatable (the entity members) and
// factory creator.
void RegisterStageClass(lua_State* L);
// The script constructor "Stage": the current project's stage (nil when
// there is none); it makes nothing.
int CurrentStageScript(lua_State* L);

}  // namespace GCore
