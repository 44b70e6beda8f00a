// The writing side of "eris": one Writer per persist run walks the value
// graph and writes each object once, referring back to it by number after.
// Script code can run in the middle of the walk (`__persist` functions,
// `__index` of the permanents), so nothing is held across a nested write
// but stack slots and indices.
#include <cstring>
#include <string>
#include <vector>

#include "modules/ErisCommon.h"

extern "C" {
#include "lapi.h"
#include "lfunc.h"
#include "lgc.h"
#include "lobject.h"
#include "lstate.h"
}

namespace GCore::eris {
namespace {

constexpr uint64_t kCheckNumberBits = 0xBFF3C0CA4283DE1BULL;  // -1.23456789
constexpr size_t kFlushSize = 4096;

class Writer : public Session {
 public:
  Writer(lua_State* L, const Settings& settings, lua_Writer writer, void* data, ErisWidths widths, int perms, int refs)
      : Session(L, settings),
        writer_(writer),
        data_(data),
        widths_(widths),
        perms_(perms),
        refs_(refs),
        spkey_(settings.spkey),
        debug_(settings.debug) {}

  void WriteHeader();
  // Writes the value on top of the stack and leaves it there.
  void WriteValue();
  void Flush();

 private:
  void WriteBytes(const void* bytes, size_t n);
  void WriteByte(uint8_t byte) { WriteBytes(&byte, 1); }
  void WriteRaw(uint64_t value, int width);
  void WriteInt(int64_t value);
  void WriteSize(uint64_t value);

  // The object on top: a reference when it was seen before; otherwise it is
  // numbered, and false is returned.
  bool WriteReference();
  bool WritePermanent(int type);
  void PushTValue(const TValue* value);

  void WriteObject(int type);
  void WriteTable();
  void WriteUserdata();
  // Decides how the table or userdata on top is written: through the
  // function its `__persist` returns (true, already written) or literally.
  bool WriteSpecial(bool table);
  void WriteMetatable();
  void WriteFunction();
  void WriteProto(const Proto* p);
  void WriteOptionalString(TString* text);
  void WriteUpvalue(UpVal* upvalue);
  void WriteThread();

  lua_Writer const writer_;
  void* const data_;
  const ErisWidths widths_;
  const int perms_;
  const int refs_;
  const std::string spkey_;
  const bool debug_;
  std::string pending_;
};

// ---------------------------------------------------------------- primitives

void Writer::WriteBytes(const void* bytes, size_t n) {
  pending_.append(static_cast<const char*>(bytes), n);
  if (pending_.size() >= kFlushSize) Flush();
}

void Writer::Flush() {
  if (pending_.empty()) return;
  if (writer_(L, pending_.data(), pending_.size(), data_) != 0) Fail("could not write data");
  pending_.clear();
}

void Writer::WriteRaw(uint64_t value, int width) {
  uint8_t bytes[8];
  for (int i = 0; i < width; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  WriteBytes(bytes, static_cast<size_t>(width));
}

void Writer::WriteInt(int64_t value) {
  const int bits = 8 * widths_.int_width;
  if (bits < 64 && (value < -(int64_t{1} << (bits - 1)) || value >= (int64_t{1} << (bits - 1)))) {
    Fail("int value would get truncated");
  }
  WriteRaw(static_cast<uint64_t>(value), widths_.int_width);
}

void Writer::WriteSize(uint64_t value) {
  const int bits = 8 * widths_.size_width;
  if (bits < 64 && value >> bits != 0) Fail("size_t value would get truncated");
  WriteRaw(value, widths_.size_width);
}

void Writer::WriteHeader() {
  WriteBytes("ERIS", 4);
  WriteByte(sizeof(lua_Number));
  WriteRaw(kCheckNumberBits, 8);
  WriteByte(sizeof(lua_Integer));
  WriteByte(static_cast<uint8_t>(widths_.int_width));
  WriteByte(static_cast<uint8_t>(widths_.size_width));
}

// ---------------------------------------------------------------- values

void Writer::PushTValue(const TValue* value) {
  setobj2s(L, L->top, value);
  api_incr_top(L);
}

void Writer::WriteValue() {
  const int type = lua_type(L, -1);
  switch (type) {
    case LUA_TNIL:
      WriteInt(kNil);
      return;
    case LUA_TBOOLEAN:
      Enter();
      WriteInt(kBoolean);
      WriteByte(lua_toboolean(L, -1) ? 1 : 0);
      Leave();
      return;
    case LUA_TLIGHTUSERDATA:
      Enter();
      WriteInt(kLightUserdata);
      WriteSize(reinterpret_cast<uintptr_t>(lua_touserdata(L, -1)));
      Leave();
      return;
    case LUA_TNUMBER: {
      Enter();
      WriteInt(kNumber);
      uint64_t bits = 0;
      if (lua_isinteger(L, -1)) {
        WriteByte(1);
        bits = static_cast<uint64_t>(lua_tointeger(L, -1));
      } else {
        WriteByte(0);
        const lua_Number number = lua_tonumber(L, -1);
        std::memcpy(&bits, &number, sizeof bits);
      }
      WriteRaw(bits, 8);
      Leave();
      return;
    }
    default:
      if (WriteReference() || WritePermanent(type)) return;
      Enter();
      WriteObject(type);
      Leave();
  }
}

bool Writer::WriteReference() {
  lua_pushvalue(L, -1);
  if (lua_rawget(L, refs_) != LUA_TNIL) {
    WriteInt(kReference + lua_tointeger(L, -1));
    lua_pop(L, 1);
    return true;
  }
  lua_pop(L, 1);
  lua_pushvalue(L, -1);
  lua_pushinteger(L, NextReference());
  lua_rawset(L, refs_);
  return false;
}

bool Writer::WritePermanent(int type) {
  lua_pushvalue(L, -1);
  if (lua_gettable(L, perms_) == LUA_TNIL) {
    lua_pop(L, 1);
    return false;
  }
  WriteInt(kPermanent);
  WriteByte(static_cast<uint8_t>(type));
  WriteValue();
  lua_pop(L, 1);
  return true;
}

void Writer::WriteObject(int type) {
  switch (type) {
    case LUA_TSTRING: {
      WriteInt(kString);
      size_t length = 0;
      const char* text = lua_tolstring(L, -1, &length);
      WriteSize(length);
      WriteBytes(text, length);
      break;
    }
    case LUA_TTABLE:
      WriteInt(kTable);
      WriteTable();
      break;
    case LUA_TFUNCTION:
      WriteInt(kFunction);
      WriteFunction();
      break;
    case LUA_TUSERDATA:
      WriteInt(kUserdata);
      WriteUserdata();
      break;
    case LUA_TTHREAD:
      WriteInt(kThread);
      WriteThread();
      break;
    default:
      Fail("trying to persist unknown type %d", type);
  }
}

// ---------------------------------------------------------------- tables and userdata

bool Writer::WriteSpecial(bool table) {
  bool literal = table;
  if (lua_getmetatable(L, -1)) {
    lua_pushlstring(L, spkey_.data(), spkey_.size());
    switch (lua_rawget(L, -2)) {
      case LUA_TNIL:
        break;
      case LUA_TBOOLEAN:
        literal = lua_toboolean(L, -1);
        break;
      case LUA_TFUNCTION: {
        lua_pushvalue(L, -3);
        int arguments = 1;
        if (spio()) {
          Flush();  // the function may write through the writer itself
          lua_pushlightuserdata(L, reinterpret_cast<void*>(writer_));
          lua_pushlightuserdata(L, data_);
          arguments = 3;
        }
        lua_call(L, arguments, 1);
        if (!lua_isfunction(L, -1)) Fail("%s did not return a function", spkey_.c_str());
        WriteByte(1);
        WriteValue();
        lua_pop(L, 2);
        return true;
      }
      default:
        Fail("%s not nil, boolean, or function", spkey_.c_str());
    }
    lua_pop(L, 2);
  }
  if (!literal) Fail(table ? "attempt to persist forbidden table" : "attempt to literally persist userdata");
  WriteByte(0);
  return false;
}

void Writer::WriteMetatable() {
  PathEntry entry(*this, "@metatable");
  if (lua_getmetatable(L, -1)) {
    WriteValue();
    lua_pop(L, 1);
  } else {
    WriteInt(kNil);
  }
}

void Writer::WriteTable() {
  if (WriteSpecial(true)) return;
  lua_pushnil(L);
  while (lua_next(L, -2)) {
    PathEntry entry(*this, lua_gettop(L) - 1);
    lua_pushvalue(L, -2);
    WriteValue();
    lua_pop(L, 1);
    WriteValue();
    lua_pop(L, 1);
  }
  WriteInt(kNil);
  WriteMetatable();
}

void Writer::WriteUserdata() {
  if (WriteSpecial(false)) return;
  const size_t length = lua_rawlen(L, -1);
  WriteSize(length);
  WriteBytes(lua_touserdata(L, -1), length);
  WriteMetatable();
}

// ---------------------------------------------------------------- functions

void Writer::WriteFunction() {
  const TValue* function = L->top - 1;
  if (ttislcf(function)) Fail("attempt to persist a light C function (%p)", reinterpret_cast<void*>(fvalue(function)));
  if (ttisCclosure(function)) {
    CClosure* closure = clCvalue(function);
    WriteByte(1);
    WriteByte(closure->nupvalues);
    lua_pushcfunction(L, closure->f);
    WriteValue();
    lua_pop(L, 1);
    PathEntry entry(*this, ".upvalues");
    for (int i = 0; i < closure->nupvalues; ++i) {
      PathEntry upvalue(*this, "[%d]", i + 1);
      PushTValue(&closure->upvalue[i]);
      WriteValue();
      lua_pop(L, 1);
    }
    return;
  }
  if (!ttisLclosure(function)) Fail("attempt to persist unknown function type");
  LClosure* closure = clLvalue(function);
  WriteByte(0);
  WriteByte(closure->nupvalues);
  {
    PathEntry entry(*this, ".proto");
    WriteProto(closure->p);
  }
  PathEntry entry(*this, ".upvalues");
  for (int i = 0; i < closure->nupvalues; ++i) {
    const TString* name = closure->p->upvalues[i].name;
    PathEntry upvalue(*this, ".%s", name ? getstr(name) : "?");
    WriteUpvalue(closure->upvals[i]);
  }
}

void Writer::WriteUpvalue(UpVal* upvalue) {
  lua_pushlightuserdata(L, upvalue);
  if (!WriteReference() && !WritePermanent(kTypeUpvalue)) {
    Enter();
    WriteInt(kUpvalue);
    PushTValue(upvalue->v);
    WriteValue();
    lua_pop(L, 1);
    Leave();
  }
  lua_pop(L, 1);
}

void Writer::WriteOptionalString(TString* text) {
  if (!text) {
    WriteInt(kNil);
    return;
  }
  setsvalue2s(L, L->top, text);
  api_incr_top(L);
  WriteValue();
  lua_pop(L, 1);
}

void Writer::WriteProto(const Proto* p) {
  lua_pushlightuserdata(L, const_cast<Proto*>(p));
  const bool seen = WriteReference();
  lua_pop(L, 1);
  if (seen) return;
  Enter();
  WriteInt(kProto);
  WriteInt(p->linedefined);
  WriteInt(p->lastlinedefined);
  WriteByte(p->numparams);
  WriteByte(p->is_vararg);
  WriteByte(p->maxstacksize);
  WriteInt(p->sizecode);
  for (int i = 0; i < p->sizecode; ++i) WriteRaw(p->code[i], 4);
  {
    PathEntry entry(*this, ".constants");
    WriteInt(p->sizek);
    for (int i = 0; i < p->sizek; ++i) {
      PathEntry element(*this, "[%d]", i);
      PushTValue(&p->k[i]);
      WriteValue();
      lua_pop(L, 1);
    }
  }
  {
    PathEntry entry(*this, ".protos");
    WriteInt(p->sizep);
    for (int i = 0; i < p->sizep; ++i) {
      PathEntry element(*this, "[%d]", i);
      WriteProto(p->p[i]);
    }
  }
  WriteInt(p->sizeupvalues);
  for (int i = 0; i < p->sizeupvalues; ++i) {
    WriteByte(p->upvalues[i].instack);
    WriteByte(p->upvalues[i].idx);
  }
  WriteByte(debug_ ? 1 : 0);
  if (debug_) {
    WriteOptionalString(p->source);
    WriteInt(p->sizelineinfo);
    for (int i = 0; i < p->sizelineinfo; ++i) WriteInt(p->lineinfo[i]);
    {
      PathEntry entry(*this, ".locvars");
      WriteInt(p->sizelocvars);
      for (int i = 0; i < p->sizelocvars; ++i) {
        PathEntry element(*this, "[%d]", i);
        WriteInt(p->locvars[i].startpc);
        WriteInt(p->locvars[i].endpc);
        WriteOptionalString(p->locvars[i].varname);
      }
    }
    PathEntry entry(*this, ".upvalnames");
    for (int i = 0; i < p->sizeupvalues; ++i) {
      PathEntry element(*this, "[%d]", i);
      WriteOptionalString(p->upvalues[i].name);
    }
  }
  Leave();
}

// ---------------------------------------------------------------- threads

struct FrameRecord {
  int func;
  int top;
  short nresults;
  uint8_t status;
  int extra;
  int base = 0;
  int pc = 0;
  lua_KFunction k = nullptr;
  lua_KContext ctx = 0;
};

int SlotOf(ptrdiff_t bytes) { return static_cast<int>(bytes / static_cast<ptrdiff_t>(sizeof(TValue))); }

// The thread's frames, base first, taken before any nested write can run
// script code that changes them.
std::vector<FrameRecord> FramesOf(lua_State* T) {
  std::vector<FrameRecord> frames;
  for (CallInfo* ci = &T->base_ci;; ci = ci->next) {
    FrameRecord frame{static_cast<int>(ci->func - T->stack), static_cast<int>(ci->top - T->stack), ci->nresults,
                      static_cast<uint8_t>(ci->callstatus & 0xFF), SlotOf(ci->extra)};
    if (isLua(ci)) {
      frame.base = static_cast<int>(ci->u.l.base - T->stack);
      frame.pc = static_cast<int>(ci->u.l.savedpc - clLvalue(ci->func)->p->code);
    } else {
      frame.k = ci->u.c.k;
      frame.ctx = ci->u.c.ctx;
      // A frame's continuation is written only when its status is not 0, and
      // a C function waiting in lua_callk (or yielding through lua_yieldk)
      // has status 0. The bit that saves `allowhook` for protected calls is
      // never read for other frames: setting it keeps the continuation.
      if (T->status == LUA_YIELD && ci != &T->base_ci && frame.k && frame.status == 0) frame.status = CIST_OAH;
    }
    frames.push_back(frame);
    if (ci == T->ci) break;
  }
  return frames;
}

UpVal* NthOpenUpvalue(lua_State* T, int n) {
  UpVal* upvalue = T->openupval;
  while (upvalue && n-- > 0) upvalue = upvalue->u.open.next;
  return upvalue;
}

void Writer::WriteThread() {
  lua_State* T = lua_tothread(L, -1);
  if (T == L) Fail("cannot persist currently running thread");
  const bool suspended = T->status == LUA_YIELD;
  if (suspended && (T->ci->callstatus & (CIST_LUA | CIST_HOOKYIELD))) Fail("cannot persist yielded hooks");
  const std::vector<FrameRecord> frames = FramesOf(T);
  const int used = static_cast<int>(T->top - T->stack);
  WriteInt(T->stacksize);
  WriteInt(used);
  {
    PathEntry entry(*this, ".stack");
    for (int i = 0; i < used; ++i) {
      PathEntry element(*this, "[%d]", i);
      if (i >= T->top - T->stack) Fail("thread changed while being persisted");
      PushTValue(T->stack + i);
      WriteValue();
      lua_pop(L, 1);
    }
  }
  WriteByte(T->status);
  WriteInt(SlotOf(T->errfunc));
  {
    PathEntry entry(*this, ".callinfo");
    for (size_t i = 0; i < frames.size(); ++i) {
      PathEntry element(*this, "[%d]", static_cast<int>(i));
      const FrameRecord& frame = frames[i];
      WriteInt(frame.func);
      WriteInt(frame.top);
      WriteRaw(static_cast<uint16_t>(frame.nresults), 2);
      WriteByte(frame.status);
      if (frame.status != 0) {
        if (frame.status & CIST_YPCALL) WriteInt(frame.extra);
        if (frame.status & CIST_LUA) {
          WriteInt(frame.base);
          WriteInt(frame.pc);
        } else if (suspended && frame.k) {
          if (frame.ctx < INT32_MIN || frame.ctx > INT32_MAX) Fail("continuation context does not fit an int");
          WriteByte(1);
          WriteInt(frame.ctx);
          lua_pushcfunction(L, AsCFunction(frame.k));
          WriteValue();
          lua_pop(L, 1);
        } else {
          WriteByte(0);
        }
      }
      WriteByte(i + 1 == frames.size() ? 1 : 0);
    }
  }
  if (suspended) WriteInt(frames.back().extra);
  PathEntry entry(*this, ".openupval");
  for (int i = 0;; ++i) {
    UpVal* upvalue = NthOpenUpvalue(T, i);
    if (!upvalue) break;
    PathEntry element(*this, "[%d]", i);
    WriteSize(static_cast<uint64_t>(upvalue->v - T->stack) + 1);
    WriteUpvalue(upvalue);
  }
  WriteInt(0);
}

}  // namespace

void Dump(lua_State* L, lua_Writer writer, void* data, ErisWidths widths) {
  const Settings settings = ReadSettings(L);
  luaL_checktype(L, 1, LUA_TTABLE);
  const int value = lua_gettop(L);
  lua_newtable(L);
  const int refs = lua_gettop(L);
  AddStandardPermanents(L, 1, true);
  Writer out(L, settings, writer, data, widths, 1, refs);
  out.WriteHeader();
  lua_pushvalue(L, value);
  out.WriteValue();
  out.Flush();
  lua_settop(L, value);
}

}  // namespace GCore::eris
