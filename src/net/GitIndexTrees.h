#pragma once
// The trees an index file holds cached (its "TREE" extension), read from the
// file's bytes by our own reader. The bytes come from outside: the reader
// never reads past them, caps the nesting at kMaxGitIndexTreeDepth, and
// refuses anything it does not expect (a size or count beyond the data, a
// split or sparse index, a second TREE extension); a refusal only means the
// caller checks every entry itself. Pure functions over bytes, any thread.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace GCore {

constexpr size_t kGitIndexIdSize = 20;
// The file's header: signature, version, entry count.
constexpr size_t kGitIndexHeaderSize = 12;
using GitIndexId = std::array<uint8_t, kGitIndexIdSize>;
// Folders nested deeper than this are refused, with the whole extension.
constexpr size_t kMaxGitIndexTreeDepth = 128;

struct GitCachedTree {
  std::string path;    // "" for the root, else the folder's path with a trailing '/'
  size_t depth = 0;    // 0 for the root
  int64_t entries = -1;  // index entries below the folder; -1 when the cache is stale
  GitIndexId id = {};  // the tree's id, when `entries` >= 0
};

struct GitIndexTrees {
  GitIndexId checksum = {};  // the file's trailing checksum
  // In the extension's order, each folder before the folders in it; empty
  // when the file has no TREE extension.
  std::vector<GitCachedTree> trees;
};

// False when the bytes are not an index file of version 2, 3 or 4 whose
// entries and extensions lie within them, or when its TREE extension is
// malformed. The checksum itself is not verified here: the caller compares it
// with the one of the index it trusts.
bool ReadGitIndexTrees(std::string_view file, GitIndexTrees& out);

// The same from the file's bytes after its `entryCount` entries (its
// extensions and checksum), for a caller that knows where the entries end
// and so need not read them; false when those bytes are not extensions
// followed by the checksum.
bool ReadGitIndexTreesAfterEntries(std::string_view tail, uint32_t entryCount, GitIndexTrees& out);

// The bytes an entry of this path takes in an index file of `version` as git
// writes it; `previousPath` is the path of the entry before it ("" for the
// first), of which version 4 keeps as much as it can.
size_t GitIndexEntrySize(uint32_t version, std::string_view path, bool extended, std::string_view previousPath);

// The trees to trust, as git does when it writes trees: a folder whose cache
// is current and whose tree `exists` stands for everything below it; the
// folders in a stale or missing one are looked at in turn. Positions in
// `trees`, each folder outside the ones before it.
template <typename Exists>
std::vector<size_t> TrustedGitTrees(const std::vector<GitCachedTree>& trees, Exists exists) {
  std::vector<size_t> trusted;
  for (size_t i = 0; i < trees.size(); ++i) {
    if (!trusted.empty() && trees[i].depth > trees[trusted.back()].depth &&
        trees[i].path.starts_with(trees[trusted.back()].path)) {
      continue;
    }
    if (trees[i].entries >= 0 && exists(trees[i].id)) trusted.push_back(i);
  }
  return trusted;
}

}  // namespace GCore
