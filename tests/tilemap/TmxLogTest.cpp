#include "TmxTestSupport.h"

namespace {

TEST(TmxLog, PrefixesAndStreamsByLevel) {
  const struct {
    std::int32_t level;
    bool toStandardError;
    const char* line;
  } cases[] = {
      {0, false, "INFO: x"},
      {1, false, "WARNING: x"},
      {2, true, "ERROR: x"},
      {7, false, "INFO: x"},  // unknown levels are written as Info
      {-1, false, "INFO: x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    tmxtest::LogRecorder recorder;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    tmx::logMessage("x", static_cast<tmx::LogLevel>(c.level));
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(c.toStandardError ? err : out, std::string(c.line) + "\n");
    EXPECT_EQ(c.toStandardError ? out : err, "");
    ASSERT_EQ(recorder.Lines().size(), 1u);
    EXPECT_EQ(recorder.Lines()[0], c.line);
  }
}

TEST(TmxLog, DebugSinkGetsTheLineWithItsLineFeed) {
  static std::string received;
  const tmx::DebugSink previous = tmx::setDebugSink([](const std::string& text) { received += text; });
  testing::internal::CaptureStderr();
  tmx::logMessage("bad tile", tmx::LogLevel::Error);
  testing::internal::GetCapturedStderr();
  tmx::setDebugSink(previous);
  EXPECT_EQ(received, "ERROR: bad tile\n");
}

TEST(TmxLog, HistoryKeepsTheLatestThirtyLines) {
  testing::internal::CaptureStdout();
  for (int i = 1; i <= 31; ++i) tmx::logMessage("message " + std::to_string(i), tmx::LogLevel::Warning);
  testing::internal::GetCapturedStdout();

  const auto& history = tmx::logHistory();
  ASSERT_EQ(history.size(), tmx::logHistoryLimit);
  std::string expectedText;
  for (int i = 2; i <= 31; ++i) {
    const std::string line = "WARNING: message " + std::to_string(i);
    EXPECT_EQ(history[std::size_t(i - 2)], line);
    expectedText += line + "\n";
  }
  EXPECT_EQ(tmx::logHistoryText(), expectedText);
}

}  // namespace
