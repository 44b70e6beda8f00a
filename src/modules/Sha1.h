#pragma once
// SHA-1 (FIPS 180-4) and HMAC-SHA1 (RFC 2104) for the crypt module. Plain
// functions over whole buffers; the incremental context is exposed only so
// that HMAC can hash its padded key and the message without joining them.
#include <cstddef>
#include <cstdint>

namespace GCore {

constexpr size_t kSha1DigestSize = 20;

struct Sha1Context {
  uint32_t state[5];
  uint64_t length;  // bytes hashed so far
  uint8_t block[64];
  size_t used;      // bytes waiting in `block`
};

void Sha1Init(Sha1Context& ctx);
void Sha1Update(Sha1Context& ctx, const void* data, size_t size);
void Sha1Final(Sha1Context& ctx, uint8_t digest[kSha1DigestSize]);

void Sha1Digest(const void* data, size_t size, uint8_t digest[kSha1DigestSize]);
void HmacSha1(const void* key, size_t keySize, const void* text, size_t textSize,
              uint8_t digest[kSha1DigestSize]);

}  // namespace GCore
