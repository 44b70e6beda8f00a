#include "display/TreePlace.h"

#include <vector>

#include "display/DisplayObjectContainer.h"

namespace GCore {

// Starts above every object's initial stamp, so a new object is never trusted.
uint64_t g_placeStamp = 1;

namespace {

void Fill(DisplayObject& object, const TreePlace* above) {
  TreePlace& place = object.place;
  place.stamp = g_placeStamp;
  place.level = above ? above->level + 1 : 0;
  place.root = above ? above->root : &object;
  place.listener = object.ListensToEvents() ? &object : above ? above->listener : nullptr;
  place.boundsMarked = 0;
  place.drawMarked = 0;
}

}  // namespace

const TreePlace& PlaceOf(DisplayObject* object) {
  if (IsCurrent(object->place)) return object->place;
  // The untrusted part of the path, gathered without recursion: trees are
  // deep enough to exhaust the C stack.
  static std::vector<DisplayObject*> path;
  path.clear();
  DisplayObject* up = object;
  for (; up && !IsCurrent(up->place); up = up->parent) path.push_back(up);
  const TreePlace* above = up ? &up->place : nullptr;
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    Fill(**it, above);
    above = &(*it)->place;
  }
  return object->place;
}

bool PlaceIsCurrent(const DisplayObject* object) { return IsCurrent(object->place); }

void TreeChanged() { ++g_placeStamp; }

void PlaceLinkedLeaf(DisplayObject* child) { Fill(*child, &PlaceOf(child->parent)); }

}  // namespace GCore
