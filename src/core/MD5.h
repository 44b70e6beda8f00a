#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace GCore {

// Writes the MD5 digest (RFC 1321) of the whole buffer into `digest`.
// Keeps no state and allocates nothing.
void MD5Digest(const void* data, size_t length, uint8_t digest[16]);

// The digest of the buffer as 32 lowercase hexadecimal digits.
std::string MD5Hex(const void* data, size_t length);

// The 64 steps of MD5 over one block of message words: `state` goes in as the
// chaining words and comes out as the words after the last step, before they
// are added to the chaining words (the keyed digest of "crypt.c" stops there).
void MD5Rounds(const uint32_t words[16], uint32_t state[4]);

}  // namespace GCore
