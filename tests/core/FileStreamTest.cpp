// Plain-file streams, and the back-end choice of both storage modes. The
// repository itself is tested in FileStreamGitTest.cpp.
#include <gtest/gtest.h>

#include <memory>

#include "StreamTestFiles.h"
#include "core/FileStream.h"
#include "game/GameIF.h"

namespace {

using streamtest::ReadFile;
using streamtest::TempFolder;
using streamtest::WithDigestPrefix;
using streamtest::WriteFile;

bool IsDefault(const FileStream& stream) {
  return dynamic_cast<FileStream_Default*>(stream.Impl()) != nullptr;
}

class FileStreamTest : public ::testing::Test {
 protected:
  // A game object whose storage mode the test picks.
  void MakeGame(bool repositoryMode) {
    std::filesystem::create_directories(root_ / "build");
    game_ = std::make_unique<GCore::GameIF>("game", root_.path());
    if (repositoryMode) {
      game_->rootFolder.clear();
      // No repository there: any read that reaches the repository fails.
      game_->repositoryPath = root_ / "no-repository";
    }
    GCore::g_game = game_.get();
  }
  void TearDown() override { GCore::g_game = nullptr; }

  TempFolder root_;
  TempFolder files_;
  std::unique_ptr<GCore::GameIF> game_;
};

TEST_F(FileStreamTest, WritesAndReadsPlainFiles) {
  const std::string path = files_ / "data.bin";
  FileStream stream;
  ASSERT_TRUE(stream.Open(path.c_str(), kStreamWrite));
  EXPECT_EQ(stream.Impl()->Write("hello ", 6), 1);
  EXPECT_EQ(stream.Impl()->Write("world", 5), 1);
  stream.Close();
  EXPECT_EQ(stream.Impl(), nullptr);
  EXPECT_EQ(ReadFile(path), "hello world");

  ASSERT_TRUE(stream.Open(path.c_str(), kStreamRead));
  ASSERT_EQ(stream.Impl()->Size(), 11);
  char bytes[11];
  EXPECT_TRUE(stream.Read(bytes, 11));
  EXPECT_EQ(std::string(bytes, 11), "hello world");
  EXPECT_FALSE(stream.Read(bytes, 1)) << "a read at the end delivers nothing";
  // Size rewinds to the start.
  EXPECT_EQ(stream.Impl()->Size(), 11);
  EXPECT_TRUE(stream.Read(bytes, 5));
  EXPECT_EQ(std::string(bytes, 5), "hello");
}

TEST_F(FileStreamTest, RefusedOpensLeaveNoBackEnd) {
  WriteFile(files_ / "folder/inside.txt", "x");
  const std::string missing = files_ / "missing.txt";
  const std::string folder = files_ / "folder";
  const std::string unwritable = files_ / "no-such-folder/out.txt";
  const struct {
    const char* path;
    int flags;
  } cases[] = {
      {nullptr, kStreamRead},
      {missing.c_str(), kStreamRead},
      {folder.c_str(), kStreamRead},
      {unwritable.c_str(), kStreamWrite},
  };
  for (const auto& c : cases) {
    FileStream stream;
    EXPECT_FALSE(stream.Open(c.path, c.flags)) << (c.path ? c.path : "null");
    EXPECT_EQ(stream.Impl(), nullptr);
    char byte;
    EXPECT_FALSE(stream.Read(&byte, 1));
  }
}

TEST_F(FileStreamTest, ReopeningAnOpenStreamSwitchesFiles) {
  WriteFile(files_ / "a.txt", "aaa");
  WriteFile(files_ / "b.txt", "bb");
  FileStream stream;
  ASSERT_TRUE(stream.Open((files_ / "a.txt").c_str(), kStreamRead));
  ASSERT_TRUE(stream.Open((files_ / "b.txt").c_str(), kStreamRead));
  EXPECT_EQ(stream.Impl()->Size(), 2);
}

TEST_F(FileStreamTest, ReadWholeResource) {
  WriteFile(files_ / "text.txt", std::string("line\0one\n", 9));
  WriteFile(files_ / "empty.txt", "");
  std::vector<char> out{'x'};
  ASSERT_TRUE(ReadWholeResource((files_ / "text.txt").c_str(), out));
  EXPECT_EQ(std::string(out.begin(), out.end()), std::string("line\0one\n", 9));
  ASSERT_TRUE(ReadWholeResource((files_ / "empty.txt").c_str(), out));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(ReadWholeResource((files_ / "missing.txt").c_str(), out));
}

TEST_F(FileStreamTest, VerifyComparesTheLeadingDigest) {
  const std::string good = WithDigestPrefix("data");
  ASSERT_EQ(good.size(), 20u);
  const std::string path = files_ / "checked.bin";
  auto verify = [&](const std::string& content) {
    WriteFile(path, content);
    FileStream stream;
    return stream.Open(path.c_str(), kStreamRead) && stream.Impl()->Verify();
  };
  EXPECT_TRUE(verify(good));
  EXPECT_TRUE(verify(WithDigestPrefix(""))) << "a bare digest of nothing";
  for (size_t i = 0; i < good.size(); ++i) {
    std::string changed = good;
    changed[i] ^= 0x01;
    EXPECT_FALSE(verify(changed)) << "byte " << i << " changed";
  }
  EXPECT_FALSE(verify(good.substr(0, 15))) << "shorter than a digest";
  EXPECT_FALSE(verify(""));
}

TEST_F(FileStreamTest, VerifyLeavesThePlainFileAtItsEnd) {
  const std::string path = files_ / "checked.bin";
  WriteFile(path, WithDigestPrefix("data"));
  FileStream stream;
  ASSERT_TRUE(stream.Open(path.c_str(), kStreamRead));
  ASSERT_TRUE(stream.Impl()->Verify());
  char byte;
  EXPECT_FALSE(stream.Read(&byte, 1));
}

TEST_F(FileStreamTest, FolderModeAlwaysUsesPlainFiles) {
  WriteFile(files_ / "a.txt", "a");
  for (bool withGame : {false, true}) {
    if (withGame) MakeGame(false);
    FileStream reader;
    ASSERT_TRUE(reader.Open((files_ / "a.txt").c_str(), kStreamRead));
    EXPECT_TRUE(IsDefault(reader));
    FileStream writer;
    ASSERT_TRUE(writer.Open((files_ / "b.txt").c_str(), kStreamWrite));
    EXPECT_TRUE(IsDefault(writer));
  }
}

TEST_F(FileStreamTest, RepositoryModePrefersPlainFiles) {
  MakeGame(true);
  WriteFile(files_ / "plain.txt", "plain");

  FileStream reader;
  ASSERT_TRUE(reader.Open((files_ / "plain.txt").c_str(), kStreamRead));
  EXPECT_TRUE(IsDefault(reader));
  std::vector<char> out;
  ASSERT_TRUE(ReadWholeResource((files_ / "plain.txt").c_str(), out));
  EXPECT_EQ(std::string(out.begin(), out.end()), "plain");

  const std::string written = files_ / "new.txt";
  FileStream writer;
  ASSERT_TRUE(writer.Open(written.c_str(), kStreamWrite));
  EXPECT_TRUE(IsDefault(writer));
  EXPECT_EQ(writer.Impl()->Write("new", 3), 1);
  writer.Close();
  EXPECT_EQ(ReadFile(written), "new");

  // Neither a plain file nor (with no repository) a repository file.
  FileStream missing;
  EXPECT_FALSE(missing.Open((files_ / "missing.txt").c_str(), kStreamRead));
  EXPECT_EQ(missing.Impl(), nullptr);
}

}  // namespace
