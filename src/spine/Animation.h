#pragma once
// A named list of timelines, each keying one property of a posed skeleton.
// Owned by its SkeletonData; the animation owns its name, its timeline
// array and every timeline in it.
#include <cstdint>

namespace GCore {

struct Timeline;

struct Animation {
  const char* name = nullptr;
  float duration = 0;  // seconds
  int32_t timelinesCount = 0;
  Timeline** timelines = nullptr;
};

Animation* Animation_create(const char* name);
void Animation_dispose(Animation* self);

}  // namespace GCore
