// Compiles a pattern tree into a program of the matching machine. Test
// instructions let the machine decide on the next character instead of pushing
// a backtrack entry, sets repeated become one span, short fixed-length captures
// take one capture entry, and calls in tail position become jumps.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "modules/Lpeg.h"
#include "modules/LpegTree.h"

namespace GCore::Peg {
namespace {

int InstructionSize(const Instruction* p) {
  switch (p->i.code) {
    case OpSet: case OpSpan:
      return 1 + kSetSlots;
    case OpTestSet: case OpRecoveryChoice:
      return 2 + kSetSlots;
    case OpTestAny: case OpTestChar: case OpChoice: case OpJump: case OpCall: case OpOpenCall:
    case OpCommit: case OpPartialCommit: case OpBackCommit:
      return 2;
    default:
      return 1;
  }
}

constexpr int kNoInst = -1;

enum class SetClass { kEmpty, kFull, kSingle, kOther };

SetClass Classify(const Charset& cs, uint8_t* single) {
  int count = 0;
  for (int c = 0; c < 256; ++c) {
    if (cs.Has(static_cast<uint8_t>(c))) {
      ++count;
      *single = static_cast<uint8_t>(c);
    }
  }
  if (count == 0) return SetClass::kEmpty;
  if (count == 256) return SetClass::kFull;
  return count == 1 ? SetClass::kSingle : SetClass::kOther;
}

bool Disjoint(const Charset& a, const Charset& b) {
  for (int i = 0; i < kSetBytes; ++i) {
    if (a.bits[i] & b.bits[i]) return false;
  }
  return true;
}

class CodeGen {
 public:
  CodeGen(lua_State* L, const PatternNode* tree, std::vector<Instruction>& code)
      : L_(L), tree_(tree), code_(code) {}

  // `opt`: the code may end in a partial commit of the entry on top of the
  // backtrack stack, whose alternative is to stop right there. `tt`: a test
  // instruction that already checked the next character, or kNoInst.
  // `follow`: characters that may come after this tree.
  void Gen(const PatternNode* t, bool opt, int tt, const Charset& follow) {
    RecursionLevel level(L_, RecursionLevel::kTree);
    for (bool more = true; more;) {
      more = false;
      switch (t->tag) {
        case kChar: CodeChar(static_cast<uint8_t>(t->u), tt); break;
        case kSet: CodeSet(t, tt); break;
        case kAny: Emit(OpAny); break;
        case kTrue: break;
        case kFalse: Emit(OpFail); break;
        case kThrow: Emit(OpThrow, static_cast<uint8_t>(t->u)); break;
        case kRep: CodeRep(Child1(t), opt, follow); break;
        case kNot: CodeNot(Child1(t)); break;
        case kAnd: CodeAnd(Child1(t), tt); break;
        case kBehind:
          if (t->u > 0) Emit(OpBehind, static_cast<uint8_t>(t->u));
          Gen(Child1(t), false, kNoInst, kFull);
          break;
        case kCapture: CodeCapture(t, tt, follow); break;
        case kRunTime:
          Emit(OpOpenCapture, kCgroup, t->key);
          Gen(Child1(t), false, tt, kFull);
          Emit(OpCloseRunTime, kCclose);
          break;
        case kCall: {
          // Resolved to OpCall or OpJump when its grammar is complete.
          const int i = EmitJump(OpOpenCall);
          code_[static_cast<size_t>(i) + 1].offset = static_cast<int32_t>(Child2(t) - tree_);
          break;
        }
        case kGrammar: CodeGrammar(t); break;
        case kRecovery: CodeRecovery(t, follow); break;
        case kChoice: CodeChoice(t, opt, follow); break;
        case kSeq: {
          const PatternNode* a = Child1(t);
          const PatternNode* b = Child2(t);
          const Charset fl = NeedFollow(a) ? TrueFirst(b, follow) : kFull;
          Gen(a, false, tt, fl);
          if (tt != kNoInst && FixedLen(L_, a) != 0) tt = kNoInst;
          t = b;
          more = true;
          break;
        }
        default:
          luaL_error(L_, "invalid pattern");
      }
    }
  }

 private:
  static inline const Charset kFull = Charset::Full();

  int Here() const { return static_cast<int>(code_.size()); }

  void Reserve(int slots) {
    if (Here() + slots > kMaxCodeSize) luaL_error(L_, "pattern too big");
  }

  int Emit(Opcode op, uint8_t aux = 0, uint16_t key = 0) {
    Reserve(1);
    Instruction in;
    in.i = {op, aux, key};
    code_.push_back(in);
    return Here() - 1;
  }

  // An instruction with an offset slot, aimed at itself until patched.
  int EmitJump(Opcode op, uint8_t aux = 0) {
    const int i = Emit(op, aux);
    Instruction offset;
    offset.offset = 0;
    code_.push_back(offset);
    return i;
  }

  void EmitSet(const uint8_t* set) {
    Reserve(kSetSlots);
    for (int k = 0; k < kSetSlots; ++k) {
      Instruction slot;
      memcpy(slot.bytes, set + 4 * k, 4);
      code_.push_back(slot);
    }
  }

  void JumpTo(int i, int target) {
    if (i != kNoInst) code_[static_cast<size_t>(i) + 1].offset = target - i;
  }
  void JumpToHere(int i) { JumpTo(i, Here()); }

  Charset TrueFirst(const PatternNode* t, const Charset& follow) {
    FirstSet f = GetFirst(L_, t);
    if (f.empty != 0) {
      for (int i = 0; i < kSetBytes; ++i) f.set.bits[i] |= follow.bits[i];
    }
    return f.set;
  }

  // A test that jumps when the next character cannot start `f`; none when
  // the tree may succeed or act without looking at it.
  int CodeTest(const FirstSet& f) {
    if (f.empty != 0) return kNoInst;
    uint8_t c = 0;
    switch (Classify(f.set, &c)) {
      case SetClass::kEmpty:
        return EmitJump(OpJump);
      case SetClass::kFull:
        return EmitJump(OpTestAny);
      case SetClass::kSingle:
        return EmitJump(OpTestChar, c);
      default: {
        const int i = EmitJump(OpTestSet);
        EmitSet(f.set.bits);
        return i;
      }
    }
  }

  bool TestedChar(int tt, uint8_t c) const {
    return tt != kNoInst && code_[static_cast<size_t>(tt)].i.code == OpTestChar &&
           code_[static_cast<size_t>(tt)].i.aux == c;
  }

  void CodeChar(uint8_t c, int tt) {
    if (TestedChar(tt, c)) {
      Emit(OpAny);
    } else {
      Emit(OpChar, c);
    }
  }

  void CodeSet(const PatternNode* t, int tt) {
    Charset cs;
    ToCharset(t, &cs);
    uint8_t c = 0;
    switch (Classify(cs, &c)) {
      case SetClass::kEmpty: Emit(OpFail); return;
      case SetClass::kFull: Emit(OpAny); return;
      case SetClass::kSingle: CodeChar(c, tt); return;
      case SetClass::kOther: break;
    }
    if (tt != kNoInst && code_[static_cast<size_t>(tt)].i.code == OpTestSet &&
        memcmp(&code_[static_cast<size_t>(tt) + 2], cs.bits, kSetBytes) == 0) {
      Emit(OpAny);
      return;
    }
    Emit(OpSet);
    EmitSet(cs.bits);
  }

  void CodeChoice(const PatternNode* t, bool opt, const Charset& follow) {
    // The alternatives of the whole chain and, for each, the first set of the
    // alternatives after it, gathered in one pass from the end.
    std::vector<const PatternNode*> alts;
    for (; t->tag == kChoice; t = Child2(t)) alts.push_back(Child1(t));
    alts.push_back(t);
    const size_t n = alts.size();
    std::vector<FirstSet> firsts(n);
    std::vector<Charset> rest(n);  // true first set of alternatives i + 1 ... under `follow`
    FirstSet after{Charset(), 0};
    for (size_t i = n; i-- > 0;) {
      if (i + 1 < n) {
        rest[i] = after.set;
        if (after.empty != 0) {
          for (int k = 0; k < kSetBytes; ++k) rest[i].bits[k] |= follow.bits[k];
        }
      }
      firsts[i] = GetFirst(L_, alts[i]);
      for (int k = 0; k < kSetBytes; ++k) after.set.bits[k] |= firsts[i].set.bits[k];
      after.empty = std::max(after.empty, firsts[i].empty);
    }
    std::vector<int> toEnd;
    size_t i = 0;
    for (; i + 1 < n; ++i) {
      const PatternNode* p1 = alts[i];
      const FirstSet& f1 = firsts[i];
      const bool emptyP2 = i + 2 == n && alts[n - 1]->tag == kTrue;
      if (f1.empty == 0 && (HeadFail(L_, p1) || Disjoint(f1.set, rest[i]))) {
        // The next character tells which alternative can match.
        const int test = CodeTest(f1);
        Gen(p1, false, test, follow);
        if (!emptyP2) toEnd.push_back(EmitJump(OpJump));
        JumpToHere(test);
      } else if (opt && emptyP2) {
        // The entry on top already leads past this choice: move it here.
        JumpToHere(EmitJump(OpPartialCommit));
        Gen(p1, true, kNoInst, follow);
        ++i;
        break;
      } else {
        const int test = CodeTest(f1);
        const int choice = EmitJump(OpChoice);
        Gen(p1, emptyP2, test, follow);
        toEnd.push_back(EmitJump(OpCommit));
        JumpToHere(test);
        JumpToHere(choice);
      }
    }
    Gen(alts[i], opt, kNoInst, follow);
    for (const int j : toEnd) JumpToHere(j);
  }

  void CodeRep(const PatternNode* body, bool opt, const Charset& follow) {
    Charset cs;
    if (ToCharset(body, &cs)) {
      Emit(OpSpan);
      EmitSet(cs.bits);
      return;
    }
    const FirstSet f = GetFirst(L_, body);
    if (f.empty == 0 && (HeadFail(L_, body) || Disjoint(f.set, follow))) {
      // L1: test -> L2; body; jump L1; L2:
      const int loop = Here();
      const int test = CodeTest(f);
      Gen(body, false, test, kFull);
      JumpTo(EmitJump(OpJump), loop);
      JumpToHere(test);
      return;
    }
    // test -> L2; choice L2; L1: body; partial commit L1; L2:
    const int test = CodeTest(f);
    int choice = kNoInst;
    if (opt) {
      JumpToHere(EmitJump(OpPartialCommit));
    } else {
      choice = EmitJump(OpChoice);
    }
    const int loop = Here();
    Gen(body, false, kNoInst, kFull);
    JumpTo(EmitJump(OpPartialCommit, kLoopBack), loop);
    JumpToHere(test);
    JumpToHere(choice);
  }

  void CodeNot(const PatternNode* body) {
    const FirstSet f = GetFirst(L_, body);
    if (f.empty == 0 && HeadFail(L_, body)) {
      const int test = CodeTest(f);
      Emit(OpFail);
      JumpToHere(test);
      return;
    }
    const int test = CodeTest(f);
    const int choice = EmitJump(OpChoice);
    Gen(body, false, test, kFull);
    Emit(OpFailTwice);
    JumpToHere(test);
    JumpToHere(choice);
  }

  void CodeAnd(const PatternNode* body, int tt) {
    const int len = FixedLen(L_, body);
    if (len >= 0 && len <= 255 && !HasCaptures(L_, body)) {
      Gen(body, false, tt, kFull);
      if (len > 0) Emit(OpBehind, static_cast<uint8_t>(len));
      return;
    }
    const int choice = EmitJump(OpChoice);
    Gen(body, false, tt, kFull);
    const int back = EmitJump(OpBackCommit);
    JumpToHere(choice);
    Emit(OpFail);
    JumpToHere(back);
  }

  void CodeCapture(const PatternNode* t, int tt, const Charset& follow) {
    const PatternNode* body = Child1(t);
    const int len = FixedLen(L_, body);
    if (len >= 0 && len <= 15 && !HasCaptures(L_, body)) {
      Gen(body, false, tt, follow);
      Emit(OpFullCapture, static_cast<uint8_t>(t->cap + 16 * len), t->key);
      return;
    }
    Emit(OpOpenCapture, t->cap, t->key);
    Gen(body, false, tt, follow);
    Emit(OpCloseCapture, kCclose);
  }

  void CodeRecovery(const PatternNode* t, const Charset& follow) {
    // recovery choice L1 (labels); p1; commit L2; L1: p2; return; L2:
    const int choice = EmitJump(OpRecoveryChoice);
    EmitSet(NodeSet(t));
    Gen(Child1(t), false, kNoInst, follow);
    const int commit = EmitJump(OpCommit);
    JumpToHere(choice);
    Gen(Child2(t), false, kNoInst, kFull);
    Emit(OpReturn);
    JumpToHere(commit);
  }

  int Target(int i) const { return i + code_[static_cast<size_t>(i) + 1].offset; }

  int FinalTarget(int i) const {
    for (int steps = 0; code_[static_cast<size_t>(i)].i.code == OpJump && steps < Here(); ++steps) i = Target(i);
    return i;
  }

  void CodeGrammar(const PatternNode* g) {
    // call rule 1; jump L; rule 1; return; rule 2; return; ...; L:
    const int start = Here();
    const int call = EmitJump(OpCall);
    const int jump = EmitJump(OpJump);
    std::vector<std::pair<int32_t, int>> rules;  // rule node index, code position
    for (const PatternNode* rule = Child1(g); rule->tag == kRule; rule = Child2(rule)) {
      rules.emplace_back(static_cast<int32_t>(rule - tree_), Here());
      Gen(Child1(rule), false, kNoInst, kFull);
      Emit(OpReturn);
    }
    JumpTo(call, rules.front().second);
    JumpToHere(jump);
    for (int i = start; i < Here(); i += InstructionSize(&code_[static_cast<size_t>(i)])) {
      Instruction& in = code_[static_cast<size_t>(i)];
      if (in.i.code != OpOpenCall) continue;
      const int32_t node = code_[static_cast<size_t>(i) + 1].offset;
      const auto rule = std::lower_bound(rules.begin(), rules.end(), std::make_pair(node, 0));
      const bool tail = code_[static_cast<size_t>(FinalTarget(i + 2))].i.code == OpReturn;
      in.i.code = tail ? OpJump : OpCall;
      JumpTo(i, rule->second);
    }
  }

 public:
  void Peephole() {
    for (int i = 0; i < Here(); i += InstructionSize(&code_[static_cast<size_t>(i)])) {
      Instruction& in = code_[static_cast<size_t>(i)];
      switch (in.i.code) {
        case OpChoice: case OpCall: case OpCommit: case OpPartialCommit: case OpBackCommit:
        case OpTestAny: case OpTestChar: case OpTestSet: case OpRecoveryChoice:
          JumpTo(i, FinalTarget(Target(i)));
          break;
        case OpJump: {
          const int target = FinalTarget(i);
          const Instruction final = code_[static_cast<size_t>(target)];
          switch (final.i.code) {
            case OpReturn: case OpFail: case OpFailTwice: case OpEnd:
              in = final;
              code_[static_cast<size_t>(i) + 1].i = {OpAny, 0, 0};  // never executed
              break;
            case OpCommit: case OpPartialCommit: case OpBackCommit:
              in = final;
              JumpTo(i, FinalTarget(Target(target)));
              break;
            default:
              JumpTo(i, target);
          }
          break;
        }
        default:
          break;
      }
    }
  }

 private:
  lua_State* L_;
  const PatternNode* tree_;
  std::vector<Instruction>& code_;
};

}  // namespace

const Instruction* CompilePattern(lua_State* L, int idx) {
  Pattern* p = ToPattern(L, idx);
  if (p->code) return p->code;
  PatternNode* tree = p->Tree();
  for (int i = 0; i < p->treeSize; i += NodeSpan(&tree[i])) {
    if (tree[i].tag == kOpenCall) {
      luaL_error(L, "rule '%s' used outside a grammar", PushKeyName(L, idx, tree[i].key));
    }
  }
  std::vector<Instruction> code;
  bool outOfMemory = false;
  try {
    CodeGen gen(L, tree, code);
    gen.Gen(tree, false, kNoInst, Charset::Full());
    Instruction end;
    end.i = {OpEnd, 0, 0};
    code.push_back(end);
    gen.Peephole();
  } catch (const std::bad_alloc&) {
    outOfMemory = true;
  }
  if (outOfMemory) luaL_error(L, "not enough memory");
  void* ud;
  lua_Alloc alloc = lua_getallocf(L, &ud);
  auto* block = static_cast<Instruction*>(alloc(ud, nullptr, 0, code.size() * sizeof(Instruction)));
  if (!block) luaL_error(L, "not enough memory");
  memcpy(block, code.data(), code.size() * sizeof(Instruction));
  p->code = block;
  p->codeSize = static_cast<int32_t>(code.size());
  return block;
}

}  // namespace GCore::Peg
