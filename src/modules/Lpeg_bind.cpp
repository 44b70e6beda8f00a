// The "lpeg" module table: constructors, operators of the "lpeg-pattern"
// metatable, match and the module settings.
#include <cctype>
#include <cstring>

#include "modules/Lpeg.h"
#include "modules/LpegModule.h"
#include "modules/LpegTree.h"

namespace GCore::Peg {
namespace {

constexpr int kMaxStackLimit = 21474836;
constexpr int kMaxArgIndex = 32767;
constexpr int kLocalCaptures = 32;
constexpr const char* kLabelRange = "the number of a label must be between 1 and 255";

const PatternNode* Root(lua_State* L, int idx) { return ToPattern(L, idx)->Tree(); }

int Result(lua_State* L, int idx) {
  lua_pushvalue(L, idx);
  return 1;
}

// ---- Constructors -----------------------------------------------------------------

int P(lua_State* L) {
  luaL_checkany(L, 1);
  GetPatt(L, 1);
  return Result(L, 1);
}

int S(lua_State* L) {
  size_t len;
  const char* s = luaL_checklstring(L, 1, &len);
  Charset cs;
  for (size_t i = 0; i < len; ++i) cs.Add(static_cast<uint8_t>(s[i]));
  NewSet(L, cs);
  return 1;
}

int R(lua_State* L) {
  Charset cs;
  for (int arg = 1; arg <= lua_gettop(L); ++arg) {
    size_t len;
    const char* range = luaL_checklstring(L, arg, &len);
    luaL_argcheck(L, len == 2, arg, "range must have two characters");
    for (int c = static_cast<uint8_t>(range[0]); c <= static_cast<uint8_t>(range[1]); ++c) {
      cs.Add(static_cast<uint8_t>(c));
    }
  }
  NewSet(L, cs);
  return 1;
}

int B(lua_State* L) {
  GetPatt(L, 1);
  const PatternNode* t = Root(L, 1);
  const int len = FixedLen(L, t);
  luaL_argcheck(L, len >= 0, 1, "pattern may not have fixed length");
  luaL_argcheck(L, !HasCaptures(L, t), 1, "pattern have captures");
  luaL_argcheck(L, len <= 255, 1, "pattern too long to look behind");
  NewUnary(L, kBehind, 1, len);
  return 1;
}

int V(lua_State* L) {
  luaL_argcheck(L, !lua_isnoneornil(L, 1), 1, "non-nil value expected");
  Pattern* p = NewLeaf(L, kOpenCall);
  p->Tree()[0].key = static_cast<uint16_t>(AddToKtable(L, -1, 1));
  return 1;
}

int T(lua_State* L) {
  const int last = lua_gettop(L) > 0 ? -1 : 1;
  const lua_Integer label = luaL_checkinteger(L, last);
  luaL_argcheck(L, label >= 1 && label <= kMaxLabel, last, kLabelRange);
  NewLeaf(L, kThrow, static_cast<int32_t>(label));
  return 1;
}

int Rec(lua_State* L) {
  const int n = lua_gettop(L);
  if (n < 3) luaL_argerror(L, 3, "non-nil value expected");
  Charset labels;
  for (int arg = 3; arg <= n; ++arg) {
    const lua_Integer label = luaL_checkinteger(L, arg);
    luaL_argcheck(L, label >= 1 && label <= kMaxLabel, arg, kLabelRange);
    labels.Add(static_cast<uint8_t>(label));
  }
  const Pattern* p1 = GetPatt(L, 1);
  const Pattern* p2 = GetPatt(L, 2);
  const int n1 = p1->treeSize;
  const int n2 = p2->treeSize;
  Pattern* r = NewPattern(L, int64_t{n1} + n2 + 1 + kSetNodes);
  const int shift = JoinKtables(L, 1, 2, -1);
  PatternNode* t = r->Tree();
  t[0] = PatternNode{kRecovery, 0, 0, 1 + kSetNodes + n1};
  memcpy(t + 1, labels.bits, kSetBytes);
  CopyTree(t + 1 + kSetNodes, p1->Tree(), n1, 0);
  CopyTree(t + 1 + kSetNodes + n1, p2->Tree(), n2, shift);
  PatternDepth(L, r);
  return 1;
}

template <CapKind kind>
int CaptureOf(lua_State* L) {
  GetPatt(L, 1);
  NewCapture(L, kind, 1, 0);
  return 1;
}

int Cg(lua_State* L) {
  GetPatt(L, 1);
  NewCapture(L, kCgroup, 1, 2);
  return 1;
}

int Cf(lua_State* L) {
  GetPatt(L, 1);
  luaL_checktype(L, 2, LUA_TFUNCTION);
  NewCapture(L, kCfold, 1, 2);
  return 1;
}

int Cmt(lua_State* L) {
  GetPatt(L, 1);
  luaL_checktype(L, 2, LUA_TFUNCTION);
  Pattern* p = NewUnary(L, kRunTime, 1);
  p->Tree()[0].key = static_cast<uint16_t>(AddToKtable(L, -1, 2));
  return 1;
}

int Cb(lua_State* L) {
  NewCapture(L, kCbackref, 0, 1);
  return 1;
}

int Carg(lua_State* L) {
  const lua_Integer n = luaL_checkinteger(L, 1);
  luaL_argcheck(L, n >= 1 && n <= kMaxArgIndex, 1, "invalid argument index");
  NewCapture(L, kCarg, 0, 0)->Tree()[0].key = static_cast<uint16_t>(n);
  return 1;
}

int Cp(lua_State* L) {
  NewCapture(L, kCposition, 0, 0);
  return 1;
}

int Cc(lua_State* L) {
  const int n = lua_gettop(L);
  if (n <= 1) {
    if (n == 0) {
      NewLeaf(L, kTrue);
    } else {
      NewCapture(L, kCconst, 0, 1);
    }
    return 1;
  }
  // A group of constant captures: group(seq(c1, seq(c2, ... cn))).
  Pattern* r = NewPattern(L, int64_t{3} * n);
  lua_createtable(L, n, 0);
  int keys = 0;
  PatternNode* t = r->Tree();
  *t++ = PatternNode{kCapture, kCgroup, 0, 0};
  for (int i = 1; i <= n; ++i) {
    uint16_t key = 0;
    if (!lua_isnil(L, i)) {
      if (keys == kMaxKeys) luaL_error(L, "too many Lua values in pattern");
      lua_pushvalue(L, i);
      lua_rawseti(L, -2, ++keys);
      key = static_cast<uint16_t>(keys);
    }
    if (i < n) *t++ = PatternNode{kSeq, 0, 0, 3};
    *t++ = PatternNode{kCapture, kCconst, key, 0};
    *t++ = PatternNode{kTrue, 0, 0, 0};
  }
  lua_setuservalue(L, -2);
  return 1;
}

// ---- Operators --------------------------------------------------------------------

int Seq(lua_State* L) {
  GetPatt(L, 1);
  GetPatt(L, 2);
  const PatternNode* t1 = Root(L, 1);
  const PatternNode* t2 = Root(L, 2);
  if (t1->tag == kFalse || t2->tag == kTrue) return Result(L, 1);
  if (t1->tag == kTrue) return Result(L, 2);
  NewJoin(L, kSeq, 1, 2);
  return 1;
}

Charset Union(const Charset& a, const Charset& b) {
  Charset u;
  for (int i = 0; i < kSetBytes; ++i) u.bits[i] = a.bits[i] | b.bits[i];
  return u;
}

int Choice(lua_State* L) {
  GetPatt(L, 1);
  GetPatt(L, 2);
  const PatternNode* t1 = Root(L, 1);
  const PatternNode* t2 = Root(L, 2);
  Charset c1, c2;
  if (ToCharset(t1, &c1) && ToCharset(t2, &c2)) {
    NewSet(L, Union(c1, c2));
    return 1;
  }
  if (t2->tag == kFalse || CheckAux(L, t1, Property::kNoFail)) return Result(L, 1);
  if (t1->tag == kFalse) return Result(L, 2);
  NewJoin(L, kChoice, 1, 2);
  return 1;
}

int Difference(lua_State* L) {
  GetPatt(L, 1);
  GetPatt(L, 2);
  Charset c1, c2;
  if (ToCharset(Root(L, 1), &c1) && ToCharset(Root(L, 2), &c2)) {
    for (int i = 0; i < kSetBytes; ++i) c1.bits[i] &= static_cast<uint8_t>(~c2.bits[i]);
    NewSet(L, c1);
    return 1;
  }
  NewDifference(L, 1, 2);
  return 1;
}

int Power(lua_State* L) {
  GetPatt(L, 1);
  NewRepetition(L, 1, luaL_checkinteger(L, 2));
  return 1;
}

int And(lua_State* L) {
  GetPatt(L, 1);
  NewUnary(L, kAnd, 1);
  return 1;
}

int Not(lua_State* L) {
  GetPatt(L, 1);
  NewUnary(L, kNot, 1);
  return 1;
}

int Divide(lua_State* L) {
  GetPatt(L, 1);
  switch (lua_type(L, 2)) {
    case LUA_TNUMBER: {
      int isInteger = 0;
      const lua_Integer n = lua_tointegerx(L, 2, &isInteger);
      luaL_argcheck(L, isInteger && n >= 0 && n <= kMaxArgIndex, 2, "invalid number");
      NewCapture(L, kCnum, 1, 0)->Tree()[0].key = static_cast<uint16_t>(n);
      return 1;
    }
    case LUA_TSTRING:
      NewCapture(L, kCstring, 1, 2);
      return 1;
    case LUA_TTABLE:
      NewCapture(L, kCquery, 1, 2);
      return 1;
    case LUA_TFUNCTION:
      NewCapture(L, kCfunction, 1, 2);
      return 1;
    default:
      return luaL_argerror(L, 2, "invalid replacement value");
  }
}

int Collect(lua_State* L) {
  auto* p = static_cast<Pattern*>(luaL_checkudata(L, 1, kPatternMeta));
  if (p->code) {
    void* ud;
    lua_Alloc alloc = lua_getallocf(L, &ud);
    alloc(ud, p->code, static_cast<size_t>(p->codeSize) * sizeof(Instruction), 0);
    p->code = nullptr;
    p->codeSize = 0;
  }
  return 0;
}

// ---- Matching and settings --------------------------------------------------------

size_t InitialPosition(lua_Integer init, size_t len) {
  const auto n = static_cast<lua_Integer>(len);
  if (init > 0) return init > n ? len : static_cast<size_t>(init - 1);
  return init < -n ? 0 : static_cast<size_t>(n + init);
}

int Match(lua_State* L) {
  GetPatt(L, 1);
  size_t len;
  const char* s = luaL_checklstring(L, 2, &len);
  const size_t start = InitialPosition(luaL_optinteger(L, 3, 1), len);
  const Instruction* code = CompilePattern(L, 1);
  if (lua_gettop(L) < 3) lua_settop(L, 3);
  const int ptop = lua_gettop(L);
  lua_getuservalue(L, 1);
  lua_pushnil(L);  // grown capture list
  lua_pushnil(L);  // grown backtrack stack
  Capture local[kLocalCaptures];
  MatchState ms;
  ms.L = L;
  ms.subject = s;
  ms.end = s + len;
  ms.ptop = ptop;
  ms.ktable = ptop + 1;
  ms.captureSlot = ptop + 2;
  ms.stackSlot = ptop + 3;
  ms.captures = local;
  ms.capsize = kLocalCaptures;
  ms.failpos = s + start;
  const char* end = MatchVM(ms, s + start, code);
  if (!end) {
    lua_pushnil(L);
    lua_pushinteger(L, ms.label);
    lua_pushstring(L, ms.failpos);
    return 3;
  }
  return GetCaptures(ms, end);
}

int SetMaxStack(lua_State* L) {
  const lua_Integer n = luaL_checkinteger(L, 1);
  luaL_argcheck(L, n >= 1 && n <= kMaxStackLimit, 1, "out of range");
  lua_pushinteger(L, n);
  lua_setfield(L, LUA_REGISTRYINDEX, kMaxStackKey);
  return 0;
}

int Locale(lua_State* L) {
  struct Class {
    const char* name;
    int (*test)(int);
  };
  static const Class kClasses[] = {
      {"alnum", isalnum}, {"alpha", isalpha}, {"cntrl", iscntrl}, {"digit", isdigit},
      {"graph", isgraph}, {"lower", islower}, {"print", isprint}, {"punct", ispunct},
      {"space", isspace}, {"upper", isupper}, {"xdigit", isxdigit},
  };
  if (lua_isnoneornil(L, 1)) {
    lua_createtable(L, 0, 12);
  } else {
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_settop(L, 1);
  }
  for (const Class& c : kClasses) {
    Charset cs;
    for (int ch = 0; ch < 256; ++ch) {
      if (c.test(ch)) cs.Add(static_cast<uint8_t>(ch));
    }
    NewSet(L, cs);
    lua_setfield(L, -2, c.name);
  }
  Charset unicode;
  for (int ch = 128; ch < 256; ++ch) unicode.Add(static_cast<uint8_t>(ch));
  NewSet(L, unicode);
  lua_setfield(L, -2, "unicode");
  return 1;
}

int Type(lua_State* L) {
  if (ToPattern(L, 1)) {
    lua_pushliteral(L, "pattern");
  } else {
    lua_pushnil(L);
  }
  return 1;
}

int Version(lua_State* L) {
  lua_pushliteral(L, "1.0.0");
  return 1;
}

int DebugOnly(lua_State* L) { return luaL_error(L, "function only implemented in debug mode"); }

const luaL_Reg kFunctions[] = {
    {"ptree", DebugOnly},  {"pcode", DebugOnly},
    {"match", Match},      {"B", B},
    {"V", V},              {"C", CaptureOf<kCsimple>},
    {"Cc", Cc},            {"Cmt", Cmt},
    {"Cb", Cb},            {"Carg", Carg},
    {"Cp", Cp},            {"Cs", CaptureOf<kCsubst>},
    {"Ct", CaptureOf<kCtable>}, {"Cf", Cf},
    {"Cg", Cg},            {"P", P},
    {"S", S},              {"R", R},
    {"locale", Locale},    {"version", Version},
    {"setmaxstack", SetMaxStack}, {"type", Type},
    {"T", T},              {"Rec", Rec},
    {nullptr, nullptr},
};

const luaL_Reg kMetamethods[] = {
    {"__mul", Seq},   {"__add", Choice}, {"__pow", Power},      {"__gc", Collect},
    {"__len", And},   {"__div", Divide}, {"__unm", Not},        {"__sub", Difference},
    {nullptr, nullptr},
};

}  // namespace
}  // namespace GCore::Peg

extern "C" int luaopen_lpeg(lua_State* L) {
  using namespace GCore::Peg;
  luaL_checkversion(L);
  luaL_newmetatable(L, kPatternMeta);
  luaL_setfuncs(L, kMetamethods, 0);
  luaL_newlib(L, kFunctions);
  lua_pushvalue(L, -1);
  lua_setfield(L, -3, "__index");
  lua_pushinteger(L, kDefaultMaxStack);
  lua_setfield(L, LUA_REGISTRYINDEX, kMaxStackKey);
  return 1;
}
