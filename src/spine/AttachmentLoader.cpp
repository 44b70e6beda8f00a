#include "spine/AttachmentLoader.h"

#include "spine/SpineUtil.h"

namespace GCore {

Attachment* AttachmentLoader_createAttachment(AttachmentLoader* self, Skin* skin, int32_t type,
                                              const char* name, const char* path) {
  FreeText(self->error1);
  FreeText(self->error2);
  return self->ops->createAttachment(self, skin, type, name, path);
}

void AttachmentLoader_configureAttachment(AttachmentLoader* self, Attachment* attachment) {
  if (self->ops->configureAttachment) self->ops->configureAttachment(self, attachment);
}

void AttachmentLoader_setError(AttachmentLoader* self, const char* message, const char* detail) {
  FreeText(self->error1);
  FreeText(self->error2);
  self->error1 = CopyText(message);
  self->error2 = CopyText(detail);
}

void AttachmentLoader_dispose(AttachmentLoader* self) {
  if (self) self->ops->dispose(self);
}

}  // namespace GCore
