// "gcore.c": images and their grids, pixels, brush masks, skeletal and air
// resources. Ids are the current project's unless an entry says otherwise.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "core/DrawEpoch.h"
#include "core/ResourcePath.h"
#include "core/ScriptVM.h"
#include "display/AirParser.h"
#include "display/DisplayObject.h"
#include "game/GCoreApi.h"
#include "render/Image.h"
#include "render/Renderer.h"
#include "render/ResourceManager.h"
#include "render/Texture.h"
#include "spine/SpineRecords.h"

namespace GCore::Api {

namespace {

constexpr uint32_t kKindAirData = 3;
constexpr uint32_t kKindGlyphCell = 6;
// Ids below this one are the engine's own images; scripts that register
// images under them are told so.
constexpr uint32_t kFirstScriptImageId = 0x56000001;

Image* ImageOf(uint32_t id) { return g_resourceManager ? g_resourceManager->GetImage(OwnerPair{0, id}) : nullptr; }

// The texture of the object's media image, when both exist.
Texture* MediaTexture(lua_State* L, int index) {
  DisplayObject* object = ToObject<DisplayObject>(L, index);
  Image* image = object ? ImageOf(object->mediaId) : nullptr;
  return image ? image->texture : nullptr;
}

// The pixel of the image's texture at (x, y), clamped into the texture; 0
// when there are no pixels to read.
uint32_t PixelAt(uint32_t id, int32_t x, int32_t y) {
  Image* image = ImageOf(id);
  Texture* texture = image ? image->texture : nullptr;
  if (!texture || !texture->EnsurePixels() || !texture->pixels || texture->width <= 0 || texture->height <= 0) {
    return 0;
  }
  x = std::clamp(x, 0, texture->width - 1);
  y = std::clamp(y, 0, texture->height - 1);
  const uint8_t* pixel = &texture->pixels[(static_cast<size_t>(y) * texture->width + x) * 4];
  return pixel[0] | pixel[1] << 8 | pixel[2] << 16 | static_cast<uint32_t>(pixel[3]) << 24;
}

}  // namespace

int imageSize(lua_State* L) {
  const uint32_t id = IdArg(L, 1);
  float width, height;
  if (ResourceKind(id) == kKindAirData) {
    const AirData* air = LoadAirData(OwnerPair{0, id});
    if (!air) return 0;
    width = air->width, height = air->height;
  } else {
    const Image* image = ImageOf(id);
    if (!image) return 0;
    width = image->width, height = image->height;
  }
  lua_pushinteger(L, static_cast<lua_Integer>(std::trunc(width)));
  lua_pushinteger(L, static_cast<lua_Integer>(std::trunc(height)));
  return 2;
}

int isImage(lua_State* L) {
  const uint32_t id = IdArg(L, 1);
  bool known = false;
  if (g_resourceManager) {
    known = ResourceKind(id) == kKindGlyphCell ? ImageOf(id) != nullptr : g_resourceManager->FindImage(OwnerPair{0, id}) != nullptr;
  }
  lua_pushboolean(L, known);
  return 1;
}

int getImageGrid(lua_State* L) {
  const Image* image = ImageOf(IdArg(L, 1));
  if (!image) {
    PrintTraceback();
    return 0;
  }
  // A first byte stored complemented reads back as the negative number given.
  const int first = image->slicingOff ? ~int{image->insets[0]} : int{image->insets[0]};
  lua_pushinteger(L, first);
  for (int i = 1; i < 4; ++i) lua_pushinteger(L, image->insets[i]);
  return 4;
}

int setImageGrid(lua_State* L) {
  DrawInputsChanged();
  Image* image = ImageOf(IdArg(L, 1));
  if (!image) {
    PrintTraceback();
    return 0;
  }
  int32_t first = IntArg(L, 2);
  if (first < 0) {
    image->slicingOff = 1;
    first = ~first;
  }
  image->insets[0] = static_cast<uint8_t>(first);
  for (int i = 1; i < 4; ++i) image->insets[i] = static_cast<uint8_t>(IntArg(L, 2 + i));
  return 0;
}

int addImage(lua_State* L) {
  const uint32_t id = IdArg(L, 1);
  const uint32_t sourceId = IdArg(L, 2);
  if (id < kFirstScriptImageId) PrintTraceback();
  if (!g_resourceManager || id == sourceId) return 0;
  Image* source = ImageOf(sourceId);
  if (!source || !source->texture) return 0;
  Image* image = g_resourceManager->CreateImage(OwnerPair{CurrentProjectIndex(), id}, true);
  if (!image) return 0;
  image->texture = source->texture;
  image->x = FloatArg(L, 3);
  image->y = FloatArg(L, 4);
  image->width = FloatArg(L, 5);
  image->height = FloatArg(L, 6);
  if (lua_gettop(L) > 5) {
    for (int i = 0; i < 4; ++i) image->insets[i] = static_cast<uint8_t>(IntArg(L, 7 + i));
  }
  image->UpdateTexCoords();
  return 0;
}

int removeImage(lua_State* L) {
  if (g_resourceManager) g_resourceManager->RemoveImage(CurrentProjectIndex(), IdArg(L, 1));
  return 0;
}

int MarkImageChange(lua_State* L) {
  DrawInputsChanged();
  const uint32_t id = IdArg(L, 1);
  if (ResourceKind(id) == kKindRenderTarget) {
    if (g_renderer) g_renderer->blurState = 0;
    return 0;
  }
  if (Image* image = ImageOf(id); image && image->texture) {
    image->texture->dirty = true;
    image->texture->RetryDecode();
  }
  return 0;
}

int UnloadResource(lua_State* L) {
  if (!g_resourceManager) return 0;
  const uint32_t id = IdArg(L, 1);
  const int project = CurrentProjectIndex();
  switch (ResourceKind(id)) {
    case kKindImage:
      if (Image* image = g_resourceManager->FindImage(OwnerPair{project, id}); image && image->texture) {
        g_resourceManager->EvictTexture(image->texture);
      }
      g_resourceManager->RemoveImage(project, id);
      break;
    case kKindSkeletonImage:
      g_resourceManager->ReleaseSpine(project, id, IdArg(L, 2));
      break;
    default:
      break;
  }
  return 0;
}

int LoadSpAnim(lua_State* L) {
  if (g_resourceManager) g_resourceManager->LoadSpine(OwnerPair{CurrentProjectIndex(), IdArg(L, 1)}, IdArg(L, 2));
  return 0;
}

int SetDefaultAnim(lua_State* L) {
  const char* name = TextArg(L, 1);
  g_defaultAnimationName = name ? name : "";
  return 0;
}

int GetPixelColor(lua_State* L) {
  PushUnsigned(L, PixelAt(IdArg(L, 1), IntArg(L, 2), IntArg(L, 3)) & 0xFFFFFFu);
  return 1;
}

int GetPixelAlpha(lua_State* L) {
  PushUnsigned(L, PixelAt(IdArg(L, 1), IntArg(L, 2), IntArg(L, 3)) >> 24);
  return 1;
}

int SavePNG(lua_State* L) {
  Image* image = ImageOf(IdArg(L, 1));
  if (!image || !image->texture) return 0;
  // The texture's own path lives in the shared path buffer, which decoding
  // the pixels overwrites: keep a copy.
  const char* given = TextArg(L, 2);
  const char* path = given ? given : image->texture->GetSourcePath();
  if (path) image->texture->SavePNG(std::string(path).c_str());
  return 0;
}

int SetMaskOutline(lua_State* L) {
  Texture* texture = MediaTexture(L, 1);
  if (!texture) return 0;
  const uint32_t colour = IdArg(L, 2);
  if (texture->outlineColour != colour) {
    texture->outlineColour = colour;
    if (colour != 0) {
      texture->ComposeMaskOutline(0, 0, texture->width, texture->height);
    } else {
      texture->ComposeMask(0, 0, texture->width, texture->height);
    }
    // The next draw uploads the recomposed pixels.
    if (g_renderer) g_renderer->ReleaseTexture(texture);
  }
  texture->feather = FloatArg(L, 3);
  return 0;
}

int GetMaskOutline(lua_State* L) {
  const Texture* texture = MediaTexture(L, 1);
  if (!texture) return 0;
  PushUnsigned(L, texture->outlineColour);
  lua_pushnumber(L, texture->feather);
  return 2;
}

int DrawMask(lua_State* L) {
  // The stroke's values arrive in this order: y2, radius, paint, x1, y1, x2.
  Texture* texture = MediaTexture(L, 1);
  if (!texture) return 0;
  const bool paint = lua_type(L, 4) == LUA_TNUMBER ? lua_tonumber(L, 4) != 0 : lua_toboolean(L, 4) != 0;
  texture->DrawMask(FloatArg(L, 5), FloatArg(L, 6), FloatArg(L, 7), FloatArg(L, 2), FloatArg(L, 3), paint);
  return 0;
}

int UnloadAirData(lua_State* L) {
  if (g_resourceManager) g_resourceManager->RemoveAirData(OwnerPair{0, IdArg(L, 1)});
  return 0;
}

int AirActionToLua(lua_State* L) {
  const AirData* air = LoadAirData(OwnerPair{0, IdArg(L, 1)});
  const int64_t index = Int64Arg(L, 2);
  if (!air || index < 0) return 0;
  return PushAirAction(L, *air, static_cast<size_t>(index));
}

int AirActionHead(lua_State* L) {
  const AirData* air = LoadAirData(OwnerPair{0, IdArg(L, 1)});
  if (!air) return 0;
  lua_pushinteger(L, air->frameMs);
  lua_pushnumber(L, air->width);
  lua_pushnumber(L, air->height);
  lua_pushinteger(L, static_cast<lua_Integer>(air->actions.size()));
  return 4;
}

int AirActionID(lua_State* L) {
  const AirData* air = LoadAirData(OwnerPair{0, IdArg(L, 1)});
  const int64_t index = Int64Arg(L, 2);
  if (!air || index < 0 || static_cast<uint64_t>(index) >= air->actions.size()) return 0;
  const AirAction& action = air->actions[static_cast<size_t>(index)];
  lua_pushinteger(L, action.id);
  const size_t length = strnlen(action.name, sizeof(action.name));
  if (length == 0) {
    lua_pushnil(L);
  } else {
    lua_pushlstring(L, action.name, length);
  }
  return 2;
}

}  // namespace GCore::Api
