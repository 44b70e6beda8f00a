#include "modules/Sha1.h"

#include <cstring>

namespace GCore {
namespace {

constexpr uint32_t RotateLeft(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }

void Sha1Block(uint32_t state[5], const uint8_t block[64]) {
  uint32_t w[80];
  for (int i = 0; i < 16; ++i) {
    w[i] = (uint32_t{block[4 * i]} << 24) | (uint32_t{block[4 * i + 1]} << 16) |
           (uint32_t{block[4 * i + 2]} << 8) | uint32_t{block[4 * i + 3]};
  }
  for (int i = 16; i < 80; ++i) w[i] = RotateLeft(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);

  uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (int i = 0; i < 80; ++i) {
    uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    const uint32_t t = RotateLeft(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = RotateLeft(b, 30);
    b = a;
    a = t;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

}  // namespace

void Sha1Init(Sha1Context& ctx) {
  ctx.state[0] = 0x67452301;
  ctx.state[1] = 0xEFCDAB89;
  ctx.state[2] = 0x98BADCFE;
  ctx.state[3] = 0x10325476;
  ctx.state[4] = 0xC3D2E1F0;
  ctx.length = 0;
  ctx.used = 0;
}

void Sha1Update(Sha1Context& ctx, const void* data, size_t size) {
  if (size == 0) return;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  ctx.length += size;
  if (ctx.used > 0) {
    const size_t take = size < 64 - ctx.used ? size : 64 - ctx.used;
    memcpy(ctx.block + ctx.used, p, take);
    ctx.used += take;
    p += take;
    size -= take;
    if (ctx.used < 64) return;
    Sha1Block(ctx.state, ctx.block);
    ctx.used = 0;
  }
  for (; size >= 64; p += 64, size -= 64) Sha1Block(ctx.state, p);
  if (size > 0) memcpy(ctx.block, p, size);
  ctx.used = size;
}

void Sha1Final(Sha1Context& ctx, uint8_t digest[kSha1DigestSize]) {
  const uint64_t bits = ctx.length * 8;
  ctx.block[ctx.used++] = 0x80;
  if (ctx.used > 56) {
    memset(ctx.block + ctx.used, 0, 64 - ctx.used);
    Sha1Block(ctx.state, ctx.block);
    ctx.used = 0;
  }
  memset(ctx.block + ctx.used, 0, 56 - ctx.used);
  for (int i = 0; i < 8; ++i) ctx.block[56 + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
  Sha1Block(ctx.state, ctx.block);
  for (int i = 0; i < 5; ++i) {
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(ctx.state[i] >> (24 - 8 * j));
  }
}

void Sha1Digest(const void* data, size_t size, uint8_t digest[kSha1DigestSize]) {
  Sha1Context ctx;
  Sha1Init(ctx);
  Sha1Update(ctx, data, size);
  Sha1Final(ctx, digest);
}

void HmacSha1(const void* key, size_t keySize, const void* text, size_t textSize,
              uint8_t digest[kSha1DigestSize]) {
  uint8_t block[64] = {};
  if (keySize > sizeof(block)) {
    Sha1Digest(key, keySize, block);
  } else if (keySize > 0) {
    memcpy(block, key, keySize);
  }
  uint8_t pad[64];
  for (int i = 0; i < 64; ++i) pad[i] = block[i] ^ 0x36;
  uint8_t inner[kSha1DigestSize];
  Sha1Context ctx;
  Sha1Init(ctx);
  Sha1Update(ctx, pad, sizeof(pad));
  Sha1Update(ctx, text, textSize);
  Sha1Final(ctx, inner);

  for (int i = 0; i < 64; ++i) pad[i] = block[i] ^ 0x5C;
  Sha1Init(ctx);
  Sha1Update(ctx, pad, sizeof(pad));
  Sha1Update(ctx, inner, sizeof(inner));
  Sha1Final(ctx, digest);
}

}  // namespace GCore
