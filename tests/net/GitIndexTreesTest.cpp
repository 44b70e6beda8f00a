// Our reader of an index file's cached trees, on index files made here: the
// layouts of versions 2 to 4, then damaged and hostile ones, which must be
// refused (the console then checks every entry) without reading past them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/GitIndexTrees.h"

namespace {

std::string Big32(uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
          static_cast<char>(value)};
}

// One entry: 62 fixed bytes (all zero but the flags), the path, and the
// version's ending: NUL padding to eight bytes, or (4) a kept-prefix length
// of zero before the path.
std::string Entry(uint32_t version, const std::string& path, bool extended = false) {
  std::string entry(60, '\0');
  const uint16_t flags = static_cast<uint16_t>((extended ? 0x4000 : 0) | (path.size() < 0xfff ? path.size() : 0xfff));
  entry += static_cast<char>(flags >> 8);
  entry += static_cast<char>(flags & 0xff);
  if (extended) entry += std::string(2, '\0');
  if (version == 4) return entry + '\0' + path + '\0';
  entry += path;
  return entry + std::string(8 - entry.size() % 8, '\0');
}

std::string Extension(const std::string& name, const std::string& data) { return name + Big32(data.size()) + data; }

std::string Id(char fill) { return std::string(20, fill); }

// A folder record of the TREE extension.
std::string Folder(const std::string& name, const std::string& entries, int folders, const std::string& id = "") {
  return name + '\0' + entries + ' ' + std::to_string(folders) + '\n' + id;
}

// An index of these entries and extension bytes, with any checksum.
std::string Index(uint32_t version, const std::vector<std::string>& entries, const std::string& extensions) {
  std::string file = "DIRC" + Big32(version) + Big32(entries.size());
  for (const std::string& entry : entries) file += entry;
  return file + extensions + Id('\x5c');
}

// docs/a.txt, docs/sub/b.txt, top.txt: the root and docs cached, docs/sub stale.
const std::string kTrees = Folder("", "3", 1, Id('r')) + Folder("docs", "2", 1, Id('d')) + Folder("sub", "-1", 0);

std::string Nested(size_t depth) {
  std::string trees = Folder("", "1", 1, Id('r'));
  for (size_t i = 1; i <= depth; ++i) trees += Folder("x", "-1", i < depth ? 1 : 0);
  return trees;
}

TEST(GitIndexTrees, EachIndexVersionYieldsItsFoldersInOrderWithTheirPaths) {
  for (const uint32_t version : {2u, 3u, 4u}) {
    SCOPED_TRACE(version);
    const std::string file =
        Index(version,
              {Entry(version, "docs/a.txt"), Entry(version, "docs/sub/b.txt", version >= 3), Entry(version, "top.txt")},
              Extension("REUC", "ignored") + Extension("TREE", kTrees) + Extension("EOIE", Id('e')));
    GCore::GitIndexTrees read;
    ASSERT_TRUE(GCore::ReadGitIndexTrees(file, read));
    EXPECT_EQ(std::string(read.checksum.begin(), read.checksum.end()), Id('\x5c'));
    ASSERT_EQ(read.trees.size(), 3u);
    const struct {
      const char* path;
      size_t depth;
      int64_t entries;
      char id;
    } expected[] = {{"", 0, 3, 'r'}, {"docs/", 1, 2, 'd'}, {"docs/sub/", 2, -1, '\0'}};
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(read.trees[i].path, expected[i].path);
      EXPECT_EQ(read.trees[i].depth, expected[i].depth);
      EXPECT_EQ(read.trees[i].entries, expected[i].entries);
      EXPECT_EQ(std::string(read.trees[i].id.begin(), read.trees[i].id.end()), std::string(20, expected[i].id));
    }
  }
  GCore::GitIndexTrees none;
  EXPECT_TRUE(GCore::ReadGitIndexTrees(Index(2, {Entry(2, "a")}, ""), none));
  EXPECT_TRUE(none.trees.empty());
}

TEST(GitIndexTrees, DamagedOrHostileFilesAreRefused) {
  const std::vector<std::string> entries = {Entry(2, "docs/a.txt"), Entry(2, "docs/sub/b.txt"), Entry(2, "top.txt")};
  const auto withTrees = [&](const std::string& trees) { return Index(2, entries, Extension("TREE", trees)); };
  std::string hugeEntryCount = Index(2, entries, "");
  hugeEntryCount.replace(8, 4, Big32(0xffffffff));
  const std::string unendedPath = "DIRC" + Big32(2) + Big32(1) + std::string(60, '\0') + std::string("\0\x04", 2) + "path" + Id('c');
  std::string longerExtension = withTrees(kTrees);
  longerExtension.replace(longerExtension.size() - 20 - kTrees.size() - 4, 4, Big32(0x7fffffff));
  const struct {
    const char* what;
    std::string file;
    bool read;
  } cases[] = {
      {"a well-formed file", withTrees(kTrees), true},
      {"too short for a header and a checksum", "DIRC" + Big32(2) + Big32(0) + Id('c').substr(1), false},
      {"another signature", "DIRX" + Index(2, {}, "").substr(4), false},
      {"version 1", Index(1, {}, ""), false},
      {"version 5", Index(5, {}, ""), false},
      {"more entries declared than the file could hold", hugeEntryCount, false},
      {"an entry path without its end", unendedPath, false},
      {"an extension longer than the file", longerExtension, false},
      {"a required extension (split index)", Index(2, entries, Extension("link", Id('l'))), false},
      {"two TREE extensions", Index(2, entries, Extension("TREE", kTrees) + Extension("TREE", kTrees)), false},
      {"a folder count beyond the bytes that follow", withTrees(Folder("", "3", 99999999, Id('r'))), false},
      {"an entry count beyond the index's entries", withTrees(Folder("", "4", 0, Id('r'))), false},
      {"an entry count of eleven digits", withTrees(Folder("", "00000000003", 0, Id('r'))), false},
      {"a negative count other than -1", withTrees(Folder("", "-2", 0)), false},
      {"a count with a sign", withTrees(Folder("", "+3", 0, Id('r'))), false},
      {"a count that is no number", withTrees(Folder("", "3x", 0, Id('r'))), false},
      {"an empty count", withTrees(Folder("", "", 0, Id('r'))), false},
      {"a tree id cut short", withTrees(Folder("", "3", 0, Id('r').substr(0, 19))), false},
      {"fewer folders than declared", withTrees(Folder("", "3", 2, Id('r')) + Folder("docs", "-1", 0)), false},
      {"bytes after the last folder", withTrees(kTrees + "x"), false},
      {"a root with a name", withTrees(Folder("root", "-1", 0)), false},
      {"a folder without a name", withTrees(Folder("", "-1", 1) + Folder("", "-1", 0)), false},
      {"a folder name with a slash", withTrees(Folder("", "-1", 1) + Folder("a/b", "-1", 0)), false},
      {"folders nested as deep as allowed", withTrees(Nested(GCore::kMaxGitIndexTreeDepth)), true},
      {"folders nested deeper than allowed", withTrees(Nested(GCore::kMaxGitIndexTreeDepth + 1)), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    GCore::GitIndexTrees read;
    EXPECT_EQ(GCore::ReadGitIndexTrees(c.file, read), c.read);
    if (!c.read) {
      EXPECT_TRUE(read.trees.empty());
    }
  }
}

// Every cut of a good file is refused, or read as a file whose extension is
// its checksum (which then matches no index); the sanitizers watch the reads.
TEST(GitIndexTrees, NoTruncationYieldsTrees) {
  for (const uint32_t version : {2u, 4u}) {
    const std::string file = Index(version, {Entry(version, "docs/a.txt"), Entry(version, "docs/sub/b.txt")},
                                   Extension("TREE", Folder("", "2", 1, Id('r')) + Folder("docs", "2", 0, Id('d'))));
    for (size_t size = 0; size < file.size(); ++size) {
      // A copy of its own, so that a read past the cut reaches no byte.
      const std::string cut = file.substr(0, size);
      GCore::GitIndexTrees read;
      EXPECT_FALSE(GCore::ReadGitIndexTrees(cut, read) && !read.trees.empty())
          << "version " << version << ", " << size << " bytes";
    }
  }
}

TEST(GitIndexTrees, TrustedTreesAreTheTopmostCurrentOnesThatExist) {
  const auto tree = [](const std::string& path, size_t depth, int64_t entries, char id) {
    GCore::GitCachedTree t;
    t.path = path;
    t.depth = depth;
    t.entries = entries;
    t.id.fill(static_cast<uint8_t>(id));
    return t;
  };
  // root (stale) / a (current, missing) / a/b (current) / a/b/c (current); d (current); d/e (current)
  const std::vector<GCore::GitCachedTree> trees = {tree("", 0, -1, 'r'),      tree("a/", 1, 5, 'a'),
                                                   tree("a/b/", 2, 3, 'b'),   tree("a/b/c/", 3, 1, 'c'),
                                                   tree("d/", 1, 2, 'd'),     tree("d/e/", 2, 1, 'e')};
  const struct {
    const char* what;
    std::string missing;  // ids not in the repository
    std::vector<size_t> trusted;
  } cases[] = {
      {"a missing folder's current folders stand in for it", "a", {2, 4}},
      {"all there: the topmost current ones", "", {1, 4}},
      {"none there", "abcde", {}},
      {"a missing folder below a missing one", "ab", {3, 4}},
      {"a stale root is never trusted, a missing folder's sibling still is", "ad", {2, 5}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto exists = [&](const GCore::GitIndexId& id) { return c.missing.find(static_cast<char>(id[0])) == std::string::npos; };
    EXPECT_EQ(GCore::TrustedGitTrees(trees, exists), c.trusted);
  }
}

}  // namespace
