// Fuzz target of the git console's reader of an index file's cached trees
// (write-tree trusts them): the input is the file. What is read stays within
// the reader's bounds, and the trees it trusts lie outside one another.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/GitIndexTrees.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  GCore::GitIndexTrees read;
  if (!GCore::ReadGitIndexTrees(std::string_view(reinterpret_cast<const char*>(data), size), read)) {
    if (!read.trees.empty()) __builtin_trap();
    return 0;
  }
  for (const GCore::GitCachedTree& tree : read.trees) {
    if (tree.depth > GCore::kMaxGitIndexTreeDepth || tree.entries < -1 || (tree.depth == 0) != tree.path.empty()) {
      __builtin_trap();
    }
  }
  // Trees whose id begins with an odd byte count as missing.
  const auto trusted = GCore::TrustedGitTrees(read.trees, [](const GCore::GitIndexId& id) { return id[0] % 2 == 0; });
  // A second folder of one path may be trusted again: the console refuses
  // such a cache itself.
  for (size_t i = 1; i < trusted.size(); ++i) {
    const std::string& outer = read.trees[trusted[i - 1]].path;
    const std::string& inner = read.trees[trusted[i]].path;
    if (inner.starts_with(outer) && inner != outer) __builtin_trap();
  }
  return 0;
}
