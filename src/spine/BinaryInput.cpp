#include "spine/BinaryInput.h"

#include <cstring>

namespace GCore {

bool BinaryInput::Fits(uint64_t count, uint64_t bytesEach) {
  // Both are at most 32 bits, so the product cannot overflow.
  if (!failed_ && count * bytesEach <= remaining()) return true;
  failed_ = true;
  return false;
}

uint8_t BinaryInput::ReadByte() {
  if (next_ == end_) {
    failed_ = true;
    return 0;
  }
  return *next_++;
}

uint16_t BinaryInput::ReadShort() {
  const uint16_t high = ReadByte();
  return static_cast<uint16_t>(high << 8 | ReadByte());
}

int32_t BinaryInput::ReadInt() {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = value << 8 | ReadByte();
  return static_cast<int32_t>(value);
}

float BinaryInput::ReadFloat() {
  const int32_t bits = ReadInt();
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

uint32_t BinaryInput::ReadVarint() {
  uint32_t b = ReadByte();
  uint32_t value = b & 0x7F;
  for (int shift = 7; shift <= 21 && (b & 0x80); shift += 7) {
    b = ReadByte();
    value |= (b & 0x7F) << shift;
  }
  // The fifth byte is taken whole and always ends the number.
  if (b & 0x80) value |= static_cast<uint32_t>(ReadByte()) << 28;
  return value;
}

int32_t BinaryInput::ReadSignedVarint() {
  const uint32_t value = ReadVarint();
  return static_cast<int32_t>((value >> 1) ^ (0u - (value & 1)));
}

std::optional<std::string> BinaryInput::ReadString() {
  const uint32_t length = ReadVarint();
  if (length == 0 || !Fits(length - 1, 1)) return std::nullopt;
  std::string text(reinterpret_cast<const char*>(next_), length - 1);
  next_ += length - 1;
  return text;
}

std::optional<std::string> BinaryInput::ReadText() {
  std::optional<std::string> text = ReadString();
  if (text && text->empty()) return std::nullopt;
  return text;
}

void BinaryInput::Skip(size_t count) {
  if (!Fits(count, 1)) return;
  next_ += count;
}

}  // namespace GCore
