// Every example stream, cut at each length and with bytes changed, must
// unpersist or fail with one of the reader's own messages: never a crash, an
// overrun or a hang (the sanitizers watch the rest).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fuzz/ErisSandbox.h"

namespace {

const char* const kReaderMessages[] = {
    "could not read data",
    "invalid data",
    "incompatible floating point type",
    "incompatible floating point representation",
    "incompatible integer type",
    "unsupported int type",
    "unsupported size_t type",
    "int value would get truncated",
    "object too complex",
    "trying to unpersist unknown type",
    "invalid reference #",
    "bad reference #",
    "bad record (",
    "bad permanent value",
    "bad table value, got a nil value",
    "bad metatable, not nil or table",
    "bad table mode",
    "bad userdata mode",
    "invalid restore function",
    "bad unpersist function",
    "attempt to unpersist unknown function type",
    "bad closure (",
    "bad C closure (",
    "bad parameter count",
    "bad instruction count",
    "bad constant count",
    "bad prototype count",
    "bad upvalue count",
    "bad local variable count",
    "bad line information count",
    "bad debug information",
    "stack size out of bounds",
    "stack index out of bounds",
    "invalid errfunc",
    "invalid callinfo",
    "saved program counter out of bounds",
    "bad C continuation function",
    "too many objects",
    "C stack overflow",
    "stack overflow",
    "table index is NaN",
    "not enough memory",
    "sandbox: call refused",
};

bool Known(const std::string& error) {
  for (const char* message : kReaderMessages) {
    if (error.find(message) != std::string::npos) return true;
  }
  return false;
}

class ErisMutation : public testing::Test {
 protected:
  void Expect(const std::string& stream) {
    const std::string error = sandbox_.Unpersist(stream);
    if (!error.empty()) {
      EXPECT_TRUE(Known(error)) << "unexpected error: " << error;
    }
  }

  ErisSandbox sandbox_;
};

TEST_F(ErisMutation, ExamplesReadInTheSandbox) {
  for (const auto& [name, stream] : ErisExampleStreams()) {
    SCOPED_TRACE(name);
    const std::string error = sandbox_.Unpersist(stream);
    // A special table's restore function is a call, which the sandbox refuses.
    if (name == "special") {
      EXPECT_NE(error.find("sandbox: call refused"), std::string::npos) << error;
    } else {
      EXPECT_EQ(error, "");
    }
  }
}

TEST_F(ErisMutation, TruncationsAndChangedBytes) {
  for (const auto& [name, stream] : ErisExampleStreams()) {
    SCOPED_TRACE(name);
    for (size_t n = 0; n < stream.size(); ++n) Expect(stream.substr(0, n));
    for (size_t i = 0; i < stream.size(); ++i) {
      const auto byte = static_cast<unsigned char>(stream[i]);
      for (unsigned char changed : {0x00, 0xFF, byte ^ 0x01, byte ^ 0x80, byte ^ (1 << (i % 7))}) {
        std::string mutated = stream;
        mutated[i] = static_cast<char>(changed);
        Expect(mutated);
      }
    }
  }
}

}  // namespace
