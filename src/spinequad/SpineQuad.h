#pragma once
// The display object that plays one skeleton in the display tree: an entity
// that owns a posed skeleton and its animation state, advances them by the
// game's step each time it is drawn, draws every slot's attachment in draw
// order, and draws the children linked to a slot just before or just after
// that slot's attachment, in the slot bone's space.
// Rules:
//  - Skeleton data, atlas and mix table belong to the resource manager's
//    record, which every quad made from it shares: unloading the resource
//    leaves playing quads intact until they load again or go.
//  - The posed skeleton and its animation state form one SpineInstance,
//    replaced whole by a load or a copy. Whoever runs the animation state
//    holds the instance it runs, so a script callback that reloads, copies
//    into or destroys the quad meanwhile frees nothing still in use; an
//    instance its quad has let go of reports no more events.
//  - The animation state's events reach the quad's own script callback, and
//    only while that quad is being drawn or is setting an animation (a
//    script's own advance reports nothing).
//  - The quad holds itself while it runs script code (draw, advance, set
//    animation).
//  - Children linked to slot k (link word 2k, or 2k + 1 to come after the
//    attachment) are placed through the quad's own bone matrix; children
//    with a negative link word are drawn after all slots in the quad's own
//    space. Without a skeleton the quad draws nothing, children included.
// Main thread only.
#include <cstdint>
#include <lua.hpp>
#include <memory>
#include <string>

#include "display/Entity.h"

namespace GCore {

struct AnimationState;
struct Event;
struct SkeletonData;
struct Skeleton;
struct SpineRecord;
struct TrackEntry;
class SpineQuad;

// One load of a skeleton: a posed skeleton and an animation state over a
// shared record. The state's listener finds the instance through the
// state's renderer object.
struct SpineInstance {
  SpineInstance(std::shared_ptr<SpineRecord> record, SpineQuad* owner);
  ~SpineInstance();
  SpineInstance(const SpineInstance&) = delete;
  SpineInstance& operator=(const SpineInstance&) = delete;

  std::shared_ptr<SpineRecord> record;
  Skeleton* skeleton = nullptr;
  AnimationState* state = nullptr;
  SpineQuad* owner = nullptr;  // null once the quad let go of it
};

class SpineQuad : public Entity {
 public:
  static const ClassInfo classInfo;
  static constexpr int16_t kNormalSpeed = 100;

  explicit SpineQuad(lua_State* L);
  ~SpineQuad() override;
  const ClassInfo* GetClassInfo() const override { return &classInfo; }

  // The entity copy; from a SpineQuad also its skeleton (over the same
  // record, with a fresh animation state) and its skeleton id, then a load.
  void CopyFrom(DisplayObject* source) override;
  void Draw() override;
  // Stores the id as kind 8 (the atlas; also the skeleton when none is
  // named yet) and loads, unless it is the id already stored.
  void SetMedia(uint32_t id) override;
  const char* GetClassName() const override { return "SpineQuad"; }
  const Skeleton* GetSkeleton() const override;

  // (Re)builds skeleton and animation state from the media id (the atlas)
  // and the skeleton id, and starts the default animation. Nothing changes
  // when either id is 0 or the resources cannot be read.
  void LoadSkeleton();
  // Stores the skeleton id as kind 8 and loads when it changed; 0 is ignored.
  void SetSkeletonId(uint32_t id);
  // Advances the animation by dt seconds (times the speed percent) and
  // poses the skeleton under the world matrix. Nothing below 0.00001 s.
  void Advance(float dt);
  // Plays the named animation on track 0 from startMs; the animation's
  // duration in milliseconds, 0 when nothing was set.
  float SetAnimation(const char* name, bool loop, float startMs);
  // Copies this quad into target and freezes its pose there: the current
  // animation at its current time, speed 0. Freezes itself when target is
  // this quad.
  void SnapshotTo(SpineQuad& target);
  // The script function at `index` becomes the callback (nil: none); the
  // earlier one is let go.
  void SetListener(lua_State* L, int index);

  // Lookups, -1 when not found or nothing is loaded.
  int32_t FindAnimation(const char* name) const;
  int32_t FindSlot(const char* name) const;
  int32_t FindBone(const char* name) const;
  // Keyed events of the animation: all of them without an event name, else
  // those of that event; 0 when its last timeline keys no events.
  int32_t CountAnimationEvents(const char* animationName, const char* eventName) const;
  // Push what the kind names ("pos", "lpos", "color" for slots; "pos",
  // "lpos" for bones) and return the number of values; nil, nil when the
  // name or the kind is unknown.
  int PushSlotInfo(lua_State* L, const char* slotName, const char* kind) const;
  int PushBoneInfo(lua_State* L, const char* boneName, const char* kind) const;

  // What is loaded; null when nothing is.
  Skeleton* GetPosedSkeleton() const;
  const SkeletonData* GetSkeletonData() const;
  AnimationState* GetAnimationState() const;
  // Track 0's entry, or null.
  TrackEntry* CurrentEntry() const;

  int32_t callbackRef = 0;  // registry reference; called only while above 0
  uint32_t skeletonId = 0;  // kind 8; 0 = none
  int16_t speedPercent = kNormalSpeed;

 private:
  friend void SpineQuadOnAnimationEvent(AnimationState* state, int32_t kind, TrackEntry* entry,
                                        Event* event);

  // The quad still exists (a script may destroy it in place, which leaves
  // no SpineQuad to call a member of) and still plays `instance`.
  static bool StillPlays(SpineQuad* quad, const SpineInstance* instance);
  void ReplaceInstance(std::shared_ptr<SpineInstance> next);
  // One event of the quad's own instance: the script callback, then the
  // default animation after a non-looping one completed.
  void Deliver(const SpineInstance& instance, int32_t kind, TrackEntry* entry, Event* event);
  void CallListener(int32_t kind, const char* animationName, const Event* event);
  // Draw after the base step: bounds, advance, slots and linked children.
  void DrawPosed(const std::shared_ptr<SpineInstance>& instance);
  // Draws the children whose link word is `link` (after marking every child
  // dirty, so that each follows the matrix and colour in force); false when
  // a script meanwhile destroyed the quad or replaced its instance.
  bool DrawLinkedChildren(int32_t link, const SpineInstance& instance);

  std::shared_ptr<SpineInstance> instance_;
  Retained<Matrix> boneMatrix_;  // the world matrix of slot-linked children
  int32_t eventsOn_ = 0;         // above 0 while events reach the callback
  uint32_t animationsSet_ = 0;   // counts SetAnimation calls
};

// The animation-state listener of every SpineQuad.
void SpineQuadOnAnimationEvent(AnimationState* state, int32_t kind, TrackEntry* entry,
                               Event* event);

// The default animation (at most its first 127 characters), empty for none.
std::string DefaultAnimationName();

// The "SpineQuad" class of a project state: its metatable and its creator
// in the class factory.
void RegisterSpineQuadClass(lua_State* L);

// The script constructor "SpineQuad": a new quad without a skeleton
// (arguments ignored).
int NewSpineQuadScript(lua_State* L);

}  // namespace GCore
