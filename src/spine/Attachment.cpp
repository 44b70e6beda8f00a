#include "spine/Attachment.h"

namespace GCore {

void Attachment_dispose(Attachment* attachment) {
  if (attachment && attachment->ops) attachment->ops->dispose(attachment);
}

bool Attachment_hasVertices(const Attachment* attachment) {
  return attachment && (attachment->type == kAttachmentBoundingBox ||
                        attachment->type == kAttachmentMesh || attachment->type == kAttachmentPath);
}

}  // namespace GCore
