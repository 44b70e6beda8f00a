#pragma once
// The dirty bits of a display object, and the records that let marking them
// skip what is marked already: an insertion then costs neither a climb to
// the root nor a walk of the subtree it brings.
// Rules:
//  - Every write that clears a bit takes a new marks epoch (DirtyBits does it
//    itself, whoever writes), and so does every unlink. A record is trusted
//    only under the epoch it was made in, so it never outlives a cleared bit.
//  - Wholly dirty (DisplayObject::whollyDirty): the object and everything
//    its child lists hold have every bit. Recorded only when each listed
//    child is wholly dirty and linked to the object, so an object that is not
//    has no ancestor that is; a child listed without it withdraws it from the
//    ancestors that have it, climbing no further than the first that has not.
//    (A container emptying itself may list children it has unlinked, out of
//    reach of that climb: hence the new epoch at each unlink.)
//  - Bounds marked up (TreePlace::boundsMarked): the object and each of its
//    ancestors but the root have the bounds bit, and all of them, the root
//    included, the draw-changed mark. Part of the object's place, so a change
//    of its ancestors (a new place stamp) withdraws it; a container that
//    clears its draw-changed mark takes a new epoch as a cleared bit does.
//  - Draw marked up (TreePlace::drawMarked): the object and all its
//    ancestors, the root included, have the draw-changed mark. Kept and
//    withdrawn as the bounds record is (a current bounds record stops its
//    climb too). A set mark alone says nothing of the ancestors: a draw
//    clears a container's mark and leaves the marks of an invisible child
//    and all below it set.
// Main thread only.
#include <cstdint>

#include "display/TreePlace.h"

namespace GCore {

class DisplayObject;

constexpr uint8_t kDirtyTransform = 1;
constexpr uint8_t kDirtyColour = 2;
constexpr uint8_t kDirtyBounds = 4;
constexpr uint8_t kDirtyAll = 7;

// The current marks epoch; read through InThisEpoch.
extern uint64_t g_marksEpoch;

// Nothing recorded before this call is trusted any longer.
void NewMarksEpoch();

// Whether a record was made in the current epoch (and so is trusted).
inline bool InThisEpoch(uint64_t record) { return record == g_marksEpoch; }

// Read and written as a byte; a write that clears a bit takes a new epoch.
class DirtyBits {
 public:
  DirtyBits() = default;
  DirtyBits(const DirtyBits&) = default;
  DirtyBits& operator=(const DirtyBits& other) { return *this = other.bits_; }
  DirtyBits& operator=(uint8_t bits) {
    if (bits_ & ~bits) NewMarksEpoch();
    bits_ = bits;
    return *this;
  }
  DirtyBits& operator|=(uint8_t bits) { return *this = static_cast<uint8_t>(bits_ | bits); }
  DirtyBits& operator&=(uint8_t bits) { return *this = static_cast<uint8_t>(bits_ & bits); }
  operator uint8_t() const { return bits_; }

 private:
  uint8_t bits_ = kDirtyAll;
};

bool IsWhollyDirty(const DisplayObject& object);
// Records that the object is wholly dirty, when it is (a look at its own
// bits and its children's records, no deeper).
void NoteIfWhollyDirty(DisplayObject& object);
// The child was just listed by `parent`.
void WithdrawWhollyDirtyAbove(const DisplayObject& child, DisplayObject* parent);
// The bounds bit on the object and its ancestors, the root excepted, and the
// draw-changed mark on all of them; the climb stops where the rest of the
// way is recorded as marked.
void MarkBoundsUp(DisplayObject& object);
// The draw-changed mark on the object and its ancestors; the climb stops
// where the rest of the way is recorded as marked.
void MarkDrawUp(DisplayObject& object);
// Whether MarkDrawUp would stop at once, told from the object's place alone
// (without a call: every script assignment asks it); false when the place
// is stale, which MarkDrawUp must fill.
inline bool DrawMarkedUp(const TreePlace& place) {
  return IsCurrent(place) && (InThisEpoch(place.drawMarked) || InThisEpoch(place.boundsMarked));
}
// Whether MarkBoundsUp would find the whole way up marked already: the
// record in the place of an object that has a parent (a root never has
// one). Inline, as DrawMarkedUp.
inline bool BoundsMarkedUp(const TreePlace& place, bool hasParent) {
  return hasParent && IsCurrent(place) && InThisEpoch(place.boundsMarked);
}

}  // namespace GCore
