#pragma once
// A read cursor over a whole skeleton file held in memory, in the file's
// big-endian encodings. Every read checks the end: a read past it yields 0
// (or none) and marks the input failed for good, so that a reader can check
// once after a record instead of after every field.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace GCore {

class BinaryInput {
 public:
  BinaryInput(const unsigned char* data, size_t length) : next_(data), end_(data + length) {}

  bool failed() const { return failed_; }
  size_t remaining() const { return static_cast<size_t>(end_ - next_); }
  // False (and failed from now on) unless `count` items of at least
  // `bytesEach` bytes can still follow.
  bool Fits(uint64_t count, uint64_t bytesEach);

  uint8_t ReadByte();
  bool ReadBoolean() { return ReadByte() != 0; }
  int8_t ReadSignedByte() { return static_cast<int8_t>(ReadByte()); }
  uint16_t ReadShort();
  int32_t ReadInt();
  float ReadFloat();
  // 1 to 5 bytes, seven bits each, least significant group first.
  uint32_t ReadVarint();
  // A varint in zig-zag form.
  int32_t ReadSignedVarint();
  // Length + 1 then the bytes; a length byte of 0 is none.
  std::optional<std::string> ReadString();
  // As ReadString, with an empty text also read as none.
  std::optional<std::string> ReadText();
  void Skip(size_t count);

 private:
  const unsigned char* next_;
  const unsigned char* end_;
  bool failed_ = false;
};

inline const char* TextOrNone(const std::optional<std::string>& text) {
  return text ? text->c_str() : nullptr;
}

}  // namespace GCore
