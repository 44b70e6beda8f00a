#pragma once
// What a container keeps of its children while they are still (see
// RetainedTree.cpp): their recorded draw, and what the last looks found.
#include <cstdint>

#include "render/RetainedDraw.h"

namespace GCore {

struct StillState {
  RetainedDraw draw;
  // The draw epoch under which the subtree was found unfit for keeping,
  // trusted while nothing below changes; 0 for none.
  uint64_t refusedEpoch = 0;
  // The update-work stamp under which `idle` was found.
  uint64_t idleStamp = 0;
  bool idle = false;
};

}  // namespace GCore
