#pragma once
// Reading the sproto message layout, shared by the bundle reader and the
// decoder: a 2-byte slot count k, k 2-byte slots, then one data part (4-byte
// length and bytes) for each slot of value 0, in slot order.
#include <cstddef>
#include <cstdint>

namespace GCore {

inline uint16_t ReadWord(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t ReadDword(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

struct WirePart {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

// A message whose slots and data parts have been checked to fit.
struct WireMessage {
  const uint8_t* slots = nullptr;
  int slotCount = 0;
  const uint8_t* nextPart = nullptr;  // the data part of the next data slot
  size_t size = 0;                    // header plus all data parts

  int Slot(int i) const { return ReadWord(slots + 2 * i); }

  // The next data part, in slot order; only valid as often as there are
  // slots of value 0.
  WirePart NextPart() {
    WirePart part{nextPart + 4, ReadDword(nextPart)};
    nextPart += 4 + part.size;
    return part;
  }
};

// Checks that the slot count, the slots and every data part fit in `in`.
bool StructField(const WirePart& in, WireMessage& out);

}  // namespace GCore
