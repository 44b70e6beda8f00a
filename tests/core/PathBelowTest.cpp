// Paths below a folder reached without following links: the walk, what it
// refuses and why, and the engine's files opened through it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "TempRoot.h"
#include "base/Log.h"
#include "base/PathBelow.h"

namespace {

namespace fs = std::filesystem;
using GCore::FileDescriptor;

// A folder with a file, a subfolder, a FIFO, and links into itself and out.
class Below : public ::testing::Test {
 protected:
  void SetUp() override {
    root.Write("sub/file", "inside");
    outside.Write("file", "outside");
    ASSERT_EQ(mkfifo(root.Path("fifo").c_str(), 0644), 0);
    ASSERT_EQ(symlink(outside.Path().c_str(), root.Path("out").c_str()), 0);
    ASSERT_EQ(symlink("sub", root.Path("near").c_str()), 0);
    ASSERT_EQ(symlink("sub/file", root.Path("filelink").c_str()), 0);
    base = FileDescriptor(open(root.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(base.IsOpen());
  }
  TempRoot root;
  TempRoot outside;
  FileDescriptor base;
};

TEST_F(Below, FilesAreReachedOnlyWithoutLinks) {
  const struct {
    const char* path;
    int error;  // 0: opens
  } cases[] = {
      {"sub/file", 0},          {"./sub//file", 0},        {"/sub/file", 0},  // leading slashes stay below
      {"out/file", ELOOP},      {"near/file", ELOOP},      {"filelink", ELOOP},
      {"sub/../sub/file", EPERM}, {"../file", EPERM},      {"fifo", EINVAL},
      {"sub", EINVAL},          {"sub/file/x", ENOTDIR},   {"missing/file", ENOENT},
      {"sub/", EISDIR},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    errno = 0;
    const FileDescriptor file = GCore::OpenFileBelow(base.Get(), c.path, O_RDONLY);
    const int error = file.IsOpen() ? 0 : errno;
    EXPECT_EQ(error, c.error);
  }
}

TEST_F(Below, FoldersAreMadeButNeverThroughALink) {
  EXPECT_TRUE(GCore::OpenFolderBelow(base.Get(), "a/b/c", true).IsOpen());
  EXPECT_TRUE(fs::is_directory(root.Path("a/b/c")));
  EXPECT_FALSE(GCore::OpenFolderBelow(base.Get(), "out/made", true).IsOpen());
  EXPECT_EQ(errno, ELOOP);
  EXPECT_FALSE(GCore::OpenFolderBelow(base.Get(), "d/e", false).IsOpen());
  EXPECT_FALSE(fs::exists(root.Path("d")));
  EXPECT_FALSE(fs::exists(outside.Path("made")));
}

TEST_F(Below, OnlyRegularFilesAreRemoved) {
  for (const char* path : {"filelink", "fifo", "sub", "out/file"}) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(GCore::RemoveFileBelow(base.Get(), path));
  }
  EXPECT_TRUE(fs::is_symlink(root.Path("filelink")));
  EXPECT_TRUE(fs::exists(root.Path("fifo")));
  EXPECT_EQ(outside.Read("file"), "outside");
  EXPECT_TRUE(GCore::RemoveFileBelow(base.Get(), "sub/file"));
  EXPECT_FALSE(fs::exists(root.Path("sub/file")));
}

TEST_F(Below, TheLogIsNotOpenedThroughALinkOrAFifo) {
  EXPECT_FALSE(GCore::LogOpen(root.Path("filelink")));
  EXPECT_FALSE(GCore::LogOpen(root.Path("fifo")));  // would wait for a reader
  EXPECT_EQ(root.Read("sub/file"), "inside") << "not truncated through the link";
  ASSERT_TRUE(GCore::LogOpen(root.Path("log.txt")));
  GCore::LogWrite("a line\n");
  GCore::LogClose();
  EXPECT_EQ(root.Read("log.txt"), "a line\n");
}

}  // namespace
