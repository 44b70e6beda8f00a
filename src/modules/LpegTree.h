#pragma once
// Builders of pattern trees for the "lpeg" constructors. Each `New...` pushes
// the new pattern on the Lua stack and returns it; stack indices name the
// patterns it is made from (already converted by GetPatt). Sequences and
// choices are joined so that neither is ever the left child of its own kind.
#include "modules/Lpeg.h"

namespace GCore::Peg {

Pattern* ToPattern(lua_State* L, int idx);
// The depth of p's tree (TreeDepth), walked the first time it is asked for
// and then kept in p; raises "pattern too complex" past kMaxTreeDepth. The
// builders that join patterns work it out from their operands' and refuse a
// result too deep before making it; the others call this on what they made.
int PatternDepth(lua_State* L, Pattern* p);
Pattern* NewLeaf(lua_State* L, Tag tag, int32_t u = 0);
Pattern* NewSet(lua_State* L, const Charset& cs);
// tag(p1, p2) for kSeq or kChoice.
Pattern* NewJoin(lua_State* L, Tag tag, int idx1, int idx2);
// seq(not p2, p1).
Pattern* NewDifference(lua_State* L, int idx1, int idx2);
// tag(p) with `u`, sharing p's key table.
Pattern* NewUnary(lua_State* L, Tag tag, int idx, int u = 0);
// A capture of `kind` over the pattern at `idx` (over true when `idx` is 0)
// whose key is the value at `valueIdx` (none when 0 or nil).
Pattern* NewCapture(lua_State* L, CapKind kind, int idx, int valueIdx);
// p^n: at least n repetitions when n >= 0, at most -n otherwise.
Pattern* NewRepetition(lua_State* L, int idx, lua_Integer n);

// The set a char, set or any node matches; false for other nodes.
bool ToCharset(const PatternNode* t, Charset* cs);

// Key tables. AddToKtable gives the pattern at `idx` a private copy of its key
// table extended by the value at `valueIdx`; returns its index (0 for nil).
int AddToKtable(lua_State* L, int idx, int valueIdx);
// Gives pattern `result` the union of the key tables of `idx1` and `idx2`;
// returns how far the keys of the second tree must be shifted.
int JoinKtables(lua_State* L, int idx1, int idx2, int result);
// Copies `n` nodes, shifting their keys by `shift`.
void CopyTree(PatternNode* dst, const PatternNode* src, int n, int shift);

}  // namespace GCore::Peg
