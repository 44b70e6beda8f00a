// Animation records of a skeleton binary file: eight sections of timelines
// in a fixed order, each checked against the skeleton data read before it.
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "spine/Animation.h"
#include "spine/BoneData.h"
#include "spine/BoneTimelines.h"
#include "spine/ConstraintTimelines.h"
#include "spine/DeformTimeline.h"
#include "spine/DrawOrderTimeline.h"
#include "spine/Event.h"
#include "spine/EventData.h"
#include "spine/EventTimeline.h"
#include "spine/PathConstraintData.h"
#include "spine/SkeletonBinaryReader.h"
#include "spine/Skin.h"
#include "spine/SlotData.h"
#include "spine/SlotTimelines.h"
#include "spine/VertexAttachment.h"

namespace GCore {

namespace {

constexpr uint8_t kCurveStepped = 1, kCurveBezier = 2;

// Timelines read so far; disposed unless handed to the animation.
class TimelineList {
 public:
  explicit TimelineList(const char* animation) : animation_(animation) {}
  TimelineList(const TimelineList&) = delete;
  TimelineList& operator=(const TimelineList&) = delete;
  ~TimelineList() {
    for (Timeline* timeline : timelines_) Timeline_dispose(timeline);
  }

  const char* animation() const { return animation_; }

  // Takes `timeline`; its last key may lengthen the animation.
  void Add(Timeline* timeline, float lastKeyTime) {
    timelines_.push_back(timeline);
    duration_ = std::max(duration_, lastKeyTime);
  }

  Animation* Release() {
    Animation* animation = Animation_create(animation_);
    animation->timelinesCount = static_cast<int32_t>(timelines_.size());
    animation->timelines = NewArray<Timeline*>(timelines_.size());
    std::copy(timelines_.begin(), timelines_.end(), animation->timelines);
    animation->duration = duration_;
    timelines_.clear();
    return animation;
  }

 private:
  const char* animation_;
  std::vector<Timeline*> timelines_;
  float duration_ = 0;
};

template <class T>
struct TimelineGuard {
  T* timeline;
  explicit TimelineGuard(T* t) : timeline(t) {}
  TimelineGuard(const TimelineGuard&) = delete;
  TimelineGuard& operator=(const TimelineGuard&) = delete;
  ~TimelineGuard() { Timeline_dispose(timeline); }
  T* Release() { return std::exchange(timeline, nullptr); }
};

void ReadCurve(SkeletonReadContext& c, CurveTimeline* timeline, int32_t frameIndex) {
  switch (c.in.ReadByte()) {
    case kCurveStepped:
      Animation_setStepped(timeline, frameIndex);
      break;
    case kCurveBezier: {
      const float cx1 = c.in.ReadFloat(), cy1 = c.in.ReadFloat();
      const float cx2 = c.in.ReadFloat(), cy2 = c.in.ReadFloat();
      Animation_setCurve(timeline, frameIndex, cx1, cy1, cx2, cy2);
      break;
    }
    default:
      break;  // linear, as created
  }
}

// A keyframe count: at least one key (when required), each taking at least
// `bytesEach` bytes.
bool ReadKeyCount(SkeletonReadContext& c, const TimelineList& list, uint32_t bytesEach,
                  uint32_t& count) {
  if (!c.ReadCount(count, bytesEach)) return false;
  return count > 0 || c.Fail("Timeline without keys in animation: ", list.animation());
}

bool ReadIndex(SkeletonReadContext& c, const TimelineList& list, const char* what, int32_t limit,
               int32_t& index) {
  const uint32_t value = c.in.ReadVarint();
  index = static_cast<int32_t>(value);
  if (value < static_cast<uint32_t>(limit)) return true;
  return c.Fail((std::string("Invalid ") + what + " index in animation: ").c_str(),
                list.animation());
}

// How the values of one key of a strided timeline are written after its
// time: floats (multiplied by `scale`), a colour of four bytes, or an IK mix
// float and a bend-direction byte.
struct KeyLayout {
  enum Encoding { kFloats, kColour, kMixAndBend };
  int32_t values;
  float scale = 1;
  Encoding encoding = kFloats;

  uint32_t MinBytes() const {
    switch (encoding) {
      case kColour:
        return 8;
      case kMixAndBend:
        return 9;
      default:
        return 4 + 4 * static_cast<uint32_t>(values);
    }
  }

  void Read(SkeletonReadContext& c, float* v) const {
    switch (encoding) {
      case kColour:
        for (int32_t k = 0; k < 4; ++k) v[k] = c.in.ReadByte() / 255.0f;
        break;
      case kMixAndBend:
        v[0] = c.in.ReadFloat();
        v[1] = c.in.ReadSignedByte();
        break;
      default:
        for (int32_t k = 0; k < values; ++k) v[k] = c.in.ReadFloat() * scale;
        break;
    }
  }
};

// A strided timeline: its key count, then per key the time, the values and
// a curve record unless it is the last key. `make` creates the timeline for
// a key count and sets what it keys.
template <class Make>
bool ReadKeyedTimeline(SkeletonReadContext& c, TimelineList& list, const KeyLayout& layout,
                       Make make) {
  uint32_t count;
  if (!ReadKeyCount(c, list, layout.MinBytes(), count)) return false;
  CurveTimeline* made = make(static_cast<int32_t>(count));
  TimelineGuard<CurveTimeline> timeline(made);
  for (uint32_t i = 0; i < count; ++i) {
    const float time = c.in.ReadFloat();
    float v[4] = {};
    layout.Read(c, v);
    Animation_setFrame(made, static_cast<int32_t>(i), time, v[0], v[1], v[2], v[3]);
    if (i + 1 < count) ReadCurve(c, made, static_cast<int32_t>(i));
  }
  if (c.in.failed()) return c.Truncated();
  list.Add(timeline.Release(), made->frames[made->framesCount - (layout.values + 1)]);
  return true;
}

bool ReadAttachmentTimeline(SkeletonReadContext& c, TimelineList& list, int32_t slotIndex) {
  uint32_t count;
  if (!ReadKeyCount(c, list, 5, count)) return false;
  TimelineGuard<AttachmentTimeline> timeline(
      Animation_createAttachmentTimeline(static_cast<int32_t>(count)));
  AttachmentTimeline* made = timeline.timeline;
  made->slotIndex = slotIndex;
  for (uint32_t i = 0; i < count; ++i) {
    const float time = c.in.ReadFloat();
    const std::optional<std::string> name = c.in.ReadString();
    Animation_setAttachmentFrame(made, static_cast<int32_t>(i), time, TextOrNone(name));
  }
  if (c.in.failed()) return c.Truncated();
  list.Add(timeline.Release(), made->frames[count - 1]);
  return true;
}

bool ReadSlotTimelines(SkeletonReadContext& c, TimelineList& list) {
  uint32_t slots;
  if (!c.ReadCount(slots, 2)) return false;
  for (uint32_t s = 0; s < slots; ++s) {
    int32_t slotIndex;
    uint32_t timelines;
    if (!ReadIndex(c, list, "slot", c.data->slotCount, slotIndex) || !c.ReadCount(timelines, 2)) {
      return false;
    }
    for (uint32_t t = 0; t < timelines; ++t) {
      const uint8_t type = c.in.ReadByte();
      bool read;
      if (type == 0) {
        read = ReadAttachmentTimeline(c, list, slotIndex);
      } else if (type == 1) {
        read = ReadKeyedTimeline(c, list, {4, 1, KeyLayout::kColour}, [&](int32_t keys) {
          ColorTimeline* made = Animation_createColorTimeline(keys);
          made->slotIndex = slotIndex;
          return made;
        });
      } else {
        return c.Fail("Invalid timeline type for a slot: ", c.data->slots[slotIndex]->name);
      }
      if (!read) return false;
    }
  }
  return true;
}

bool ReadBoneTimelines(SkeletonReadContext& c, TimelineList& list) {
  uint32_t bones;
  if (!c.ReadCount(bones, 2)) return false;
  for (uint32_t n = 0; n < bones; ++n) {
    int32_t boneIndex;
    uint32_t timelines;
    if (!ReadIndex(c, list, "bone", c.data->boneCount, boneIndex) || !c.ReadCount(timelines, 2)) {
      return false;
    }
    for (uint32_t t = 0; t < timelines; ++t) {
      const uint8_t type = c.in.ReadByte();
      bool read;
      if (type == 0) {
        read = ReadKeyedTimeline(c, list, {1}, [&](int32_t keys) {
          RotateTimeline* made = Animation_createRotateTimeline(keys);
          made->boneIndex = boneIndex;
          return made;
        });
      } else if (type >= 1 && type <= 3) {
        // Only translations are lengths.
        const KeyLayout layout{2, type == 1 ? c.reader->scale : 1};
        read = ReadKeyedTimeline(c, list, layout, [&](int32_t keys) {
          TranslateTimeline* made = type == 1   ? Animation_createTranslateTimeline(keys)
                                    : type == 2 ? Animation_createScaleTimeline(keys)
                                                : Animation_createShearTimeline(keys);
          made->boneIndex = boneIndex;
          return made;
        });
      } else {
        return c.Fail("Invalid timeline type for a bone: ", c.data->bones[boneIndex]->name);
      }
      if (!read) return false;
    }
  }
  return true;
}

// The IK and transform sections: a count of timelines, each a constraint
// index and its keys.
template <class T>
bool ReadConstraintTimelines(SkeletonReadContext& c, TimelineList& list, const char* what,
                             int32_t constraintCount, const KeyLayout& layout,
                             T* (*create)(int32_t), int32_t T::*indexField) {
  uint32_t timelines;
  if (!c.ReadCount(timelines, 2)) return false;
  for (uint32_t t = 0; t < timelines; ++t) {
    int32_t index;
    if (!ReadIndex(c, list, what, constraintCount, index)) return false;
    const bool read = ReadKeyedTimeline(c, list, layout, [&](int32_t keys) {
      T* made = create(keys);
      made->*indexField = index;
      return made;
    });
    if (!read) return false;
  }
  return true;
}

bool ReadPathTimelines(SkeletonReadContext& c, TimelineList& list) {
  uint32_t constraints;
  if (!c.ReadCount(constraints, 2)) return false;
  for (uint32_t n = 0; n < constraints; ++n) {
    int32_t index;
    uint32_t timelines;
    if (!ReadIndex(c, list, "path constraint", c.data->pathConstraintCount, index) ||
        !c.ReadCount(timelines, 2)) {
      return false;
    }
    const PathConstraintData& data = *c.data->pathConstraints[index];
    for (uint32_t t = 0; t < timelines; ++t) {
      const uint8_t type = c.in.ReadByte();
      bool read;
      if (type == 0 || type == 1) {
        // Positions and spacings are lengths only in the modes that measure them so.
        const bool position = type == 0;
        const bool scaled = position ? data.positionMode == kPositionFixed
                                     : data.spacingMode == kSpacingLength ||
                                           data.spacingMode == kSpacingFixed;
        read = ReadKeyedTimeline(c, list, {1, scaled ? c.reader->scale : 1}, [&](int32_t keys) {
          PathConstraintPositionTimeline* made =
              position ? Animation_createPathConstraintPositionTimeline(keys)
                       : Animation_createPathConstraintSpacingTimeline(keys);
          made->pathConstraintIndex = index;
          return made;
        });
      } else if (type == 2) {
        read = ReadKeyedTimeline(c, list, {2}, [&](int32_t keys) {
          PathConstraintMixTimeline* made = Animation_createPathConstraintMixTimeline(keys);
          made->pathConstraintIndex = index;
          return made;
        });
      } else {
        // Its keys have no known layout, so nothing after them could be read.
        return c.Fail("Invalid timeline type for a path constraint: ", data.name);
      }
      if (!read) return false;
    }
  }
  return true;
}

// One deform key's vertices: zeros (weighted) or the setup vertices, with the
// keyed run from `start` added on.
bool ReadDeformKey(SkeletonReadContext& c, const TimelineList& list,
                   const VertexAttachment& attachment, std::vector<float>& key) {
  const bool weighted = attachment.bones != nullptr;
  std::fill(key.begin(), key.end(), 0.0f);
  const uint32_t end = c.in.ReadVarint();
  if (end > 0) {
    const uint32_t start = c.in.ReadVarint();
    if (static_cast<uint64_t>(start) + end > key.size()) {
      return c.Fail("Deform key past its attachment in animation: ", list.animation());
    }
    if (!c.in.Fits(end, 4)) return c.Truncated();
    for (uint32_t i = start; i < start + end; ++i) key[i] = c.Scaled(c.in.ReadFloat());
  }
  if (!weighted) {
    for (size_t i = 0; i < key.size(); ++i) key[i] += attachment.vertices[i];
  }
  return true;
}

bool ReadDeformTimeline(SkeletonReadContext& c, TimelineList& list, int32_t slotIndex,
                        const Attachment& found) {
  const auto& attachment = static_cast<const VertexAttachment&>(found);
  const int32_t length = VertexAttachment_deformLength(&attachment);
  uint32_t count;
  if (!ReadKeyCount(c, list, 5, count) ||
      !c.Expand(static_cast<uint64_t>(count) * static_cast<uint64_t>(length))) {
    return false;
  }
  TimelineGuard<DeformTimeline> timeline(
      Animation_createDeformTimeline(static_cast<int32_t>(count), length));
  DeformTimeline* made = timeline.timeline;
  made->slotIndex = slotIndex;
  made->attachment = &attachment;
  std::vector<float> key(static_cast<size_t>(length));
  for (uint32_t i = 0; i < count; ++i) {
    const float time = c.in.ReadFloat();
    if (!ReadDeformKey(c, list, attachment, key)) return false;
    Animation_setDeformFrame(made, static_cast<int32_t>(i), time, key.data());
    if (i + 1 < count) ReadCurve(c, made, static_cast<int32_t>(i));
  }
  if (c.in.failed()) return c.Truncated();
  list.Add(timeline.Release(), made->frames[count - 1]);
  return true;
}

bool ReadDeformTimelines(SkeletonReadContext& c, TimelineList& list) {
  uint32_t skins;
  if (!c.ReadCount(skins, 2)) return false;
  for (uint32_t s = 0; s < skins; ++s) {
    int32_t skinIndex;
    if (!ReadIndex(c, list, "skin", c.data->skinCount, skinIndex)) return false;
    // An empty entry of the skin list has nothing to deform.
    const Skin* skin = c.data->skins[skinIndex];
    if (!skin) return c.Fail("Invalid skin index in animation: ", list.animation());
    uint32_t slots;
    if (!c.ReadCount(slots, 2)) return false;
    for (uint32_t n = 0; n < slots; ++n) {
      int32_t slotIndex;
      uint32_t attachments;
      if (!ReadIndex(c, list, "slot", c.data->slotCount, slotIndex) ||
          !c.ReadCount(attachments, 2)) {
        return false;
      }
      for (uint32_t a = 0; a < attachments; ++a) {
        const std::optional<std::string> name = c.in.ReadString();
        const Attachment* attachment = Skin_getAttachment(skin, slotIndex, TextOrNone(name));
        if (!attachment) return c.Fail("Attachment not found: ", TextOrNone(name));
        if (!Attachment_hasVertices(attachment)) {
          return c.Fail("Deform of an attachment without vertices: ", TextOrNone(name));
        }
        if (!ReadDeformTimeline(c, list, slotIndex, *attachment)) return false;
      }
    }
  }
  return true;
}

// One draw-order key: slots moved by offsets, the others keeping their order
// in the places left.
bool ReadDrawOrder(SkeletonReadContext& c, const TimelineList& list, std::vector<int32_t>& order) {
  const int32_t slotCount = c.data->slotCount;
  uint32_t offsets;
  if (!c.ReadCount(offsets, 2)) return false;
  if (offsets > static_cast<uint32_t>(slotCount)) {
    return c.Fail("Invalid draw order in animation: ", list.animation());
  }
  std::fill(order.begin(), order.end(), -1);
  std::vector<int32_t> unchanged;
  unchanged.reserve(static_cast<size_t>(slotCount) - offsets);
  int32_t original = 0;
  for (uint32_t i = 0; i < offsets; ++i) {
    const uint32_t slotIndex = c.in.ReadVarint();
    // Each slot once, in increasing order.
    if (slotIndex >= static_cast<uint32_t>(slotCount) ||
        slotIndex < static_cast<uint32_t>(original)) {
      return c.Fail("Invalid draw order in animation: ", list.animation());
    }
    while (original != static_cast<int32_t>(slotIndex)) unchanged.push_back(original++);
    const int64_t position =
        static_cast<int64_t>(original) + static_cast<int32_t>(c.in.ReadVarint());
    if (position < 0 || position >= slotCount || order[static_cast<size_t>(position)] != -1) {
      return c.Fail("Invalid draw order in animation: ", list.animation());
    }
    order[static_cast<size_t>(position)] = original++;
  }
  while (original < slotCount) unchanged.push_back(original++);
  for (int32_t i = slotCount - 1; i >= 0; --i) {
    if (order[static_cast<size_t>(i)] != -1) continue;
    order[static_cast<size_t>(i)] = unchanged.back();
    unchanged.pop_back();
  }
  return true;
}

bool ReadDrawOrderTimeline(SkeletonReadContext& c, TimelineList& list) {
  uint32_t count;
  if (!c.ReadCount(count, 5)) return false;
  if (count == 0) return true;
  const int32_t slotCount = c.data->slotCount;
  if (!c.Expand(static_cast<uint64_t>(count) * static_cast<uint64_t>(slotCount))) return false;
  TimelineGuard<DrawOrderTimeline> timeline(
      Animation_createDrawOrderTimeline(static_cast<int32_t>(count), slotCount));
  std::vector<int32_t> order(static_cast<size_t>(slotCount));
  for (uint32_t i = 0; i < count; ++i) {
    const float time = c.in.ReadFloat();
    if (!ReadDrawOrder(c, list, order)) return false;
    Animation_setDrawOrderFrame(timeline.timeline, static_cast<int32_t>(i), time, order.data());
  }
  if (c.in.failed()) return c.Truncated();
  list.Add(timeline.timeline, timeline.timeline->frames[count - 1]);
  timeline.Release();
  return true;
}

bool ReadEventTimeline(SkeletonReadContext& c, TimelineList& list) {
  uint32_t count;
  if (!c.ReadCount(count, 11)) return false;
  if (count == 0) return true;
  TimelineGuard<EventTimeline> timeline(Animation_createEventTimeline(static_cast<int32_t>(count)));
  for (uint32_t i = 0; i < count; ++i) {
    const float time = c.in.ReadFloat();
    int32_t index;
    if (!ReadIndex(c, list, "event", c.data->eventCount, index)) return false;
    const EventData* data = c.data->events[index];
    Event* event = Event_create(data, time);
    Animation_setEventFrame(timeline.timeline, static_cast<int32_t>(i), event);
    event->intValue = c.in.ReadSignedVarint();
    event->floatValue = c.in.ReadFloat();
    event->stringValue = CopyText(c.in.ReadBoolean() ? TextOrNone(c.in.ReadString())
                                                     : data->stringValue);
  }
  if (c.in.failed()) return c.Truncated();
  list.Add(timeline.timeline, timeline.timeline->frames[count - 1]);
  timeline.Release();
  return true;
}

}  // namespace

Animation* ReadAnimation(SkeletonReadContext& c, const char* name) {
  TimelineList list(name);
  const bool read =
      ReadSlotTimelines(c, list) && ReadBoneTimelines(c, list) &&
      ReadConstraintTimelines(c, list, "IK constraint", c.data->ikConstraintCount,
                              {2, 1, KeyLayout::kMixAndBend}, Animation_createIkConstraintTimeline,
                              &IkConstraintTimeline::ikConstraintIndex) &&
      ReadConstraintTimelines(c, list, "transform constraint", c.data->transformConstraintCount,
                              {4}, Animation_createTransformConstraintTimeline,
                              &TransformConstraintTimeline::transformConstraintIndex) &&
      ReadPathTimelines(c, list) && ReadDeformTimelines(c, list) && ReadDrawOrderTimeline(c, list) &&
      ReadEventTimeline(c, list);
  return read ? list.Release() : nullptr;
}

}  // namespace GCore
