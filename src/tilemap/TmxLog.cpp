#include "tilemap/TmxLog.h"

#include <iostream>

namespace tmx {
namespace {

void DropDebugText(const std::string&) {}

DebugSink g_debugSink = DropDebugText;

std::deque<std::string>& History() {
  static std::deque<std::string> lines;
  return lines;
}

const char* Prefix(LogLevel level) {
  switch (level) {
    case LogLevel::Warning:
      return "WARNING: ";
    case LogLevel::Error:
      return "ERROR: ";
    default:
      return "INFO: ";
  }
}

}  // namespace

void logMessage(const std::string& message, LogLevel level) {
  const std::string line = Prefix(level) + message;
  (level == LogLevel::Error ? std::cerr : std::cout) << line << std::endl;

  auto& history = History();
  history.push_back(line);
  if (history.size() > logHistoryLimit) history.pop_front();

  g_debugSink(line + "\n");
}

DebugSink setDebugSink(DebugSink sink) {
  const DebugSink previous = g_debugSink;
  g_debugSink = sink ? sink : DropDebugText;
  return previous;
}

const std::deque<std::string>& logHistory() { return History(); }

std::string logHistoryText() {
  std::string text;
  for (const auto& line : History()) text += line + "\n";
  return text;
}

}  // namespace tmx
