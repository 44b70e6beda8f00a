#include "modules/ErisReader.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include "lapi.h"
#include "lfunc.h"
#include "lgc.h"
#include "lmem.h"
#include "lstate.h"
}

namespace GCore::eris {
namespace {

constexpr uint64_t kCheckNumberBits = 0xBFF3C0CA4283DE1BULL;  // -1.23456789

const char* KindName(int kind) {
  static const char* const kNames[] = {"value", "proto", "upval"};
  return kNames[kind];
}

// Grows `array` (holding `size` elements) so that it holds element `index`,
// doubling up to the `count` the stream gave; new elements get `fill`. The
// size field always tells the collector how many elements are valid.
template <typename T>
void GrowFor(lua_State* L, T*& array, int& size, int index, int count, const T& fill) {
  if (index < size) return;
  const int wanted = std::min(count, std::max(16, size > count / 2 ? count : size * 2));
  luaM_reallocvector(L, array, size, wanted, T);
  for (int i = size; i < wanted; ++i) array[i] = fill;
  size = wanted;
}

}  // namespace

Reader::Reader(lua_State* state, const Settings& settings, ZIO* input, int perms, int refs, int kinds)
    : Session(state, settings), input_(input), perms_(perms), refs_(refs), kinds_(kinds) {}

// ---------------------------------------------------------------- primitives

void Reader::ReadBytes(void* out, size_t n) {
  if (luaZ_read(input_, out, n) != 0) {
    if (!header_read_) FailWithoutPath("could not read data");
    Fail("could not read data");
  }
}

uint8_t Reader::ReadByte() {
  uint8_t byte = 0;
  ReadBytes(&byte, 1);
  return byte;
}

uint64_t Reader::ReadRaw(int width) {
  uint8_t bytes[8] = {};
  ReadBytes(bytes, static_cast<size_t>(width));
  uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

void Reader::CheckWidths() {
  if (int_width_ != 2 && int_width_ != 4 && int_width_ != 8) Fail("unsupported int type");
  if (size_width_ != 2 && size_width_ != 4 && size_width_ != 8) Fail("unsupported size_t type");
}

int Reader::ReadInt() {
  switch (int_width_) {
    case 2:
      return static_cast<int16_t>(ReadRaw(2));
    case 4:
      return static_cast<int32_t>(ReadRaw(4));
    case 8: {
      const auto value = static_cast<int64_t>(ReadRaw(8));
      if (value < INT32_MIN || value > INT32_MAX) Fail("int value would get truncated");
      return static_cast<int>(value);
    }
    default:
      Fail("unsupported int type");
  }
}

uint64_t Reader::ReadSize() {
  if (size_width_ != 2 && size_width_ != 4 && size_width_ != 8) Fail("unsupported size_t type");
  return ReadRaw(size_width_);
}

size_t Reader::ReadLength() { return static_cast<size_t>(ReadSize()); }

void Reader::ReadHeader() {
  char magic[4];
  ReadBytes(magic, sizeof magic);
  if (std::memcmp(magic, "ERIS", 4) != 0) FailWithoutPath("invalid data");
  int float_size = ReadByte();
  if (float_size == 0) {  // an older header kept three more bytes here
    char skipped[3];
    ReadBytes(skipped, sizeof skipped);
    float_size = ReadByte();
  }
  if (float_size != sizeof(lua_Number)) FailWithoutPath("incompatible floating point type");
  if (ReadRaw(8) != kCheckNumberBits) FailWithoutPath("incompatible floating point representation");
  if (ReadByte() != sizeof(lua_Integer)) FailWithoutPath("incompatible integer type");
  int_width_ = ReadByte();
  size_width_ = ReadByte();
  header_read_ = true;
}

// ---------------------------------------------------------------- records

void Reader::ReadRecord(Kind expected) {
  const int tag = ReadInt();
  if (tag > kReference) {
    ReadReference(tag - kReference, expected);
  } else if (tag == kPermanent) {
    ReadPermanent(expected);
  } else if (tag == kNil) {
    if (expected != Kind::kValue) Mismatch(expected, "nil");
    lua_pushnil(L);
  } else {
    Enter();
    ReadTyped(tag, expected);
    Leave();
  }
}

void Reader::ReadTyped(int tag, Kind expected) {
  const bool wants_value = expected == Kind::kValue;
  switch (tag) {
    case kBoolean:
    case kLightUserdata:
    case kNumber:
    case kString:
    case kTable:
    case kFunction:
    case kUserdata:
    case kThread:
      if (!wants_value) Mismatch(expected, TypeName(tag));
      break;
    case kProto:
      if (expected != Kind::kProto) Mismatch(expected, "proto");
      break;
    case kUpvalue:
      if (expected != Kind::kUpvalue) Mismatch(expected, "upval");
      break;
    default:
      Fail("trying to unpersist unknown type %d", tag);
  }
  switch (tag) {
    case kBoolean:
      lua_pushboolean(L, ReadByte() != 0);
      break;
    case kLightUserdata:
      lua_pushlightuserdata(L, reinterpret_cast<void*>(static_cast<uintptr_t>(ReadSize())));
      break;
    case kNumber: {
      const uint8_t subtype = ReadByte();
      const uint64_t bits = ReadRaw(8);
      if (subtype == 0) {
        lua_Number number;
        std::memcpy(&number, &bits, sizeof number);
        lua_pushnumber(L, number);
      } else {
        lua_pushinteger(L, static_cast<lua_Integer>(bits));
      }
      break;
    }
    case kString:
      ReadString();
      break;
    case kTable:
      ReadTable();
      break;
    case kFunction:
      ReadClosure();
      break;
    case kUserdata:
      ReadUserdata();
      break;
    case kThread:
      ReadThread();
      break;
    case kProto:
      ReadProto();
      break;
    default:
      ReadUpvalue();
      break;
  }
}

void Reader::Mismatch(Kind expected, const char* got) {
  Fail("bad record (%s expected, got %s)", KindName(static_cast<int>(expected)), got);
}

void Reader::ReadReference(int32_t n, Kind expected) {
  if (lua_rawgeti(L, refs_, n) == LUA_TNIL) {
    Fail("invalid reference #%d. this usually means a special persistence callback of a table referenced said "
         "table (directly or indirectly via an upvalue).",
         n);
  }
  lua_rawgeti(L, kinds_, n);
  const int kind = static_cast<int>(lua_tointeger(L, -1));
  lua_pop(L, 1);
  if (kind != static_cast<int>(expected)) {
    Fail("bad reference #%d (%s expected, got %s)", n, KindName(static_cast<int>(expected)), KindName(kind));
  }
}

void Reader::ReadPermanent(Kind expected) {
  const int type = ReadByte();
  const int32_t n = NextReference();
  ReadValue();
  lua_gettable(L, perms_);
  if (lua_isnil(L, -1)) Fail("bad permanent value (no value)");
  if (expected != Kind::kValue) {
    Fail("bad permanent value (%s expected, got %s)", KindName(static_cast<int>(expected)), luaL_typename(L, -1));
  }
  if (lua_type(L, -1) != type) Fail("bad permanent value (%s expected, got %s)", TypeName(type), luaL_typename(L, -1));
  RegisterAs(n, Kind::kValue);
}

void Reader::Register(Kind kind) { RegisterAs(NextReference(), kind); }

void Reader::RegisterAs(int32_t n, Kind kind) {
  lua_pushvalue(L, -1);
  lua_rawseti(L, refs_, n);
  if (kind != Kind::kValue) {
    lua_pushinteger(L, static_cast<int>(kind));
    lua_rawseti(L, kinds_, n);
  }
}

// ---------------------------------------------------------------- strings, tables, userdata

void Reader::PushBytes(size_t length) {
  if (input_->n >= length) {  // usually all of it is in the reader's buffer
    lua_pushlstring(L, input_->p, length);
    input_->p += length;
    input_->n -= length;
    return;
  }
  // Collected piece by piece: a forged length runs out of data, not memory.
  std::string bytes;
  bytes.reserve(std::min<size_t>(length, size_t{1} << 16));
  while (length > 0) {
    if (input_->n == 0) {
      if (luaZ_fill(input_) == EOZ) Fail("could not read data");
      ++input_->n;  // luaZ_fill consumed the first byte; put it back
      --input_->p;
    }
    const size_t piece = std::min(length, input_->n);
    bytes.append(input_->p, piece);
    input_->p += piece;
    input_->n -= piece;
    length -= piece;
  }
  lua_pushlstring(L, bytes.data(), bytes.size());
}

void Reader::ReadString() {
  PushBytes(ReadLength());
  Register(Kind::kValue);
}

void Reader::ReadTable() {
  const int mode = ReadByte();
  if (mode == 1) return ReadSpecial(LUA_TTABLE);
  if (mode != 0) Fail("bad table mode %d", mode);
  lua_newtable(L);
  Register(Kind::kValue);
  for (;;) {
    {
      PathEntry entry(*this, "@key");
      ReadValue();
    }
    if (lua_isnil(L, -1)) {
      lua_pop(L, 1);
      break;
    }
    PathEntry entry(*this, lua_gettop(L));
    ReadValue();
    if (lua_isnil(L, -1)) Fail("bad table value, got a nil value");
    lua_rawset(L, -3);
  }
  ReadMetatable();
}

void Reader::ReadUserdata() {
  const int mode = ReadByte();
  if (mode == 1) return ReadSpecial(LUA_TUSERDATA);
  if (mode != 0) Fail("bad userdata mode %d", mode);
  PushBytes(ReadLength());
  size_t length = 0;
  const char* bytes = lua_tolstring(L, -1, &length);
  std::memcpy(lua_newuserdata(L, length), bytes, length);
  lua_replace(L, -2);
  Register(Kind::kValue);
  ReadMetatable();
}

void Reader::ReadSpecial(int type) {
  const int32_t n = NextReference();
  ReadValue();
  if (!lua_isfunction(L, -1)) Fail("invalid restore function");
  if (spio()) {
    lua_pushlightuserdata(L, input_);
    lua_call(L, 1, 1);
  } else {
    lua_call(L, 0, 1);
  }
  if (lua_type(L, -1) != type) {
    Fail("bad unpersist function (%s expected, returned %s)", lua_typename(L, type), luaL_typename(L, -1));
  }
  RegisterAs(n, Kind::kValue);
}

void Reader::ReadMetatable() {
  PathEntry entry(*this, "@metatable");
  ReadValue();
  if (lua_istable(L, -1)) {
    lua_setmetatable(L, -2);
  } else if (lua_isnil(L, -1)) {
    lua_pop(L, 1);
  } else {
    Fail("bad metatable, not nil or table");
  }
}

// ---------------------------------------------------------------- closures and upvalues

void Reader::ReadClosure() {
  const int kind = ReadByte();
  const int upvalues = ReadByte();
  if (kind == 0) {
    ReadScriptClosure(upvalues);
  } else if (kind == 1) {
    ReadCClosure(upvalues);
  } else {
    Fail("attempt to unpersist unknown function type");
  }
}

void Reader::ReadScriptClosure(int upvalues) {
  LClosure* closure = luaF_newLclosure(L, upvalues);
  setclLvalue(L, L->top, closure);
  api_incr_top(L);
  // Fresh upvalues first: a restore function run while the rest is read may
  // already reach this closure.
  luaF_initupvals(L, closure);
  Register(Kind::kValue);
  const int at = lua_gettop(L);
  {
    PathEntry entry(*this, ".proto");
    ReadRecord(Kind::kProto);
  }
  Proto* proto = clLvalue(L->top - 1)->p;
  lua_pop(L, 1);
  if (proto->sizeupvalues != upvalues) {
    Fail("bad closure (%d upvalues expected, got %d)", proto->sizeupvalues, upvalues);
  }
  closure->p = proto;
  luaC_objbarrier(L, closure, proto);
  PathEntry entry(*this, ".upvalues");
  for (int i = 0; i < upvalues; ++i) {
    TString* name = proto->upvalues[i].name;
    PathEntry upvalue = name ? PathEntry(*this, "[%s]", getstr(name)) : PathEntry(*this, "[%d]", i + 1);
    ReadRecord(Kind::kUpvalue);
    Share(closure, at, i);
    lua_pop(L, 1);
  }
}

void Reader::ReadCClosure(int upvalues) {
  const int32_t n = NextReference();
  ReadValue();
  if (!lua_iscfunction(L, -1)) Fail("bad C closure (C function expected, got %s)", luaL_typename(L, -1));
  const lua_CFunction function = lua_tocfunction(L, -1);
  if (!function) Fail("bad C closure (C function expected, got null)");
  lua_pop(L, 1);
  CClosure* closure = luaF_newCclosure(L, upvalues);
  closure->f = function;
  for (int i = 0; i < upvalues; ++i) setnilvalue(&closure->upvalue[i]);
  setclCvalue(L, L->top, closure);
  api_incr_top(L);
  RegisterAs(n, Kind::kValue);
  PathEntry entry(*this, ".upvalues");
  for (int i = 0; i < upvalues; ++i) {
    PathEntry upvalue(*this, "[%d]", i + 1);
    ReadValue();
    setobj(L, &closure->upvalue[i], L->top - 1);
    luaC_barrier(L, closure, L->top - 1);
    lua_pop(L, 1);
  }
}

void Reader::ReadUpvalue() {
  lua_createtable(L, 5, 0);
  Register(Kind::kUpvalue);
  LClosure* holder = luaF_newLclosure(L, 1);
  setclLvalue(L, L->top, holder);
  api_incr_top(L);
  luaF_initupvals(L, holder);
  lua_rawseti(L, -2, 1);
  ReadValue();
  // A thread read inside the value may have opened the upvalue on its
  // stack already; the stack slot then holds the value.
  UpVal* upvalue = holder->upvals[0];
  if (!upisopen(upvalue)) {
    setobj(L, upvalue->v, L->top - 1);
    luaC_upvalbarrier(L, upvalue);
  }
  lua_pop(L, 1);
}

void Reader::Repoint(LClosure* closure, int index, UpVal* upvalue) {
  UpVal* old = closure->upvals[index];
  if (old == upvalue) return;
  closure->upvals[index] = upvalue;
  ++upvalue->refcount;
  if (upisopen(upvalue)) upvalue->u.open.touched = 1;
  luaC_upvalbarrier(L, upvalue);
  if (old) luaC_upvdeccount(L, old);
}

void Reader::Share(LClosure* closure, int at, int index) {
  lua_rawgeti(L, -1, 1);
  UpVal* upvalue = clLvalue(L->top - 1)->upvals[0];
  lua_pop(L, 1);
  Repoint(closure, index, upvalue);
  const auto users = static_cast<lua_Integer>(lua_rawlen(L, -1));
  lua_pushvalue(L, at);
  lua_rawseti(L, -2, users + 1);
  lua_pushinteger(L, index);
  lua_rawseti(L, -2, users + 2);
}

void Reader::MoveUsers(UpVal* upvalue) {
  const auto users = static_cast<lua_Integer>(lua_rawlen(L, -1));
  lua_rawgeti(L, -1, 1);
  Repoint(clLvalue(L->top - 1), 0, upvalue);
  lua_pop(L, 1);
  for (lua_Integer i = 2; i < users; i += 2) {
    lua_rawgeti(L, -1, i);
    lua_rawgeti(L, -2, i + 1);
    Repoint(clLvalue(L->top - 2), static_cast<int>(lua_tointeger(L, -1)), upvalue);
    lua_pop(L, 2);
  }
}

// ---------------------------------------------------------------- prototypes

void Reader::ReadProto() {
  // The carrier goes on the stack first, so the new prototype is never unanchored.
  LClosure* carrier = luaF_newLclosure(L, 0);
  setclLvalue(L, L->top, carrier);
  api_incr_top(L);
  Proto* p = luaF_newproto(L);
  carrier->p = p;
  luaC_objbarrier(L, carrier, p);
  Register(Kind::kProto);
  p->linedefined = ReadInt();
  p->lastlinedefined = ReadInt();
  p->numparams = ReadByte();
  p->is_vararg = ReadByte();
  p->maxstacksize = ReadByte();
  // The parameters are the first registers: a call clears them before anything else runs.
  if (p->numparams > p->maxstacksize) Fail("bad parameter count %d", p->numparams);
  ReadProtoArrays(p);
  if (ReadByte() != 0) ReadDebugInfo(p);
}

void Reader::ReadProtoArrays(Proto* p) {
  const int code = ReadInt();
  if (code < 0) Fail("bad instruction count %d", code);
  for (int i = 0; i < code; ++i) {
    GrowFor<Instruction>(L, p->code, p->sizecode, i, code, 0);
    p->code[i] = static_cast<Instruction>(ReadRaw(4));
  }
  {
    PathEntry entry(*this, ".constants");
    const int constants = ReadInt();
    if (constants < 0) Fail("bad constant count %d", constants);
    TValue nil;
    setnilvalue(&nil);
    for (int i = 0; i < constants; ++i) {
      GrowFor<TValue>(L, p->k, p->sizek, i, constants, nil);
      PathEntry element(*this, "[%d]", i);
      ReadValue();
      setobj(L, &p->k[i], L->top - 1);
      luaC_barrier(L, p, L->top - 1);
      lua_pop(L, 1);
    }
  }
  {
    PathEntry entry(*this, ".protos");
    const int protos = ReadInt();
    if (protos < 0) Fail("bad prototype count %d", protos);
    for (int i = 0; i < protos; ++i) {
      GrowFor<Proto*>(L, p->p, p->sizep, i, protos, nullptr);
      PathEntry element(*this, "[%d]", i);
      ReadRecord(Kind::kProto);
      p->p[i] = clLvalue(L->top - 1)->p;
      luaC_objbarrier(L, p, p->p[i]);
      lua_pop(L, 1);
    }
  }
  const int upvalues = ReadInt();
  if (upvalues < 0 || upvalues > MAXUPVAL) Fail("bad upvalue count %d", upvalues);
  for (int i = 0; i < upvalues; ++i) {
    GrowFor<Upvaldesc>(L, p->upvalues, p->sizeupvalues, i, upvalues, Upvaldesc{nullptr, 0, 0});
    p->upvalues[i].instack = ReadByte();
    p->upvalues[i].idx = ReadByte();
  }
}

TString* Reader::ReadOptionalString() {
  ReadValue();
  TString* text = nullptr;
  if (lua_type(L, -1) == LUA_TSTRING) {
    text = tsvalue(L->top - 1);  // kept alive by the reference table
  } else if (!lua_isnil(L, -1)) {
    Fail("bad debug information (string or nil expected, got %s)", luaL_typename(L, -1));
  }
  lua_pop(L, 1);
  return text;
}

void Reader::ReadDebugInfo(Proto* p) {
  p->source = ReadOptionalString();
  if (p->source) luaC_objbarrier(L, p, p->source);
  const int lines = ReadInt();
  // Line lookups index this array by instruction: it covers all or nothing.
  if (lines != 0 && lines != p->sizecode) Fail("bad line information count %d", lines);
  for (int i = 0; i < lines; ++i) {
    GrowFor<int>(L, p->lineinfo, p->sizelineinfo, i, lines, 0);
    p->lineinfo[i] = ReadInt();
  }
  {
    PathEntry entry(*this, ".locvars");
    const int locals = ReadInt();
    if (locals < 0) Fail("bad local variable count %d", locals);
    for (int i = 0; i < locals; ++i) {
      GrowFor<LocVar>(L, p->locvars, p->sizelocvars, i, locals, LocVar{nullptr, 0, 0});
      PathEntry element(*this, "[%d]", i);
      p->locvars[i].startpc = ReadInt();
      p->locvars[i].endpc = ReadInt();
      TString* name = ReadOptionalString();
      p->locvars[i].varname = name;
      if (name) luaC_objbarrier(L, p, name);
    }
  }
  PathEntry entry(*this, ".upvalnames");
  for (int i = 0; i < p->sizeupvalues; ++i) {
    PathEntry element(*this, "[%d]", i);
    TString* name = ReadOptionalString();
    p->upvalues[i].name = name;
    if (name) luaC_objbarrier(L, p, name);
  }
}

void Undump(lua_State* L, lua_Reader reader, void* data) {
  const Settings settings = ReadSettings(L);
  luaL_checktype(L, 1, LUA_TTABLE);
  lua_newtable(L);
  const int refs = lua_gettop(L);
  lua_newtable(L);
  const int kinds = lua_gettop(L);
  AddStandardPermanents(L, 1, false);
  ZIO input;
  luaZ_init(L, &input, reader, data);
  Reader in(L, settings, &input, 1, refs, kinds);
  in.ReadHeader();
  in.ReadValue();
  lua_replace(L, refs);
  lua_settop(L, refs);
}

}  // namespace GCore::eris
