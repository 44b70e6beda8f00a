#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/MD5.h"

namespace {

std::string Hex(const void* data, size_t length) {
  uint8_t digest[16];
  GCore::MD5Digest(data, length, digest);
  std::string hex;
  char two[3];
  for (uint8_t byte : digest) {
    std::snprintf(two, sizeof two, "%02x", byte);
    hex += two;
  }
  return hex;
}

std::string Hex(const std::string& text) { return Hex(text.data(), text.size()); }

// Bytes (i * 7 + 3) mod 256; the expected digests come from md5sum on the same bytes.
std::vector<uint8_t> Pattern(size_t length) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = uint8_t(i * 7 + 3);
  return bytes;
}

TEST(MD5, Rfc1321TestSuite) {
  const struct {
    const char* text;
    const char* digest;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& c : cases) EXPECT_EQ(Hex(c.text), c.digest) << '"' << c.text << '"';
}

TEST(MD5, PaddingBoundariesAndLargeBuffer) {
  const struct {
    size_t length;
    const char* digest;
  } cases[] = {
      {55, "52c0e574e1198de5fe3f8f11440dcb1b"},  // marker and length fit one block
      {56, "46c9907fc908ee68b1e7b8e71286a518"},  // length needs a second block
      {63, "a62f6d59e837867693f042f5b8f5a236"},
      {64, "7160b8fb5e9e4023d549c3971fbaeead"},  // a whole block, then padding alone
      {65, "70bd662e7aefbda85a0f7244167b7897"},
      {1 << 20, "d8a469bb35fb5fad7156842ba2242434"},
  };
  for (const auto& c : cases) {
    const std::vector<uint8_t> bytes = Pattern(c.length);
    EXPECT_EQ(Hex(bytes.data(), bytes.size()), c.digest) << c.length << " bytes";
  }
}

TEST(MD5, UnalignedInputGivesTheSameDigest) {
  const std::vector<uint8_t> bytes = Pattern(200);
  std::vector<uint8_t> shifted(bytes.size() + 1);
  std::copy(bytes.begin(), bytes.end(), shifted.begin() + 1);
  EXPECT_EQ(Hex(shifted.data() + 1, bytes.size()), Hex(bytes.data(), bytes.size()));
}

}  // namespace
