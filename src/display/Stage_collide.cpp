// Collision groups of the stage: drawables add their boxes while the stage
// draws; afterwards every pair of entries of a group is tested once and the
// components of both sides hear "collide".
#include <algorithm>

#include "core/Matrix.h"
#include "display/ScriptCalls.h"
#include "display/Stage.h"

namespace GCore {

void Stage::AddCollisionBoxes(DisplayObject* owner, std::vector<AirBox> boxes) {
  if (!owner) return;
  const int32_t key = owner->group;
  auto group = std::find_if(groups.begin(), groups.end(),
                            [key](const CollisionGroup& g) { return g.key == key; });
  if (group == groups.end()) {
    groups.push_back(CollisionGroup{key, {}});
    group = groups.end() - 1;
  }
  group->entries.push_back(CollisionEntry{Retained<DisplayObject>(owner), std::move(boxes)});
}

void Stage::Draw() {
  groups.clear();
  Entity::Draw();
  for (size_t g = 0; g < groups.size(); ++g) TestGroup(g);
}

void Stage::TestGroup(size_t g) {
  // Handlers run between the tests and may change the groups: every step
  // looks at them afresh.
  const auto entries = [this, g]() -> const std::vector<CollisionEntry>* {
    return g < groups.size() ? &groups[g].entries : nullptr;
  };
  for (size_t i = 0; entries() && i < entries()->size(); ++i) {
    for (size_t j = i + 1; entries() && j < entries()->size(); ++j) {
      const struct {
        size_t a, b;
        uint8_t kind;
      } tests[] = {{i, j, 1}, {j, i, 1}, {i, j, 2}};
      for (const auto& test : tests) {
        const std::vector<CollisionEntry>* list = entries();
        if (list && std::max(test.a, test.b) < list->size()) {
          TestBoxes((*list)[test.a], (*list)[test.b], test.kind);
        }
      }
    }
  }
}

bool Stage::TestBoxes(const CollisionEntry& a, const CollisionEntry& b, uint8_t kind) {
  for (const AirBox& boxA : a.boxes) {
    if (boxA.type != kind) continue;
    for (const AirBox& boxB : b.boxes) {
      if (boxB.type != 2) continue;
      AirBox overlap;
      overlap.left = std::max(boxA.left, boxB.left);
      overlap.right = std::min(boxA.right, boxB.right);
      if (!(overlap.left < overlap.right)) continue;
      overlap.bottom = std::max(boxA.bottom, boxB.bottom);
      overlap.top = std::min(boxA.top, boxB.top);
      if (!(overlap.bottom < overlap.top)) continue;
      // The entries may go while the handlers run.
      const Retained<DisplayObject> sideA = a.owner;
      const Retained<DisplayObject> sideB = b.owner;
      if (kind == 1) {
        NotifyCollide(sideA.Get(), sideB.Get(), kCollideHits, overlap);
        NotifyCollide(sideB.Get(), sideA.Get(), kCollideHitBy, overlap);
      } else {
        NotifyCollide(sideA.Get(), sideB.Get(), kCollideTouch, overlap);
        NotifyCollide(sideB.Get(), sideA.Get(), kCollideTouch, overlap);
      }
      return true;
    }
  }
  return false;
}

void Stage::NotifyCollide(DisplayObject* a, DisplayObject* b, int kind, const AirBox& overlap) {
  lua_State* L = state;
  if (!L || !a || !b) return;
  const int top = lua_gettop(L);
  if (!PushScriptObject(L, a) || !PushScriptObject(L, b)) {
    lua_settop(L, top);
    return;
  }
  // The overlap's corners in A's local space; the same numbers go to every
  // entity on the way up.
  const Affine inverse = Inverted(AffineOf(a->worldMatrix.Get()));
  lua_pushinteger(L, kind);
  lua_pushnumber(L, inverse.a * overlap.left + inverse.c * overlap.bottom + inverse.tx);
  lua_pushnumber(L, inverse.a * overlap.right + inverse.c * overlap.top + inverse.tx);
  lua_pushnumber(L, inverse.b * overlap.left + inverse.d * overlap.bottom + inverse.ty);
  lua_pushnumber(L, inverse.b * overlap.right + inverse.d * overlap.top + inverse.ty);
  SelectOwnerProject(L);
  for (Retained<DisplayObject> current(a); current && current.Get() != this;) {
    if (auto* entity = static_cast<Entity*>(CastToClass(&Entity::classInfo, current.Get()))) {
      entity->CallComponents(L, "collide", false, top + 1, 7);
    }
    DisplayObjectContainer* up = current->parent;
    if (!up || !CastToClass(&Entity::classInfo, up)) break;
    current.Reset(up);
  }
  lua_settop(L, top);
}

}  // namespace GCore
