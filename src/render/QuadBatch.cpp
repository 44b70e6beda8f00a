#include "render/QuadBatch.h"

#include <cstring>

namespace GCore {

namespace {

uint8_t ChannelByte(float c) {
  // Written so that NaN fails both tests and becomes 0.
  if (!(c > 0.0f)) return 0;
  if (!(c < 1.0f)) return 255;
  return static_cast<uint8_t>(c * 255.0f + 0.5f);
}

}  // namespace

uint32_t PackColour(const float* rgba) {
  const uint8_t packed[4] = {ChannelByte(rgba[0]), ChannelByte(rgba[1]), ChannelByte(rgba[2]),
                             ChannelByte(rgba[3])};
  uint32_t out;
  std::memcpy(&out, packed, sizeof out);
  return out;
}

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
