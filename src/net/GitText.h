#pragma once
// Texts of the git console that need no library: the entry lines of
// "update-index --index-info" and the path patterns of "ls-files", which come
// from outside, and git's quoting of the paths the console prints. Pure
// functions over bytes, any thread.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace GCore {

// One line of --index-info, in git's own layouts:
//   <octal mode> SP <40-digit id> TAB <path>
//   <octal mode> SP <type> SP <40-digit id> TAB <path>
//   <octal mode> SP <40-digit id> SP <stage> TAB <path>   (as "ls-files --stage" prints)
// Any run of spaces and tabs separates the fields; the line end is cut.
struct IndexInfoLine {
  uint32_t mode = 0;
  std::string_view id;  // the id field as written; the caller checks it
  int stage = 0;
  std::string_view path;
};

// False for a line that cannot hold a mode, an id and a path (blank lines
// included): such a line is skipped.
bool ParseIndexInfoLine(std::string_view line, IndexInfoLine& out);

// "ls-files" matching: the path equals the pattern, or continues the whole
// pattern with a '/', or equals it up to its first '*' (which matches all
// that follows).
bool LsFilesPatternMatches(std::string_view path, std::string_view pattern);

// Appends the path to `out` in git's C-style quoting (the whole path in
// double quotes with backslash escapes when any byte needs one); returns the
// bytes that are, or with a null `out` would be, written.
size_t GitPrintPath(const char* path, std::string* out);

}  // namespace GCore
