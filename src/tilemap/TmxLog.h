#pragma once
// The one output channel of the TMX loader: every line gets a level prefix,
// goes to the console (errors to standard error, the rest to standard output),
// to the debug sink, and into a short process-wide history of recent lines.
// Main thread only: the history is not locked.
#include <cstdint>
#include <deque>
#include <string>

namespace tmx {

enum class LogLevel : std::int32_t { Info = 0, Warning = 1, Error = 2 };

// Any level value outside the three above is written as Info.
void logMessage(const std::string& message, LogLevel level = LogLevel::Info);

// Receives every formatted line with its line feed, as a debugger would. On
// this platform there is no debugger channel, so the default sink drops the
// text; tests install their own to watch the loader. Returns the previous sink.
using DebugSink = void (*)(const std::string& text);
DebugSink setDebugSink(DebugSink sink);

// The most recent lines (at most logHistoryLimit, oldest first, no line feed).
inline constexpr std::size_t logHistoryLimit = 30;
const std::deque<std::string>& logHistory();
// The same lines, each ended by "\n".
std::string logHistoryText();

}  // namespace tmx
