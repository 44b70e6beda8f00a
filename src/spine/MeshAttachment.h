#pragma once
// A textured triangle mesh. A linked mesh (one with a parent mesh) shares
// its parent's bones, vertices, region UVs, triangles and edges and never
// frees them; every mesh owns its path and its uvs.
#include <cstdint>

#include "spine/VertexAttachment.h"

namespace GCore {

struct AtlasRegion;

struct MeshAttachment : VertexAttachment {
  const AtlasRegion* rendererObject = nullptr;
  int32_t regionOffsetX = 0, regionOffsetY = 0;
  int32_t regionWidth = 0, regionHeight = 0;
  int32_t regionOriginalWidth = 0, regionOriginalHeight = 0;
  float regionU = 0, regionV = 0, regionU2 = 0, regionV2 = 0;
  bool regionRotate = false;
  const char* path = nullptr;
  float* regionUVs = nullptr;  // two per vertex, 0 to 1 within the region
  float* uvs = nullptr;        // two per vertex, atlas texture coordinates
  int32_t trianglesCount = 0;  // vertex indexes, three per triangle
  uint16_t* triangles = nullptr;
  float r = 1, g = 1, b = 1, a = 1;
  int32_t hullLength = 0;  // floats
  MeshAttachment* parentMesh = nullptr;
  bool inheritDeform = false;
  int32_t edgesCount = 0;
  uint16_t* edges = nullptr;
  float width = 0, height = 0;
};

MeshAttachment* MeshAttachment_create(const char* name);
// Texture coordinates of the vertices from the region UVs and the region.
void MeshAttachment_updateUVs(MeshAttachment* self);

}  // namespace GCore
