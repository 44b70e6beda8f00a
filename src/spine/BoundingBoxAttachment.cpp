#include "spine/BoundingBoxAttachment.h"

#include "spine/SpineUtil.h"

namespace GCore {

namespace {

void DisposeBoundingBox(Attachment* attachment) {
  auto* self = static_cast<BoundingBoxAttachment*>(attachment);
  FreeText(self->name);
  FreeArray(self->bones);
  FreeArray(self->vertices);
  delete self;
}

const AttachmentOps kBoundingBoxOps = {DisposeBoundingBox};

}  // namespace

BoundingBoxAttachment* BoundingBoxAttachment_create(const char* name) {
  BoundingBoxAttachment* self = new BoundingBoxAttachment{};
  self->name = CopyText(name);
  self->type = kAttachmentBoundingBox;
  self->ops = &kBoundingBoxOps;
  return self;
}

}  // namespace GCore
