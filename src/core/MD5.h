#pragma once
#include <cstddef>
#include <cstdint>

namespace GCore {

// Writes the MD5 digest (RFC 1321) of the whole buffer into `digest`.
// Keeps no state and allocates nothing.
void MD5Digest(const void* data, size_t length, uint8_t digest[16]);

}  // namespace GCore
