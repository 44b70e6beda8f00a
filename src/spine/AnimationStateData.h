#pragma once
// Cross-fade durations between pairs of animations of one SkeletonData, with
// a default for pairs not listed. Shared by every AnimationState made over
// it; it owns its entries, not the animations.
#include <cstdint>

namespace GCore {

struct Animation;
struct SkeletonData;

struct AnimationStateToEntry {
  const Animation* animation = nullptr;
  float duration = 0;
  AnimationStateToEntry* next = nullptr;
};

struct AnimationStateFromEntry {
  const Animation* animation = nullptr;
  AnimationStateToEntry* toEntries = nullptr;
  AnimationStateFromEntry* next = nullptr;
};

struct AnimationStateData {
  const SkeletonData* skeletonData = nullptr;
  float defaultMix = 0;
  AnimationStateFromEntry* entries = nullptr;
};

AnimationStateData* AnimationStateData_create(const SkeletonData* skeletonData);
void AnimationStateData_dispose(AnimationStateData* self);
// The listed duration of the first matching (from, to) pair, else the default.
float AnimationStateData_getMix(const AnimationStateData* self, const Animation* from,
                                const Animation* to);

}  // namespace GCore
