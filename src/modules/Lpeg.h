#pragma once
// Internals of the "lpeg" script module: parsing-expression grammars with
// labelled failures. The opener is declared in LpegModule.h.
//
// A pattern is a full userdata ("lpeg-pattern") holding a `Pattern` header and
// its tree, an array of `PatternNode` in one block. Lua values the tree refers
// to (capture constants, functions, tables, group and rule names) live in the
// pattern's key table, the userdata's user value (nil when it has none); nodes
// name them by 1-based index, 0 for none. A tree never changes once its pattern
// is made; the program is generated on the first match, kept in the header and
// freed by `__gc`.
//
// Trees stay right-leaning: the constructors never make a sequence the left
// child of a sequence, nor a choice the left child of a choice, so long chains
// built by `p = p * q` are walked in a loop. Every walk that still recurses
// counts its depth and raises a Lua error before the C stack could run out;
// capture evaluation does the same. All of it runs on the thread of the calling
// Lua state.
#include <cstdint>

#include <lua.hpp>

namespace GCore::Peg {

constexpr const char* kPatternMeta = "lpeg-pattern";
constexpr const char* kMaxStackKey = "lpeg-maxstack";
constexpr int kDefaultMaxStack = 400;
constexpr int kMaxRules = 1000;
constexpr int kMaxKeys = 65535;
constexpr int kMaxLabel = 255;
// Bounds that keep offsets within 32 bits and refuse absurd sizes before the
// allocator is asked for them.
constexpr int kMaxTreeNodes = 1 << 25;
constexpr int kMaxCodeSize = 1 << 26;
// Nesting allowed to the recursive tree walks and to capture evaluation.
// A pattern is refused when it is built deeper than the walks may go.
constexpr int kMaxTreeDepth = 2000;
constexpr int kMaxCaptureDepth = 4000;
constexpr const char* kTooComplex = "pattern too complex";

enum Tag : uint8_t {
  kChar, kSet, kAny, kTrue, kFalse, kRep, kSeq, kChoice, kNot, kAnd,
  kCall, kOpenCall, kRule, kGrammar, kBehind, kCapture, kRunTime, kThrow, kRecovery,
};

enum CapKind : uint8_t {
  kCclose, kCposition, kCconst, kCbackref, kCarg, kCsimple, kCtable, kCfunction,
  kCquery, kCstring, kCnum, kCsubst, kCfold, kCruntime, kCgroup,
};

// One tree node. `u` is the offset (in nodes) to the second child of seq,
// choice, rule and recovery nodes and to the rule a call node calls; it holds
// the character of char nodes, the rule count of grammars, the length of
// look-behinds and the label of throws. The first child follows its node,
// except that set and recovery nodes carry a 32-byte character or label set
// in the kSetNodes nodes right after them.
struct PatternNode {
  uint8_t tag;
  uint8_t cap;   // capture kind of capture nodes
  uint16_t key;  // key-table index, 0 for none
  int32_t u;
};
static_assert(sizeof(PatternNode) == 8);

constexpr int kSetBytes = 32;
constexpr int kSetNodes = kSetBytes / static_cast<int>(sizeof(PatternNode));

struct Charset {
  uint8_t bits[kSetBytes] = {};
  bool Has(uint8_t c) const { return bits[c >> 3] & (1u << (c & 7)); }
  void Add(uint8_t c) { bits[c >> 3] |= static_cast<uint8_t>(1u << (c & 7)); }
  static Charset Full();
};

inline bool SetHas(const uint8_t* set, uint8_t c) { return set[c >> 3] & (1u << (c & 7)); }

inline PatternNode* Child1(PatternNode* t) {
  return t + 1 + ((t->tag == kSet || t->tag == kRecovery) ? kSetNodes : 0);
}
inline const PatternNode* Child1(const PatternNode* t) { return Child1(const_cast<PatternNode*>(t)); }
inline const PatternNode* Child2(const PatternNode* t) { return t + t->u; }
inline const uint8_t* NodeSet(const PatternNode* t) { return reinterpret_cast<const uint8_t*>(t + 1); }
// Nodes taken by `t` itself, its payload included (not its children).
inline int NodeSpan(const PatternNode* t) {
  return 1 + ((t->tag == kSet || t->tag == kRecovery) ? kSetNodes : 0);
}

union Instruction {
  struct {
    uint8_t code;
    uint8_t aux;
    uint16_t key;
  } i;
  int32_t offset;
  uint8_t bytes[4];
};
static_assert(sizeof(Instruction) == 4);
constexpr int kSetSlots = kSetBytes / static_cast<int>(sizeof(Instruction));

enum Opcode : uint8_t {
  OpAny, OpChar, OpSet, OpTestAny, OpTestChar, OpTestSet, OpSpan, OpBehind, OpReturn, OpEnd,
  OpChoice, OpJump, OpCall, OpOpenCall, OpCommit, OpPartialCommit, OpBackCommit, OpFailTwice,
  OpFail, OpGiveUp, OpFullCapture, OpOpenCapture, OpCloseCapture, OpCloseRunTime, OpThrow,
  OpRecoveryChoice,
};
// aux of an OpPartialCommit that closes a loop iteration.
constexpr uint8_t kLoopBack = 1;

// The userdata's memory: this header, then `treeSize` nodes.
struct Pattern {
  Instruction* code;
  int32_t codeSize;
  int32_t treeSize;
  // The tree's depth as TreeDepth counts it (0 until known), and the depth
  // the elements of its top chain of sequences or choices would give as
  // left children of a longer chain, which a join makes of them: kept so
  // that joining patterns needs no walk to refuse one too deep.
  int32_t depth;
  int32_t chainDepth;
  PatternNode* Tree() { return reinterpret_cast<PatternNode*>(this + 1); }
  const PatternNode* Tree() const { return reinterpret_cast<const PatternNode*>(this + 1); }
};

// ---- Trees (LpegTree.cpp) ---------------------------------------------------

// The pattern at `idx`, converting any other value in place (strings, numbers,
// booleans, tables as grammars, functions as match-time captures).
Pattern* GetPatt(lua_State* L, int idx);
// A new pattern with room for `nodes` nodes on top of the stack, without keys.
Pattern* NewPattern(lua_State* L, int64_t nodes);
// Pushes the printable name of key-table value `key` of the pattern at `idx`.
const char* PushKeyName(lua_State* L, int idx, int key);

// ---- Checks (LpegChecks.cpp) ------------------------------------------------

enum class Property { kNullable, kNoFail };

// First characters of a tree: when `empty` is 0 the tree can neither succeed
// nor throw nor call a match-time function unless the next character is in
// `set`. 1: it may also succeed without consuming (the set is then completed by
// what follows). 2: it may throw or act before looking at a character.
struct FirstSet {
  Charset set;
  int empty;
};

bool CheckAux(lua_State* L, const PatternNode* t, Property p);
int FixedLen(lua_State* L, const PatternNode* t);
FirstSet GetFirst(lua_State* L, const PatternNode* t);
bool HeadFail(lua_State* L, const PatternNode* t);
bool HasCaptures(lua_State* L, const PatternNode* t);
bool NeedFollow(const PatternNode* t);
// Levels of recursion that generating code for the tree takes: one for the
// node, one more for each left child of a sequence, each alternative of a
// choice and each only child. A Lua error ("pattern too complex") past
// kMaxTreeDepth.
int TreeDepth(lua_State* L, const PatternNode* t);
// Refuses left recursion and loops whose body may match the empty string in
// the grammar tree `g` of the pattern at stack index `idx`.
void VerifyGrammar(lua_State* L, int idx, const PatternNode* g);

// One level of recursion of a tree walk or of capture evaluation, counted per
// thread while the object lives, so that matches started by match-time
// functions share the budget of the match that called them. Raises a Lua
// error past the limit.
class RecursionLevel {
 public:
  enum Kind { kTree, kCapture };
  RecursionLevel(lua_State* L, Kind kind);
  ~RecursionLevel();
  RecursionLevel(const RecursionLevel&) = delete;
  RecursionLevel& operator=(const RecursionLevel&) = delete;

 private:
  int& depth_;
};

// ---- Code (LpegCode.cpp) ----------------------------------------------------

// Generates, stores and returns the program of the pattern at stack index
// `idx` (once; later calls return the stored one).
const Instruction* CompilePattern(lua_State* L, int idx);

// ---- Matching machine (LpegMachine.cpp) -------------------------------------

struct Capture {
  const char* s;  // position; null in the closing entry of the list
  int32_t idx;    // key-table index, argument number, capture number or stack slot
  uint8_t kind;
  uint8_t siz;    // 0 when open; else the captured length plus 1
};

// One match call's state shared by the machine and capture evaluation. The Lua
// stack holds, from index 1: pattern, subject, init, extra arguments up to
// `ptop`, then the key table, the slot of a grown capture list and the slot of
// a grown backtrack stack; values of match-time captures lie above them.
struct MatchState {
  lua_State* L;
  const char* subject;
  const char* end;
  int ptop;
  int ktable;
  int captureSlot;
  int stackSlot;
  Capture* captures;
  int captop = 0;
  int capsize;
  int dynamicValues = 0;
  int label = 0;
  const char* failpos;
};

// Runs `code` from `s`; the end of the match, or null on failure (the label
// and the failure position are then in `ms`).
const char* MatchVM(MatchState& ms, const char* s, const Instruction* code);
// Room for `n` more capture entries, growing the list into a Lua userdata.
void EnsureCaptures(MatchState& ms, int n);

// ---- Captures (LpegCaptures.cpp) --------------------------------------------

// Pushes the values of the top-level captures of a successful match, or the
// end position when there are none; returns how many values it pushed.
int GetCaptures(MatchState& ms, const char* matchEnd);
// Evaluates the match-time capture closed at `s`: calls its function and
// replaces its nested entries. Returns the new position, or null when the
// function refused the match.
const char* RuntimeCap(MatchState& ms, const char* s);
// Pops the Lua values of match-time captures among entries [from, captop).
void DropDynamicValues(MatchState& ms, int from);

}  // namespace GCore::Peg
