#include "display/DirtyMarks.h"

#include "display/DisplayObjectContainer.h"

namespace GCore {

// Starts above every object's initial records, so a new object has none.
uint64_t g_marksEpoch = 1;

void NewMarksEpoch() { ++g_marksEpoch; }

bool IsWhollyDirty(const DisplayObject& object) { return InThisEpoch(object.whollyDirty); }

void NoteIfWhollyDirty(DisplayObject& object) {
  if (object.dirty != kDirtyAll) return;
  if (const auto* container = static_cast<const DisplayObjectContainer*>(
          CastToClass(&DisplayObjectContainer::classInfo, &object))) {
    for (const Retained<DisplayObject>& child : container->children) {
      if (child->parent != container || !IsWhollyDirty(*child.Get())) return;
    }
  }
  object.whollyDirty = g_marksEpoch;
}

void WithdrawWhollyDirtyAbove(const DisplayObject& child, DisplayObject* parent) {
  if (IsWhollyDirty(child)) return;
  for (DisplayObject* object = parent; object && IsWhollyDirty(*object); object = object->parent) {
    object->whollyDirty = 0;
  }
}

void MarkBoundsUp(DisplayObject& object) {
  DisplayObject* up = &object;
  for (; up->parent; up = up->parent) {
    // A record is kept only where the place is current: it speaks of the
    // ancestors the place was filled with.
    const bool placed = IsCurrent(up->place);
    if (placed && InThisEpoch(up->place.boundsMarked)) return;
    up->dirty |= kDirtyBounds;
    up->drawChanged = true;
    if (placed) up->place.boundsMarked = g_marksEpoch;
  }
  up->drawChanged = true;
}

void MarkDrawUp(DisplayObject& object) {
  // A stale place holds no record, so the climb would pass its stale part
  // anyway: filling it first costs no more, lets the records below be kept,
  // and makes the place of every ancestor current (the bounds record of
  // each is then trusted as it stands).
  PlaceOf(&object);
  for (DisplayObject* up = &object; up; up = up->parent) {
    TreePlace& place = up->place;
    if (InThisEpoch(place.drawMarked) || InThisEpoch(place.boundsMarked)) return;
    up->drawChanged = true;
    place.drawMarked = g_marksEpoch;
  }
}

}  // namespace GCore
