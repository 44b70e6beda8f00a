#pragma once
// DES (FIPS 46-3) block primitives for the crypt module. A key schedule is 32
// words, two per round; the decryption schedule is the encryption schedule
// with its round pairs in reverse order. Blocks are big-endian as the standard
// defines them. No state: safe from any thread.
#include <cstdint>

namespace GCore {

// Fills `schedule` with the encryption schedule of the 8-byte key (parity bits
// are ignored).
void DesKeySchedule(const uint8_t key[8], uint32_t schedule[32]);

// The decryption schedule that matches an encryption schedule.
void DesReverseSchedule(const uint32_t encrypt[32], uint32_t decrypt[32]);

// Runs the 16 rounds over one 8-byte block; `in` and `out` may be the same.
void DesCryptBlock(const uint32_t schedule[32], const uint8_t in[8], uint8_t out[8]);

}  // namespace GCore
