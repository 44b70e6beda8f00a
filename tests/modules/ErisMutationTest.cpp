// Every example stream, cut at each length and with bytes changed, must
// unpersist or fail with one of the reader's own messages: never a crash, an
// overrun or a hang (the sanitizers watch the rest).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fuzz/ErisSandbox.h"

namespace {

class ErisMutation : public testing::Test {
 protected:
  void Expect(const std::string& stream) {
    const std::string error = sandbox_.Unpersist(stream);
    if (!error.empty()) {
      EXPECT_TRUE(IsReaderRefusal(error)) << "unexpected error: " << error;
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
