#pragma once
// What a part of the scene asked of the renderer while it was drawn, kept so
// that a later frame can hand the renderer the same again instead of walking
// that part and building its vertices anew.
// Rules:
//  - A capture records, in order, the display's state calls
//    (Renderer::ApplyDrawState) and the vertices appended to the batch with
//    the texture they sample. A state call equal to the one recorded before
//    it is dropped unless it tints: without tint, the same call again changes
//    nothing in any back end.
//  - A replay makes the recorded state calls and appends the recorded
//    vertices, so batches, flushes and draw calls are those of the draw that
//    was recorded.
//  - Whatever else reaches the renderer during a capture (a scissor, a
//    transform, a shape's own batch) spoils it: only a complete capture is
//    replayed.
//  - A capture holds texture pointers and vertices built from images: it is
//    trusted only under the draw epoch it was made in (core/DrawEpoch.h).
// Main thread only.
#include <cstdint>
#include <vector>

#include "core/DrawEpoch.h"
#include "render/QuadBatch.h"

namespace GCore {

class Texture;

// The render state every display object sets before it draws.
struct DrawState {
  int32_t shader = 1;
  int8_t blend = 0;
  int8_t filter = 1;
  bool tint = false;
  bool operator==(const DrawState&) const = default;
};

class RetainedDraw {
 public:
  // A complete capture made under the current draw epoch.
  bool Usable() const { return complete_ && epoch_ == g_drawEpoch; }
  void Clear();

 private:
  friend class Renderer;
  struct Step {
    bool isState;
    DrawState state;
    Texture* texture;  // geometry: the texture its vertices sample
    uint32_t first;    // geometry: its vertices in vertices_
    uint32_t count;
  };
  std::vector<Step> steps_;
  std::vector<QuadVertex> vertices_;
  uint64_t epoch_ = 0;
  bool complete_ = false;
};

}  // namespace GCore
