#pragma once
// The engine's log: every message goes to standard output and, mirrored with a
// flush after each write, to the log file under the root folder. Safe to call
// from any thread; one lock orders the writes of all threads.
#include <cstdarg>
#include <string>
#include <string_view>

namespace GCore {

// Opens the log file, truncating it unless `append`; a previously open one is
// closed first. False, and no log file, when the path names a link or no
// regular file.
bool LogOpen(const std::string& path, bool append = false);
void LogClose();

// Writes the text as it stands (never used as a format).
void LogWrite(std::string_view text);
void LogPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// For the few writers that report to standard error only.
void LogErrorPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// printf-style formatting into a string of any length.
std::string FormatV(const char* format, va_list args);

// A failure the program cannot run past: to standard error and the log file.
void LogFatal(std::string_view text);

// A mistake of the game's files that leaves the author a black window (no
// first project, no start script, a root that cannot be opened): said where a
// person who started the program from a terminal sees it, and in the log.
void LogProblem(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace GCore
