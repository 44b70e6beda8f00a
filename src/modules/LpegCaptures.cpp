// Capture evaluation: turns the capture list of a match into Lua values, and
// runs match-time captures while the machine matches. Entries lie in subject
// order; an open entry (size 0) owns the entries up to its close entry.
// Evaluation recurses once per nesting level, which is bounded.
#include <algorithm>

#include "modules/Lpeg.h"

namespace GCore::Peg {
namespace {

struct CapState {
  MatchState& ms;
  Capture* cap;  // the capture to evaluate next
};

void Room(lua_State* L, int n, const char* what) {
  if (!lua_checkstack(L, n)) luaL_error(L, "%s", what);
}

void PushKey(const MatchState& ms, int idx) {
  if (idx != 0 && lua_istable(ms.L, ms.ktable)) {
    lua_rawgeti(ms.L, ms.ktable, idx);
  } else {
    lua_pushnil(ms.L);
  }
}

void PushSpan(lua_State* L, const char* from, const char* to) {
  lua_pushlstring(L, from, to > from ? static_cast<size_t>(to - from) : 0);
}

void AddSpan(luaL_Buffer* b, const char* from, const char* to) {
  if (to > from) luaL_addlstring(b, from, static_cast<size_t>(to - from));
}

const char* CaptureEnd(const Capture* c) { return c->s + c->siz - 1; }

// The entry after capture `c` and everything nested in it.
Capture* SkipCapture(Capture* c) {
  if (c->siz != 0) return c + 1;
  for (int open = 0;;) {
    ++c;
    if (c->kind == kCclose) {
      if (open == 0) return c + 1;
      --open;
    } else if (c->siz == 0) {
      ++open;
    }
  }
}

// The open entry that close entry `c` closes.
Capture* FindOpen(Capture* c) {
  for (int closed = 0;;) {
    --c;
    if (c->kind == kCclose) {
      ++closed;
    } else if (c->siz == 0) {
      if (closed == 0) return c;
      --closed;
    }
  }
}

int PushCapture(CapState& cs);

// Values of the captures nested in the current one; the whole captured text
// is added after them when `addWhole` is set or when they gave no value.
int PushNestedValues(CapState& cs, bool addWhole) {
  lua_State* L = cs.ms.L;
  Capture* co = cs.cap;
  if (co->siz != 0) {
    PushSpan(L, co->s, CaptureEnd(co));
    cs.cap = co + 1;
    return 1;
  }
  int n = 0;
  for (cs.cap = co + 1; cs.cap->kind != kCclose;) n += PushCapture(cs);
  if (addWhole || n == 0) {
    Room(L, 1, "too many captures");
    PushSpan(L, co->s, cs.cap->s);
    ++n;
  }
  ++cs.cap;
  return n;
}

// Like PushNestedValues, keeping only the first value.
void PushOneNestedValue(CapState& cs) {
  const int n = PushNestedValues(cs, false);
  lua_pop(cs.ms.L, n - 1);
}

// The most recent complete named group before back reference `ref` whose name
// equals the reference's.
Capture* FindBack(CapState& cs, Capture* ref) {
  lua_State* L = cs.ms.L;
  PushKey(cs.ms, ref->idx);
  for (Capture* c = ref; c > cs.ms.captures;) {
    --c;
    if (c->kind == kCclose) {
      c = FindOpen(c);
    } else if (c->siz == 0) {
      continue;  // still open: it encloses the reference
    }
    if (c->kind == kCgroup && c->idx != 0) {
      PushKey(cs.ms, c->idx);
      const bool same = lua_rawequal(L, -1, -2);
      lua_pop(L, 1);
      if (same) {
        lua_pop(L, 1);
        return c;
      }
    }
  }
  luaL_error(L, "back reference '%s' not found", luaL_tolstring(L, -1, nullptr));
  return nullptr;
}

int TableCap(CapState& cs) {
  lua_State* L = cs.ms.L;
  lua_newtable(L);
  Capture* co = cs.cap;
  if (co->siz != 0) {
    cs.cap = co + 1;
    return 1;
  }
  lua_Integer n = 0;
  for (cs.cap = co + 1; cs.cap->kind != kCclose;) {
    if (cs.cap->kind == kCgroup && cs.cap->idx != 0) {
      PushKey(cs.ms, cs.cap->idx);
      PushOneNestedValue(cs);
      lua_settable(L, -3);
    } else {
      const int k = PushCapture(cs);
      for (int j = k; j > 0; --j) lua_rawseti(L, -(j + 1), n + j);
      n += k;
    }
  }
  ++cs.cap;
  return 1;
}

void AddValue(luaL_Buffer* b, const char* what) {
  lua_State* L = b->L;
  const int type = lua_type(L, -1);
  if (type != LUA_TSTRING && type != LUA_TNUMBER) {
    luaL_error(L, "invalid %s value (a %s)", what, luaL_typename(L, -1));
  }
  luaL_addvalue(b);
}

int StringCap(CapState& cs) {
  lua_State* L = cs.ms.L;
  PushKey(cs.ms, cs.cap->idx);
  size_t len;
  const char* fmt = lua_tolstring(L, -1, &len);
  Capture* co = cs.cap;
  Capture* nested[10];
  int count = 0;
  const char* end;
  if (co->siz != 0) {
    end = CaptureEnd(co);
    cs.cap = co + 1;
  } else {
    Capture* c = co + 1;
    for (; c->kind != kCclose; c = SkipCapture(c)) {
      if (count < 9) nested[++count] = c;
    }
    end = c->s;
    cs.cap = c + 1;
  }
  Capture* const after = cs.cap;
  luaL_Buffer b;
  luaL_buffinit(L, &b);
  for (size_t i = 0; i < len; ++i) {
    if (fmt[i] != '%' || i + 1 == len) {
      luaL_addchar(&b, fmt[i]);
      continue;
    }
    const char ch = fmt[++i];
    if (ch < '0' || ch > '9') {
      luaL_addchar(&b, ch);
      continue;
    }
    const int k = ch - '0';
    if (k == 0) {
      AddSpan(&b, co->s, end);
      continue;
    }
    if (k > count) luaL_error(L, "invalid capture index (%d)", k);
    cs.cap = nested[k];
    const int n = PushCapture(cs);
    if (n == 0) luaL_error(L, "no values in capture index %d", k);
    lua_pop(L, n - 1);
    AddValue(&b, "capture");
  }
  cs.cap = after;
  luaL_pushresult(&b);
  lua_remove(L, -2);
  return 1;
}

int SubstCap(CapState& cs) {
  lua_State* L = cs.ms.L;
  luaL_Buffer b;
  luaL_buffinit(L, &b);
  Capture* co = cs.cap;
  if (co->siz != 0) {
    AddSpan(&b, co->s, CaptureEnd(co));
    cs.cap = co + 1;
    luaL_pushresult(&b);
    return 1;
  }
  const char* curr = co->s;
  for (cs.cap = co + 1; cs.cap->kind != kCclose;) {
    const char* next = cs.cap->s;
    AddSpan(&b, curr, next);
    curr = std::max(curr, next);
    const int n = PushCapture(cs);
    if (n == 0) continue;  // its text stays
    lua_pop(L, n - 1);
    AddValue(&b, "replacement");
    const Capture* last = cs.cap - 1;
    curr = std::max(curr, last->kind == kCclose ? last->s : CaptureEnd(last));
  }
  AddSpan(&b, curr, cs.cap->s);
  ++cs.cap;
  luaL_pushresult(&b);
  return 1;
}

int FoldCap(CapState& cs) {
  lua_State* L = cs.ms.L;
  Capture* co = cs.cap;
  if (co->siz != 0 || co[1].kind == kCclose) luaL_error(L, "no initial value for fold capture");
  cs.cap = co + 1;
  const int n = PushCapture(cs);
  if (n == 0) luaL_error(L, "no initial value for fold capture");
  lua_pop(L, n - 1);
  while (cs.cap->kind != kCclose) {
    PushKey(cs.ms, co->idx);
    lua_insert(L, -2);
    const int k = PushCapture(cs);
    lua_call(L, k + 1, 1);
  }
  ++cs.cap;
  return 1;
}

int PushCapture(CapState& cs) {
  MatchState& ms = cs.ms;
  lua_State* L = ms.L;
  RecursionLevel level(L, RecursionLevel::kCapture);
  Room(L, 4, "too many captures");
  Capture* c = cs.cap;
  int n = 1;
  switch (c->kind) {
    case kCposition:
      lua_pushinteger(L, c->s - ms.subject + 1);
      cs.cap = SkipCapture(c);
      break;
    case kCconst:
      PushKey(ms, c->idx);
      cs.cap = SkipCapture(c);
      break;
    case kCarg:
      if (c->idx + 3 > ms.ptop) luaL_error(L, "reference to absent extra argument #%d", static_cast<int>(c->idx));
      lua_pushvalue(L, c->idx + 3);
      cs.cap = SkipCapture(c);
      break;
    case kCruntime:
      lua_pushvalue(L, c->idx);
      cs.cap = c + 1;
      break;
    case kCsimple:
      n = PushNestedValues(cs, true);
      lua_rotate(L, -n, 1);  // the whole match first
      break;
    case kCbackref:
      cs.cap = FindBack(cs, c);
      n = PushNestedValues(cs, false);
      cs.cap = SkipCapture(c);
      break;
    case kCtable:
      n = TableCap(cs);
      break;
    case kCfunction: {
      const int base = lua_gettop(L);
      PushKey(ms, c->idx);
      lua_call(L, PushNestedValues(cs, false), LUA_MULTRET);
      n = lua_gettop(L) - base;
      break;
    }
    case kCquery:
      PushKey(ms, c->idx);
      PushOneNestedValue(cs);
      lua_gettable(L, -2);
      lua_remove(L, -2);
      if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        n = 0;
      }
      break;
    case kCstring:
      n = StringCap(cs);
      break;
    case kCnum:
      if (c->idx == 0) {
        cs.cap = SkipCapture(c);
        n = 0;
      } else {
        const int k = PushNestedValues(cs, false);
        if (k < c->idx) luaL_error(L, "no capture '%d'", static_cast<int>(c->idx));
        lua_pushvalue(L, -(k - c->idx + 1));
        lua_replace(L, -(k + 1));
        lua_pop(L, k - 1);
      }
      break;
    case kCsubst:
      n = SubstCap(cs);
      break;
    case kCfold:
      n = FoldCap(cs);
      break;
    case kCgroup:
      if (c->idx == 0) {
        n = PushNestedValues(cs, false);
      } else {
        cs.cap = SkipCapture(c);  // named groups only answer back references and tables
        n = 0;
      }
      break;
    default:
      luaL_error(L, "invalid capture");
  }
  return n;
}

}  // namespace

int GetCaptures(MatchState& ms, const char* matchEnd) {
  int n = 0;
  for (CapState cs{ms, ms.captures}; cs.cap->s != nullptr;) n += PushCapture(cs);
  if (n == 0) {
    lua_pushinteger(ms.L, matchEnd - ms.subject + 1);
    n = 1;
  }
  return n;
}

const char* RuntimeCap(MatchState& ms, const char* s) {
  lua_State* L = ms.L;
  EnsureCaptures(ms, 1);
  const int close = ms.captop;
  ms.captures[close] = {s, 0, kCclose, 1};
  Capture* open = FindOpen(&ms.captures[close]);
  const int openIdx = static_cast<int>(open - ms.captures);
  const char* start = open->s;
  int nestedValues = 0;
  for (int i = openIdx + 1; i < close; ++i) {
    if (ms.captures[i].kind == kCruntime) ++nestedValues;
  }
  Room(L, 4, "too many runtime captures");
  const int base = lua_gettop(L);
  PushKey(ms, open->idx);
  lua_pushvalue(L, 2);
  lua_pushinteger(L, s - ms.subject + 1);
  CapState cs{ms, open};
  lua_call(L, PushNestedValues(cs, false) + 2, LUA_MULTRET);
  if (nestedValues > 0) {
    // Their values were passed on: the function's results take their place.
    lua_rotate(L, base - nestedValues + 1, -nestedValues);
    lua_pop(L, nestedValues);
    ms.dynamicValues -= nestedValues;
  }
  ms.captop = openIdx;
  const int first = base - nestedValues + 1;
  int results = lua_gettop(L) - first + 1;
  if (results == 0 || !lua_toboolean(L, first)) {
    lua_settop(L, first - 1);
    return nullptr;
  }
  if (lua_type(L, first) == LUA_TNUMBER) {
    int isInteger = 0;
    const lua_Integer pos = lua_tointegerx(L, first, &isInteger);
    if (!isInteger || pos < s - ms.subject + 1 || pos > ms.end - ms.subject + 1) {
      luaL_error(L, "invalid position returned by match-time capture");
    }
    s = ms.subject + (pos - 1);
  }
  lua_remove(L, first);
  --results;
  if (results > 0) {
    EnsureCaptures(ms, results + 2);
    ms.captures[ms.captop++] = {start, 0, kCgroup, 0};
    for (int i = 0; i < results; ++i) ms.captures[ms.captop++] = {s, first + i, kCruntime, 1};
    ms.captures[ms.captop++] = {s, 0, kCclose, 1};
    ms.dynamicValues += results;
  }
  return s;
}

}  // namespace GCore::Peg
