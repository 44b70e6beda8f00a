#pragma once
// A drawable of free geometry given by scripts: vertex positions, texture
// coordinates and per-vertex colours go into a vertex batch of the shape's
// own, drawn in one call through the shape's world transform.
// Rules:
//  - The batch samples the texture of the image the shape showed when the
//    batch was made; later media changes do not change it. The shape keeps
//    the key of that texture's image, not the texture, and finds the texture
//    again at each draw: a script may remove the image meanwhile.
//  - The last colours value given is kept (a registry reference in the
//    shape's state) so that a change of the world colour re-fills the
//    colours at the next draw; that re-fill reads the value raw, since it
//    runs outside any script call.
//  - Children of a shape are not drawn.
// Main thread only.
#include <cstdint>
#include <memory>

#include <lua.hpp>

#include "display/Entity.h"
#include "render/ResourceManager.h"
#include "render/VertexBatch.h"

namespace GCore {

class Shape : public Entity {
 public:
  static const ClassInfo classInfo;
  // The most vertices one shape takes from a script.
  static constexpr int64_t kMaxVertices = 1 << 20;

  explicit Shape(lua_State* L);
  ~Shape() override;
  const ClassInfo* GetClassInfo() const override { return &classInfo; }

  // The entity copy, then from a shape its numbers, design size and
  // geometry; both shapes then share the same colours value.
  void CopyFrom(DisplayObject* source) override;
  void Draw() override;
  const char* GetClassName() const override { return "Shape"; }

  // The script method setVertices(count, positions, uvs, colours), with the
  // arguments at 1 to 4 of L; an absent argument counts as given (nil does
  // not). False, with a message and nothing changed, for a count below 0 or
  // above kMaxVertices.
  bool SetVertices(lua_State* L);
  // Writes x, y of vertex i at 2i + 1, 2i + 2 of the table at `table`
  // (raw); returns the vertex count, 0 without geometry.
  uint32_t GetVertices(lua_State* L, int table) const;
  const VertexBatch* Batch() const { return batch_.get(); }
  VertexBatch* Batch() { return batch_.get(); }

  float userX = 0;
  float userY = 0;
  uint32_t designImage = 0;
  float designWidth = 0;
  float designHeight = 0;

 private:
  // Fills one plane (components 3 positions, 2 texture coordinates, 4
  // colours) of every vertex from the value at `index`: a table of items or
  // one packed colour.
  void FillPlane(lua_State* L, int index, int components);
  // Makes the batch when missing, sampling the current media image (or the
  // placeholder image).
  void MakeBatch();
  void ReplaceColours(lua_State* L, int index);
  // The matrix to draw with: the world matrix, stretched to the offsets when
  // a design size is known.
  void DrawMatrix(Matrix& out);

  std::unique_ptr<VertexBatch> batch_;
  OwnerPair textureOwner_;  // the image whose texture the batch samples
  int32_t colours_ = 0;     // registry reference, 0 = none
};

// The "Shape" class of a project state: its metatable and its creator in the
// class factory.
void RegisterShapeClass(lua_State* L);

// The script constructor "Shape": a new shape (arguments ignored).
int NewShapeScript(lua_State* L);

}  // namespace GCore
