#include "spine/Slot.h"

#include "spine/Bone.h"
#include "spine/Skeleton.h"
#include "spine/SlotData.h"

namespace GCore {

void Slot_setToSetupPose(Slot* self) {
  const SlotData* data = self->data;
  self->r = data->r;
  self->g = data->g;
  self->b = data->b;
  self->a = data->a;
  if (!data->attachmentName) {
    Slot_setAttachment(self, nullptr);
    return;
  }
  // Cleared first, so that a lookup that finds nothing leaves the time and
  // the deform values as they were.
  self->attachment = nullptr;
  Slot_setAttachment(self, Skeleton_getAttachmentForSlotIndex(self->bone->skeleton, data->index,
                                                              data->attachmentName));
}

void Slot_setAttachment(Slot* self, Attachment* attachment) {
  if (attachment == self->attachment) return;
  self->attachment = attachment;
  self->attachmentTime = self->bone->skeleton->time;
  self->deformCount = 0;
}

}  // namespace GCore
