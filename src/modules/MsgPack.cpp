// The "cmsgpack" script module: Lua values to MessagePack and back. Strings
// are written with the str family only (no bin, no ext); multi-byte fields are
// big-endian. Input to unpack is untrusted: every length is checked against
// the bytes left before it is used, and nesting is bounded.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "modules/DataModules.h"

namespace GCore {
namespace {

// Tables met this deep are packed as nil, which also stops cycles.
constexpr int kMaxPackNesting = 16;
// Deeper input is refused before the C stack can run out.
constexpr int kMaxUnpackNesting = 1000;

// ---- Packing ----------------------------------------------------------------

// The growing output of one pack call, in memory of the state's allocator.
// Released by its destructor, so a script error in mid-pack leaks nothing.
class MpBuffer {
 public:
  explicit MpBuffer(lua_State* L) : L_(L) { alloc_ = lua_getallocf(L, &allocUd_); }
  ~MpBuffer() {
    if (data_) alloc_(allocUd_, data_, capacity_, 0);
  }
  MpBuffer(const MpBuffer&) = delete;
  MpBuffer& operator=(const MpBuffer&) = delete;

  const char* data() const { return reinterpret_cast<const char*>(data_); }
  size_t size() const { return used_; }

  void MpBufAppend(const void* bytes, size_t n) {
    if (capacity_ - used_ < n) {
      const size_t grown = (used_ + n) * 2;
      void* block = alloc_(allocUd_, data_, capacity_, grown);
      if (!block) luaL_error(L_, "not enough memory");
      data_ = static_cast<uint8_t*>(block);
      capacity_ = grown;
    }
    memcpy(data_ + used_, bytes, n);
    used_ += n;
  }

  void AppendByte(uint8_t b) { MpBufAppend(&b, 1); }

  // A type code followed by `size` bytes of `value`, most significant first.
  void AppendCode(uint8_t code, uint64_t value, int size) {
    uint8_t bytes[9];
    bytes[0] = code;
    for (int i = 0; i < size; ++i) bytes[1 + i] = static_cast<uint8_t>(value >> (8 * (size - 1 - i)));
    MpBufAppend(bytes, static_cast<size_t>(size) + 1);
  }

 private:
  lua_State* L_;
  lua_Alloc alloc_;
  void* allocUd_ = nullptr;
  uint8_t* data_ = nullptr;
  size_t used_ = 0;
  size_t capacity_ = 0;
};

void MpEncodeInt(MpBuffer& buf, int64_t n) {
  if (n >= 0) {
    const uint64_t u = static_cast<uint64_t>(n);
    if (u <= 127) {
      buf.AppendByte(static_cast<uint8_t>(u));
    } else if (u <= 0xFF) {
      buf.AppendCode(0xCC, u, 1);
    } else if (u <= 0xFFFF) {
      buf.AppendCode(0xCD, u, 2);
    } else if (u <= 0xFFFFFFFF) {
      buf.AppendCode(0xCE, u, 4);
    } else {
      buf.AppendCode(0xCF, u, 8);
    }
    return;
  }
  const uint64_t bits = static_cast<uint64_t>(n);
  if (n >= -32) {
    buf.AppendByte(static_cast<uint8_t>(bits));
  } else if (n >= -128) {
    buf.AppendCode(0xD0, bits, 1);
  } else if (n >= -32768) {
    buf.AppendCode(0xD1, bits, 2);
  } else if (n >= INT64_C(-2147483648)) {
    buf.AppendCode(0xD2, bits, 4);
  } else {
    buf.AppendCode(0xD3, bits, 8);
  }
}

void MpEncodeFloat(MpBuffer& buf, double d) {
  // Integral values travel as integers. The range test comes first: casting
  // a double outside int64_t's range is undefined.
  if (std::isfinite(d) && d >= -0x1p63 && d < 0x1p63) {
    const int64_t i = static_cast<int64_t>(d);
    if (static_cast<double>(i) == d) {
      MpEncodeInt(buf, i);
      return;
    }
  }
  if (!std::isnan(d) && (std::isinf(d) || std::fabs(d) <= FLT_MAX)) {
    const float f = static_cast<float>(d);
    if (static_cast<double>(f) == d) {
      uint32_t bits;
      memcpy(&bits, &f, sizeof(bits));
      buf.AppendCode(0xCA, bits, 4);
      return;
    }
  }
  uint64_t bits;
  memcpy(&bits, &d, sizeof(bits));
  buf.AppendCode(0xCB, bits, 8);
}

// One of three header sizes after a short form; the 32-bit form is the
// largest the format has, so a longer string or table cannot be written.
void AppendLengthHeader(lua_State* L, MpBuffer& buf, uint64_t n, uint8_t code16, uint8_t code32) {
  if (n > 0xFFFFFFFF) luaL_error(L, "Value too large to pack.");
  if (n < 65536) {
    buf.AppendCode(code16, n, 2);
  } else {
    buf.AppendCode(code32, n, 4);
  }
}

void MpEncodeString(lua_State* L, MpBuffer& buf, int index) {
  size_t n = 0;
  const char* s = lua_tolstring(L, index, &n);
  if (n < 32) {
    buf.AppendByte(static_cast<uint8_t>(0xA0 | n));
  } else if (n < 256) {
    buf.AppendCode(0xD9, n, 1);
  } else {
    AppendLengthHeader(L, buf, n, 0xDA, 0xDB);
  }
  buf.MpBufAppend(s, n);
}

// True when the keys are exactly the integers 1..n.
bool TableIsArray(lua_State* L, int index) {
  uint64_t count = 0;
  lua_Integer largest = 0;
  lua_pushnil(L);
  while (lua_next(L, index)) {
    lua_pop(L, 1);
    if (!lua_isinteger(L, -1)) {
      lua_pop(L, 1);
      return false;
    }
    const lua_Integer key = lua_tointeger(L, -1);
    if (key <= 0) {
      lua_pop(L, 1);
      return false;
    }
    if (key > largest) largest = key;
    ++count;
  }
  return static_cast<uint64_t>(largest) == count;
}

void MpEncodeValue(lua_State* L, MpBuffer& buf, int index, int level);

void MpEncodeTable(lua_State* L, MpBuffer& buf, int index, int level) {
  // A key and a value per level, plus one for an element.
  luaL_checkstack(L, 3, "table too deeply nested to pack");
  if (TableIsArray(L, index)) {
    const uint64_t n = lua_rawlen(L, index);
    if (n < 16) {
      buf.AppendByte(static_cast<uint8_t>(0x90 | n));
    } else {
      AppendLengthHeader(L, buf, n, 0xDC, 0xDD);
    }
    for (uint64_t i = 1; i <= n; ++i) {
      lua_rawgeti(L, index, static_cast<lua_Integer>(i));
      MpEncodeValue(L, buf, lua_gettop(L), level + 1);
      lua_pop(L, 1);
    }
    return;
  }
  uint64_t n = 0;
  lua_pushnil(L);
  while (lua_next(L, index)) {
    lua_pop(L, 1);
    ++n;
  }
  if (n < 16) {
    buf.AppendByte(static_cast<uint8_t>(0x80 | n));
  } else {
    AppendLengthHeader(L, buf, n, 0xDE, 0xDF);
  }
  lua_pushnil(L);
  while (lua_next(L, index)) {
    const int top = lua_gettop(L);
    MpEncodeValue(L, buf, top - 1, level + 1);
    MpEncodeValue(L, buf, top, level + 1);
    lua_pop(L, 1);
  }
}

void MpEncodeValue(lua_State* L, MpBuffer& buf, int index, int level) {
  switch (lua_type(L, index)) {
    case LUA_TBOOLEAN:
      buf.AppendByte(lua_toboolean(L, index) ? 0xC3 : 0xC2);
      break;
    case LUA_TNUMBER:
      if (lua_isinteger(L, index)) {
        MpEncodeInt(buf, lua_tointeger(L, index));
      } else {
        MpEncodeFloat(buf, lua_tonumber(L, index));
      }
      break;
    case LUA_TSTRING:
      MpEncodeString(L, buf, index);
      break;
    case LUA_TTABLE:
      if (level >= kMaxPackNesting) {
        buf.AppendByte(0xC0);
      } else {
        MpEncodeTable(L, buf, index, level);
      }
      break;
    default:
      buf.AppendByte(0xC0);
      break;
  }
}

int Pack(lua_State* L) {
  const int count = lua_gettop(L);
  luaL_argcheck(L, count >= 1, 1, "MessagePack pack needs input.");
  MpBuffer buf(L);
  for (int i = 1; i <= count; ++i) MpEncodeValue(L, buf, i, 0);
  lua_pushlstring(L, buf.data(), buf.size());
  return 1;
}

// ---- Unpacking --------------------------------------------------------------

enum MpError { kMpOk = 0, kMpMissingBytes = 1, kMpBadFormat = 2, kMpTooDeep = 3 };

struct MpCursor {
  const uint8_t* p;
  size_t left;
  MpError error;
};

// Reads a big-endian field of `size` bytes, or flags missing bytes.
bool ReadField(MpCursor& c, int size, uint64_t& value) {
  if (c.left < static_cast<size_t>(size)) {
    c.error = kMpMissingBytes;
    return false;
  }
  value = 0;
  for (int i = 0; i < size; ++i) value = (value << 8) | c.p[i];
  c.p += size;
  c.left -= static_cast<size_t>(size);
  return true;
}

void DecodeString(lua_State* L, MpCursor& c, uint64_t n) {
  if (n > c.left) {
    c.error = kMpMissingBytes;
    return;
  }
  lua_pushlstring(L, reinterpret_cast<const char*>(c.p), static_cast<size_t>(n));
  c.p += n;
  c.left -= static_cast<size_t>(n);
}

void MpDecodeValue(lua_State* L, MpCursor& c, int depth);

// The stack only runs short when the values already decoded fill it. They
// are dropped first: raising the error needs stack room of its own.
void EnsureStack(lua_State* L, int n) {
  if (!lua_checkstack(L, n)) {
    lua_settop(L, 1);
    luaL_error(L, "too many return values at once; use unpack_one or unpack_limit instead.");
  }
}

// Size hints come from the header but never exceed what the bytes left could
// hold, so a forged count cannot make a huge table.
int TableSizeHint(uint64_t count, size_t left, size_t bytesPerEntry) {
  const uint64_t most = left / bytesPerEntry;
  const uint64_t hint = count < most ? count : most;
  return hint < 0x10000000 ? static_cast<int>(hint) : 0x10000000;
}

void DecodeArray(lua_State* L, MpCursor& c, uint64_t n, int depth) {
  lua_createtable(L, TableSizeHint(n, c.left, 1), 0);
  EnsureStack(L, 1);
  for (uint64_t i = 1; i <= n; ++i) {
    MpDecodeValue(L, c, depth + 1);
    if (c.error != kMpOk) return;
    lua_rawseti(L, -2, static_cast<lua_Integer>(i));
  }
}

void DecodeMap(lua_State* L, MpCursor& c, uint64_t n, int depth) {
  lua_createtable(L, 0, TableSizeHint(n, c.left, 2));
  EnsureStack(L, 2);
  for (uint64_t i = 0; i < n; ++i) {
    MpDecodeValue(L, c, depth + 1);
    if (c.error != kMpOk) return;
    MpDecodeValue(L, c, depth + 1);
    if (c.error != kMpOk) return;
    lua_settable(L, -3);
  }
}

// Pushes one value into a stack slot the caller made sure of, or sets the
// cursor's error; after an error the stack may hold a partial value, which
// the caller discards.
void MpDecodeValue(lua_State* L, MpCursor& c, int depth) {
  if (depth >= kMaxUnpackNesting) {
    c.error = kMpTooDeep;
    return;
  }
  uint64_t field = 0;
  if (!ReadField(c, 1, field)) return;
  const uint8_t code = static_cast<uint8_t>(field);
  if (code <= 0x7F) {
    lua_pushnumber(L, code);
    return;
  }
  if (code >= 0xE0) {
    lua_pushinteger(L, static_cast<int8_t>(code));
    return;
  }
  if (code >= 0xA0 && code <= 0xBF) {
    DecodeString(L, c, code & 0x1F);
    return;
  }
  if (code >= 0x90 && code <= 0x9F) {
    DecodeArray(L, c, code & 0x0F, depth);
    return;
  }
  if (code >= 0x80 && code <= 0x8F) {
    DecodeMap(L, c, code & 0x0F, depth);
    return;
  }
  switch (code) {
    case 0xC0: lua_pushnil(L); return;
    case 0xC2: lua_pushboolean(L, 0); return;
    case 0xC3: lua_pushboolean(L, 1); return;
    case 0xCC: if (ReadField(c, 1, field)) lua_pushnumber(L, static_cast<lua_Number>(field)); return;
    case 0xCD: if (ReadField(c, 2, field)) lua_pushnumber(L, static_cast<lua_Number>(field)); return;
    case 0xCE: if (ReadField(c, 4, field)) lua_pushnumber(L, static_cast<lua_Number>(field)); return;
    case 0xCF: if (ReadField(c, 8, field)) lua_pushnumber(L, static_cast<lua_Number>(field)); return;
    case 0xD0: if (ReadField(c, 1, field)) lua_pushinteger(L, static_cast<int8_t>(field)); return;
    case 0xD1: if (ReadField(c, 2, field)) lua_pushinteger(L, static_cast<int16_t>(field)); return;
    case 0xD2: if (ReadField(c, 4, field)) lua_pushinteger(L, static_cast<int32_t>(field)); return;
    case 0xD3: if (ReadField(c, 8, field)) lua_pushinteger(L, static_cast<int64_t>(field)); return;
    case 0xCA:
      if (ReadField(c, 4, field)) {
        const uint32_t bits = static_cast<uint32_t>(field);
        float f;
        memcpy(&f, &bits, sizeof(f));
        lua_pushnumber(L, f);
      }
      return;
    case 0xCB:
      if (ReadField(c, 8, field)) {
        double d;
        memcpy(&d, &field, sizeof(d));
        lua_pushnumber(L, d);
      }
      return;
    case 0xD9: if (ReadField(c, 1, field)) DecodeString(L, c, field); return;
    case 0xDA: if (ReadField(c, 2, field)) DecodeString(L, c, field); return;
    case 0xDB: if (ReadField(c, 4, field)) DecodeString(L, c, field); return;
    case 0xDC: if (ReadField(c, 2, field)) DecodeArray(L, c, field, depth); return;
    case 0xDD: if (ReadField(c, 4, field)) DecodeArray(L, c, field, depth); return;
    case 0xDE: if (ReadField(c, 2, field)) DecodeMap(L, c, field, depth); return;
    case 0xDF: if (ReadField(c, 4, field)) DecodeMap(L, c, field, depth); return;
    default: c.error = kMpBadFormat; return;
  }
}

// Decodes values of the string at index 1 from `offset`; limit 0 with offset
// 0 decodes everything and returns the bare values, otherwise at most `limit`
// values follow the next offset (-1 once the string is used up).
int MpUnpackFull(lua_State* L, lua_Integer limit, lua_Integer offset) {
  size_t size = 0;
  const char* s = luaL_checklstring(L, 1, &size);
  const bool decodeAll = limit == 0 && offset == 0;
  if (offset < 0 || limit < 0) {
    luaL_error(L, "Invalid request to unpack with offset of %I and limit of %I.", offset, limit);
  }
  if (static_cast<uint64_t>(offset) > size) {
    luaL_error(L, "Start offset %I greater than input length %I.", offset, static_cast<lua_Integer>(size));
  }
  lua_settop(L, 1);
  MpCursor c{reinterpret_cast<const uint8_t*>(s) + offset, size - static_cast<size_t>(offset), kMpOk};
  lua_Integer count = 0;
  while (c.left > 0 && (decodeAll || count < limit)) {
    EnsureStack(L, 1);
    MpDecodeValue(L, c, 0);
    switch (c.error) {
      case kMpOk: break;
      case kMpMissingBytes: luaL_error(L, "Missing bytes in input."); break;
      case kMpBadFormat: luaL_error(L, "Bad data format in input."); break;
      case kMpTooDeep: luaL_error(L, "Nesting too deep in input."); break;
    }
    ++count;
  }
  if (decodeAll) return static_cast<int>(count);
  EnsureStack(L, 1);
  lua_pushinteger(L, c.left > 0 ? static_cast<lua_Integer>(size - c.left) : -1);
  lua_insert(L, 2);
  return static_cast<int>(count) + 1;
}

int Unpack(lua_State* L) { return MpUnpackFull(L, 0, 0); }

int UnpackOne(lua_State* L) { return MpUnpackFull(L, 1, luaL_optinteger(L, 2, 0)); }

int UnpackLimit(lua_State* L) {
  const lua_Integer limit = luaL_checkinteger(L, 2);
  return MpUnpackFull(L, limit, luaL_optinteger(L, 3, 0));
}

const luaL_Reg kMsgPackFunctions[] = {
    {"pack", Pack},
    {"unpack", Unpack},
    {"unpack_one", UnpackOne},
    {"unpack_limit", UnpackLimit},
    {nullptr, nullptr}};

}  // namespace
}  // namespace GCore

extern "C" int luaopen_cmsgpack(lua_State* L) {
  luaL_checkversion(L);
  lua_createtable(L, 0, 8);
  luaL_setfuncs(L, GCore::kMsgPackFunctions, 0);
  lua_pushliteral(L, "cmsgpack");
  lua_setfield(L, -2, "_NAME");
  lua_pushliteral(L, "lua-cmsgpack 0.4.0");
  lua_setfield(L, -2, "_VERSION");
  lua_pushliteral(L, "Copyright (C) the quarvelin developers");
  lua_setfield(L, -2, "_COPYRIGHT");
  lua_pushliteral(L, "MessagePack C implementation for Lua");
  lua_setfield(L, -2, "_DESCRIPTION");
  return 1;
}
