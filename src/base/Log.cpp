#include "base/Log.h"

#include <fcntl.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "base/PathBelow.h"

namespace GCore {

std::string FormatV(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  return text;
}

namespace {

std::mutex g_logMutex;
FILE* g_logFile = nullptr;

// The text to a console stream and to the log file, flushed.
void WriteWithLogFile(FILE* console, std::string_view text) {
  std::lock_guard lock(g_logMutex);
  std::fwrite(text.data(), 1, text.size(), console);
  std::fflush(console);
  if (g_logFile) {
    std::fwrite(text.data(), 1, text.size(), g_logFile);
    std::fflush(g_logFile);
  }
}

}  // namespace

bool LogOpen(const std::string& path, bool append) {
  std::lock_guard lock(g_logMutex);
  if (g_logFile) std::fclose(g_logFile);
  // The log lies in the game's folder: a link or a FIFO planted at its name
  // is neither written through nor waited on.
  FileDescriptor file = OpenRegularAt(AT_FDCWD, path.c_str(), O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC));
  g_logFile = file.IsOpen() ? fdopen(file.Get(), append ? "ab" : "wb") : nullptr;
  if (g_logFile) file.Release();
  return g_logFile != nullptr;
}

void LogClose() {
  std::lock_guard lock(g_logMutex);
  if (g_logFile) std::fclose(g_logFile);
  g_logFile = nullptr;
}

void LogWrite(std::string_view text) { WriteWithLogFile(stdout, text); }

void LogPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteWithLogFile(stdout, FormatV(format, args));
  va_end(args);
}

void LogErrorPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = FormatV(format, args);
  va_end(args);
  std::lock_guard lock(g_logMutex);
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void LogFatal(std::string_view text) { WriteWithLogFile(stderr, text); }

void LogProblem(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteWithLogFile(stderr, FormatV(format, args));
  va_end(args);
}

}  // namespace GCore
