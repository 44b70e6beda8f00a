// The matching machine: runs a compiled program over a subject with its own
// backtrack stack. Ordinary choices catch only ordinary failures; a thrown
// label passes them by and is caught by a recovery entry that lists it, which
// runs the recovery pattern as a subroutine returning right after the throw.
#include <algorithm>
#include <cstring>

#include "modules/Lpeg.h"

namespace GCore::Peg {
namespace {

constexpr int kInitBacktrack = kDefaultMaxStack;
constexpr int kMaxCaptures = 0x7FFFFFF;

struct Backtrack {
  const char* s;             // null for call frames and recovery entries
  const Instruction* p;
  const uint8_t* labels;     // null for call frames
  int caplevel;
};

// Ordinary choices and the bottom entry catch label 0 only.
constexpr uint8_t kOrdinaryLabels[kSetBytes] = {1};

const Instruction kGiveUp[] = {{{OpGiveUp, 0, 0}}};

// The first kInitBacktrack entries live here; beyond them the stack moves to a
// Lua userdata in the match's stack slot, up to the limit in the registry.
class BacktrackStack {
 public:
  explicit BacktrackStack(MatchState& ms) : ms_(ms) {}
  BacktrackStack(const BacktrackStack&) = delete;
  BacktrackStack& operator=(const BacktrackStack&) = delete;

  void Push(const Backtrack& b) {
    if (top_ == capacity_) Grow();
    entries_[top_++] = b;
  }
  Backtrack& Top() { return entries_[top_ - 1]; }
  Backtrack Pop() { return entries_[--top_]; }
  Backtrack& At(int i) { return entries_[i]; }
  int Size() const { return top_; }
  void Cut(int size) { top_ = size; }

 private:
  void Grow() {
    lua_State* L = ms_.L;
    lua_getfield(L, LUA_REGISTRYINDEX, kMaxStackKey);
    const lua_Integer limit = lua_isinteger(L, -1) ? lua_tointeger(L, -1) : kDefaultMaxStack;
    lua_pop(L, 1);
    if (capacity_ >= limit) luaL_error(L, "backtrack stack overflow (current limit is %d)", static_cast<int>(limit));
    const int grown = static_cast<int>(std::min<lua_Integer>(limit, int64_t{capacity_} * 2));
    auto* entries = static_cast<Backtrack*>(lua_newuserdata(L, sizeof(Backtrack) * static_cast<size_t>(grown)));
    memcpy(entries, entries_, sizeof(Backtrack) * static_cast<size_t>(top_));
    lua_replace(L, ms_.stackSlot);
    entries_ = entries;
    capacity_ = grown;
  }

  MatchState& ms_;
  Backtrack local_[kInitBacktrack];
  Backtrack* entries_ = local_;
  int capacity_ = kInitBacktrack;
  int top_ = 0;
};

void RestoreCaptures(MatchState& ms, int level) {
  if (ms.dynamicValues > 0) DropDynamicValues(ms, level);
  ms.captop = level;
}

}  // namespace

void EnsureCaptures(MatchState& ms, int n) {
  if (ms.captop + n <= ms.capsize) return;
  if (ms.captop + n > kMaxCaptures) luaL_error(ms.L, "too many captures");
  const int grown = static_cast<int>(std::min<int64_t>(kMaxCaptures, std::max<int64_t>(int64_t{ms.capsize} * 2, ms.captop + n)));
  auto* list = static_cast<Capture*>(lua_newuserdata(ms.L, sizeof(Capture) * static_cast<size_t>(grown)));
  memcpy(list, ms.captures, sizeof(Capture) * static_cast<size_t>(ms.captop));
  lua_replace(ms.L, ms.captureSlot);
  ms.captures = list;
  ms.capsize = grown;
}

void DropDynamicValues(MatchState& ms, int from) {
  int n = 0;
  for (int i = from; i < ms.captop; ++i) {
    if (ms.captures[i].kind == kCruntime) ++n;
  }
  lua_pop(ms.L, n);
  ms.dynamicValues -= n;
}

const char* MatchVM(MatchState& ms, const char* s, const Instruction* code) {
  const char* const o = ms.subject;
  const char* const e = ms.end;
  BacktrackStack stack(ms);
  stack.Push({s, kGiveUp, kOrdinaryLabels, 0});
  const Instruction* p = code;
  const Instruction* resume = nullptr;  // where a recovered throw continues
  for (;;) {
    switch (p->i.code) {
      case OpEnd:
        EnsureCaptures(ms, 1);
        ms.captures[ms.captop] = {nullptr, 0, kCclose, 1};
        return s;
      case OpGiveUp:
        return nullptr;
      case OpReturn:
        p = stack.Pop().p;
        continue;
      case OpAny:
        if (s < e) {
          ++p;
          ++s;
          continue;
        }
        goto fail;
      case OpTestAny:
        p += s < e ? 2 : p[1].offset;
        continue;
      case OpChar:
        if (s < e && static_cast<uint8_t>(*s) == p->i.aux) {
          ++p;
          ++s;
          continue;
        }
        goto fail;
      case OpTestChar:
        p += (s < e && static_cast<uint8_t>(*s) == p->i.aux) ? 2 : p[1].offset;
        continue;
      case OpSet:
        if (s < e && SetHas(p[1].bytes, static_cast<uint8_t>(*s))) {
          p += 1 + kSetSlots;
          ++s;
          continue;
        }
        goto fail;
      case OpTestSet:
        p += (s < e && SetHas(p[2].bytes, static_cast<uint8_t>(*s))) ? 2 + kSetSlots : p[1].offset;
        continue;
      case OpSpan:
        while (s < e && SetHas(p[1].bytes, static_cast<uint8_t>(*s))) ++s;
        p += 1 + kSetSlots;
        continue;
      case OpBehind:
        if (p->i.aux > s - o) goto fail;
        s -= p->i.aux;
        ++p;
        continue;
      case OpJump:
        p += p[1].offset;
        continue;
      case OpChoice:
        stack.Push({s, p + p[1].offset, kOrdinaryLabels, ms.captop});
        p += 2;
        continue;
      case OpRecoveryChoice:
        stack.Push({nullptr, p + p[1].offset, p[2].bytes, ms.captop});
        p += 2 + kSetSlots;
        continue;
      case OpCall:
        stack.Push({nullptr, p + 2, nullptr, 0});
        p += p[1].offset;
        continue;
      case OpCommit:
        stack.Pop();
        p += p[1].offset;
        continue;
      case OpPartialCommit: {
        Backtrack& top = stack.Top();
        if (p->i.aux == kLoopBack && top.s == s) {
          // A loop iteration that consumed nothing would repeat forever (a
          // recovered throw can do that): the loop ends after it.
          p = stack.Pop().p;
          continue;
        }
        top.s = s;
        top.caplevel = ms.captop;
        p += p[1].offset;
        continue;
      }
      case OpBackCommit: {
        const Backtrack b = stack.Pop();
        s = b.s;
        RestoreCaptures(ms, b.caplevel);
        p += p[1].offset;
        continue;
      }
      case OpFailTwice:
        stack.Pop();
        goto fail;
      case OpFail:
        goto fail;
      case OpThrow:
        ms.label = p->i.aux;
        ms.failpos = s;
        resume = p + 1;
        goto caught;
      case OpFullCapture: {
        EnsureCaptures(ms, 1);
        const int len = p->i.aux >> 4;
        ms.captures[ms.captop++] = {s - len, p->i.key, static_cast<uint8_t>(p->i.aux & 15),
                                    static_cast<uint8_t>(len + 1)};
        ++p;
        continue;
      }
      case OpOpenCapture:
        EnsureCaptures(ms, 1);
        ms.captures[ms.captop++] = {s, p->i.key, p->i.aux, 0};
        ++p;
        continue;
      case OpCloseCapture: {
        Capture& last = ms.captures[ms.captop - 1];
        if (last.siz == 0 && s - last.s < 255) {
          last.siz = static_cast<uint8_t>(s - last.s + 1);
        } else {
          EnsureCaptures(ms, 1);
          ms.captures[ms.captop++] = {s, 0, kCclose, 1};
        }
        ++p;
        continue;
      }
      case OpCloseRunTime: {
        const char* moved = RuntimeCap(ms, s);
        if (!moved) goto fail;
        s = moved;
        ++p;
        continue;
      }
      default:
        luaL_error(ms.L, "invalid opcode");
    }
  fail:
    ms.label = 0;
    ms.failpos = std::max(ms.failpos, s);
  caught: {
    int i = stack.Size() - 1;
    while (i > 0 && !(stack.At(i).labels && SetHas(stack.At(i).labels, static_cast<uint8_t>(ms.label)))) --i;
    const Backtrack b = stack.At(i);
    if (b.s) {
      stack.Cut(i);
      s = b.s;
      RestoreCaptures(ms, b.caplevel);
      p = b.p;
    } else {
      // Leave the body's entries in place: the recovery pattern returns into it.
      stack.Push({nullptr, resume, nullptr, 0});
      p = b.p;
    }
  }
  }
}

}  // namespace GCore::Peg
