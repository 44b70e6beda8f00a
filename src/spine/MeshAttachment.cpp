#include "spine/MeshAttachment.h"

#include "spine/SpineUtil.h"

namespace GCore {

namespace {

void DisposeMesh(Attachment* attachment) {
  auto* self = static_cast<MeshAttachment*>(attachment);
  FreeText(self->name);
  FreeText(self->path);
  FreeArray(self->uvs);
  if (!self->parentMesh) {
    FreeArray(self->bones);
    FreeArray(self->vertices);
    FreeArray(self->regionUVs);
    FreeArray(self->triangles);
    FreeArray(self->edges);
  }
  delete self;
}

const AttachmentOps kMeshOps = {DisposeMesh};

}  // namespace

MeshAttachment* MeshAttachment_create(const char* name) {
  MeshAttachment* self = new MeshAttachment{};
  self->name = CopyText(name);
  self->type = kAttachmentMesh;
  self->ops = &kMeshOps;
  return self;
}

void MeshAttachment_updateUVs(MeshAttachment* self) {
  FreeArray(self->uvs);
  const int32_t length = self->worldVerticesLength;
  if (length <= 0 || !self->regionUVs) return;
  self->uvs = NewArray<float>(static_cast<size_t>(length));
  const float u = self->regionU, v = self->regionV;
  const float width = self->regionU2 - u, height = self->regionV2 - v;
  const float* regionUVs = self->regionUVs;
  for (int32_t i = 0; i + 1 < length; i += 2) {
    if (self->regionRotate) {
      self->uvs[i] = u + regionUVs[i + 1] * width;
      self->uvs[i + 1] = v + height - regionUVs[i] * height;
    } else {
      self->uvs[i] = u + regionUVs[i] * width;
      self->uvs[i + 1] = v + regionUVs[i + 1] * height;
    }
  }
}

}  // namespace GCore
