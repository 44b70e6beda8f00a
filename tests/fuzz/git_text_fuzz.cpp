// Fuzz target of the git console's readers of outside text: --index-info
// lines from the standard input, credential files, ls-files patterns and the
// quoting of paths that come from fetched repositories. The input's first
// line is the URL or pattern, the rest the line, store or path.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/GitCredentialStore.h"
#include "net/GitText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\n');
  const std::string_view first = input.substr(0, split);
  const std::string_view rest = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

  GCore::IndexInfoLine line;
  if (GCore::ParseIndexInfoLine(input, line)) {
    // The fields lie within the line.
    if (line.path.empty() || line.id.empty() || line.stage < 0 || line.stage > 3) __builtin_trap();
    if (line.path.data() < input.data() || line.path.data() + line.path.size() > input.data() + input.size()) {
      __builtin_trap();
    }
  }

  if (const auto credential = GCore::FindStoredCredential(rest, first); credential && credential->user.empty()) {
    __builtin_trap();
  }

  GCore::LsFilesPatternMatches(rest, first);
  // Every path matches itself, unless a '*' in it stands for the rest.
  if (!GCore::LsFilesPatternMatches(first, first)) __builtin_trap();

  const std::string path(input.substr(0, input.find('\0')));
  std::string quoted;
  if (GCore::GitPrintPath(path.c_str(), &quoted) != quoted.size() || GCore::GitPrintPath(path.c_str(), nullptr) != quoted.size()) {
    __builtin_trap();
  }
  return 0;
}
