// Our reader of an index file's cached trees: git's documented layout, read
// with every size and count checked against the bytes that remain.
#include "net/GitIndexTrees.h"

#include <cstring>

namespace GCore {

namespace {

// Times, device, inode, mode, ids of owner and group, size, object id, flags.
constexpr size_t kEntryFixedSize = 62;
constexpr uint16_t kExtendedFlag = 0x4000;
// Each folder's whole path is kept: a few long names nested deep would
// otherwise make far more text than the file holds.
constexpr size_t kMaxPathBytes = size_t{64} << 20;

// A cursor over the bytes: every read checks what remains, and a failed read
// leaves the cursor failed for good, so that one test at the end will do.
class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

  bool Failed() const { return failed_; }
  void Fail() { failed_ = true; }
  size_t Remaining() const { return failed_ ? 0 : bytes_.size() - at_; }
  size_t Position() const { return at_; }

  std::string_view Take(size_t count) {
    if (count > Remaining()) {
      failed_ = true;
      return {};
    }
    const std::string_view taken = bytes_.substr(at_, count);
    at_ += count;
    return taken;
  }
  uint32_t Big32() {
    const std::string_view b = Take(4);
    if (b.empty()) return 0;
    return static_cast<uint32_t>(Byte(b, 0)) << 24 | static_cast<uint32_t>(Byte(b, 1)) << 16 |
           static_cast<uint32_t>(Byte(b, 2)) << 8 | Byte(b, 3);
  }
  uint16_t Big16() {
    const std::string_view b = Take(2);
    return b.empty() ? 0 : static_cast<uint16_t>(Byte(b, 0) << 8 | Byte(b, 1));
  }
  uint8_t Next() {
    const std::string_view b = Take(1);
    return b.empty() ? 0 : Byte(b, 0);
  }
  // The bytes up to the next `end`, which is passed over.
  std::string_view Until(char end) {
    const size_t found = failed_ ? std::string_view::npos : bytes_.find(end, at_);
    if (found == std::string_view::npos) {
      failed_ = true;
      return {};
    }
    const std::string_view taken = bytes_.substr(at_, found - at_);
    at_ = found + 1;
    return taken;
  }

 private:
  static uint8_t Byte(std::string_view b, size_t i) { return static_cast<uint8_t>(b[i]); }

  std::string_view bytes_;
  size_t at_ = 0;
  bool failed_ = false;
};

// One index entry passed over: its path is all that varies in length.
void SkipEntry(ByteReader& reader, uint32_t version) {
  reader.Take(kEntryFixedSize - 2);
  const uint16_t flags = reader.Big16();
  size_t size = kEntryFixedSize;
  if (version >= 3 && (flags & kExtendedFlag)) {
    reader.Take(2);
    size += 2;
  }
  if (version == 4) {
    // The length of the previous path to keep (a variable-length number),
    // then the rest of this one; no padding.
    for (int length = 0; reader.Next() & 0x80; ++length) {
      if (length == 9) reader.Fail();
    }
    reader.Until('\0');
    return;
  }
  size += reader.Until('\0').size() + 1;
  // One to eight NULs end the entry on a multiple of eight; one is read.
  reader.Take((8 - size % 8) % 8);
}

// A decimal count as the extension writes it: digits alone, or "-1". Counts
// beyond `limit` are refused.
bool ParseCount(std::string_view text, int64_t limit, bool staleAllowed, int64_t& out) {
  if (staleAllowed && text == "-1") {
    out = -1;
    return true;
  }
  if (text.empty() || text.size() > 10) return false;
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value > limit) return false;
  out = value;
  return true;
}

// The TREE extension: per folder, in pre-order, its name, NUL, its entry
// count, a space, its folder count, a newline and, when the count is not
// -1, its tree's id.
bool ReadTrees(std::string_view data, uint32_t entryCount, std::vector<GitCachedTree>& out) {
  ByteReader reader(data);
  // Folders still to read at each depth (the root is one folder at depth 0),
  // and the folder that holds them.
  std::vector<int64_t> pending = {1};
  std::vector<size_t> parents = {0};
  size_t pathBytes = 0;
  while (!pending.empty()) {
    if (pending.back() == 0) {
      pending.pop_back();
      parents.pop_back();
      continue;
    }
    --pending.back();
    GitCachedTree tree;
    tree.depth = pending.size() - 1;
    const std::string_view name = reader.Until('\0');
    const std::string_view entries = reader.Until(' ');
    const std::string_view folders = reader.Until('\n');
    // The smallest folder record ("x\0-1 0\n") bounds how many can follow.
    int64_t folderCount = 0;
    if (reader.Failed() || (tree.depth == 0) != name.empty() || name.find('/') != std::string_view::npos ||
        !ParseCount(entries, entryCount, true, tree.entries) ||
        !ParseCount(folders, static_cast<int64_t>(reader.Remaining() / 7), false, folderCount)) {
      return false;
    }
    if (tree.entries >= 0) {
      const std::string_view id = reader.Take(kGitIndexIdSize);
      if (reader.Failed()) return false;
      std::memcpy(tree.id.data(), id.data(), kGitIndexIdSize);
    }
    if (tree.depth > 0) {
      const std::string& parent = out[parents.back()].path;
      pathBytes += parent.size() + name.size() + 1;
      if (pathBytes > kMaxPathBytes) return false;
      tree.path.append(parent).append(name).push_back('/');
    }
    out.push_back(std::move(tree));
    if (folderCount > 0) {
      if (pending.size() > kMaxGitIndexTreeDepth) return false;
      pending.push_back(folderCount);
      parents.push_back(out.size() - 1);
    }
  }
  return reader.Remaining() == 0;
}

}  // namespace

bool ReadGitIndexTrees(std::string_view file, GitIndexTrees& out) {
  out.trees.clear();
  if (file.size() < kGitIndexHeaderSize + kGitIndexIdSize) return false;
  ByteReader reader(file.substr(0, file.size() - kGitIndexIdSize));
  const std::string_view signature = reader.Take(4);
  const uint32_t version = reader.Big32();
  const uint32_t entryCount = reader.Big32();
  if (signature != "DIRC" || version < 2 || version > 4 || entryCount > reader.Remaining() / kEntryFixedSize) {
    return false;
  }
  for (uint32_t i = 0; i < entryCount && !reader.Failed(); ++i) SkipEntry(reader, version);
  if (reader.Failed()) return false;
  return ReadGitIndexTreesAfterEntries(file.substr(reader.Position()), entryCount, out);
}

bool ReadGitIndexTreesAfterEntries(std::string_view tail, uint32_t entryCount, GitIndexTrees& out) {
  out.trees.clear();
  if (tail.size() < kGitIndexIdSize) return false;
  std::memcpy(out.checksum.data(), tail.data() + tail.size() - kGitIndexIdSize, kGitIndexIdSize);
  ByteReader reader(tail.substr(0, tail.size() - kGitIndexIdSize));
  std::vector<GitCachedTree> trees;
  bool treesRead = false;
  while (!reader.Failed() && reader.Remaining() > 0) {
    const std::string_view name = reader.Take(4);
    const std::string_view data = reader.Take(reader.Big32());
    if (reader.Failed()) return false;
    if (name == "TREE") {
      if (treesRead || !ReadTrees(data, entryCount, trees)) return false;
      treesRead = true;
    } else if (name[0] < 'A' || name[0] > 'Z') {
      // An extension the reader must understand (a split or sparse index
      // among them): its entries are not what the file lists.
      return false;
    }
  }
  if (reader.Failed()) return false;
  out.trees = std::move(trees);
  return true;
}

size_t GitIndexEntrySize(uint32_t version, std::string_view path, bool extended, std::string_view previousPath) {
  const size_t fixed = kEntryFixedSize + (extended ? 2 : 0);
  if (version != 4) return (fixed + path.size() + 8) / 8 * 8;  // one to eight NULs
  size_t kept = 0;
  while (kept < path.size() && kept < previousPath.size() && path[kept] == previousPath[kept]) ++kept;
  // The count of bytes dropped from the previous path, seven bits a byte,
  // each byte but the last standing for one more than its bits say.
  size_t countBytes = 1;
  for (size_t dropped = previousPath.size() - kept; dropped >>= 7; --dropped) ++countBytes;
  return fixed + countBytes + path.size() - kept + 1;
}

}  // namespace GCore
