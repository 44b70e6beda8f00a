#pragma once
// The attachment loader over an atlas: regions and meshes take their image
// from the atlas region named by their path. The atlas is not owned.
#include "spine/AttachmentLoader.h"

namespace GCore {

struct Atlas;

struct AtlasAttachmentLoader : AttachmentLoader {
  const Atlas* atlas = nullptr;
};

AtlasAttachmentLoader* AtlasAttachmentLoader_create(const Atlas* atlas);

}  // namespace GCore
