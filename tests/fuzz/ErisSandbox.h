#pragma once
// Unpersisting bytes that nobody vouches for, for the mutation tests and the
// fuzz target. Restoring a stream may run code from it (restore functions,
// finalisers), and unpersisting is documented for trusted data only; the
// sandbox keeps such code from running so that what is exercised is the
// reader alone: every call made while reading is refused by a hook,
// finalisers are switched off and the state's memory is capped.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include <lua.hpp>

class ErisSandbox {
 public:
  ErisSandbox();
  ~ErisSandbox();
  ErisSandbox(const ErisSandbox&) = delete;
  ErisSandbox& operator=(const ErisSandbox&) = delete;

  // Unpersists `bytes` and runs a full collection over what was built:
  // the error message, or "" when the stream was read.
  std::string Unpersist(const std::string& bytes);

 private:
  struct Budget {
    size_t used = 0;
    size_t limit = size_t{256} << 20;
  };
  static void* Allocate(void* budget, void* block, size_t old_size, size_t new_size);

  Budget budget_;
  lua_State* L_ = nullptr;
};

// Whether an error from Unpersist is one the reader gives to bytes it
// refuses (or the sandbox's refusal of a call).
bool IsReaderRefusal(const std::string& error);

// A chunk that returns example values covering every kind of record (name ->
// value: tables with metatables and cycles, closures sharing upvalues,
// suspended coroutines with frames and open upvalues, special persistence)
// and the permanents they need (name -> value).
extern const char kErisExampleValues[];

// The examples' streams (name, bytes), written with those permanents, which
// the sandbox reads with.
std::vector<std::pair<std::string, std::string>> ErisExampleStreams();
