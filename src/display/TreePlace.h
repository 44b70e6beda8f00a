#pragma once
// Where a display object sits in its tree, kept on the object so that
// insertions, stage tests and event delivery need no climb to the root.
// Rules:
//  - The values are trusted only while the object's stamp equals the global
//    one. Every change that can move an object that has a place already (a
//    child leaving, a parent destroyed, a child linked with objects below it,
//    an object starting to listen) takes a new global stamp; the next query
//    fills the places from the nearest trusted ancestor down, once.
//  - A child linked with nothing below it takes its place from its parent at
//    once, so building a tree downwards costs no climb at all.
//  - `deepest` is not part of the stamped values: it is kept on roots at every
//    link and unlink, and is meaningless on an object that has a parent.
// Main thread only.
#include <cstdint>

namespace GCore {

class DisplayObject;

struct TreePlace {
  uint64_t stamp = 0;
  int32_t level = 0;  // levels above the object; 0 for a root
  // On a root: at least the level of the deepest object of its tree, at most
  // the depth bound of the display tree.
  int32_t deepest = 0;
  DisplayObject* root = nullptr;      // the topmost object of its tree
  DisplayObject* listener = nullptr;  // the nearest at or above it that may react to events
  // The marks epochs in which the bounds, and the draw-changed mark, were
  // marked up to the root (see DirtyMarks.h); cleared whenever the place is
  // filled.
  uint64_t boundsMarked = 0;
  uint64_t drawMarked = 0;
};

// The stamp that every current place carries (see the rules above); read
// through IsCurrent.
extern uint64_t g_placeStamp;

// Whether the place is up to date; inline, because every script assignment
// to a display object asks it while marking.
inline bool IsCurrent(const TreePlace& place) { return place.stamp == g_placeStamp; }

// The object's place, brought up to date (no script runs).
const TreePlace& PlaceOf(DisplayObject* object);
// Whether the object's place is up to date without a climb.
bool PlaceIsCurrent(const DisplayObject* object);
// Every place taken before this call is recomputed when next asked for.
void TreeChanged();
// The child was just linked under its parent and has nothing below it.
void PlaceLinkedLeaf(DisplayObject* child);

}  // namespace GCore
