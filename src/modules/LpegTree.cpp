// Pattern values: the userdata, key tables, the builders that join trees while
// keeping sequence and choice chains right-leaning, conversion of Lua values to
// patterns and grammars from tables.
#include <algorithm>
#include <cstring>
#include <vector>

#include "modules/Lpeg.h"
#include "modules/LpegTree.h"

namespace GCore::Peg {
namespace {

void CheckTreeSize(lua_State* L, int64_t nodes) {
  if (nodes > kMaxTreeNodes) luaL_error(L, "pattern too big");
}

// Refused when built rather than when first matched: every join copies its
// operands, so a loop that deepens a pattern would otherwise grow without
// bound in memory before any match could say no.
void CheckTreeDepth(lua_State* L, int64_t depth) {
  if (depth > kMaxTreeDepth) luaL_error(L, kTooComplex);
}

int Size(const Pattern* p) { return p->treeSize; }

// The depth p gives as the elements of a `tag` chain it joins.
int ElementDepth(lua_State* L, Pattern* p, Tag tag) {
  const int depth = PatternDepth(L, p);
  return p->Tree()->tag == tag ? p->chainDepth : depth + 1;
}

void SetDepth(Pattern* r, int depth, int chainDepth) {
  r->depth = depth;
  r->chainDepth = chainDepth;
}

// Index of the last element of the chain of `tag` nodes rooted at t[0].
int ChainTail(const PatternNode* t, Tag tag) {
  int i = 0;
  while (t[i].tag == tag) i += t[i].u;
  return i;
}

void PushKtable(lua_State* L, int idx) { lua_getuservalue(L, idx); }

int KtableLen(lua_State* L, int idx) {
  PushKtable(L, idx);
  const int n = lua_istable(L, -1) ? static_cast<int>(lua_rawlen(L, -1)) : 0;
  lua_pop(L, 1);
  return n;
}

void CopyKtable(lua_State* L, int from, int to) {
  to = lua_absindex(L, to);
  PushKtable(L, from);
  lua_setuservalue(L, to);
}

void CorrectKeys(PatternNode* t, int n, int shift) {
  if (shift == 0) return;
  for (int i = 0; i < n; i += NodeSpan(&t[i])) {
    PatternNode& node = t[i];
    const bool numeric = node.tag == kCapture && (node.cap == kCarg || node.cap == kCnum);
    if (node.key != 0 && !numeric) node.key = static_cast<uint16_t>(node.key + shift);
  }
}

// Writes tag(a, _) in na + 1 nodes; the right child is to follow them.
void WriteHead(PatternNode* dst, Tag tag, const PatternNode* a, int na, int shift) {
  if (a->tag == tag) {
    // Rotate: tag(tag(x, ..., z), b) becomes tag(x, ..., tag(z, b)).
    const int z = ChainTail(a, tag);
    CopyTree(dst, a, z, shift);
    dst[z] = PatternNode{tag, 0, 0, 1 + na - z};
    CopyTree(dst + z + 1, a + z, na - z, shift);
  } else {
    dst[0] = PatternNode{tag, 0, 0, 1 + na};
    CopyTree(dst + 1, a, na, shift);
  }
}

}  // namespace

Charset Charset::Full() {
  Charset cs;
  memset(cs.bits, 0xFF, sizeof cs.bits);
  return cs;
}

int PatternDepth(lua_State* L, Pattern* p) {
  if (p->depth == 0) {
    p->depth = TreeDepth(L, p->Tree());
    p->chainDepth = p->Tree()->tag == kChoice ? p->depth : p->depth + 1;
  }
  return p->depth;
}

Pattern* NewPattern(lua_State* L, int64_t nodes) {
  CheckTreeSize(L, nodes);
  const size_t bytes = sizeof(Pattern) + static_cast<size_t>(nodes) * sizeof(PatternNode);
  auto* p = static_cast<Pattern*>(lua_newuserdata(L, bytes));
  p->code = nullptr;
  p->codeSize = 0;
  p->treeSize = static_cast<int32_t>(nodes);
  p->depth = p->chainDepth = 0;
  luaL_setmetatable(L, kPatternMeta);
  return p;
}

Pattern* ToPattern(lua_State* L, int idx) {
  return static_cast<Pattern*>(luaL_testudata(L, idx, kPatternMeta));
}

const char* PushKeyName(lua_State* L, int idx, int key) {
  PushKtable(L, idx);
  if (lua_istable(L, -1)) {
    lua_rawgeti(L, -1, key);
  } else {
    lua_pushnil(L);
  }
  if (lua_type(L, -1) == LUA_TSTRING) return lua_tostring(L, -1);
  return lua_pushfstring(L, "(a %s)", luaL_typename(L, -1));
}

// ---- Key tables --------------------------------------------------------------

int AddToKtable(lua_State* L, int idx, int valueIdx) {
  if (lua_isnoneornil(L, valueIdx)) return 0;
  idx = lua_absindex(L, idx);
  valueIdx = lua_absindex(L, valueIdx);
  PushKtable(L, idx);
  const int n = lua_istable(L, -1) ? static_cast<int>(lua_rawlen(L, -1)) : 0;
  if (n >= kMaxKeys) luaL_error(L, "too many Lua values in pattern");
  // A key table may be shared with other patterns: extend a private copy.
  lua_createtable(L, n + 1, 0);
  for (int i = 1; i <= n; ++i) {
    lua_rawgeti(L, -2, i);
    lua_rawseti(L, -2, i);
  }
  lua_pushvalue(L, valueIdx);
  lua_rawseti(L, -2, n + 1);
  lua_setuservalue(L, idx);
  lua_pop(L, 1);
  return n + 1;
}

int JoinKtables(lua_State* L, int idx1, int idx2, int result) {
  result = lua_absindex(L, result);
  const int n1 = KtableLen(L, idx1);
  const int n2 = KtableLen(L, idx2);
  if (n2 == 0 || n1 == 0) {
    CopyKtable(L, n2 == 0 ? idx1 : idx2, result);
    return 0;
  }
  PushKtable(L, idx1);
  PushKtable(L, idx2);
  if (lua_rawequal(L, -1, -2)) {
    lua_pop(L, 1);
    lua_setuservalue(L, result);
    return 0;
  }
  if (n1 + n2 > kMaxKeys) luaL_error(L, "too many Lua values in pattern");
  lua_createtable(L, n1 + n2, 0);
  for (int i = 1; i <= n1; ++i) {
    lua_rawgeti(L, -3, i);
    lua_rawseti(L, -2, i);
  }
  for (int i = 1; i <= n2; ++i) {
    lua_rawgeti(L, -2, i);
    lua_rawseti(L, -2, n1 + i);
  }
  lua_setuservalue(L, result);
  lua_pop(L, 2);
  return n1;
}

// ---- Builders ----------------------------------------------------------------

void CopyTree(PatternNode* dst, const PatternNode* src, int n, int shift) {
  memcpy(dst, src, static_cast<size_t>(n) * sizeof(PatternNode));
  CorrectKeys(dst, n, shift);
}

Pattern* NewJoin(lua_State* L, Tag tag, int idx1, int idx2) {
  Pattern* p1 = ToPattern(L, idx1);
  Pattern* p2 = ToPattern(L, idx2);
  const int left = ElementDepth(L, p1, tag);
  const int right = ElementDepth(L, p2, tag);
  // A sequence's last element stays on the level of the sequence; a
  // choice's goes one down, as its other alternatives.
  const int depth = tag == kChoice ? right : PatternDepth(L, p2);
  CheckTreeDepth(L, std::max(left, depth));
  const int n1 = Size(p1);
  const int n2 = Size(p2);
  Pattern* r = NewPattern(L, int64_t{n1} + n2 + 1);
  SetDepth(r, std::max(left, depth), std::max(left, right));
  const int shift = JoinKtables(L, idx1, idx2, -1);
  WriteHead(r->Tree(), tag, p1->Tree(), n1, 0);
  CopyTree(r->Tree() + n1 + 1, p2->Tree(), n2, shift);
  return r;
}

Pattern* NewDifference(lua_State* L, int idx1, int idx2) {
  idx1 = lua_absindex(L, idx1);
  NewUnary(L, kNot, idx2);
  Pattern* r = NewJoin(L, kSeq, lua_gettop(L), idx1);
  lua_remove(L, -2);
  return r;
}

Pattern* NewUnary(lua_State* L, Tag tag, int idx, int u) {
  Pattern* p = ToPattern(L, idx);
  const int depth = PatternDepth(L, p) + 1;
  CheckTreeDepth(L, depth);
  const int n = Size(p);
  Pattern* r = NewPattern(L, int64_t{n} + 1);
  SetDepth(r, depth, depth + 1);
  CopyKtable(L, idx, -1);
  r->Tree()[0] = PatternNode{tag, 0, 0, u};
  CopyTree(r->Tree() + 1, p->Tree(), n, 0);
  return r;
}

Pattern* NewCapture(lua_State* L, CapKind kind, int idx, int valueIdx) {
  // Decided before the new pattern may take the value's stack slot.
  valueIdx = valueIdx != 0 && !lua_isnoneornil(L, valueIdx) ? lua_absindex(L, valueIdx) : 0;
  Pattern* r;
  if (idx == 0) {
    r = NewPattern(L, 2);
    r->Tree()[1] = PatternNode{kTrue, 0, 0, 0};
  } else {
    r = NewUnary(L, kCapture, idx, 0);
  }
  r->Tree()[0] = PatternNode{kCapture, kind, 0, 0};
  if (valueIdx != 0) r->Tree()[0].key = static_cast<uint16_t>(AddToKtable(L, -1, valueIdx));
  return r;
}

Pattern* NewSet(lua_State* L, const Charset& cs) {
  Pattern* r = NewPattern(L, 1 + kSetNodes);
  r->Tree()[0] = PatternNode{kSet, 0, 0, 0};
  memcpy(r->Tree() + 1, cs.bits, kSetBytes);
  return r;
}

bool ToCharset(const PatternNode* t, Charset* cs) {
  switch (t->tag) {
    case kSet:
      memcpy(cs->bits, NodeSet(t), kSetBytes);
      return true;
    case kChar:
      *cs = Charset();
      cs->Add(static_cast<uint8_t>(t->u));
      return true;
    case kAny:
      *cs = Charset::Full();
      return true;
    default:
      return false;
  }
}

Pattern* NewRepetition(lua_State* L, int idx, lua_Integer n) {
  Pattern* p = ToPattern(L, idx);
  const int np = Size(p);
  const PatternNode* t = p->Tree();
  if (n >= 0) {
    if (CheckAux(L, t, Property::kNullable)) luaL_error(L, "loop body may accept empty string");
    CheckTreeSize(L, n);
    Pattern* r = NewPattern(L, n * (np + 1) + 1 + np);
    CopyKtable(L, idx, -1);
    PatternNode* out = r->Tree();
    for (lua_Integer i = 0; i < n; ++i, out += np + 1) WriteHead(out, kSeq, t, np, 0);
    out[0] = PatternNode{kRep, 0, 0, 0};
    CopyTree(out + 1, t, np, 0);
    PatternDepth(L, r);
    return r;
  }
  // At most -n: opt(p opt(p ... opt(p))), each opt(x) a choice of x and true.
  CheckTreeSize(L, -(n + 1));
  const lua_Integer levels = -n;
  Pattern* r = NewPattern(L, levels * (np + 3) - 1);
  CopyKtable(L, idx, -1);
  PatternNode* out = r->Tree();
  for (lua_Integer k = levels; k >= 2; --k) {
    const int64_t inner = (k - 1) * (np + 3) - 1;
    out[0] = PatternNode{kChoice, 0, 0, static_cast<int32_t>(1 + np + 1 + inner)};
    WriteHead(out + 1, kSeq, t, np, 0);
    out += np + 2;
  }
  WriteHead(out, kChoice, t, np, 0);
  out += np + 1;
  for (lua_Integer k = 0; k < levels; ++k) out[k] = PatternNode{kTrue, 0, 0, 0};
  PatternDepth(L, r);
  return r;
}

// ---- Values to patterns --------------------------------------------------------

namespace {

// A chain of `n` nodes produced by `element(i)`, joined by sequences.
template <typename Element>
Pattern* NewSequence(lua_State* L, int64_t n, Element element) {
  Pattern* r = NewPattern(L, 2 * n - 1);
  PatternNode* t = r->Tree();
  for (int64_t i = 0; i < n; ++i) {
    if (i + 1 < n) *t++ = PatternNode{kSeq, 0, 0, 2};
    *t++ = element(i);
  }
  return r;
}

Pattern* NewLiteral(lua_State* L, const char* s, size_t len) {
  if (len == 0) return NewLeaf(L, kTrue);
  CheckTreeSize(L, static_cast<int64_t>(len));
  return NewSequence(L, static_cast<int64_t>(len), [s](int64_t i) {
    return PatternNode{kChar, 0, 0, static_cast<uint8_t>(s[i])};
  });
}

Pattern* NewAnyCount(lua_State* L, lua_Integer n) {
  if (n == 0) return NewLeaf(L, kTrue);
  CheckTreeSize(L, n > 0 ? n : -(n + 1));
  const int64_t count = n > 0 ? n : -n;
  if (n > 0) return NewSequence(L, count, [](int64_t) { return PatternNode{kAny, 0, 0, 0}; });
  Pattern* r = NewPattern(L, 2 * count);
  PatternNode* t = r->Tree();
  *t++ = PatternNode{kNot, 0, 0, 0};
  for (int64_t i = 0; i < count; ++i) {
    if (i + 1 < count) *t++ = PatternNode{kSeq, 0, 0, 2};
    *t++ = PatternNode{kAny, 0, 0, 0};
  }
  return r;
}

bool IsRuleName(lua_State* L, int idx) {
  const int type = lua_type(L, idx);
  return type == LUA_TSTRING || type == LUA_TNUMBER;
}

const char* RuleNameText(lua_State* L, int idx) {
  if (lua_type(L, idx) == LUA_TSTRING) return lua_tostring(L, idx);
  return lua_pushfstring(L, "(a %s)", luaL_typename(L, idx));
}

// Collects the rules of grammar table `t` into the array at `list` as
// name, pattern pairs, the initial rule first. Returns the rule count.
int CollectRules(lua_State* L, int t, int list) {
  lua_rawgeti(L, t, 1);
  if (lua_isnil(L, -1)) luaL_error(L, "grammar has no initial rule");
  if (IsRuleName(L, -1)) {
    lua_pushvalue(L, -1);
    lua_rawget(L, t);
    if (!ToPattern(L, -1)) luaL_error(L, "initial rule '%s' is not a pattern", RuleNameText(L, -2));
  } else {
    lua_pushinteger(L, 1);
    lua_insert(L, -2);
    if (!ToPattern(L, -1)) luaL_error(L, "initial rule '%s' is not a pattern", RuleNameText(L, -2));
  }
  lua_rawseti(L, list, 2);
  lua_rawseti(L, list, 1);
  int count = 1;
  lua_pushnil(L);
  while (lua_next(L, t) != 0) {
    const bool initialKey = lua_isinteger(L, -2) && lua_tointeger(L, -2) == 1;
    lua_rawgeti(L, list, 1);
    const bool initialName = lua_rawequal(L, -1, -3);
    lua_pop(L, 1);
    if (!initialKey && !initialName) {
      if (!ToPattern(L, -1)) luaL_error(L, "rule '%s' is not a pattern", RuleNameText(L, -2));
      if (count >= kMaxRules) luaL_error(L, "grammar has too many rules");
      ++count;
      lua_pushvalue(L, -2);
      lua_rawseti(L, list, 2 * count - 1);
      lua_rawseti(L, list, 2 * count);
    } else {
      lua_pop(L, 1);
    }
  }
  return count;
}

// Appends the key table of each rule to the grammar's key table at `ktable`
// (rules sharing one key table share its entries); the shift of each rule's
// keys goes to `shifts`.
void MergeRuleKtables(lua_State* L, int list, int count, int ktable, std::vector<int>& shifts) {
  std::vector<std::pair<const void*, int>> seen;
  int size = 0;
  for (int i = 1; i <= count; ++i) {
    lua_rawgeti(L, list, 2 * i);
    lua_getuservalue(L, -1);
    int shift = 0;
    if (lua_istable(L, -1)) {
      const void* id = lua_topointer(L, -1);
      bool found = false;
      for (const auto& [table, at] : seen) {
        if (table == id) {
          shift = at;
          found = true;
        }
      }
      if (!found) {
        const int n = static_cast<int>(lua_rawlen(L, -1));
        if (size + n > kMaxKeys) luaL_error(L, "too many Lua values in pattern");
        for (int k = 1; k <= n; ++k) {
          lua_rawgeti(L, -1, k);
          lua_rawseti(L, ktable, size + k);
        }
        shift = size;
        seen.emplace_back(id, size);
        size += n;
      }
    }
    shifts.push_back(shift);
    lua_pop(L, 2);
  }
}

Pattern* NewGrammar(lua_State* L, int t) {
  const int top = lua_gettop(L);
  lua_newtable(L);
  const int list = top + 1;
  lua_newtable(L);
  const int names = top + 2;  // rule name -> node index of its rule
  const int count = CollectRules(L, t, list);

  int64_t total = 2;
  for (int i = 1; i <= count; ++i) {
    lua_rawgeti(L, list, 2 * i);
    total += 1 + Size(ToPattern(L, -1));
    lua_pop(L, 1);
  }
  Pattern* g = NewPattern(L, total);
  const int gidx = top + 3;
  lua_newtable(L);
  const int ktable = top + 4;
  std::vector<int> shifts;
  MergeRuleKtables(L, list, count, ktable, shifts);

  PatternNode* tree = g->Tree();
  tree[0] = PatternNode{kGrammar, 0, 0, count};
  int pos = 1;
  for (int i = 1; i <= count; ++i) {
    lua_rawgeti(L, list, 2 * i - 1);
    const int nameKey = static_cast<int>(lua_rawlen(L, ktable)) + 1;
    if (nameKey > kMaxKeys) luaL_error(L, "too many Lua values in pattern");
    lua_pushvalue(L, -1);
    lua_rawseti(L, ktable, nameKey);
    lua_pushinteger(L, pos);
    lua_rawset(L, names);
    lua_rawgeti(L, list, 2 * i);
    const Pattern* rule = ToPattern(L, -1);
    const int n = Size(rule);
    tree[pos] = PatternNode{kRule, 0, static_cast<uint16_t>(nameKey), 1 + n};
    CopyTree(tree + pos + 1, rule->Tree(), n, shifts[static_cast<size_t>(i - 1)]);
    lua_pop(L, 1);
    pos += 1 + n;
  }
  tree[pos] = PatternNode{kTrue, 0, 0, 0};
  lua_pushvalue(L, ktable);
  lua_setuservalue(L, gidx);

  // Calls by name become calls of the rule node.
  for (int i = 1; i < total; i += NodeSpan(&tree[i])) {
    if (tree[i].tag != kOpenCall) continue;
    lua_rawgeti(L, ktable, tree[i].key);
    lua_rawget(L, names);
    if (lua_isnil(L, -1)) {
      luaL_error(L, "rule '%s' undefined in given grammar", PushKeyName(L, gidx, tree[i].key));
    }
    tree[i].tag = kCall;
    tree[i].u = static_cast<int32_t>(lua_tointeger(L, -1) - i);
    lua_pop(L, 1);
  }
  VerifyGrammar(L, gidx, tree);
  PatternDepth(L, g);
  lua_copy(L, gidx, top + 1);
  lua_settop(L, top + 1);
  return g;
}

}  // namespace

Pattern* NewLeaf(lua_State* L, Tag tag, int32_t u) {
  Pattern* r = NewPattern(L, 1);
  r->Tree()[0] = PatternNode{tag, 0, 0, u};
  return r;
}

Pattern* GetPatt(lua_State* L, int idx) {
  idx = lua_absindex(L, idx);
  if (Pattern* p = ToPattern(L, idx)) return p;
  Pattern* r;
  switch (lua_type(L, idx)) {
    case LUA_TSTRING: {
      size_t len;
      const char* s = lua_tolstring(L, idx, &len);
      r = NewLiteral(L, s, len);
      break;
    }
    case LUA_TNUMBER:
      r = NewAnyCount(L, luaL_checkinteger(L, idx));
      break;
    case LUA_TBOOLEAN:
      r = NewLeaf(L, lua_toboolean(L, idx) ? kTrue : kFalse);
      break;
    case LUA_TTABLE:
      r = NewGrammar(L, idx);
      break;
    case LUA_TFUNCTION:
      r = NewPattern(L, 2);
      r->Tree()[0] = PatternNode{kRunTime, 0, 0, 0};
      r->Tree()[0].key = static_cast<uint16_t>(AddToKtable(L, -1, idx));
      r->Tree()[1] = PatternNode{kTrue, 0, 0, 0};
      break;
    default: {
      const char* msg = lua_pushfstring(L, "%s expected, got %s", kPatternMeta, luaL_typename(L, idx));
      luaL_argerror(L, idx, msg);
      return nullptr;
    }
  }
  lua_replace(L, idx);
  return r;
}

}  // namespace GCore::Peg
