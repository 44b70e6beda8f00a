#include "modules/Des.h"

#include <array>

namespace GCore {
namespace {

// The permutations and boxes of FIPS 46-3; bit 1 is the most significant bit
// of the input.
constexpr uint8_t kInitialPermutation[64] = {
    58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
    62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
    57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
    61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};

constexpr uint8_t kPermutedChoice1[56] = {
    57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
    10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
    63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
    14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

constexpr uint8_t kPermutedChoice2[48] = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10,
    23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48,
    44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

constexpr uint8_t kKeyShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

constexpr uint8_t kRoundPermutation[32] = {
    16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
    2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

// Each box as four rows of sixteen columns.
constexpr uint8_t kSBoxes[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8,  3,  10, 6,  12, 5,  9,  0, 7,
     0,  15, 7,  4, 14, 2,  13, 1,  10, 6,  12, 11, 9,  5,  3, 8,
     4,  1,  14, 8, 13, 6,  2,  11, 15, 12, 9,  7,  3,  10, 5, 0,
     15, 12, 8,  2, 4,  9,  1,  7,  5,  11, 3,  14, 10, 0,  6, 13},
    {15, 1,  8,  14, 6,  11, 3,  4,  9,  7, 2,  13, 12, 0, 5,  10,
     3,  13, 4,  7,  15, 2,  8,  14, 12, 0, 1,  10, 6,  9, 11, 5,
     0,  14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,  9,  3, 2,  15,
     13, 8,  10, 1,  3,  15, 4,  2,  11, 6, 7,  12, 0,  5, 14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7,  11, 4,  2,  8,
     13, 7,  0,  9,  3, 4,  6,  10, 2,  8,  5,  14, 12, 11, 15, 1,
     13, 6,  4,  9,  8, 15, 3,  0,  11, 1,  2,  12, 5,  10, 14, 7,
     1,  10, 13, 0,  6, 9,  8,  7,  4,  15, 14, 3,  11, 5,  2,  12},
    {7,  13, 14, 3, 0,  6,  9,  10, 1,  2, 8, 5,  11, 12, 4,  15,
     13, 8,  11, 5, 6,  15, 0,  3,  4,  7, 2, 12, 1,  10, 14, 9,
     10, 6,  9,  0, 12, 11, 7,  13, 15, 1, 3, 14, 5,  2,  8,  4,
     3,  15, 0,  6, 10, 1,  13, 8,  9,  4, 5, 11, 12, 7,  2,  14},
    {2,  12, 4,  1,  7,  10, 11, 6,  8,  5,  3,  15, 13, 0, 14, 9,
     14, 11, 2,  12, 4,  7,  13, 1,  5,  0,  15, 10, 3,  9, 8,  6,
     4,  2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,  6,  3, 0,  14,
     11, 8,  12, 7,  1,  14, 2,  13, 6,  15, 0,  9,  10, 4, 5,  3},
    {12, 1,  10, 15, 9, 2,  6,  8,  0,  13, 3,  4,  14, 7,  5,  11,
     10, 15, 4,  2,  7, 12, 9,  5,  6,  1,  13, 14, 0,  11, 3,  8,
     9,  14, 15, 5,  2, 8,  12, 3,  7,  0,  4,  10, 1,  13, 11, 6,
     4,  3,  2,  12, 9, 5,  15, 10, 11, 14, 1,  7,  6,  0,  8,  13},
    {4,  11, 2,  14, 15, 0, 8,  13, 3,  12, 9, 7,  5,  10, 6, 1,
     13, 0,  11, 7,  4,  9, 1,  10, 14, 3,  5, 12, 2,  15, 8, 6,
     1,  4,  11, 13, 12, 3, 7,  14, 10, 15, 6, 8,  0,  5,  9, 2,
     6,  11, 13, 8,  1,  4, 10, 7,  9,  5,  0, 15, 14, 2,  3, 12},
    {13, 2,  8,  4, 6,  15, 11, 1,  10, 9,  3,  14, 5,  0,  12, 7,
     1,  15, 13, 8, 10, 3,  7,  4,  12, 5,  6,  11, 0,  14, 9,  2,
     7,  11, 4,  1, 9,  12, 14, 2,  0,  6,  10, 13, 15, 3,  5,  8,
     2,  1,  14, 7, 4,  10, 8,  13, 15, 12, 9,  0,  3,  5,  6,  11}};

// Output bit i (from the most significant) is input bit table[i] of an input
// `inWidth` bits wide.
constexpr uint64_t Permute(uint64_t in, int inWidth, const uint8_t* table, int outWidth) {
  uint64_t out = 0;
  for (int i = 0; i < outWidth; ++i) out = (out << 1) | ((in >> (inWidth - table[i])) & 1);
  return out;
}

constexpr std::array<uint8_t, 64> InvertPermutation(const uint8_t* table) {
  std::array<uint8_t, 64> inverse{};
  for (int i = 0; i < 64; ++i) inverse[table[i] - 1] = static_cast<uint8_t>(i + 1);
  return inverse;
}

constexpr std::array<uint8_t, 64> kFinalPermutation = InvertPermutation(kInitialPermutation);

// Each S-box merged with the round permutation: the round function becomes
// eight lookups OR-ed together.
using SpTables = std::array<std::array<uint32_t, 64>, 8>;
constexpr SpTables MakeSpTables() {
  SpTables sp{};
  for (int box = 0; box < 8; ++box) {
    for (int v = 0; v < 64; ++v) {
      const int row = ((v >> 4) & 2) | (v & 1);
      const int column = (v >> 1) & 15;
      const uint64_t nibble = static_cast<uint64_t>(kSBoxes[box][row * 16 + column]) << (28 - 4 * box);
      sp[box][v] = static_cast<uint32_t>(Permute(nibble, 32, kRoundPermutation, 32));
    }
  }
  return sp;
}
constexpr SpTables kSp = MakeSpTables();

constexpr uint32_t RotateLeft28(uint32_t v, int n) { return ((v << n) | (v >> (28 - n))) & 0x0FFFFFFF; }
constexpr uint32_t RotateLeft(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }
constexpr uint32_t RotateRight(uint32_t v, int n) { return (v >> n) | (v << (32 - n)); }

uint64_t LoadBigEndian64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

// The expansion of the round input is never built: rotating the half right by
// one lines up the 6-bit groups 1, 3, 5 and 7 at bits 26, 18, 10 and 2, and
// rotating it left by three lines up groups 2, 4, 6 and 8 the same way, so
// each round key is stored as two words with its groups at those places.
void DesKeySchedule(const uint8_t key[8], uint32_t schedule[32]) {
  const uint64_t cd = Permute(LoadBigEndian64(key), 64, kPermutedChoice1, 56);
  uint32_t c = static_cast<uint32_t>(cd >> 28) & 0x0FFFFFFF;
  uint32_t d = static_cast<uint32_t>(cd) & 0x0FFFFFFF;
  for (int round = 0; round < 16; ++round) {
    c = RotateLeft28(c, kKeyShifts[round]);
    d = RotateLeft28(d, kKeyShifts[round]);
    const uint64_t sub = Permute((static_cast<uint64_t>(c) << 28) | d, 56, kPermutedChoice2, 48);
    uint32_t odd = 0;
    uint32_t even = 0;
    for (int group = 0; group < 8; ++group) {
      const uint32_t bits = static_cast<uint32_t>(sub >> (42 - 6 * group)) & 63;
      const int shift = 26 - 8 * (group / 2);
      if (group % 2 == 0) {
        odd |= bits << shift;
      } else {
        even |= bits << shift;
      }
    }
    schedule[2 * round] = odd;
    schedule[2 * round + 1] = even;
  }
}

void DesReverseSchedule(const uint32_t encrypt[32], uint32_t decrypt[32]) {
  for (int round = 0; round < 16; ++round) {
    decrypt[2 * round] = encrypt[30 - 2 * round];
    decrypt[2 * round + 1] = encrypt[31 - 2 * round];
  }
}

void DesCryptBlock(const uint32_t schedule[32], const uint8_t in[8], uint8_t out[8]) {
  const uint64_t permuted = Permute(LoadBigEndian64(in), 64, kInitialPermutation, 64);
  uint32_t left = static_cast<uint32_t>(permuted >> 32);
  uint32_t right = static_cast<uint32_t>(permuted);
  for (int round = 0; round < 16; ++round) {
    const uint32_t x = RotateRight(right, 1) ^ schedule[2 * round];
    const uint32_t y = RotateLeft(right, 3) ^ schedule[2 * round + 1];
    const uint32_t f = kSp[0][(x >> 26) & 63] | kSp[2][(x >> 18) & 63] | kSp[4][(x >> 10) & 63] |
                       kSp[6][(x >> 2) & 63] | kSp[1][(y >> 26) & 63] | kSp[3][(y >> 18) & 63] |
                       kSp[5][(y >> 10) & 63] | kSp[7][(y >> 2) & 63];
    const uint32_t next = left ^ f;
    left = right;
    right = next;
  }
  // The halves leave the last round swapped back.
  const uint64_t preoutput = (static_cast<uint64_t>(right) << 32) | left;
  uint64_t result = Permute(preoutput, 64, kFinalPermutation.data(), 64);
  for (int i = 7; i >= 0; --i) {
    out[i] = static_cast<uint8_t>(result);
    result >>= 8;
  }
}

}  // namespace GCore
