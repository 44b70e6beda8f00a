// SpineQuad: loading, advancing, setting animations, the listener, copies.
#include "spinequad/SpineQuad.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/GameIF.h"
#include "core/ResourcePath.h"
#include "core/ScriptVM.h"
#include "display/ScriptCalls.h"
#include "render/ResourceManager.h"
#include "spine/Animation.h"
#include "spine/AnimationState.h"
#include "spine/Event.h"
#include "spine/EventData.h"
#include "spine/SkeletonData.h"
#include "spine/SpineRecords.h"

namespace GCore {

namespace {

constexpr uint32_t kSkeletonKind = 0x80000000u;
// Below this step nothing advances; SetAnimation poses with a step just above it.
constexpr float kMinimumStep = 0.00001f;
constexpr float kPoseStep = 0.00002f;
constexpr size_t kDefaultNameLimit = 127;
// The constant the root turn has always been computed with.
constexpr float kHalfTurn = 3.14159f;

uint32_t AsSkeletonId(uint32_t id) { return (id & 0x0FFFFFFFu) | kSkeletonKind; }

// The node's size over the data's; a data size of 0 leaves the axis alone.
float FitFactor(float node, float data) { return data != 0 ? node / data : 1.0f; }

}  // namespace

std::string DefaultAnimationName() { return g_defaultAnimationName.substr(0, kDefaultNameLimit); }

SpineInstance::SpineInstance(std::shared_ptr<SpineRecord> shared, SpineQuad* quad)
    : record(std::move(shared)), owner(quad) {
  skeleton = Skeleton_create(record->skeletonData);
  state = AnimationState_create(record->stateData);
  state->listener = SpineQuadOnAnimationEvent;
  state->rendererObject = this;
}

SpineInstance::~SpineInstance() {
  AnimationState_dispose(state);
  Skeleton_dispose(skeleton);
}

const ClassInfo SpineQuad::classInfo = {"SpineQuad", &Entity::classInfo};

SpineQuad::SpineQuad(lua_State* L) : Entity(L), boneMatrix_(NewMatrix(L)) {}

SpineQuad::~SpineQuad() {
  if (callbackRef > 0 && state) luaL_unref(state, LUA_REGISTRYINDEX, callbackRef);
  ReplaceInstance(nullptr);
}

const Skeleton* SpineQuad::GetSkeleton() const { return GetPosedSkeleton(); }

Skeleton* SpineQuad::GetPosedSkeleton() const { return instance_ ? instance_->skeleton : nullptr; }

const SkeletonData* SpineQuad::GetSkeletonData() const {
  return instance_ ? instance_->record->skeletonData : nullptr;
}

AnimationState* SpineQuad::GetAnimationState() const {
  return instance_ ? instance_->state : nullptr;
}

TrackEntry* SpineQuad::CurrentEntry() const {
  const AnimationState* animationState = GetAnimationState();
  if (!animationState || animationState->tracks.empty()) return nullptr;
  return animationState->tracks[0];
}

bool SpineQuad::StillPlays(SpineQuad* quad, const SpineInstance* instance) {
  return IfAlive(quad) && quad->instance_.get() == instance;
}

void SpineQuad::ReplaceInstance(std::shared_ptr<SpineInstance> next) {
  if (instance_) instance_->owner = nullptr;
  // Whoever still runs the old instance holds it; otherwise it goes here.
  instance_ = std::move(next);
}

void SpineQuad::SetMedia(uint32_t id) {
  if (id == 0) return;
  id = AsSkeletonId(id);
  const uint32_t project = static_cast<uint32_t>(CurrentProjectIndex()) & 0xFF;
  const uint32_t ownProject = mediaProject & 0xFF;
  if (mediaId == id && (ownProject == 0 || ownProject == project)) return;
  // The base stores only an id that differs; the project byte changes too.
  mediaId = 0;
  DisplayObject::SetMedia(id);
  if (skeletonId == 0) skeletonId = id;
  LoadSkeleton();
}

void SpineQuad::SetSkeletonId(uint32_t id) {
  if (id == 0) return;
  id = AsSkeletonId(id);
  if (id == skeletonId) return;
  skeletonId = id;
  LoadSkeleton();
}

void SpineQuad::LoadSkeleton() {
  if (skeletonId == 0 || mediaId == 0 || !g_resourceManager) return;
  const OwnerPair atlas{static_cast<int32_t>(mediaProject & 0xFF), mediaId};
  std::shared_ptr<SpineRecord> record = g_resourceManager->LoadSpine(atlas, skeletonId);
  if (!record || !record->skeletonData || !record->stateData) return;
  speedPercent = kNormalSpeed;
  ReplaceInstance(std::make_shared<SpineInstance>(std::move(record), this));
  const std::string fallback = DefaultAnimationName();
  if (!fallback.empty()) SetAnimation(fallback.c_str(), true, 0);
}

void SpineQuad::Advance(float dt) {
  const std::shared_ptr<SpineInstance> instance = instance_;
  if (!instance || !std::isfinite(dt) || dt < kMinimumStep) return;
  Retained<SpineQuad> hold(this);
  DisplayObject::Draw();
  Skeleton& skeleton = *instance->skeleton;
  const SkeletonData& data = *skeleton.data;
  FitToContent(data.width, data.height);
  const Matrix& m = *worldMatrix.Get();
  skeleton.x = m.tx;
  skeleton.y = m.ty;
  // A skeleton without bones has no root to place.
  Bone* root = skeleton.root;
  if (root) {
    root->scaleX = root->scaleY = 1;
    root->x = root->y = 0;
  }
  skeleton.time += dt;

  AnimationState_update(instance->state, dt * static_cast<float>(speedPercent) * 0.01f);
  if (!StillPlays(this, instance.get())) return;
  AnimationState_apply(instance->state, &skeleton);
  if (!StillPlays(this, instance.get()) || !root) return;

  float sx = FitFactor(GetWidth(), data.width);
  float sy = FitFactor(GetHeight(), data.height);
  const auto mode = static_cast<int8_t>(scaleMode);
  if (mode >= kScaleUniformFit) {
    sx = sy = mode == kScaleUniformCover ? std::max(sx, sy) : std::min(sx, sy);
  }
  const float lengthX = std::sqrt(m.a * m.a + m.b * m.b) * (m.flipX ? -1.0f : 1.0f);
  const float lengthY = std::sqrt(m.c * m.c + m.d * m.d) * (m.flipY ? -1.0f : 1.0f);
  root->scaleX = lengthX * sx;
  root->scaleY = lengthY * sy;
  root->rotation = 90.0f - std::atan2((m.flipX ? -1.0f : 1.0f) * m.a, m.b) * 180.0f / kHalfTurn;
  Skeleton_updateWorldTransform(&skeleton);
}

float SpineQuad::SetAnimation(const char* name, bool loop, float startMs) {
  const std::shared_ptr<SpineInstance> instance = instance_;
  if (!instance || !name || FindAnimation(name) < 0) return 0;
  Animation* animation = SkeletonData_findAnimation(instance->record->skeletonData, name);
  Retained<SpineQuad> hold(this);
  // Called while this quad's own events are delivered: the pose is the
  // running step's to make.
  const bool inListener = eventsOn_ > 0;
  if (!inListener) {
    Skeleton_setBonesToSetupPose(instance->skeleton);
    Skeleton_setSlotsToSetupPose(instance->skeleton);
  }
  ++animationsSet_;
  ++eventsOn_;
  AnimationState_clearTrack(instance->state);
  TrackEntry* entry = nullptr;
  if (StillPlays(this, instance.get())) {
    entry = AnimationState_setAnimation(instance->state, animation, loop);
  }
  if (!IfAlive(this)) return 0;
  --eventsOn_;
  // A callback may have replaced the instance or ended the new entry.
  if (!entry || !StillPlays(this, instance.get())) return 0;
  entry->trackTime = std::isfinite(startMs) ? startMs * 0.001f : 0.0f;
  const float end = entry->animationEnd * 1000.0f;
  if (!inListener) {
    UpdateWorldTransform();
    Advance(kPoseStep);
  }
  return end;
}

void SpineQuad::SnapshotTo(SpineQuad& target) {
  Retained<SpineQuad> hold(this);
  Retained<SpineQuad> holdTarget(&target);
  if (&target != this) target.CopyFrom(this);
  if (!IfAlive(this) || !IfAlive(&target)) return;
  const TrackEntry* entry = CurrentEntry();
  if (!entry || !entry->animation || !entry->animation->name) return;
  const std::string name = entry->animation->name;
  const float time = entry->trackTime;
  target.SetAnimation(name.c_str(), true, 0);
  if (!IfAlive(&target)) return;
  target.Advance(time);
  if (IfAlive(&target)) target.speedPercent = 0;
}

void SpineQuad::CopyFrom(DisplayObject* source) {
  Entity::CopyFrom(source);
  auto* other = static_cast<SpineQuad*>(CastToClass(&classInfo, source));
  if (!other || other == this) return;
  // The same record as the source: skeleton and state always share data.
  ReplaceInstance(other->instance_ ? std::make_shared<SpineInstance>(other->instance_->record, this)
                                   : nullptr);
  const uint32_t otherId = other->skeletonId ? AsSkeletonId(other->skeletonId) : 0;
  if (otherId != 0 && otherId != skeletonId) {
    skeletonId = otherId;
    LoadSkeleton();
  }
  LoadSkeleton();
}

void SpineQuad::SetListener(lua_State* L, int index) {
  if (callbackRef > 0 && state) luaL_unref(state, LUA_REGISTRYINDEX, callbackRef);
  callbackRef = -1;
  if (lua_type(L, index) != LUA_TFUNCTION) return;
  lua_pushvalue(L, index);
  callbackRef = luaL_ref(L, LUA_REGISTRYINDEX);
}

void SpineQuadOnAnimationEvent(AnimationState* animationState, int32_t kind, TrackEntry* entry,
                               Event* event) {
  const auto* instance = static_cast<const SpineInstance*>(animationState->rendererObject);
  SpineQuad* quad = instance ? instance->owner : nullptr;
  if (!quad || quad->eventsOn_ <= 0) return;
  quad->Deliver(*instance, kind, entry, event);
}

void SpineQuad::Deliver(const SpineInstance& instance, int32_t kind, TrackEntry* entry,
                        Event* event) {
  Retained<SpineQuad> hold(this);
  const char* animationName = entry && entry->animation ? entry->animation->name : nullptr;
  const uint32_t animationsBefore = animationsSet_;
  if (callbackRef > 0 && state) CallListener(kind, animationName, event);
  // The callback may have set an animation, loaded or copied into the quad.
  if (!StillPlays(this, &instance) || animationsSet_ != animationsBefore) return;
  if (kind != kSpineEventComplete || !entry || entry->loop) return;
  const std::string fallback = DefaultAnimationName();
  if (fallback.empty() || (animationName && fallback == animationName)) return;
  SetAnimation(fallback.c_str(), true, 0);
}

void SpineQuad::CallListener(int32_t kind, const char* animationName, const Event* event) {
  SelectOwnerProject(state);
  RunProtected(state, [&](lua_State* L) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, callbackRef);
    if (!PushScriptObject(L, this)) lua_pushnil(L);
    lua_pushinteger(L, kind);
    if (animationName) {
      lua_pushstring(L, animationName);
    } else {
      lua_pushnil(L);
    }
    int arguments = 3;
    if (kind == kSpineEventComplete) {
      lua_pushinteger(L, 0);
      arguments = 4;
    } else if (kind == kSpineEventEvent && event) {
      lua_pushstring(L, event->data && event->data->name ? event->data->name : "");
      lua_pushinteger(L, event->intValue);
      lua_pushnumber(L, event->floatValue);
      if (event->stringValue) {
        lua_pushstring(L, event->stringValue);
      } else {
        lua_pushnil(L);
      }
      arguments = 7;
    }
    lua_call(L, arguments, 0);
  });
}

}  // namespace GCore
