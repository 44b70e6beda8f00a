// Looking files up below a working folder without following links, for many
// paths in a row: what the repository's paths may not make it hold open.
#include <dirent.h>
#include <sys/stat.h>

#include <string>

#include <gtest/gtest.h>

#include "core/TempRoot.h"
#include "net/GitWorkFolder.h"

namespace {

int OpenDescriptors() {
  DIR* listing = opendir("/proc/self/fd");
  if (!listing) return -1;
  int count = 0;
  while (readdir(listing)) ++count;
  closedir(listing);
  return count;
}

TEST(GitLstatCursor, APathDeeperThanItKeepsHoldsNoMoreFoldersOpen) {
  TempRoot root;
  constexpr size_t kDepth = 3 * GCore::GitLstatCursor::kKeptFolders;
  std::string folder;
  for (size_t i = 0; i < kDepth; ++i) folder += "d/";
  root.Write(folder + "leaf", "x");
  root.Write(folder + "other", "y");

  const int before = OpenDescriptors();
  GCore::GitLstatCursor cursor(root.Path());
  struct stat status;
  for (const char* leaf : {"leaf", "other"}) {
    SCOPED_TRACE(leaf);
    ASSERT_EQ(cursor.Lstat(folder + leaf, status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_LE(OpenDescriptors() - before, static_cast<int>(GCore::GitLstatCursor::kKeptFolders) + 1);
  }
}

}  // namespace
