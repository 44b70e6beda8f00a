#include "spine/AtlasAttachmentLoader.h"

#include <string>

#include "spine/Atlas.h"
#include "spine/BoundingBoxAttachment.h"
#include "spine/MeshAttachment.h"
#include "spine/PathAttachment.h"
#include "spine/RegionAttachment.h"
#include "spine/SpineUtil.h"

namespace GCore {

namespace {

const AtlasRegion* FindRegion(AtlasAttachmentLoader* self, const char* path) {
  const AtlasRegion* region = Atlas_findRegion(self->atlas, path);
  if (!region) AttachmentLoader_setError(self, "Region not found: ", path);
  return region;
}

// Region and mesh attachments keep the same facts of their atlas region.
template <class T>
T* TakeRegion(T* attachment, const AtlasRegion* region) {
  attachment->rendererObject = region;
  attachment->regionOffsetX = region->offsetX;
  attachment->regionOffsetY = region->offsetY;
  attachment->regionWidth = region->width;
  attachment->regionHeight = region->height;
  attachment->regionOriginalWidth = region->originalWidth;
  attachment->regionOriginalHeight = region->originalHeight;
  return attachment;
}

Attachment* CreateRegion(AtlasAttachmentLoader* self, const char* name, const char* path) {
  const AtlasRegion* region = FindRegion(self, path);
  if (!region) return nullptr;
  RegionAttachment* attachment = TakeRegion(RegionAttachment_create(name), region);
  RegionAttachment_setUVs(attachment, region->u, region->v, region->u2, region->v2,
                          region->rotate);
  return attachment;
}

Attachment* CreateMesh(AtlasAttachmentLoader* self, const char* name, const char* path) {
  const AtlasRegion* region = FindRegion(self, path);
  if (!region) return nullptr;
  MeshAttachment* attachment = TakeRegion(MeshAttachment_create(name), region);
  attachment->regionU = region->u;
  attachment->regionV = region->v;
  attachment->regionU2 = region->u2;
  attachment->regionV2 = region->v2;
  attachment->regionRotate = region->rotate;
  return attachment;
}

Attachment* Create(AttachmentLoader* loader, Skin*, int32_t type, const char* name,
                   const char* path) {
  auto* self = static_cast<AtlasAttachmentLoader*>(loader);
  switch (type) {
    case kAttachmentRegion:
      return CreateRegion(self, name, path);
    case kAttachmentBoundingBox:
      return BoundingBoxAttachment_create(name);
    case kAttachmentMesh:
    case kAttachmentLinkedMesh:
      return CreateMesh(self, name, path);
    case kAttachmentPath:
      return PathAttachment_create(name);
    default:
      AttachmentLoader_setError(self, "Unknown attachment type: ", std::to_string(type).c_str());
      return nullptr;
  }
}

void Dispose(AttachmentLoader* loader) {
  auto* self = static_cast<AtlasAttachmentLoader*>(loader);
  FreeText(self->error1);
  FreeText(self->error2);
  delete self;
}

const AttachmentLoaderOps kAtlasLoaderOps = {Create, nullptr, nullptr, Dispose};

}  // namespace

AtlasAttachmentLoader* AtlasAttachmentLoader_create(const Atlas* atlas) {
  AtlasAttachmentLoader* self = new AtlasAttachmentLoader{};
  self->ops = &kAtlasLoaderOps;
  self->atlas = atlas;
  return self;
}

}  // namespace GCore
