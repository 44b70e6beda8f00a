#include "render/QuadBatch.h"

#include <cstring>

namespace GCore {

bool QuadBatch::Reserve(uint32_t n) {
  if (n > kMaxBatchVertices) return false;
  uint32_t grown = vertices ? capacity : 4;
  while (n > grown) grown *= 2;
  if (vertices && grown <= capacity) return true;
  std::unique_ptr<QuadVertex[]> block(new QuadVertex[grown]);
  if (vertices) std::memcpy(block.get(), vertices.get(), sizeof(QuadVertex) * count);
  vertices = std::move(block);
  capacity = grown;
  return true;
}

}  // namespace GCore
