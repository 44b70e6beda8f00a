#include "display/Shape.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/Log.h"
#include "display/DisplayTypes.h"
#include "render/Image.h"
#include "render/Renderer.h"
#include "render/Texture.h"

namespace GCore {

namespace {

constexpr float kDesignTolerance = 1e-5f;

// A packed colour (red in the low byte, alpha in the top one) tinted by
// the base colour.
void UnpackColour(uint32_t packed, const float base[4], float record[4]) {
  for (int i = 0; i < 4; ++i) {
    record[i] = static_cast<float>(packed >> (8 * i) & 0xFF) * kChannelScale * base[i];
  }
}

uint32_t PackedArg(lua_State* L, int index) {
  const double value = lua_tonumberx(L, index, nullptr);
  return value > -9.2e18 && value < 9.2e18 ? static_cast<uint32_t>(static_cast<int64_t>(value)) : 0;
}

}  // namespace

const ClassInfo Shape::classInfo = {"Shape", &Entity::classInfo};

Shape::Shape(lua_State* L) : Entity(L) {}

Shape::~Shape() {
  if (state && colours_ > 0) luaL_unref(state, LUA_REGISTRYINDEX, colours_);
}

void Shape::MakeBatch() {
  if (batch_) return;
  batch_ = std::make_unique<VertexBatch>();
  const Image* image = GetMediaFrame(nullptr, -1);
  if (!image && g_resourceManager) {
    image = g_resourceManager->GetImage(OwnerPair{1, kPlaceholderImageId});
  }
  const Texture* texture = image ? image->texture : nullptr;
  textureOwner_ = texture ? OwnerPair{static_cast<int32_t>(texture->variant & 0xFF), texture->id}
                          : OwnerPair{};
}

bool Shape::SetVertices(lua_State* L) {
  if (lua_type(L, 1) != LUA_TNIL) {
    const double given = std::trunc(lua_tonumberx(L, 1, nullptr));
    // Refused before any conversion: a negative count would read as a huge
    // unsigned one, and a large one would take all memory.
    if (!(given >= 0 && given <= static_cast<double>(kMaxVertices))) {
      LogPrintf("setVertices: a count of %g vertices is outside 0 to %lld\n", given,
                static_cast<long long>(kMaxVertices));
      return false;
    }
    const auto count = static_cast<int64_t>(given);
    MakeBatch();
    // Room for every vertex: the planes grow and keep their layout.
    if (!batch_->Reserve(static_cast<uint32_t>(count))) return false;
    batch_->count = static_cast<uint32_t>(count);
  }
  if (batch_) {
    if (lua_type(L, 2) != LUA_TNIL) FillPlane(L, 2, 3);
    if (lua_type(L, 3) != LUA_TNIL) FillPlane(L, 3, 2);
  }
  if (lua_type(L, 4) != LUA_TNIL) {
    ReplaceColours(L, 4);
    if (batch_) FillPlane(L, 4, 4);
  }
  dirty |= kDirtyBounds;
  return true;
}

void Shape::ReplaceColours(lua_State* L, int index) {
  if (colours_ > 0) luaL_unref(L, LUA_REGISTRYINDEX, colours_);
  colours_ = 0;
  // An absent argument is kept as none: a re-fill from nothing gives what
  // the fill from nothing gave.
  if (lua_isnoneornil(L, index)) return;
  lua_pushvalue(L, index);
  colours_ = luaL_ref(L, LUA_REGISTRYINDEX);
}

void Shape::FillPlane(lua_State* L, int index, int components) {
  if (!batch_ || batch_->count == 0) return;
  index = lua_absindex(L, index);
  float base[4];
  ChannelFloats(worldColor, base);
  float record[4] = {base[0], base[1], base[2], base[3]};
  const bool colours = components == 4;
  float* plane = colours ? batch_->Colours() : components == 3 ? batch_->Positions() : batch_->TexCoords();
  const uint32_t count = batch_->count;

  if (lua_type(L, index) != LUA_TTABLE) {
    UnpackColour(PackedArg(L, index), base, record);
    for (uint32_t v = 0; v < count; ++v) std::memcpy(plane + size_t{v} * components, record, sizeof(float) * components);
    return;
  }
  const lua_Integer step = colours ? 1 : 2;
  for (uint32_t v = 0; v < count; ++v) {
    const lua_Integer item = 1 + static_cast<lua_Integer>(v) * step;
    // Raw reads: no metamethod of a script table runs from here, which may
    // be a draw outside any script call.
    if (lua_rawgeti(L, index, item) != LUA_TNIL) {
      if (colours) {
        UnpackColour(PackedArg(L, -1), base, record);
      } else {
        record[0] = static_cast<float>(lua_tonumberx(L, -1, nullptr));
        lua_rawgeti(L, index, item + 1);
        record[1] = static_cast<float>(lua_tonumberx(L, -1, nullptr));
        lua_pop(L, 1);
        if (components == 3) record[2] = kQuadDepth;
      }
    }
    lua_pop(L, 1);
    // A nil item repeats the previous vertex.
    std::memcpy(plane + size_t{v} * components, record, sizeof(float) * components);
  }
}

uint32_t Shape::GetVertices(lua_State* L, int table) const {
  if (!batch_) return 0;
  table = lua_absindex(L, table);
  const float* positions = batch_->Positions();
  for (uint32_t v = 0; v < batch_->count; ++v) {
    lua_pushnumber(L, positions[3 * size_t{v}]);
    lua_rawseti(L, table, 2 * static_cast<lua_Integer>(v) + 1);
    lua_pushnumber(L, positions[3 * size_t{v} + 1]);
    lua_rawseti(L, table, 2 * static_cast<lua_Integer>(v) + 2);
  }
  return batch_->count;
}

void Shape::DrawMatrix(Matrix& out) {
  const Matrix& world = *worldMatrix.Get();
  out.SetValues(world.a, world.b, world.c, world.d, world.tx, world.ty);
  if (designWidth == 0) {
    if (designImage != 0 && g_resourceManager) {
      // Taken once, for the draws after this one.
      if (const Image* image = g_resourceManager->GetImage(OwnerPair{0, designImage})) {
        designWidth = image->width;
        designHeight = image->height;
      }
    }
    return;
  }
  const float spanX = offsetMaxX - offsetMinX;
  const float spanY = offsetMaxY - offsetMinY;
  const float sx = std::fabs(spanX - designWidth) >= kDesignTolerance ? spanX / designWidth : 1.0f;
  const float sy = designHeight != 0 && std::fabs(spanY - designHeight) >= kDesignTolerance
                       ? spanY / designHeight
                       : 1.0f;
  // The geometry is stretched in its own coordinates, before the transform.
  out.a *= sx;
  out.b *= sx;
  out.c *= sy;
  out.d *= sy;
}

void Shape::Draw() {
  if (!visible) return;
  const bool colourChanged = (dirty & kDirtyColour) != 0;
  DisplayObject::Draw();
  if (!batch_) return;
  if (colourChanged && colours_ > 0 && state) {
    lua_rawgeti(state, LUA_REGISTRYINDEX, colours_);
    FillPlane(state, -1, 4);
    lua_pop(state, 1);
  }
  Matrix matrix;
  DrawMatrix(matrix);
  if (dirty & kDirtyBounds) {
    if (batch_->count > 0) {
      const float* p = batch_->Positions();
      float left = p[0], right = p[0], bottom = p[1], top = p[1];
      for (uint32_t v = 1; v < batch_->count; ++v) {
        left = std::min(left, p[3 * size_t{v}]);
        right = std::max(right, p[3 * size_t{v}]);
        bottom = std::min(bottom, p[3 * size_t{v} + 1]);
        top = std::max(top, p[3 * size_t{v} + 1]);
      }
      const float xs[4] = {left, right, left, right};
      const float ys[4] = {bottom, bottom, top, top};
      float minX = matrix.TransformX(xs[0], ys[0]), maxX = minX;
      float minY = matrix.TransformY(xs[0], ys[0]), maxY = minY;
      for (int i = 1; i < 4; ++i) {
        minX = std::min(minX, matrix.TransformX(xs[i], ys[i]));
        maxX = std::max(maxX, matrix.TransformX(xs[i], ys[i]));
        minY = std::min(minY, matrix.TransformY(xs[i], ys[i]));
        maxY = std::max(maxY, matrix.TransformY(xs[i], ys[i]));
      }
      bounds = Rectangle{minX, minY, maxX - minX, maxY - minY};
    }
    dirty &= static_cast<uint8_t>(~kDirtyBounds);
  }
  if (!g_renderer) return;
  // The image may have been removed and made again since the batch was made.
  const Image* owner = g_resourceManager && textureOwner_.id ? g_resourceManager->GetImage(textureOwner_) : nullptr;
  batch_->texture = owner ? owner->texture : nullptr;
  g_renderer->PushTransform(matrix);
  g_renderer->Flush(batch_.get());
  g_renderer->ResetTransform();
}

void Shape::CopyFrom(DisplayObject* source) {
  Entity::CopyFrom(source);
  auto* shape = static_cast<Shape*>(CastToClass(&classInfo, source));
  if (!shape || shape == this) return;
  userX = shape->userX;
  userY = shape->userY;
  designImage = shape->designImage;
  designWidth = shape->designWidth;
  designHeight = shape->designHeight;
  if (const VertexBatch* from = shape->batch_.get()) {
    MakeBatch();
    textureOwner_ = shape->textureOwner_;
    batch_->mode = from->mode;
    batch_->count = 0;
    if (batch_->Reserve(from->count)) {
      batch_->count = from->count;
      std::memcpy(batch_->Positions(), from->Positions(), sizeof(float) * 3 * from->count);
      std::memcpy(batch_->TexCoords(), from->TexCoords(), sizeof(float) * 2 * from->count);
      std::memcpy(batch_->Colours(), from->Colours(), sizeof(float) * 4 * from->count);
    }
  } else {
    batch_.reset();
  }
  if (!state) return;
  if (colours_ > 0) luaL_unref(state, LUA_REGISTRYINDEX, colours_);
  colours_ = 0;
  if (shape->colours_ > 0 && shape->state == state) {
    lua_rawgeti(state, LUA_REGISTRYINDEX, shape->colours_);
    colours_ = luaL_ref(state, LUA_REGISTRYINDEX);
  }
}

}  // namespace GCore
