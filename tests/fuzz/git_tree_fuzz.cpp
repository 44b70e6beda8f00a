// libFuzzer target of repository mode's walk over a commit's tree. The input
// describes trees written as raw objects into a repository in memory, each
// built on the objects before it (one blob to begin with): a byte with the
// tree's entry count, then per entry a byte choosing the mode, a name length
// and that many name bytes, and a byte choosing the object it names. The
// last tree is walked: the map must stay within its bound, and every key
// is a path under "/".
// Built and run by tests/fuzz/CMakeLists.txt; seeds: module_seeds.py.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "../core/MemoryRepository.h"
#include "core/GitTreeMap.h"

namespace {

const char* const kModes[] = {"100644", "40000", "100755", "120000", "160000", "100664",
                              "644",    "040000", "1",      "",       "77777777777", "4000a"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static gittest::MemoryRepository repository;
  repository.Clear();
  size_t at = 0;
  const auto next = [&]() -> uint8_t { return at < size ? data[at++] : 0; };
  std::vector<git_oid> objects{repository.Write(GIT_OBJECT_BLOB, "x")};
  while (at < size) {
    std::string tree;
    for (int count = next() % 8; count > 0; --count) {
      const char* mode = kModes[next() % (sizeof(kModes) / sizeof(kModes[0]))];
      std::string name;
      for (int length = next() % 12; length > 0; --length) name.push_back(static_cast<char>(next()));
      tree += gittest::MemoryRepository::TreeEntry(mode, name, objects[next() % objects.size()]);
    }
    objects.push_back(repository.Write(GIT_OBJECT_TREE, tree));
  }
  git_tree* root = nullptr;
  if (objects.size() < 2 || git_tree_lookup(&root, repository.Get(), &objects.back()) != 0) return 0;
  std::map<std::string, git_oid> map;
  GCore::MapGitTree(repository.Get(), root, map);
  git_tree_free(root);
  if (map.size() > GCore::kMaxGitTreeEntries) __builtin_trap();
  for (const auto& [path, id] : map) {
    if (path.size() < 2 || path[0] != '/') __builtin_trap();
  }
  return 0;
}
