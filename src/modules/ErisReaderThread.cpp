// Rebuilding a coroutine: its stack, its call frames and its open upvalues.
// Every slot a frame names is checked against the rebuilt stack before the
// frame is linked in, so that a forged stream cannot point the interpreter
// outside the thread's memory.
#include <algorithm>

#include "modules/ErisReader.h"

extern "C" {
#include "ldo.h"
#include "lfunc.h"
#include "lgc.h"
#include "lstate.h"
}

namespace GCore::eris {
namespace {

// The largest stack a thread can have: the one it gets to handle a stack overflow.
constexpr int kLargestStack = LUAI_MAXSTACK + 200;

// An idle thread has no error handler: while it is rebuilt, a memory error
// raised on it unwinds through the running state's protected call.
class BorrowedErrorHandler {
 public:
  BorrowedErrorHandler(lua_State* L, lua_State* thread) : thread_(thread) { thread->errorJmp = L->errorJmp; }
  ~BorrowedErrorHandler() { thread_->errorJmp = nullptr; }
  BorrowedErrorHandler(const BorrowedErrorHandler&) = delete;
  BorrowedErrorHandler& operator=(const BorrowedErrorHandler&) = delete;

 private:
  lua_State* const thread_;
};

// Hides the thread's stack from the collector while values are read for it
// (a collection that saw it half built would shrink it under the reader);
// shows it again when done, or when an error abandons the thread.
class HiddenStack {
 public:
  explicit HiddenStack(lua_State* thread) : thread_(thread), stack_(thread->stack) { thread->stack = nullptr; }
  ~HiddenStack() { thread_->stack = stack_; }
  HiddenStack(const HiddenStack&) = delete;
  HiddenStack& operator=(const HiddenStack&) = delete;

  StkId slot(int index) const { return stack_ + index; }

 private:
  lua_State* const thread_;
  const StkId stack_;
};

struct Frame {
  int func = 0;
  int top = 0;
  short nresults = 0;
  uint8_t status = 0;
  int extra = 0;
  int base = 0;
  int pc = 0;
  lua_KContext ctx = 0;
  lua_KFunction k = nullptr;
  bool current = false;
};

}  // namespace

void Reader::ReadThread() {
  lua_State* const T = lua_newthread(L);
  Register(Kind::kValue);
  BorrowedErrorHandler handler(L, T);
  const int size = ReadInt();
  const int used = ReadInt();
  if (size <= EXTRA_STACK || size > kLargestStack) Fail("stack size out of bounds");
  if (used < 0 || used > size) Fail("stack index out of bounds");
  luaD_reallocstack(T, size);
  T->top = T->stack;
  T->base_ci.top = T->stack;
  int status = 0;
  int errfunc = 0;
  {
    HiddenStack hidden(T);
    {
      PathEntry entry(*this, ".stack");
      for (int i = 0; i < used; ++i) {
        PathEntry element(*this, "[%d]", i);
        ReadValue();
        setobj2s(L, hidden.slot(i), L->top - 1);
        lua_pop(L, 1);
      }
    }
    status = ReadByte();
    errfunc = ReadInt();
    if (errfunc != 0 && (errfunc < 0 || errfunc >= used || !ttisfunction(hidden.slot(errfunc)))) {
      Fail("invalid errfunc");
    }
    const bool suspended = status == LUA_YIELD;
    PathEntry entry(*this, ".callinfo");
    int previous_func = -1;
    int caller_func = -1;
    for (int index = 0;; ++index) {
      PathEntry element(*this, "[%d]", index);
      Frame f;
      f.func = ReadInt();
      f.top = ReadInt();
      f.nresults = static_cast<short>(ReadRaw(2));
      f.status = ReadByte();
      const bool lua_frame = f.status & CIST_LUA;
      if (f.status != 0) {
        if (f.status & CIST_YPCALL) f.extra = ReadInt();
        if (lua_frame) {
          f.base = ReadInt();
          f.pc = ReadInt();
        } else if (ReadByte() == 1) {
          f.ctx = ReadInt();
          ReadValue();
          if (!lua_iscfunction(L, -1)) Fail("bad C continuation function");
          f.k = AsContinuation(lua_tocfunction(L, -1));
          lua_pop(L, 1);
        }
      }
      f.current = ReadByte() == 1;

      if (f.func < 0 || f.func >= used || f.top < f.func || f.top > size) Fail("stack index out of bounds");
      // The base frame sits under the thread's body; every other frame lies
      // above its caller. A suspended thread's current frame starts at the
      // values it yielded: its function is checked below, by its real slot.
      const bool yielded_here = suspended && f.current;
      if (index == 0 ? f.func != 0 || lua_frame || yielded_here : f.func <= previous_func) Fail("invalid callinfo");
      if (index > 0 && !yielded_here) {
        const TValue* function = hidden.slot(f.func);
        if (lua_frame ? !ttisLclosure(function) : !ttisfunction(function)) Fail("invalid callinfo");
      }
      if ((f.status & CIST_YPCALL) && (f.extra <= f.func || f.extra >= used)) Fail("stack index out of bounds");
      const Proto* proto = nullptr;
      if (lua_frame) {
        // A script frame is current in a suspended thread only after a yield
        // inside a hook, which is never written.
        if (yielded_here) Fail("invalid callinfo");
        if (f.base <= f.func || f.base > f.top) Fail("stack index out of bounds");
        proto = clLvalue(hidden.slot(f.func))->p;
        if (f.pc < 0 || f.pc > proto->sizecode) Fail("saved program counter out of bounds");
      } else if (suspended && index > 0 && !f.current && !f.k) {
        Fail("invalid callinfo");  // resuming finishes such a frame through its continuation
      }

      CallInfo* ci = &T->base_ci;
      if (index > 0) {
        ci = luaE_extendCI(T);
        T->ci = ci;
      }
      ci->func = hidden.slot(f.func);
      ci->top = hidden.slot(f.top);
      ci->nresults = f.nresults;
      ci->callstatus = f.status;
      ci->extra = static_cast<ptrdiff_t>(f.extra) * static_cast<ptrdiff_t>(sizeof(TValue));
      if (lua_frame) {
        ci->u.l.base = hidden.slot(f.base);
        ci->u.l.savedpc = proto->code + f.pc;
      } else {
        ci->u.c.k = f.k;
        ci->u.c.ctx = f.ctx;
        ci->u.c.old_errfunc = 0;
      }
      caller_func = previous_func;
      previous_func = f.func;
      if (f.current) break;
    }
    if (suspended) {
      // Where the current frame's function really is, under its yielded values.
      const int extra = ReadInt();
      if (extra <= caller_func || extra > previous_func || !ttisfunction(hidden.slot(extra))) Fail("invalid callinfo");
      T->ci->extra = static_cast<ptrdiff_t>(extra) * static_cast<ptrdiff_t>(sizeof(TValue));
    }
  }
  T->top = T->stack + used;
  T->status = static_cast<lu_byte>(status);
  T->errfunc = static_cast<ptrdiff_t>(errfunc) * static_cast<ptrdiff_t>(sizeof(TValue));
  T->nCcalls = (status == LUA_YIELD || used > 0) ? 1 : 0;

  PathEntry entry(*this, ".openupval");
  for (int index = 0;; ++index) {
    const uint64_t slot = ReadOpenUpvalueSlot();
    if (slot == 0) break;
    if (slot > static_cast<uint64_t>(used)) Fail("stack index out of bounds");
    PathEntry element(*this, "[%d]", index);
    {
      HiddenStack hidden(T);
      ReadRecord(Kind::kUpvalue);
    }
    MoveUsers(luaF_findupval(T, T->stack + (slot - 1)));
    lua_pop(L, 1);
  }
}

uint64_t Reader::ReadOpenUpvalueSlot() {
  // Entries start with a size_t (slot + 1, never 0); the list ends with an
  // int 0. Reading the narrower width first tells the two apart.
  CheckWidths();
  const int narrow = std::min(int_width_, size_width_);
  uint64_t value = ReadRaw(narrow);
  if (value == 0) {
    if (int_width_ > narrow) ReadRaw(int_width_ - narrow);
    return 0;
  }
  if (size_width_ > narrow) value |= ReadRaw(size_width_ - narrow) << (8 * narrow);
  return value;
}

}  // namespace GCore::eris
