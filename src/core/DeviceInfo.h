#pragma once
// Named facts about the machine and the game for scripts and reports. Any
// thread: every call returns its own text.
#include <cstdint>
#include <optional>
#include <string>

namespace GCore {

// The fact of that exact key ("Time", "MAC", "IP", "GameVer", "SysVer",
// "Steam"); "" for a key it does not know; empty when the fact cannot be had.
std::optional<std::string> GetDeviceInfo(const std::string& key);

// "Time": milliseconds since 1970 as a signed 32-bit number, which wraps.
std::string DeviceTimeText(int64_t seconds, int milliseconds);

}  // namespace GCore
