// The read cursor under the skeleton reader: big-endian numbers, varints,
// strings, and reads that reach past the end.
#include <gtest/gtest.h>

#include <vector>

#include "spine/BinaryInput.h"

namespace {

GCore::BinaryInput Over(const std::vector<unsigned char>& bytes) {
  return GCore::BinaryInput(bytes.data(), bytes.size());
}

TEST(BinaryInput, Varints) {
  struct Row {
    std::vector<unsigned char> bytes;
    uint32_t value;
    size_t used;
  };
  const Row rows[] = {
      {{0x00}, 0, 1},
      {{0x7F}, 127, 1},
      {{0x80, 0x01}, 128, 2},
      {{0xFF, 0x7F}, 0x3FFF, 2},
      {{0x80, 0x80, 0x80, 0x01}, 1u << 21, 4},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, 0xFFFFFFFF, 5},
      // The fifth byte ends the number whatever its top bit; its top four
      // bits fall off.
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x2A}, 0xFFFFFFFF, 5},
      {{0x80, 0x80, 0x80, 0x80, 0x10}, 0, 5},
  };
  for (const Row& row : rows) {
    GCore::BinaryInput in = Over(row.bytes);
    EXPECT_EQ(in.ReadVarint(), row.value);
    EXPECT_EQ(row.bytes.size() - in.remaining(), row.used);
    EXPECT_FALSE(in.failed());
  }
}

TEST(BinaryInput, ZigZagVarints) {
  const std::vector<unsigned char> bytes = {0x00, 0x01, 0x02, 0x03, 0xFE, 0xFF, 0xFF, 0xFF, 0x0F,
                                            0xFF, 0xFF, 0xFF, 0xFF, 0x0F};
  GCore::BinaryInput in = Over(bytes);
  EXPECT_EQ(in.ReadSignedVarint(), 0);
  EXPECT_EQ(in.ReadSignedVarint(), -1);
  EXPECT_EQ(in.ReadSignedVarint(), 1);
  EXPECT_EQ(in.ReadSignedVarint(), -2);
  EXPECT_EQ(in.ReadSignedVarint(), INT32_MAX);
  EXPECT_EQ(in.ReadSignedVarint(), INT32_MIN);
  EXPECT_FALSE(in.failed());
}

TEST(BinaryInput, NumbersAreBigEndian) {
  const std::vector<unsigned char> bytes = {0x12, 0x34, 0x56, 0x78, 0x3F, 0xC0, 0x00, 0x00,
                                            0xBF, 0x80, 0x00, 0x00, 0xAB, 0xCD, 0x80, 0x02};
  GCore::BinaryInput in = Over(bytes);
  EXPECT_EQ(in.ReadInt(), 0x12345678);
  EXPECT_EQ(in.ReadFloat(), 1.5f);
  EXPECT_EQ(in.ReadFloat(), -1.0f);
  EXPECT_EQ(in.ReadShort(), 0xABCD);
  EXPECT_EQ(in.ReadSignedByte(), -128);
  EXPECT_TRUE(in.ReadBoolean());
  EXPECT_EQ(in.remaining(), 0u);
  EXPECT_FALSE(in.failed());
}

TEST(BinaryInput, Strings) {
  const std::vector<unsigned char> bytes = {0x00, 0x01, 0x04, 'a', 'b', 'c', 0x01};
  GCore::BinaryInput in = Over(bytes);
  EXPECT_EQ(in.ReadString(), std::nullopt);
  EXPECT_EQ(in.ReadString(), std::string());
  EXPECT_EQ(in.ReadString(), std::string("abc"));
  EXPECT_EQ(in.ReadText(), std::nullopt) << "an empty text reads as none";
  EXPECT_FALSE(in.failed());
}

TEST(BinaryInput, ReadsPastTheEndFailForGood) {
  {
    const std::vector<unsigned char> bytes = {0x12, 0x34};
    GCore::BinaryInput in = Over(bytes);
    EXPECT_EQ(in.ReadInt(), 0x12340000) << "missing bytes read as 0";
    EXPECT_TRUE(in.failed());
  }
  {
    // A length beyond the buffer takes nothing.
    const std::vector<unsigned char> bytes = {0x09, 'a', 'b'};
    GCore::BinaryInput in = Over(bytes);
    EXPECT_EQ(in.ReadString(), std::nullopt);
    EXPECT_TRUE(in.failed());
    EXPECT_EQ(in.remaining(), 2u);
  }
  {
    const std::vector<unsigned char> bytes = {0x80};
    GCore::BinaryInput in = Over(bytes);
    EXPECT_EQ(in.ReadVarint(), 0u);
    EXPECT_TRUE(in.failed());
  }
  {
    const std::vector<unsigned char> bytes(12);
    GCore::BinaryInput in = Over(bytes);
    EXPECT_TRUE(in.Fits(3, 4));
    EXPECT_FALSE(in.Fits(0xFFFFFFFF, 13));
    EXPECT_TRUE(in.failed());
  }
}

}  // namespace
