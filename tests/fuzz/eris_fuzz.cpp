// Persisted streams from untrusted bytes: unpersisting (in the sandbox,
// where none of the stream's code runs) ends in a value or in one of the
// reader's refusals, never in a crash, an overrun or a hang; the collection
// after it walks whatever was built.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/ErisSandbox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ErisSandbox sandbox;
  const std::string error = sandbox.Unpersist(std::string(reinterpret_cast<const char*>(data), size));
  if (!error.empty() && !IsReaderRefusal(error)) {
    std::fprintf(stderr, "unexpected error: %s\n", error.c_str());
    std::abort();
  }
  return 0;
}
