#include "display/TreePlace.h"

#include <vector>

#include "display/DisplayObjectContainer.h"

namespace GCore {

namespace {

// Starts above every object's initial stamp, so a new object is never trusted.
uint64_t g_stamp = 1;

void Fill(DisplayObject& object, const TreePlace* above) {
  TreePlace& place = object.place;
  place.stamp = g_stamp;
  place.level = above ? above->level + 1 : 0;
  place.root = above ? above->root : &object;
  place.listener = object.ListensToEvents() ? &object : above ? above->listener : nullptr;
  place.boundsMarked = 0;
  place.drawMarked = 0;
}

}  // namespace

const TreePlace& PlaceOf(DisplayObject* object) {
  if (object->place.stamp == g_stamp) return object->place;
  // The untrusted part of the path, gathered without recursion: trees are
  // deep enough to exhaust the C stack.
  static std::vector<DisplayObject*> path;
  path.clear();
  DisplayObject* up = object;
  for (; up && up->place.stamp != g_stamp; up = up->parent) path.push_back(up);
  const TreePlace* above = up ? &up->place : nullptr;
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    Fill(**it, above);
    above = &(*it)->place;
  }
  return object->place;
}

bool PlaceIsCurrent(const DisplayObject* object) { return object->place.stamp == g_stamp; }

void TreeChanged() { ++g_stamp; }

void PlaceLinkedLeaf(DisplayObject* child) { Fill(*child, &PlaceOf(child->parent)); }

}  // namespace GCore
