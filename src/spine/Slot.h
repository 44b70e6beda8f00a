#pragma once
// A posed slot of a Skeleton: its colour, the attachment it shows (owned by
// a skin) and the deform values that deform timelines write for it (owned).
#include <cstdint>

namespace GCore {

struct Attachment;
struct Bone;
struct SlotData;

struct Slot {
  const SlotData* data = nullptr;
  Bone* bone = nullptr;
  float r = 1, g = 1, b = 1, a = 1;
  Attachment* attachment = nullptr;
  int32_t deformCapacity = 0;
  int32_t deformCount = 0;
  float* deform = nullptr;
  float attachmentTime = 0;  // skeleton time when the attachment was last set
};

// Setup colour and setup attachment.
void Slot_setToSetupPose(Slot* self);
// Nothing when `attachment` is already shown; else shows it, notes the time
// and drops the deform values.
void Slot_setAttachment(Slot* self, Attachment* attachment);

}  // namespace GCore
