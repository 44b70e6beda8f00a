// "gcore.c": skeletal-animation resources and the default animation, and
// the unloading of cached resources.
#include <cmath>
#include <string>

#include "core/GCoreApi.h"
#include "core/ResourceManager.h"
#include "render/Image.h"
#include "render/Texture.h"
#include "spine/SpineRecords.h"

namespace GCore {
std::string g_defaultAnimationName;
}  // namespace GCore

namespace GCore::Api {

namespace {

// A resource id: the low 32 bits of the number truncated toward zero (NaN
// and numbers beyond 64 bits read as 0).
uint32_t ResourceIdArg(lua_State* L, int index) {
  const lua_Number value = lua_tonumber(L, index);
  if (!(std::fabs(value) < 9.2e18)) return 0;
  return static_cast<uint32_t>(static_cast<int64_t>(value));
}

}  // namespace

int LoadSpAnim(lua_State* L) {
  if (g_resourceManager) {
    g_resourceManager->LoadSpine(OwnerPair{CurrentProjectIndex(), ResourceIdArg(L, 1)},
                                 ResourceIdArg(L, 2));
  }
  return 0;
}

int UnloadResource(lua_State* L) {
  if (!g_resourceManager) return 0;
  const uint32_t id = ResourceIdArg(L, 1);
  const int project = CurrentProjectIndex();
  switch (ResourceKind(id)) {
    case kKindImage:
      if (Image* image = g_resourceManager->FindImage(OwnerPair{project, id})) {
        if (image->texture) g_resourceManager->EvictTexture(image->texture);
      }
      g_resourceManager->RemoveImage(project, id);
      break;
    case kKindSkeletonImage:
      g_resourceManager->ReleaseSpine(project, id, ResourceIdArg(L, 2));
      break;
    default:
      break;
  }
  return 0;
}

int SetDefaultAnim(lua_State* L) {
  const char* name = TextArg(L, 1);
  g_defaultAnimationName = name ? name : "";
  return 0;
}

}  // namespace GCore::Api
