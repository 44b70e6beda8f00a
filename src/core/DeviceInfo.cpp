#include "core/DeviceInfo.h"

#include <sys/time.h>

#include "core/GameSettings.h"
#include "platform/NetworkFacts.h"
#include "platform/SteamBridge.h"

namespace GCore {
namespace {

// The host whose address "IP" reports: the configured public-address
// service's, loopback unless a game author changes it.
std::string PublicAddressHost() {
  std::string url = QUARVELIN_PUBLIC_ADDRESS_URL;
  if (const size_t scheme = url.find("://"); scheme != std::string::npos) url.erase(0, scheme + 3);
  url = url.substr(0, url.find_first_of("/:"));
  return url;
}

}  // namespace

std::string DeviceTimeText(int64_t seconds, int milliseconds) {
  const uint64_t ms = static_cast<uint64_t>(seconds) * 1000u + static_cast<uint64_t>(milliseconds);
  return std::to_string(static_cast<int32_t>(static_cast<uint32_t>(ms)));
}

std::optional<std::string> GetDeviceInfo(const std::string& key) {
  if (key == "Time") {
    timeval now{};
    gettimeofday(&now, nullptr);
    return DeviceTimeText(now.tv_sec, static_cast<int>(now.tv_usec / 1000));
  }
  if (key == "MAC") return FirstEthernetAddress();
  if (key == "IP") return ResolveFirstIPv4(PublicAddressHost());
  if (key == "GameVer") return GetGameVersion();
  // The names of the table of Windows versions only; this system is none of them.
  if (key == "SysVer") return std::string("Unknown System");
  if (key == "Steam") {
    const std::optional<int> account = SteamGetAccount();
    if (!account) return std::nullopt;
    return std::to_string(*account);
  }
  return std::string();
}

}  // namespace GCore
