#include <gtest/gtest.h>

#include <regex>

#include "core/DeviceInfo.h"
#include "core/GameSettings.h"

namespace {

TEST(DeviceInfo, TimeWrapsToSigned32Bits) {
  EXPECT_EQ(GCore::DeviceTimeText(1700000000, 123), "-807049093");
  EXPECT_EQ(GCore::DeviceTimeText(1, 5), "1005");
}

TEST(DeviceInfo, Keys) {
  GCore::SetGameVersion("1.2.3.4");
  EXPECT_EQ(GCore::GetDeviceInfo("GameVer").value_or("?"), "1.2.3.4");
  GCore::SetGameVersion("0.0.0.0");
  EXPECT_EQ(GCore::GetDeviceInfo("SysVer").value_or("?"), "Unknown System");
  EXPECT_EQ(GCore::GetDeviceInfo("IP").value_or("?"), "127.0.0.1") << "loopback unless configured";
  EXPECT_FALSE(GCore::GetDeviceInfo("Steam")) << "no bridge library beside the test";
  EXPECT_TRUE(std::regex_match(GCore::GetDeviceInfo("MAC").value_or("?"),
                               std::regex("|([0-9A-F]{2}-){5}[0-9A-F]{2}")));
  EXPECT_TRUE(std::regex_match(GCore::GetDeviceInfo("Time").value_or("?"), std::regex("-?[0-9]+")));
  for (const char* other : {"time", "MAC ", "", "font"}) {
    EXPECT_EQ(GCore::GetDeviceInfo(other).value_or("?"), "") << other;
  }
}

}  // namespace
