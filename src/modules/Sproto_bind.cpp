// The "sproto.core" script module: schemas and message types as light
// userdata, messages as tables keyed by field name. The script owns a schema
// and frees it with deleteproto. encode, pack and unpack keep their output
// buffer in their own upvalues (the buffer and its size), growing it by
// doubling up to a 16 MiB cap.
#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "modules/DataModules.h"
#include "modules/Sproto.h"

namespace GCore {
namespace {

constexpr int kMaxDepth = 64;
constexpr lua_Integer kMaxBufferSize = 0x1000000;
constexpr lua_Integer kInitialBufferSize = 2050;
constexpr int kGlobalSlotCount = 128;

// Shared by every state of the process; filled once before others read.
sproto* g_globalSlots[kGlobalSlotCount];

// The schemas newproto made and deleteproto has not freed, also by the address
// of their type array. A light userdata is only an address that any script can
// make (another module's pointer, a freed schema), so every schema and type
// handed in is looked up here first. Shared by every state of the process.
class LiveSchemas {
 public:
  void Add(sproto* sp) {
    const std::lock_guard<std::mutex> hold(lock_);
    schemas_.insert(sp);
    byTypes_.emplace(TypesKey(sp), sp);
  }
  // False when the schema is not live.
  bool Remove(const void* p) {
    const std::lock_guard<std::mutex> hold(lock_);
    if (schemas_.erase(p) == 0) return false;
    byTypes_.erase(TypesKey(static_cast<const sproto*>(p)));
    return true;
  }
  bool HasSchema(const void* p) {
    const std::lock_guard<std::mutex> hold(lock_);
    return schemas_.count(p) != 0;
  }
  // True when `p` is the start of one of the types of a live schema.
  bool HasType(const void* p) {
    const uintptr_t address = reinterpret_cast<uintptr_t>(p);
    const std::lock_guard<std::mutex> hold(lock_);
    auto found = byTypes_.upper_bound(address);
    if (found == byTypes_.begin()) return false;
    const sproto* sp = (--found)->second;
    const uintptr_t offset = address - found->first;
    return offset % sizeof(sproto_type) == 0 &&
           offset / sizeof(sproto_type) < static_cast<size_t>(sp->typeCount);
  }

 private:
  // A schema without types has no array; its own address stands in, as no
  // type can start there.
  static uintptr_t TypesKey(const sproto* sp) {
    return sp->typeCount > 0 ? reinterpret_cast<uintptr_t>(sp->types) : reinterpret_cast<uintptr_t>(sp);
  }

  std::mutex lock_;
  std::set<const void*> schemas_;
  std::map<uintptr_t, sproto*> byTypes_;
};

LiveSchemas& Live() {
  static LiveSchemas live;
  return live;
}

sproto* CheckProto(lua_State* L, int arg, const char* message = "Need a sproto object") {
  void* p = lua_touserdata(L, arg);
  luaL_argcheck(L, p != nullptr && Live().HasSchema(p), arg, message);
  return static_cast<sproto*>(p);
}

const sproto_type* CheckType(lua_State* L, int arg) {
  void* p = lua_touserdata(L, arg);
  luaL_argcheck(L, p != nullptr && Live().HasType(p), arg, "Need a sproto_type object");
  return static_cast<const sproto_type*>(p);
}

// A string, or a userdata followed by its length in the next argument.
const void* GetBufferArg(lua_State* L, int arg, size_t* size) {
  switch (lua_type(L, arg)) {
    case LUA_TSTRING:
      return lua_tolstring(L, arg, size);
    case LUA_TUSERDATA:
    case LUA_TLIGHTUSERDATA: {
      const lua_Integer n = luaL_checkinteger(L, arg + 1);
      luaL_argcheck(L, n >= 0, arg + 1, "length must not be negative");
      *size = static_cast<size_t>(n);
      return lua_touserdata(L, arg);
    }
    default:
      luaL_argerror(L, arg, "Need a string or userdata");
      return nullptr;
  }
}

// Replaces the closure's buffer by one of at least `needed` bytes: the old
// size doubled until it suffices, but never past the cap, so that the whole
// 16 MiB stay usable.
void* ExpandBuffer(lua_State* L, lua_Integer oldSize, lua_Integer needed, lua_Integer* newSize) {
  if (needed > kMaxBufferSize) luaL_error(L, "object is too large (>%d)", static_cast<int>(kMaxBufferSize));
  lua_Integer size = oldSize;
  while (size < needed) size *= 2;
  if (size > kMaxBufferSize) size = kMaxBufferSize;
  void* buffer = lua_newuserdata(L, static_cast<size_t>(size));
  lua_replace(L, lua_upvalueindex(1));
  lua_pushinteger(L, size);
  lua_replace(L, lua_upvalueindex(2));
  *newSize = size;
  return buffer;
}

void* CurrentBuffer(lua_State* L, lua_Integer* size) {
  *size = lua_tointeger(L, lua_upvalueindex(2));
  return lua_touserdata(L, lua_upvalueindex(1));
}

// ---- encode -----------------------------------------------------------------

struct EncodeContext {
  lua_State* L;
  int tableIndex;          // the message table
  const char* arrayTag;    // the array field being walked (by name pointer)
  int arrayIndex;          // its table, once one was fetched
  int depth;
  int iterationIndex;      // the traversal key of a map-like array
};

int EncodeFieldCallback(const FieldArg* args);

// Writes the value on top of the stack (and pops it).
int EncodeValue(EncodeContext& ctx, const FieldArg* args) {
  lua_State* L = ctx.L;
  switch (args->type) {
    case kSprotoInteger: {
      int isNumber = 0;
      const lua_Integer v = lua_tointegerx(L, -1, &isNumber);
      if (!isNumber) {
        luaL_error(L, ".%s[%d] is not an integer (Is a %s)", args->tagname, args->index, luaL_typename(L, -1));
      }
      lua_pop(L, 1);
      const uint64_t bits = static_cast<uint64_t>(v);
      memcpy(args->value, &bits, sizeof(bits));
      return v >= INT32_MIN && v <= INT32_MAX ? 4 : 8;
    }
    case kSprotoBoolean: {
      if (!lua_isboolean(L, -1)) {
        luaL_error(L, ".%s[%d] is not a boolean (Is a %s)", args->tagname, args->index, luaL_typename(L, -1));
      }
      const uint64_t bits = lua_toboolean(L, -1) ? 1 : 0;
      lua_pop(L, 1);
      memcpy(args->value, &bits, sizeof(bits));
      return 4;
    }
    case kSprotoString: {
      if (!lua_isstring(L, -1)) {
        luaL_error(L, ".%s[%d] is not a string (Is a %s)", args->tagname, args->index, luaL_typename(L, -1));
      }
      size_t size = 0;
      const char* s = lua_tolstring(L, -1, &size);
      // Too long for the room left: the caller grows the buffer and retries.
      const bool fits = size <= static_cast<size_t>(args->length);
      if (fits) memcpy(args->value, s, size);
      lua_pop(L, 1);
      return fits ? static_cast<int>(size) : kFieldError;
    }
    case kSprotoStruct: {
      if (!lua_istable(L, -1)) {
        luaL_error(L, ".%s[%d] is not a table (Is a %s)", args->tagname, args->index, luaL_typename(L, -1));
      }
      const int top = lua_gettop(L) - 1;
      lua_pushnil(L);
      EncodeContext sub{L, top + 1, nullptr, 0, ctx.depth + 1, top + 2};
      const int r = SprotoEncode(args->subtype, args->value, args->length, EncodeFieldCallback, &sub);
      lua_settop(L, top);
      return r < 0 ? kFieldError : r;
    }
    default:
      return luaL_error(L, "Invalid field type %d", args->type);
  }
}

int EncodeFieldCallback(const FieldArg* args) {
  EncodeContext& ctx = *static_cast<EncodeContext*>(args->ud);
  lua_State* L = ctx.L;
  if (ctx.depth >= kMaxDepth) luaL_error(L, "The table is too deep");
  luaL_checkstack(L, 4, "The table is too deep");
  if (args->index > 0) {
    if (args->tagname != ctx.arrayTag) {
      lua_getfield(L, ctx.tableIndex, args->tagname);
      if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        ctx.arrayTag = nullptr;
        return kFieldNoArray;
      }
      if (!lua_istable(L, -1)) {
        luaL_error(L, ".*%s(%d) should be a table (Is a %s)", args->tagname, args->index, luaL_typename(L, -1));
      }
      ctx.arrayTag = args->tagname;
      if (ctx.arrayIndex) {
        lua_replace(L, ctx.arrayIndex);
      } else {
        ctx.arrayIndex = lua_gettop(L);
      }
      lua_pushnil(L);
      lua_replace(L, ctx.iterationIndex);
    }
    if (args->mainindex >= 0) {
      // Elements of a map-like array are taken in traversal order, whatever
      // their keys.
      lua_pushvalue(L, ctx.iterationIndex);
      if (!lua_next(L, ctx.arrayIndex)) return kFieldNil;
      lua_insert(L, -2);
      lua_replace(L, ctx.iterationIndex);
    } else {
      lua_rawgeti(L, ctx.arrayIndex, args->index);
    }
  } else {
    lua_getfield(L, ctx.tableIndex, args->tagname);
  }
  if (lua_isnil(L, -1)) {
    lua_pop(L, 1);
    return kFieldNil;
  }
  return EncodeValue(ctx, args);
}

int Encode(lua_State* L) {
  const sproto_type* st = CheckType(L, 1);
  luaL_checktype(L, 2, LUA_TTABLE);
  luaL_checkstack(L, kMaxDepth * 2 + 8, nullptr);
  lua_Integer size = 0;
  void* buffer = CurrentBuffer(L, &size);
  for (;;) {
    lua_settop(L, 2);
    // Anchors the buffer: a metamethod of the message could re-enter encode
    // and replace the closure's buffer while this call still writes to it.
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_pushnil(L);
    EncodeContext ctx{L, 2, nullptr, 0, 0, 4};
    const int r = SprotoEncode(st, buffer, static_cast<int>(size), EncodeFieldCallback, &ctx);
    if (r >= 0) {
      lua_pushlstring(L, static_cast<const char*>(buffer), static_cast<size_t>(r));
      return 1;
    }
    buffer = ExpandBuffer(L, size, size + 1, &size);
  }
}

// ---- decode -----------------------------------------------------------------

struct DecodeContext {
  lua_State* L;
  const char* arrayTag;  // the array field being filled (by name pointer)
  int arrayIndex;        // its table, once one was made
  int resultIndex;
  int depth;
  int mainIndexTag;      // -1 unless this message is an element of a map-like array
  int keyIndex;          // receives the element's main-index value
};

int DecodeFieldCallback(const FieldArg* args);

// Decodes a nested message into a new table left on top; false when it fails
// or does not fill its data part exactly.
bool DecodeStruct(DecodeContext& ctx, const FieldArg* args, int mainIndexTag, int keyIndex) {
  lua_State* L = ctx.L;
  lua_newtable(L);
  DecodeContext sub{L, nullptr, 0, lua_gettop(L), ctx.depth + 1, mainIndexTag, keyIndex};
  const int r = SprotoDecode(args->subtype, args->value, args->length, DecodeFieldCallback, &sub);
  lua_settop(L, sub.resultIndex);
  return r == args->length;
}

int DecodeFieldCallback(const FieldArg* args) {
  DecodeContext& ctx = *static_cast<DecodeContext*>(args->ud);
  lua_State* L = ctx.L;
  if (ctx.depth >= kMaxDepth) luaL_error(L, "The table is too deep");
  luaL_checkstack(L, 4, "The table is too deep");
  if (args->index != 0) {
    if (args->tagname != ctx.arrayTag) {
      ctx.arrayTag = args->tagname;
      lua_newtable(L);
      lua_pushvalue(L, -1);
      lua_setfield(L, ctx.resultIndex, args->tagname);
      if (ctx.arrayIndex) {
        lua_replace(L, ctx.arrayIndex);
      } else {
        ctx.arrayIndex = lua_gettop(L);
      }
    }
    if (args->index < 0) return 0;
  }
  switch (args->type) {
    case kSprotoInteger: {
      uint64_t v;
      memcpy(&v, args->value, sizeof(v));
      lua_pushinteger(L, static_cast<lua_Integer>(v));
      break;
    }
    case kSprotoBoolean: {
      uint64_t v;
      memcpy(&v, args->value, sizeof(v));
      lua_pushboolean(L, static_cast<uint32_t>(v) != 0);
      break;
    }
    case kSprotoString:
      lua_pushlstring(L, static_cast<const char*>(args->value), static_cast<size_t>(args->length));
      break;
    case kSprotoStruct:
      if (args->index > 0 && args->mainindex >= 0) {
        // An element of a map-like array is stored under its main index.
        lua_pushnil(L);
        if (!DecodeStruct(ctx, args, args->mainindex, lua_gettop(L))) return kFieldError;
        if (lua_isnil(L, -2)) {
          luaL_error(L, "Can't find main index (tag=%d) in [%s]", args->mainindex, args->tagname);
        }
        lua_rawset(L, ctx.arrayIndex);
        return 0;
      }
      if (!DecodeStruct(ctx, args, -1, 0)) return kFieldError;
      break;
    default:
      return luaL_error(L, "Invalid type");
  }
  if (args->index > 0) {
    lua_rawseti(L, ctx.arrayIndex, args->index);
    return 0;
  }
  if (args->tagid == ctx.mainIndexTag) {
    lua_pushvalue(L, -1);
    lua_replace(L, ctx.keyIndex);
  }
  lua_setfield(L, ctx.resultIndex, args->tagname);
  return 0;
}

int Decode(lua_State* L) {
  const sproto_type* st = CheckType(L, 1);
  size_t size = 0;
  const void* data = GetBufferArg(L, 2, &size);
  if (!lua_istable(L, -1)) lua_newtable(L);
  luaL_checkstack(L, kMaxDepth * 3 + 8, nullptr);
  if (size > INT_MAX) luaL_error(L, "decode error");
  DecodeContext ctx{L, nullptr, 0, lua_gettop(L), 0, -1, 0};
  const int r = SprotoDecode(st, data, static_cast<int>(size), DecodeFieldCallback, &ctx);
  if (r < 0) luaL_error(L, "decode error");
  lua_settop(L, ctx.resultIndex);
  lua_pushinteger(L, r);
  return 2;
}

// ---- pack and unpack --------------------------------------------------------

int Pack(lua_State* L) {
  size_t n = 0;
  const void* data = GetBufferArg(L, 1, &n);
  // Dense runs of 256 groups cost 2 bytes more than their 2048 source bytes.
  const lua_Integer worst = static_cast<lua_Integer>(n) + ((static_cast<lua_Integer>(n) + 2047) / 2048 + 1) * 2;
  lua_Integer size = 0;
  void* buffer = CurrentBuffer(L, &size);
  if (size < worst) buffer = ExpandBuffer(L, size, worst, &size);
  const int64_t r = SprotoPack(data, static_cast<int64_t>(n), buffer, worst);
  if (r > worst) luaL_error(L, "packing error, return size = %d", static_cast<int>(r));
  lua_pushlstring(L, static_cast<const char*>(buffer), static_cast<size_t>(r));
  return 1;
}

int Unpack(lua_State* L) {
  size_t n = 0;
  const void* data = GetBufferArg(L, 1, &n);
  lua_Integer size = 0;
  void* buffer = CurrentBuffer(L, &size);
  int64_t r = SprotoUnpack(data, static_cast<int64_t>(n), buffer, size);
  if (r < 0) luaL_error(L, "Invalid unpack stream");
  if (r > size) {
    buffer = ExpandBuffer(L, size, r, &size);
    r = SprotoUnpack(data, static_cast<int64_t>(n), buffer, size);
    if (r < 0) luaL_error(L, "Invalid unpack stream");
  }
  lua_pushlstring(L, static_cast<const char*>(buffer), static_cast<size_t>(r));
  return 1;
}

// ---- schemas ----------------------------------------------------------------

int NewProto(lua_State* L) {
  size_t size = 0;
  const char* bundle = luaL_checklstring(L, 1, &size);
  sproto* sp = SprotoCreate(bundle, size);
  if (!sp) return 0;
  Live().Add(sp);
  lua_pushlightuserdata(L, sp);
  return 1;
}

int DeleteProto(lua_State* L) {
  sproto* sp = static_cast<sproto*>(lua_touserdata(L, 1));
  // Taken out of the live set first: a second deleteproto of it is refused.
  luaL_argcheck(L, sp != nullptr && Live().Remove(sp), 1, "Need a sproto object");
  // A freed schema must never be handed out by loadproto.
  for (sproto*& slot : g_globalSlots) {
    if (slot == sp) slot = nullptr;
  }
  SprotoRelease(sp);
  return 0;
}

int DumpProto(lua_State* L) {
  SprotoDump(CheckProto(L, 1, "Need a sproto_type object"));
  return 0;
}

int QueryType(lua_State* L) {
  const sproto* sp = CheckProto(L, 1);
  const char* name = luaL_checkstring(L, 2);
  sproto_type* st = SprotoType(sp, name);
  if (!st) return 0;
  lua_pushlightuserdata(L, st);
  return 1;
}

void PushType(lua_State* L, sproto_type* st) {
  if (st) {
    lua_pushlightuserdata(L, st);
  } else {
    lua_pushnil(L);
  }
}

int Protocol(lua_State* L) {
  const sproto* sp = CheckProto(L, 1, "Need a sproto_type object");
  const SprotoProtocol* pr = nullptr;
  if (lua_type(L, 2) == LUA_TNUMBER) {
    const lua_Integer tag = luaL_checkinteger(L, 2);
    if (tag < 0 || tag > INT_MAX) return 0;
    pr = QueryProto(sp, static_cast<int>(tag));
    if (!pr || !pr->name) return 0;
    lua_pushstring(L, pr->name);
  } else {
    const char* name = lua_tostring(L, 2);
    if (!name) luaL_argerror(L, 2, "Should be number or string");
    const int tag = SprotoProtoTag(sp, name);
    if (tag < 0) return 0;
    lua_pushinteger(L, tag);
    pr = QueryProto(sp, tag);
  }
  PushType(L, pr->request);
  PushType(L, pr->response);
  return 3;
}

int CheckSlotIndex(lua_State* L, int arg) {
  const lua_Integer index = luaL_optinteger(L, arg, 0);
  if (index < 0 || index >= kGlobalSlotCount) luaL_error(L, "Invalid global slot index %I", index);
  return static_cast<int>(index);
}

int SaveProto(lua_State* L) {
  // Nil empties the slot; anything else must be a live schema, or loadproto
  // would hand it out as one.
  sproto* sp = lua_isnoneornil(L, 1) ? nullptr : CheckProto(L, 1);
  g_globalSlots[CheckSlotIndex(L, 2)] = sp;
  return 0;
}

int LoadProto(lua_State* L) {
  const int index = CheckSlotIndex(L, 1);
  sproto* sp = g_globalSlots[index];
  if (!sp) luaL_error(L, "nil sproto at index %d", index);
  lua_pushlightuserdata(L, sp);
  return 1;
}

// ---- default ----------------------------------------------------------------

// Sets each field's default into the table at `resultIndex` and reports the
// field absent, so that only the header is ever written.
int DefaultFieldCallback(const FieldArg* args) {
  lua_State* L = static_cast<lua_State*>(args->ud);
  const int resultIndex = 1;
  lua_pushstring(L, args->tagname);
  if (args->index > 0) {
    lua_newtable(L);
    lua_rawset(L, resultIndex);
    return kFieldNoArray;
  }
  switch (args->type) {
    case kSprotoInteger: lua_pushinteger(L, 0); break;
    case kSprotoBoolean: lua_pushboolean(L, 0); break;
    case kSprotoString: lua_pushliteral(L, ""); break;
    default:
      lua_newtable(L);
      lua_pushstring(L, args->subtype->name);
      lua_setfield(L, -2, "__type");
      break;
  }
  lua_rawset(L, resultIndex);
  return kFieldNil;
}

int Default(lua_State* L) {
  const sproto_type* st = CheckType(L, 1);
  lua_settop(L, 0);
  lua_newtable(L);
  uint8_t scratch[64];
  void* buffer = scratch;
  int size = sizeof(scratch);
  // Only a header too large for the buffer can fail; the larger buffers stay
  // on the stack until the encoding is done.
  while (SprotoEncode(st, buffer, size, DefaultFieldCallback, L) < 0) {
    size *= 2;
    buffer = lua_newuserdata(L, static_cast<size_t>(size));
  }
  lua_settop(L, 1);
  return 1;
}

const luaL_Reg kSprotoFunctions[] = {
    {"newproto", NewProto},
    {"deleteproto", DeleteProto},
    {"dumpproto", DumpProto},
    {"querytype", QueryType},
    {"decode", Decode},
    {"protocol", Protocol},
    {"loadproto", LoadProto},
    {"saveproto", SaveProto},
    {"default", Default},
    {nullptr, nullptr}};

// Each of these gets a work buffer of its own as upvalues: the buffer and its size.
const luaL_Reg kBufferFunctions[] = {
    {"encode", Encode},
    {"pack", Pack},
    {"unpack", Unpack},
};

void SetBufferClosure(lua_State* L, const char* name, lua_CFunction f) {
  lua_newuserdata(L, static_cast<size_t>(kInitialBufferSize));
  lua_pushinteger(L, kInitialBufferSize);
  lua_pushcclosure(L, f, 2);
  lua_setfield(L, -2, name);
}

}  // namespace
}  // namespace GCore

extern "C" int luaopen_sproto_core(lua_State* L) {
  luaL_checkversion(L);
  lua_createtable(L, 0, 9);
  luaL_setfuncs(L, GCore::kSprotoFunctions, 0);
  for (const luaL_Reg& entry : GCore::kBufferFunctions) GCore::SetBufferClosure(L, entry.name, entry.func);
  return 1;
}
