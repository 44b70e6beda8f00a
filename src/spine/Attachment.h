#pragma once
// The common head of every attachment kind. An attachment is owned by the
// skin entry that files it and freed through its kind's dispose operation;
// its name is owned.
#include <cstdint>

namespace GCore {

constexpr int32_t kAttachmentRegion = 0;
constexpr int32_t kAttachmentBoundingBox = 1;
constexpr int32_t kAttachmentMesh = 2;  // a linked mesh is a mesh too
constexpr int32_t kAttachmentLinkedMesh = 3;  // only as a loader request
constexpr int32_t kAttachmentPath = 4;

struct Attachment;

struct AttachmentOps {
  void (*dispose)(Attachment* attachment);
};

struct Attachment {
  const char* name = nullptr;
  int32_t type = kAttachmentRegion;
  const AttachmentOps* ops = nullptr;
};

void Attachment_dispose(Attachment* attachment);

// Mesh, bounding box and path attachments carry vertices.
bool Attachment_hasVertices(const Attachment* attachment);

}  // namespace GCore
