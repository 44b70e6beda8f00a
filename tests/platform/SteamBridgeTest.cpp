#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <string>

#include "platform/SteamBridge.h"

namespace {

TEST(SteamBridge, LibraryIsLookedForBesideTheExecutable) {
  char exe[PATH_MAX] = {};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof(exe) - 1), 0);
  std::string expected(exe);
  expected = expected.substr(0, expected.rfind('/')) + "/steam_tool.so";
  EXPECT_EQ(GCore::SteamLibraryPath(), expected);
  // None was put beside the test executable: absent is normal.
  EXPECT_FALSE(GCore::SteamGetAccount().has_value());
  EXPECT_EQ(GCore::SteamGetSteamId2(), 0u);
}

TEST(SteamBridge, AccountAndIdComeFromTheLibrary) {
  EXPECT_EQ(GCore::SteamGetAccount(FAKE_STEAM_TOOL), 4242);
  EXPECT_EQ(GCore::SteamGetSteamId2(FAKE_STEAM_TOOL), 76561197960287930ULL);
}

TEST(SteamBridge, MissingLibraryOrExportsGiveNothing) {
  for (const char* path : {FAKE_STEAM_TOOL_BARE, "/nonexistent/steam_tool.so"}) {
    EXPECT_FALSE(GCore::SteamGetAccount(path).has_value()) << path;
    EXPECT_EQ(GCore::SteamGetSteamId2(path), 0u) << path;
  }
}

}  // namespace
