// The "crypt.c" script module: DES, key hashes, hex and Base64, a 64-bit keyed
// digest, a 64-bit Diffie-Hellman exchange, SHA-1 and HMAC-SHA1 over byte
// strings. Nothing is kept between calls except the C library's random
// generator, which the opener seeds.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/MD5.h"
#include "modules/DataModules.h"
#include "modules/Des.h"
#include "modules/Sha1.h"

namespace GCore {
namespace {

// Small results are assembled on the C stack; larger ones in a userdata that
// the collector reclaims, so a script error never leaks a buffer.
class ResultBuffer {
 public:
  ResultBuffer(lua_State* L, size_t size)
      : data_(size <= sizeof(local_) ? local_ : static_cast<uint8_t*>(lua_newuserdata(L, size))) {}
  ResultBuffer(const ResultBuffer&) = delete;
  ResultBuffer& operator=(const ResultBuffer&) = delete;
  uint8_t* data() { return data_; }

 private:
  uint8_t local_[256];
  uint8_t* data_;
};

const uint8_t* CheckBytes(lua_State* L, int arg, size_t* size) {
  return reinterpret_cast<const uint8_t*>(luaL_checklstring(L, arg, size));
}

void PushBytes(lua_State* L, const uint8_t* data, size_t size) {
  lua_pushlstring(L, reinterpret_cast<const char*>(data), size);
}

uint32_t LoadLittleEndian32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

void StoreLittleEndian32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint64_t LoadLittleEndian64(const uint8_t* p) {
  return uint64_t{LoadLittleEndian32(p)} | (uint64_t{LoadLittleEndian32(p + 4)} << 32);
}

void PushUint64(lua_State* L, uint64_t v) {
  uint8_t bytes[8];
  StoreLittleEndian32(bytes, static_cast<uint32_t>(v));
  StoreLittleEndian32(bytes + 4, static_cast<uint32_t>(v >> 32));
  PushBytes(L, bytes, sizeof(bytes));
}

const uint8_t* CheckUint64(lua_State* L, int arg, const char* message) {
  size_t size = 0;
  const uint8_t* p = CheckBytes(L, arg, &size);
  if (size != 8) luaL_error(L, "%s", message);
  return p;
}

// ---- DES --------------------------------------------------------------------

void CheckDesKey(lua_State* L, uint32_t schedule[32]) {
  size_t size = 0;
  const uint8_t* key = CheckBytes(L, 1, &size);
  if (size != 8) luaL_error(L, "Invalid key size %I, need 8 bytes", static_cast<lua_Integer>(size));
  DesKeySchedule(key, schedule);
}

int DesEncode(lua_State* L) {
  uint32_t schedule[32];
  CheckDesKey(L, schedule);
  size_t size = 0;
  const uint8_t* text = CheckBytes(L, 2, &size);
  // At least one byte of padding, so that the last block always says where
  // the text ends.
  const size_t whole = size & ~size_t{7};
  const size_t resultSize = (size + 8) & ~size_t{7};
  ResultBuffer buffer(L, resultSize);
  uint8_t* out = buffer.data();
  for (size_t i = 0; i < whole; i += 8) DesCryptBlock(schedule, text + i, out + i);
  uint8_t last[8] = {};
  memcpy(last, text + whole, size - whole);
  last[size - whole] = 0x80;
  DesCryptBlock(schedule, last, out + whole);
  PushBytes(L, out, resultSize);
  return 1;
}

int DesDecode(lua_State* L) {
  uint32_t encrypt[32];
  CheckDesKey(L, encrypt);
  uint32_t schedule[32];
  DesReverseSchedule(encrypt, schedule);
  size_t size = 0;
  const uint8_t* text = CheckBytes(L, 2, &size);
  if (size == 0 || size % 8 != 0) {
    luaL_error(L, "Invalid des crypt text length %I", static_cast<lua_Integer>(size));
  }
  ResultBuffer buffer(L, size);
  uint8_t* out = buffer.data();
  for (size_t i = 0; i < size; i += 8) DesCryptBlock(schedule, text + i, out + i);
  size_t padding = 0;
  for (;;) {
    if (padding == 8) luaL_error(L, "Invalid des crypt text");
    const uint8_t b = out[size - 1 - padding];
    ++padding;
    if (b == 0x80) break;
    if (b != 0) luaL_error(L, "Invalid des crypt text");
  }
  PushBytes(L, out, size - padding);
  return 1;
}

// ---- Key hash and random keys -----------------------------------------------

void HashKeyDigest(const uint8_t* data, size_t size, uint8_t digest[8]) {
  uint32_t h1 = 5381;
  uint32_t h2 = 1315423911;
  for (size_t i = 0; i < size; ++i) {
    const uint32_t c = data[i];
    h1 = h1 * 33 + c;
    h2 ^= (h2 << 5) + c + (h2 >> 2);
  }
  StoreLittleEndian32(digest, h1);
  StoreLittleEndian32(digest + 4, h2);
}

int HashKey(lua_State* L) {
  size_t size = 0;
  const uint8_t* data = CheckBytes(L, 1, &size);
  uint8_t digest[8];
  HashKeyDigest(data, size, digest);
  PushBytes(L, digest, sizeof(digest));
  return 1;
}

int RandomKey(lua_State* L) {
  uint8_t key[8];
  for (uint8_t& b : key) b = static_cast<uint8_t>(rand());
  PushBytes(L, key, sizeof(key));
  return 1;
}

// ---- Hex --------------------------------------------------------------------

int HexEncode(lua_State* L) {
  static const char kDigits[] = "0123456789abcdef";
  size_t size = 0;
  const uint8_t* data = CheckBytes(L, 1, &size);
  ResultBuffer buffer(L, size * 2);
  uint8_t* out = buffer.data();
  for (size_t i = 0; i < size; ++i) {
    out[2 * i] = kDigits[data[i] >> 4];
    out[2 * i + 1] = kDigits[data[i] & 15];
  }
  PushBytes(L, out, size * 2);
  return 1;
}

int HexDigit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int HexDecode(lua_State* L) {
  size_t size = 0;
  const uint8_t* text = CheckBytes(L, 1, &size);
  if (size % 2 != 0) luaL_error(L, "Invalid hex text size %I", static_cast<lua_Integer>(size));
  ResultBuffer buffer(L, size / 2);
  uint8_t* out = buffer.data();
  for (size_t i = 0; i < size; i += 2) {
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) luaL_error(L, "Invalid hex text");
    out[i / 2] = static_cast<uint8_t>(high << 4 | low);
  }
  PushBytes(L, out, size / 2);
  return 1;
}

// ---- 64-bit keyed digest ----------------------------------------------------

void Hmac64Digest(const uint8_t x[8], const uint8_t y[8], uint8_t digest[8]) {
  const uint32_t pattern[4] = {LoadLittleEndian32(x + 4), LoadLittleEndian32(x),
                               LoadLittleEndian32(y + 4), LoadLittleEndian32(y)};
  uint32_t w[16];
  for (int i = 0; i < 16; ++i) w[i] = pattern[i % 4];
  uint32_t state[4] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
  GCore::MD5Rounds(w, state);
  StoreLittleEndian32(digest, state[2] ^ state[3]);
  StoreLittleEndian32(digest + 4, state[0] ^ state[1]);
}

int Hmac64(lua_State* L) {
  const uint8_t* x = CheckUint64(L, 1, "Invalid uint64 x");
  const uint8_t* y = CheckUint64(L, 2, "Invalid uint64 y");
  uint8_t digest[8];
  Hmac64Digest(x, y, digest);
  PushBytes(L, digest, sizeof(digest));
  return 1;
}

// ---- Diffie-Hellman over 2^64 - 59 ------------------------------------------

constexpr uint64_t kDhPrime = 0xFFFFFFFFFFFFFFC5ull;
constexpr uint64_t kDhGenerator = 5;

// a * b mod P by doubling; every intermediate stays below 2^64.
uint64_t MulModP(uint64_t a, uint64_t b) {
  uint64_t m = 0;
  while (b != 0) {
    if (b & 1) {
      const uint64_t t = kDhPrime - a;
      m = m >= t ? m - t : m + a;
    }
    a = a >= kDhPrime - a ? a - (kDhPrime - a) : a * 2;
    b >>= 1;
  }
  return m;
}

// Recursion depth is the bit length of b, at most 64.
uint64_t PowModPStep(uint64_t a, uint64_t b) {
  if (b == 1) return a;
  uint64_t t = PowModPStep(a, b >> 1);
  t = MulModP(t, t);
  if (b & 1) t = MulModP(t, a);
  return t;
}

uint64_t PowModP(uint64_t a, uint64_t b) {
  // The step only ends at an exponent of 1; a^0 is 1.
  if (b == 0) return 1;
  if (a > kDhPrime) a %= kDhPrime;
  return PowModPStep(a, b);
}

int DhExchange(lua_State* L) {
  const uint8_t* x = CheckUint64(L, 1, "Invalid dh uint64 key");
  PushUint64(L, PowModP(kDhGenerator, LoadLittleEndian64(x)));
  return 1;
}

int DhSecret(lua_State* L) {
  const uint8_t* x = CheckUint64(L, 1, "Invalid uint64 x");
  const uint8_t* y = CheckUint64(L, 2, "Invalid uint64 y");
  PushUint64(L, PowModP(LoadLittleEndian64(x), LoadLittleEndian64(y)));
  return 1;
}

// ---- Base64 -----------------------------------------------------------------

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Encode(lua_State* L) {
  size_t size = 0;
  const uint8_t* data = CheckBytes(L, 1, &size);
  const size_t resultSize = (size + 2) / 3 * 4;
  ResultBuffer buffer(L, resultSize);
  uint8_t* out = buffer.data();
  size_t o = 0;
  for (size_t i = 0; i < size; i += 3) {
    const size_t n = size - i < 3 ? size - i : 3;
    const uint32_t v = (uint32_t{data[i]} << 16) | (n > 1 ? uint32_t{data[i + 1]} << 8 : 0) |
                       (n > 2 ? uint32_t{data[i + 2]} : 0);
    out[o++] = kBase64Alphabet[(v >> 18) & 63];
    out[o++] = kBase64Alphabet[(v >> 12) & 63];
    out[o++] = n > 1 ? kBase64Alphabet[(v >> 6) & 63] : '=';
    out[o++] = n > 2 ? kBase64Alphabet[v & 63] : '=';
  }
  PushBytes(L, out, resultSize);
  return 1;
}

constexpr int kBase64Skip = -1;
constexpr int kBase64Pad = -2;

int Base64Value(uint8_t c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  if (c == '=') return kBase64Pad;
  return kBase64Skip;
}

// Writes the bytes of one group of four significant characters; returns their
// number, or -1 for a misplaced padding mark or non-zero spare bits.
int DecodeBase64Group(const int v[4], uint8_t* out) {
  const bool pad2 = v[2] == kBase64Pad;
  const bool pad3 = v[3] == kBase64Pad;
  if (v[0] == kBase64Pad || v[1] == kBase64Pad || (pad2 && !pad3)) return -1;
  out[0] = static_cast<uint8_t>(v[0] << 2 | v[1] >> 4);
  if (pad2) return (v[1] & 15) == 0 ? 1 : -1;
  out[1] = static_cast<uint8_t>((v[1] & 15) << 4 | v[2] >> 2);
  if (pad3) return (v[2] & 3) == 0 ? 2 : -1;
  out[2] = static_cast<uint8_t>((v[2] & 3) << 6 | v[3]);
  return 3;
}

int Base64Decode(lua_State* L) {
  size_t size = 0;
  const uint8_t* text = CheckBytes(L, 1, &size);
  ResultBuffer buffer(L, (size + 3) / 4 * 3);
  uint8_t* out = buffer.data();
  size_t o = 0;
  int group[4];
  int count = 0;
  for (size_t i = 0; i < size; ++i) {
    const int v = Base64Value(text[i]);
    if (v == kBase64Skip) continue;
    group[count++] = v;
    if (count < 4) continue;
    const int n = DecodeBase64Group(group, out + o);
    if (n < 0) luaL_error(L, "Invalid base64 text");
    o += static_cast<size_t>(n);
    count = 0;
  }
  if (count != 0) luaL_error(L, "Invalid base64 text");
  PushBytes(L, out, o);
  return 1;
}

// ---- SHA-1 ------------------------------------------------------------------

int Sha1(lua_State* L) {
  size_t size = 0;
  const uint8_t* data = CheckBytes(L, 1, &size);
  uint8_t digest[kSha1DigestSize];
  Sha1Digest(data, size, digest);
  PushBytes(L, digest, sizeof(digest));
  return 1;
}

int HmacSha1Function(lua_State* L) {
  size_t keySize = 0;
  const uint8_t* key = CheckBytes(L, 1, &keySize);
  size_t textSize = 0;
  const uint8_t* text = CheckBytes(L, 2, &textSize);
  uint8_t digest[kSha1DigestSize];
  HmacSha1(key, keySize, text, textSize, digest);
  PushBytes(L, digest, sizeof(digest));
  return 1;
}

const luaL_Reg kCryptFunctions[] = {
    {"hashkey", HashKey},
    {"randomkey", RandomKey},
    {"desencode", DesEncode},
    {"desdecode", DesDecode},
    {"hexencode", HexEncode},
    {"hexdecode", HexDecode},
    {"hmac64", Hmac64},
    {"dhexchange", DhExchange},
    {"dhsecret", DhSecret},
    {"base64encode", Base64Encode},
    {"base64decode", Base64Decode},
    {"sha1", Sha1},
    {"hmac_sha1", HmacSha1Function},
    {nullptr, nullptr}};

}  // namespace
}  // namespace GCore

extern "C" int luaopen_crypt_c(lua_State* L) {
  luaL_checkversion(L);
  srand(static_cast<unsigned>(time(nullptr)));
  lua_createtable(L, 0, 13);
  luaL_setfuncs(L, GCore::kCryptFunctions, 0);
  return 1;
}
