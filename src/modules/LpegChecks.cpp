// Properties of pattern trees that construction and code generation rely on.
// Each walk loops along the right child of sequences and choices and through
// single-child nodes, recursing only into left children and called rules; the
// recursion is counted and stops with a Lua error before the C stack runs out.
// A walk that follows calls remembers each rule's answer, so grammars whose
// rules call each other many times over are still walked once per rule.
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "modules/Lpeg.h"
#include "modules/LpegTree.h"

namespace GCore::Peg {

namespace {
thread_local int treeDepth = 0;
thread_local int captureDepth = 0;
}  // namespace

RecursionLevel::RecursionLevel(lua_State* L, Kind kind) : depth_(kind == kTree ? treeDepth : captureDepth) {
  if (++depth_ > (kind == kTree ? kMaxTreeDepth : kMaxCaptureDepth)) {
    --depth_;
    luaL_error(L, kind == kTree ? kTooComplex : "captures nested too deeply");
  }
}

RecursionLevel::~RecursionLevel() { --depth_; }

namespace {

// Longer fixed lengths are all "too long" to whoever asks.
constexpr int kLongestLen = 1 << 30;

const PatternNode* RuleBody(const PatternNode* call) { return Child1(Child2(call)); }

// The answers of one walk about called rules.
template <typename Answer>
struct Walk {
  lua_State* L;
  std::unordered_map<const PatternNode*, Answer> rules;

  // True with the answer for the rule `call` calls when it is known or being
  // worked out (`inProgress`, met only through recursion); otherwise marks
  // the rule as being worked out.
  bool Known(const PatternNode* call, const Answer& inProgress, Answer* answer) {
    auto [it, fresh] = rules.try_emplace(Child2(call), inProgress);
    *answer = it->second;
    return !fresh;
  }
  void Learn(const PatternNode* call, const Answer& answer) { rules[Child2(call)] = answer; }
};

// ---- Nullable and no-fail -------------------------------------------------------

bool Aux(Walk<bool>& w, const PatternNode* t, Property p) {
  RecursionLevel level(w.L, RecursionLevel::kTree);
  for (;;) {
    switch (t->tag) {
      case kChar: case kSet: case kAny: case kFalse: case kOpenCall: case kThrow:
        return false;
      case kTrue: case kRep:
        return true;
      case kNot: case kBehind:
        return p == Property::kNullable;
      case kAnd:
        if (p == Property::kNullable) return true;
        t = Child1(t);
        break;
      case kRunTime:
        if (p == Property::kNoFail) return false;
        t = Child1(t);
        break;
      case kCapture: case kGrammar: case kRule: case kRecovery:
        t = Child1(t);
        break;
      case kCall: {
        bool answer;
        if (w.Known(t, false, &answer)) return answer;
        answer = Aux(w, RuleBody(t), p);
        w.Learn(t, answer);
        return answer;
      }
      case kSeq:
        if (!Aux(w, Child1(t), p)) return false;
        t = Child2(t);
        break;
      case kChoice:
        if (Aux(w, Child1(t), p)) return true;
        t = Child2(t);
        break;
      default:
        return false;
    }
  }
}

// ---- Fixed length --------------------------------------------------------------

int Len(Walk<int>& w, const PatternNode* t) {
  RecursionLevel level(w.L, RecursionLevel::kTree);
  int64_t len = 0;
  for (;;) {
    switch (t->tag) {
      case kChar: case kSet: case kAny:
        return static_cast<int>(std::min<int64_t>(len + 1, kLongestLen));
      case kTrue: case kFalse: case kNot: case kAnd: case kBehind:
        return static_cast<int>(len);
      case kCapture: case kGrammar: case kRule: case kRecovery:
        t = Child1(t);
        break;
      case kCall: {
        int n;
        if (!w.Known(t, -1, &n)) {
          n = Len(w, RuleBody(t));
          w.Learn(t, n);
        }
        return n < 0 ? -1 : static_cast<int>(std::min<int64_t>(len + n, kLongestLen));
      }
      case kSeq: {
        const int n = Len(w, Child1(t));
        if (n < 0) return -1;
        len = std::min<int64_t>(len + n, kLongestLen);
        t = Child2(t);
        break;
      }
      case kChoice: {
        const int common = Len(w, Child1(t));
        for (t = Child2(t); t->tag == kChoice; t = Child2(t)) {
          if (common < 0 || Len(w, Child1(t)) != common) return -1;
        }
        if (common < 0 || Len(w, t) != common) return -1;
        return static_cast<int>(std::min<int64_t>(len + common, kLongestLen));
      }
      default:  // rep, opencall, runtime, throw
        return -1;
    }
  }
}

// ---- First characters -----------------------------------------------------------

void Merge(Charset& into, const Charset& from) {
  for (int i = 0; i < kSetBytes; ++i) into.bits[i] |= from.bits[i];
}

void SetOpaque(FirstSet& f, int empty) {
  f.set = Charset::Full();
  f.empty = empty;
}

// Leaves in `out` the first set of `t` joined with what `out` holds (the
// characters of earlier elements of a sequence or alternatives of a choice);
// `out.empty` is replaced for sequences and raised for choices by the caller.
void First(Walk<FirstSet>& w, const PatternNode* t, FirstSet& out) {
  RecursionLevel level(w.L, RecursionLevel::kTree);
  for (;;) {
    switch (t->tag) {
      case kChar:
        out.set.Add(static_cast<uint8_t>(t->u));
        out.empty = 0;
        return;
      case kSet: case kAny: {
        Charset cs;
        ToCharset(t, &cs);
        Merge(out.set, cs);
        out.empty = 0;
        return;
      }
      case kTrue:
        out.empty = 1;
        return;
      case kFalse:
        out.empty = 0;
        return;
      case kRep:
        First(w, Child1(t), out);
        if (out.empty == 0) out.empty = 1;
        return;
      case kNot: case kBehind: {
        // Nothing is consumed: what follows counts, and the characters on
        // which the body reaches a match-time function (look-behinds have
        // none), unless the body throws.
        FirstSet body{};
        First(w, Child1(t), body);
        if (body.empty == 2) {
          SetOpaque(out, 2);
        } else {
          if (HasCaptures(w.L, Child1(t))) Merge(out.set, body.set);
          out.empty = 1;
        }
        return;
      }
      case kRunTime: {
        // Once its body has matched, the function is called and may move the
        // position past anything: only a body that must read a character
        // first says anything about what comes next.
        FirstSet body{};
        First(w, Child1(t), body);
        if (body.empty == 0) {
          Merge(out.set, body.set);
          out.empty = 0;
        } else {
          SetOpaque(out, 2);
        }
        return;
      }
      case kAnd: case kCapture: case kGrammar: case kRule: case kRecovery:
        t = Child1(t);
        break;
      case kCall: {
        FirstSet rule{};
        if (!w.Known(t, FirstSet{Charset::Full(), 2}, &rule)) {
          First(w, RuleBody(t), rule);
          w.Learn(t, rule);
        }
        Merge(out.set, rule.set);
        out.empty = rule.empty;
        return;
      }
      case kSeq:
        First(w, Child1(t), out);
        if (out.empty != 1) return;  // it consumes, or anything may happen
        t = Child2(t);
        break;
      case kChoice: {
        int empty = 0;
        for (; t->tag == kChoice; t = Child2(t)) {
          First(w, Child1(t), out);
          empty = std::max(empty, out.empty);
        }
        First(w, t, out);
        out.empty = std::max(empty, out.empty);
        if (out.empty == 2) SetOpaque(out, 2);
        return;
      }
      default:  // throw, opencall: a label may be thrown before anything is read
        SetOpaque(out, 2);
        return;
    }
  }
}

// ---- Head failure ---------------------------------------------------------------

bool Head(Walk<bool>& w, const PatternNode* t) {
  RecursionLevel level(w.L, RecursionLevel::kTree);
  for (;;) {
    switch (t->tag) {
      case kChar: case kSet: case kAny: case kFalse:
        return true;
      case kAnd: case kCapture: case kGrammar: case kRule:
        t = Child1(t);
        break;
      case kCall: {
        bool answer;
        if (w.Known(t, false, &answer)) return answer;
        answer = Head(w, RuleBody(t));
        w.Learn(t, answer);
        return answer;
      }
      case kSeq:
        if (!CheckAux(w.L, Child2(t), Property::kNoFail)) return false;
        t = Child1(t);
        break;
      case kChoice: case kRecovery:
        if (!Head(w, Child1(t))) return false;
        t = Child2(t);
        break;
      default:  // true, rep, not, behind, runtime, throw, opencall
        return false;
    }
  }
}

// ---- Captures -------------------------------------------------------------------

bool Caps(Walk<bool>& w, std::unordered_set<const PatternNode*>& visited, const PatternNode* t) {
  RecursionLevel level(w.L, RecursionLevel::kTree);
  for (;;) {
    switch (t->tag) {
      case kCapture: case kRunTime:
        return true;
      case kCall:
        // Each rule counts once: its captures are found on its first visit.
        if (!visited.insert(Child2(t)).second) return false;
        t = RuleBody(t);
        break;
      case kRep: case kNot: case kAnd: case kBehind: case kRule: case kGrammar:
        t = Child1(t);
        break;
      case kSeq: case kChoice: case kRecovery:
        if (Caps(w, visited, Child1(t))) return true;
        t = Child2(t);
        break;
      default:
        return false;
    }
  }
}

// ---- Grammar verification ---------------------------------------------------------

class Verifier {
 public:
  Verifier(lua_State* L, int idx) : L_(L), idx_(idx) {}

  // Whether `t` may succeed without consuming; raises on a rule that calls
  // itself before consuming anything.
  bool Nullable(const PatternNode* t) {
    for (;;) {
      switch (t->tag) {
        case kChar: case kSet: case kAny: case kFalse: case kThrow: case kOpenCall:
          return false;
        case kTrue: case kBehind:
          return true;
        case kNot: case kAnd: case kRep:
          Nested(Child1(t));
          return true;
        case kCapture: case kRunTime:
          t = Child1(t);
          break;
        case kSeq:
          if (!Nested(Child1(t))) return false;
          t = Child2(t);
          break;
        case kChoice: {
          bool any = false;
          for (; t->tag == kChoice; t = Child2(t)) any = Nested(Child1(t)) || any;
          return Nested(t) || any;
        }
        case kRecovery: {
          const bool body = Nested(Child1(t));
          Nested(Child2(t));
          return body;
        }
        case kCall:
          return Rule(Child2(t));
        default:  // a grammar nested in a rule was verified when it was made
          return CheckAux(L_, t, Property::kNullable);
      }
    }
  }

  bool Rule(const PatternNode* rule) {
    auto [it, fresh] = state_.try_emplace(rule, kVisiting);
    if (!fresh) {
      if (it->second == kVisiting) {
        luaL_error(L_, "rule '%s' may be left recursive", PushKeyName(L_, idx_, rule->key));
      }
      return it->second == kNullable;
    }
    const bool nullable = Nested(Child1(rule));
    state_[rule] = nullable ? kNullable : kConsuming;
    return nullable;
  }

 private:
  enum State { kVisiting, kNullable, kConsuming };

  bool Nested(const PatternNode* t) {
    RecursionLevel level(L_, RecursionLevel::kTree);
    return Nullable(t);
  }

  lua_State* L_;
  int idx_;
  std::unordered_map<const PatternNode*, State> state_;
};

}  // namespace

bool CheckAux(lua_State* L, const PatternNode* t, Property p) {
  Walk<bool> w{L, {}};
  return Aux(w, t, p);
}

int FixedLen(lua_State* L, const PatternNode* t) {
  Walk<int> w{L, {}};
  return Len(w, t);
}

FirstSet GetFirst(lua_State* L, const PatternNode* t) {
  Walk<FirstSet> w{L, {}};
  FirstSet f{};
  First(w, t, f);
  return f;
}

bool HeadFail(lua_State* L, const PatternNode* t) {
  Walk<bool> w{L, {}};
  return Head(w, t);
}

bool HasCaptures(lua_State* L, const PatternNode* t) {
  Walk<bool> w{L, {}};
  std::unordered_set<const PatternNode*> visited;
  return Caps(w, visited, t);
}

bool NeedFollow(const PatternNode* t) {
  for (;;) {
    switch (t->tag) {
      case kChoice: case kRep:
        return true;
      case kCapture: case kRecovery:
        t = Child1(t);
        break;
      case kSeq:
        t = Child2(t);
        break;
      default:
        return false;
    }
  }
}

int TreeDepth(lua_State* L, const PatternNode* t) {
  RecursionLevel level(L, RecursionLevel::kTree);
  int deepest = 1;
  for (;;) {
    switch (t->tag) {
      case kSeq:
        deepest = std::max(deepest, 1 + TreeDepth(L, Child1(t)));
        t = Child2(t);
        break;
      case kChoice:
        deepest = std::max(deepest, 1 + TreeDepth(L, Child1(t)));
        t = Child2(t);
        // The last alternative is generated one level down, as the others.
        if (t->tag != kChoice) return std::max(deepest, 1 + TreeDepth(L, t));
        break;
      case kRecovery:
        return std::max({deepest, 1 + TreeDepth(L, Child1(t)), 1 + TreeDepth(L, Child2(t))});
      case kRep: case kNot: case kAnd: case kBehind: case kCapture: case kRunTime:
        return std::max(deepest, 1 + TreeDepth(L, Child1(t)));
      case kGrammar: {
        int rules = 0;
        for (const PatternNode* rule = Child1(t); rule->tag == kRule; rule = Child2(rule)) {
          rules = std::max(rules, TreeDepth(L, Child1(rule)));
        }
        return std::max(deepest, 1 + rules);
      }
      default:  // leaves, and calls, which go no deeper here
        return deepest;
    }
  }
}

void VerifyGrammar(lua_State* L, int idx, const PatternNode* g) {
  Verifier verifier(L, idx);
  for (const PatternNode* rule = Child1(g); rule->tag == kRule; rule = Child2(rule)) verifier.Rule(rule);
  // Loops are judged once no rule can call itself without consuming.
  for (const PatternNode* rule = Child1(g); rule->tag == kRule; rule = Child2(rule)) {
    const PatternNode* body = Child1(rule);
    for (const PatternNode* t = body; t < Child2(rule); t += NodeSpan(t)) {
      if (t->tag == kRep && CheckAux(L, Child1(t), Property::kNullable)) {
        luaL_error(L, "empty loop in rule '%s'", PushKeyName(L, idx, rule->key));
      }
    }
  }
}

}  // namespace GCore::Peg
