#include "spine/PathAttachment.h"

#include "spine/SpineUtil.h"

namespace GCore {

namespace {

void DisposePath(Attachment* attachment) {
  auto* self = static_cast<PathAttachment*>(attachment);
  FreeText(self->name);
  FreeArray(self->bones);
  FreeArray(self->vertices);
  FreeArray(self->lengths);
  delete self;
}

const AttachmentOps kPathOps = {DisposePath};

}  // namespace

PathAttachment* PathAttachment_create(const char* name) {
  PathAttachment* self = new PathAttachment{};
  self->name = CopyText(name);
  self->type = kAttachmentPath;
  self->ops = &kPathOps;
  return self;
}

}  // namespace GCore
