#include "render/VertexBatch.h"

#include <cstring>

namespace GCore {

bool VertexBatch::Reserve(uint32_t n) {
  if (n > kMaxBatchVertices) return false;
  const uint32_t old = capacity;
  uint32_t grown = planes ? capacity : 4;
  while (n > grown) grown *= 2;
  if (planes && grown <= old) return true;

  std::unique_ptr<float[]> block(new float[static_cast<size_t>(grown) * 9]);
  if (planes) {
    std::memcpy(block.get(), planes.get(), sizeof(float) * 3 * old);
    std::memcpy(block.get() + 3 * static_cast<size_t>(grown), TexCoords(), sizeof(float) * 2 * old);
    std::memcpy(block.get() + 5 * static_cast<size_t>(grown), Colours(), sizeof(float) * 4 * old);
  }
  planes = std::move(block);
  capacity = grown;
  return true;
}

}  // namespace GCore
